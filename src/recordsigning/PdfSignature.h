#pragma once
// A certificate PDF signed as PDF readers check it: an incremental update (PoDoFo) adds a
// signature field whose /Contents is a detached CMS signature (OpenSSL: SHA-256, the signer's
// certificate and its chain) over the bytes /ByteRange names, the whole file but that field.

#include "Crypto.h"

namespace signing {

// A file a PDF carries (its embedded files), such as a certificate's DCC.
struct Attachment
{
    QString name;
    QByteArray data;
};

// Signs the PDF at `path` in place, attaching the files given first (under the signature); "" on
// success, else why not.
QString signPdf(const QString &path, EVP_PKEY *key, X509 *certificate, const QList<X509 *> &chain, const QString &reason,
                const QList<Attachment> &attachments = {});
// Attaches files to the PDF at `path`, unsigned; "" or why not.
QString attachToPdf(const QString &path, const QList<Attachment> &attachments);
// The files a PDF carries, by name.
QList<Attachment> attachmentsOf(const QString &path);

struct PdfCheck
{
    bool signedAtAll = false;   // it has a signature field with a signature
    bool holds = false;         // the signature holds for the bytes it names
    bool wholeDocument = false; // and they are the whole file but the signature
    Certificate signer;
    std::vector<Certificate> chain;   // the certificates it carries besides the signer's
    QDateTime signedAt;         // the signing time it states
    QString problem;            // why it could not be read
};
// The first signature of the PDF at `path`.
PdfCheck checkPdf(const QString &path);

} // namespace signing
