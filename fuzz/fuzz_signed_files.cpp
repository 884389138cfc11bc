// What a customer or an auditor hands to --verify: a certificate PDF, a DCC, or the text of a
// label's QR code, from anyone. Nothing may crash; a signature may hold only where it is there;
// a label code that reads is written back as it was read.
#include "Label.h"
#include "PdfSignature.h"
#include "XmlSignature.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const signing::XmlCheck xml = signing::checkXml(bytes);
    if (xml.holds && !xml.signedAtAll)
        std::abort();
    if (const auto code = records::parseLabelCode(QString::fromUtf8(bytes))) {
        if (code->number.isEmpty() || code->sha256.size() != 64)
            std::abort();
    }
    // PDFs are read from files, as --verify reads them.
    static const QString path = QDir::temp().filePath(QStringLiteral("fuzz_signed_files-%1.pdf").arg(QCoreApplication::applicationPid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return 0;
    file.close();
    const signing::PdfCheck pdf = signing::checkPdf(path);
    if ((pdf.holds || pdf.wholeDocument) && !pdf.signedAtAll)
        std::abort();
    (void)signing::attachmentsOf(path);
    QFile::remove(path);
    return 0;
}
