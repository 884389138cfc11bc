// What an assessor checks of a record and its certificate, each against figures from outside the
// code: the decision rules as ILAC-G8:2019 states them, U as EA-4/02 reports it, stand-ins that
// never favour a skipped test (GUM G.4.2 and the control-chart constants d2, d3), the staircase of
// ILAC-G24, reference weights against OIML R 76-1 3.7.1 and R 111 Table 1, one due date and one
// day per record, corrections, and the records that earlier versions wrote.
#include "Certificate.h"
#include "Drift.h"
#include "Intervals.h"
#include "PlanChecks.h"
#include "RecordSamples.h"
#include "RecordWindow.h"
#include "Uncertainty.h"
#include "WeightClasses.h"

#include "InputBox.h"
#include "MsgBox.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>

using namespace records;
using namespace testsupport;

namespace {

const PointKey kZero{Test::Weighing, QStringLiteral("up"), 0};

// A closed earlier visit of platform150 with a repeatability test at 75 kg (75.00, 75.01, 75.00,
// 75.01, 75.00: s = sqrt(1.2e-4 / 4) = 0.005477 kg) and an eccentricity test without differences.
Record earlierVisit()
{
    Record r = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
    const double repeated[] = {75.00, 75.01, 75.00, 75.01, 75.00};
    for (int i = 0; i < 5; ++i) {
        r.asFound[11 + i].reading = at(repeated[i], 70 + i);
        r.asFound[11 + i].notPerformed.clear();
        r.asFound[16 + i].reading = at(50, 80 + i);
        r.asFound[16 + i].notPerformed.clear();
    }
    return closedRecord(r);
}

// Every point of an open record that waits, marked not performed.
void markTheRest(Visit &visit)
{
    const Record &r = *visit.record();
    for (Phase phase : {Phase::AsFound, Phase::AsLeft}) {
        QList<PointKey> rest;
        for (const Point &p : r.points(phase))
            if (!counts(r, phase, p) && p.notPerformed.isEmpty() && (phase == Phase::AsFound || adjusted(r)))
                rest << keyOf(p);
        if (!rest.isEmpty())
            visit.markNotPerformed(phase, rest, QStringLiteral("not asked for"));
    }
}

} // namespace

