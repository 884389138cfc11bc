#pragma once
// Reply reception, byte by byte: where a frame starts and ends and whether its checksum holds.
// No widgets: frmMain feeds it from the serial control.
//
// States: idle (no flag), collecting (RecvStx), awaiting checksum (RecvStx and RecvEtx).
// A start byte 02 restarts collection from any state but the last; an end byte 03 after a start
// byte leads to awaiting checksum; the next byte, whatever its value, is the checksum and ends the
// frame. Bytes between frames are stored and summed but never handed on.
//
// Overrun: a frame that does not fit RecvBuf (more than 15000 bytes after its start byte) is
// dropped like one with a wrong checksum; nothing outside the buffer is read or written.
// Noise without a start byte is not stored once the buffer is full, and RecvCnt stops at the
// buffer's size instead of counting on towards an overflow.

#include <array>
#include <cstdint>

namespace replies {

constexpr std::int32_t kRecvBufSize = 15001; // indices 0 to 15000

struct ReceptionState
{
    enum class Step {
        Stored,       // kept as part of a frame (or of the noise between frames)
        NotStored,    // beyond the buffer's end: lost
        FrameGood,    // checksum matched: RecvBuf[0..RecvCnt] is the frame
        FrameBad,     // wrong checksum, or the frame overran the buffer
    };

    Step feed(std::uint8_t b);

    std::array<std::uint8_t, kRecvBufSize> RecvBuf{};
    std::int32_t RecvCnt = 0;  // index of the next byte; at FrameGood, the checksum's index
    std::int32_t RecvSum = 0;  // sum since the last start byte (only its low 8 bits matter)
    bool RecvStx = false;
    bool RecvEtx = false;
};

} // namespace replies
