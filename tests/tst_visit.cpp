// A whole calibration visit with its service record, as a technician makes it: the console and
// the record window (real widgets, offscreen), the virtual scale on a pseudo-terminal, the records
// in an SQLite file of a temporary folder, the certificate read back with pdftotext, and the same
// records from the command line.
#include "Certificate.h"
#include "ConsoleApp.h"
#include "FileDialog.h"
#include "InputBox.h"
#include "PrintDialog.h"
#include "MsgBox.h"
#include "Pty.h"
#include "VisitSession.h"
#include "RawDatabase.h"
#include "RecordWindow.h"
#include "SimProcess.h"
#include "SqliteStore.h"
#include "WindowPlacement.h"
#include "frmMain.h"
#include "modCommon.h"

#include <QApplication>
#include <QComboBox>
#include <QBrush>
#include <QDir>
#include <QImage>
#include <QFrame>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

using namespace records;
using testsupport::ProgramFolder;
using testsupport::SimProcess;
using testsupport::Session;

namespace {

QString run(const QString &program, const QStringList &arguments, QString *text = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(60000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    if (text)
        *text = out;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? QStringLiteral("ok") : out;
}

} // namespace

class tst_Visit : public QObject
{
    Q_OBJECT

    QStringList m_boxes;
    QList<int> m_answers; // for the next questions; Yes when none is left

