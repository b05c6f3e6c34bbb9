#include "codepages/codepage_table.h"

#include <cstdio>
#include <vector>

namespace deltrix::codepages {

namespace {

void AppendUnits(platform::TextCodec& codec, uint32_t codePage, std::vector<uint8_t> bytes,
                 std::string* out) {
  std::vector<char16_t> units(bytes.size());
  const size_t n = codec.Decode(codePage, bytes, units);
  if (n == 0) out->push_back('-');
  for (size_t i = 0; i < n; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%s%04X", i ? "+" : "", static_cast<unsigned>(units[i]));
    out->append(hex);
  }
}

}  // namespace

std::string CodePageTable(platform::TextCodec& codec) {
  std::string table;
  for (uint32_t codePage : kCodePages) {
    const bool doubleByte = codePage == 932 || codePage == 936;
    for (int first = 1; first < 256; ++first) {
      char head[16];
      std::snprintf(head, sizeof head, "%u %02X:", static_cast<unsigned>(codePage), first);
      table.append(head);
      if (doubleByte && first >= 0x80) {
        for (int second = 1; second < 256; ++second) {
          table.push_back(' ');
          AppendUnits(codec, codePage, {uint8_t(first), uint8_t(second)}, &table);
        }
      } else {
        table.push_back(' ');
        AppendUnits(codec, codePage, {uint8_t(first)}, &table);
      }
      table.push_back('\n');
    }
  }
  return table;
}

}  // namespace deltrix::codepages