class tst_Conformity : public QObject
{
    Q_OBJECT

private slots:
    // ILAC-G8:2019 4.2.1-4.2.3 at 25 kg in service (MPE 0.050 kg) with U = 0.020 kg, each case at
    // its edge: |E| = MPE - U, |E| = MPE and |E| = MPE + U, and beyond. The worked case
    // by hand: class III, e = d = 0.05 kg, M1 weights (20 kg + 5 kg: 1,250 mg), eccentricity
    // 0.05 kg at 50 kg, E = +0.010 kg. u^2 = 2 x 0.014434^2 + s^2 + (0.05 x 25 / (2 x 50 x sqrt 3))^2
    // + (0.00125 / sqrt 3)^2 + ((0.1 x 1.2 / 8000 x 25 + 0.00125 / 4) / sqrt 3)^2: with s = 0.010 kg
    // from 5 readings u = 0.0238627 kg, nu_eff = 129.7, U = 0.048 kg; with s = 0.012 kg
    // u = 0.0247675 kg, nu_eff = 72.6, U = 0.050 kg.
    void decisionRulesOfIlacG8()
    {
        Record r = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
        r.inService = true;
        const std::pair<double, std::array<Outcome, 3>> cases[] = {
            // indication: simple, binary, non-binary
            {25.03, {Outcome::Pass, Outcome::Pass, Outcome::Pass}},
            {25.04, {Outcome::Pass, Outcome::Fail, Outcome::ConditionalPass}},
            {24.95, {Outcome::Pass, Outcome::Fail, Outcome::ConditionalPass}},
            {25.07, {Outcome::Fail, Outcome::Fail, Outcome::ConditionalFail}},
            {25.08, {Outcome::Fail, Outcome::Fail, Outcome::Fail}},
        };
        for (const auto &[indication, expected] : cases) {
            r.asFound[2].reading = at(indication, 62);
            r.asFound[2].reading->expanded = kg(0.020); // sealed
            for (Acceptance rule : {Acceptance::Simple, Acceptance::Guarded, Acceptance::NonBinary}) {
                r.acceptance = rule;
                QVERIFY2(resultOf(r, Phase::AsFound, r.asFound[2]).outcome == expected[int(rule)],
                         qPrintable(QStringLiteral("%1 kg, rule %2").arg(indication).arg(int(rule))));
            }
        }
        // The verdict is the deciding phase's worst result.
        r.asFound[2].reading = at(25.04, 62);
        r.asFound[2].reading->expanded = kg(0.020);
        QCOMPARE(verdictOf(r), Verdict::ConditionalPass);
        r.asFound[3].reading = at(75.12, 63); // MPE 0.100 kg, U above 0.020 kg: conditional fail
        QCOMPARE(verdictOf(r), Verdict::ConditionalFail);
        QVERIFY(decisionRule(r).startsWith(QLatin1String("Guarded acceptance, non-binary statement (ILAC-G8:2019, 4.2.3")));
        r.acceptance = Acceptance::Guarded;
        QCOMPARE(verdictOf(r), Verdict::Fail);
        QVERIFY(decisionRule(r).contains(QLatin1String("(ILAC-G8:2019, 4.2.2; w = U): pass when |E| <= MPE - U, else fail.")));

        Record worked = recordWith({0, 1, 25.01}, {}, false);
        worked.inService = true;
        worked.weights.weightClass = QStringLiteral("M1");
        for (int i = 0; i < 5; ++i) {
            worked.asFound[16 + i].reading = at(i == 1 ? 50.05 : 50.00, 80 + i);
            worked.asFound[16 + i].notPerformed.clear();
        }
        const Point &at25 = worked.asFound[2];
        const std::tuple<double, double, double, double, double> measured[] = {
            // s, u, nu_eff, U from, U to
            {0.010, 0.0238627, 129.7, 0.0480, 0.0485},
            {0.012, 0.0247675, 72.6, 0.0500, 0.0506},
        };
        for (const auto &[s, u, dof, low, high] : measured) {
            worked.priorTests.repeatability = PriorRepeatability{QStringLiteral("0c2d"), 1, QDate(2026, 6, 1), kg(s), 5, kg(75)};
            const UncertaintyBudget b = uncertaintyOf(worked, Phase::AsFound, at25);
            QVERIFY2(qAbs(b.standard() - u) < 1e-6, qPrintable(QString::number(b.standard(), 'g', 8)));
            QVERIFY2(qAbs(b.effectiveDof() - dof) < 0.1, qPrintable(QString::number(b.effectiveDof())));
            const double expanded = double(*expandedUncertainty(worked, Phase::AsFound, at25)) / kMicro;
            QVERIFY2(expanded > low && expanded < high, qPrintable(QString::number(expanded)));
            worked.acceptance = Acceptance::Guarded;
            QCOMPARE(resultOf(worked, Phase::AsFound, at25).outcome, Outcome::Fail); // a worse measurement never reads milder
            worked.acceptance = Acceptance::NonBinary;
            QCOMPARE(resultOf(worked, Phase::AsFound, at25).outcome, Outcome::ConditionalPass);
        }
    }

