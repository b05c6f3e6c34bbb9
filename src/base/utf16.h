// UTF-16 text as the library and the player know it: native char16_t units, zero-terminated in
// fixed buffers. The conversions to and from UTF-8 here are the strict, standard ones, for the
// edges of the program (OS paths on POSIX, what the console prints); tag decoding has its own
// rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace deltrix {

// Units before the first zero unit, at most `capacity`.
inline size_t U16Length(const char16_t* s, size_t capacity) {
  size_t n = 0;
  while (n < capacity && s[n] != 0) ++n;
  return n;
}

// Copies at most capacity - 1 units of `text` into `dst` and terminates it. Returns units copied.
size_t CopyU16(std::u16string_view text, char16_t* dst, size_t capacity);

// Standard UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// Standard UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);

// ASCII-only case folding, as used for drive letters and extensions compared by rule.
inline char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
inline char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

}  // namespace deltrix
