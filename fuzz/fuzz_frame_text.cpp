// Command texts, whatever they hold: text -> hex text -> checksum -> the bytes for the line (a
// closed port here), and the frame builder. What the sender leaves in its text is the hex text
// (two-character pieces, one space between) and the checksum's two digits; the checksum is the
// sum of the pieces where all of them are hex, else "00". Every frame's checksum must hold.
#include "CommControl.h"
#include "Frame.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

int hexDigit(char16_t c)
{
    return c >= u'0' && c <= u'9' ? c - u'0' : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static platform::CommControl closed;
    QString sent = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    modCommon::fuSendByteStrComData(closed, sent);
    if (sent.size() < 5 || sent.size() % 3 != 2)
        std::abort();
    unsigned sum = 0;
    bool allHex = true;
    for (qsizetype i = 0; i + 2 < sent.size(); i += 3) {
        if (sent[i] == u' ' || sent[i + 1] == u' ' || sent[i + 2] != u' ')
            std::abort();
        const int high = hexDigit(sent[i].unicode()), low = hexDigit(sent[i + 1].unicode());
        allHex = allHex && high >= 0 && low >= 0;
        sum += unsigned(high * 16 + low);
    }
    if (sent.right(2) != (allHex ? modCommon::fuByteToHexStr(std::uint8_t(sum)) : QStringLiteral("00")))
        std::abort();

    const QByteArray frame = modCommon::makeFrame(QByteArrayView(data, qsizetype(size)));
    if (modCommon::Byte_Data_CheckSum_Function(frame.chopped(1)) != std::uint8_t(frame.back()))
        std::abort();
    return 0;
}
