// 8-bit text in the Windows code pages the player's tags use, decoded as the Windows converter
// decodes it, with tables built once per code page from glibc's iconv.
//
// Where glibc and Windows differ, Windows wins: in 1252 the five unassigned bytes 0x81 0x8D 0x8F
// 0x90 0x9D decode to U+0081 ... U+009D, in 1251 0x98 to U+0098, in 932 the single bytes 0x80,
// 0xA0, 0xFD, 0xFE, 0xFF to U+0080, U+F8F0, U+F8F1, U+F8F2, U+F8F3, and in 936 0xFF to U+F8F5, the
// user-defined areas (AAA1-AFFE, F8A1-FEFE, A140-A7A0) to the private use area from U+E000 and the
// empty positions between GB2312's characters to it from U+E766. Every byte and byte pair agrees
// with Windows' converter (tests/codepages holds its answers, recorded under Wine).
//
// Invalid double-byte text decodes as Windows decodes it: a lead byte takes the next byte with
// it whatever that byte is, and a pair the code page leaves unassigned gives the code page's
// default character (U+30FB in 932, "?" in 936) once; a lead byte at the end, or before a zero
// byte, gives the default character. So every unit out stands for at least one byte in. Other
// code pages decode as 1252. Without iconv's modules for a code page, its bytes below 0x80 decode
// as ASCII and the others to U+FFFD.
//
// Thread safety: Decode may be called from any thread; each table is built once, under a
// std::call_once, on the first use of its code page.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::platform::posix {

class IconvTextCodec : public TextCodec {
 public:
  IconvTextCodec();
  ~IconvTextCodec() override;

  size_t Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                std::span<char16_t> out) override;
  // From LC_ALL, LC_MESSAGES, then LANG: "ja_JP.UTF-8" gives "ja"; "C", "POSIX" or unset give "".
  std::string UserLanguage() override;

  // The code page that code page 0 stands for: ja 932, zh 936, ru uk be bg sr mk 1251, else 1252.
  static uint32_t CodePageForLanguage(std::string_view language);

 private:
  struct Table;
  Table& TableFor(uint32_t codePage);

  struct Slot {
    std::once_flag once;
    std::unique_ptr<Table> table;
  };
  Slot slots_[4];  // 932, 936, 1251, 1252
};

}  // namespace deltrix::platform::posix
