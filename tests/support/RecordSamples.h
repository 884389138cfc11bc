#pragma once
// Records and visits as the record tests build them: a 150 kg class III platform, readings at
// given seconds of a morning, a visit on clocks of the test's own, certificates read back.

#include "Record.h"
#include "RecordSigner.h"
#include "SqliteStore.h"
#include "Visit.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <ctime>

namespace testsupport {

using namespace records;

inline constexpr Micro kg(double v) { return Micro(v * kMicro + (v < 0 ? -0.5 : 0.5)); }

inline Instrument platform150()
{
    Instrument in;
    in.indexNo = QStringLiteral("12345678901");
    in.makerModel = QStringLiteral("Vantor \"PS\", 150 kg");
    in.max = kg(150);
    in.min = kg(1);
    in.e = in.d = kg(0.05);
    return in;
}

inline const QDateTime kOpened(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

inline Reading at(double indication, int second, bool unstable = false)
{
    return {.indication = kg(indication), .unstable = unstable, .at = kOpened.addSecs(second)};
}

// A record of platform150 with readings on the first weighing points as found and as left (the
// default loads going up: 0, 1, 25, 75, 100, 150), every other point marked not performed.
inline Record recordWith(const QList<double> &asFound, const QList<double> &asLeft, bool adjusted)
{
    Record r = newRecord(platform150(), QStringLiteral("002"), false, kOpened);
    r.provider = {QStringLiteral("Scales Service Co."), QStringLiteral("4 Harbour Road, Northtown"), {}, {}, {}};
    r.instrument.customer = QStringLiteral("Mill & Sons Ltd");
    r.technician = QStringLiteral("Anna Berg");
    if (adjusted)
        r.adjustments.append({kOpened.addSecs(120), QStringLiteral("Calibration with 50 kg"), true, false});
    for (auto [phase, values] : {std::pair(Phase::AsFound, asFound), std::pair(Phase::AsLeft, asLeft)}) {
        for (int i = 0; i < values.size(); ++i)
            r.points(phase)[i].reading = at(values[i], (phase == Phase::AsFound ? 60 : 180) + i);
        for (Point &p : r.points(phase))
            if (!p.reading && (phase == Phase::AsFound || adjusted || !asLeft.isEmpty()))
                p.notPerformed = QStringLiteral("not asked for");
    }
    return r;
}

inline Record closedRecord(Record r)
{
    r.closedAt = kOpened.addSecs(600);
    r.verdict = verdictOf(r);
    r.sha256 = r.computeSha256();
    return r;
}

// A closed record signed as closing signs it, first in its signer's chain unless told its place.
inline Record signedBy(Record r, RecordSigner &signer, int sequence = 1, const QString &previous = {})
{
    r.chain = ChainLink{signer.keyId(), sequence, previous};
    r.sha256 = r.computeSha256();
    r.seal = signer.sign(r.canonical());
    return r;
}

inline QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    return p.waitForFinished(30000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

// A visit on clocks of the test's own, logged in to a scale in kilograms.
struct TestVisit
{
    TestVisit()
    {
        visit.setStore(&store);
        visit.setClocks([this] { return ms; }, [this] { return kOpened.addMSecs(ms); });
        visit.onDeviceEvent({DeviceEvent::LoggedIn, 1, false, QStringLiteral("12345678901")});
        visit.onDeviceEvent({DeviceEvent::UnitSet, 0, false, {}});
    }
    // Weight reports, `perSecond` a second for `seconds`, cycling through the values (hundredths).
    void reports(std::initializer_list<int> hundredths, int perSecond = 5, int seconds = 3)
    {
        for (int i = 0; i < perSecond * seconds; ++i) {
            ms += 1000 / perSecond;
            visit.onDeviceEvent({DeviceEvent::Weight, std::data(hundredths)[i % hundredths.size()], false, {}});
        }
    }
    qint64 ms = 0;
    QTemporaryDir dir;
    SqliteStore store{dir.filePath(QStringLiteral("records.sqlite"))};
    Visit visit;
};

// A records file of the test data, copied where the test may write it (a store upgrades it).
inline QString writableCopy(const QTemporaryDir &dir, const QString &source)
{
    const QString path = dir.filePath(QStringLiteral("records.sqlite"));
    QFile::copy(source, path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

// Local time in a zone of the test's choice while it lives, without a time zone database:
// "XYZ-1" is an hour ahead of UTC.
struct LocalZone
{
    explicit LocalZone(const char *zone) : before(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        qputenv("TZ", before);
        tzset();
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;
    QByteArray before;
};

} // namespace testsupport
