#pragma once
// Reading the fields of a reply. A reply copy is the frame's code and payload (frame positions
// 1 to RecvCnt - 2); payload position p is copy index p + 2. Every read is checked against the
// copy: a field beyond its end throws VbError 9, a text that is not the number wanted VbError 13.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace replies {

// The reply copy of a received frame whose checksum byte is at recvCnt (so recvCnt - 2 bytes).
QByteArray fuReplyCopy(const std::uint8_t *recvBuf, std::int32_t bufSize, std::int32_t recvCnt);

// The two-character code; throws when the copy has fewer than two bytes.
QString fuReplyCode(const QByteArray &copy);

// `length` characters from payload position `position`, one character a byte.
QString fuReplyField(const QByteArray &copy, int position, int length);

// A text read as a whole number (blanks and leading zeros ignored, "-" for negative, 32 bits).
std::int32_t fuReadWholeNumber(const QString &text);

// Gravity x 10000 as six characters -> "#0.0000" (097982 -> 9.7982), single precision.
QString fuGravityText(const QString &raw);

// Live weight: sign and digits of weight x 100 -> "##0.00" (-01234 -> -12.34).
QString fuWeightText(const QString &signedDigits);

} // namespace replies
