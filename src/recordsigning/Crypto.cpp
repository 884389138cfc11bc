#include "Crypto.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <ctime>

namespace signing {
namespace {

struct BioFree
{
    void operator()(BIO *b) const { BIO_free(b); }
};
using Bio = std::unique_ptr<BIO, BioFree>;

Bio readable(const QByteArray &data)
{
    return Bio(BIO_new_mem_buf(data.constData(), int(data.size())));
}

QByteArray drained(BIO *bio)
{
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? QByteArray(data, size) : QByteArray();
}

// The passphrase for a PEM, never a prompt on the terminal.
int passphraseOf(char *buffer, int size, int, void *passphrase)
{
    const auto *text = static_cast<const QByteArray *>(passphrase);
    if (!text || text->isEmpty() || text->size() > size)
        return 0;
    std::memcpy(buffer, text->constData(), size_t(text->size()));
    return int(text->size());
}

QDateTime fromAsn1(const ASN1_TIME *t)
{
    std::tm tm{};
    if (!t || ASN1_TIME_to_tm(t, &tm) != 1)
        return {};
    return QDateTime(QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday), QTime(tm.tm_hour, tm.tm_min, tm.tm_sec), Qt::UTC);
}

QString entry(X509_NAME *name, int nid)
{
    const int at = X509_NAME_get_index_by_NID(name, nid, -1);
    if (at < 0)
        return {};
    unsigned char *utf8 = nullptr;
    const int size = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, at)));
    if (size < 0)
        return {};
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(utf8), size);
    OPENSSL_free(utf8);
    return text;
}

bool setName(X509_NAME *to, const Name &name)
{
    const QByteArray person = name.person.toUtf8(), organisation = name.organisation.toUtf8();
    const auto add = [to](const char *field, const QByteArray &value) {
        return value.isEmpty()
               || X509_NAME_add_entry_by_txt(to, field, MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(value.constData()),
                                             int(value.size()), -1, 0) == 1;
    };
    return add("O", organisation) && add("CN", person);
}

// An object as PEM, written by OpenSSL's writer for its kind; empty where it is none.
template <class T>
QByteArray pemOf(int (*write)(BIO *, const T *), const T *object)
{
    Bio out(BIO_new(BIO_s_mem()));
    return object && write(out.get(), object) == 1 ? drained(out.get()) : QByteArray();
}

// The first object of its kind in a PEM text; null where there is none.
template <class Owner, class T>
Owner fromPem(T *(*read)(BIO *, T **, pem_password_cb *, void *), const QByteArray &pem)
{
    Bio in = readable(pem);
    Owner object(read(in.get(), nullptr, nullptr, nullptr));
    ERR_clear_error();
    return object;
}

bool addExtension(X509 *certificate, X509V3_CTX *context, int nid, const char *value)
{
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, context, nid, value);
    const bool added = extension && X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

} // namespace

void Free::operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
void Free::operator()(X509 *p) const { X509_free(p); }
void Free::operator()(X509_CRL *p) const { X509_CRL_free(p); }
void Free::operator()(X509_REQ *p) const { X509_REQ_free(p); }

QString lastError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QStringLiteral("no reason given");
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

Key newKey()
{
    return Key(EVP_EC_gen("P-256"));
}

QByteArray privateKeyPem(EVP_PKEY *key, const QByteArray &passphrase)
{
    Bio out(BIO_new(BIO_s_mem()));
    const EVP_CIPHER *cipher = passphrase.isEmpty() ? nullptr : EVP_aes_256_cbc();
    QByteArray pass = passphrase;
    if (!key || PEM_write_bio_PKCS8PrivateKey(out.get(), key, cipher, pass.data(), int(pass.size()), nullptr, nullptr) != 1)
        return {};
    return drained(out.get());
}

