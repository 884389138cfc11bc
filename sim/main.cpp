// vantor_sim: a virtual scale at the other end of a serial line. See --help.
#include "Line.h"
#include "ScaleModel.h"
#include "VirtualScale.h"

#include "Program.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <cmath>
#include <csignal>
#include <iostream>
#include <string>
#include <thread>
#include <chrono>
#include <functional>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

const char *kCommands =
    "Commands on standard input:\n"
    "  load <kg> [position] put a load on the platter (0 takes it off); positions: centre (the\n"
    "                       default), fl, rl, rr, fr (front/rear left/right), s1 to s16\n"
    "  mode auto|manual     change the calibration mode at the device's keys (sends BA)\n"
    "  rate <n>             live weight reports per second while logged in (0: none)\n"
    "  script <file>        play a script: lines 'at <seconds> <command>', seconds from the\n"
    "                       first login (or from now when logged in already)\n"
    "  unplug | plug        pull the cable / put it back\n"
    "  quit                 end (the COM<n> link is removed)\n";

#ifndef Q_OS_WIN
int g_signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}
#endif

// Reads standard input on a thread of its own and hands each line to the main thread.
void readCommands(QObject *receiver, std::function<void(const QString &)> handle)
{
    std::thread([receiver, handle] {
        std::string line;
        while (std::getline(std::cin, line))
            QMetaObject::invokeMethod(receiver, [handle, l = QString::fromStdString(line)] { handle(l); },
                                      Qt::QueuedConnection);
    }).detach();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantor_sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A virtual scale for the Vantor service console. By default it creates a\n"
                       "pseudo-terminal and links it as COM<port> in the console's program folder, so\n"
                       "a console started there finds it on that port.\n\n")
        + QString::fromLatin1(kCommands));
    parser.addHelpOption();
    const QCommandLineOption portOpt("port", "Port number n of the link COM<n> (default 1).", "n", "1");
    const QCommandLineOption dirOpt("dir", "Folder for the link (default: the console's folder for settings and links).", "folder");
    const QCommandLineOption deviceOpt("device", "Open this serial device or port name at 38400 8N1 instead of creating a pseudo-terminal.", "name");
    const QCommandLineOption rateOpt("rate", "Live weight reports per second while logged in (default 5, 0: none).", "n", "5");
    const QCommandLineOption serialOpt("serial", "User serial number, 11 characters (default 00000000000).", "digits");
    const QCommandLineOption pass1Opt("password1", "Password of user 1, 4 characters (default 0000).", "digits");
    const QCommandLineOption pass2Opt("password2", "Password of user 2, 4 characters (default 0000).", "digits");
    const QCommandLineOption loadOpt("load", "Load on the platter at start, in kg (default 0).", "kg", "0");
    const QCommandLineOption stateOpt("state", "File that keeps the device's settings between runs (JSON).", "file");
    const QCommandLineOption noReplyOpt("no-reply", "Never answer these codes, comma separated (AC, or BG09 for one sub-command).", "codes");
    const QCommandLineOption delayOpt("delay", "Wait this long before each reply (default 0).", "ms", "0");
    const QCommandLineOption badOpt("bad-checksum", "Share of frames sent with a wrong checksum (default 0).", "percent", "0");
    const QCommandLineOption noiseOpt("noise", "Share of frames preceded by 1-8 noise bytes (default 0).", "percent", "0");
    const QCommandLineOption seedOpt("seed", "Seed for the noise and the fault choices, for reproducible runs.", "n", "1");
    const QCommandLineOption quietOpt("quiet", "No trace of the frames.");
    const QCommandLineOption settleOpt("settle-ms", "A new load settles over this time instead of jumping (default 300).", "ms", "300");
    const QCommandLineOption capacityOpt("capacity", "The platform's capacity in kg (default 150).", "kg", "150");
    const QCommandLineOption linearityOpt("linearity", "Linearity error at capacity, growing with the square of the load; a two-point calibration cannot remove it (default 0).", "kg", "0");
    const QCommandLineOption scriptOpt("script", "Play the technician: the commands of FILE at their times, lines 'at SECONDS load KG [POSITION]' "
                                         "(any command above; # begins a comment), SECONDS from the first login.", "file");
    const QCommandLineOption calibratedOpt("calibrated", "Start calibrated: 50 kg shows 50.00 kg (by default the factory span is a little off: 51.02 kg).");
    const QCommandLineOption eccentricityOpt("eccentricity", "Errors of a third of the capacity placed off the centre, e.g. fl=0.03,rr=-0.02.", "position=kg,...");
    parser.addOptions({portOpt, dirOpt, deviceOpt, rateOpt, serialOpt, pass1Opt, pass2Opt, loadOpt, stateOpt,
                       noReplyOpt, delayOpt, badOpt, noiseOpt, seedOpt, quietOpt, settleOpt, capacityOpt,
                       linearityOpt, eccentricityOpt, calibratedOpt, scriptOpt});
    parser.process(app);

    // An option's number from low to high (a whole one where `whole`), else a word and the end.
    auto decimal = [&](const QCommandLineOption &o, double low, double high, bool whole = false) {
        bool ok = false;
        const double v = parser.value(o).toDouble(&ok);
        if (!ok || v < low || v > high || (whole && v != std::floor(v))) {
            std::cerr << "vantor_sim: --" << o.names().first().toStdString() << " wants a" << (whole ? " whole" : "")
                      << " number from " << low << " to " << high << "\n";
            std::exit(2);
        }
        return v;
    };
    auto number = [&](const QCommandLineOption &o, int low, int high) { return int(decimal(o, low, high, true)); };

    sim::DeviceSettings settings;
    const QString statePath = parser.value(stateOpt);
    if (!statePath.isEmpty()) {
        QFile f(statePath);
        if (f.open(QIODevice::ReadOnly))
            settings = sim::DeviceSettings::fromJson(QJsonDocument::fromJson(f.readAll()).object());
    }
    auto fixedText = [&](const QCommandLineOption &o, int length, QString *into) {
        if (!parser.isSet(o))
            return;
        const QString v = parser.value(o);
        if (v.size() != length) {
            std::cerr << "vantor_sim: --" << o.names().first().toStdString() << " wants " << length << " characters\n";
            std::exit(2);
        }
        *into = v;
    };
    if (parser.isSet(calibratedOpt)) {
        settings.zeroCounts = sim::ScaleModel::kOffsetCounts;
        settings.spanCounts = sim::ScaleModel::kGainCounts;
        settings.trimKg = 0;
    }
    fixedText(serialOpt, 11, &settings.serial);
    fixedText(pass1Opt, 4, &settings.password1);
    fixedText(pass2Opt, 4, &settings.password2);

    sim::Faults faults;
    for (const QString &code : parser.value(noReplyOpt).split(',', Qt::SkipEmptyParts))
        faults.noReply.insert(code.trimmed().toLatin1());
    faults.delayMs = number(delayOpt, 0, 60000);
    faults.badChecksumPercent = number(badOpt, 0, 100);
    faults.noisePercent = number(noiseOpt, 0, 100);
    const quint32 seed = quint32(number(seedOpt, 0, INT_MAX));

    sim::Imperfections imperfections;
    imperfections.settleMs = number(settleOpt, 0, 60000);
    imperfections.capacityKg = decimal(capacityOpt, 1, 999);
    imperfections.linearityKg = decimal(linearityOpt, -100, 100);
    for (const QString &item : parser.value(eccentricityOpt).split(',', Qt::SkipEmptyParts)) {
        const QString position = item.section('=', 0, 0).trimmed().toLower();
        bool ok = false;
        const double kg = item.section('=', 1).toDouble(&ok);
        if (!sim::ScaleModel::isPosition(position) || !ok) {
            std::cerr << "vantor_sim: --eccentricity wants position=kg items (positions fl, rl, rr, fr, s1 to s16)\n";
            return 2;
        }
        imperfections.eccentricityKg.insert(position, kg);
    }

    std::unique_ptr<sim::Line> line;
    if (parser.isSet(deviceOpt)) {
        line = sim::makeSerialLine(parser.value(deviceOpt));
    } else {
        const QString dir = parser.isSet(dirOpt) ? parser.value(dirOpt) : platform::dataDir();
        line = sim::makePtyLine(dir, number(portOpt, 1, 255));
        if (!line) {
            std::cerr << "vantor_sim: no pseudo-terminals here; use --device with one end of a virtual port pair\n";
            return 2;
        }
    }
    QString error;
    if (!line->plug(&error)) {
        std::cerr << "vantor_sim: " << error.toStdString() << "\n";
        return 1;
    }

    QTextStream out(stdout);
    sim::ScaleModel model(seed, settings, imperfections);
    bool ok = false;
    model.setLoadKg(parser.value(loadOpt).toDouble(&ok));
    sim::VirtualScale scale(model, *line, faults, seed, statePath, parser.isSet(quietOpt) ? nullptr : &out);
    scale.setReportRate(number(rateOpt, 0, 1000));
    scale.saveState();
    out << "ready " << line->description() << Qt::endl;