    void answer(std::initializer_list<int> answers) { m_answers = answers; }

private slots:
    void init()
    {
        m_boxes.clear();
        m_answers.clear();
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r.prompt;
            if ((r.style & 0x0F) == platform::vbOKOnly)
                return int(platform::vbOK);
            return m_answers.isEmpty() ? int(platform::vbYes) : m_answers.takeFirst();
        });
        platform::setInputBoxHandler([](const QString &) { return QStringLiteral("weights not at hand"); });
    }
    void cleanup()
    {
        platform::setMsgBoxHandler(nullptr);
        platform::setInputBoxHandler(nullptr);
        platform::setSaveFileNameHandler(nullptr);
    }

    // As found fails at 50 kg; the 50 kg calibration, the gravity value and the passwords are
    // recorded by themselves; what as found had not tested then is marked so; as left passes with
    // the rest marked not performed; the record closes as ADJUSTED.
    void wholeVisit()
    {
        Session v;
        v.visit.setProvider({QStringLiteral("Scales Service Co."), QStringLiteral("1 Weigh Street"), QStringLiteral("UKAS"),
                             QStringLiteral("0042"), {}});
        QVERIFY(v.begin());
        QCOMPARE(m_boxes.size(), 2); // the scale interval of 0.03; U beyond the MPE near zero (d = e, initial verification)
        QVERIFY2(m_boxes[1].startsWith(QLatin1String("Under simple acceptance U exceeds the MPE at 0.00 kg (U 0.0")), qPrintable(m_boxes[1]));
        v.record.visitForm->technician->setText(QStringLiteral("Anna Berg"));
        v.record.visitForm->temperatureStart->setText(QStringLiteral("21.5"));
        emit v.record.visitForm->technician->editingFinished();
        QCOMPARE(v.console.size(), v.sizeBefore);
        QVERIFY(v.record.isVisible());
        for (int tab = 0; tab < v.record.tabs->count(); ++tab) { // every action has a key of its own
            v.record.tabs->setCurrentIndex(tab);
            QSet<QChar> keys;
            const QSet<QAbstractButton *> keysInTheirFields{v.tests().applyLoads, v.tests().capture, v.tests().removeReading};
            for (QAbstractButton *b : v.record.findChildren<QAbstractButton *>()) {
                if ((!qobject_cast<QPushButton *>(b) && !qobject_cast<QRadioButton *>(b)) || !b->isVisibleTo(&v.record)
                    || !b->shortcut().isEmpty() || keysInTheirFields.contains(b)) // a key of its own other than a letter
                    continue;
                const qsizetype amp = b->text().indexOf(u'&');
                QVERIFY2(amp >= 0 && amp + 1 < b->text().size() && !keys.contains(b->text()[amp + 1].toLower()), qPrintable(b->text()));
                keys.insert(b->text()[amp + 1].toLower());
            }
        }
        v.console.cmdAccelRead->click(); // the gravity value before
        QTRY_COMPARE(v.console.txtAccelRead->text(), QStringLiteral("9.7982"));

        QVERIFY(v.captureAt(0));
        QVERIFY(v.captureAt(50));
        QVERIFY(resultOf(v.r(), Phase::AsFound, v.point(Phase::AsFound, 1)).fails());

        v.console.cmdAuto->click();
        v.console.cmd50Kg->click(); // 50 kg lies on the platter
        v.console.txtAccel->setText(QStringLiteral("9.81"));
        v.console.cmdAccelWrite->click();
        v.console.cmdAdmin->click();
        v.console.txtPass1->setText(QStringLiteral("9753"));
        v.console.txtPass2->setText(QStringLiteral("8642"));
        v.console.cmdPassWrite->click();
        v.console.cmdAdminClose->click();
        // Each confirmation where it belongs, though the 50 kg went out before the mode was answered;
        // the gravity's read-back and the passwords may come in either order.
        QTRY_COMPARE_WITH_TIMEOUT(v.adjustments().size(), 4, 10000);
        QCOMPARE(v.adjustments().mid(0, 2), (QStringList{"Calibration mode set to automatic", "Calibration with 50 kg"}));
        QVERIFY(v.adjustments().contains("Gravity value changed from 9.7982 m/s\u00b2 to 9.8100 m/s\u00b2 (read back)"));
        QVERIFY(v.adjustments().contains("Passwords changed"));
        QCOMPARE(v.point(Phase::AsFound, 2).notPerformed, QStringLiteral("adjusted before testing"));
        v.tests().points->selectRow(0);
        v.tests().removeReading->click(); // kept beside the point, as removed
        QCOMPARE(v.point(Phase::AsFound, 0).earlier.value(0).change, QStringLiteral("removed"));
        v.tests().capture->click(); // as found after an adjustment: refused
        QVERIFY(m_boxes.last().contains(QLatin1String("as found can no longer be taken")));

        v.tests().asLeft->setChecked(true);
        QVERIFY(v.loads("0; 50"));
        QVERIFY(v.captureAt(50, 1));
        QVERIFY(v.captureAt(0, 0));
        v.record.closeRecord->click(); // as found 0 kg and the rest of as left wait
        QVERIFY2(m_boxes.last().contains(QLatin1String("As found, up 0.00 kg has no reading")), qPrintable(m_boxes.last()));
        QVERIFY(!v.r().closed());
        v.markRestNotPerformed(Phase::AsFound);
        v.markRestNotPerformed(Phase::AsLeft);
        v.record.visitForm->temperatureEnd->setText(QStringLiteral("22,0")); // a comma is refused in the C locale
        emit v.record.visitForm->temperatureEnd->editingFinished();
        QVERIFY(m_boxes.last().contains(QLatin1String("is not a temperature")));
        v.record.visitForm->temperatureEnd->setText(QStringLiteral("22.0"));
        emit v.record.visitForm->temperatureEnd->editingFinished();
        v.record.closeRecord->click();
        QCOMPARE(v.r().verdict, Verdict::Adjusted);
        QCOMPARE(v.r().technician, QStringLiteral("Anna Berg"));
        QVERIFY(v.r().asLeft[1].reading->expanded > 0); // U sealed with the record
        QCOMPARE(v.r().asLeft.last().notPerformed, QStringLiteral("weights not at hand"));
        v.record.tabs->setCurrentIndex(2);
        QCOMPARE(v.record.history->list->topLevelItem(0)->text(2), QStringLiteral("ADJUSTED"));

        platform::setSaveFileNameHandler([&v](const QString &, const QString &name) { return v.dir.file(name); });
        v.record.certificate->click();
        v.record.csv->click();
        const QString number = recordNumber(v.r());
        QString pdf;
        QCOMPARE(run(QStringLiteral("pdftotext"), {v.dir.file("certificate-" + number + ".pdf"), QStringLiteral("-")}, &pdf),
                 QStringLiteral("ok"));
        for (const char *expected : {"Verdict: ADJUSTED", "51.02", "Calibration with 50 kg", "Passwords changed", "W-12",
                                     "As left, repeatability test (5 points): weights not at hand",
                                     "As found, eccentricity test (5 points): adjusted before testing",
                                     "1 reading(s) retaken or removed", "U = k u per EURAMET cg-18", "Scales Service Co.", "UKAS, number 0042",
                                     "Mill & Sons Ltd", "Anna Berg", "21.5 °C at the start, 22.0 °C at the end",
                                     "Within the limits as found: no", "Within the limits as left: yes", "simple acceptance",
                                     "The results relate only to the item calibrated.", "End of certificate",
                                     "OIML R 76-1 tests", "uncertainty per EURAMET"})
            QVERIFY2(pdf.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(QRegularExpression(QStringLiteral("20\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d\\d:\\d\\d")).match(pdf).hasMatch());
        setPrintDialogHandler([&v](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(v.dir.file("printed.pdf"));
            return true;
        });
        v.record.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.record));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(v.dir.file("printed.pdf")), 10000); // a shortcut clicks a moment later
        setPrintDialogHandler(nullptr);
        QString printed;
        QCOMPARE(run(QStringLiteral("pdftotext"), {v.dir.file("printed.pdf"), QStringLiteral("-")}, &printed), QStringLiteral("ok"));
        QVERIFY(printed.contains(QLatin1String("Calibration certificate ") + number));
        const QByteArray csv = v.dir.read("readings-" + number + ".csv");
        QVERIFY(csv.contains(",as found,weighing,up,50.00,51.02"));
        QVERIFY(csv.contains(",as left,weighing,up,50.00,50.0"));
        QVERIFY(csv.contains(",as found,weighing,up,0.00,0.00"));
        QVERIFY(csv.contains(",removed "));
        QVERIFY(csv.contains(",simple,pass,key\r\n") && csv.contains(",simple,fail,key\r\n"));
        QVERIFY(!v.dir.read(QFileInfo(SqliteStore::defaultPath(v.dir.path())).fileName()).contains("97538642"));

        // The same record from the command line of a portable copy kept beside it.
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/vantor_cal", v.dir.file("vantor_cal")));
        QFile::setPermissions(v.dir.file("vantor_cal"), QFile::ReadOwner | QFile::ExeOwner);
        QString listed;
        QCOMPARE(run(v.dir.file("vantor_cal"), QStringList{"--list-records", "00000000000"}, &listed), QStringLiteral("ok"));
        QVERIFY2(listed.contains(number) && listed.contains(QLatin1String("ADJUSTED")), qPrintable(listed));
        QCOMPARE(run(v.dir.file("vantor_cal"), QStringList{"--export-record", number, "--pdf", v.dir.file("cli.pdf"), "--csv",
                                                           v.dir.file("cli.csv")}),
                 QStringLiteral("ok"));
        QCOMPARE(v.dir.read("cli.csv"), csv);
        QCOMPARE(run(QStringLiteral("pdftotext"), {v.dir.file("cli.pdf"), QStringLiteral("-")}, &pdf), QStringLiteral("ok"));
        QVERIFY(pdf.contains(QLatin1String("Calibration certificate ") + number));
        QVERIFY(run(v.dir.file("vantor_cal"), QStringList{"--export-record", "ffffffff", "--csv", v.dir.file("none.csv")}, &listed)
                != QStringLiteral("ok"));
        QVERIFY2(listed.contains(QLatin1String("No record ffffffff")), qPrintable(listed));

        // Signed as it closed, and its certificate from the window too; checked from the command line.
        QString verified;
        run(v.dir.file("vantor_cal"), {QStringLiteral("--verify-records")}, &verified);
        QVERIFY2(verified.contains(number + QStringLiteral(": signed by Anna Berg, not certified by the laboratory."))
                     && verified.contains(QLatin1String("1 closed record(s)")),
                 qPrintable(verified));
        run(v.dir.file("vantor_cal"), {QStringLiteral("--verify"), v.dir.file("certificate-" + number + ".pdf")}, &verified);
        QVERIFY2(verified.contains(QLatin1String("the signature holds over the whole file, but it is signed by Anna Berg, not "
                                                 "certified by the laboratory.")),
                 qPrintable(verified));
        run(v.dir.file("vantor_cal"), {QStringLiteral("--verify"), v.dir.file("cli.pdf")}, &verified);
        QVERIFY2(verified.contains(QLatin1String(": not signed.")), qPrintable(verified)); // no terminal asked for the passphrase

        // The DCC and the label from the window's keys, and from the command line; the label's
        // code checked against the record.
        v.record.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.record));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(v.dir.file("dcc-" + number + ".xml")) && QFile::exists(v.dir.file("label-" + number + ".pdf")), 10000);
        setPrintDialogHandler([&v](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(v.dir.file("printed-label.pdf"));
            return true;
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(v.dir.file("printed-label.pdf")), 10000);
        setPrintDialogHandler(nullptr);
        QCOMPARE(run(QStringLiteral("pdfinfo"), {v.dir.file("printed-label.pdf")}, &printed), QStringLiteral("ok"));
        QVERIFY2(printed.contains(QLatin1String("176 x 82 pts")), qPrintable(printed)); // 62 x 29 mm, in whole points
        run(v.dir.file("vantor_cal"), {QStringLiteral("--verify"), v.dir.file("dcc-" + number + ".xml")}, &verified);
        QVERIFY2(verified.contains(QLatin1String("the DCC's signature holds, but it is signed by Anna Berg, not certified")), qPrintable(verified));
        QCOMPARE(run(v.dir.file("vantor_cal"), {"--export-record", number, "--dcc", v.dir.file("cli.xml"), "--label", v.dir.file("cli-label.pdf")}),
                 QStringLiteral("ok"));
        run(v.dir.file("vantor_cal"), {QStringLiteral("--verify"), QStringLiteral("VANTOR-RECORD:%1;SHA256:%2").arg(number, v.r().sha256)}, &verified);
        QVERIFY2(verified.contains(QStringLiteral("The label matches record %1 (ADJUSTED)").arg(number)), qPrintable(verified));
        run(v.dir.file("vantor_cal"), {QStringLiteral("--verify"), QStringLiteral("VANTOR-RECORD:%1;SHA256:%2").arg(number, QString(64, u'0'))}, &verified);
        QVERIFY2(verified.contains(QLatin1String("its digest is not the record's")), qPrintable(verified));
    }

    // The reading goes to the point selected, which after a capture and after every switch of
    // table is the first point that waits; Enter captures, but applies loads in their field; a
    // load far from the point asks first.
    void readingsLandWhereSelected()
    {
        Session v;
        QVERIFY(v.begin());
        QCOMPARE(v.selectedRow(), 0);
        QVERIFY(v.settle(0));
        QTest::keyClick(v.tests().points, Qt::Key_Return);
        QVERIFY(v.point(Phase::AsFound, 0).reading);
        QCOMPARE(v.selectedRow(), 1);
        QVERIFY(v.settle(50));
        QTest::keyClick(v.tests().test, Qt::Key_Enter);
        QVERIFY(v.point(Phase::AsFound, 1).reading);
        QCOMPARE(v.selectedRow(), 2); // down 0

        v.tests().asLeft->setChecked(true);
        QCOMPARE(v.selectedRow(), 0);
        v.tests().test->setCurrentIndex(int(Test::Eccentricity));
        QCOMPARE(v.tests().selectedPoint()->position, QStringLiteral("centre"));
        v.tests().asFound->setChecked(true);
        v.tests().test->setCurrentIndex(int(Test::Weighing));
        QCOMPARE(v.selectedRow(), 2);
        answer({platform::vbNo}); // 50 kg on the platter, the point is 0 kg
        QTest::keyClick(v.tests().points, Qt::Key_Return);
        QVERIFY2(m_boxes.last().contains(QLatin1String("the point is 0.00 kg: keep?")), qPrintable(m_boxes.last()));
        QVERIFY(!v.point(Phase::AsFound, 2).reading);

        answer({platform::vbNo}); // a point read already asks before it is taken again
        v.tests().points->selectRow(1);
        QTest::keyClick(v.tests().points, Qt::Key_Return);
        QVERIFY(m_boxes.last().contains(QLatin1String("Take it again?")));
        QVERIFY(v.point(Phase::AsFound, 1).earlier.isEmpty());

        v.tests().test->setCurrentIndex(int(Test::Eccentricity)); // its loads are not touched yet
        v.tests().loads->setFocus();
        v.tests().loads->clear();
        QTest::keyClicks(v.tests().loads, QStringLiteral("60"));
        QTest::keyClick(v.tests().loads, Qt::Key_Return);
        QCOMPARE(v.point(Phase::AsFound, v.r().indexOf(Phase::AsFound, {Test::Eccentricity, "centre", 60 * kMicro})).load,
                 60 * kMicro);
        QCOMPARE(v.tests().selectedPoint()->position, QStringLiteral("centre")); // nothing captured

        v.record.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v.record));
        QTest::keyClick(&v.record, Qt::Key_P, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), v.tests().points);
    }

    // An as-left reading taken before a later adjustment no longer counts: shown greyed, closing
    // refused until it is taken again, the void one kept.
    void asLeftAfterTheLastAdjustment()
    {
        Session v;
        QVERIFY(v.begin());
        QVERIFY(v.captureAt(0));
        v.console.cmdZero->click();
        QTRY_COMPARE_WITH_TIMEOUT(v.adjustments(), QStringList{"Zero"}, 10000);
        v.tests().asLeft->setChecked(true);
        QVERIFY(v.captureAt(0));
        QVERIFY(v.captureAt(50));
        QVERIFY(v.captureAt(0));
        v.console.cmdAuto->click();
        v.console.cmd10gUp->click();
        QTRY_VERIFY_WITH_TIMEOUT(v.adjustments().contains("Trim 10 g up"), 10000);
        const QModelIndex result = v.tests().points->model()->index(1, PointsModel::Result);
        QVERIFY2(result.data().toString().startsWith(QLatin1String("before the adjustment at")), qPrintable(result.data().toString()));
        QCOMPARE(result.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(128, 128, 128));
        QVERIFY(!phasePasses(v.r(), Phase::AsLeft));
        v.markRestNotPerformed(Phase::AsFound);
        v.record.closeRecord->click();
        QVERIFY2(m_boxes.last().contains(QLatin1String("was read before the adjustment at")), qPrintable(m_boxes.last()));
        v.tests().showTable(Phase::AsLeft, Test::Weighing);
        QCOMPARE(v.selectedRow(), 0); // the void ones wait to be taken again
        QVERIFY(v.captureAt(0));
        QCOMPARE(v.point(Phase::AsLeft, 0).earlier.size(), 1);
        QVERIFY(counts(v.r(), Phase::AsLeft, v.point(Phase::AsLeft, 0)));
        QVERIFY(voidingAdjustment(v.r(), Phase::AsLeft, *v.point(Phase::AsLeft, 0).earlier[0].reading));
    }

    // A zero before New record: listed before the record, as found not tested, as left goes on;
    // an open record can be discarded with a reason and a new one started.
    void adjustedBeforeTheRecordAndDiscarded()
    {
        Session v;
        QVERIFY(v.logIn());
        v.console.cmdZero->click();
        QTRY_COMPARE_WITH_TIMEOUT(v.record.visit().adjustmentsBeforeRecord().size(), qsizetype(1), 10000);
        QVERIFY(v.newRecord150());
        QVERIFY(v.r().adjustments.value(0).beforeRecord);
        QVERIFY(v.record.adjustments->item(0)->text().endsWith(QLatin1String("Zero (before this record)")));
        for (const Point &p : v.r().asFound)
            QCOMPARE(p.notPerformed, QStringLiteral("adjusted before testing"));
        QCOMPARE(v.selectedRow(), -1);
        v.tests().asLeft->setChecked(true);
        QVERIFY(v.captureAt(0));
        QVERIFY(counts(v.r(), Phase::AsLeft, v.point(Phase::AsLeft, 0)));

        v.record.visitForm->discard->click();
        QCOMPARE(v.r().verdict, Verdict::Discarded);
        QCOMPARE(v.r().discardReason, QStringLiteral("weights not at hand"));
        QVERIFY(!v.record.certificate->isEnabled());
        SqliteStore store(SqliteStore::defaultPath(v.dir.path()));
        QCOMPARE(store.history(QString()).value(0).verdict, Verdict::Discarded);
        v.record.visitForm->newRecord->click();
        QVERIFY(!v.r().closed());
        QVERIFY(v.r().adjustments.isEmpty());
    }

    // A reading taken while the weight moves fails; closing says so and offers to take it again.
    // Too few reports a second are named as such.
    void unstableReadings()
    {
        Session v;
        QVERIFY(v.begin());
        v.scale.command(QStringLiteral("load 50"));
        QVERIFY(QTest::qWaitFor([&] { return v.record.visit().stability().latest > 40 * kMicro; }, 10000));
        v.tests().points->selectRow(1);
        v.tests().capture->click(); // at once: the second before still held 0 kg
        QVERIFY(v.point(Phase::AsFound, 1).reading->unstable);
        QCOMPARE(v.tests().points->model()->index(1, PointsModel::Result).data().toString().left(15),
                 QStringLiteral("FAIL (unstable)"));
        QVERIFY(v.captureAt(0, 0));
        v.markRestNotPerformed(Phase::AsFound);
        answer({platform::vbNo});
        v.record.closeRecord->click();
        QVERIFY(m_boxes.last().contains(QLatin1String("taken while the weight was unstable: As found, up 50.00 kg")));
        QVERIFY(!v.r().closed());
        QCOMPARE(v.selectedRow(), 1);
        v.record.closeRecord->click();
        QCOMPARE(v.r().verdict, Verdict::Fail);

        Session slow("2");
        QVERIFY(slow.logIn());
        QTRY_VERIFY_WITH_TIMEOUT(slow.record.live->stableMark->text().startsWith(QLatin1String("too few reports (")), 10000);
    }

    // The window opens wholly on the screen: beside the console, moved to the left edge, where
    // both fit; else above the console's button rows, the console moved to the bottom; on a
    // second screen where there is one; also where it was left last time.
    void windowOnTheScreen()
    {
        const QRect laptop(0, 0, 1366, 728);
        const QRect console(526, 142, 313, 443), rows(526, 416, 313, 169); // rows: console y 274 to 442
        const QSize wants(1015, 600), least(743, 540);
        Arrangement a = arrangeBeside(console, rows, wants, least, {laptop});
        QCOMPARE(a.console, QRect(0, 142, 313, 443));
        QCOMPARE(a.record, QRect(321, 0, 1045, 600)); // 313 + 8 gap, the rest of the width
        a = arrangeBeside(console, rows, wants, least, {QRect(0, 0, 2560, 1400)});
        QCOMPARE(a.record, QRect(321, 0, 1522, 600)); // at most half as wide again
        // 1024 x 728: 313 + 8 + 743 > 1024. Console to y 728 - 443 = 285, its rows from 285 + 274 =
        // 559; the record window above them: 559 - 8 = 551 high.
        a = arrangeBeside(console, rows, wants, least, {QRect(0, 0, 1024, 728)});
        QCOMPARE(a.console, QRect(0, 285, 313, 443));
        QCOMPARE(a.record, QRect(0, 0, 1015, 551));
        QVERIFY(!a.record.intersects(rows.translated(-526, 143)));
        a = arrangeBeside(console, rows, wants, QSize(743, 560), {QRect(0, 0, 1024, 728)}); // 560 > 551: over it
        QCOMPARE(a.record, QRect(9, 0, 1015, 600));
        a = arrangeBeside(console, rows, wants, least, {laptop, QRect(1366, -200, 1920, 1040)});
        QCOMPARE(a.console, console);
        QCOMPARE(a.record, QRect(1818, 20, 1015, 600)); // centred on the second screen
        QCOMPARE(keptInside(QRect(1200, 600, 860, 700), laptop), QRect(506, 28, 860, 700));
        QVERIFY(keptInside(QRect(5000, 5000, 860, 700), laptop).isEmpty());

        Session v;
        const QSize smallest = v.record.minimumSizeHint(); // beside the console on 1280: 976 wide with its frame
        QVERIFY2(smallest.width() <= 976 - 16 && smallest.height() <= 728 - 40,
                 qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
        v.record.setKeptGeometry(QRect(5000, 5000, 900, 700));
        v.record.showBeside(&v.console, v.console.buttonRowsOnScreen());
        const QRect available = v.console.screen()->availableGeometry();
        QTRY_VERIFY(v.record.isVisible());
        QVERIFY2(available.contains(v.record.frameGeometry()), qPrintable(QStringLiteral("%1,%2").arg(v.record.x()).arg(v.record.y())));
    }

    // The console as it starts: the record window made when first asked for, with the records
    // file of the data folder; where the technician leaves it is where it opens next time.
    void consoleKeepsTheWindowsPlace()
    {
        ProgramFolder dir;
        dir.write(QStringLiteral("vantor_cal.ini"), "[Provider]\r\nName=Scales Service Co.\r\nLogo=logo.png\r\n"
                                                    "[Technician]\r\nName=Anna Berg\r\n");
        QImage logo(800, 200, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        QVERIFY(logo.save(dir.file(QStringLiteral("logo.png"))));
        const records::Provider provider = ConsoleApp::provider();
        QCOMPARE(provider.name, QStringLiteral("Scales Service Co."));
        QCOMPARE(QImage::fromData(provider.logoPng).width(), 400); // scaled down for the record
        const ConsoleApp::Options options{SqliteStore::defaultPath(dir.path()), std::nullopt, {}};
        QRect left;
        {
            ConsoleApp app(options);
            app.start();
            QVERIFY(!app.recordWindow());
            emit app.mainWindow().recordWindowRequested();
            QVERIFY(app.recordWindow() && app.recordWindow()->isVisible());
            QCOMPARE(app.store().location(), options.recordsFile);
            QLineEdit *technician = app.recordWindow()->visitForm->technician;
            QCOMPARE(technician->text(), QStringLiteral("Anna Berg"));
            technician->setText(QStringLiteral("Ben Ode"));
            technician->setModified(true);
            emit technician->editingFinished();
            app.recordWindow()->move(app.recordWindow()->pos() + QPoint(-7, -5));
            left = app.recordWindow()->frameGeometry();
            app.finish();
        }
        QCOMPARE(ConsoleApp::keptGeometry(), left);
        QVERIFY(dir.read(QStringLiteral("vantor_cal.ini")).contains("Name=Ben Ode"));
        ConsoleApp again(options);
        again.start();
        emit again.mainWindow().recordWindowRequested();
        QCOMPARE(again.recordWindow()->frameGeometry(), keptInside(left, again.mainWindow().screen()->availableGeometry()));
    }

    // The store is locked by another console in the middle of a visit: the record stays in the
    // window, said once, and goes to the store when it is free; nothing replaces it meanwhile; at
    // the end it can go to a file.
    void storeFailureLosesNothing()
    {
        Session v;
        QVERIFY(v.begin());
        const QString path = SqliteStore::defaultPath(v.dir.path());
        {
            testsupport::RawDatabase other(path);
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(v.captureAt(0, 0));
            QVERIFY(v.captureAt(50, 1));
            QVERIFY(v.record.visit().unsaved());
            QVERIFY(v.record.saveAgain->isVisibleTo(&v.record));
            QVERIFY(v.record.storeStatus->text().contains(path));
            QCOMPARE(m_boxes.filter(QLatin1String("locked")).size(), 1);
            v.record.tabs->setCurrentIndex(2);
            v.record.history->list->setCurrentItem(v.record.history->list->topLevelItem(0));
            v.record.history->openRecord->click(); // the record as the store has it, without these readings: refused
            QVERIFY2(m_boxes.last().contains(QLatin1String("is not saved yet")), qPrintable(m_boxes.last()));
            QVERIFY(v.point(Phase::AsFound, 1).reading);
        }
        v.record.saveAgain->click();
        QVERIFY(!v.record.visit().unsaved());
        SqliteStore store(path);
        const auto stored = store.load(v.r().uuid);
        QVERIFY(stored && stored->record.asFound[1].reading && stored->record.asFound[0].reading);

        testsupport::RawDatabase other(path);
        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        v.tests().points->selectRow(0);
        v.tests().removeReading->click();
        platform::setSaveFileNameHandler([&v](const QString &, const QString &) { return v.dir.file("kept.json"); });
        QVERIFY(!v.record.finish()); // offered for export, and exported
        const auto kept = Record::fromJson(QJsonDocument::fromJson(v.dir.read("kept.json")).object());
        QVERIFY(kept && !kept->asFound[0].reading && kept->asFound[1].reading && kept->asFound[0].earlier.size() == 1);
    }
};

QTEST_MAIN(tst_Visit)
#include "tst_visit.moc"