    // The binary rule cannot accept where U >= MPE: refused before the first reading, naming the
    // loads, whether chosen at New record, on the Visit tab before it, or on an open record; the
    // scale's own earlier tests (s = 0.0055 kg) let it accept. Warnings before the first reading:
    // class M3 at 25 kg (12.5 g against a third of 25 g) and 50 kg (25 g against a third of 50 g),
    // and U above the MPE at zero under simple acceptance (2.00 x sqrt(2 x 0.014434^2 + 0.005477^2)
    // = 0.042 kg against 0.025 kg).
    void rulesCheckedBeforeTheFirstReading()
    {
        TestVisit t;
        t.visit.setProvider({QStringLiteral("Scales Service Co."), QStringLiteral("4 Harbour Road"), {}, {}, {}});
        const ReferenceWeights m1{QStringLiteral("W-7"), QStringLiteral("M1"), QStringLiteral("CAL-118"), QStringLiteral("Mass Lab")};
        const QString refused = t.visit.start(platform150(), m1, true, Acceptance::Guarded);
        QVERIFY2(refused.startsWith(QLatin1String("Guarded acceptance with a binary statement (ILAC-G8:2019, 4.2.2) cannot accept at "
                                                  "0.00 kg (U 0.06"))
                     && refused.contains(QLatin1String("MPE 0.050 kg)")),
                 qPrintable(refused));
        QVERIFY(!t.visit.record());

        RecordWindow window(t.visit);
        QStringList boxes;
        platform::setMsgBoxHandler([&boxes](const platform::MsgBoxRequest &r) { boxes << r.prompt; return int(platform::vbOK); });
        window.show();
        window.tabs->setCurrentWidget(window.visitForm);
        window.instrument->max->setText(QStringLiteral("150"));
        window.instrument->min->setText(QStringLiteral("1"));
        window.instrument->scaleInterval->setText(QStringLiteral("0.05"));
        window.instrument->displayInterval->setText(QStringLiteral("0.05"));
        window.visitForm->limits->setCurrentIndex(1);
        window.visitForm->decisionRule->setFocus();
        QTest::keyClick(window.visitForm->decisionRule, Qt::Key_Down); // the binary rule, chosen by key
        QCOMPARE(boxes.value(0), refused);
        QCOMPARE(window.visitForm->acceptance(), Acceptance::Simple);
        QTest::keyClick(window.visitForm->decisionRule, Qt::Key_End); // the non-binary rule may be chosen
        QCOMPARE(window.visitForm->acceptance(), Acceptance::NonBinary);
        QCOMPARE(boxes.size(), 1);

        QCOMPARE(t.visit.start(platform150(), m1, true, Acceptance::NonBinary), QString());
        QCOMPARE(t.visit.setAcceptance(Acceptance::Guarded), refused);
        QCOMPARE(t.visit.discard(QStringLiteral("another rule")), QString());
        t.store.save(earlierVisit()); // the scale's own tests, from its last visit
        QCOMPARE(t.visit.start(platform150(), m1, true, Acceptance::Guarded), QString());
        QCOMPARE(t.visit.record()->priorTests.repeatability->s, kg(0.005477));
        QCOMPARE(t.visit.record()->priorTests.repeatability->readings, 5);
        QCOMPARE(t.visit.record()->priorTests.eccentricity->largest, 0);
        QVERIFY(t.visit.setInService(false).startsWith(QLatin1String("Guarded acceptance with a binary statement"))); // half the MPE
        QCOMPARE(t.visit.setAcceptance(Acceptance::Simple), QString());

        QCOMPARE(t.visit.discard(QStringLiteral("another set")), QString());
        QCOMPARE(t.visit.start(platform150(), {QStringLiteral("W-9"), QStringLiteral("M3"), {}, {}}, false), QString());
        const QStringList warnings = planWarnings(*t.visit.record());
        QCOMPARE(warnings.size(), 2);
        QVERIFY2(warnings[0].contains(QLatin1String("class M3) may err by more than a third of the scale's MPE at 25.00 kg (the "
                                                    "weights' MPE 0.0125 kg, a third of the scale's MPE 0.0083 kg), 50.00 kg (the "
                                                    "weights' MPE 0.0250 kg, a third of the scale's MPE 0.0167 kg)"))
                     && warnings[0].contains(QLatin1String("OIML R 76-1 3.7.1")),
                 qPrintable(warnings[0]));
        QVERIFY2(warnings[1].startsWith(QLatin1String("Under simple acceptance U exceeds the MPE at 0.00 kg (U 0.04")), qPrintable(warnings[1]));
        platform::setMsgBoxHandler(nullptr);
    }

    // EA-4/02 and GUM 7.2.6: U to at most two significant digits, rounded to the nearest unless
    // that lowers it by more than 5 %; E to the same decimal place.
    void uncertaintyToTwoSignificantDigits()
    {
        const std::tuple<Micro, Micro, int> rounded[] = {
            {kg(0.349), kg(0.35), 2}, {kg(0.0849), kg(0.085), 3}, {kg(0.010499), kg(0.010), 3},
            {kg(1.049), kg(1.0), 1},  {kg(0.000096), kg(0.000096), 6}, {kg(123.4), kg(120), 0},
        };
        for (const auto &[u, shown, decimals] : rounded) {
            QCOMPARE(reportedUncertainty(u).value, shown);
            QCOMPARE(reportedUncertainty(u).decimals, decimals);
        }
        Record r = recordWith({0}, {}, false);
        const PrintedResult printed = printedResult(r, kg(-0.0149), kg(0.349), true);
        QCOMPARE(printed.u, QStringLiteral("0.35"));
        QCOMPARE(printed.error, QStringLiteral("-0.01"));
        r.format = 3; // versions 1.3 and 1.4: the reading's decimals
        QCOMPARE(printedResult(r, kg(-0.0149), kg(0.349), true).u, QStringLiteral("0.349"));
    }

