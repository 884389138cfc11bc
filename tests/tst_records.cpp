// The service records without a window: the instrument and its MPE, the test plan, the stability
// rule, the verdict and what closing asks, the visit's own rules, the SQLite store (real files in
// a temporary folder) with its faults and the records of version 1.1, and the certificate read
// back with pdftotext.
#include "AutoCapture.h"
#include "Certificate.h"
#include "Drift.h"
#include "Intervals.h"
#include "PagedDocument.h"
#include "Uncertainty.h"
#include "WeightClasses.h"
#include "RawDatabase.h"
#include "RecordSamples.h"
#include "SampleVisits.h"
#include "SqliteStore.h"
#include "Stability.h"
#include "TestPlan.h"
#include "Visit.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QPdfWriter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace records;
using namespace testsupport;

class tst_Records : public QObject
{
    Q_OBJECT

private slots:
    // Each refusal names its rule and the figures.
    void instrumentValidation_data()
    {
        QTest::addColumn<int>("accuracy");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("e");
        QTest::addColumn<double>("d");
        QTest::addColumn<QString>("fault"); // a part of the refusal; empty: sound
        QTest::newRow("III n=500") << 0 << 25.0 << 1.0 << 0.05 << 0.05 << "";
        QTest::newRow("III n=499") << 0 << 24.95 << 1.0 << 0.05 << 0.05 << "Max/e from 500 to 10,000; here it is 499";
        QTest::newRow("III n=10000") << 0 << 500.0 << 1.0 << 0.05 << 0.05 << "";
        QTest::newRow("III n=10001") << 0 << 500.05 << 1.0 << 0.05 << 0.05 << "here it is 10,001";
        QTest::newRow("III Min 20 e") << 0 << 150.0 << 1.0 << 0.05 << 0.05 << "";
        QTest::newRow("III Min below 20 e") << 0 << 150.0 << 0.95 << 0.05 << 0.05 << "Min of at least 20 e (1.00 kg); here Min is 0.95 kg";
        QTest::newRow("IIII n=100, Min 10 e") << 1 << 10.0 << 1.0 << 0.1 << 0.1 << "";
        QTest::newRow("IIII Min below 10 e") << 1 << 10.0 << 0.9 << 0.1 << 0.1 << "at least 10 e (1.00 kg); here Min is 0.90 kg";
        QTest::newRow("IIII n=1001") << 1 << 100.1 << 1.0 << 0.1 << 0.1 << "Max/e from 100 to 1,000";
        QTest::newRow("e of 2") << 0 << 100.0 << 1.0 << 0.02 << 0.02 << "";
        QTest::newRow("e of 3") << 0 << 150.0 << 1.5 << 0.03 << 0.03 << "1, 2 or 5 x 10^k";
        QTest::newRow("d not e") << 0 << 150.0 << 1.0 << 0.05 << 0.01 << "d must equal e for class III (OIML R 76-1); here e is 0.05 kg and d is 0.01 kg";
        QTest::newRow("e below the step") << 0 << 5.0 << 0.1 << 0.005 << 0.005 << "reporting step of 0.01 kg, or errors below it would not show; here e is 0.005 kg";
        QTest::newRow("Min not below Max") << 0 << 150.0 << 150.0 << 0.05 << 0.05 << "Min must be above 0 and below Max";
    }
    void instrumentValidation()
    {
        QFETCH(int, accuracy);
        QFETCH(double, max);
        QFETCH(double, min);
        QFETCH(double, e);
        QFETCH(double, d);
        QFETCH(QString, fault);
        Instrument in = platform150();
        in.accuracy = AccuracyClass(accuracy);
        in.max = kg(max);
        in.min = kg(min);
        in.e = kg(e);
        in.d = kg(d);
        const QString faults = validate(in).join(QLatin1Char(' '));
        QVERIFY2(fault.isEmpty() ? faults.isEmpty() : faults.contains(fault), qPrintable(faults));
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

    // OIML R 76-1 and EURAMET cg-18: the class's change points, the eccentricity load and
    // positions by the number of supports, 5 repeatability readings (3 from 100 kg).
    void testPlan()
    {
        const auto loadsOf = [](const QList<Point> &points, Test test) {
            QList<Micro> loads;
            QStringList positions;
            for (const Point &p : points)
                if (p.test == test && p.position != QLatin1String("down")) {
                    loads << p.load;
                    positions << p.position;
                }
            return std::pair(loads, positions);
        };
        Instrument in = platform150();
        Record r = newRecord(in, QStringLiteral("001"), false, kOpened);
        QCOMPARE(loadsOf(r.asFound, Test::Weighing).first, (QList<Micro>{0, kg(1), kg(25), kg(75), kg(100), kg(150)}));
        QCOMPARE(loadsOf(r.asLeft, Test::Repeatability).first, QList<Micro>(5, kg(75)));
        QCOMPARE(loadsOf(r.asFound, Test::Eccentricity),
                 std::pair(QList<Micro>(5, kg(50)), QStringList{"centre", "front left", "rear left", "rear right", "front right"}));
        in.supports = 2; // still the four quarter segments
        QCOMPARE(loadsOf(eccentricityPoints(defaultEccentricityLoad(in), in.supports), Test::Eccentricity).second.size(), 5);
        in.supports = 6; // Max/(n - 1) on each support
        QCOMPARE(loadsOf(eccentricityPoints(defaultEccentricityLoad(in), in.supports), Test::Eccentricity),
                 std::pair(QList<Micro>(7, kg(30)),
                           QStringList{"centre", "support 1", "support 2", "support 3", "support 4", "support 5", "support 6"}));
        in.max = kg(300);
        QCOMPARE(defaultRepeatabilityCount(in, in.max / 2), 3);
        in.pounds = true; // 150 lb is 68 kg
        QCOMPARE(defaultRepeatabilityCount(in, in.max / 2), 5);
        QCOMPARE(defaultRepeatabilityCount(in, kg(220.5)), 3);
        Instrument four = platform150();
        four.accuracy = AccuracyClass::IIII;
        four.max = kg(50);
        four.e = four.d = kg(0.1);
        QCOMPARE(defaultWeighingLoads(four), (QList<Micro>{0, kg(1), kg(5), kg(20), kg(25), kg(50)}));
    }

    // Reports at 3, 5 and 225 a second; stable needs 3 reports in the last second within 1 d, and
    // its mean less than 1 d from the second before.
    void stabilityRule_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("pattern");
        QTest::addColumn<bool>("stable");
        QTest::newRow("3 reports a second") << 3 << 0 << true;
        QTest::newRow("2 reports a second") << 2 << 0 << false;
        for (int rate : {5, 225}) {
            QTest::addRow("adjacent values alternating, %d/s", rate) << rate << 0 << true;
            QTest::addRow("a spread of 2 d, %d/s", rate) << rate << 1 << false;
            QTest::addRow("a ramp, %d/s", rate) << rate << 2 << false;
            QTest::addRow("a drift of 1 d a second, %d/s", rate) << rate << 3 << false;
        }
    }
    void stabilityRule()
    {
        QFETCH(int, rate);
        QFETCH(int, pattern);
        QFETCH(bool, stable);
        StabilityWindow w;
        for (int i = 0; i < rate * 6; ++i) {
            const qint64 at = qint64(i) * 1000 / rate;
            const Micro hundredths = pattern == 0 ? 5000 + i % 2 : pattern == 1 ? 5000 + i % 3
                                   : pattern == 2 ? 5000 + at * 3 / 100 : 5000 + at / 1000;
            w.add(at, hundredths * 10000);
            if (at >= 2000)
                QCOMPARE(w.state(at, kg(0.01)).stable, stable);
        }
    }

