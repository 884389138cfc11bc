#include "Controls.h"
#include "Program.h"
#include "ConsoleApp.h"
#include "RecordsCommands.h"
#include "SigningCommands.h"
#include "RecordCheck.h"
#include "RecordExports.h"
#include "TechnicianSigner.h"
#include "ServerAddress.h"
#include "ServerLink.h"
#include "SqliteStore.h"
#include "modCommon.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextStream>

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

// What the command line asks for.
struct Request
{
    enum Kind { Console, List, Export, Due, Verify, VerifyRecords, KeyRequest, KeyNew, LabCreate, LabCertify, LabRevoke } kind = Console;
    int dueDays = 30;                              // --due [DAYS]
    QString indexNo;                               // --list-records [INDEX_NO]
    QString exportId, pdfPath, csvPath;            // --export-record ID --pdf FILE --csv FILE
    QString dccPath, labelPath;                    // --dcc FILE --label FILE
    QString argument;                              // --verify FILE, --key-request FILE, --lab-create NAME, ...
    QString outPath;                               // --out FILE (--lab-certify)
    QString laboratoryFolder;                      // --lab-folder DIR, else as the settings say
    std::optional<records::ServerAddress> server; // --records-server, else [Records] Server in the settings
    QString serverNote;                            // why the settings' server is not used
    int exitCode = -1;                             // >= 0: the program ends with it at once
};

void describe(QCommandLineParser &parser)
{
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
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("list-records"), QStringLiteral("List the service records of the scale INDEX_NO (of every scale without it), newest first.")},
        {QStringLiteral("export-record"), QStringLiteral("Export the record ID (its number as listed, or its uuid) with --pdf and/or --csv."),
         QStringLiteral("ID")},
        {QStringLiteral("pdf"), QStringLiteral("The certificate of a closed record, as PDF (its DCC attached)."), QStringLiteral("FILE")},
        {QStringLiteral("dcc"), QStringLiteral("The Digital Calibration Certificate of a closed record (PTB's DCC 3.1.2, XML)."),
         QStringLiteral("FILE")},
        {QStringLiteral("label"), QStringLiteral("The label for the scale of a closed record, as PDF at the label printer's size "
                                                 "([Label] Size)."),
         QStringLiteral("FILE")},
        {QStringLiteral("csv"), QStringLiteral("The readings as CSV (with --export-record), or the due list as CSV (with --due)."),
         QStringLiteral("FILE")},
        {QStringLiteral("due"), QStringLiteral("List the scales whose calibration is due within DAYS (30 without it) or overdue: "
                                               "Index No., customer, location, last verdict, due date; every technician's "
                                               "with a records server.")},
        {QStringLiteral("verify"), QStringLiteral("Check a certificate PDF, a DCC or an exported record (its signature, who signed "
                                                  "it and whether the laboratory stands behind them), or the text of a label's QR "
                                                  "code against its record."),
         QStringLiteral("FILE")},
        {QStringLiteral("verify-records"), QStringLiteral("Check every closed record of this computer's file (of the server with "
                                                          "--records-server): signatures, certificates, revocations and each "
                                                          "signer's chain.")},
        {QStringLiteral("key-request"), QStringLiteral("Write a request for the laboratory's certificate of this computer's "
                                                       "signing key (made if there is none) to FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("key-new"), QStringLiteral("Forget this computer's signing key (after the laboratory revoked it); the "
                                                   "next record closed makes a new one.")},
        {QStringLiteral("lab-create"), QStringLiteral("Office: set up the laboratory's certificate authority, named NAME, in the "
                                                      "laboratory's folder (the passphrase is read from the terminal)."),
         QStringLiteral("NAME")},
        {QStringLiteral("lab-certify"), QStringLiteral("Office: certify a technician's key from the request in FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("lab-revoke"), QStringLiteral("Office: revoke the certificates issued to the technician NAME (or the key "
                                                      "id KEY) from now on."),
         QStringLiteral("NAME")},
        {QStringLiteral("lab-folder"), QStringLiteral("The laboratory's folder for this run, instead of [Laboratory] Folder."),
         QStringLiteral("DIR")},
        {QStringLiteral("out"), QStringLiteral("With --lab-certify: write the certificate issued to FILE as well."),
         QStringLiteral("FILE")},
        {QStringLiteral("records-server"),
         QStringLiteral("For this run, also keep the records on this PostgreSQL server (a libpq connection string or URI, "
                        "no password: ~/.pgpass) instead of the one in the settings ([Records] Server)."),
         QStringLiteral("URI")},
    });
    parser.addPositionalArgument(QStringLiteral("INDEX_NO"), QStringLiteral("With --list-records: the scale's Index No."),
                                 QStringLiteral("[INDEX_NO]"));
    parser.addPositionalArgument(QStringLiteral("DAYS"), QStringLiteral("With --due: how many days ahead."), QStringLiteral("[DAYS]"));
}

