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
#include "InputBox.h"
#include "RecordWindow.h"
#include "SqliteStore.h"
#include "Certificate.h"
#include "TestPlan.h"
#include "Uncertainty.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QTableView>
#include <QTreeWidget>

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QBuffer>
#include <QPainter>
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
        return (r.style & 0x0F) == platform::vbOKOnly ? int(platform::vbOK) : int(platform::vbYes);
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
    QImage logo(360, 90, QImage::Format_RGB32); // a service company's logo
    logo.fill(QColor(20, 60, 130));
    {
        QPainter paint(&logo);
        paint.setPen(Qt::white);
        paint.setFont(QFont(QStringLiteral("Liberation Sans"), 28, QFont::Bold));
        paint.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("SCALES CO."));
    }
    QByteArray png;
    QBuffer pngBuffer(&png);
    pngBuffer.open(QIODevice::WriteOnly);
    logo.save(&pngBuffer, "PNG");
    visit.setProvider({QStringLiteral("Scales Service Co."), QStringLiteral("1 Weigh Street, Leeds LS1 4AB"),
                       QStringLiteral("UKAS"), QStringLiteral("0042"), png});
    records::SqliteStore store(QDir(programDir.path()).filePath(QStringLiteral("records.sqlite")));
    RecordWindow record(visit);
    record.setStore(&store);
    QObject::connect(&w, &frmMain::deviceEvent, &visit, &records::Visit::onDeviceEvent);
    w.cmdAdminClose->click();
    w.cmdKgLb->click();
    QTest::qWait(300);
    w.cmdCheck->click(); // the login names the scale to the record window
    QTest::qWait(300);
    w.cmdKgLb->click();
    QTest::qWait(300);
    record.showBeside(&w, w.buttonRowsOnScreen());
    record.instrument->makerModel->setText(QStringLiteral("Vantor PS-150 platform"));
    record.instrument->location->setText(QStringLiteral("Goods in, dock 2"));
    record.instrument->customer->setText(QStringLiteral("Mill & Sons Ltd"));
    record.instrument->customerAddress->setText(QStringLiteral("Canal Road 7, Leeds"));
    record.visitForm->technician->setText(QStringLiteral("Anna Berg"));
    record.visitForm->temperatureStart->setText(QStringLiteral("19.5"));
    record.instrument->unit->setCurrentIndex(0);
    record.instrument->max->setText(QStringLiteral("150"));
    record.instrument->min->setText(QStringLiteral("1"));
    record.instrument->scaleInterval->setText(QStringLiteral("0.05"));
    record.instrument->displayInterval->setText(QStringLiteral("0.05"));
    record.visitForm->weightSet->setText(QStringLiteral("W-12"));
    record.visitForm->weightClass->setCurrentText(QStringLiteral("M1"));
    record.visitForm->weightCertificate->setText(QStringLiteral("2026-0417"));
    record.visitForm->weightIssuer->setText(QStringLiteral("Northern Mass Laboratory"));
    record.visitForm->newRecord->click();
    TestsPanel &tests = *record.tests;
    const QString loads = QStringLiteral("0; 1; 25; 50");
    tests.loads->setText(loads);
    tests.applyLoads->click();
    // Each load on the platter until the window calls it stable, then Enter on the points.
    const auto captureAt = [&](double kg) {
        scale.command(QStringLiteral("load %1").arg(kg));
        QTest::qWait(400);
        (void)QTest::qWaitFor([&] { return visit.stability().stable; }, 10000);
        QTest::keyClick(tests.points, Qt::Key_Return);
    };
    // The rest of a phase is not tested on this visit.
    platform::setInputBoxHandler([](const QString &) { return QStringLiteral("not asked by the customer"); });
    const auto restNotPerformed = [&](records::Phase phase) {
        for (records::Test test : {records::Test::Repeatability, records::Test::Eccentricity}) {
            tests.showTable(phase, test);
            tests.notPerformed->click();
        }
        tests.showTable(phase, records::Test::Weighing);
    };
    for (double kg : {0.0, 1.0, 25.0, 50.0})
        captureAt(kg);
    w.cmdAuto->click(); // automatic mode for the calibration buttons
    QTest::qWait(300);
    save(record, out, QStringLiteral("6-record-as-found"));
    w.cmd50Kg->click();
    QTest::qWait(800);
    restNotPerformed(records::Phase::AsFound);
    tests.showTable(records::Phase::AsLeft, records::Test::Weighing);
    tests.loads->setText(loads);
    tests.applyLoads->click();
    for (double kg : {0.0, 1.0, 25.0, 50.0, 25.0, 1.0, 0.0})
        captureAt(kg);
    restNotPerformed(records::Phase::AsLeft);
    record.visitForm->temperatureEnd->setText(QStringLiteral("20.0"));
    emit record.visitForm->temperatureEnd->editingFinished();
    record.closeRecord->click();
    save(record, out, QStringLiteral("7-record-closed"));
    w.screen()->grabWindow(0).save(QDir(out).filePath(QStringLiteral("9-workbench.png"))); // both, as arranged
    platform::setSaveFileNameHandler([&out](const QString &, const QString &suggested) {
        return QDir(out).filePath(suggested);
    });
    record.certificate->click();
    record.csv->click();
    QString error;
    for (auto [paper, name] : {std::pair(QPageSize::A4, "A4"), std::pair(QPageSize::Letter, "Letter")})
        records::writeCertificate(*visit.record(), QDir(out).filePath(QStringLiteral("certificate-%1.pdf").arg(QLatin1String(name))),
                                  &error, paper);
    // A short visit: as found at three loads, nothing adjusted; hands-free, and what it shows from
    // 3 m, a third of its size.
    record.visitForm->newRecord->click();
    tests.loads->setText(QStringLiteral("0; 50"));
    tests.applyLoads->click();
    tests.autoCapture->setChecked(true);
    scale.command(QStringLiteral("load 0"));
    QTest::qWait(3500); // 0 kg taken by itself; 50 kg, out since the last calibration, waits for Enter
    scale.command(QStringLiteral("load 50.5"));
    QTest::qWait(3500);
    save(record, out, QStringLiteral("8-record-auto-capture"));
    record.grab().scaled(record.size() / 3, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(QDir(out).filePath(QStringLiteral("8-record-auto-capture-third.png")));
    tests.autoCapture->setChecked(false);
    for (double kg : {50.5, 0.0})
        captureAt(kg);
    restNotPerformed(records::Phase::AsFound);
    record.closeRecord->click();
    records::writeCertificate(*visit.record(), QDir(out).filePath(QStringLiteral("certificate-short.pdf")), &error);
    // Every planned point of both phases read, as a full visit reads them.
    records::Record full = *visit.record();
    full = records::correctionOf(full, full.closedAt.addSecs(600));
    full.adjustments = {{full.openedAt.addSecs(900), QStringLiteral("Calibration with 50 kg"), true, false}};
    for (records::Phase phase : {records::Phase::AsFound, records::Phase::AsLeft}) {
        full.points(phase) = records::newRecord(full.instrument, full.userType, false, full.openedAt).points(phase);
        int second = phase == records::Phase::AsFound ? 0 : 1000;
        for (records::Point &p : full.points(phase)) {
            const records::Micro off = phase == records::Phase::AsFound ? p.load / 50 : (second % 3 - 1) * 10000;
            p.reading = records::Reading{.indication = p.load + off, .at = full.openedAt.addSecs(++second)};
        }
    }
    full.closedAt = full.openedAt.addSecs(3600);
    records::sealUncertainty(full);
    full.verdict = records::verdictOf(full);
    full.sha256 = full.computeSha256();
    for (auto [paper, name] : {std::pair(QPageSize::A4, "A4"), std::pair(QPageSize::Letter, "Letter")})
        records::writeCertificate(full, QDir(out).filePath(QStringLiteral("certificate-full-%1.pdf").arg(QLatin1String(name))), &error, paper);
    record.hide();

    w.cmdClose->click();
    w.Timer1.setEnabled(false); // a status hold still running would restore the header early
    w.Timer2.setEnabled(true);
    QTest::qWait(400);
    save(w, out, QStringLiteral("5-login-failure-to-send"));
    return 0;
}
