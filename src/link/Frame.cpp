#include "Frame.h"

#include "CommControl.h"
#include "VbError.h"
#include "modCommon.h"

#include <QStringList>

namespace modCommon {
namespace {

using platform::VbError;
namespace err = platform::err;

// The byte a hex piece stands for; throws the error a numeric conversion raises.
std::uint8_t hexByte(QStringView piece)
{
    if (piece.isEmpty())
        throw VbError(err::TypeMismatch, QStringLiteral("Type mismatch"));
    unsigned value = 0;
    for (QChar c : piece) {
        const int digit = (c >= u'0' && c <= u'9')   ? c.unicode() - u'0'
                          : (c >= u'A' && c <= u'F') ? c.unicode() - u'A' + 10
                          : (c >= u'a' && c <= u'f') ? c.unicode() - u'a' + 10
                                                     : -1;
        if (digit < 0)
            throw VbError(err::TypeMismatch, QStringLiteral("Type mismatch"));
        value = value * 16 + unsigned(digit);
        if (value > 0xFF)
            throw VbError(err::Overflow, QStringLiteral("Overflow"));
    }
    return std::uint8_t(value);
}

QByteArray hexBytes(const QString &hexText)
{
    // Piece by piece, as a split at every space would give them, without a list of copies.
    QByteArray bytes;
    bytes.reserve(hexText.size() / 3 + 1);
    for (const QStringView piece : QStringView(hexText).tokenize(u' '))
        bytes.append(char(hexByte(piece)));
    return bytes;
}

// The single-byte code of a character; characters without one become "?".
std::uint8_t ansiCode(QChar c)
{
    return c.unicode() <= 0xFF ? std::uint8_t(c.unicode()) : std::uint8_t('?');
}

} // namespace

namespace {
void appendHex(QString &out, std::uint8_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    out.append(QLatin1Char(digits[value >> 4])).append(QLatin1Char(digits[value & 0x0F]));
}
} // namespace

QString fuByteToHexStr(std::uint8_t value)
{
    QString hex;
    appendHex(hex, value);
    return hex;
}

QString fuPPAStrToHexStr(const QString &text)
{
    QString s = text.trimmed();
    s.remove(QLatin1Char(' '));
    s.replace(QLatin1String("{STX}"), QLatin1String("{02}"));
    s.replace(QLatin1String("{ETX}"), QLatin1String("{03}"));
    s.remove(QLatin1String("^["));
    s.remove(QLatin1String("\r\n"));
    if (s.isEmpty())
        return QStringLiteral("00");

    QString result;
    result.reserve(s.size() * 3);
    // Only a token's last two characters count; a shorter one is padded with "0" in front.
    QChar last[2] = {u'0', u'0'};
    bool inToken = false;
    for (QChar c : std::as_const(s)) {
        if (c == u'{') {
            inToken = true;
        } else if (c == u'}') {
            inToken = false;
            result.append(last[0]).append(last[1]).append(QLatin1Char(' '));
            last[0] = last[1] = u'0';
        } else if (inToken) {
            last[0] = last[1];
            last[1] = c;
        } else {
            appendHex(result, ansiCode(c));
            result.append(QLatin1Char(' '));
        }
    }
    if (result.isEmpty()) {
        // Nothing produced (only an unclosed token): there is no trailing space to drop.
        Save_ErrorLog(fuErrorLine("fuPPAStrToHexStr", err::InvalidProcedureCall,
                                  QStringLiteral("Invalid procedure call or argument")), true);
        return QStringLiteral("00");
    }
    result.chop(1);
    return result;
}

std::uint8_t Byte_Data_CheckSum_Function(const QByteArray &bytes)
{
    std::uint32_t sum = 0;
    for (char b : bytes)
        sum += std::uint8_t(b);
    return std::uint8_t(sum & 0xFF);
}

QByteArray fuMakeFrame(QByteArrayView codeAndPayload)
{
    QByteArray frame;
    frame.reserve(codeAndPayload.size() + 3);
    frame.append('\x02').append(codeAndPayload).append('\x03');
    frame.append(char(Byte_Data_CheckSum_Function(frame)));
    return frame;
}

QString fuHexStr_Data_CheckSum_Function(const QString &hexText)
{
    try {
        return fuByteToHexStr(Byte_Data_CheckSum_Function(hexBytes(hexText)));
    } catch (const VbError &e) {
        Save_ErrorLog(fuErrorLine("fuHexStr_Data_CheckSum_Function", e), true);
        return QStringLiteral("00");
    }
}

void fuSendByteStrComData(platform::CommControl &comm, QString &text)
{
    try {
        text = fuPPAStrToHexStr(text);
        text = text + QLatin1Char(' ') + fuHexStr_Data_CheckSum_Function(text);
        const QByteArray frame = hexBytes(text);
        if (comm.PortOpen())
            comm.Output(frame);
    } catch (const VbError &e) {
        Save_ErrorLog(fuErrorLine("fuSendByteStrComData", e), true);
    }
}

} // namespace modCommon
