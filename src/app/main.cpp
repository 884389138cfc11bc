#include "Controls.h"
#include "Program.h"
#include "frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    {
        // The options first, without a display: --help and --version work in any terminal.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vantor_cal"));
        QCoreApplication::setApplicationVersion(QStringLiteral(VANTOR_VERSION));
        QCommandLineParser parser;
        parser.setApplicationDescription(
            QStringLiteral("Service console for Vantor electronic weighing scales: login, calibration, units,\n"
                           "gravity value, user serial number and passwords, live weight, port scan.\n\n"
                           "Settings (vantor_cal.ini), daily logs (LOG_YYYYmmdd.TXT) and COM<n> port links: %1")
                .arg(QDir::toNativeSeparators(platform::DataDir())));
        const QCommandLineOption help = parser.addHelpOption();
        const QCommandLineOption version = parser.addVersionOption();
        parser.parse(QCoreApplication::arguments()); // the window system's options are QApplication's
        if (parser.isSet(help))
            parser.showHelp();
        if (parser.isSet(version))
            parser.showVersion();
    }
    platform::preferLightweightGuiBackends();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantor_cal"));
    platform::installFontSubstitutions();
    app.setFont(platform::vbFont(QStringLiteral("MS Sans Serif"), 8.25, false));
    frmMain window;
    window.show();
    return app.exec();
}
