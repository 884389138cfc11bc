#pragma once
// The cryptography the records need, each piece a call into OpenSSL 3 (nothing of it written
// here): EC P-256 keys, kept as PEM (PKCS#8, encrypted with AES-256 under a passphrase where one
// is given); X.509 certificates, requests and revocation lists; ECDSA with SHA-256 over a record's
// contents; CMS detached signatures, as PDF signatures carry them. Owners free what OpenSSL made.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

using EVP_PKEY = struct evp_pkey_st;
using X509 = struct x509_st;
using X509_CRL = struct X509_crl_st;
using X509_REQ = struct X509_req_st;

namespace signing {

struct Free
{
    void operator()(EVP_PKEY *p) const;
    void operator()(X509 *p) const;
    void operator()(X509_CRL *p) const;
    void operator()(X509_REQ *p) const;
};
using Key = std::unique_ptr<EVP_PKEY, Free>;
using Certificate = std::unique_ptr<X509, Free>;
using Crl = std::unique_ptr<X509_CRL, Free>;
using Request = std::unique_ptr<X509_REQ, Free>;

// What OpenSSL said last, in one line (and its error queue emptied).
QString lastError();

Key newKey();
// PKCS#8 PEM; encrypted (AES-256-CBC, the key derived from the passphrase) unless it is empty.
QByteArray privateKeyPem(EVP_PKEY *key, const QByteArray &passphrase);
// nullptr where the PEM is not a key or the passphrase does not open it.
Key readPrivateKey(const QByteArray &pem, const QByteArray &passphrase);
// The id of a key: the SHA-256 of its public key (DER SubjectPublicKeyInfo), hex.
QString keyId(EVP_PKEY *key);

struct Name
{
    QString person;       // CN
    QString organisation; // O
};
// A certificate for `subject`'s key, signed by `issuerKey` (itself where issuer is nullptr: a
// self-signed one), valid from now for `days`; `authority` makes it a CA's.
Certificate newCertificate(EVP_PKEY *subject, const Name &name, X509 *issuer, EVP_PKEY *issuerKey, qint64 serial, int days,
                           bool authority);
QByteArray certificatePem(X509 *certificate);
// Every certificate in a PEM text, in order.
std::vector<Certificate> readCertificates(const QByteArray &pem);
Name nameOf(X509 *certificate);
qint64 serialOf(X509 *certificate);
QDateTime notBefore(X509 *certificate);
QDateTime notAfter(X509 *certificate);
Key publicKeyOf(X509 *certificate);
// Whether `certificate` was signed by `issuer`'s key and names it as its issuer.
bool issuedBy(X509 *certificate, X509 *issuer);

Request newRequest(EVP_PKEY *key, const Name &name);
QByteArray requestPem(X509_REQ *request);
Request readRequest(const QByteArray &pem);
// The request's key and name, where its own signature holds.
Key requestKey(X509_REQ *request);
Name requestName(X509_REQ *request);

struct Revocation
{
    qint64 serial = 0;
    QDateTime at;
};
Crl newCrl(X509 *authority, EVP_PKEY *authorityKey, const QList<Revocation> &revoked);
QByteArray crlPem(X509_CRL *crl);
Crl readCrl(const QByteArray &pem);
// The revocations of a list whose signature `authority` made; empty where it did not.
QList<Revocation> revocations(X509_CRL *crl, X509 *authority);

// ECDSA with SHA-256 (DER).
QByteArray signData(EVP_PKEY *key, const QByteArray &data);
bool verifyData(EVP_PKEY *key, const QByteArray &data, const QByteArray &signature);

// A CMS SignedData over `data`, detached, SHA-256, with the signer's certificate and `chain`.
QByteArray cmsSign(EVP_PKEY *key, X509 *certificate, const QList<X509 *> &chain, const QByteArray &data);
// Whether a detached CMS signature holds for `data`; *signer: its signer's certificate, *chain:
// the certificates it carries besides, *signedAt: the signing time it states (invalid: none).
bool cmsVerify(const QByteArray &cms, const QByteArray &data, Certificate *signer, std::vector<Certificate> *chain,
               QDateTime *signedAt = nullptr);

QByteArray sha256(const QByteArray &data);

} // namespace signing
