#include "Controls.h"
#include "Program.h"
#include "RecordWindow.h"
#include "RecordsCommands.h"
#include "ServerAddress.h"
#include "ServerLink.h"
#include "SqliteStore.h"
#include "SyncedStore.h"
#include "frmMain.h"
#include "modCommon.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <QRect>
#include <QTimer>
#include <memory>

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

// The record window's place and size between runs, in a section of its own.
const QString kRecordWindowSection = QStringLiteral("RecordWindow");

QRect keptRecordWindowGeometry()
{
    const auto value = [](const char *key) {
        bool ok = false;
        const int n = modCommon::GetString_ofINI(kRecordWindowSection, QLatin1String(key), QString()).toInt(&ok);
        return ok ? n : 0;
    };
    return {value("Left"), value("Top"), value("Width"), value("Height")};
}

void keepRecordWindowGeometry(const QRect &frame)
{
    if (frame.isEmpty())
        return;
    const std::pair<const char *, int> values[] = {
        {"Left", frame.left()}, {"Top", frame.top()}, {"Width", frame.width()}, {"Height", frame.height()}};
    for (const auto &[key, value] : values)
        modCommon::SetString_ofINI(kRecordWindowSection, QLatin1String(key), QString::number(value));
}

} // namespace

int main(int argc, char *argv[])
{
    QString exportId, pdfPath, csvPath;
    // The team's records server: --records-server for one run, else [Records] Server in the settings.
    std::optional<records::ServerAddress> server;
    QString serverNote;
    {
        // The options first, without a display: --help, --version and the record commands work in
        // any terminal.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vantor_cal"));
        QCoreApplication::setApplicationVersion(QStringLiteral(VANTOR_VERSION));
        QCommandLineParser parser;
        QString description =
            QStringLiteral("Service console for Vantor electronic weighing scales: login, calibration, units,\n"
                           "gravity value, user serial number and passwords, live weight, port scan, and\n"
                           "the service record of every visit.\n\n"
                           "Settings (vantor_cal.ini), daily logs (LOG_YYYYmmdd.TXT) and COM<n> port links: %1\n"
                           "Service records: %2")
                .arg(QDir::toNativeSeparators(platform::dataDir()),
                     QDir::toNativeSeparators(records::SqliteStore::defaultPath(platform::dataDir())));
        if (const QString note = leftoversNote(); !note.isEmpty())
            description += QStringLiteral("\n\nNote: ") + note;
        parser.setApplicationDescription(description);
        const QCommandLineOption help = parser.addHelpOption();
        const QCommandLineOption version = parser.addVersionOption();
        const QCommandLineOption list(QStringLiteral("list-records"),
                                      QStringLiteral("List the service records of the scale INDEX_NO (of every scale without it), newest first."));
        const QCommandLineOption exportRecord(QStringLiteral("export-record"),
                                              QStringLiteral("Export the record ID (its number as listed, or its uuid) with --pdf and/or --csv."),
                                              QStringLiteral("ID"));
        const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("The certificate of a closed record, as PDF."), QStringLiteral("FILE"));
        const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("The readings as CSV."), QStringLiteral("FILE"));
        const QCommandLineOption serverOption(
            QStringLiteral("records-server"),
            QStringLiteral("For this run, also keep the records on this PostgreSQL server (a libpq connection string or URI, "
                           "no password: ~/.pgpass) instead of the one in the settings ([Records] Server)."),
            QStringLiteral("URI"));
        parser.addOptions({list, exportRecord, pdf, csv, serverOption});
        parser.addPositionalArgument(QStringLiteral("INDEX_NO"), QStringLiteral("With --list-records: the scale's Index No."),
                                     QStringLiteral("[INDEX_NO]"));
        parser.parse(QCoreApplication::arguments()); // the window system's options are QApplication's
        if (parser.isSet(help))
            parser.showHelp();
        if (parser.isSet(version))
            parser.showVersion();
        QTextStream out(stdout), err(stderr);
        const QString serverText = parser.isSet(serverOption)
                                       ? parser.value(serverOption)
                                       : modCommon::GetString_ofINI(QStringLiteral("Records"), QStringLiteral("Server"), QString());
        if (!serverText.isEmpty()) {
            QString why;
            server = records::parseServerAddress(serverText, &why);
            if (!server && parser.isSet(serverOption)) {
                err << why << '\n';
                return 2;
            }
            if (!server)
                serverNote = QStringLiteral("The records server in %1 is not used. %2").arg(modCommon::settingsPath(), why);
        }
        if (parser.isSet(list)) {
            records::SqliteStore store(records::SqliteStore::defaultPath(platform::dataDir()));
            std::optional<records::ServerLink> link;
            if (server)
                link.emplace(*server);
            return listRecords(store, link ? &*link : nullptr, parser.positionalArguments().value(0), out, err);
        }
        if (parser.isSet(exportRecord)) {
            exportId = parser.value(exportRecord);
            pdfPath = parser.value(pdf);
            csvPath = parser.value(csv);
        }
    }
    if (!exportId.isEmpty()) {
        // A certificate is laid out with fonts, which take a GUI application: one without a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        QTextStream out(stdout), err(stderr);
        records::SqliteStore store(records::SqliteStore::defaultPath(platform::dataDir()));
        std::optional<records::ServerLink> link;
        if (server)
            link.emplace(*server);
        return exportRecord(store, link ? &*link : nullptr, exportId, pdfPath, csvPath, out, err);
    }

    platform::preferLightweightGuiBackends();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantor_cal"));
    if (const QString note = leftoversNote(); !note.isEmpty())
        modCommon::Save_ErrorLog(modCommon::errorLine("dataDir", 0, note), true);
    platform::installFontSubstitutions();
    app.setFont(platform::vbFont(QStringLiteral("MS Sans Serif"), 8.25, false));
    frmMain window;
    // The visit's record follows the scale from the start; its window, beside the main window, is
    // made when first asked for. The program ends with the main window.
    records::Visit visit;
    std::unique_ptr<RecordWindow> recordWindow;
    std::unique_ptr<records::RecordStore> store; // made when first needed, then the window's
    const auto makeStore = [&] {
        const QString local = records::SqliteStore::defaultPath(platform::dataDir());
        if (server)
            store = std::make_unique<records::SyncedStore>(local, *server);
        else
            store = std::make_unique<records::SqliteStore>(local);
    };
    QObject::connect(&window, &frmMain::deviceEvent, &visit, &records::Visit::onDeviceEvent);
    QObject::connect(&window, &frmMain::recordWindowRequested, &visit, [&] {
        if (!recordWindow) {
            recordWindow = std::make_unique<RecordWindow>(visit);
            recordWindow->setAttribute(Qt::WA_QuitOnClose, false);
            recordWindow->setKeptGeometry(keptRecordWindowGeometry());
            if (!store)
                makeStore();
            recordWindow->setStore(std::move(store));
            recordWindow->setServerNote(serverNote);
        }
        recordWindow->showBeside(&window);
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &visit, [&] {
        if (recordWindow) {
            keepRecordWindowGeometry(recordWindow->keptGeometry());
            recordWindow->finish();
        }
    });
    if (server) // records that waited for the server go now, once the window is up
        QTimer::singleShot(2000, &visit, [&] {
            if (!store && !recordWindow)
                makeStore();
            records::RecordStore *current = store ? store.get() : recordWindow->store();
            if (auto *synced = dynamic_cast<records::SyncedStore *>(current))
                synced->sendWaiting();
        });
    window.show();
    return app.exec();
}
