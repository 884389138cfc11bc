// A whole calibration visit with its service record, as a technician makes it: the console and
// the record window (real widgets, offscreen), the virtual scale on a pseudo-terminal, the records
// in an SQLite file of a temporary folder, the certificate read back with pdftotext, and the same
// records from the command line.
#include "Certificate.h"
#include "FileDialog.h"
#include "MsgBox.h"
#include "Pty.h"
#include "RawDatabase.h"
#include "RecordWindow.h"
#include "SimProcess.h"
#include "SqliteStore.h"
#include "frmMain.h"
#include "modCommon.h"

#include <QDir>
#include <QFrame>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

using namespace records;
using testsupport::ProgramFolder;
using testsupport::SimProcess;

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

// The console and its record window on the virtual scale in a portable copy's folder, logged in,
// the scale in kilograms, the record window shown and a record of a 150 kg class III platform open.
struct Session
{
    Session()
    {
        scale.start(dir.path(), 1, {"--quiet", "--rate", "25", "--settle-ms", "100"});
        record.setStorePath(SqliteStore::defaultPath(dir.path()));
        QObject::connect(&console, &frmMain::deviceEvent, &visit, &records::Visit::onDeviceEvent);
        QObject::connect(&console, &frmMain::recordWindowRequested, &record, &RecordWindow::showAndRaise);
        console.show();
    }
    bool begin()
    {
        if (!QTest::qWaitFor([this] { return console.MSComm.PortOpen(); }, 10000))
            return false;
        console.cmdCheck->click(); // the login waits for its replies
        console.cmdKgLb->click();
        if (!QTest::qWaitFor([] { return !modCommon::gbIsLb; }, 10000))
            return false;
        console.cmdAdmin->click();
        sizeBefore = console.size();
        console.recordButton->click();
        console.cmdAdminClose->click();
        record.max->setText(QStringLiteral("150"));
        record.min->setText(QStringLiteral("1"));
        record.scaleInterval->setText(QStringLiteral("0.03")); // not 1, 2 or 5 x 10^k: refused
        record.displayInterval->setText(QStringLiteral("0.01"));
        record.newRecord->click();
        if (record.visit().record())
            return false;
        record.scaleInterval->setText(QStringLiteral("0.05"));
        record.makerModel->setText(QStringLiteral("Vantor PS-150"));
        record.weightSet->setText(QStringLiteral("W-12"));
        record.newRecord->click();
        record.loads->setText(QStringLiteral("0; 50"));
        record.applyLoads->click();
        return record.visit().record().has_value();
    }
    // Puts a load on the platter, waits until the window calls it stable, captures it.
    bool captureAt(double kg, int row)
    {
        scale.command(QStringLiteral("load %1").arg(kg));
        const bool stable = QTest::qWaitFor([&] {
            const auto s = record.visit().stability();
            return s.stable && qAbs(s.latest - Micro(kg * kMicro)) < 2 * kMicro;
        }, 10000);
        record.points->selectRow(row);
        record.capture->click();
        return stable;
    }
    const Record &r() { return *record.visit().record(); }
    QStringList adjustments()
    {
        QStringList out;
        for (const Adjustment &a : r().adjustments)
            out << a.text;
        return out;
    }

    ProgramFolder dir;
    QSize sizeBefore; // of the console, before the record window opened
    SimProcess scale;
    frmMain console;
    records::Visit visit;
    RecordWindow record{visit};
};

} // namespace

class tst_Visit : public QObject
{
    Q_OBJECT

