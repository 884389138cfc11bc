// The serial byte stream, whatever arrives: the reception state machine, and for every frame it
// accepts, the decoding that the dispatcher applies to the window.
#include "Reception.h"
#include "Reply.h"
#include "modCommon.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static replies::ReceptionState state; // kept across inputs, as for a whole run
    for (std::size_t i = 0; i < size; ++i) {
        if (state.feed(data[i]) != replies::ReceptionState::Step::FrameGood)
            continue;
        if (state.RecvCnt < 2 || state.RecvCnt >= replies::kRecvBufSize
            || state.RecvBuf[0] != 0x02 || state.RecvBuf[std::size_t(state.RecvCnt) - 1] != 0x03)
            std::abort();
        const replies::DecodedReply reply = replies::decodeReply(state.RecvBuf.data(), replies::kRecvBufSize, state.RecvCnt);
        // A reply decodes to all its fields or says why it stopped; what the log would get is
        // scrambled as the dispatcher does it.
        if (reply.fields.size() > 2 || (reply.code == replies::ReplyCode::Ignored && !reply.fields.isEmpty()))
            std::abort();
        for (const QString &field : reply.fields) {
            try {
                modCommon::fuScrambleLogText(field);
            } catch (const platform::VbError &) {
                // a character that would shift past 255: the dispatcher logs the failure
            }
        }
    }
    if (state.RecvCnt < 0 || state.RecvCnt > replies::kRecvBufSize)
        std::abort();
    return 0;
}