// The options, read without a display: --help, --version and the record commands work in any terminal.
Request readCommandLine(int argc, char *argv[])
{
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantor_cal"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTOR_VERSION));
    QCommandLineParser parser;
    describe(parser);
    parser.parse(QCoreApplication::arguments()); // the window system's options are QApplication's
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp();
    // The window system's options have one dash; an option of two this program does not know is a
    // mistake the caller must hear of (a script would otherwise wait on a window).
    const QStringList known{QStringLiteral("help"), QStringLiteral("help-all"), QStringLiteral("version"), QStringLiteral("list-records"),
                            QStringLiteral("export-record"), QStringLiteral("pdf"), QStringLiteral("csv"), QStringLiteral("dcc"), QStringLiteral("label"),
                            QStringLiteral("records-server"), QStringLiteral("due"), QStringLiteral("verify"),
                            QStringLiteral("verify-records"), QStringLiteral("key-request"), QStringLiteral("key-new"),
                            QStringLiteral("lab-create"), QStringLiteral("lab-certify"), QStringLiteral("lab-revoke"),
                            QStringLiteral("lab-folder"), QStringLiteral("out")};
    for (const QString &arg : QCoreApplication::arguments().mid(1)) {
        if (arg == QLatin1String("--"))
            break;
        if (arg.startsWith(QLatin1String("--")) && !known.contains(arg.mid(2).section(QLatin1Char('='), 0, 0))) {
            QTextStream(stderr) << QStringLiteral("Unknown option %1.\n").arg(arg.section(QLatin1Char('='), 0, 0)) << parser.helpText();
            Request refused;
            refused.exitCode = 2;
            return refused;
        }
    }
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    Request request;
    const bool serverGiven = parser.isSet(QStringLiteral("records-server"));
    const QString serverText = serverGiven ? parser.value(QStringLiteral("records-server"))
                                           : modCommon::GetString_ofINI(QStringLiteral("Records"), QStringLiteral("Server"), QString());
    if (!serverText.isEmpty()) {
        QString why;
        request.server = records::parseServerAddress(serverText, &why);
        if (!request.server && serverGiven) {
            QTextStream(stderr) << why << '\n';
            request.exitCode = 2;
        } else if (!request.server) {
            request.serverNote = QStringLiteral("The records server in %1 is not used. %2").arg(modCommon::settingsPath(), why);
        }
    }
    request.laboratoryFolder = parser.value(QStringLiteral("lab-folder"));
    const std::pair<const char *, Request::Kind> signingCommands[] = {
        {"verify", Request::Verify},           {"verify-records", Request::VerifyRecords}, {"key-request", Request::KeyRequest},
        {"key-new", Request::KeyNew},          {"lab-create", Request::LabCreate},         {"lab-certify", Request::LabCertify},
        {"lab-revoke", Request::LabRevoke}};
    for (const auto &[option, kind] : signingCommands)
        if (parser.isSet(QLatin1String(option)) && request.kind == Request::Console) {
            request.kind = kind;
            request.argument = parser.value(QLatin1String(option));
            request.outPath = parser.value(QStringLiteral("out"));
        }
    if (request.kind != Request::Console) {
        // a signing command
    } else if (parser.isSet(QStringLiteral("due"))) {
        request.kind = Request::Due;
        request.csvPath = parser.value(QStringLiteral("csv"));
        // DAYS is the word after --due, also where it looks like an option ("-3": the parser would
        // take it for the window system's and list 30 days); else the first positional argument.
        const QStringList args = QCoreApplication::arguments();
        const qsizetype due = args.indexOf(QLatin1String("--due"));
        const QString days = due >= 0 && due + 1 < args.size() && !args[due + 1].startsWith(QLatin1String("--"))
                                 ? args[due + 1]
                                 : parser.positionalArguments().value(0);
        if (!days.isNull()) {
            static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
            request.dueDays = digits.match(days).hasMatch() ? days.toInt() : -1;
            if (request.dueDays < 0 || request.dueDays > 3660) {
                QTextStream(stderr) << QStringLiteral("--due wants a number of days from 0 to 3660, not \"%1\".\n").arg(days);
                request.exitCode = 2;
            }
        }
    } else if (parser.isSet(QStringLiteral("list-records"))) {
        request.kind = Request::List;
        request.indexNo = parser.positionalArguments().value(0);
    } else if (parser.isSet(QStringLiteral("export-record"))) {
        request.kind = Request::Export;
        request.exportId = parser.value(QStringLiteral("export-record"));
        request.pdfPath = parser.value(QStringLiteral("pdf"));
        request.csvPath = parser.value(QStringLiteral("csv"));
        request.dccPath = parser.value(QStringLiteral("dcc"));
        request.labelPath = parser.value(QStringLiteral("label"));
    }
    return request;
}

