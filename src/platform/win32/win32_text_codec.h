// 8-bit text through MultiByteToWideChar with flags 0, so Windows' own tables decide, and the
// user's language from GetUserDefaultLCID. Code page 0 is the system's ANSI code page (CP_ACP).
//
// Thread safety: Decode and UserLanguage may be called from any thread.
#pragma once

#include "platform/platform.h"

namespace deltrix::platform::win32 {

class Win32TextCodec : public TextCodec {
 public:
  size_t Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                std::span<char16_t> out) override;
  // The ISO 639-1 name of the user's default locale ("ja"); empty when Windows gives none.
  std::string UserLanguage() override;
};

}  // namespace deltrix::platform::win32
