#pragma once
// Command texts to checksummed frames.
//
// A command text is literal characters (one byte each, their single-byte code) and brace tokens
// "{hh}" (one byte, hexadecimal; only the last two characters of the content count, a shorter
// content is padded with "0"). "{STX}" and "{ETX}" stand for "{02}" and "{03}". Spaces are
// ignored everywhere, "^[" and CR LF are removed. The hex text is the bytes as two hex digits each,
// separated by single spaces. The checksum is the sum of all bytes modulo 256.
//
// Every procedure here catches its own errors: it hands "<name> : (error n)  <description>" to
// Save_ErrorLog and returns its fallback ("00", 0, or nothing sent).

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace platform {
class CommControl;
}

namespace modCommon {

// Converts text, appends the checksum, writes the frame to comm in one Output call if the port is
// open. text is replaced by the frame's whole hex text, checksum included.
void fuSendByteStrComData(platform::CommControl &comm, QString &text);

QString fuPPAStrToHexStr(const QString &text);
QString fuHexStr_Data_CheckSum_Function(const QString &hexText);
std::uint8_t Byte_Data_CheckSum_Function(const QByteArray &bytes);
QString fuByteToHexStr(std::uint8_t value);

// A whole frame from its code and payload bytes: 02, the bytes, 03, the checksum.
QByteArray makeFrame(QByteArrayView codeAndPayload);

} // namespace modCommon
