// A code-page codec for the tag tests, over glibc's iconv: 932 (Shift-JIS), 936 (GBK), 1251 and
// 1252, and 0 as `defaultCodePage`. Like the Windows converter, the bytes that CP1252 and CP1251
// leave undefined become the control character of the same value; any other invalid byte becomes
// U+FFFD. One unit at most per input byte.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/platform.h"

namespace deltrix::testing {

class IconvTestCodec : public platform::TextCodec {
 public:
  explicit IconvTestCodec(uint32_t defaultCodePage = 1252) : defaultCodePage_(defaultCodePage) {}
  size_t Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                std::span<char16_t> out) override;
  std::string UserLanguage() override { return "en"; }
  int calls = 0;

 private:
  uint32_t defaultCodePage_;
};

}  // namespace deltrix::testing
