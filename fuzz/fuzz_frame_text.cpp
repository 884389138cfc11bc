// Command texts, whatever they hold: text -> hex text -> bytes and checksum, and a send on a
// closed port. The hex text must always parse back and the frame's checksum must hold.
#include "CommControl.h"
#include "Frame.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString hex = modCommon::fuPPAStrToHexStr(text);
    if (hex.isEmpty())
        std::abort(); // at least one byte, "00", always
    const QString sum = modCommon::fuHexStr_Data_CheckSum_Function(hex);
    if (sum.size() != 2)
        std::abort();

    static platform::CommControl closed;
    QString sent = text;
    modCommon::fuSendByteStrComData(closed, sent);
    if (!sent.startsWith(hex))
        std::abort();

    const QByteArray frame = modCommon::fuMakeFrame(QByteArrayView(data, qsizetype(size)));
    if (modCommon::Byte_Data_CheckSum_Function(frame.chopped(1)) != std::uint8_t(frame.back()))
        std::abort();
    return 0;
}
