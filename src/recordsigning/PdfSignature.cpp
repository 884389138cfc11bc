#include "PdfSignature.h"

#include <podofo.h>

#include <QFile>

namespace signing {
namespace {

constexpr size_t kSignatureRoom = 16384; // bytes for the CMS signature with a chain of two certificates

// PoDoFo says nothing on the terminal: what goes wrong is returned.
void quiet()
{
    PoDoFo::PdfError::EnableDebug(false);
    PoDoFo::PdfError::EnableLogging(false);
}

QString podofoError(const PoDoFo::PdfError &e)
{
    const char *text = PoDoFo::PdfError::ErrorMessage(e.GetError());
    return QString::fromLatin1(text ? text : "PDF error");
}

// The value of a dictionary's key, a reference followed.
const PoDoFo::PdfObject *value(PoDoFo::PdfMemDocument &doc, const PoDoFo::PdfDictionary &dict, const char *key)
{
    const PoDoFo::PdfObject *o = dict.GetKey(PoDoFo::PdfName(key));
    if (o && o->IsReference())
        o = doc.GetObjects().GetObject(o->GetReference());
    return o;
}

void attach(PoDoFo::PdfMemDocument &doc, const QList<Attachment> &attachments)
{
    for (const Attachment &a : attachments) {
        const QByteArray name = a.name.toUtf8();
        PoDoFo::PdfFileSpec spec(name.constData(), reinterpret_cast<const unsigned char *>(a.data.constData()), a.data.size(), &doc, true);
        doc.AttachFile(spec);
    }
}

// Writes the PDF at `path`, with the attachments and (with a key) signed, to `copy`; "" or why not.
QString writeInto(const QString &path, const QString &copy, EVP_PKEY *key, X509 *certificate, const QList<X509 *> &chain,
                  const QString &reason, const QList<Attachment> &attachments)
{
    using namespace PoDoFo;
    quiet();
    try {
        PdfMemDocument doc;
        doc.Load(QFile::encodeName(path).constData(), true);
        if (doc.GetPageCount() == 0)
            return QStringLiteral("%1 has no page to sign.").arg(path);
        attach(doc, attachments);
        if (!key) {
            doc.Write(QFile::encodeName(copy).constData());
            return {};
        }
        PdfAcroForm *form = doc.GetAcroForm();
        PdfDictionary &formDict = form->GetObject()->GetDictionary();
        formDict.RemoveKey(PdfName("SigFlags"));
        formDict.AddKey(PdfName("SigFlags"), PdfObject(pdf_int64(3))); // signatures exist; append only
        form->SetNeedAppearances(false);
        PdfOutputDevice out(QFile::encodeName(copy).constData(), true);
        PdfSignOutputDevice signer(&out);
        PdfAnnotation *widget = doc.GetPage(0)->CreateAnnotation(ePdfAnnotation_Widget, PdfRect());
        widget->SetFlags(ePdfAnnotationFlags_Invisible | ePdfAnnotationFlags_Hidden);
        PdfSignatureField field(widget, form, &doc);
        signer.SetSignatureSize(kSignatureRoom);
        field.SetFieldName(PdfString("Signature1"));
        field.SetSignatureReason(PdfString(reinterpret_cast<const pdf_utf8 *>(reason.toUtf8().constData())));
        field.SetSignatureDate(PdfDate());
        field.SetSignature(*signer.GetSignatureBeacon());
        doc.WriteUpdate(&signer, true); // the original bytes, then the update
        if (!signer.HasSignaturePosition())
            return QStringLiteral("%1: the place for the signature was not found.").arg(path);
        signer.AdjustByteRange();
        signer.Seek(0);
        QByteArray signedBytes;
        char buffer[65536];
        for (size_t n; (n = signer.ReadForSignature(buffer, sizeof buffer)) > 0;)
            signedBytes.append(buffer, qsizetype(n));
        const QByteArray cms = cmsSign(key, certificate, chain, signedBytes);
        if (cms.isEmpty() || size_t(cms.size()) > kSignatureRoom)
            return QStringLiteral("%1: the signature could not be made: %2").arg(path, lastError());
        signer.SetSignature(PdfData(cms.constData(), size_t(cms.size())));
        signer.Flush();
    } catch (const PdfError &e) {
        return QStringLiteral("%1 could not be signed: %2").arg(path, podofoError(e));
    }
    return {};
}

// The PDF at `path` with the attachments, signed where there is a key; written to a copy first,
// then put in its place.
QString rewrite(const QString &path, EVP_PKEY *key, X509 *certificate, const QList<X509 *> &chain, const QString &reason,
                const QList<Attachment> &attachments)
{
    const QString copy = path + QStringLiteral(".signing");
    QString why = writeInto(path, copy, key, certificate, chain, reason, attachments);
    if (why.isEmpty() && (!QFile::remove(path) || !QFile::rename(copy, path)))
        why = QStringLiteral("%1 could not be replaced by its new copy %2.").arg(path, copy);
    QFile::remove(copy);
    return why;
}

} // namespace

QString signPdf(const QString &path, EVP_PKEY *key, X509 *certificate, const QList<X509 *> &chain, const QString &reason,
                const QList<Attachment> &attachments)
{
    return key ? rewrite(path, key, certificate, chain, reason, attachments) : QStringLiteral("There is no key to sign with.");
}

QString attachToPdf(const QString &path, const QList<Attachment> &attachments)
{
    return rewrite(path, nullptr, nullptr, {}, {}, attachments);
}

QList<Attachment> attachmentsOf(const QString &path)
{
    using namespace PoDoFo;
    quiet();
    QList<Attachment> out;
    try {
        PdfMemDocument doc;
        doc.Load(QFile::encodeName(path).constData());
        PdfNamesTree *names = doc.GetNamesTree(ePdfDontCreateObject);
        if (!names)
            return out;
        PdfDictionary files;
        names->ToDictionary(PdfName("EmbeddedFiles"), files);
        for (const auto &[key, value] : files.GetKeys()) {
            const PdfObject *spec = value->IsReference() ? doc.GetObjects().GetObject(value->GetReference()) : value;
            if (!spec || !spec->IsDictionary())
                continue;
            const PdfObject *ef = spec->GetDictionary().GetKey(PdfName("EF"));
            const PdfObject *file = ef && ef->IsDictionary() ? ef->GetDictionary().GetKey(PdfName("F")) : nullptr;
            if (file && file->IsReference())
                file = doc.GetObjects().GetObject(file->GetReference());
            if (!file || !file->HasStream())
                continue;
            char *buffer = nullptr;
            pdf_long size = 0;
            file->GetStream()->GetFilteredCopy(&buffer, &size);
            out.append({QString::fromUtf8(key.GetName().c_str()), QByteArray(buffer, qsizetype(size))});
            podofo_free(buffer);
        }
    } catch (const PdfError &) {
        // no attachments to be read
    }
    return out;
}

PdfCheck checkPdf(const QString &path)
{
    using namespace PoDoFo;
    PdfCheck check;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        check.problem = QStringLiteral("%1 cannot be read: %2").arg(path, f.errorString());
        return check;
    }
    const QByteArray bytes = f.readAll();
    quiet();
    try {
        PdfMemDocument doc;
        doc.LoadFromBuffer(bytes.constData(), long(bytes.size()));
        PdfAcroForm *form = doc.GetAcroForm(ePdfDontCreateObject);
        const PdfObject *fields = form ? value(doc, form->GetObject()->GetDictionary(), "Fields") : nullptr;
        if (!fields || !fields->IsArray())
            return check;
        for (const PdfObject &item : fields->GetArray()) {
            const PdfObject *field = item.IsReference() ? doc.GetObjects().GetObject(item.GetReference()) : nullptr;
            if (!field || !field->IsDictionary())
                continue;
            const PdfObject *type = value(doc, field->GetDictionary(), "FT");
            const PdfObject *signature = value(doc, field->GetDictionary(), "V");
            if (!type || !type->IsName() || type->GetName() != PdfName("Sig") || !signature || !signature->IsDictionary())
                continue;
            const PdfObject *range = value(doc, signature->GetDictionary(), "ByteRange");
            const PdfObject *contents = value(doc, signature->GetDictionary(), "Contents");
            if (!range || !range->IsArray() || range->GetArray().size() != 4 || !contents || !(contents->IsString() || contents->IsHexString()))
                continue;
            check.signedAtAll = true;
            qint64 r[4];
            for (int i = 0; i < 4; ++i)
                r[i] = range->GetArray()[size_t(i)].IsNumber() ? range->GetArray()[size_t(i)].GetNumber() : -1;
            const qint64 size = bytes.size();
            if (r[0] < 0 || r[1] < 0 || r[2] < 0 || r[3] < 0 || r[0] + r[1] > r[2] || r[2] + r[3] > size) {
                check.problem = QStringLiteral("its signature names bytes the file does not have");
                return check;
            }
            const QByteArray data = bytes.mid(r[0], r[1]) + bytes.mid(r[2], r[3]);
            const PdfString &cms = contents->GetString();
            check.holds = cmsVerify(QByteArray(cms.GetString(), qsizetype(cms.GetLength())), data, &check.signer, &check.chain,
                                     &check.signedAt);
            check.wholeDocument = r[0] == 0 && r[2] + r[3] == size;
            return check;
        }
    } catch (const PdfError &e) {
        check.problem = QStringLiteral("%1 cannot be read as a PDF: %2").arg(path, podofoError(e));
    }
    return check;
}

} // namespace signing
