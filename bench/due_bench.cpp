// The office's due list over 10,000 records: 2,000 scales, five yearly visits each, an interval
// agreed for each. Measures what `vantor_cal --due` does after it starts: the records' summaries,
// the agreements and the instruments read from the file, and the list made of them.
// Usage: due_bench [folder to keep the records file in]
#include "Intervals.h"
#include "SampleVisits.h"
#include "SqliteStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

using namespace records;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();
    const QString path = SqliteStore::defaultPath(folder);
    QTextStream out(stdout);
    constexpr int kScales = 2000, kVisits = 5;
    if (!QFileInfo::exists(path)) {
        SqliteStore store(path);
        const QDate today = QDate::currentDate();
        for (int s = 0; s < kScales; ++s) {
            const QString indexNo = QStringLiteral("%1").arg(s + 10000000000LL, 11, 10, QLatin1Char('0'));
            for (int v = 0; v < kVisits; ++v) {
                const Record r = testsupport::visitOn(indexNo, today.addYears(v - kVisits).addDays(s % 365), {0, 0, 0.01 * (v % 3)});
                store.save(r);
                if (v == 0)
                    store.saveInstrument(r.instrument);
            }
            store.saveAgreement({indexNo, 12, today.addYears(-6), QStringLiteral("office"), QDateTime::currentDateTimeUtc().addYears(-6)});
        }
        out << "made " << kScales * kVisits << " records in " << path << "\n";
    }
    QList<qint64> runs;
    int listed = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        SqliteStore store(path);
        const QList<RecordSummary> history = store.history({});
        const auto agreements = currentAgreements(store.agreements({}));
        QHash<QString, Instrument> instruments;
        for (const Instrument &in : store.instruments())
            instruments.insert(in.indexNo, in);
        listed = int(dueList(history, agreements, instruments, QDate::currentDate(), 30).size());
        runs << t.nsecsElapsed() / 1000;
        if (run == 0)
            out << history.size() << " records, " << agreements.size() << " agreements, " << instruments.size() << " scales\n";
    }
    std::sort(runs.begin(), runs.end());
    out << listed << " due within 30 days; " << runs.size() << " runs: median " << runs[runs.size() / 2] / 1000.0 << " ms, slowest "
        << runs.last() / 1000.0 << " ms\n";
    return 0;
}
