#include "test_codec.h"

#include <iconv.h>

#include <cstring>

namespace deltrix::testing {

size_t IconvTestCodec::Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                              std::span<char16_t> out) {
  ++calls;
  if (codePage == 0) codePage = defaultCodePage_;
  const char* name = codePage == 932    ? "CP932"
                     : codePage == 936  ? "GBK"
                     : codePage == 1251 ? "CP1251"
                                        : "CP1252";
  const bool singleByte = codePage == 1251 || codePage == 1252;
  iconv_t cd = iconv_open("UTF-16LE", name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  // Converts `length` bytes at `in` into one unit; false when they do not make exactly one
  // character.
  auto convert = [&](const uint8_t* in, size_t length, char16_t* unit) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char inBytes[2] = {static_cast<char>(in[0]), length > 1 ? static_cast<char>(in[1]) : char{0}};
    char buffer[8];
    char* inPtr = inBytes;
    char* outPtr = buffer;
    size_t inLeft = length;
    size_t outLeft = sizeof buffer;
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r == static_cast<size_t>(-1) || inLeft != 0 || sizeof buffer - outLeft != 2) return false;
    std::memcpy(unit, buffer, 2);
    return true;
  };
  size_t n = 0;
  size_t i = 0;
  while (i < bytes.size() && bytes[i] != 0 && n < out.size()) {
    char16_t unit;
    if (convert(&bytes[i], 1, &unit)) {
      i += 1;
    } else if (!singleByte && i + 1 < bytes.size() && bytes[i + 1] != 0 &&
               convert(&bytes[i], 2, &unit)) {
      i += 2;
    } else {
      unit = singleByte ? static_cast<char16_t>(bytes[i]) : char16_t{0xFFFD};
      i += 1;
    }
    out[n++] = unit;
  }
  iconv_close(cd);
  return n;
}

}  // namespace deltrix::testing