    // A test skipped stands in with what never lowers U: the scale's own last test, else s from the
    // requirement with the degrees of freedom of a range, 1 / (2 (d3 / d2)^2) from the control
    // chart constants (d2, d3 = 1.128, 0.853 for 2; 1.693, 0.888 for 3; 2.326, 0.864 for 5),
    // about 3.6 for 5 readings as GUM G.4.2 puts it. At 150 kg in service (MPE 0.150 kg, e = d =
    // 0.05 kg, no eccentricity): s = 0.15 / 2.326 = 0.064488 kg; u^2 = 2 x 0.014434^2 + 0.064488^2
    // = 0.0045754 kg^2; nu_eff = 4.39 for the stand-in (k between t(5) = 2.65 and t(4) = 2.87),
    // 4.84 for the same s measured over 5 readings, which gives a smaller k.
    void standInsNeverFavourSkipping()
    {
        QVERIFY(qAbs(rangeDegreesOfFreedom(2) - 0.874) < 0.005);
        QVERIFY(qAbs(rangeDegreesOfFreedom(3) - 1.817) < 0.005);
        QVERIFY(qAbs(rangeDegreesOfFreedom(5) - 3.62) < 0.01);

        Record skipped = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
        skipped.inService = true;
        for (int i = 16; i < 21; ++i) {
            skipped.asFound[i].reading = at(50, i);
            skipped.asFound[i].notPerformed.clear();
        }
        const UncertaintyBudget standIn = uncertaintyOf(skipped, Phase::AsFound, skipped.asFound[5]);
        QVERIFY(qAbs(standIn.repeatability - 0.064488) < 1e-6);
        QVERIFY2(qAbs(standIn.effectiveDof() - 4.39) < 0.01, qPrintable(QString::number(standIn.effectiveDof())));
        QVERIFY(standIn.coverage() > 2.65 && standIn.coverage() < 2.87);
        Record measured = skipped;
        measured.priorTests.repeatability = PriorRepeatability{QStringLiteral("0c2d"), 1, QDate(2026, 6, 1), kg(0.064488), 5, kg(75)};
        const UncertaintyBudget fromReadings = uncertaintyOf(measured, Phase::AsFound, measured.asFound[5]);
        QVERIFY2(qAbs(fromReadings.effectiveDof() - 4.84) < 0.01, qPrintable(QString::number(fromReadings.effectiveDof())));
        QVERIFY(standIn.coverage() > fromReadings.coverage());
        skipped.format = 3; // versions 1.3 and 1.4 counted the stand-in as exact: k = 2
        QCOMPARE(uncertaintyOf(skipped, Phase::AsFound, skipped.asFound[5]).coverage(), 2.0);

        // From the scale's history, named with its record, and kept with the record.
        TestVisit t;
        const Record earlier = earlierVisit();
        t.store.save(earlier);
        QCOMPARE(t.visit.start(platform150(), {}, false), QString());
        const QString notes = uncertaintyAssumptions(*t.visit.record(), Phase::AsFound).join(QLatin1Char(' '));
        QVERIFY2(notes.contains(QStringLiteral("the scale's last one stands in: record %1 of 2026-12-07, s = 0.0055 kg from 5 readings "
                                               "at 75.00 kg (4 degrees of freedom)").arg(recordNumber(earlier)))
                     && notes.contains(QLatin1String("the largest difference from the centre 0.000 kg at 50.00 kg")),
                 qPrintable(notes));
        const Record reread = *Record::fromJson(t.visit.record()->toJson());
        QCOMPARE(reread.priorTests, t.visit.record()->priorTests);
        QCOMPARE(reread.canonical(), t.visit.record()->canonical());
    }