#ifndef Q_OS_WIN
    // Ctrl+C and kill end the program normally, so the link is removed.
    if (::pipe(g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
#endif

    std::function<void(const QString &)> command;
    // A script: each line's command at its time, counted from the first login.
    const auto play = [&](const QString &path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            out << "cannot read the script " << path << Qt::endl;
            return false;
        }
        QList<std::pair<qint64, QString>> steps;
        int lineNo = 0;
        for (const QByteArray &raw : file.readAll().split('\n')) {
            ++lineNo;
            const QString line = QString::fromUtf8(raw).section(u'#', 0, 0).simplified();
            if (line.isEmpty())
                continue;
            bool ok = false;
            const double seconds = line.section(u' ', 1, 1).toDouble(&ok);
            if (!line.startsWith(QLatin1String("at ")) || !ok || seconds < 0 || line.section(u' ', 2).isEmpty()) {
                out << path << ":" << lineNo << ": wants 'at SECONDS COMMAND'" << Qt::endl;
                return false;
            }
            steps.append({qint64(seconds * 1000), line.section(u' ', 2)});
        }
        const auto start = [&app, steps, &command] {
            for (const auto &[ms, step] : steps)
                QTimer::singleShot(std::chrono::milliseconds(ms), &app, [&command, step] { command(step); });
        };
        if (model.loggedIn())
            start();
        else
            QObject::connect(&scale, &sim::VirtualScale::firstLogin, &app, start, Qt::SingleShotConnection);
        return true;
    };
    command = [&](const QString &text) {
        const QStringList words = text.simplified().split(' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            return;
        const QString cmd = words[0].toLower();
        const QString arg = words.value(1).toLower();
        bool numberOk = false;
        const QString position = words.value(2, QStringLiteral("centre")).toLower();
        if (cmd == "load" && (arg.toDouble(&numberOk), numberOk) && sim::ScaleModel::isPosition(position)) {
            scale.setLoadKg(arg.toDouble(), position);
        } else if (cmd == "mode" && (arg == "auto" || arg == "manual")) {
            scale.changeModeAtKeys(arg == "auto");
        } else if (cmd == "rate" && (arg.toInt(&numberOk), numberOk)) {
            scale.setReportRate(arg.toInt());
        } else if (cmd == "unplug") {
            line->unplug();
        } else if (cmd == "plug") {
            QString why;
            if (!line->plug(&why))
                out << "cannot plug: " << why << Qt::endl;
        } else if (cmd == "script" && !arg.isEmpty()) {
            if (!play(words.value(1)))
                return;
        } else if (cmd == "quit" || cmd == "exit") {
            QCoreApplication::quit();
            return;
        } else {
            out << kCommands;
            return;
        }
        out << "ok " << text.trimmed() << Qt::endl;
    };
    readCommands(&app, command);
    if (parser.isSet(scriptOpt) && !play(parser.value(scriptOpt)))
        return 2;

    const int status = app.exec();
    out << "sent " << scale.framesSent() << " frames, " << scale.reportsSent() << " weight reports" << Qt::endl;
    return status;
}
