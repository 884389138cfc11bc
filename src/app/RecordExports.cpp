#include "RecordExports.h"

#include "PdfSignature.h"
#include "modCommon.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

using records::Record;

namespace exports {
namespace {

constexpr const char *kDccNamespace = "https://ptb.de/dcc";

QString setting(const char *section, const char *key)
{
    return modCommon::GetString_ofINI(QLatin1String(section), QLatin1String(key), QString()).trimmed();
}

QString unsignedNote(const Record &r, const QString &what)
{
    return QStringLiteral("%1 of record %2 was written but not signed: the record was signed with a key this computer does "
                          "not hold, and only that key signs it.")
        .arg(what, records::recordNumber(r));
}

// The DCC, signed where this computer holds the record's key; *note: why it is not.
QByteArray dccFor(signing::TechnicianSigner &signer, const Record &r, const QDate &nextDue, const QString &signedBy, QString *error,
                  QString *note)
{
    QByteArray xml = records::dccOf(r, dccOptions(nextDue, signedBy), error);
    if (xml.isEmpty() || r.format < 4)
        return xml;
    if (!holdsKeyOf(signer, r))
        *note = unsignedNote(r, QStringLiteral("The DCC"));
    else if (const QString why = signer.signXml(&xml, kDccNamespace, "comment"); !why.isEmpty())
        *note = QStringLiteral("The DCC of record %1 was written but not signed: %2").arg(records::recordNumber(r), why);
    return xml;
}

} // namespace

records::DccOptions dccOptions(const QDate &nextDue, const QString &signedBy)
{
    records::DccOptions o;
    o.release = QCoreApplication::applicationVersion();
    static const QRegularExpression twoLetters(QStringLiteral("^[A-Z]{2}$"));
    const QString country = setting("Provider", "Country").toUpper();
    const QString locale = QLocale::territoryToCode(QLocale().territory());
    o.country = twoLetters.match(country).hasMatch() ? country : twoLetters.match(locale).hasMatch() ? locale : QStringLiteral("ZZ");
    o.laboratoryEmail = setting("Provider", "Email");
    o.nextDue = nextDue;
    o.signedBy = signedBy;
    return o;
}

records::LabelSize labelSize()
{
    return records::labelSizeFromName(setting("Label", "Size"));
}

bool holdsKeyOf(signing::TechnicianSigner &signer, const Record &r)
{
    return r.chain && r.chain->key == signer.publicKeyId();
}

QString finishCertificate(signing::TechnicianSigner &signer, const Record &r, const QString &path, const QDate &nextDue,
                          const QString &signedBy)
{
    QString error, note;
    const QByteArray dcc = dccFor(signer, r, nextDue, signedBy, &error, &note);
    QList<signing::Attachment> attached;
    if (!dcc.isEmpty())
        attached.append({QStringLiteral("dcc-%1.xml").arg(records::recordNumber(r)), dcc});
    if (r.format >= 4 && holdsKeyOf(signer, r)) {
        if (const QString why = signer.signPdf(path, QStringLiteral("Calibration certificate %1").arg(records::recordNumber(r)), attached);
            !why.isEmpty())
            return QStringLiteral("The certificate was written but not signed: %1").arg(why);
        return note;
    }
    if (const QString why = signing::attachToPdf(path, attached); !why.isEmpty())
        return QStringLiteral("The certificate was written without its DCC: %1").arg(why);
    return r.format >= 4 ? unsignedNote(r, QStringLiteral("The certificate")) : QString();
}

bool writeDcc(signing::TechnicianSigner &signer, const Record &r, const QString &path, const QDate &nextDue, const QString &signedBy,
              QString *error, QString *note)
{
    const QByteArray xml = dccFor(signer, r, nextDue, signedBy, error, note);
    return !xml.isEmpty() && records::writeDccFile(xml, path, error);
}

} // namespace exports