    // ILAC-G24's staircase over every as-found test: within 80 % of the MPE extend, to 100 % keep,
    // beyond shorten; the weighing test going down and the eccentricity test count as well.
    void staircaseOverEveryTest()
    {
        Record down = recordWith({0, 1, 25, 75, 100, 150, 100.05}, {}, false); // down at 100 kg: 0.05 of 0.05
        QCOMPARE(staircaseOf(down, 12)->step, Staircase::Keep);
        QVERIFY2(intervalHint(down, 12).contains(QLatin1String("up to 100 % of the MPE: E = 0.050 kg at 100.00 kg (down 100.00 kg")),
                 qPrintable(intervalHint(down, 12)));
        Record eccentric = recordWith({0, 1, 25, 75, 100, 150}, {}, false);
        for (int i = 16; i < 21; ++i) {
            eccentric.asFound[i].reading = at(i == 17 ? 50.06 : 50, i); // front left 0.06 of 0.05
            eccentric.asFound[i].notPerformed.clear();
        }
        QCOMPARE(staircaseOf(eccentric, 12)->step, Staircase::Shorten);
        QCOMPARE(staircaseOf(eccentric, 12)->suggested, 9);
        QVERIFY(intervalHint(eccentric, 12).contains(QLatin1String("eccentricity front left at 50.00 kg")));
        QCOMPARE(staircaseOf(recordWith({0, 1, 25.02}, {}, false), 12)->suggested, 15); // 80 %: extend
        QVERIFY(!staircaseOf(recordWith({}, {}, false), 12));
    }