Key readPrivateKey(const QByteArray &pem, const QByteArray &passphrase)
{
    Bio in = readable(pem);
    QByteArray pass = passphrase;
    Key key(PEM_read_bio_PrivateKey(in.get(), nullptr, passphraseOf, &pass));
    ERR_clear_error();
    return key;
}

QString keyId(EVP_PKEY *key)
{
    unsigned char *der = nullptr;
    const int size = key ? i2d_PUBKEY(key, &der) : -1;
    if (size <= 0)
        return {};
    const QByteArray id = sha256(QByteArray(reinterpret_cast<const char *>(der), size)).toHex();
    OPENSSL_free(der);
    return QString::fromLatin1(id);
}

Certificate newCertificate(EVP_PKEY *subject, const Name &name, X509 *issuer, EVP_PKEY *issuerKey, qint64 serial, int days,
                           bool authority)
{
    Certificate c(X509_new());
    if (!c || !subject || !issuerKey)
        return {};
    X509_set_version(c.get(), 2);
    ASN1_INTEGER_set_int64(X509_get_serialNumber(c.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(c.get()), 0);
    X509_time_adj_ex(X509_getm_notAfter(c.get()), days, 0, nullptr);
    X509_set_pubkey(c.get(), subject);
    if (!setName(X509_get_subject_name(c.get()), name))
        return {};
    X509_set_issuer_name(c.get(), issuer ? X509_get_subject_name(issuer) : X509_get_subject_name(c.get()));
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer ? issuer : c.get(), c.get(), nullptr, nullptr, 0);
    const bool extended = addExtension(c.get(), &context, NID_basic_constraints, authority ? "critical,CA:TRUE" : "critical,CA:FALSE")
                          && addExtension(c.get(), &context, NID_key_usage,
                                          authority ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature,nonRepudiation")
                          && addExtension(c.get(), &context, NID_subject_key_identifier, "hash")
                          && (!issuer || addExtension(c.get(), &context, NID_authority_key_identifier, "keyid"));
    if (!extended || X509_sign(c.get(), issuerKey, EVP_sha256()) <= 0)
        return {};
    return c;
}

QByteArray certificatePem(X509 *certificate)
{
    return pemOf(PEM_write_bio_X509, certificate);
}

std::vector<Certificate> readCertificates(const QByteArray &pem)
{
    std::vector<Certificate> out;
    Bio in = readable(pem);
    while (X509 *c = PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr))
        out.emplace_back(c);
    ERR_clear_error(); // the end of the text
    return out;
}

Name nameOf(X509 *certificate)
{
    X509_NAME *name = certificate ? X509_get_subject_name(certificate) : nullptr;
    return name ? Name{entry(name, NID_commonName), entry(name, NID_organizationName)} : Name{};
}

qint64 serialOf(X509 *certificate)
{
    int64_t serial = 0;
    return certificate && ASN1_INTEGER_get_int64(&serial, X509_get0_serialNumber(certificate)) == 1 ? serial : -1;
}

QDateTime notBefore(X509 *certificate)
{
    return certificate ? fromAsn1(X509_get0_notBefore(certificate)) : QDateTime();
}

QDateTime notAfter(X509 *certificate)
{
    return certificate ? fromAsn1(X509_get0_notAfter(certificate)) : QDateTime();
}

Key publicKeyOf(X509 *certificate)
{
    return Key(certificate ? X509_get_pubkey(certificate) : nullptr);
}

bool issuedBy(X509 *certificate, X509 *issuer)
{
    if (!certificate || !issuer || X509_check_issued(issuer, certificate) != X509_V_OK)
        return false;
    const Key key = publicKeyOf(issuer);
    const bool holds = key && X509_verify(certificate, key.get()) == 1;
    ERR_clear_error();
    return holds;
}

Request newRequest(EVP_PKEY *key, const Name &name)
{
    Request r(X509_REQ_new());
    if (!r || !key || !setName(X509_REQ_get_subject_name(r.get()), name) || X509_REQ_set_pubkey(r.get(), key) != 1
        || X509_REQ_sign(r.get(), key, EVP_sha256()) <= 0)
        return {};
    return r;
}

