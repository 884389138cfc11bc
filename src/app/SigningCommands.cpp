#include "SigningCommands.h"

#include "Label.h"
#include "Laboratory.h"
#include "Parallel.h"
#include "PdfSignature.h"
#include "RecordCheck.h"
#include "ServerLink.h"
#include "SqliteStore.h"
#include "TechnicianSigner.h"
#include "XmlSignature.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

using records::LoadedRecord;
using records::Record;

namespace {

constexpr qint64 kLargestFile = 64 * 1024 * 1024; // a certificate or an exported record is far smaller
constexpr int kCertificateDays = 2 * 365;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A record exported as JSON: its contents, its SHA-256 and its signature beside them.
std::optional<LoadedRecord> exportedRecord(const QJsonObject &o)
{
    const auto record = Record::fromJson(o);
    if (!record)
        return std::nullopt;
    LoadedRecord loaded{*record, record->closed() && record->computeSha256() == o.value(QStringLiteral("sha256")).toString()};
    loaded.record.sha256 = o.value(QStringLiteral("sha256")).toString();
    loaded.record.seal = {QByteArray::fromBase64(o.value(QStringLiteral("signature")).toString().toLatin1()),
                          o.value(QStringLiteral("certificates")).toString().toUtf8()};
    return loaded;
}

int verifyPdf(const QString &path, const signing::Trust &trust, QTextStream &out)
{
    const signing::PdfCheck check = signing::checkPdf(path);
    const auto problem = [&](const QString &why) {
        out << native(path) << ": " << why << '\n';
        return 1;
    };
    if (!check.problem.isEmpty())
        return problem(check.problem);
    if (!check.signedAtAll)
        return problem(QStringLiteral("not signed."));
    if (!check.holds)
        return problem(QStringLiteral("the signature does not hold: the file was changed after it was signed."));
    if (!check.wholeDocument)
        return problem(QStringLiteral("the signature covers only part of the file: something was added after it was signed."));
    const signing::Standing standing =
        signing::standingOf(check.signer.get(), check.chain.empty() ? nullptr : check.chain.front().get(), trust,
                            check.signedAt.isValid() ? check.signedAt : QDateTime::currentDateTimeUtc());
    if (standing.kind != LoadedRecord::Certified)
        return problem(QStringLiteral("the signature holds over the whole file, but it is %1.").arg(standing.text));
    out << native(path) << ": the signature holds over the whole file; " << standing.text
        << (check.signedAt.isValid() ? QStringLiteral(", on %1").arg(check.signedAt.toString(Qt::ISODate)) : QString()) << ".\n";
    return 0;
}

int verifyDcc(const QString &path, const QByteArray &xml, const signing::Trust &trust, QTextStream &out)
{
    const signing::XmlCheck check = signing::checkXml(xml);
    const auto problem = [&](const QString &why) {
        out << native(path) << ": " << why << '\n';
        return 1;
    };
    if (!check.problem.isEmpty())
        return problem(check.problem + QLatin1Char('.'));
    if (!check.signedAtAll)
        return problem(QStringLiteral("the DCC is not signed."));
    if (!check.holds)
        return problem(QStringLiteral("the DCC's signature does not hold: it was changed after it was signed."));
    // The signature carries no time of its own: the revocation is judged at the end of the calibration.
    static const QRegularExpression ended(QStringLiteral("<dcc:endPerformanceDate>([0-9]{4}-[0-9]{2}-[0-9]{2})<"));
    const QDate end = QDate::fromString(ended.match(QString::fromUtf8(xml)).captured(1), Qt::ISODate);
    const signing::Standing standing = signing::standingOf(check.signer.get(), check.chain.empty() ? nullptr : check.chain.front().get(),
                                                           trust, end.isValid() ? end.startOfDay(Qt::UTC) : QDateTime::currentDateTimeUtc());
    if (standing.kind != LoadedRecord::Certified)
        return problem(QStringLiteral("the DCC's signature holds, but it is %1.").arg(standing.text));
    out << native(path) << ": the DCC's signature holds over the whole document; " << standing.text << ".\n";
    return 0;
}

int verifyExport(const QString &path, const QJsonObject &o, const signing::Trust &trust, QTextStream &out)
{
    std::optional<LoadedRecord> loaded = exportedRecord(o);
    if (!loaded) {
        out << native(path) << ": not a record this console can read.\n";
        return 1;
    }
    const QString number = records::recordNumber(loaded->record);
    if (!loaded->record.closed()) {
        out << native(path) << QStringLiteral(": record %1 is open: only a closed record is sealed and signed.\n").arg(number);
        return 1;
    }
    if (!loaded->intact) {
        out << native(path) << QStringLiteral(": record %1 was changed after it was closed: its contents do not match its SHA-256.\n").arg(number);
        return 1;
    }
    signing::checkSeal(*loaded, trust);
    out << native(path) << QStringLiteral(": record %1 is %2.\n")
                               .arg(number, loaded->signedBy == LoadedRecord::Refused ? QStringLiteral("refused: ") + loaded->sealNote
                                                                                       : loaded->sealNote);
    return loaded->signedBy == LoadedRecord::Certified || loaded->signedBy == LoadedRecord::Unsigned ? 0 : 1;
}

} // namespace