    // One visit, one day and one certificate: opened at 23:50 and read after midnight (local time
    // an hour ahead of UTC), it counts from the day of its first reading everywhere; the agreement
    // in effect at closing is sealed into it; a correction asks why, names the certificate it
    // replaces, and replaces it only once closed; the traceability statement names the weights'
    // certificate and who issued it; a scale due exactly DAYS from today is in the due list.
    void oneDayAndOneCertificatePerRecord()
    {
        LocalZone ahead("XYZ-1");
        TestVisit t;
        const QString scale = platform150().indexNo;
        t.store.saveAgreement({scale, 12, QDate(2026, 1, 5), QStringLiteral("Anna Berg"), QDateTime(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC)});
        t.visit.setProvider({QStringLiteral("Scales Service Co."), QStringLiteral("4 Harbour Road"), {}, {}, {}});
        Instrument in = platform150();
        in.customer = QStringLiteral("Mill & Sons Ltd");
        t.ms = (13 * 60 + 50) * 60000; // 22:50 UTC: 23:50 here
        QCOMPARE(t.visit.start(in, {QStringLiteral("W-7"), QStringLiteral("M1"), QStringLiteral("CAL-118"), QStringLiteral("Mass Lab Ltd")},
                               true),
                 QString());
        t.visit.setDetails({QStringLiteral("Anna Berg"), QStringLiteral("Dock 3"), {}, {}});
        t.ms += 20 * 60000; // after midnight here
        t.reports({0, 0});
        QCOMPARE(t.visit.capture(Phase::AsFound, kZero), QString());
        markTheRest(t.visit);
        QCOMPARE(t.visit.close(), QString());
        const Record first = *t.visit.record();
        QCOMPARE(first.due, (SealedDue{12, QDate(2026, 1, 5), QStringLiteral("Anna Berg"), QDate(2027, 12, 8)}));
        QCOMPARE(calibrationDay(t.store.history(scale).value(0)), QDate(2026, 12, 8));
        const auto dueIn = [&](const QDate &today, int days) {
            return dueList(t.store.history({}), currentAgreements(t.store.agreements({})), {}, today, days).size();
        };
        QCOMPARE(dueIn(QDate(2027, 12, 1), 7), 1); // due exactly 7 days later
        QCOMPARE(dueIn(QDate(2027, 12, 1), 6), 0);
        t.store.saveAgreement({scale, 24, QDate(2027, 1, 5), QStringLiteral("Ben Ode"), QDateTime(QDate(2027, 1, 5), QTime(9, 0), Qt::UTC)});
        QCOMPARE(nextDueOf(first, t.store.agreements(scale)), QDate(2027, 12, 8)); // as sealed, whatever was agreed since

        // Corrections: one still open, or discarded, replaces nothing; a closed one does.
        QCOMPARE(t.visit.correct(QStringLiteral(" ")), QStringLiteral("Give the reason for the correction: the new certificate states it."));
        QCOMPARE(t.visit.correct(QStringLiteral("wrong set")), QString());
        QCOMPARE(calibrations(t.store.history(scale)).value(0).uuid, first.uuid);
        QCOMPARE(t.visit.discard(QStringLiteral("corrected the wrong record")), QString());
        QCOMPARE(calibrations(t.store.history(scale)).value(0).uuid, first.uuid);
        QCOMPARE(t.visit.show(*t.store.load(first.uuid)), QString());
        t.ms += 86400000; // a day later
        QCOMPARE(t.visit.correct(QStringLiteral("customer's name misspelt")), QString());
        QCOMPARE(t.visit.close(), QString());
        const Record second = *t.visit.record();
        QCOMPARE(calibrations(t.store.history(scale)).size(), 1);
        QCOMPARE(calibrations(t.store.history(scale)).value(0).uuid, second.uuid);
        QCOMPARE(calibrationDay(calibrations(t.store.history(scale)).value(0)), QDate(2026, 12, 8));
        QCOMPARE(second.due->due, QDate(2027, 12, 8)); // from the first reading, not from the correction

        QString error;
        const QString pdf = t.dir.filePath(QStringLiteral("second.pdf"));
        QVERIFY2(writeCertificate(second, pdf, &error, QPageSize::A4, nextDueOf(second, {})), qPrintable(error));
        const QString text = pdfText(pdf).simplified();
        for (const QString &expected :
             {QStringLiteral("This certificate replaces certificate %1 (record %2), corrected on 2026-12-09: customer's name misspelt")
                  .arg(recordNumber(first), first.uuid),
              QStringLiteral("date of issue: 2026-12-09"), QStringLiteral("Date of calibration 2026-12-08"),
              QStringLiteral("Traceability to the SI through the reference weights (set W-7, OIML R 111 class M1), calibrated under "
                             "certificate CAL-118 issued by Mass Lab Ltd."),
              QStringLiteral("Decision rule simple acceptance (ILAC-G8:2019, 4.2.1)"),
              QStringLiteral("Next calibration due, as agreed with the customer: 2027-12"),
              QStringLiteral("Cautions: Under simple acceptance, U exceeds the MPE at 1 reading(s)")})
            QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral("\n\n") + text));
        QVERIFY(!text.contains(QLatin1String("Opened, closed")));
    }

    // Records of versions 1.2 to 1.4 in the file version 1.4 left: the file's schema upgraded, each
    // record intact with its SHA-256, judged and worded as it was made, its certificate written;
    // its day of calibration from its first reading.
    void recordsOfEarlierVersions()
    {
        QTemporaryDir dir;
        SqliteStore store(writableCopy(dir, QFINDTESTDATA("data/records-1.4.sqlite")));
        const std::tuple<const char *, int, Verdict, const char *> kept[] = {
            {"E99BBB41", 3, Verdict::Pass, "a861b28fadb8a0555f38926c720908cff815ce27a7d57141fee525c4b642a400"},
            {"6D820065", 3, Verdict::NotStated, "7cc07780413e068417746605756dd6d985368fcd7574199660a02d8feea06ea5"},
            {"7399A992", 3, Verdict::Adjusted, "b855900c52efe60b366689cedc8e6ae3b636d0fd8a9ec61e1f5babb0496b97b1"},
            {"ECF34853", 2, Verdict::Pass, "d8bdfcce25b2fd5b179975d8e5a194e68d687d9fdf1d4f3e2e3155b59b1e4131"},
            {"F8D06A16", 3, Verdict::Discarded, "799f659b66a46bf2762b070b72b89679997cc553c1c826480fb831531763d07c"},
            {"77AD9F06-r2", 3, Verdict::Pass, "f328b9bffbc7f903fa8bd2dd971b9a00ce9c2684d9a6447fe74a857dd2b405e5"},
        };
        for (const auto &[number, format, verdict, sha] : kept) {
            const auto loaded = store.load(QLatin1String(number));
            QVERIFY2(loaded && loaded->intact, number);
            const Record &r = loaded->record;
            QCOMPARE(r.format, format);
            QCOMPARE(r.verdict, verdict);
            QCOMPARE(r.sha256, QLatin1String(sha));
            QCOMPARE(r.computeSha256(), QLatin1String(sha));
            QCOMPARE(verdictOf(r) == verdict, !r.discarded());
            if (r.discarded())
                continue;
            const QString pdf = dir.filePath(QStringLiteral("%1.pdf").arg(QLatin1String(number)));
            QString error;
            QVERIFY2(writeCertificate(r, pdf, &error, QPageSize::A4, nextDueOf(r, store.agreements(r.instrument.indexNo))), qPrintable(error));
            const QString text = pdfText(pdf).simplified();
            QVERIFY2(text.contains(QStringLiteral("Verdict: ") + verdictName(verdict)), number);
            QVERIFY(text.contains(QStringLiteral("Decision rule ") + acceptanceName(r.acceptance, format)));
            QVERIFY(writeReadingsCsv(r, dir.filePath(QStringLiteral("%1.csv").arg(QLatin1String(number))), &error));
        }
        const Record guarded = store.load(QStringLiteral("6D820065"))->record;
        QVERIFY(decisionRule(guarded).contains(QLatin1String("where U >= MPE and |E| <= MPE its conformity cannot be stated")));
        QVERIFY(pdfText(dir.filePath(QStringLiteral("E99BBB41.pdf"))).contains(QLatin1String("Next calibration due, as agreed with the customer: 2026-03")));
        const QList<RecordSummary> counted = calibrations(store.history(QStringLiteral("20250000001")));
        QCOMPARE(counted.size(), 2); // the corrected visit and the adjusted one; not the discarded
        QCOMPARE(counted.last().uuid, store.load(QStringLiteral("77AD9F06"))->record.uuid);
        QCOMPARE(counted.last().calibratedAt, QDateTime(QDate(2025, 3, 4), QTime(9, 1), Qt::UTC)); // its first reading
        QCOMPARE(store.load(QStringLiteral("7220DCD9"))->record.closed(), false);
    }

    // Rules no other test holds: limits, rule and weights stay fixed once a reading was taken,
    // also after it is removed; OIML R 111-1 Table 1's values below 1 mg and with decimals.
    void rulesThatStayFixed()
    {
        TestVisit t;
        QCOMPARE(t.visit.start(platform150(), {QStringLiteral("W-7"), QStringLiteral("M1"), QStringLiteral("CAL-118"), {}}, false), QString());
        t.reports({0, 0});
        QCOMPARE(t.visit.capture(Phase::AsFound, kZero), QString());
        QCOMPARE(t.visit.removeReading(Phase::AsFound, kZero), QString());
        QVERIFY(t.visit.setInService(true).contains(QLatin1String("fixed from the first reading")));
        QVERIFY(t.visit.setAcceptance(Acceptance::NonBinary).contains(QLatin1String("fixed from the first reading")));
        QVERIFY(t.visit.setWeights({QStringLiteral("W-8"), QStringLiteral("M1"), QStringLiteral("CAL-118"), {}})
                    .contains(QLatin1String("fixed from the first reading")));
        QCOMPARE(t.visit.setWeights({QStringLiteral("W-7"), QStringLiteral("M1"), QStringLiteral("CAL-118"), QStringLiteral("Mass Lab")}),
                 QString()); // who issued their certificate may still be given

        const std::tuple<WeightClass, qint64, qint64> table[] = {
            // class, nominal value, MPE in micrograms (Table 1: E1 1 mg 0.003 mg, ...)
            {WeightClass::E1, kMilligram, 3},           {WeightClass::E1, 200 * kGram, 100},
            {WeightClass::E1, 500 * kGram, 250},        {WeightClass::E2, 500 * kGram, 800},
            {WeightClass::E1, 10 * kKilogram, 5000},    {WeightClass::F1, 100 * kGram, 500},
            {WeightClass::F2, 10 * kMilligram, 80},     {WeightClass::M2, 100 * kMilligram, 1600},
        };
        for (const auto &[c, nominal, ug] : table)
            QCOMPARE(weightMpeUg(c, nominal), std::optional<qint64>(ug));
    }
};

QTEST_MAIN(tst_Conformity)
#include "tst_conformity.moc"
