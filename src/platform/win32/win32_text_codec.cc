#include "platform/win32/win32_text_codec.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace deltrix::platform::win32 {

size_t Win32TextCodec::Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                              std::span<char16_t> out) {
  const size_t n = std::find(bytes.begin(), bytes.end(), uint8_t{0}) - bytes.begin();
  if (n == 0 || out.empty()) return 0;
  // Each byte gives at most one unit in these code pages, so `n` units always suffice; the
  // converter fails outright when its buffer is short, hence the copy for a smaller `out`.
  std::vector<wchar_t> units(n);
  const int count = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<int>(n), units.data(), static_cast<int>(n));
  const size_t kept = std::min(out.size(), static_cast<size_t>(std::max(count, 0)));
  std::copy_n(units.begin(), kept, reinterpret_cast<wchar_t*>(out.data()));
  return kept;
}

std::string Win32TextCodec::UserLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  const int n =
      GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_SISO639LANGNAME, name, LOCALE_NAME_MAX_LENGTH);
  std::string language;
  for (int i = 0; i + 1 < n; ++i) {
    if (name[i] > 0x7F) return {};
    language.push_back(static_cast<char>(name[i]));
  }
  return language;
}

}  // namespace deltrix::platform::win32