QByteArray passphraseFromTerminal(const QString &prompt)
{
    std::string line;
#ifdef Q_OS_WIN
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode) != 0;
    if (console) {
        std::fprintf(stderr, "%s ", prompt.toLocal8Bit().constData());
        SetConsoleMode(in, mode & ~DWORD(ENABLE_ECHO_INPUT));
    }
    std::getline(std::cin, line);
    if (console) {
        SetConsoleMode(in, mode);
        std::fprintf(stderr, "\n");
    }
#else
    termios before{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        std::fprintf(stderr, "%s ", prompt.toLocal8Bit().constData());
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        std::fprintf(stderr, "\n");
    }
#endif
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    QByteArray passphrase = QByteArray::fromStdString(line);
    std::fill(line.begin(), line.end(), '\0');
    return passphrase;
}

QByteArray passphraseIfTerminal(const QString &prompt)
{
#ifdef Q_OS_WIN
    DWORD mode = 0;
    const bool terminal = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
    const bool terminal = isatty(STDIN_FILENO);
#endif
    return terminal ? passphraseFromTerminal(prompt) : QByteArray();
}

int verifyFile(const QString &path, const QString &laboratoryFolder, QTextStream &out, QTextStream &err)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kLargestFile) {
        err << QStringLiteral("%1 cannot be read%2\n").arg(native(path), f.size() > kLargestFile ? QStringLiteral(": it is too large") : QStringLiteral(": ") + f.errorString());
        return 1;
    }
    const QByteArray head = f.peek(5);
    const signing::Trust trust = signing::readTrust(laboratoryFolder);
    if (!trust.problem.isEmpty())
        err << QStringLiteral("The laboratory's files in %1: %2.\n").arg(native(laboratoryFolder), trust.problem);
    if (head.startsWith("%PDF-"))
        return verifyPdf(path, trust, out);
    const QByteArray contents = f.readAll();
    if (contents.trimmed().startsWith("<"))
        return verifyDcc(path, contents, trust, out);
    const QJsonObject o = QJsonDocument::fromJson(contents).object();
    if (o.contains(QStringLiteral("uuid")) && o.contains(QStringLiteral("format")))
        return verifyExport(path, o, trust, out);
    out << native(path) << ": neither a certificate PDF, a DCC nor an exported record.\n";
    return 1;
}

