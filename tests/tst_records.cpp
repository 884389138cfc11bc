// The service records without a window: the instrument and its MPE, the stability rule, the
// verdict, the SQLite store (real files in a temporary folder) with its faults, and the
// certificate read back with pdftotext.
#include "Certificate.h"
#include "RawDatabase.h"
#include "SqliteStore.h"
#include "Stability.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace records;
using testsupport::RawDatabase;

namespace {

constexpr Micro kg(double v) { return Micro(v * kMicro + (v < 0 ? -0.5 : 0.5)); }

Instrument platform150()
{
    Instrument in;
    in.indexNo = QStringLiteral("12345678901");
    in.makerModel = QStringLiteral("Vantor \"PS\", 150 kg");
    in.max = kg(150);
    in.min = kg(1);
    in.e = kg(0.05);
    in.d = kg(0.01);
    return in;
}

const QDateTime kOpened(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);

// A record of platform150 with readings: as found at the given indications of the default
// weighing loads (0, 1, 25, 75, 100, 150 going up), as left likewise.
Record recordWith(const QList<double> &asFound, const QList<double> &asLeft, bool adjusted)
{
    Record r = newRecord(platform150(), QStringLiteral("002"), false, kOpened);
    for (auto [phase, values] : {std::pair(Phase::AsFound, asFound), std::pair(Phase::AsLeft, asLeft)})
        for (int i = 0; i < values.size(); ++i)
            r.points(phase)[i].reading = Reading{kg(values[i]), false, kOpened.addSecs(60 + i)};
    if (adjusted)
        r.adjustments.append({kOpened.addSecs(120), QStringLiteral("Calibration with 50 kg"), true});
    return r;
}

Record closedRecord(Record r)
{
    r.closedAt = kOpened.addSecs(600);
    r.verdict = verdictOf(r);
    r.sha256 = r.computeSha256();
    return r;
}

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    return p.waitForFinished(30000) ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

} // namespace

class tst_Records : public QObject
{
    Q_OBJECT

private slots:
    void instrumentValidation_data()
    {
        QTest::addColumn<int>("accuracy");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("e");
        QTest::addColumn<double>("d");
        QTest::addColumn<bool>("sound");
        QTest::newRow("III n=500") << 0 << 25.0 << 0.05 << 0.01 << true;
        QTest::newRow("III n=499") << 0 << 24.95 << 0.05 << 0.01 << false;
        QTest::newRow("III n=10000") << 0 << 500.0 << 0.05 << 0.05 << true;
        QTest::newRow("III n=10001") << 0 << 500.05 << 0.05 << 0.05 << false;
        QTest::newRow("IIII n=100") << 1 << 10.0 << 0.1 << 0.1 << true;
        QTest::newRow("IIII n=1001") << 1 << 100.1 << 0.1 << 0.1 << false;
        QTest::newRow("e of 2") << 0 << 100.0 << 0.02 << 0.01 << true;
        QTest::newRow("e of 3") << 0 << 150.0 << 0.03 << 0.01 << false;
        QTest::newRow("d above e") << 0 << 150.0 << 0.05 << 0.1 << false;
        QTest::newRow("d of 0") << 0 << 150.0 << 0.05 << 0.0 << false;
    }
    void instrumentValidation()
    {
        QFETCH(int, accuracy);
        QFETCH(double, max);
        QFETCH(double, e);
        QFETCH(double, d);
        QFETCH(bool, sound);
        Instrument in = platform150();
        in.accuracy = AccuracyClass(accuracy);
        in.max = kg(max);
        in.e = kg(e);
        in.d = kg(d);
        QCOMPARE(validate(in).isEmpty(), sound);
        in.min = in.max;
        QVERIFY(!validate(in).isEmpty());
    }

