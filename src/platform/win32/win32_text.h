// Small helpers shared by the Win32 layer: UTF-16 strings as the wide strings of the Win32 API
// (wchar_t is 16 bits with MinGW-w64 and MSVC alike), and paths split into names.
#pragma once

#include <string>
#include <string_view>

namespace deltrix::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 layer needs 16-bit wchar_t");

inline const wchar_t* Wide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string FromWide(const wchar_t* s, size_t n) {
  return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}

inline bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The drive letter of a path (0 for A), or -1 when it does not begin with a letter and a colon.
int LetterOf(std::u16string_view path);

// True for "E:", "E:\" and "E:\\": a letter, a colon and nothing but separators.
bool IsRoot(std::u16string_view path);

}  // namespace deltrix::platform::win32
