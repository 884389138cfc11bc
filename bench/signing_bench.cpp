// What signing costs: closing a record (sealed, chained and signed with the technician's key, its
// file already unlocked), median of 50; and the making of 10,000 signed records of 2,000 scales
// for `vantor_cal --verify-records` to check, by a key the laboratory certified
// (scripts/signing_bench.sh times that command whole).
// Usage: signing_bench [folder to keep the records file and the key in]
#include "RecordSamples.h"
#include "SampleVisits.h"
#include "Laboratory.h"
#include "SqliteStore.h"
#include "TechnicianSigner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

using namespace records;

namespace {

signing::SignerSetup setupIn(const QString &folder)
{
    return {folder, folder, [] { return signing::Name{QStringLiteral("Anna Berg"), QStringLiteral("Scales Service Co.")}; },
            [](const QString &, bool) { return QByteArray("bench passphrase"); }, false};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    QDir().mkpath(folder);
    QTextStream out(stdout);
    signing::TechnicianSigner signer(setupIn(folder));

    // Closing: what Visit::close() adds to a record for its seal, the signature, 50 times.
    QList<qint64> micros;
    Record r = testsupport::visitOn(QStringLiteral("10000000000"), QDate::currentDate(), {0, 0, 0.01});
    signer.keyId(); // the key made (or unlocked) once a run
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer t;
        t.start();
        r.chain = ChainLink{signer.keyId(), i + 1, r.sha256};
        r.sha256 = r.computeSha256();
        r.seal = signer.sign(r.canonical());
        micros << t.nsecsElapsed() / 1000;
    }
    std::sort(micros.begin(), micros.end());
    out << "signing at close: median " << micros[micros.size() / 2] / 1000.0 << " ms, slowest " << micros.last() / 1000.0
        << " ms (50 records)\n";

    const QString path = SqliteStore::defaultPath(folder);
    if (!QFileInfo::exists(path)) {
        // The laboratory beside the records, and the key certified, as in an office that enrolled
        // its technician: --verify-records then checks each signer against it and its revocations.
        QByteArray issued;
        if (!signing::readTrust(folder).laboratory
            && (!signing::createLaboratory(folder, QStringLiteral("Scales Service Co."), "office passphrase").isEmpty()
                || !signing::certify(folder, "office passphrase", signer.request(), 730, &issued).isEmpty())) {
            out << "the laboratory could not be set up in " << folder << "\n";
            return 1;
        }
        SqliteStore store(path);
        const QDate today = QDate::currentDate();
        QString previous;
        int sequence = 0;
        for (int s = 0; s < 2000; ++s)
            for (int v = 0; v < 5; ++v) {
                const QString indexNo = QStringLiteral("%1").arg(s + 10000000000LL, 11, 10, QLatin1Char('0'));
                Record visit = testsupport::visitOn(indexNo, today.addYears(v - 5).addDays(s % 365), {0, 0, 0.01 * (v % 3)});
                visit = testsupport::signedBy(visit, signer, ++sequence, previous);
                previous = visit.sha256;
                store.save(visit);
            }
        out << "made " << sequence << " signed records in " << path << "\n";
    }
    return 0;
}