QByteArray requestPem(X509_REQ *request)
{
    return pemOf(PEM_write_bio_X509_REQ, request);
}

Request readRequest(const QByteArray &pem)
{
    return fromPem<Request>(PEM_read_bio_X509_REQ, pem);
}

Key requestKey(X509_REQ *request)
{
    Key key(request ? X509_REQ_get_pubkey(request) : nullptr);
    if (!key || X509_REQ_verify(request, key.get()) != 1)
        key.reset();
    ERR_clear_error();
    return key;
}

Name requestName(X509_REQ *request)
{
    X509_NAME *name = request ? X509_REQ_get_subject_name(request) : nullptr;
    return name ? Name{entry(name, NID_commonName), entry(name, NID_organizationName)} : Name{};
}

Crl newCrl(X509 *authority, EVP_PKEY *authorityKey, const QList<Revocation> &revoked)
{
    Crl crl(X509_CRL_new());
    if (!crl || !authority || !authorityKey)
        return {};
    X509_CRL_set_version(crl.get(), 1);
    X509_CRL_set_issuer_name(crl.get(), X509_get_subject_name(authority));
    const auto setTime = [](auto setter, X509_CRL *c, time_t when) {
        ASN1_TIME *t = ASN1_TIME_set(nullptr, when);
        setter(c, t);
        ASN1_TIME_free(t);
    };
    const time_t now = std::time(nullptr);
    setTime(X509_CRL_set1_lastUpdate, crl.get(), now);
    setTime(X509_CRL_set1_nextUpdate, crl.get(), now + 365 * 86400);
    for (const Revocation &r : revoked) {
        X509_REVOKED *entry = X509_REVOKED_new();
        ASN1_INTEGER *serial = ASN1_INTEGER_new();
        ASN1_TIME *at = ASN1_TIME_set(nullptr, time_t(r.at.toSecsSinceEpoch()));
        ASN1_INTEGER_set_int64(serial, r.serial);
        X509_REVOKED_set_serialNumber(entry, serial);
        X509_REVOKED_set_revocationDate(entry, at);
        ASN1_INTEGER_free(serial);
        ASN1_TIME_free(at);
        X509_CRL_add0_revoked(crl.get(), entry);
    }
    X509_CRL_sort(crl.get());
    if (X509_CRL_sign(crl.get(), authorityKey, EVP_sha256()) <= 0)
        return {};
    return crl;
}

QByteArray crlPem(X509_CRL *crl)
{
    return pemOf(PEM_write_bio_X509_CRL, crl);
}

Crl readCrl(const QByteArray &pem)
{
    return fromPem<Crl>(PEM_read_bio_X509_CRL, pem);
}

QList<Revocation> revocations(X509_CRL *crl, X509 *authority)
{
    QList<Revocation> out;
    const Key key = publicKeyOf(authority);
    if (!crl || !key || X509_CRL_verify(crl, key.get()) != 1) {
        ERR_clear_error();
        return out;
    }
    STACK_OF(X509_REVOKED) *revoked = X509_CRL_get_REVOKED(crl);
    for (int i = 0; i < sk_X509_REVOKED_num(revoked); ++i) {
        const X509_REVOKED *entry = sk_X509_REVOKED_value(revoked, i);
        int64_t serial = 0;
        if (ASN1_INTEGER_get_int64(&serial, X509_REVOKED_get0_serialNumber(entry)) == 1)
            out.append({serial, fromAsn1(X509_REVOKED_get0_revocationDate(entry))});
    }
    return out;
}

