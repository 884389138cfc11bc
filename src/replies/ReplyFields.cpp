#include "ReplyFields.h"

#include "Numbers.h"
#include "VbError.h"

namespace replies {
namespace {
using platform::VbError;
namespace err = platform::err;

[[noreturn]] void shortReply()
{
    throw VbError(err::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
}

[[noreturn]] void notANumber()
{
    throw VbError(err::TypeMismatch, QStringLiteral("Type mismatch"));
}
} // namespace

QByteArray fuReplyCopy(const std::uint8_t *recvBuf, std::int32_t bufSize, std::int32_t recvCnt)
{
    if (recvCnt < 3 || recvCnt >= bufSize)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(recvBuf) + 1, recvCnt - 2);
}

QString fuReplyCode(const QByteArray &copy)
{
    if (copy.size() < 2)
        shortReply();
    return QString::fromLatin1(copy.first(2));
}

QString fuReplyField(const QByteArray &copy, int position, int length)
{
    const qsizetype first = qsizetype(position) + 2;
    if (position < 0 || length < 0 || first + length > copy.size())
        shortReply();
    return QString::fromLatin1(copy.sliced(first, length));
}

std::int32_t fuReadWholeNumber(const QString &text)
{
    const auto value = modCommon::fuWholeNumber(text);
    if (!value)
        notANumber();
    return *value;
}

QString fuGravityText(const QString &raw)
{
    const auto value = modCommon::fuNumber(raw);
    if (!value)
        notANumber();
    return modCommon::fuFormatFixed(double(float(*value) / 10000.0f), 4);
}

QString fuWeightText(const QString &signedDigits)
{
    return modCommon::fuFormatFixed(fuReadWholeNumber(signedDigits) / 100.0, 2);
}

} // namespace replies
