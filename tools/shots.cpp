// Screenshots of the console's windows for a person to look at: shots <output folder>.
// Runs a short session against the virtual scale. Run it under a real X server
// (scripts/screenshots.sh starts Xvfb).
#include "Controls.h"
#include "MsgBox.h"
#include "Program.h"
#include "SimProcess.h"
#include "frmMain.h"
#include "frmPortScan.h"

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

    w.cmdAdminClose->click();
    w.cmdClose->click();
    w.Timer1.setEnabled(false); // a status hold still running would restore the header early
    w.Timer2.setEnabled(true);
    QTest::qWait(400);
    save(w, out, QStringLiteral("5-login-failure-to-send"));
    return 0;
}
