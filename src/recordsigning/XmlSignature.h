#pragma once
// An XML document signed as W3C XML Signature has it, with xmlsec (its OpenSSL back end): the
// signature enveloped in the document, over the whole of it (the empty reference, the enveloped
// transform, exclusive canonical XML), ECDSA with SHA-256, the signer's certificate and its chain
// in its KeyInfo. A DCC takes it inside its comment element, the one place its schema leaves open.

#include "Crypto.h"

namespace signing {

// Signs `xml` (a document whose root is `rootNamespace`'s) by a Signature in a new element
// `holder` of that namespace, the root's last child. "" on success, else why not.
QString signXml(QByteArray *xml, const char *rootNamespace, const char *holder, EVP_PKEY *key, X509 *certificate,
                const QList<X509 *> &chain);

struct XmlCheck
{
    bool signedAtAll = false;
    bool holds = false;       // over the whole document
    Certificate signer;
    std::vector<Certificate> chain;
    QString problem;          // why it could not be read or checked
};
XmlCheck checkXml(const QByteArray &xml);

} // namespace signing