    void mpeBands_data()
    {
        QTest::addColumn<int>("accuracy");
        QTest::addColumn<double>("e");
        QTest::addColumn<Micro>("load");
        QTest::addColumn<double>("halves"); // the MPE in half scale intervals, initial verification
        const Micro step = 1; // a millionth past a band's end
        QTest::newRow("III 0") << 0 << 0.05 << Micro(0) << 1.0;
        QTest::newRow("III 500 e") << 0 << 0.05 << kg(25) << 1.0;
        QTest::newRow("III past 500 e") << 0 << 0.05 << kg(25) + step << 2.0;
        QTest::newRow("III 2000 e") << 0 << 0.05 << kg(100) << 2.0;
        QTest::newRow("III past 2000 e") << 0 << 0.05 << kg(100) + step << 3.0;
        QTest::newRow("IIII 50 e") << 1 << 0.1 << kg(5) << 1.0;
        QTest::newRow("IIII past 50 e") << 1 << 0.1 << kg(5) + step << 2.0;
        QTest::newRow("IIII 200 e") << 1 << 0.1 << kg(20) << 2.0;
        QTest::newRow("IIII past 200 e") << 1 << 0.1 << kg(20) + step << 3.0;
    }
    void mpeBands()
    {
        QFETCH(int, accuracy);
        QFETCH(double, e);
        QFETCH(Micro, load);
        QFETCH(double, halves);
        Instrument in = platform150();
        in.accuracy = AccuracyClass(accuracy);
        in.e = kg(e);
        QCOMPARE(mpe(in, load, false), Micro(halves * in.e / 2));
        QCOMPARE(mpe(in, load, true), Micro(halves * in.e));
    }

