#pragma once
// The technician's key on this console and the signatures it makes. The key is made at first use
// (the first record closed), so the first visit needs no set-up, and kept:
//  - in the system's key store through QtKeychain (Windows Credential Manager, macOS Keychain,
//    the Secret Service on Linux), where one answers;
//  - else in signing-key.pem in the data folder, encrypted under a passphrase the technician
//    chooses then (asked once a run after that).
// Its certificate lies beside it (signing-certificate.pem, public): self-signed, naming the
// technician and the provider, until the laboratory certifies the key (laboratory-issued.pem in
// the laboratory's folder); then the records carry the laboratory's certificate and its own.

#include "Crypto.h"
#include "Laboratory.h"
#include "PdfSignature.h"
#include "RecordSigner.h"

#include <functional>

namespace signing {

struct SignerSetup
{
    QString dataFolder;
    QString laboratoryFolder;
    std::function<Name()> who; // the technician's name and the provider's, for a new key's certificate
    // The passphrase of the key's file: `confirm` for a new one (asked twice); "" where the
    // technician cancelled.
    std::function<QByteArray(const QString &prompt, bool confirm)> passphrase;
    bool systemStore = true; // false: the file alone (also where the system's store does not answer)
};

class TechnicianSigner : public records::RecordSigner
{
public:
    explicit TechnicianSigner(SignerSetup setup);

    QString keyId() override;
    // The id of this computer's key from its certificate, without unlocking it; "" where there is
    // no key yet.
    QString publicKeyId() const;
    records::Seal sign(const QByteArray &contents) override;

    // A request for the laboratory's certificate, naming the technician (the key made if needed).
    QByteArray request();
    // Signs a certificate PDF in place with the key, the attachments put in under the signature;
    // "" or why not.
    QString signPdf(const QString &path, const QString &reason, const QList<Attachment> &attachments = {});
    // Signs an XML document (a DCC) with the key, the signature in a new element `holder` of the
    // root's namespace; "" or why not.
    QString signXml(QByteArray *xml, const char *rootNamespace, const char *holder);
    // Where the key is kept, for people; "" before it was made or read.
    QString keptIn() const { return m_keptIn; }
    // Forgets the key and its certificate, so that the next use makes a new one (after the
    // laboratory revoked the old one). "" or why not.
    QString forget();

private:
    void ensureKey(); // throws records::SigningError
    void makeKey();
    QString keychainName() const;
    QString keyFile() const;
    QString certificateFile() const;
    // The certificates that go with a signature now: throws where the laboratory's has expired or
    // was revoked.
    QList<X509 *> chainNow(const Trust &trust);

    SignerSetup m_setup;
    Key m_key;
    Certificate m_own;
    QString m_keptIn;
};

} // namespace signing
