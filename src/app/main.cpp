#include "Controls.h"
#include "Program.h"
#include "frmMain.h"
#include "modCommon.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

namespace {

// Files an earlier version left beside an installed program: not used, and said so.
QString leftoversNote()
{
    const QStringList leftovers = platform::leftoversBesideProgram(platform::programDir());
    if (leftovers.isEmpty())
        return {};
    QStringList names;
    for (const QString &path : leftovers)
        names << QDir::toNativeSeparators(path);
    return QStringLiteral("files that an earlier version left beside the installed program are not used "
                          "(to keep the settings, move vantor_cal.ini into the folder named above; then "
                          "delete the rest): ")
           + names.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char *argv[])
{
    {
        // The options first, without a display: --help and --version work in any terminal.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vantor_cal"));
        QCoreApplication::setApplicationVersion(QStringLiteral(VANTOR_VERSION));
        QCommandLineParser parser;
        QString description =
            QStringLiteral("Service console for Vantor electronic weighing scales: login, calibration, units,\n"
                           "gravity value, user serial number and passwords, live weight, port scan.\n\n"
                           "Settings (vantor_cal.ini), daily logs (LOG_YYYYmmdd.TXT) and COM<n> port links: %1")
                .arg(QDir::toNativeSeparators(platform::dataDir()));
        if (const QString note = leftoversNote(); !note.isEmpty())
            description += QStringLiteral("\n\nNote: ") + note;
        parser.setApplicationDescription(description);
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
    if (const QString note = leftoversNote(); !note.isEmpty())
        modCommon::Save_ErrorLog(modCommon::errorLine("dataDir", 0, note), true);
    platform::installFontSubstitutions();
    app.setFont(platform::vbFont(QStringLiteral("MS Sans Serif"), 8.25, false));
    frmMain window;
    window.show();
    return app.exec();
}
