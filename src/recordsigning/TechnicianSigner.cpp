#include "TechnicianSigner.h"

#include "XmlSignature.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <qt6keychain/keychain.h>

#include <openssl/x509.h>

using records::SigningError;

namespace signing {
namespace {

const QString kService = QStringLiteral("vantor_cal");
constexpr int kOwnCertificateDays = 10 * 366;

// Runs a key store job to its end (the store may ask the user to unlock it meanwhile).
void run(QKeychain::Job &job)
{
    bool done = false;
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    job.setAutoDelete(false);
    job.start();
    if (!done)
        loop.exec();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data, bool secret)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
        throw SigningError{QStringLiteral("%1 cannot be written (%2): the record stays open.").arg(QDir::toNativeSeparators(path), f.errorString())};
    if (secret)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

TechnicianSigner::TechnicianSigner(SignerSetup setup) : m_setup(std::move(setup)) {}

QString TechnicianSigner::keychainName() const
{
    return QStringLiteral("signing key for %1").arg(QDir(m_setup.dataFolder).absolutePath());
}

QString TechnicianSigner::keyFile() const
{
    return QDir(m_setup.dataFolder).filePath(QStringLiteral("signing-key.pem"));
}

QString TechnicianSigner::certificateFile() const
{
    return QDir(m_setup.dataFolder).filePath(QStringLiteral("signing-certificate.pem"));
}

void TechnicianSigner::ensureKey()
{
    if (m_key)
        return;
    if (QFile::exists(keyFile())) { // under a passphrase
        const QByteArray passphrase =
            m_setup.passphrase ? m_setup.passphrase(QStringLiteral("The passphrase of your signing key (%1):").arg(QDir::toNativeSeparators(keyFile())), false)
                               : QByteArray();
        if (passphrase.isEmpty())
            throw SigningError{QStringLiteral("Closing signs the record with your key, which needs its passphrase: close again and "
                                              "type it.")};
        m_key = readPrivateKey(readFile(keyFile()), passphrase);
        if (!m_key)
            throw SigningError{QStringLiteral("The passphrase does not open your signing key (%1): close again and type it as you "
                                              "chose it.")
                                   .arg(QDir::toNativeSeparators(keyFile()))};
        m_keptIn = QStringLiteral("%1, under your passphrase").arg(QDir::toNativeSeparators(keyFile()));
    } else if (QFile::exists(certificateFile())) { // in the system's key store
        QKeychain::ReadPasswordJob job(kService);
        job.setKey(keychainName());
        run(job);
        if (job.error() == QKeychain::EntryNotFound)
            throw SigningError{QStringLiteral("Your signing key is missing from the system's key store, although its certificate "
                                              "(%1) is here: restore it, or make a new key with vantor_cal --key-new.")
                                   .arg(QDir::toNativeSeparators(certificateFile()))};
        if (job.error() != QKeychain::NoError)
            throw SigningError{QStringLiteral("The system's key store did not give your signing key (%1): unlock it (log in to "
                                              "the desktop again), then close again.")
                                   .arg(job.errorString())};
        QByteArray pem = job.binaryData();
        m_key = readPrivateKey(pem, {});
        pem.fill('\0');
        if (!m_key)
            throw SigningError{QStringLiteral("The signing key in the system's key store cannot be read: make a new key with "
                                              "vantor_cal --key-new.")};
        m_keptIn = QStringLiteral("the system's key store");
    } else {
        makeKey();
        return;
    }
    const std::vector<Certificate> own = readCertificates(readFile(certificateFile()));
    if (own.empty() || signing::keyId(publicKeyOf(own.front().get()).get()) != signing::keyId(m_key.get())) {
        m_key.reset();
        throw SigningError{QStringLiteral("%1 is not the certificate of your signing key: restore it, or make a new key with "
                                          "vantor_cal --key-new.")
                               .arg(QDir::toNativeSeparators(certificateFile()))};
    }
    m_own.reset(X509_dup(own.front().get()));
}

void TechnicianSigner::makeKey()
{
    const Name name = m_setup.who ? m_setup.who() : Name{};
    if (name.person.trimmed().isEmpty())
        throw SigningError{QStringLiteral("Type your name in Calibrated by first: the certificate of your signing key names you.")};
    Key key = newKey();
    const qint64 serial = qint64(QRandomGenerator::system()->generate64() >> 1);
    Certificate own = newCertificate(key.get(), name, nullptr, key.get(), serial, kOwnCertificateDays, false);
    if (!key || !own)
        throw SigningError{QStringLiteral("A signing key could not be made: %1").arg(lastError())};
    QString keptIn;
    if (m_setup.systemStore) {
        QByteArray pem = privateKeyPem(key.get(), {});
        QKeychain::WritePasswordJob job(kService);
        job.setKey(keychainName());
        job.setBinaryData(pem);
        pem.fill('\0');
        run(job);
        if (job.error() == QKeychain::NoError)
            keptIn = QStringLiteral("the system's key store");
    }
    if (keptIn.isEmpty()) { // no key store answers here: a file under a passphrase
        const QByteArray passphrase =
            m_setup.passphrase ? m_setup.passphrase(QStringLiteral("Your records are signed with a key of your own, made now. No key "
                                                                   "store answers on this computer, so it is kept in %1 under a "
                                                                   "passphrase. Choose one (8 characters or more):")
                                                        .arg(QDir::toNativeSeparators(keyFile())),
                                                    true)
                               : QByteArray();
        if (passphrase.size() < 8)
            throw SigningError{QStringLiteral("Your signing key needs a passphrase of 8 characters or more: close again and choose "
                                              "one.")};
        writeFile(keyFile(), privateKeyPem(key.get(), passphrase), true);
        keptIn = QStringLiteral("%1, under your passphrase").arg(QDir::toNativeSeparators(keyFile()));
    }
    writeFile(certificateFile(), certificatePem(own.get()), false);
    m_key = std::move(key);
    m_own = std::move(own);
    m_keptIn = keptIn;
}

QString TechnicianSigner::keyId()
{
    ensureKey();
    return signing::keyId(m_key.get());
}

QString TechnicianSigner::publicKeyId() const
{
    const std::vector<Certificate> own = readCertificates(readFile(certificateFile()));
    return own.empty() ? QString() : signing::keyId(publicKeyOf(own.front().get()).get());
}

QList<X509 *> TechnicianSigner::chainNow(const Trust &trust)
{
    X509 *issued = trust.laboratory ? trust.issuedFor(signing::keyId(m_key.get())) : nullptr;
    if (!issued)
        return {m_own.get()};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (const QDateTime revoked = trust.revokedAt(issued); revoked.isValid() && revoked <= now)
        throw SigningError{QStringLiteral("The laboratory revoked your certificate on %1: nothing is signed with this key any "
                                          "more. Ask the office; then make a new key (vantor_cal --key-new) and have it certified.")
                               .arg(revoked.toString(Qt::ISODate))};
    if (now > notAfter(issued))
        throw SigningError{QStringLiteral("Your certificate from the laboratory expired on %1: have your key certified again "
                                          "(vantor_cal --key-request FILE, for the office).")
                               .arg(notAfter(issued).toString(Qt::ISODate))};
    return {issued, trust.laboratory.get()};
}

records::Seal TechnicianSigner::sign(const QByteArray &contents)
{
    ensureKey();
    const Trust trust = readTrust(m_setup.laboratoryFolder); // owns the certificates of the chain
    const QList<X509 *> chain = chainNow(trust);
    records::Seal seal;
    seal.signature = signData(m_key.get(), contents);
    if (seal.signature.isEmpty())
        throw SigningError{QStringLiteral("The record could not be signed: %1").arg(lastError())};
    for (X509 *c : chain)
        seal.certificates += certificatePem(c);
    return seal;
}

QByteArray TechnicianSigner::request()
{
    ensureKey();
    const Request r = newRequest(m_key.get(), nameOf(m_own.get()));
    return r ? requestPem(r.get()) : QByteArray();
}

QString TechnicianSigner::signPdf(const QString &path, const QString &reason, const QList<Attachment> &attachments)
{
    try {
        ensureKey();
        const Trust trust = readTrust(m_setup.laboratoryFolder);
        const QList<X509 *> chain = chainNow(trust);
        return signing::signPdf(path, m_key.get(), chain.first(), chain.mid(1), reason, attachments);
    } catch (const SigningError &e) {
        return e.message;
    }
}

QString TechnicianSigner::signXml(QByteArray *xml, const char *rootNamespace, const char *holder)
{
    try {
        ensureKey();
        const Trust trust = readTrust(m_setup.laboratoryFolder);
        const QList<X509 *> chain = chainNow(trust);
        return signing::signXml(xml, rootNamespace, holder, m_key.get(), chain.first(), chain.mid(1));
    } catch (const SigningError &e) {
        return e.message;
    }
}

QString TechnicianSigner::forget()
{
    if (QFile::exists(certificateFile()) && !QFile::exists(keyFile())) {
        QKeychain::DeletePasswordJob job(kService);
        job.setKey(keychainName());
        run(job);
        if (job.error() != QKeychain::NoError && job.error() != QKeychain::EntryNotFound)
            return QStringLiteral("The key could not be taken out of the system's key store: %1").arg(job.errorString());
    }
    for (const QString &file : {keyFile(), certificateFile()})
        if (QFile::exists(file) && !QFile::remove(file))
            return QStringLiteral("%1 could not be removed.").arg(QDir::toNativeSeparators(file));
    m_key.reset();
    m_own.reset();
    m_keptIn.clear();
    return {};
}

} // namespace signing
