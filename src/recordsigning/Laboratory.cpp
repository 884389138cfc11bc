#include "Laboratory.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <openssl/x509.h>

namespace signing {
namespace {

constexpr int kAuthorityDays = 20 * 366;

QString path(const QString &folder, const char *name)
{
    return QDir(folder).filePath(QLatin1String(name));
}

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString write(const QString &file, const QByteArray &data, bool secret = false)
{
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        return QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(file), f.errorString());
    if (secret)
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    return {};
}

// The laboratory's certificate and its private key, opened with the office's passphrase.
QString openAuthority(const QString &folder, const QByteArray &passphrase, Trust *trust, Key *key)
{
    *trust = readTrust(folder);
    if (!trust->laboratory)
        return QStringLiteral("No laboratory is set up in %1 (vantor_cal --lab-create NAME).").arg(QDir::toNativeSeparators(folder));
    const QByteArray pem = readAll(path(folder, "laboratory-key.pem"));
    if (pem.isEmpty())
        return QStringLiteral("The laboratory's private key is not in %1: certify and revoke on the office's computer.")
            .arg(QDir::toNativeSeparators(folder));
    *key = readPrivateKey(pem, passphrase);
    const Key certified = publicKeyOf(trust->laboratory.get());
    if (!*key || keyId(key->get()) != keyId(certified.get()))
        return QStringLiteral("The passphrase does not open the laboratory's private key.");
    return {};
}

QString saveRevocations(const QString &folder, const Trust &trust, EVP_PKEY *key)
{
    const Crl crl = newCrl(trust.laboratory.get(), key, trust.revoked);
    if (!crl)
        return QStringLiteral("The list of revoked certificates could not be signed: %1").arg(lastError());
    return write(path(folder, "laboratory.crl"), crlPem(crl.get()));
}

} // namespace

X509 *Trust::issuedFor(const QString &id) const
{
    X509 *found = nullptr;
    for (size_t i = 0; i < issued.size(); ++i)
        if (issuedKeys.value(qsizetype(i)) == id && (!found || notBefore(issued[i].get()) >= notBefore(found)))
            found = issued[i].get();
    return found;
}

QDateTime Trust::revokedAt(X509 *certificate) const
{
    const qint64 serial = serialOf(certificate);
    for (const Revocation &r : revoked)
        if (r.serial == serial)
            return r.at;
    return {};
}

Trust readTrust(const QString &folder)
{
    Trust trust;
    std::vector<Certificate> lab = readCertificates(readAll(path(folder, "laboratory.pem")));
    if (lab.empty())
        return trust;
    trust.laboratory = std::move(lab.front());
    if (!issuedBy(trust.laboratory.get(), trust.laboratory.get()))
        trust.problem = QStringLiteral("laboratory.pem is not a laboratory's own certificate");
    for (Certificate &c : readCertificates(readAll(path(folder, "laboratory-issued.pem")))) {
        if (issuedBy(c.get(), trust.laboratory.get())) {
            trust.issuedKeys << keyId(publicKeyOf(c.get()).get());
            trust.issued.push_back(std::move(c));
        }
        else
            trust.problem = QStringLiteral("laboratory-issued.pem holds a certificate the laboratory did not issue");
    }
    const QByteArray list = readAll(path(folder, "laboratory.crl"));
    const Crl crl = readCrl(list);
    trust.revoked = revocations(crl.get(), trust.laboratory.get());
    if (!list.isEmpty() && (!crl || (trust.revoked.isEmpty() && !readCrl(list))))
        trust.problem = QStringLiteral("laboratory.crl cannot be read");
    return trust;
}

QString createLaboratory(const QString &folder, const QString &name, const QByteArray &passphrase)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Give the laboratory's name.");
    if (passphrase.size() < 8)
        return QStringLiteral("The laboratory's passphrase needs at least 8 characters.");
    if (QFile::exists(path(folder, "laboratory.pem")))
        return QStringLiteral("A laboratory is set up in %1 already.").arg(QDir::toNativeSeparators(folder));
    QDir().mkpath(folder);
    const Key key = newKey();
    const Certificate authority = newCertificate(key.get(), {name.trimmed(), name.trimmed()}, nullptr, key.get(), 1, kAuthorityDays, true);
    if (!authority)
        return QStringLiteral("The laboratory's certificate could not be made: %1").arg(lastError());
    Trust trust;
    trust.laboratory.reset(X509_dup(authority.get()));
    for (const QString &why : {write(path(folder, "laboratory-key.pem"), privateKeyPem(key.get(), passphrase), true),
                               write(path(folder, "laboratory.pem"), certificatePem(authority.get())),
                               write(path(folder, "laboratory-issued.pem"), {}), saveRevocations(folder, trust, key.get())})
        if (!why.isEmpty())
            return why;
    return {};
}

QString certify(const QString &folder, const QByteArray &passphrase, const QByteArray &request, int days, QByteArray *certificate)
{
    Trust trust;
    Key key;
    if (const QString why = openAuthority(folder, passphrase, &trust, &key); !why.isEmpty())
        return why;
    const Request asked = readRequest(request);
    const Key technician = requestKey(asked.get());
    const Name name = requestName(asked.get());
    if (!technician || name.person.trimmed().isEmpty())
        return QStringLiteral("This is not a technician's request (vantor_cal --key-request FILE makes one), or it was changed.");
    qint64 serial = 1;
    for (const Certificate &c : trust.issued)
        serial = qMax(serial, serialOf(c.get()));
    const Certificate issued = newCertificate(technician.get(), {name.person, nameOf(trust.laboratory.get()).organisation},
                                              trust.laboratory.get(), key.get(), serial + 1, days, false);
    if (!issued)
        return QStringLiteral("The certificate could not be made: %1").arg(lastError());
    *certificate = certificatePem(issued.get());
    return write(path(folder, "laboratory-issued.pem"), readAll(path(folder, "laboratory-issued.pem")) + *certificate);
}

QString revoke(const QString &folder, const QByteArray &passphrase, const QString &technicianOrKey, const QDateTime &at,
               QString *revoked)
{
    Trust trust;
    Key key;
    if (const QString why = openAuthority(folder, passphrase, &trust, &key); !why.isEmpty())
        return why;
    QStringList named;
    for (const Certificate &c : trust.issued) {
        const QString id = keyId(publicKeyOf(c.get()).get());
        if (nameOf(c.get()).person != technicianOrKey && id != technicianOrKey.toLower())
            continue;
        if (!trust.revokedAt(c.get()).isValid())
            trust.revoked.append({serialOf(c.get()), at.toUTC()});
        named << QStringLiteral("%1 (serial %2, key %3)").arg(nameOf(c.get()).person).arg(serialOf(c.get())).arg(id.left(16));
    }
    if (named.isEmpty())
        return QStringLiteral("The laboratory issued no certificate to \"%1\".").arg(technicianOrKey);
    *revoked = named.join(QStringLiteral(", "));
    return saveRevocations(folder, trust, key.get());
}

} // namespace signing