int verifyLabelCode(records::SqliteStore &local, records::ServerLink *server, const QString &text, const QString &laboratoryFolder,
                    QTextStream &out, QTextStream &err)
{
    const auto code = records::parseLabelCode(text);
    if (!code) {
        err << QStringLiteral("\"%1\" is neither a file nor the code of a label.\n").arg(text);
        return 2;
    }
    std::optional<LoadedRecord> loaded;
    try {
        loaded = server ? server->load(code->number) : local.load(code->number);
    } catch (const records::StoreError &e) {
        err << e.message << '\n';
        return 1;
    }
    if (!loaded) {
        out << QStringLiteral("The label names record %1, which is not among the records.\n").arg(code->number);
        return 1;
    }
    signing::checkSeal(*loaded, signing::readTrust(laboratoryFolder));
    if (loaded->record.sha256 != code->sha256) {
        out << QStringLiteral("The label does not match record %1: its digest is not the record's.\n").arg(code->number);
        return 1;
    }
    if (!loaded->intact) {
        out << QStringLiteral("The label matches record %1, but the record is refused: %2.\n").arg(code->number, loaded->sealNote);
        return 1;
    }
    out << QStringLiteral("The label matches record %1 (%2): %3.\n").arg(code->number, verdictName(loaded->record.verdict), loaded->sealNote);
    return loaded->signedBy == LoadedRecord::Certified || loaded->signedBy == LoadedRecord::Unsigned ? 0 : 1;
}

int verifyRecords(records::SqliteStore &local, records::ServerLink *server, const QString &laboratoryFolder, QTextStream &out,
                  QTextStream &err)
{
    QStringList problems;
    QList<LoadedRecord> all;
    try {
        all = server ? server->closedRecords(&problems) : local.closedRecords(&problems);
    } catch (const records::StoreError &e) {
        err << e.message << '\n';
        return 1;
    }
    const signing::Trust trust = signing::readTrust(laboratoryFolder);
    if (!trust.problem.isEmpty())
        problems << QStringLiteral("The laboratory's files in %1: %2.").arg(native(laboratoryFolder), trust.problem);
    std::vector<signing::SealChecker> checkers(4, signing::SealChecker(trust)); // one a thread
    LoadedRecord *each = all.data(); // the list's own, before the threads share it
    records::inParallel(int(all.size()), [&](int i, int thread) { checkers[size_t(thread)].check(each[i]); });
    int counts[LoadedRecord::Refused + 1] = {};
    QList<Record> chained;
    for (LoadedRecord &loaded : all) {
        const QString number = records::recordNumber(loaded.record);
        if (!loaded.intact && loaded.signedBy != LoadedRecord::Refused) {
            ++counts[LoadedRecord::Refused];
            problems << QStringLiteral("%1: changed after it was closed: its contents do not match its SHA-256.").arg(number);
            continue;
        }
        ++counts[loaded.signedBy];
        if (loaded.signedBy == LoadedRecord::Refused)
            problems << QStringLiteral("%1: refused: %2.").arg(number, loaded.sealNote);
        else if (loaded.signedBy == LoadedRecord::NotCertified || loaded.signedBy == LoadedRecord::Foreign)
            problems << QStringLiteral("%1: %2.").arg(number, loaded.sealNote);
        chained << loaded.record;
    }
    problems << signing::chainProblems(chained);
    for (const QString &p : std::as_const(problems))
        out << p << '\n';
    out << QStringLiteral("%1 closed record(s) of %2: %3 certified by the laboratory, %4 not certified, %5 of another laboratory, "
                          "%6 refused, %7 not signed (version 1.4 or earlier); %8 problem(s).\n")
               .arg(all.size())
               .arg(server ? server->name() : native(local.location()))
               .arg(counts[LoadedRecord::Certified])
               .arg(counts[LoadedRecord::NotCertified])
               .arg(counts[LoadedRecord::Foreign])
               .arg(counts[LoadedRecord::Refused])
               .arg(counts[LoadedRecord::Unsigned])
               .arg(problems.size());
    return problems.isEmpty() ? 0 : 1;
}