QByteArray signData(EVP_PKEY *key, const QByteArray &data)
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    size_t size = 0;
    QByteArray signature;
    if (context && key && EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key) == 1
        && EVP_DigestSign(context, nullptr, &size, reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size())) == 1) {
        signature.resize(qsizetype(size));
        if (EVP_DigestSign(context, reinterpret_cast<unsigned char *>(signature.data()), &size,
                           reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size()))
            == 1)
            signature.resize(qsizetype(size));
        else
            signature.clear();
    }
    EVP_MD_CTX_free(context);
    return signature;
}

bool verifyData(EVP_PKEY *key, const QByteArray &data, const QByteArray &signature)
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    const bool holds = context && key && !signature.isEmpty()
                       && EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, key) == 1
                       && EVP_DigestVerify(context, reinterpret_cast<const unsigned char *>(signature.constData()), size_t(signature.size()),
                                           reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size()))
                              == 1;
    EVP_MD_CTX_free(context);
    ERR_clear_error();
    return holds;
}

QByteArray cmsSign(EVP_PKEY *key, X509 *certificate, const QList<X509 *> &chain, const QByteArray &data)
{
    const unsigned int flags = CMS_DETACHED | CMS_BINARY | CMS_PARTIAL;
    CMS_ContentInfo *cms = CMS_sign(nullptr, nullptr, nullptr, nullptr, flags);
    Bio in = readable(data);
    QByteArray out;
    bool made = cms && CMS_add1_signer(cms, certificate, key, EVP_sha256(), CMS_BINARY);
    for (X509 *c : chain)
        made = made && CMS_add1_cert(cms, c) == 1;
    if (made && CMS_final(cms, in.get(), nullptr, CMS_DETACHED | CMS_BINARY) == 1) {
        unsigned char *der = nullptr;
        const int size = i2d_CMS_ContentInfo(cms, &der);
        if (size > 0)
            out = QByteArray(reinterpret_cast<const char *>(der), size);
        OPENSSL_free(der);
    }
    CMS_ContentInfo_free(cms);
    return out;
}

bool cmsVerify(const QByteArray &cms, const QByteArray &data, Certificate *signer, std::vector<Certificate> *chain, QDateTime *signedAt)
{
    const auto *der = reinterpret_cast<const unsigned char *>(cms.constData());
    CMS_ContentInfo *info = d2i_CMS_ContentInfo(nullptr, &der, long(cms.size()));
    Bio in = readable(data);
    const bool holds = info && CMS_verify(info, nullptr, nullptr, in.get(), nullptr, CMS_DETACHED | CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY) == 1;
    if (holds) {
        STACK_OF(X509) *signers = CMS_get0_signers(info);
        X509 *first = sk_X509_num(signers) > 0 ? sk_X509_value(signers, 0) : nullptr;
        if (signer && first) {
            X509_up_ref(first);
            signer->reset(first);
        }
        STACK_OF(X509) *all = CMS_get1_certs(info);
        for (int i = 0; chain && i < sk_X509_num(all); ++i) {
            X509 *c = sk_X509_value(all, i);
            if (X509_cmp(c, first) != 0) {
                X509_up_ref(c);
                chain->emplace_back(c);
            }
        }
        sk_X509_pop_free(all, X509_free);
        sk_X509_free(signers);
        CMS_SignerInfo *info0 = sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(info)) > 0 ? sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(info), 0)
                                                                                     : nullptr;
        const int at = info0 ? CMS_signed_get_attr_by_NID(info0, NID_pkcs9_signingTime, -1) : -1;
        const ASN1_TYPE *time = at >= 0 ? X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(info0, at), 0) : nullptr;
        if (signedAt && time && (time->type == V_ASN1_UTCTIME || time->type == V_ASN1_GENERALIZEDTIME))
            *signedAt = fromAsn1(time->value.utctime);
    }
    CMS_ContentInfo_free(info);
    ERR_clear_error();
    return holds;
}

QByteArray sha256(const QByteArray &data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.constData(), size_t(data.size()), digest, &size, EVP_sha256(), nullptr) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char *>(digest), int(size));
}

} // namespace signing
