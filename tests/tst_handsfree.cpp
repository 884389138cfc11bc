// Hands-free visits. With a clock the test turns: the record window (real widgets, its keys) on
// the reports a scale sends while a technician builds each load from a 1-2-2-5 set a weight at a
// time, pausing longer than the stability rule's 2 s at every step, takes weights off one by one,
// bumps a load and lifts a weight to re-centre it. Then a whole visit on the virtual scale, from a
// script, with the far readings of a scale out of its limits taken by Enter.
#include "Certificate.h"
#include "InputBox.h"
#include "MsgBox.h"
#include "TestPlan.h"
#include "VisitSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QFile>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>

using namespace records;
using testsupport::Session;

namespace {

struct Step
{
    double kg;
    const char *position;
    double seconds; // how long the load stays
};

constexpr double kHold = 4.0, kUnload = 1.5;

// One phase of the plan: weighing 0, 50, 150 up and down (a stray 37.2 kg among them), three
// repeatability readings at 75 kg, eccentricity at 50 kg; each load built a weight at a time,
// the platter emptied between the readings of a load.
QList<Step> phase(bool stray)
{
    QList<Step> steps{{0, "centre", kHold}};
    if (stray)
        steps << Step{37.2, "centre", kHold};
    steps << Step{20, "centre", 3} << Step{50, "centre", kHold} << Step{100, "centre", 3} << Step{150, "centre", 2 * kHold}
          << Step{100, "centre", 3} << Step{50, "centre", kHold} << Step{30, "centre", 3} << Step{0, "centre", kHold};
    for (int i = 0; i < 3; ++i)
        steps << Step{50, "centre", 3} << Step{75, "centre", kHold} << Step{0, "centre", i < 2 ? kUnload : 0.5};
    for (const char *position : {"centre", "fl", "rl", "rr", "fr"})
        steps << Step{50, position, kHold} << Step{0, "centre", kUnload};
    return steps;
}

Micro units(double value)
{
    return Micro(std::llround(value * kMicro));
}

// The record window on a visit whose clock the test turns, on a scale that shows each load
// times `span` (1: calibrated) to the nearest hundredth, with a hundredth of noise.
struct Desk
{
    Desk(AccuracyClass accuracy, bool pounds, double max, double min, double e, QList<double> weights, bool typed = false)
        : weights(std::move(weights))
    {
        visit.setClocks([this] { return ms; }, [this] { return QDateTime::fromMSecsSinceEpoch(1796000000000 + ms, Qt::UTC); });
        visit.setProvider({QStringLiteral("Scales Service Co."), QStringLiteral("4 Harbour Road"), {}, {}, {}});
        record.setStore(&store);
        visit.onDeviceEvent({DeviceEvent::LoggedIn, 1, false, QStringLiteral("12345678901")});
        visit.onDeviceEvent({DeviceEvent::UnitSet, 0, pounds, {}});
        record.show();
        record.activateWindow();
        instrument.accuracy = accuracy;
        instrument.pounds = pounds;
        instrument.max = units(max);
        instrument.min = units(min);
        instrument.e = instrument.d = units(e);
        instrument.customer = QStringLiteral("Mill & Sons Ltd");
        if (typed) // the technician types it all
            return;
        record.instrument->fill(instrument);
        record.visitForm->technician->setText(QStringLiteral("Anna Berg"));
    }
    bool begin()
    {
        if (!QTest::qWaitForWindowActive(&record))
            return false;
        QTest::keyClick(&record, Qt::Key_V, Qt::AltModifier);
        QTest::keyClick(&record, Qt::Key_W, Qt::AltModifier); // New record (a button's key clicks it a moment later)
        if (!QTest::qWaitFor([this] { return visit.record().has_value(); }))
            return false;
        QTest::keyClick(&record, Qt::Key_U, Qt::AltModifier); // Auto capture
        return QTest::qWaitFor([this] { return record.tests->autoCapture->isChecked(); });
    }
    // Reports, five a second, for `seconds`: the load as the scale shows it.
    void hold(double load, double seconds, double offset = 0)
    {
        for (int i = 0; i < int(seconds * 5); ++i) {
            ms += 200;
            const double shown = load * span + offset + (i % 2 ? 0.01 : 0.0);
            visit.onDeviceEvent({DeviceEvent::Weight, qint32(std::lround(shown * 100)), instrument.pounds, {}});
        }
    }
    double onPlatter() const { return std::accumulate(on.begin(), on.end(), 0.0); }
    // Builds a load a weight at a time, or takes weights off one by one, 3 s at each step.
    void go(double target, double seconds = 3)
    {
        const bool up = target > onPlatter();
        if (std::abs(target - onPlatter()) < 1e-9)
            return hold(target, seconds);
        QList<double> choice = up ? weights : on;
        if (up)
            for (double w : on)
                choice.removeOne(w);
        std::sort(choice.begin(), choice.end(), std::greater<>());
        for (double w : choice) {
            const double left = std::abs(target - onPlatter());
            if (left < 1e-9)
                break;
            if (w <= left + 1e-9) {
                up ? on.append(w) : void(on.removeOne(w));
                hold(onPlatter(), std::abs(target - onPlatter()) < 1e-9 ? seconds : 3);
            }
        }
        if (std::abs(target - onPlatter()) < 1e-9)
            return;
        if (!up) { // not reachable by taking off: all off, then build it
            on.clear();
            hold(0, 3);
            go(target, seconds);
        } else { // the rest from the set's finer weights, at once
            on.append(target - onPlatter());
            hold(target, seconds);
        }
    }
    // Plays a phase of the record's plan as a technician does.
    void play(Phase phase, bool rebuildEachLoad, bool bump)
    {
        QList<Point> weighing, others;
        for (const Point &p : visit.record()->points(phase))
            (p.test == Test::Weighing ? weighing : others).append(p);
        for (const Point &p : weighing) {
            const double load = double(p.load) / kMicro;
            if (rebuildEachLoad && p.position == QLatin1String("up") && p.load > 0) {
                on.clear(); // everything off, then the next load anew
                hold(0, 3);
            }
            go(load);
            if (bump && p.load == visit.record()->instrument.max / 2) {
                hold(load, 0.4, 20 * double(instrument.e) / kMicro); // a knock on the platter
                hold(load, 3);
                const double lifted = *std::min_element(on.begin(), on.end());
                hold(load - lifted, 3); // the smallest weight lifted to re-centre it, and put back
                hold(load, 3);
            }
        }
        for (const Point &p : others) {
            go(double(p.load) / kMicro); // the eccentricity positions read the same here
            while (!on.isEmpty()) {
                on.removeLast();
                hold(onPlatter(), 2);
            }
        }
    }
    const Record &r() const { return *visit.record(); }