    // Reports at 5 and at 225 a second: the rule judges the same.
    void stabilityRule_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("pattern");
        QTest::addColumn<bool>("stable");
        for (int rate : {5, 225}) {
            QTest::addRow("adjacent values alternating, %d/s", rate) << rate << 0 << true;
            QTest::addRow("a spread of 2 d, %d/s", rate) << rate << 1 << false;
            QTest::addRow("a ramp, %d/s", rate) << rate << 2 << false;
        }
    }
    void stabilityRule()
    {
        QFETCH(int, rate);
        QFETCH(int, pattern);
        QFETCH(bool, stable);
        StabilityWindow w;
        for (int i = 0; i < rate * 5; ++i) {
            const qint64 at = qint64(i) * 1000 / rate;
            const Micro hundredths = pattern == 0 ? 5000 + i % 2 : pattern == 1 ? 5000 + i % 3 : 5000 + at * 3 / 100;
            w.add(at, hundredths * 10000);
            if (at >= 1000)
                QCOMPARE(w.state(at, kg(0.01)).stable, stable);
        }
    }

    void settlingStepIsStableOneSecondAfter()
    {
        for (int rate : {5, 225}) {
            StabilityWindow w;
            qint64 lastMoving = 0;
            for (int i = 0;; ++i) {
                const qint64 at = qint64(i) * 1000 / rate;
                const Micro settled = kg(50) + (i % 2) * 10000;
                w.add(at, at < 300 ? kg(50) * at / 300 : settled); // a step settling over 300 ms
                if (at < 300)
                    lastMoving = at;
                else if (at < lastMoving + 1000)
                    QVERIFY(!w.state(at, kg(0.01)).stable);
                else
                    break;
            }
            QVERIFY(!w.state(lastMoving + 999, kg(0.01)).stable);
            const auto s = w.state(lastMoving + 1000, kg(0.01));
            QVERIFY(s.stable);
            QVERIFY(qAbs(s.mean - kg(50.005)) <= kg(0.005));
        }
    }

    void verdicts()
    {
        const QList<double> good{0, 1, 25, 75, 100, 150}, off{0, 1.02, 25.5, 76.5, 102, 153}, bad{0, 1, 25, 75, 100, 150.2};
        QCOMPARE(verdictOf(recordWith(good, {}, false)), Verdict::Pass);
        QCOMPARE(verdictOf(recordWith(off, good, true)), Verdict::Adjusted);
        QCOMPARE(verdictOf(recordWith(good, good, true)), Verdict::Adjusted);
        QCOMPARE(verdictOf(recordWith(off, bad, true)), Verdict::Fail);
        QCOMPARE(verdictOf(recordWith(off, {}, false)), Verdict::Fail);
        Record unitOnly = recordWith(good, {}, false);
        unitOnly.adjustments.append({kOpened, QStringLiteral("Unit changed to kg"), false});
        QCOMPARE(verdictOf(unitOnly), Verdict::Pass); // a setting is not an adjustment

        Record r = recordWith(good, {}, false);
        for (int i = 0; i < 3; ++i) // repeatability at 75 kg: a spread of 0.06 exceeds the MPE of 0.05
            r.asFound[11 + i].reading = Reading{kg(75 + 0.03 * (i - 1)), false, kOpened};
        QVERIFY(!phasePasses(r, Phase::AsFound));
        QVERIFY(!closeRefusal(recordWith({}, {}, false)).isEmpty());
        QVERIFY(!closeRefusal(recordWith(off, {}, true)).isEmpty());
        QVERIFY(closeRefusal(recordWith(off, good, true)).isEmpty());
    }

    // A record written open, replaced, closed once; read back whole; never changed after.
    void storeKeepsClosedRecordsAsTheyWere()
    {
        QTemporaryDir dir;
        SqliteStore store(dir.filePath(QStringLiteral("records.sqlite")));
        Record r = recordWith({0, 1.02, 25.5}, {}, false);
        store.save(r);
        r = recordWith({0, 1.02, 25.5}, {0, 1, 25}, true);
        r.uuid = store.history(QString()).value(0).uuid;
        store.save(r);
        const Record closed = closedRecord(r);
        store.save(closed);
        store.save(closed); // the same closed record again: nothing to change
        store.saveInstrument(closed.instrument);
        QCOMPARE(store.instrument(QStringLiteral("12345678901")), std::optional<Instrument>(closed.instrument));

        const QList<RecordSummary> list = store.history(QStringLiteral("12345678901"));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].verdict, Verdict::Adjusted);
        QCOMPARE(list[0].userType, QStringLiteral("002"));
        const auto loaded = store.load(recordNumber(closed));
        QVERIFY(loaded && loaded->intact);
        QCOMPARE(loaded->record.canonical(), closed.canonical());
        QCOMPARE(loaded->record.sha256, closed.sha256);

        Record changed = closed;
        changed.asFound[1].reading->indication = kg(1);
        QVERIFY_THROWS_EXCEPTION(StoreError, store.save(changed));
        const Record revision = closedRecord(correctionOf(closed, kOpened.addDays(1)));
        store.save(revision);
        QCOMPARE(store.history(QStringLiteral("12345678901")).size(), 2);
        QCOMPARE(store.load(recordNumber(revision))->record.replaces, closed.uuid);

        RawDatabase raw(store.location());
        QVERIFY(!raw.exec(QStringLiteral("UPDATE records SET verdict = 'PASS'")));
        QVERIFY(!raw.exec(QStringLiteral("DELETE FROM records")));
        // Changed behind the console's back: detected through the SHA-256.
        QVERIFY(raw.exec(QStringLiteral("DROP TRIGGER closed_records_never_change")));
        QVERIFY(raw.exec(QStringLiteral("UPDATE records SET body = replace(body, '25500000', '25000000') WHERE revision = 1")));
        QVERIFY(!store.load(closed.uuid)->intact);
        QVERIFY(store.load(revision.uuid)->intact);
    }

    void storeFaultsNameTheFileAndTheCause()
    {
        QTemporaryDir dir;
        const Record r = recordWith({0}, {}, false);
        const auto failure = [](SqliteStore &store, const Record &record) {
            try {
                store.save(record);
            } catch (const StoreError &e) {
                return e.message;
            }
            return QString();
        };

        const QString damaged = dir.filePath(QStringLiteral("damaged.sqlite"));
        QFile f(damaged);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(8192, 'x')) > 0);
        f.close();
        SqliteStore damagedStore(damaged);
        QString why = failure(damagedStore, r);
        QVERIFY2(why.contains(damaged) && why.contains(QLatin1String("damaged")), qPrintable(why));

        const QString newer = dir.filePath(QStringLiteral("newer.sqlite"));
        {
            RawDatabase raw(newer);
            QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version = 7")));
        }
        const QByteArray before = [&] { QFile n(newer); n.open(QIODevice::ReadOnly); return n.readAll(); }();
        SqliteStore newerStore(newer);
        why = failure(newerStore, r);
        QVERIFY2(why.contains(newer) && why.contains(QLatin1String("newer version")), qPrintable(why));
        QFile n(newer);
        QVERIFY(n.open(QIODevice::ReadOnly) && n.readAll() == before);

        const QString locked = dir.filePath(QStringLiteral("locked.sqlite"));
        SqliteStore lockedStore(locked);
        lockedStore.save(r);
        {
            RawDatabase other(locked); // another console in the middle of a write
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            why = failure(lockedStore, r);
            QVERIFY2(why.contains(locked) && why.contains(QLatin1String("locked")), qPrintable(why));
        }
        QCOMPARE(failure(lockedStore, r), QString()); // free again

        // Permissions bind only a user who is not root (tests/as_user.sh runs this once more).
        if (geteuid() != 0) {
            QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner));
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
            SqliteStore readOnly(locked);
            QCOMPARE(readOnly.history(QString()).size(), 1); // read, not written
            why = failure(readOnly, recordWith({0, 1}, {}, false));
            QVERIFY2(why.contains(locked) && why.contains(QLatin1String("may not be written")), qPrintable(why));
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    void certificateAndCsv()
    {
        QTemporaryDir dir;
        Record r = recordWith({0, 1.02, 25.5}, {0, 1, 25}, true);
        r.points(Phase::AsLeft)[2].reading->unstable = true;
        r.weights = {QStringLiteral("W-12"), QStringLiteral("M1"), QStringLiteral("2026-0417")};
        r = closedRecord(r);
        QString error;
        const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
        QVERIFY2(writeCertificate(r, pdf, &error), qPrintable(error));
        const QString text = pdfText(pdf);
        for (const QString &expected : {QStringLiteral("Calibration certificate ") + recordNumber(r), QStringLiteral("Page 1 of 1"),
                                        QStringLiteral("Vantor \"PS\", 150 kg"), QStringLiteral("set W-12, class M1, certificate 2026-0417"),
                                        QStringLiteral("25.500"), QStringLiteral("Calibration with 50 kg"),
                                        QStringLiteral("pass (unstable)"), QStringLiteral("Verdict: ADJUSTED"), r.sha256,
                                        QStringLiteral("Signature")})
            QVERIFY2(text.contains(expected), qPrintable(expected));
        QVERIFY(!writeCertificate(r, dir.filePath(QStringLiteral("no/such/folder/c.pdf")), &error));

        const QList<QByteArray> lines = readingsCsv(r).split('\n');
        QCOMPARE(lines.size(), 8); // the header, six readings, the end
        QCOMPARE(lines[0], QByteArray("record,revision,index_no,phase,test,position,load,indication,error,mpe,result,unstable,time,unit\r"));
        QCOMPARE(lines[3], (recordNumber(r) + ",1,12345678901,as found,weighing,up,25.00,25.500,0.500,0.025,fail,no,"
                            "2026-12-07T09:01:02.000Z,kg\r").toUtf8());
        QVERIFY(lines[6].contains(",as left,weighing,up,25.00,25.000,0.000,0.025,pass,yes,"));
    }
};

QTEST_MAIN(tst_Records)
#include "tst_records.moc"