    QStringList m_boxes;

private slots:
    void init()
    {
        m_boxes.clear();
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r.prompt;
            return (r.style & 0x0F) == platform::vbYesNo ? int(platform::vbYes) : int(platform::vbOK);
        });
    }
    void cleanup()
    {
        platform::setMsgBoxHandler(nullptr);
        platform::setSaveFileNameHandler(nullptr);
    }

    // As found fails at 50 kg; the 50 kg calibration, the gravity value and the passwords are
    // recorded by themselves; as left passes; the record closes as ADJUSTED.
    void wholeVisit()
    {
        Session v;
        QVERIFY(v.begin());
        QCOMPARE(m_boxes.size(), 1); // the scale interval of 0.03
        QCOMPARE(v.console.size(), v.sizeBefore);
        QVERIFY(v.record.isVisible());
        QSet<QChar> keys; // every action has a key of its own
        for (QAbstractButton *b : v.record.findChildren<QAbstractButton *>()) {
            if (!qobject_cast<QPushButton *>(b) && !qobject_cast<QRadioButton *>(b))
                continue;
            const qsizetype amp = b->text().indexOf(u'&');
            QVERIFY2(amp >= 0 && amp + 1 < b->text().size() && !keys.contains(b->text()[amp + 1].toLower()), qPrintable(b->text()));
            keys.insert(b->text()[amp + 1].toLower());
        }
        v.console.cmdAccelRead->click(); // the gravity value before
        QTRY_COMPARE(v.console.txtAccelRead->text(), QStringLiteral("9.7982"));

        QVERIFY(v.captureAt(0, 0));
        QVERIFY(v.captureAt(50, 1));
        QVERIFY(phasePasses(v.r(), Phase::AsFound) == false);
        QCOMPARE(resultOf(v.r(), v.r().asFound[1]).pass, false);

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
        v.record.points->selectRow(0);
        v.record.removeReading->click();
        v.record.capture->click(); // as found after an adjustment: refused
        QVERIFY(m_boxes.last().contains(QLatin1String("as found can no longer be taken")));

        v.record.asLeft->setChecked(true);
        v.record.loads->setText(QStringLiteral("0; 50"));
        v.record.applyLoads->click();
        QVERIFY(v.captureAt(50, 1));
        QVERIFY(v.captureAt(0, 0));
        v.record.closeRecord->click();
        QCOMPARE(v.r().verdict, Verdict::Adjusted);
        QCOMPARE(v.record.history->topLevelItem(0)->text(2), QStringLiteral("ADJUSTED"));

        platform::setSaveFileNameHandler([&v](const QString &, const QString &name) { return v.dir.file(name); });
        v.record.certificate->click();
        v.record.csv->click();
        const QString number = recordNumber(v.r());
        QString pdf;
        QCOMPARE(run(QStringLiteral("pdftotext"), {v.dir.file("certificate-" + number + ".pdf"), QStringLiteral("-")}, &pdf),
                 QStringLiteral("ok"));
        for (const char *expected : {"Verdict: ADJUSTED", "51.02", "Calibration with 50 kg", "Passwords changed", "W-12"})
            QVERIFY2(pdf.contains(QLatin1String(expected)), expected);
        const QByteArray csv = v.dir.read("readings-" + number + ".csv");
        QVERIFY(csv.contains(",as found,weighing,up,50.00,51.02"));
        QVERIFY(csv.contains(",as left,weighing,up,50.00,50.0"));
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
    }

    // The store is locked by another console in the middle of a visit: the record stays in the
    // window, said once, and goes to the store when it is free; at the end it can go to a file.
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
        }
        v.record.saveAgain->click();
        QVERIFY(!v.record.visit().unsaved());
        SqliteStore store(path);
        const auto stored = store.load(v.r().uuid);
        QVERIFY(stored && stored->record.asFound[1].reading && stored->record.asFound[0].reading);

        testsupport::RawDatabase other(path);
        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        v.record.points->selectRow(0);
        v.record.removeReading->click();
        platform::setSaveFileNameHandler([&v](const QString &, const QString &) { return v.dir.file("kept.json"); });
        QVERIFY(!v.record.finish()); // offered for export, and exported
        const auto kept = Record::fromJson(QJsonDocument::fromJson(v.dir.read("kept.json")).object());
        QVERIFY(kept && !kept->asFound[0].reading && kept->asFound[1].reading);
    }
};

QTEST_MAIN(tst_Visit)
#include "tst_visit.moc"
