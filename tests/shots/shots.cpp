// Screenshots of the console's windows for a person to look at: shots <output folder>.
// Run under a real X server (scripts/screenshots.sh starts Xvfb).
#include "Controls.h"
#include "Program.h"
#include "frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QTemporaryDir>
#include <QTest>

static void save(QWidget &w, const QString &dir, const QString &name)
{
    QTest::qWait(200);
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

    frmMain w;
    w.show();
    save(w, out, QStringLiteral("login"));

    w.fraMain->hide();
    w.fraData->show();
    w.setHeightTwips(frmMain::kPanelHeightTwips);
    save(w, out, QStringLiteral("data-auto"));
    w.fuSetAutoManualToogle(1);
    save(w, out, QStringLiteral("data-manual"));

    w.fraData->hide();
    w.fraAdmin->show();
    save(w, out, QStringLiteral("admin"));
    return 0;
}
