// The serial byte stream, whatever arrives: the reception state machine, and for every frame it
// accepts, the dispatcher's reading of that reply's fields.
#include "Reception.h"
#include "ReplyFields.h"
#include "VbError.h"
#include "modCommon.h"

#include <cstdint>
#include <cstdlib>

namespace {

// The fields each reply code reads, in the dispatcher's order.
void decode(const QByteArray &reply)
{
    using namespace replies;
    try {
        const QString code = fuReplyCode(reply);
        if (code == QLatin1String("SR")) {
            modCommon::fuScrambleLogText(fuReplyField(reply, 0, 11));
        } else if (code == QLatin1String("PR")) {
            modCommon::fuScrambleLogText(fuReplyField(reply, 0, 4));
            modCommon::fuScrambleLogText(fuReplyField(reply, 4, 4));
        } else if (code == QLatin1String("AR")) {
            fuGravityText(fuReplyField(reply, 2, 6));
        } else if (code == QLatin1String("WC")) {
            const QString digital = fuReplyField(reply, 0, 5);
            const QString sign = fuReplyField(reply, 11, 1) == QLatin1String("-") ? QStringLiteral("-") : QString();
            const QString weight = sign + fuReplyField(reply, 6, 5);
            QString::number(fuReadWholeNumber(digital));
            fuWeightText(weight);
        } else if (code == QLatin1String("BA")) {
            fuReplyField(reply, 1, 2);
        }
    } catch (const platform::VbError &) {
        // a failure ends the handling of that reply, as in the window
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static replies::ReceptionState state; // kept across inputs, as for a whole run
    for (std::size_t i = 0; i < size; ++i) {
        if (state.feed(data[i]) != replies::ReceptionState::Step::FrameGood)
            continue;
        if (state.RecvCnt < 2 || state.RecvCnt >= replies::kRecvBufSize
            || state.RecvBuf[0] != 0x02 || state.RecvBuf[std::size_t(state.RecvCnt) - 1] != 0x03)
            std::abort();
        decode(replies::fuReplyCopy(state.RecvBuf.data(), replies::kRecvBufSize, state.RecvCnt));
    }
    if (state.RecvCnt < 0 || state.RecvCnt > replies::kRecvBufSize)
        std::abort();
    return 0;
}