// A command about signatures and the laboratory.
int runSigningCommand(const Request &request)
{
    QTextStream out(stdout), err(stderr);
    const QString lab = request.laboratoryFolder.isEmpty() ? ConsoleApp::laboratoryFolder()
                                                           : QDir(request.laboratoryFolder).absolutePath();
    const auto fromTerminal = [](const QString &prompt) { return passphraseFromTerminal(prompt); };
    signing::TechnicianSigner signer(ConsoleApp::signerSetup([](const QString &prompt, bool) { return passphraseFromTerminal(prompt); }));
    switch (request.kind) {
    case Request::Verify:
    case Request::VerifyRecords: {
        if (request.kind == Request::Verify && QFileInfo::exists(request.argument))
            return verifyFile(request.argument, lab, out, err);
        records::SqliteStore store(records::SqliteStore::defaultPath(platform::dataDir()));
        std::optional<records::ServerLink> link;
        if (request.server)
            link.emplace(*request.server);
        return request.kind == Request::Verify ? verifyLabelCode(store, link ? &*link : nullptr, request.argument, lab, out, err)
                                               : verifyRecords(store, link ? &*link : nullptr, lab, out, err);
    }
    case Request::KeyRequest: return keyRequest(signer, request.argument, out, err);
    case Request::KeyNew: return keyNew(signer, out, err);
    case Request::LabCreate: return labCreate(lab, request.argument, fromTerminal, out, err);
    case Request::LabCertify: return labCertify(lab, request.argument, request.outPath, fromTerminal, out, err);
    case Request::LabRevoke: return labRevoke(lab, request.argument, fromTerminal, out, err);
    default: return 2;
    }
}

// A record command: from the team's server when one is set, else (or when it does not answer)
// from this computer.
int runRecordCommand(const Request &request)
{
    QTextStream out(stdout), err(stderr);
    records::SqliteStore store(records::SqliteStore::defaultPath(platform::dataDir()));
    std::optional<records::ServerLink> link;
    if (request.server)
        link.emplace(*request.server);
    const signing::Trust trust = signing::readTrust(ConsoleApp::laboratoryFolder());
    const auto check = [&trust](records::LoadedRecord &loaded) { signing::checkSeal(loaded, trust); };
    if (request.kind == Request::List)
        return listRecords(store, link ? &*link : nullptr, request.indexNo, out, err, check);
    if (request.kind == Request::Due)
        return listDue(store, link ? &*link : nullptr, request.dueDays, request.csvPath, QDate::currentDate(), out, err);
    signing::TechnicianSigner signer(ConsoleApp::signerSetup([](const QString &prompt, bool) { return passphraseIfTerminal(prompt); }));
    ExportRequest exported{request.exportId, request.pdfPath, request.csvPath, request.dccPath, request.labelPath,
                           ConsoleApp::paper(), exports::labelSize(), check, {}, {}};
    exported.finishCertificate = [&signer](const records::Record &r, const QString &path, const QDate &due, const QString &by) {
        return exports::finishCertificate(signer, r, path, due, by);
    };
    exported.writeDcc = [&signer](const records::Record &r, const QString &path, const QDate &due, const QString &by, QString *error,
                                  QString *note) { return exports::writeDcc(signer, r, path, due, by, error, note); };
    return exportRecord(store, link ? &*link : nullptr, exported, out, err);
}

} // namespace

int main(int argc, char *argv[])
{
    const Request request = readCommandLine(argc, argv);
    if (request.exitCode >= 0)
        return request.exitCode;
    if (request.kind == Request::List || request.kind == Request::Due) {
        QCoreApplication core(argc, argv);
        return runRecordCommand(request);
    }
    if (request.kind >= Request::Verify) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("vantor_cal"));
        return runSigningCommand(request);
    }
    if (request.kind == Request::Export) {
        // A certificate is laid out with fonts, which take a GUI application: one without a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return runRecordCommand(request);
    }

    platform::preferLightweightGuiBackends();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantor_cal"));
    if (const QString note = leftoversNote(); !note.isEmpty())
        modCommon::Save_ErrorLog(modCommon::errorLine("dataDir", 0, note), true);
    platform::installFontSubstitutions();
    app.setFont(platform::vbFont(QStringLiteral("MS Sans Serif"), 8.25, false));
    ConsoleApp console({records::SqliteStore::defaultPath(platform::dataDir()), request.server, request.serverNote});
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &console, &ConsoleApp::finish);
    console.start();
    return app.exec();
}