int keyRequest(signing::TechnicianSigner &signer, const QString &path, QTextStream &out, QTextStream &err)
{
    QByteArray request;
    try {
        request = signer.request();
    } catch (const records::SigningError &e) {
        err << e.message << '\n';
        return 1;
    }
    QSaveFile f(path);
    if (request.isEmpty() || !f.open(QIODevice::WriteOnly) || f.write(request) != request.size() || !f.commit()) {
        err << QStringLiteral("%1 cannot be written: %2\n").arg(native(path), f.errorString());
        return 1;
    }
    out << QStringLiteral("The request for your key (kept in %1) is in %2: give it to the office, which certifies it with "
                          "vantor_cal --lab-certify.\n")
               .arg(signer.keptIn(), native(path));
    return 0;
}

int keyNew(signing::TechnicianSigner &signer, QTextStream &out, QTextStream &err)
{
    if (const QString why = signer.forget(); !why.isEmpty()) {
        err << why << '\n';
        return 1;
    }
    out << "The signing key of this computer is forgotten; the next record closed makes a new one. Have it certified "
           "(vantor_cal --key-request FILE).\n";
    return 0;
}

int labCreate(const QString &folder, const QString &name, const PassphraseReader &passphrase, QTextStream &out, QTextStream &err)
{
    const QByteArray secret = passphrase(QStringLiteral("Choose the laboratory's passphrase (8 characters or more):"));
    if (const QString why = signing::createLaboratory(folder, name, secret); !why.isEmpty()) {
        err << why << '\n';
        return 1;
    }
    out << QStringLiteral("Laboratory %1 set up in %2. Every console needs laboratory.pem, laboratory-issued.pem and "
                          "laboratory.crl there ([Laboratory] Folder); laboratory-key.pem stays with the office.\n")
               .arg(name, native(folder));
    return 0;
}

int labCertify(const QString &folder, const QString &requestPath, const QString &outPath, const PassphraseReader &passphrase,
               QTextStream &out, QTextStream &err)
{
    QFile f(requestPath);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kLargestFile) {
        err << QStringLiteral("%1 cannot be read: %2\n").arg(native(requestPath), f.errorString());
        return 1;
    }
    QByteArray certificate;
    if (const QString why = signing::certify(folder, passphrase(QStringLiteral("The laboratory's passphrase:")), f.readAll(),
                                             kCertificateDays, &certificate);
        !why.isEmpty()) {
        err << why << '\n';
        return 1;
    }
    if (!outPath.isEmpty()) {
        QSaveFile written(outPath);
        if (!written.open(QIODevice::WriteOnly) || written.write(certificate) != certificate.size() || !written.commit()) {
            err << QStringLiteral("%1 cannot be written: %2\n").arg(native(outPath), written.errorString());
            return 1;
        }
    }
    const std::vector<signing::Certificate> issued = signing::readCertificates(certificate);
    out << QStringLiteral("Certified: %1, until %2; added to %3.\n")
               .arg(signing::nameOf(issued.front().get()).person, signing::notAfter(issued.front().get()).toString(Qt::ISODate),
                    native(QDir(folder).filePath(QStringLiteral("laboratory-issued.pem"))));
    return 0;
}

int labRevoke(const QString &folder, const QString &technicianOrKey, const PassphraseReader &passphrase, QTextStream &out,
              QTextStream &err)
{
    QString revoked;
    if (const QString why = signing::revoke(folder, passphrase(QStringLiteral("The laboratory's passphrase:")), technicianOrKey,
                                            QDateTime::currentDateTimeUtc(), &revoked);
        !why.isEmpty()) {
        err << why << '\n';
        return 1;
    }
    out << QStringLiteral("Revoked from now on: %1. Records they signed before stay valid; give every console the new "
                          "laboratory.crl.\n")
               .arg(revoked);
    return 0;
}
