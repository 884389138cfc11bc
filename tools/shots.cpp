// Screenshots of the console's windows for a person to look at: shots <output folder>.
// Runs a short session against the virtual scale. Run it under a real X server
// (scripts/screenshots.sh starts Xvfb).
#include "Controls.h"
#include "MsgBox.h"
#include "Program.h"
#include "SimProcess.h"
#include "frmMain.h"
#include "frmPortScan.h"
#include "FileDialog.h"
#include "RecordWindow.h"

#include <QComboBox>
#include <QRadioButton>
#include <QTableWidget>
#include <QTreeWidget>

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

static void save(QWidget &w, const QString &dir, const QString &name)
{
    QTest::qWait(300);
    w.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    app.setFont(platform::vbFont(QStringLiteral("MS Sans Serif"), 8.25, false));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);
    QTemporaryDir programDir;
    platform::setProgramDirForTesting(programDir.path());
    platform::setMsgBoxHandler([](const platform::MsgBoxRequest &r) {
        qInfo("box: %s", qPrintable(r.prompt));
        QTest::qWait(200);
        return (r.style & 0x0F) == platform::vbYesNo ? int(platform::vbYes) : int(platform::vbOK);
    });

    testsupport::SimProcess scale;
    if (!scale.start(programDir.path(), 1, {"--quiet", "--rate", "10", "--load", "50"}))
        qWarning("the virtual scale did not start: the live pictures will show no device");

    {
        frmPortScan scan;
        scan.show();
        scan.cmdSearch_Click();
        scan.lstvPortScanResult_DblClick();
        save(scan, out, QStringLiteral("0-port-scan"));
    }

    frmMain w;
    w.show();
    save(w, out, QStringLiteral("1-login"));

    w.cmdCheck->click();
    QTest::qWait(500);
    w.cmdAccelRead->click();
    save(w, out, QStringLiteral("2-data-manual"));
    w.cmdAuto->click();
    save(w, out, QStringLiteral("3-data-auto"));

    w.cmdAdmin->click();
    w.cmdSerialRead->click();
    QTest::qWait(200);
    w.cmdPassRead->click();
    save(w, out, QStringLiteral("4-admin"));

    // A visit with its record: as found, the 50 kg calibration, as left, closed, certificate.
    records::Visit visit;
    RecordWindow record(visit);
    record.setStorePath(QDir(programDir.path()).filePath(QStringLiteral("records.sqlite")));
    QObject::connect(&w, &frmMain::deviceEvent, &visit, &records::Visit::onDeviceEvent);
    w.cmdAdminClose->click();
    w.cmdKgLb->click();
    QTest::qWait(300);
    w.cmdCheck->click(); // the login names the scale to the record window
    QTest::qWait(300);
    w.cmdKgLb->click();
    QTest::qWait(300);
    record.move(w.frameGeometry().topRight() + QPoint(8, 0));
    record.showAndRaise();
    record.makerModel->setText(QStringLiteral("Vantor PS-150 platform"));
    record.location->setText(QStringLiteral("Goods in, dock 2"));
    record.unit->setCurrentIndex(0);
    record.max->setText(QStringLiteral("150"));
    record.min->setText(QStringLiteral("1"));
    record.scaleInterval->setText(QStringLiteral("0.05"));
    record.displayInterval->setText(QStringLiteral("0.01"));
    record.weightSet->setText(QStringLiteral("W-12"));
    record.weightClass->setText(QStringLiteral("M1"));
    record.weightCertificate->setText(QStringLiteral("2026-0417"));
    record.newRecord->click();
    record.loads->setText(QStringLiteral("0; 1; 25; 50; 100; 150"));
    record.applyLoads->click();
    const auto captureAt = [&](double kg, int row) {
        scale.command(QStringLiteral("load %1").arg(kg));
        QTest::qWait(1700);
        record.points->selectRow(row);
        record.capture->click();
    };
    captureAt(0, 0);
    captureAt(1, 1);
    captureAt(25, 2);
    captureAt(50, 3);
    w.cmdAuto->click(); // automatic mode for the calibration buttons
    QTest::qWait(300);
    save(record, out, QStringLiteral("6-record-as-found"));
    scale.command(QStringLiteral("load 50"));
    QTest::qWait(800);
    w.cmd50Kg->click();
    QTest::qWait(500);
    record.asLeft->setChecked(true);
    record.loads->setText(QStringLiteral("0; 1; 25; 50; 100; 150"));
    record.applyLoads->click();
    captureAt(0, 0);
    captureAt(1, 1);
    captureAt(25, 2);
    captureAt(50, 3);
    record.closeRecord->click();
    save(record, out, QStringLiteral("7-record-closed"));
    platform::setSaveFileNameHandler([&out](const QString &, const QString &suggested) {
        return QDir(out).filePath(suggested);
    });
    record.certificate->click();
    record.csv->click();
    record.hide();

    w.cmdClose->click();
    w.Timer1.setEnabled(false); // a status hold still running would restore the header early
    w.Timer2.setEnabled(true);
    QTest::qWait(400);
    save(w, out, QStringLiteral("5-login-failure-to-send"));
    return 0;
}
