// What a DCC costs: the DCC of a record of 60 readings (weighing at 16 loads up and down as found,
// repeatability and eccentricity, and as left), written 50 times, and signed (xmlsec) 50 times;
// the median and the slowest of each.
#include "Dcc.h"
#include "RecordSamples.h"
#include "TechnicianSigner.h"
#include "TestPlan.h"
#include "Uncertainty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>

using namespace records;

namespace {

QString timed(const char *what, const std::function<void()> &work)
{
    QList<qint64> micros;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        micros << t.nsecsElapsed() / 1000;
    }
    std::sort(micros.begin(), micros.end());
    return QStringLiteral("%1: median %2 ms, slowest %3 ms (50 runs)\n")
        .arg(QLatin1String(what))
        .arg(micros[micros.size() / 2] / 1000.0)
        .arg(micros.last() / 1000.0);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    Record r = testsupport::recordWith({}, {}, false);
    QList<Micro> loads;
    for (int load = 0; load <= 150; load += 10)
        loads << testsupport::kg(load);
    int readings = 0, second = 0;
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        QList<Point> &points = r.points(phase);
        points.removeIf([](const Point &p) { return p.test == Test::Weighing; });
        points = weighingPoints(loads) + points;
        for (Point &p : points) {
            p.notPerformed.clear();
            if (readings < 60) {
                p.reading = Reading{.indication = p.load + (second % 3) * testsupport::kg(0.01), .at = testsupport::kOpened.addSecs(++second)};
                ++readings;
            } else {
                p.notPerformed = QStringLiteral("not asked for");
            }
        }
    }
    r.closedAt = r.openedAt.addSecs(3600);
    sealUncertainty(r);
    r.verdict = verdictOf(r);
    r.sha256 = r.computeSha256();
    const DccOptions options{QStringLiteral("vantor_cal"), QStringLiteral("1.5.0"), QStringLiteral("GB"), {}, QDate(2027, 12, 1), {}};
    QString error;
    QByteArray xml;
    out << readings << " readings\n" << timed("DCC written", [&] { xml = dccOf(r, options, &error); });
    QTemporaryDir keys;
    signing::TechnicianSigner signer({keys.path(), keys.path(), [] { return signing::Name{QStringLiteral("Anna Berg"), {}}; },
                                      [](const QString &, bool) { return QByteArray("bench passphrase"); }, false});
    signer.keyId();
    out << timed("DCC signed", [&] {
        QByteArray copy = xml;
        signer.signXml(&copy, "https://ptb.de/dcc", "comment");
    });
    out << "DCC of " << xml.size() << " bytes\n";
    return 0;
}
