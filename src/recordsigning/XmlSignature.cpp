#include "XmlSignature.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <xmlsec/crypto.h>
#include <xmlsec/errors.h>
#include <xmlsec/openssl/evp.h>
#include <xmlsec/openssl/x509.h>
#include <xmlsec/templates.h>
#include <xmlsec/xmldsig.h>
#include <xmlsec/xmlsec.h>
#include <xmlsec/xmltree.h>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <mutex>

namespace signing {
namespace {

// libxml2 and xmlsec, made ready once a run.
bool ready()
{
    static bool ok = false;
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        ok = xmlSecInit() >= 0 && xmlSecCheckVersion() == 1 && xmlSecCryptoAppInit(nullptr) >= 0 && xmlSecCryptoInit() >= 0;
        // A signature that fails is an answer here, not a message on the terminal.
        xmlSecErrorsSetCallback([](const char *, int, const char *, const char *, const char *, int, const char *) {});
    });
    return ok;
}

struct DocFree
{
    void operator()(xmlDoc *d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

struct ContextFree
{
    void operator()(xmlSecDSigCtx *c) const { xmlSecDSigCtxDestroy(c); }
};
using Context = std::unique_ptr<xmlSecDSigCtx, ContextFree>;

// Parsed without the network and without expanding entities: the document is untrusted.
Doc parse(const QByteArray &xml)
{
    return Doc(xmlReadMemory(xml.constData(), int(xml.size()), "document.xml", nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// An xmlsec key holding `key` (a reference of its own), or null.
xmlSecKeyPtr xmlsecKey(EVP_PKEY *key)
{
    if (!key)
        return nullptr;
    // xmlsec takes the reference only where it adopts the key, and the key data only where it is set.
    EVP_PKEY_up_ref(key);
    xmlSecKeyDataPtr value = xmlSecOpenSSLEvpKeyAdopt(key);
    if (!value) {
        EVP_PKEY_free(key);
        return nullptr;
    }
    xmlSecKeyPtr out = xmlSecKeyCreate();
    if (!out || xmlSecKeySetValue(out, value) < 0) {
        xmlSecKeyDataDestroy(value);
        if (out)
            xmlSecKeyDestroy(out);
        return nullptr;
    }
    return out;
}

} // namespace

QString signXml(QByteArray *xml, const char *rootNamespace, const char *holder, EVP_PKEY *key, X509 *certificate,
                const QList<X509 *> &chain)
{
    if (!ready())
        return QStringLiteral("xmlsec could not be made ready.");
    Doc doc = parse(*xml);
    xmlNode *root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    xmlNs *ns = root ? xmlSearchNsByHref(doc.get(), root, reinterpret_cast<const xmlChar *>(rootNamespace)) : nullptr;
    if (!ns)
        return QStringLiteral("The document to sign cannot be read.");
    xmlNode *place = xmlNewChild(root, ns, reinterpret_cast<const xmlChar *>(holder), nullptr);
    xmlNode *signature = xmlSecTmplSignatureCreate(doc.get(), xmlSecTransformExclC14NId, xmlSecTransformEcdsaSha256Id, nullptr);
    if (!place || !signature || !xmlAddChild(place, signature))
        return QStringLiteral("The signature could not be placed.");
    xmlNode *reference = xmlSecTmplSignatureAddReference(signature, xmlSecTransformSha256Id, nullptr,
                                                         reinterpret_cast<const xmlChar *>(""), nullptr);
    xmlNode *x509 = xmlSecTmplKeyInfoAddX509Data(xmlSecTmplSignatureEnsureKeyInfo(signature, nullptr));
    if (!reference || !xmlSecTmplReferenceAddTransform(reference, xmlSecTransformEnvelopedId)
        || !xmlSecTmplReferenceAddTransform(reference, xmlSecTransformExclC14NId) || !x509 || !xmlSecTmplX509DataAddCertificate(x509))
        return QStringLiteral("The signature's template could not be made.");

    xmlSecKeyPtr signing = xmlsecKey(key);
    bool made = signing;
    xmlSecKeyDataPtr certificates = made ? xmlSecKeyEnsureData(signing, xmlSecOpenSSLKeyDataX509Id) : nullptr;
    // The key's certificate, and (as xmlsec writes them) the list of certificates: it first, then its chain.
    made = made && certificates && xmlSecOpenSSLKeyDataX509AdoptKeyCert(certificates, X509_dup(certificate)) >= 0
           && xmlSecOpenSSLKeyDataX509AdoptCert(certificates, X509_dup(certificate)) >= 0;
    for (X509 *c : chain)
        made = made && xmlSecOpenSSLKeyDataX509AdoptCert(certificates, X509_dup(c)) >= 0;
    Context context(made ? xmlSecDSigCtxCreate(nullptr) : nullptr);
    if (!context) {
        if (signing)
            xmlSecKeyDestroy(signing);
        return QStringLiteral("The signing key could not be handed to xmlsec.");
    }
    context->signKey = signing; // the context owns it now
    if (xmlSecDSigCtxSign(context.get(), signature) < 0)
        return QStringLiteral("The document could not be signed: %1").arg(lastError());
    xmlChar *out = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc.get(), &out, &size, "UTF-8");
    *xml = QByteArray(reinterpret_cast<const char *>(out), size);
    xmlFree(out);
    return {};
}

XmlCheck checkXml(const QByteArray &xml)
{
    XmlCheck check;
    if (!ready()) {
        check.problem = QStringLiteral("xmlsec could not be made ready.");
        return check;
    }
    Doc doc = parse(xml);
    xmlNode *root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root) {
        check.problem = QStringLiteral("it is not an XML document");
        return check;
    }
    xmlNode *signature = xmlSecFindNode(root, xmlSecNodeSignature, xmlSecDSigNs);
    if (!signature)
        return check;
    check.signedAtAll = true;
    // The certificates the signature carries; the signer is the one whose key the signature holds
    // for (who stands behind it is the laboratory's to say, not xmlsec's).
    std::vector<Certificate> carried;
    constexpr std::size_t kMostCertificates = 16; // a signer and its chain; each one tried costs a check of the whole document
    for (xmlNode *n = xmlSecFindNode(signature, xmlSecNodeX509Certificate, xmlSecDSigNs); n && carried.size() < kMostCertificates;
         n = n->next) {
        if (n->type != XML_ELEMENT_NODE || !xmlStrEqual(n->name, xmlSecNodeX509Certificate))
            continue;
        xmlChar *text = xmlNodeGetContent(n);
        const QByteArray der = QByteArray::fromBase64(QByteArray(reinterpret_cast<const char *>(text)));
        xmlFree(text);
        const auto *bytes = reinterpret_cast<const unsigned char *>(der.constData());
        if (X509 *c = d2i_X509(nullptr, &bytes, long(der.size())))
            carried.emplace_back(c);
    }
    for (size_t i = 0; i < carried.size() && !check.holds; ++i) {
        Context context(xmlSecDSigCtxCreate(nullptr));
        const Key key = publicKeyOf(carried[i].get());
        if (!context || !key) // a certificate without a key this program can read
            continue;
        xmlSecKeyPtr verifying = xmlsecKey(key.get());
        if (!verifying)
            continue;
        context->signKey = verifying;
        context->enabledReferenceUris = xmlSecTransformUriTypeEmpty; // only this document
        const bool verified = xmlSecDSigCtxVerify(context.get(), signature) >= 0 && context->status == xmlSecDSigStatusSucceeded;
        xmlSecDSigReferenceCtxPtr only = xmlSecPtrListGetSize(&context->signedInfoReferences) == 1
                                             ? static_cast<xmlSecDSigReferenceCtxPtr>(xmlSecPtrListGetItem(&context->signedInfoReferences, 0))
                                             : nullptr;
        if (verified && only && only->uri && xmlStrlen(only->uri) == 0) {
            check.holds = true;
            check.signer = std::move(carried[i]);
        }
    }
    for (Certificate &c : carried)
        if (c)
            check.chain.push_back(std::move(c));
    if (carried.empty())
        check.problem = QStringLiteral("its signature carries no certificate");
    return check;
}

} // namespace signing
