#include "Frame.h"

#include "CommControl.h"
#include "VbError.h"
#include "modCommon.h"

#include <optional>

namespace modCommon {
namespace {

using platform::VbError;
namespace err = platform::err;

// The bytes a hex text stands for, piece by piece between single spaces (as a split at every
// space gives them), or the error a numeric conversion raises at the first piece that is not a
// byte: an empty or non-hex piece is a type mismatch, one above FF an overflow. Failures are
// values, not exceptions: odd command texts are common and the sender only logs them.
struct HexBytes
{
    QByteArray bytes;
    std::optional<VbError> failure;
};

HexBytes hexBytes(QStringView hexText)
{
    HexBytes out;
    out.bytes.reserve(hexText.size() / 3 + 1);
    unsigned value = 0;
    qsizetype digits = 0;
    for (qsizetype i = 0; i <= hexText.size(); ++i) {
        const char16_t c = i < hexText.size() ? hexText[i].unicode() : u' ';
        if (c == u' ') {
            if (digits == 0) {
                out.failure = VbError(err::TypeMismatch, QStringLiteral("Type mismatch"));
                return out;
            }
            out.bytes.append(char(value));
            value = 0;
            digits = 0;
            continue;
        }
        const int digit = (c >= u'0' && c <= u'9')   ? c - u'0'
                          : (c >= u'A' && c <= u'F') ? c - u'A' + 10
                          : (c >= u'a' && c <= u'f') ? c - u'a' + 10
                                                     : -1;
        if (digit < 0) {
            out.failure = VbError(err::TypeMismatch, QStringLiteral("Type mismatch"));
            return out;
        }
        value = value * 16 + unsigned(digit);
        ++digits;
        if (value > 0xFF) {
            out.failure = VbError(err::Overflow, QStringLiteral("Overflow"));
            return out;
        }
    }
    return out;
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
    QString s = text; // every space goes; other white space (a tab) is a character like any other
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
        Save_ErrorLog(errorLine("fuPPAStrToHexStr", err::InvalidProcedureCall,
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

QByteArray makeFrame(QByteArrayView codeAndPayload)
{
    QByteArray frame;
    frame.reserve(codeAndPayload.size() + 3);
    frame.append('\x02').append(codeAndPayload).append('\x03');
    frame.append(char(Byte_Data_CheckSum_Function(frame)));
    return frame;
}

QString fuHexStr_Data_CheckSum_Function(const QString &hexText)
{
    const HexBytes data = hexBytes(hexText);
    if (data.failure) {
        Save_ErrorLog(errorLine("fuHexStr_Data_CheckSum_Function", *data.failure), true);
        return QStringLiteral("00");
    }
    return fuByteToHexStr(Byte_Data_CheckSum_Function(data.bytes));
}

void fuSendByteStrComData(platform::CommControl &comm, QString &text)
{
    try {
        text = fuPPAStrToHexStr(text);
        text = text + QLatin1Char(' ') + fuHexStr_Data_CheckSum_Function(text);
        const HexBytes frame = hexBytes(text);
        if (frame.failure) {
            Save_ErrorLog(errorLine("fuSendByteStrComData", *frame.failure), true);
            return;
        }
        if (comm.PortOpen())
            comm.Output(frame.bytes);
    } catch (const VbError &e) {
        Save_ErrorLog(errorLine("fuSendByteStrComData", e), true);
    }
}

} // namespace modCommon