    void settlingStepIsStableAfterTwoQuietSeconds()
    {
        for (int rate : {5, 225}) {
            StabilityWindow w;
            qint64 lastMoving = 0;
            for (int i = 0;; ++i) {
                const qint64 at = qint64(i) * 1000 / rate;
                w.add(at, at < 300 ? kg(50) * at / 300 : kg(50) + (i % 2) * 10000); // a step settling over 300 ms
                if (at < 300)
                    lastMoving = at;
                else if (at < lastMoving + 1000)
                    QVERIFY(!w.state(at, kg(0.01)).stable);
                else if (at >= lastMoving + 2000)
                    break;
            }
            const auto s = w.state(lastMoving + 2000, kg(0.01));
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
        unitOnly.adjustments.append({kOpened, QStringLiteral("Unit changed to kg"), false, false});
        QCOMPARE(verdictOf(unitOnly), Verdict::Pass); // a setting is not an adjustment
        Record unstable = recordWith(good, {}, false);
        unstable.asFound[3].reading->unstable = true; // within the MPE, but not stable: fails
        QCOMPARE(verdictOf(unstable), Verdict::Fail);
        QCOMPARE(unstableReadings(unstable).size(), 1);

        // Repeatability at 75 kg (MPE 0.05 kg, 0.1 kg in service), the spread from the lowest reading.
        Record r = recordWith(good, {}, false);
        for (int i = 0; i < 5; ++i)
            r.asFound[11 + i].reading = at(75.02 + 0.01 * (i % 3), 70 + i);
        QCOMPARE(repeatabilityOf(r, Phase::AsFound)->spread, kg(0.02));
        QVERIFY(phasePasses(r, Phase::AsFound));
        r.asFound[11].reading = at(75.09, 70); // a spread of 0.07: beyond 0.05, within 0.1
        QVERIFY(!phasePasses(r, Phase::AsFound));
        r.inService = true;
        QVERIFY(phasePasses(r, Phase::AsFound));
    }

    // Three years of three scales and one without an agreed interval, on 2026-12-07: the due list
    // (A overdue since 2026-12-01, 12 months after 2025-12-01; B due in 10 days; C in 2028; D no
    // interval), the agreement each certificate states, the drift and the hint of A's last visit.
    void dueAndDrift()
    {
        QTemporaryDir dir;
        SqliteStore store(dir.filePath(QStringLiteral("records.sqlite")));
        const QString a = QStringLiteral("11111111111"), b = QStringLiteral("22222222222"), c = QStringLiteral("33333333333"),
                      d = QStringLiteral("44444444444");
        const Record a2024 = visitOn(a, QDate(2024, 3, 4), {0, 0, 0.01, 0.01, 0.01, 0.01});
        const Record a2025 = visitOn(a, QDate(2025, 12, 1), {0, 0, 0.01, 0.02, 0.03, 0.07}); // 0.07 of 0.075 at 150 kg
        Record discarded = visitOn(a, QDate(2026, 5, 2), {0});
        discarded.verdict = Verdict::Discarded;
        discarded.discardReason = QStringLiteral("wrong weights");
        discarded.sha256 = discarded.computeSha256();
        const Record b2025 = visitOn(b, QDate(2025, 12, 17), {0});
        Record corrected = correctionOf(b2025, QDateTime(QDate(2026, 2, 3), QTime(8, 0), Qt::UTC)); // a typo in the customer's name
        corrected.closedAt = corrected.openedAt.addSecs(60);
        corrected.verdict = verdictOf(corrected);
        corrected.sha256 = corrected.computeSha256();
        for (const Record &r : {a2024, a2025, discarded, visitOn(b, QDate(2024, 12, 16), {0}), b2025, corrected,
                                visitOn(c, QDate(2026, 1, 10), {0}), visitOn(d, QDate(2024, 1, 1), {0})}) {
            store.save(r);
            store.saveInstrument(r.instrument);
        }
        const auto agreed = [](const QString &indexNo, int months, const QDate &on) {
            return IntervalAgreement{indexNo, months, on, QStringLiteral("Anna Berg"), QDateTime(on, QTime(10, 0), Qt::UTC)};
        };
        for (const IntervalAgreement &x : {agreed(a, 24, QDate(2024, 1, 10)), agreed(a, 12, QDate(2025, 6, 10)), agreed(b, 12, QDate(2024, 11, 1)),
                                           agreed(c, 24, QDate(2025, 1, 5)), agreed(a, 12, QDate(2025, 6, 10))}) // the last one twice
            store.saveAgreement(x);
        QCOMPARE(store.agreements(a).size(), 2);
        QCOMPARE(store.agreements({}).size(), 4);

        QHash<QString, Instrument> described;
        for (const Instrument &in : store.instruments())
            described.insert(in.indexNo, in);
        const QDate today(2026, 12, 7);
        const QList<DueEntry> due = dueList(store.history({}), currentAgreements(store.agreements({})), described, today, 30);
        QCOMPARE(due.size(), 2);
        QCOMPARE(due[0].indexNo, a);
        QCOMPARE(due[0].due, QDate(2026, 12, 1));
        QCOMPARE(due[0].lastVerdict, Verdict::Pass);
        QCOMPARE(due[0].customer, QStringLiteral("Customer of 1"));
        QCOMPARE(due[1].indexNo, b);
        QCOMPARE(due[1].due, QDate(2026, 12, 17)); // from the visit, not from its correction in February
        QCOMPARE(dueList(store.history({}), currentAgreements(store.agreements({})), described, today, 9).size(), 1);
        const QString table = dueTable(due, today);
        QVERIFY2(table.contains(QLatin1String("overdue 6 d")) && table.contains(QLatin1String("due in 10 d")), qPrintable(table));
        QCOMPARE(dueCsv(due, today).split('\n').value(1),
                 QByteArray("11111111111,Customer of 1,Dock 1,PASS,2025-12-01,2026-12-01,overdue 6 d\r"));

        // The certificate states the agreement in effect when the record was closed, sealed into
        // it then; records of earlier versions find it among the agreements.
        const auto sealed = [&](Record r) {
            r.due = dueAtClosing(r, store.agreements(r.instrument.indexNo), r.closedAt);
            r.sha256 = r.computeSha256();
            return r;
        };
        QCOMPARE(nextDueOf(sealed(a2024), {}), QDate(2026, 3, 4)); // 24 months then
        QCOMPARE(sealed(a2025).due, (SealedDue{12, QDate(2025, 6, 10), QStringLiteral("Anna Berg"), QDate(2026, 12, 1)}));
        QVERIFY(!sealed(visitOn(d, QDate(2024, 1, 1), {0})).due);
        Record a2025v3 = a2025;
        a2025v3.format = 3;
        QCOMPARE(nextDueOf(a2025v3, store.agreements(a)), QDate(2026, 12, 1));
        QString error;
        QVERIFY(writeCertificate(sealed(a2025), dir.filePath(QStringLiteral("a.pdf")), &error, QPageSize::A4, nextDueOf(sealed(a2025), {})));
        QVERIFY(writeCertificate(a2025, dir.filePath(QStringLiteral("none.pdf")), &error, QPageSize::A4));
        QVERIFY(pdfText(dir.filePath(QStringLiteral("a.pdf"))).contains(QLatin1String("Next calibration due, as agreed with the customer: 2026-12")));
        QVERIFY(!pdfText(dir.filePath(QStringLiteral("none.pdf"))).contains(QLatin1String("Next calibration due")));
        store.saveAgreement(agreed(a, 0, QDate(2026, 6, 1))); // none agreed any longer
        QVERIFY(dueList(store.history({}), currentAgreements(store.agreements({})), described, today, 30).first().indexNo == b);

        // A's as-found errors by load, oldest first; the discarded visit not among them.
        QList<Record> visits;
        for (const RecordSummary &s : calibrations(store.history(a)))
            visits << store.load(s.uuid)->record;
        QCOMPARE(visits.size(), 2);
        const auto drift = driftOf(visits);
        QCOMPARE(drift.keys(), (QList<Micro>{0, kg(1), kg(25), kg(75), kg(100), kg(150)}));
        QCOMPARE(drift[kg(150)].size(), 2);
        QCOMPARE(drift[kg(150)][0].error, kg(0.01));
        QCOMPARE(drift[kg(150)][1].error, kg(0.07));
        QCOMPARE(drift[kg(150)][1].mpe, kg(0.075)); // 1.5 e above 2,000 e
        QCOMPARE(drift[kg(25)][1].mpe, kg(0.025));
        // ILAC-G24's staircase over the last visit: 0.07 / 0.075 = 93 % of the MPE keeps the
        // interval; 0.06 of 0.075 (80 %) extends it; 0.03 at 25 kg (MPE 0.025) shortens it.
        const QString hint = intervalHint(a2025, 12);
        QVERIFY2(hint.contains(QLatin1String("93 %")) && hint.contains(QLatin1String("ILAC-G24")) && hint.contains(QLatin1String("keeps the interval (12 months)")),
                 qPrintable(hint));
        QVERIFY(intervalHint(visitOn(a, QDate(2025, 12, 1), {0, 0, 0.02, 0.04, 0.04, 0.06}), 12).contains(QLatin1String("consider 15 months instead of 12")));
        QVERIFY(intervalHint(visitOn(a, QDate(2025, 12, 1), {0, 0, 0.03}), 12).contains(QLatin1String("consider 9 months instead of 12")));
        QVERIFY(driftCsv(drift, 2).contains("2025-12-01T09:01:00Z," + a2025.uuid.left(8).toUpper().toUtf8() + ",150.00,0.070,0.075\r\n")); // the first reading of the visit
    }

    // The rules at their edges, each worked by hand: |E| = MPE passes; an eccentric position that
    // reads below the centre counts as much as one above; a scale tested again as left without an
    // adjustment is judged by as left; settings (unit, mode, serial number, passwords) void no
    // reading; a void reading can be marked not performed, and a mark read over stays in the trail;
    // no weighing reading in the deciding phase, no closing.
    void rulesAtTheirEdges()
    {
        Record r = recordWith({0, 1.05, 25, 75, 100, 150}, {}, false); // 1 kg: E = 0.05 kg = 1 e
        QVERIFY(resultOf(r, Phase::AsFound, r.asFound[1]).fails()); // initial verification: MPE 0.025 kg
        r.inService = true;                                          // in service: MPE 0.05 kg, |E| = MPE
        QCOMPARE(resultOf(r, Phase::AsFound, r.asFound[1]).outcome, Outcome::Pass);
        QCOMPARE(verdictOf(r), Verdict::Pass);

        // Eccentricity at 50 kg: centre 50.00, front left 49.90: |dI|max = 0.10 kg, so at 100 kg
        // u = 0.10 / (2 x 50 x sqrt 3) x 100 = 0.057735 kg.
        for (int i = 0; i < 5; ++i) {
            r.asFound[16 + i].reading = at(i == 1 ? 49.90 : 50.00, 80 + i);
            r.asFound[16 + i].notPerformed.clear();
        }
        QVERIFY(qAbs(uncertaintyOf(r, Phase::AsFound, r.asFound[4]).eccentricity - 0.057735) < 1e-6);

        // As found fails at 150 kg; nothing adjusted, tested again as left, every reading within.
        Record again = recordWith({0, 1, 25, 75, 100, 150.2}, {0, 1, 25, 75, 100, 150}, false);
        QCOMPARE(decidingPhase(again), Phase::AsLeft);
        QCOMPARE(conformity(again, Phase::AsFound), QStringLiteral("no"));
        QCOMPARE(conformity(again, Phase::AsLeft), QStringLiteral("yes"));
        QCOMPARE(verdictOf(again), Verdict::Adjusted);

        TestVisit t;
        QCOMPARE(t.visit.start(platform150(), {}, false), QString());
        t.visit.onDeviceEvent({DeviceEvent::Calibrated, 2, false, {}}); // 50 kg: as found is over
        t.reports({0, 1});
        const PointKey zero{Test::Weighing, QStringLiteral("up"), 0}, min{Test::Weighing, QStringLiteral("up"), kg(1)};
        QCOMPARE(t.visit.capture(Phase::AsLeft, zero), QString());
        t.visit.onDeviceEvent({DeviceEvent::Calibrated, 8, false, {}});             // automatic mode
        t.visit.onDeviceEvent({DeviceEvent::UnitSet, 0, true, {}});                 // pounds
        t.visit.onDeviceEvent({DeviceEvent::UnitSet, 0, false, {}});                // and back
        t.visit.onDeviceEvent({DeviceEvent::SerialWritten, 0, false, {}});
        t.visit.onDeviceEvent({DeviceEvent::SerialRead, 0, false, QStringLiteral("12345678902")});
        t.visit.onDeviceEvent({DeviceEvent::PasswordsWritten, 0, false, {}});
        const Record &v = *t.visit.record();
        QCOMPARE(v.adjustments.size(), 6);
        QVERIFY(counts(v, Phase::AsLeft, v.asLeft[0])); // none of them voids it
        QCOMPARE(t.visit.markNotPerformed(Phase::AsLeft, {min}, QStringLiteral("no 1 kg weight")), QString());
        t.reports({100, 101});
        QCOMPARE(t.visit.capture(Phase::AsLeft, min), QString()); // found after all
        QCOMPARE(v.asLeft[1].earlier.value(0).notPerformed, QStringLiteral("no 1 kg weight"));
        t.visit.onDeviceEvent({DeviceEvent::Calibrated, 13, false, {}}); // trim: both void
        QVERIFY(!counts(v, Phase::AsLeft, v.asLeft[0]));
        QCOMPARE(t.visit.markNotPerformed(Phase::AsLeft, {zero}, QStringLiteral("no time left")), QString());
        QVERIFY(v.asLeft[0].earlier.value(0).reading.has_value() && !v.asLeft[0].reading);
        t.reports({7500, 7501});
        QCOMPARE(t.visit.capture(Phase::AsLeft, keyOf(v.asLeft[11])), QString()); // repeatability, but no weighing
        QList<PointKey> rest;
        for (const Point &p : v.asLeft)
            if (!counts(v, Phase::AsLeft, p) && p.notPerformed.isEmpty())
                rest << keyOf(p);
        QCOMPARE(t.visit.markNotPerformed(Phase::AsLeft, rest, QStringLiteral("not asked for")), QString());
        QVERIFY(t.visit.close().contains(QLatin1String("its weighing test has no reading")));
    }

    // Closing needs every planned point read or marked not performed, and a weighing reading in
    // the phase that decides; an as-left reading before a later adjustment does not count.
    void whatClosingNeeds()
    {
        Record r = newRecord(platform150(), QStringLiteral("001"), false, kOpened);
        r.asFound[0].reading = at(0, 60); // the 150 kg scale tested at zero only
        QVERIFY2(closeRefusal(r).contains(QLatin1String("As found, up 1.00 kg has no reading")), qPrintable(closeRefusal(r)));
        r = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
        QCOMPARE(closeRefusal(r), QString());
        Record anonymous = r;
        anonymous.provider.name = anonymous.provider.address = anonymous.instrument.customer = QStringLiteral(" ");
        QCOMPARE(closeRefusal(anonymous), QStringLiteral("A certificate names who issued it, for whom, and who calibrated: give the "
                                                         "provider's name ([Provider] Name in vantor_cal.ini), the customer "
                                                         "(Instrument tab), the provider's address ([Provider] Address in "
                                                         "vantor_cal.ini) first."));
        anonymous.format = 3; // versions 1.3 and 1.4 closed without the address
        QVERIFY(!closeRefusal(anonymous).contains(QLatin1String("address")));
        anonymous.format = 2; // version 1.2 closed without any of them
        QCOMPARE(closeRefusal(anonymous), QString());
        for (int i = 0; i < 6; ++i) {
            r.asFound[i].reading.reset();
            r.asFound[i].notPerformed = QStringLiteral("no weights");
        }
        QVERIFY(closeRefusal(r).contains(QLatin1String("its weighing test has no reading")));

        r = recordWith({0, 1.02}, {0, 1, 25}, true);
        QCOMPARE(closeRefusal(r), QString());
        r.adjustments.append({kOpened.addSecs(182), QStringLiteral("Trim 10 g up"), true, false});
        QVERIFY(!counts(r, Phase::AsLeft, r.asLeft[2]) && counts(r, Phase::AsLeft, r.asLeft[3]) == false);
        QVERIFY(counts(r, Phase::AsFound, r.asFound[0]));
        QVERIFY2(closeRefusal(r).contains(QLatin1String("As left, up 0.00 kg was read before the adjustment at")),
                 qPrintable(closeRefusal(r)));
        r.asLeft[2].reading = at(25, 190);
        QVERIFY(counts(r, Phase::AsLeft, r.asLeft[2]));
    }

    // The visit: a capture keeps the report shown, with the second's mean, spread and count; the
    // band is the record's d; weighing adjustments before the record are listed and leave as found
    // untested; limits fixed from the first reading; a discarded record ends without a verdict.
    void visitRules()
    {
        TestVisit t;
        t.visit.onDeviceEvent({DeviceEvent::Calibrated, 0, false, {}}); // zero before the record
        QCOMPARE(t.visit.start(platform150(), {}, false), QString());
        const Record &r = *t.visit.record();
        QVERIFY(r.adjustments.value(0).beforeRecord && r.adjustments[0].text == QLatin1String("Zero"));
        QCOMPARE(r.asFound.last().notPerformed, QStringLiteral("adjusted before testing"));
        t.reports({5001, 5000});
        const PointKey zero{Test::Weighing, QStringLiteral("up"), 0};
        QVERIFY(t.visit.capture(Phase::AsFound, zero).contains(QLatin1String("can no longer be taken")));
        QCOMPARE(t.visit.capture(Phase::AsLeft, zero), QString());
        const Reading &taken = *r.asLeft[0].reading;
        QCOMPARE(taken.indication, kg(50.01)); // the last report, not the mean of 50.006
        QCOMPARE(taken.mean, kg(50.006));
        QCOMPARE(taken.spread, kg(0.01));
        QCOMPARE(taken.reports, 5);
        QVERIFY(!taken.unstable);
        QCOMPARE(taken.by, QStringLiteral("001"));
        QVERIFY(t.visit.setInService(true).contains(QLatin1String("fixed from the first reading")));
        QVERIFY(t.visit.setAcceptance(Acceptance::Guarded).contains(QLatin1String("fixed from the first reading")));
        QVERIFY(!t.visit.setWeights({QStringLiteral("W-1"), {}, {}}).isEmpty());
        QCOMPARE(t.visit.capture(Phase::AsLeft, zero), QString()); // again: the first one kept
        QCOMPARE(r.asLeft[0].earlier.value(0).reading, std::optional<Reading>(taken));
        QCOMPARE(t.visit.discard(QStringLiteral(" ")), QStringLiteral("Give the reason why the record is discarded."));
        QCOMPARE(t.visit.discard(QStringLiteral("wrong scale")), QString());
        QVERIFY(r.closed() && r.discarded() && r.sha256 == r.computeSha256());
        QString error;
        QVERIFY(!writeCertificate(r, QDir::temp().filePath(QStringLiteral("none.pdf")), &error));
        QCOMPARE(t.visit.start(platform150(), {}, false), QString()); // a new record at once
    }

    // Hands-free windows, worked by hand for class III, e = 0.05 kg: three in-service MPEs (1 e up
    // to 500 e, 2 e to 2,000 e, 3 e above), no more than half the way to the next load of the test
    // or to the empty platter. Then the rules: a load is taken once, a stable load outside its
    // point's window waits for a key with a note, the points go in order (up, then down from the
    // top), a load lifted or bumped is not a new one.
    void autoCapture()
    {
        TestVisit t;
        QCOMPARE(t.visit.start(platform150(), {}, false), QString());
        QCOMPARE(t.visit.setPoints(Phase::AsFound, Test::Weighing, weighingPoints({0, kg(1), kg(1.2), kg(50), kg(150)})), QString());
        QCOMPARE(t.visit.setPoints(Phase::AsFound, Test::Repeatability, repeatabilityPoints(kg(75), 3)), QString());
        const Record &r = *t.visit.record();
        const QList<Micro> windows{kg(0.15), kg(0.1) - 1, kg(0.1) - 1, kg(0.3), kg(0.45)}; // 0, 1, 1.2, 50, 150 kg
        for (int i = 0; i < windows.size(); ++i)
            QCOMPARE(AutoCapture::window(r, Phase::AsFound, r.asFound[i]), windows[i]);
        QCOMPARE(AutoCapture::window(r, Phase::AsFound, r.asFound[8]), kg(0.15)); // down 0

        AutoCapture capture(t.visit);
        QSignalSpy taken(&capture, &AutoCapture::captured);
        capture.setTable(Phase::AsFound, Test::Weighing);
        t.reports({0});
        QCOMPARE(taken.size(), 0); // off
        capture.setEnabled(true);
        t.reports({0, 1}, 5, 3); // the load on the platter counts as new
        t.reports({0}, 5, 3);    // and is not taken twice
        QCOMPARE(taken.size(), 1);
        t.reports({90}, 5, 3); // 0.90 kg: beyond 1 kg's window, nearer 1 kg than any other
        QCOMPARE(taken.size(), 1);
        QCOMPARE(capture.note(), QStringLiteral("1.00 kg up: 0.90 on the platter, -0.10: Enter takes it"));
        t.reports({100}, 5, 3);
        QCOMPARE(capture.note(), QString());
        t.reports({0}, 5, 3);    // taken off before 1.2 kg goes on: "down 0" waits for every "up"
        t.reports({120}, 5, 3);
        t.reports({5010, 5011}, 5, 3);
        t.reports({15340}, 5, 3); // a scale far out at 150 kg
        QCOMPARE(taken.size(), 4);
        QCOMPARE(capture.note(), QStringLiteral("150.00 kg up: 153.40 on the platter, +3.40: Enter takes it"));
        t.reports({14990}, 5, 3);
        t.reports({1}, 5, 3);    // emptied on the way down: "down 0" waits for "down 50"
        t.reports({5005}, 5, 3); // down, from the top
        QCOMPARE(taken.size(), 6);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(taken[i][1].value<PointKey>().load, (QList<Micro>{0, kg(1), kg(1.2), kg(50), kg(150), kg(50)}[i]));
        QCOMPARE(taken[5][1].value<PointKey>().position, QStringLiteral("down"));
        QVERIFY(r.asFound[0].reading->automatic);

        capture.setTable(Phase::AsFound, Test::Repeatability);
        QCOMPARE(AutoCapture::pointLabel(r, Phase::AsFound, *capture.next()), QStringLiteral("75.00 kg, repeatability 1 of 3"));
        t.reports({0}, 5, 3);
        t.reports({7500}, 5, 4);
        t.reports({5500}, 5, 3); // a weight lifted to re-centre it
        t.reports({7501}, 5, 4); // and put back: not again
        t.reports({7580}, 5, 1); // a bump
        t.reports({7500}, 5, 4);
        QCOMPARE(taken.size(), 7);
        t.reports({0}, 5, 1); // emptied for a moment: the next reading in order
        t.reports({7499}, 5, 4);
        QCOMPARE(taken.size(), 8);
        QCOMPARE(taken[7][1].value<PointKey>().position, QStringLiteral("2"));
        QCOMPARE(capture.next(), std::optional<PointKey>(PointKey{Test::Repeatability, QStringLiteral("3"), kg(75)}));
        QVERIFY(readingsCsv(r).contains(",auto\r\n"));
    }

    // Records of version 1.1 (format 1) read as they were written: their SHA-256 holds, their
    // verdict and words stand, they export; an open one goes on by today's rules, its d as band.
    void recordsOfVersion11()
    {
        QTemporaryDir dir;
        SqliteStore store(writableCopy(dir, QFINDTESTDATA("data/records-1.1.sqlite")));
        const auto closed = store.load(QStringLiteral("5f0c2a9e"));
        QVERIFY(closed && closed->intact);
        QCOMPARE(closed->record.format, 1);
        QCOMPARE(closed->record.verdict, Verdict::Adjusted);
        QCOMPARE(closed->record.sha256, QStringLiteral("a048bf4673486e5991eff5c25a0230af7c0c39ec697d682a16f180d8dabfc14b"));
        QCOMPARE(resultOf(closed->record, Phase::AsFound, closed->record.asFound[2]).outcome, Outcome::Pass); // unstable passed then
        QString error;
        QVERIFY(writeCertificate(closed->record, dir.filePath(QStringLiteral("c.pdf")), &error));
        const QString text = pdfText(dir.filePath(QStringLiteral("c.pdf")));
        QVERIFY(text.contains(QLatin1String("Verdict: ADJUSTED")));
        QVERIFY(text.contains(QLatin1String("No measurement uncertainty was recorded for this record")));

        TestVisit t;
        QCOMPARE(t.visit.show(*store.load(QStringLiteral("0a7d3c51"))), QString());
        QCOMPARE(t.visit.record()->format, kRecordFormat);
        t.reports({5000, 5002}); // a spread of 0.02 kg: beyond d (0.01), within e (0.05)
        QVERIFY(!t.visit.stability().stable);
        t.reports({5000, 5001});
        QVERIFY(t.visit.stability().stable);
        t.visit.setStore(&store);
        QCOMPARE(t.visit.capture(Phase::AsFound, {Test::Weighing, QStringLiteral("up"), kg(1)}), QString());
        QCOMPARE(store.load(QStringLiteral("0a7d3c51"))->record.format, kRecordFormat);
    }

    // OIML R 111-1 Table 1: class M1 whole, the edges of the others; a load made of a 1-2-2-5 set.
    void weightClassesTable()
    {
        const QStringList m1 = {"250 000", "100 000", "50 000", "25 000", "10 000", "5 000", "2 500", "1 000", "500", "250",
                                "100", "50", "25", "10", "5.0", "3.0", "2.5", "2.0", "1.6", "1.2", "1.0", "0.8", "0.6",
                                "0.5", "0.4", "0.3", "0.25", "0.20", "0.20", "0.20"};
        QList<qint64> nominal;
        for (qint64 unit = 1000 * kKilogram; unit >= kMilligram; unit /= 10)
            nominal << 5 * unit << 2 * unit << unit;
        QCOMPARE(nominal.size(), m1.size());
        for (int i = 0; i < nominal.size(); ++i)
            QCOMPARE(weightMpeText(WeightClass::M1, nominal[i]), m1[i]);
        QCOMPARE(weightMpeText(WeightClass::E1, 50 * kKilogram), QStringLiteral("25"));
        QCOMPARE(weightMpeText(WeightClass::E1, 100 * kKilogram), QString()); // none in the table
        QCOMPARE(weightMpeText(WeightClass::E2, 1 * kMilligram), QStringLiteral("0.006"));
        QCOMPARE(weightMpeText(WeightClass::M3, 5000 * kKilogram), QStringLiteral("2 500 000"));
        QCOMPARE(weightMpeText(WeightClass::M2_3, 50 * kKilogram), QStringLiteral("16 000"));
        QCOMPARE(weightMpeUg(WeightClass::F1, 10 * kMilligram), std::optional<qint64>(25));
        QCOMPARE(weightMpeUg(WeightClass::M1, 20 * kKilogram), std::optional<qint64>(1000000));
        QCOMPARE(weightsForLoad(75 * kKilogram), (QList<qint64>{50 * kKilogram, 20 * kKilogram, 5 * kKilogram}));
        QCOMPARE(weightsForLoad(9 * kGram + 500), (QList<qint64>{5 * kGram, 2 * kGram, 2 * kGram})); // below 1 mg dropped
        QCOMPARE(weightsForLoad(12000 * kKilogram).size(), 3); // 5,000 kg twice, 2,000 kg
        QCOMPARE(weightClassFromName(QStringLiteral("m1-2")), std::optional(WeightClass::M1_2));
    }

    // U per EURAMET cg-18 from the visit's own tests, worked by hand: d = 0.05 kg; repeatability
    // at 75 kg of 75.00, 75.05, 75.00, 75.05, 75.00 (s = 0.027386 kg); eccentricity at 50 kg with
    // the largest difference from the centre 0.10 kg; M1 weights.
    //   at 100 kg: 2 x (0.014434, 0.014434, 0.027386, 0.057735, 0.002887, 0.001588) = 0.134326 kg
    //   at 50 kg (weights 0.0025 kg): 0.089504 kg; at zero (rounding and repeatability): 0.068314 kg
    void uncertaintyOfTheVisitsOwnReadings()
    {
        Record r = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
        r.format = 2; // as version 1.2 made it: k = 2
        r.weights.weightClass = QStringLiteral("M1");
        const double repeated[] = {75.00, 75.05, 75.00, 75.05, 75.00};
        for (int i = 0; i < 5; ++i)
            r.asFound[11 + i] = {Test::Repeatability, kg(75), QString::number(i + 1), at(repeated[i], 70 + i), {}, {}};
        const double eccentric[] = {50.00, 50.05, 50.00, 50.10, 50.00};
        for (int i = 0; i < 5; ++i) {
            r.asFound[16 + i].reading = at(eccentric[i], 80 + i);
            r.asFound[16 + i].notPerformed.clear();
        }
        const auto u = [&](int point) { return expandedUncertainty(r, Phase::AsFound, r.asFound[point]); };
        QCOMPARE(u(4), std::optional<Micro>(134326));
        QCOMPARE(u(0), std::optional<Micro>(68314));
        Point fifty = r.asFound[4];
        fifty.load = kg(50);
        QCOMPARE(expandedUncertainty(r, Phase::AsFound, fifty), std::optional<Micro>(89504));
        QVERIFY(uncertaintyAssumptions(r, Phase::AsFound).isEmpty());
        // As left has no tests of its own: as found's stand in, and say so.
        QCOMPARE(expandedUncertainty(r, Phase::AsLeft, r.asFound[4]), std::optional<Micro>(134326));
        QCOMPARE(uncertaintyAssumptions(r, Phase::AsLeft).size(), 2);
        QVERIFY(uncertaintyAssumptions(r, Phase::AsLeft)[0].contains(QLatin1String("the repeatability of as found stands in")));

        // Guarded acceptance: 100.04 kg at 100 kg is within the MPE of 0.05 kg, not with U on top.
        r.asFound[4].reading = at(100.04, 64);
        QCOMPARE(resultOf(r, Phase::AsFound, r.asFound[4]).outcome, Outcome::Pass);
        r.acceptance = Acceptance::Guarded;
        QCOMPARE(resultOf(r, Phase::AsFound, r.asFound[4]).outcome, Outcome::Fail);
        QCOMPARE(conformity(r, Phase::AsFound), QStringLiteral("no"));
        QCOMPARE(conformity(r, Phase::AsLeft), QStringLiteral("not tested"));
        // Sealed at closing: a later change of the model does not change a closed record's U.
        sealUncertainty(r);
        QCOMPARE(r.asFound[4].reading->expanded, std::optional<Micro>(134326));
        QVERIFY(Record::fromJson(r.toJson())->asFound[4].reading->expanded == std::optional<Micro>(134326));
        QVERIFY(!expandedUncertainty(*Record::fromJson([&] { QJsonObject o = r.toJson(); o[QStringLiteral("format")] = 1; return o; }()),
                                     Phase::AsFound, r.asFound[4]));
    }

    // Records of format 3: k = t95.45(nu_eff), checked against the t-factors of JCGM 100:2008 (GUM)
    // Annex G, Table G.2 (p = 95.45 %), a case worked by hand elsewhere (nu_eff 3.2, k 3.18) and a
    // 300 kg platform (e = d = 0.1 kg) worked by hand here; stand-ins that cannot understate; U
    // rounded as EA-4/02 says.
    void coverageFromDegreesOfFreedom()
    {
        const std::pair<double, double> g2[] = {{1, 13.97}, {2, 4.53}, {3, 3.31}, {4, 2.87}, {5, 2.65}, {10, 2.28},
                                                {20, 2.13}, {50, 2.05}, {100, 2.025}, {qInf(), 2.00}};
        for (auto [dof, k] : g2)
            QVERIFY2(qAbs(coverageFactor(dof) - k) < 0.005, qPrintable(QString::number(dof)));
        QVERIFY(qAbs(coverageFactor(3.2) - 3.185) < 0.01);

        // GUM H.1 (end gauge), its budget as printed in nm: l_s 25 (18 dof), d 9.7 (25.6), alpha_s
        // and theta 0, delta-alpha 2.9 (50), delta-theta 16.6 (2): u_c = 32 nm, nu_eff = 16.7.
        const double h1 = effectiveDegreesOfFreedom({{25, 18}, {9.7, 25.6}, {0}, {0}, {2.9, 50}, {16.6, 2}});
        QVERIFY2(qAbs(h1 - 16.7) < 0.1, qPrintable(QString::number(h1)));
        QVERIFY(coverageFactor(h1) > 2.16 && coverageFactor(h1) < 2.17); // G.2: t(17) = 2.16, t(16) = 2.17
        QVERIFY(qIsInf(effectiveDegreesOfFreedom({{0.1}, {0.2}})));

        // Repeatability at 150 kg: 150.0, 150.2, 150.0 kg, s = 0.115470 kg with 2 degrees of freedom;
        // rounding 0.028868 kg twice; no eccentricity (all positions as the centre), no weight
        // class. u = sqrt(2 x 0.028868^2 + 0.115470^2) = sqrt(0.015) = 0.122474 kg;
        // nu_eff = 2 x (0.015 / 0.013333)^2 = 2.53, so k lies between t(3) = 3.31 and t(2) = 4.53.
        Instrument in = platform150();
        in.max = kg(300);
        in.min = kg(2);
        in.e = in.d = kg(0.1);
        Record r = newRecord(in, QStringLiteral("001"), false, kOpened);
        int second = 0;
        for (Point &p : r.asFound) {
            p.reading = at(p.test == Test::Repeatability && p.position == QLatin1String("2") ? 150.2 : double(p.load) / kMicro, ++second);
            p.notPerformed.clear();
        }
        QCOMPARE(r.asFound[13].load, kg(150)); // the first of 3 repeatability readings
        const Point &half = r.asFound[3];      // up 150 kg
        const UncertaintyBudget b = uncertaintyOf(r, Phase::AsFound, half);
        QVERIFY(qAbs(b.standard() - 0.122474) < 1e-6);
        QVERIFY(qAbs(b.effectiveDof() - 2.53125) < 1e-4);
        const double k = *coverageOf(r, Phase::AsFound, half);
        QVERIFY(k > 3.31 && k < 4.53);
        QCOMPARE(*expandedUncertainty(r, Phase::AsFound, half), Micro(std::ceil(k * 0.1224745 * kMicro - 1e-6)));
        sealUncertainty(r);
        QCOMPARE(double(*r.asFound[3].reading->coverage) / kMicro, k);
        QTemporaryDir dir;
        QString error;
        QVERIFY2(writeCertificate(closedRecord(r), dir.filePath(QStringLiteral("k.pdf")), &error), qPrintable(error));
        const QString text = pdfText(dir.filePath(QStringLiteral("k.pdf")));
        QVERIFY(text.contains(QStringLiteral("150.0   ") + QString::number(k, 'f', 2)) || text.contains(QString::number(k, 'f', 2)));
        QVERIFY2(text.contains(QLatin1String("t95.45")), qPrintable(text.section(QLatin1String("Measurement uncertainty"), 1).left(600)));
        QCOMPARE(Record::fromJson(r.toJson())->asFound[3].reading->coverage, r.asFound[3].reading->coverage);
        r.format = 2;
        for (Point &p : r.asFound)
            p.reading->expanded = p.reading->coverage = std::nullopt;
        QCOMPARE(*coverageOf(r, Phase::AsFound, half), 2.0); // version 1.2's records: k = 2
        QCOMPARE(*expandedUncertainty(r, Phase::AsFound, half), Micro(244949));

        // No repeatability or eccentricity test anywhere: at 100 kg on the 150 kg platform (MPE
        // 0.05 kg), s = 0.05 / 2.326 = 0.021496 kg (5 readings planned) with the 3.62 degrees of
        // freedom of a range of 5; eccentricity 2 MPE at 50 kg: 2 x 0.05 / (2 x 50 x sqrt 3) x 100
        // = 0.057735 kg. u^2 = 2 x 0.014434^2 + 0.021496^2 + 0.057735^2 = 0.0042121 kg^2, so
        // nu_eff = 0.0042121^2 / (0.021496^4 / 3.62) = 301: k lies between G.2's t(100) and 2.
        Record gaps = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
        const UncertaintyBudget g = uncertaintyOf(gaps, Phase::AsFound, gaps.asFound[4]);
        QVERIFY(qAbs(g.repeatability - 0.021496) < 1e-6);
        QVERIFY(qAbs(g.eccentricity - 0.057735) < 1e-6);
        QVERIFY2(qAbs(g.effectiveDof() - 301) < 1, qPrintable(QString::number(g.effectiveDof())));
        QVERIFY(g.coverage() > 2.0 && g.coverage() < 2.025);
        QVERIFY(uncertaintyAssumptions(gaps, Phase::AsFound).join(' ').contains(QLatin1String("2 MPE of the eccentricity load (0.100 kg)")));

        // Weights of class M1-2 for 70 kg: 50 kg (M1-2, 5,000 mg) and 20 kg, which M1-2 has not: M2's
        // 3,000 mg, the coarser (version 1.2 took M1's 1,000 mg). u = 8 g / sqrt 3 = 0.0046188 kg.
        Point seventy = gaps.asFound[4];
        seventy.load = kg(70);
        gaps.weights.weightClass = QStringLiteral("M1-2");
        QVERIFY(qAbs(uncertaintyOf(gaps, Phase::AsFound, seventy).weights - 0.0046188) < 1e-7);
        gaps.format = 2;
        QVERIFY(qAbs(uncertaintyOf(gaps, Phase::AsFound, seventy).weights - 0.0034641) < 1e-7);
        // Class E1 has no weight above 50 kg: a plan up to 150 kg is refused, naming both.
        TestVisit t;
        QCOMPARE(t.visit.start(platform150(), {QStringLiteral("W-1"), QStringLiteral("E1"), {}}, false),
                 QStringLiteral("A load of 100.00 kg is refused: it needs a weight of 100 kg, and OIML R 111 class E1 has none "
                                "(its largest is 50 kg), so its uncertainty cannot be stated. Choose the class of the weights at hand."));
        QCOMPARE(t.visit.start(platform150(), {QStringLiteral("W-1"), QStringLiteral("E2"), {}}, false), QString());
        QVERIFY(t.visit.setWeights({QStringLiteral("W-1"), QStringLiteral("E1"), {}}).contains(QLatin1String("class E1 has none")));

        // Guarded acceptance as versions 1.3 and 1.4 judged it (format 3), with no tests of
        // repeatability or eccentricity: U is above the MPE at every load (at 150 kg: 2 x sqrt(2 x
        // 0.014434^2 + 0.032245^2 + 0.086603^2) = 0.19 kg, MPE 0.075 kg), so conformity cannot be
        // stated: not FAIL; a reading beyond the MPE fails.
        Record guarded = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
        guarded.format = 3;
        guarded.acceptance = Acceptance::Guarded;
        QVERIFY(*expandedUncertainty(guarded, Phase::AsFound, guarded.asFound[5]) > kg(0.18));
        QCOMPARE(resultWord(resultOf(guarded, Phase::AsFound, guarded.asFound[5])), QStringLiteral("cannot be stated"));
        QCOMPARE(conformity(guarded, Phase::AsFound), QStringLiteral("cannot be stated at 6 of 6 readings (U >= MPE)"));
        QCOMPARE(verdictOf(guarded), Verdict::NotStated);
        QVERIFY(writeCertificate(closedRecord(guarded), dir.filePath(QStringLiteral("g.pdf")), &error));
        const QString guardedText = pdfText(dir.filePath(QStringLiteral("g.pdf")));
        QVERIFY(guardedText.contains(QLatin1String("Within the limits as found: cannot be stated at 6 of 6 readings")));
        QVERIFY(guardedText.contains(QLatin1String("Verdict: CONFORMITY NOT STATED")));
        // Format 4 (ILAC-G8:2019): the binary rule fails a worse measurement (4.2.2); the
        // non-binary one says conditional pass within the MPE, conditional fail within MPE + U.
        Record binary = guarded;
        binary.format = 4;
        QCOMPARE(verdictOf(binary), Verdict::Fail);
        binary.acceptance = Acceptance::NonBinary;
        QCOMPARE(conformity(binary, Phase::AsFound), QStringLiteral("conditional pass at 6 of 6 readings (|E| <= MPE < |E| + U)"));
        QCOMPARE(verdictOf(binary), Verdict::ConditionalPass);
        guarded.asFound[5].reading = binary.asFound[5].reading = at(150.2, 70);
        QCOMPARE(resultWord(resultOf(guarded, Phase::AsFound, guarded.asFound[5])), QStringLiteral("FAIL"));
        QCOMPARE(verdictOf(guarded), Verdict::Fail);
        QCOMPARE(resultWord(resultOf(binary, Phase::AsFound, binary.asFound[5])), QStringLiteral("conditional FAIL"));
        QCOMPARE(verdictOf(binary), Verdict::ConditionalFail);
        guarded.format = 2; // version 1.2: FAIL wherever |E| + U > MPE
        QCOMPARE(conformity(guarded, Phase::AsFound), QStringLiteral("no"));

        // EA-4/02: 0.0849 to two decimals is 0.08, 5.8 % low: 0.09; 0.0840 is 0.08, 4.8 % low.
        QCOMPARE(formatUncertainty(84900, 2, true), QStringLiteral("0.09"));
        QCOMPARE(formatUncertainty(84000, 2, true), QStringLiteral("0.08"));
        QCOMPARE(formatUncertainty(86000, 2, true), QStringLiteral("0.09"));
    }

    // A table that goes over a page break repeats its header and leaves no page fewer than three
    // rows, on A4 and on Letter; every page says "Page x of y".
    void certificateLayout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.pdf"));
        for (QPageSize::PageSizeId paper : {QPageSize::A4, QPageSize::Letter}) {
            for (int rows = 50; rows <= 110; rows += 3) { // each last page gets from 1 to 60 rows
                PagedDocument doc;
                doc.paragraph(QStringLiteral("before the table"));
                QList<QStringList> table;
                for (int i = 1; i <= rows; ++i)
                    table << QStringList{QStringLiteral("row%1").arg(i), QStringLiteral("x")};
                doc.table({QStringLiteral("Head"), QStringLiteral("Value")}, {1, 1}, table);
                QPdfWriter writer(path);
                writer.setPageSize(QPageSize(paper));
                writer.setResolution(300);
                const int pages = doc.draw(writer, QStringLiteral("Layout"));
                const QStringList texts = pdfText(path).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
                QCOMPARE(texts.size(), pages);
                int seen = 0;
                for (int page = 0; page < pages; ++page) {
                    QVERIFY(texts[page].contains(QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages)));
                    const int here = int(texts[page].count(QLatin1String("row")));
                    seen += here;
                    QVERIFY2(here >= PagedDocument::kMinRowsOnAPage && texts[page].contains(QLatin1String("Head")),
                             qPrintable(QStringLiteral("%1 rows, page %2: %3 rows").arg(rows).arg(page + 1).arg(here)));
                }
                QCOMPARE(seen, rows);
            }
        }
    }

    // A record written open, replaced, closed once; read back whole (its unstable marks too);
    // never changed after; a record the store has not taken is never replaced by another.
    void storeKeepsClosedRecordsAsTheyWere()
    {
        QTemporaryDir dir;
        SqliteStore store(dir.filePath(QStringLiteral("records.sqlite")));
        Record r = recordWith({0, 1.02, 25.5}, {}, false);
        store.save(r);
        r = recordWith({0, 1.02, 25.5}, {0, 1, 25}, true);
        r.asLeft[1].reading->unstable = true;
        r.uuid = store.history(QString()).value(0).uuid;
        store.save(r);
        const Record closed = closedRecord(r);
        store.save(closed);
        store.save(closed); // the same closed record again: nothing to change
        store.saveInstrument(closed.instrument);
        QCOMPARE(store.instrument(QStringLiteral("12345678901")), std::optional<Instrument>(closed.instrument));

        const QList<RecordSummary> list = store.history(QStringLiteral("12345678901"));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].verdict, Verdict::Fail);
        QCOMPARE(list[0].userType, QStringLiteral("002"));
        const auto loaded = store.load(recordNumber(closed));
        QVERIFY(loaded && loaded->intact);
        QCOMPARE(loaded->record.canonical(), closed.canonical());
        QCOMPARE(loaded->record.sha256, closed.sha256);
        QVERIFY(loaded->record.asLeft[1].reading->unstable);

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
        QVERIFY(raw.exec(QStringLiteral("UPDATE records SET body = replace(body, '\"unstable\":true', '\"unstable\":false') WHERE revision = 2")));
        QVERIFY(!store.load(closed.uuid)->intact);
        QVERIFY(!store.load(revision.uuid)->intact);

        // The store refuses: the closed record stays here, and nothing takes its place.
        TestVisit t;
        SqliteStore missing(dir.filePath(QStringLiteral("no/such/folder/records.sqlite")));
        t.visit.setStore(&missing);
        QCOMPARE(t.visit.show({recordWith({0}, {}, false), true}), QString());
        QVERIFY(t.visit.discard(QStringLiteral("test")).isEmpty() && t.visit.unsaved());
        const QString kept = t.visit.record()->uuid;
        QVERIFY(t.visit.show(*store.load(revision.uuid)).contains(QLatin1String("is not saved yet")));
        QVERIFY(!t.visit.start(platform150(), {}, false).isEmpty());
        QCOMPARE(t.visit.record()->uuid, kept);
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

    // The certificate names what was not tested and what was taken again; the CSV has a line for
    // every reading a point held, with a point as the decimal separator whatever the locale.
    void certificateAndCsv()
    {
        QTemporaryDir dir;
        Record r = recordWith({0, 1.02, 25.5}, {0, 1, 25}, true);
        r.points(Phase::AsLeft)[2].reading->unstable = true;
        r.points(Phase::AsLeft)[1].earlier.append({at(1.2, 181), {}, QStringLiteral("replaced"), kOpened.addSecs(181), "002"});
        r.points(Phase::AsLeft)[0].earlier.append({at(0.05, 178), {}, QStringLiteral("replaced"), kOpened.addSecs(180), "002"});
        r.adjustments.append({kOpened.addSecs(179), QStringLiteral("Trim 10 g up"), true, false}); // voids the one at 178 s
        r.weights = {QStringLiteral("W-12"), QStringLiteral("M1"), QStringLiteral("2026-0417")};
        r = closedRecord(r);
        QString error;
        const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
        {
            LocalZone ahead("XYZ-1");
            QVERIFY2(writeCertificate(r, pdf, &error), qPrintable(error));
        }
        const QString text = pdfText(pdf);
        QVERIFY(text.simplified().contains(QLatin1String("Date of calibration 2026-12-07"))); // read from 09:01 UTC on
        for (const QString &expected : {QStringLiteral("Calibration certificate ") + recordNumber(r), QStringLiteral("Page 1 of "),
                                        QStringLiteral("Vantor \"PS\", 150 kg"), QStringLiteral("set W-12, OIML R 111 class M1, certificate 2026-0417"),
                                        QStringLiteral("25.500"), QStringLiteral("Calibration with 50 kg"),
                                        QStringLiteral("FAIL (unstable)"), QStringLiteral("Verdict: FAIL"), r.sha256,
                                        QStringLiteral("not performed: not asked for"), QStringLiteral("2 reading(s) retaken or removed"),
                                        QStringLiteral("void: taken before the trim 10 g"), QStringLiteral("replaced by the technician;"),
                                        QStringLiteral("Signature")})
            QVERIFY2(text.contains(expected), qPrintable(expected));
        QVERIFY(!writeCertificate(r, dir.filePath(QStringLiteral("no/such/folder/c.pdf")), &error));

        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QList<QByteArray> lines = readingsCsv(r).split('\n');
        QLocale::setDefault(QLocale::c());
        QCOMPARE(lines[0], QByteArray("record,revision,index_no,phase,test,position,load,indication,error,mpe,result,unstable,"
                                      "time,unit,mean,spread,reports,status,by,u_expanded,decision_rule,conformity,capture\r"));
        QVERIFY(lines[3].startsWith((recordNumber(r) + ",1,12345678901,as found,weighing,up,25.00,25.500,0.500,0.025,fail,no,"
                                     "2026-12-07T09:01:02.000Z,kg,,,,counted,,0.0").toUtf8()));
        QVERIFY(lines[3].endsWith(",simple,fail,key\r"));
        QVERIFY(lines[4].contains(",as found,weighing,up,75.00,,,0.050,,,,kg,,,,not performed: not asked for,,,simple,,\r"));
        const auto line = [&lines](const char *part) {
            const auto found = std::find_if(lines.begin(), lines.end(), [part](const QByteArray &l) { return l.contains(part); });
            return found == lines.end() ? QByteArray() : *found;
        };
        QVERIFY(line(",as left,weighing,up,1.00,1.200,").contains(",replaced by the technician; 2026-12-07T09:03:01.000Z by 002,"));
        QVERIFY(line(",as left,weighing,up,0.00,0.050,").contains(",void: taken before the trim 10 g up at "));
        QVERIFY(!line(",as left,weighing,up,25.00,25.000,0.000,0.025,fail,yes,").isEmpty());
    }
};

QTEST_MAIN(tst_Records)
#include "tst_records.moc"
