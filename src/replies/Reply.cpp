#include "Reply.h"

#include "Numbers.h"

#include <QByteArray>
#include <cmath>
#include <array>
#include <utility>

namespace replies {
namespace {
using platform::VbError;
namespace err = platform::err;

VbError shortReply() { return VbError(err::SubscriptOutOfRange, QStringLiteral("Subscript out of range")); }
VbError notANumber() { return VbError(err::TypeMismatch, QStringLiteral("Type mismatch")); }

// Reads fields from one reply copy; the first failure sticks and later reads return nothing.
class FieldReader
{
public:
    explicit FieldReader(QByteArray copy) : m_copy(std::move(copy)) {}

    std::optional<QString> text(int position, int length)
    {
        const qsizetype first = qsizetype(position) + 2;
        if (m_failure || first + length > m_copy.size())
            return fail(shortReply());
        return QString::fromLatin1(m_copy.sliced(first, length));
    }

    std::optional<std::int32_t> whole(const QString &text)
    {
        const auto value = modCommon::wholeNumber(text);
        if (m_failure || !value)
            return fail(notANumber());
        return value;
    }

    std::optional<double> number(const QString &text)
    {
        const auto value = modCommon::numberValue(text);
        if (m_failure || !value)
            return fail(notANumber());
        return value;
    }

    std::nullopt_t fail(VbError why)
    {
        if (!m_failure)
            m_failure = std::move(why);
        return std::nullopt;
    }

    std::optional<VbError> m_failure;

private:
    QByteArray m_copy;
};

constexpr std::pair<const char *, ReplyCode> kCodes[] = {
    {"VI", ReplyCode::VI}, {"FI", ReplyCode::FI}, {"SW", ReplyCode::SW}, {"SR", ReplyCode::SR},
    {"PW", ReplyCode::PW}, {"PR", ReplyCode::PR}, {"AR", ReplyCode::AR}, {"AC", ReplyCode::AC},
    {"AW", ReplyCode::AW}, {"WC", ReplyCode::WC}, {"BG", ReplyCode::BG}, {"BA", ReplyCode::BA},
    {"SP", ReplyCode::SP}, {"SK", ReplyCode::SK},
};

void readFields(ReplyCode code, FieldReader &in, QStringList &out, std::optional<std::int32_t> &number)
{
    const auto add = [&out](const std::optional<QString> &field) {
        if (field)
            out << *field;
        return field.has_value();
    };
    switch (code) {
    case ReplyCode::SR:
        add(in.text(0, 11));
        break;
    case ReplyCode::PR:
        add(in.text(0, 4)) && add(in.text(4, 4));
        break;
    case ReplyCode::AR:
        if (const auto raw = in.text(2, 6))
            if (const auto value = in.number(*raw)) {
                add(modCommon::formatFixed(double(float(*value) / 10000.0f), 4));
                if (*value >= 0 && *value < 1e9)
                    number = std::int32_t(std::lround(*value));
            }
        break;
    case ReplyCode::WC: {
        const auto digital = in.text(0, 5);
        const auto sign = in.text(11, 1);
        const auto weight = in.text(6, 5);
        if (!digital || !sign || !weight)
            break;
        const auto value = in.whole(*digital);
        if (!value || !add(QString::number(*value)))
            break;
        const auto hundredths = in.whole((*sign == QLatin1String("-") ? QStringLiteral("-") : QString()) + *weight);
        if (hundredths) {
            add(modCommon::formatFixed(*hundredths / 100.0, 2));
            number = *hundredths;
        }
        break;
    }
    case ReplyCode::BA:
        add(in.text(1, 2));
        break;
    default:
        break;
    }
}

} // namespace

DecodedReply decodeReply(const std::uint8_t *recvBuf, std::int32_t bufSize, std::int32_t recvCnt)
{
    DecodedReply reply;
    if (recvCnt < 3)
        return reply; // nothing between the start and the end byte
    if (recvCnt >= bufSize) {
        reply.failure = shortReply();
        return reply;
    }
    // Our own copy of the code and payload: frame positions 1 to recvCnt - 2.
    FieldReader in(QByteArray(reinterpret_cast<const char *>(recvBuf) + 1, recvCnt - 2));
    if (recvCnt - 2 < 2) {
        reply.failure = shortReply();
        return reply;
    }
    const char first = char(recvBuf[1]), second = char(recvBuf[2]);
    for (const auto &[text, code] : kCodes)
        if (text[0] == first && text[1] == second)
            reply.code = code;
    readFields(reply.code, in, reply.fields, reply.value);
    reply.failure = in.m_failure;
    return reply;
}

} // namespace replies
