#pragma once
// One reply decoded into plain values: its code and the fields the console acts on, in the order
// it uses them. The window's dispatcher applies the result; nothing here touches a widget.
//
// The fields are read from a copy of the frame's code and payload (a payload position p is frame
// position p + 3), so a reply dispatched while another waits cannot change the other's fields:
//
//   code  fields                                   payload positions read
//   SR    serial number, 11 characters              0-10
//   PR    password of user 1, of user 2             0-3, 4-7
//   AR    gravity value "#0.0000" (097982: 9.7982)  2-7
//   WC    digital value in decimal, no leading      0-4, 6-10 (weight x 100), 11 ("-": negative)
//         zeros; weight "##0.00" (-01234: -12.34)
//   BA    calibration mode, 2 characters            1-2
//   VI FI SW PW AC AW BG SP SK: the code alone.
//
// Reading stops at the first field that fails (a payload too short for it: error 9; a number
// field that is not a number or does not fit 32 bits: error 13): `fields` then holds the fields
// before it and `failure` says why. The WC fields are read whole before any is converted, so a
// short WC report yields no field at all.

#include "VbError.h"

#include <QStringList>
#include <cstdint>
#include <optional>

namespace replies {

enum class ReplyCode { Ignored, VI, FI, SW, SR, PW, PR, AR, AC, AW, WC, BG, BA, SP, SK };

struct DecodedReply
{
    ReplyCode code = ReplyCode::Ignored;
    QStringList fields;
    std::optional<platform::VbError> failure;
    // The number behind the shown text, once read: WC the weight x 100 (signed), AR the gravity
    // value x 10000.
    std::optional<std::int32_t> value;
};

// Decodes the frame in recvBuf whose checksum byte is at recvCnt. A frame with nothing between
// its start and end bytes, and a code not in the table (codes are case-sensitive), decode as
// Ignored without failure; a single byte between them is Ignored with failure 9 (no code).
DecodedReply decodeReply(const std::uint8_t *recvBuf, std::int32_t bufSize, std::int32_t recvCnt);

} // namespace replies
