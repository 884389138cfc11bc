#include "Reception.h"

namespace replies {

ReceptionState::Step ReceptionState::feed(std::uint8_t b)
{
    if (!RecvEtx) {
        if (b == 0x02) {
            RecvSum = 0;
            RecvCnt = 0;
            RecvStx = true;
        } else if (b == 0x03 && RecvStx) {
            RecvEtx = true;
        }
        RecvSum = std::int32_t(std::uint32_t(RecvSum) + b); // wraps; the low 8 bits stay exact
        if (RecvCnt >= kRecvBufSize)
            return Step::NotStored;
        RecvBuf[std::size_t(RecvCnt)] = b;
        ++RecvCnt;
        return Step::Stored;
    }

    RecvStx = false;
    RecvEtx = false;
    if (RecvCnt >= kRecvBufSize)
        return Step::FrameBad; // the frame overran the buffer: its end was never stored
    RecvBuf[std::size_t(RecvCnt)] = b;
    return b == std::uint8_t(RecvSum & 0xFF) ? Step::FrameGood : Step::FrameBad;
}

} // namespace replies