    QList<double> weights; // the set, in the instrument's unit
    QList<double> on;      // on the platter
    double span = 1;
    Instrument instrument;
    qint64 ms = 0;
    QTemporaryDir dir;
    SqliteStore store{dir.filePath(QStringLiteral("records.sqlite"))};
    Visit visit;
    RecordWindow record{visit};
};

} // namespace

class tst_HandsFree : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        platform::setMsgBoxHandler([](const platform::MsgBoxRequest &r) {
            return (r.style & 0x0F) == platform::vbOKOnly ? int(platform::vbOK) : int(platform::vbYes);
        });
    }
    void cleanup() { platform::setMsgBoxHandler(nullptr); }

    // Every point of the default plan takes one reading, the one its load gave, in the order of
    // the plan, whatever the loads on the way: class III in kilograms, class IIII (5 kg built as
    // 2 + 2 + 1, the platter emptied between the loads going up), class III in pounds.
    void technicianLoads_data()
    {
        QTest::addColumn<int>("accuracy");
        QTest::addColumn<bool>("pounds");
        QTest::addColumn<QList<double>>("instrument"); // Max, Min, e
        QTest::addColumn<QList<double>>("weights");
        QTest::addColumn<bool>("rebuild");
        QTest::newRow("III 150 kg") << 0 << false << QList<double>{150, 1, 0.05} << QList<double>{50, 50, 20, 20, 10, 5, 2, 2, 1} << false;
        QTest::newRow("IIII 50 kg") << 1 << false << QList<double>{50, 1, 0.1} << QList<double>{20, 20, 10, 2, 2, 1} << true;
        QTest::newRow("III 300 lb") << 0 << true << QList<double>{300, 2, 0.1} << QList<double>{100, 100, 50, 20, 20, 10, 5, 2, 2, 1} << false;
    }
    void technicianLoads()
    {
        QFETCH(int, accuracy);
        QFETCH(bool, pounds);
        QFETCH(QList<double>, instrument);
        QFETCH(QList<double>, weights);
        QFETCH(bool, rebuild);
        Desk desk(AccuracyClass(accuracy), pounds, instrument[0], instrument[1], instrument[2], weights);
        QVERIFY(desk.begin());
        desk.play(Phase::AsFound, rebuild, true);
        QDateTime before;
        for (const Point &p : desk.r().asFound) {
            const QString name = pointName(desk.r(), p);
            QVERIFY2(p.reading && p.reading->automatic && p.earlier.isEmpty(), qPrintable(name));
            QVERIFY2(qAbs(p.reading->indication - p.load) <= kMicro / 100, qPrintable(name + ": " + formatMass(p.reading->indication, 2)));
            QVERIFY2(p.test != Test::Weighing || before < p.reading->at, qPrintable(name + " out of order")); // up, then down from the top
            before = p.test == Test::Weighing ? p.reading->at : before;
        }
        QTest::keyClick(&desk.record, Qt::Key_R, Qt::AltModifier); // Close record
        QTRY_COMPARE(desk.r().verdict, Verdict::Pass);
    }

    // A scale far out as found: a reading beyond its point's window waits, the big readout says
    // so, nothing is taken or beeped; Enter takes it for that point. Then a trim after readings
    // as left: the points it voided are taken again by themselves, the void readings kept.
    void farReadingsAndATrim()
    {
        Desk desk(AccuracyClass::III, false, 150, 1, 0.05, {50, 50, 20, 20, 10, 5, 2, 2, 1});
        desk.span = 1.0204; // 50 kg shows 51.02 kg
        QVERIFY(desk.begin());
        TestsPanel &tests = *desk.record.tests;
        QVERIFY(QMetaObject::invokeMethod(&tests, [&] { tests.showTable(Phase::AsFound, Test::Weighing); }));
        tests.loads->setFocus();
        tests.loads->setText(QStringLiteral("0; 1; 150"));
        QTest::keyClick(tests.loads, Qt::Key_Return);
        QTest::keyClick(&desk.record, Qt::Key_P, Qt::AltModifier); // to the points: Enter captures there
        desk.hold(0, 3);
        desk.go(1);
        desk.go(150);
        QCOMPARE(desk.r().asFound[2].reading, std::nullopt);
        const QRegularExpression waits(QStringLiteral("^150.00 kg up: 153.0[67] on the platter, \\+3.0[67]: Enter takes it$"));
        QTRY_VERIFY2(waits.match(desk.record.live->big->note->text()).hasMatch(), qPrintable(desk.record.live->big->note->text()));
        QTest::keyClick(desk.record.focusWidget(), Qt::Key_Return);
        QVERIFY(qAbs(desk.r().asFound[2].reading->indication - units(153.06)) <= units(0.01));
        QVERIFY(!desk.r().asFound[2].reading->automatic);
        QTRY_VERIFY(desk.record.live->big->note->text().isEmpty());
        desk.hold(150, 3); // still on: not taken again, for this point or the next
        QCOMPARE(desk.r().asFound[3].reading, std::nullopt);
        desk.go(1);
        QVERIFY(desk.r().asFound[3].reading && desk.r().asFound[3].reading->automatic);

        desk.visit.onDeviceEvent({DeviceEvent::Calibrated, 2, false, {}}); // 50 kg
        desk.span = 1;
        QTest::keyClick(&desk.record, Qt::Key_L, Qt::AltModifier); // As left
        QTRY_VERIFY(tests.asLeft->isChecked());
        tests.loads->setFocus();
        tests.loads->setText(QStringLiteral("0; 150"));
        QTest::keyClick(tests.loads, Qt::Key_Return);
        QTest::keyClick(&desk.record, Qt::Key_P, Qt::AltModifier);
        tests.showTable(Phase::AsLeft, Test::Repeatability);
        tests.count->setValue(3);
        tests.count->setFocus();
        QTest::keyClick(tests.count, Qt::Key_Return);
        tests.showTable(Phase::AsLeft, Test::Weighing);
        const auto play = [&desk] {
            desk.go(0);
            desk.go(150);
            desk.go(0);
            for (int i = 0; i < 3; ++i) {
                desk.go(75);
                desk.go(0);
            }
        };
        play();
        QCOMPARE(tests.test->currentIndex(), int(Test::Eccentricity)); // weighing and repeatability done
        desk.visit.onDeviceEvent({DeviceEvent::Calibrated, 13, false, {}}); // trim 10 g up
        for (int i = 0; i < 5; ++i) {
            desk.go(50);
            desk.go(0);
        }
        play(); // after eccentricity, the tests the trim voided, by themselves
        for (const Point &p : desk.r().asLeft) {
            QVERIFY2(counts(desk.r(), Phase::AsLeft, p), qPrintable(pointName(desk.r(), p)));
            QCOMPARE(p.earlier.size(), p.test == Test::Eccentricity ? 0 : 1); // the void reading kept
        }
        QTest::keyClick(&desk.record, Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(desk.r().verdict, Verdict::Adjusted);
    }

    // The binary guarded rule chosen for an instrument with d = e is refused before the first
    // reading, naming the loads: U >= 2 d / sqrt 6 = 0.041 kg against an MPE of 0.025 kg up to
    // 25 kg. The non-binary rule is taken, and says conditional pass there.
    void guardedRulesWhereTheyCannotAccept()
    {
        QStringList boxes; // outlives the window: closing it asks nothing
        platform::setMsgBoxHandler([&boxes](const platform::MsgBoxRequest &r) {
            boxes << r.prompt;
            return int(platform::vbOK);
        });
        {
            Desk desk(AccuracyClass::III, false, 150, 1, 0.05, {});
            QVERIFY(desk.begin());
            boxes.clear(); // what New record warned of
            QTest::keyClick(&desk.record, Qt::Key_V, Qt::AltModifier);
            desk.record.visitForm->decisionRule->setFocus();
            QTest::keyClick(desk.record.visitForm->decisionRule, Qt::Key_Down); // guarded, binary
            QCOMPARE(desk.r().acceptance, Acceptance::Simple);
            QVERIFY2(boxes.value(0).startsWith(QLatin1String("Guarded acceptance with a binary statement (ILAC-G8:2019, 4.2.2) "
                                                             "cannot accept at 0.00 kg (U 0.0")),
                     qPrintable(boxes.value(0)));
            QCOMPARE(desk.record.visitForm->decisionRule->currentIndex(), 0);
            QTest::keyClick(desk.record.visitForm->decisionRule, Qt::Key_End); // guarded, non-binary
            QCOMPARE(desk.r().acceptance, Acceptance::NonBinary);
            desk.hold(0, 3);
            QCOMPARE(resultWord(resultOf(desk.r(), Phase::AsFound, desk.r().asFound[0])), QStringLiteral("conditional pass"));
            desk.record.visitForm->technician->setFocus();
            desk.record.visitForm->technician->setText(QStringLiteral("Anna Berg-Ode")); // typed, not confirmed
        }
        QCOMPARE(boxes.size(), 1); // the refusal alone: the non-binary rule had nothing to warn of
    }

    // A whole visit from the keyboard alone: the instrument, the visit's details and the captures,
    // every field by its Alt key and no two keys alike on any tab; Tab goes as the screen reads.
    void keyboardOnly()
    {
        Desk desk(AccuracyClass::III, false, 150, 1, 0.05, {50, 50, 20, 20, 10, 5, 2, 2, 1}, true);
        RecordWindow &w = desk.record;
        QVERIFY(QTest::qWaitForWindowActive(&w));
        for (int tab = 0; tab < w.tabs->count(); ++tab) {
            w.tabs->setCurrentIndex(tab);
            QMap<QChar, QString> keys;
            const auto take = [&](const QString &text) {
                const qsizetype at = QString(text).replace(QLatin1String("&&"), QLatin1String("__")).indexOf(QLatin1Char('&'));
                if (at < 0 || at + 1 >= text.size())
                    return;
                const QChar key = text.at(at + 1).toLower();
                QVERIFY2(!keys.contains(key), qPrintable(QStringLiteral("Alt+%1: %2 and %3").arg(key, keys.value(key), text)));
                keys.insert(key, text);
            };
            for (int i = 0; i < w.tabs->count(); ++i)
                take(w.tabs->tabText(i));
            for (QLabel *label : w.findChildren<QLabel *>())
                if (label->isVisible() && label->buddy())
                    take(label->text());
            for (QAbstractButton *b : w.findChildren<QAbstractButton *>())
                if (b->isVisible())
                    take(b->text());
            const QWidget *page = w.tabs->currentWidget();
            for (QWidget *field : page->findChildren<QWidget *>()) // every field of the tab has its key
                if ((qobject_cast<QLineEdit *>(field) || qobject_cast<QComboBox *>(field) || qobject_cast<QSpinBox *>(field))
                    && field->isVisible() && field->parentWidget() == page && page != w.history)
                    QVERIFY2(std::any_of(keys.begin(), keys.end(), [&](const QString &text) {
                                 const QList<QLabel *> labels = page->findChildren<QLabel *>();
                                 return std::any_of(labels.begin(), labels.end(), [&](QLabel *l) { return l->buddy() == field && l->text() == text; });
                             }), qPrintable(field->metaObject()->className()));
        }
        const auto alt = [&](Qt::Key key) { QTest::keyClick(&w, key, Qt::AltModifier); };
        const auto type = [&](const QString &text) { QTest::keyClicks(QApplication::focusWidget(), text); };
        const auto tab = [&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); };

        w.tabs->setCurrentWidget(w.instrument);
        w.tests->points->setFocus();
        alt(Qt::Key_I); // the tab shows already: the key goes into its fields
        QTRY_VERIFY(w.instrument->isAncestorOf(QApplication::focusWidget()));
        alt(Qt::Key_K);
        type(QStringLiteral("Vantor PF-150"));
        tab();
        QCOMPARE(QApplication::focusWidget(), w.instrument->location);
        type(QStringLiteral("Dispatch"));
        alt(Qt::Key_X);
        type(QStringLiteral("150"));
        tab();
        QCOMPARE(QApplication::focusWidget(), w.instrument->min);
        type(QStringLiteral("1"));
        alt(Qt::Key_E);
        type(QStringLiteral("0.05"));
        alt(Qt::Key_D);
        type(QStringLiteral("0.05"));
        alt(Qt::Key_C);
        type(QStringLiteral("Mill & Sons Ltd"));
        alt(Qt::Key_A);
        type(QStringLiteral("1 Quay Road"));
        alt(Qt::Key_V);
        alt(Qt::Key_G);
        type(QStringLiteral("SET-7"));
        alt(Qt::Key_O);
        type(QStringLiteral("C-2026-118"));
        alt(Qt::Key_W); // New record: the technician's name is the next thing to type
        QTRY_VERIFY(desk.visit.record().has_value());
        QTRY_COMPARE(QApplication::focusWidget(), w.visitForm->technician);
        type(QStringLiteral("Anna Berg"));
        tab();
        QCOMPARE(QApplication::focusWidget(), w.visitForm->place);
        tab();
        type(QStringLiteral("20.5"));
        tab();
        QCOMPARE(QApplication::focusWidget(), w.visitForm->temperatureEnd);
        type(QStringLiteral("21"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6); // to the tests
        QCOMPARE(QApplication::focusWidget(), w.tests->points);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6); // and back
        QCOMPARE(QApplication::focusWidget(), w.visitForm->technician);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        alt(Qt::Key_U);
        QTRY_VERIFY(w.tests->autoCapture->isChecked());
        desk.play(Phase::AsFound, false, false);
        alt(Qt::Key_R);
        QTRY_COMPARE(desk.r().verdict, Verdict::Pass);
        const Record &r = desk.r();
        QCOMPARE(r.instrument.makerModel, QStringLiteral("Vantor PF-150"));
        QCOMPARE(r.instrument.location, QStringLiteral("Dispatch"));
        QCOMPARE(r.instrument.customerAddress, QStringLiteral("1 Quay Road"));
        QCOMPARE(r.instrument.max, units(150));
        QCOMPARE(r.instrument.min, units(1));
        QCOMPARE(r.weights.certificate, QStringLiteral("C-2026-118"));
        QCOMPARE(r.technician, QStringLiteral("Anna Berg"));
        QCOMPARE(r.place, QStringLiteral("Dispatch")); // the location, as nothing else was typed
        QCOMPARE(r.temperatureStart, std::optional<Micro>(units(20.5)));
        QCOMPARE(r.temperatureEnd, std::optional<Micro>(units(21)));
    }

    // The next point and a reading that waits fit, whole, in the record window at its smallest
    // and in Big display.
    void bigReadoutFits()
    {
        Desk desk(AccuracyClass::III, false, 150, 1, 0.05, {50, 50, 20, 20, 10, 5, 2, 2, 1});
        QVERIFY(desk.begin());
        desk.record.tests->showTable(Phase::AsFound, Test::Repeatability);
        desk.hold(75.8, 3);
        desk.record.resize(desk.record.minimumSizeHint());
        QTest::keyClick(&desk.record, Qt::Key_F11);
        QTRY_VERIFY(desk.record.live->bigWindow);
        auto *window = desk.record.live->bigWindow.data();
        QTRY_COMPARE(desk.record.live->big->note->text(), QStringLiteral("75.00 kg, repeatability 1 of 5: 75.81 on the platter, +0.81: Enter takes it"));
        for (BigReadout *readout : {desk.record.live->big, window->findChild<BigReadout *>()}) {
            QTRY_VERIFY(readout->isVisible());
            QCOMPARE(readout->next->text(), QStringLiteral("Next: 75.00 kg"));
            QCOMPARE(readout->detail->text(), QStringLiteral("repeatability 1 of 5"));
            for (FitLabel *line : readout->lines()) {
                QVERIFY2(line->fits(line->fittedFont()), qPrintable(line->text()));
                const int large = line == readout->weight || line == readout->next ? 2 : 1; // from 3 m, and the rest
                QVERIFY2(QFontMetrics(line->fittedFont()).height() >= large * desk.record.fontMetrics().height(), qPrintable(line->text()));
            }
        }
        window->close();
    }

    // A whole visit of a scale out of its limits as found (the virtual scale's factory span: 50 kg
    // shows 51.02 kg): the technician presses Enter for each far reading when the big readout
    // says its load is on, the console takes the rest, and as left, after 0 kg and 50 kg, all.
    void outOfLimitsVisit()
    {
        // The script: as found, 0 kg and 50 kg for the calibrations, as left.
        QList<Step> steps = phase(true);
        const double calibration = [&] { double t = 3; for (const Step &s : steps) t += s.seconds; return t; }();
        steps << Step{0, "centre", 5} << Step{50, "centre", 8} << phase(false);
        testsupport::ProgramFolder scriptDir;
        QByteArray script = "# a hands-free visit of a 150 kg class III platform\n";
        double at = 3;
        for (const Step &s : steps) {
            script += QStringLiteral("at %1 load %2 %3\n").arg(at).arg(s.kg).arg(QLatin1String(s.position)).toUtf8();
            at += s.seconds;
        }
        scriptDir.write(QStringLiteral("visit.txt"), script);

        Session v("25", {"--script", scriptDir.file("visit.txt"), "--settle-ms", "300", "--noise", "1", "--eccentricity", "fl=0.03,rr=-0.02"});
        QList<std::pair<QDateTime, Micro>> reports; // every weight report, as it came
        QObject::connect(&v.console, &frmMain::deviceEvent, &v.console, [&reports](const DeviceEvent &e) {
            if (e.kind == DeviceEvent::Weight)
                reports.append({QDateTime::currentDateTimeUtc(), Micro(e.number) * 10000});
        });
        QElapsedTimer sinceLogin;
        QVERIFY(v.logIn());
        sinceLogin.start();
        QVERIFY(v.newRecord150());
        for (Phase p : {Phase::AsLeft, Phase::AsFound}) {
            v.tests().showTable(p, Test::Repeatability);
            v.tests().count->setValue(3);
            v.tests().applyLoads->click();
            v.tests().showTable(p, Test::Weighing);
            QVERIFY(v.loads("0; 50; 150"));
        }
        v.record.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.record));
        QTest::keyClick(&v.record, Qt::Key_U, Qt::AltModifier); // Auto capture, its key
        QTRY_VERIFY(v.tests().autoCapture->isChecked());
        QVERIFY(v.record.live->big->isVisible());
        const qint64 bigFont = v.record.live->big->next->fontMetrics().height();
        QVERIFY(bigFont >= 4 * v.record.fontMetrics().height() - 2);

        const auto readings = [&](Phase p) {
            int n = 0;
            for (const Point &point : v.r().points(p))
                n += point.reading ? 1 : 0;
            return n;
        };
        const auto report = [&](Phase p) {
            QStringList read;
            for (const Point &point : v.r().points(p))
                if (point.reading)
                    read << pointName(v.r(), point) + QStringLiteral("=") + formatMass(point.reading->indication, 2);
            return read.join(QStringLiteral("; ")) + QStringLiteral(" | after %1 s, note: %2").arg(sinceLogin.elapsed() / 1000).arg(v.record.live->big->note->text());
        };
        // "50.00 kg up: 51.02 on the platter, +1.02: Enter takes it": Enter once the whole load is on.
        const QRegularExpression waits(QStringLiteral("^([0-9.]+) kg[^:]*: ([0-9.]+) on the platter"));
        int pressed = 0;
        const auto enterForFarReadings = [&] {
            const auto m = waits.match(v.record.live->big->note->text());
            if (m.hasMatch() && qAbs(m.captured(2).toDouble() - m.captured(1).toDouble() * 1.0204) < 0.1) {
                QTest::keyClick(v.record.focusWidget(), Qt::Key_Return);
                ++pressed;
            }
            return readings(Phase::AsFound) == 13;
        };
        QVERIFY2(QTest::qWaitFor(enterForFarReadings, int(calibration * 1000) + 30000), qPrintable(report(Phase::AsFound)));
        QCOMPARE(pressed, 11); // all but the empty platter

        v.console.cmdAuto->click();
        QVERIFY(v.settle(0));
        v.console.cmd0kg->click();
        QVERIFY(v.settle(50));
        v.console.cmd50Kg->click();
        QTRY_VERIFY_WITH_TIMEOUT(v.adjustments().contains("Calibration with 50 kg"), 10000);
        v.tests().asLeft->click(); // hands-free, as left starts at its first test that waits
        QVERIFY2(QTest::qWaitFor([&] { return readings(Phase::AsLeft) == 13; }, int((at - calibration) * 1000) + 30000),
                 qPrintable(report(Phase::AsLeft)));

        // Every point read once, on its own point, and nothing twice: as found the load as the
        // factory span shows it (Enter), as left the load itself (by the console).
        for (Phase p : {Phase::AsFound, Phase::AsLeft}) {
            for (const Point &point : v.r().points(p)) {
                const QString name = pointName(v.r(), point);
                QVERIFY2(point.reading && point.earlier.isEmpty(), qPrintable(name));
                QCOMPARE(point.reading->automatic, p == Phase::AsLeft || point.load == 0);
                const double shown = double(point.load) / kMicro * (p == Phase::AsFound ? 1.0204 : 1.0);
                QVERIFY2(qAbs(double(point.reading->indication) / kMicro - shown) <= 0.06, qPrintable(name));
            }
        }
        v.record.closeRecord->click();
        QCOMPARE(v.r().verdict, Verdict::Adjusted);
        QVERIFY(readingsCsv(v.r()).contains(",auto\r\n"));

        // How long it took, and how much of it the console added to the load's settling and the two
        // quiet seconds the stability rule waits for: the time from the last report more than 1 d
        // from the reading (the load still moving) to the capture, less 2 s. Printed, not judged:
        // a test does not time.
        QList<double> added;
        QList<QDateTime> captures;
        for (Phase p : {Phase::AsFound, Phase::AsLeft}) {
            for (const Point &point : v.r().points(p)) {
                const Reading &reading = *point.reading;
                QDateTime settled;
                for (const auto &[at, value] : reports)
                    if (at <= reading.at && qAbs(value - reading.indication) > v.r().instrument.d)
                        settled = at;
                added << settled.msecsTo(reading.at) / 1000.0 - 2.0;
                captures << reading.at;
            }
        }
        std::sort(added.begin(), added.end());
        std::sort(captures.begin(), captures.end());
        qInfo("hands-free visit: %.1f s from the first load to the last capture, %d points; beyond the loads' settling and "
              "the rule's 2 s of quiet, the console took %.2f s per point (median), %.2f s at most",
              captures.first().msecsTo(captures.last()) / 1000.0, int(captures.size()), added[added.size() / 2], added.last());
        Q_UNUSED(sinceLogin);
    }
};

QTEST_MAIN(tst_HandsFree)
#include "tst_handsfree.moc"
