// What a text codec gives for every byte of the 8-bit code pages the player's tags use, and for
// every lead byte followed by every other non-zero byte in the double-byte ones, written as text
// so that the answers of two systems can be compared line by line.
//
// One line per code page and first byte: "<code page> <byte>:" and then, for a single byte, the
// units it decodes to, or for a byte of 0x80 and up in 932 and 936, the units of each of the 255
// two-byte inputs <byte> 01 ... <byte> FF in turn. Units are four hex digits; the units of one
// input are joined by '+'; an input that gives nothing is "-".
#pragma once

#include <string>

#include "platform/platform.h"

namespace deltrix::codepages {

// The code pages covered, in the table's order.
inline constexpr uint32_t kCodePages[] = {932, 936, 1251, 1252};

// The whole table as `codec` answers.
std::string CodePageTable(platform::TextCodec& codec);

}  // namespace deltrix::codepages
