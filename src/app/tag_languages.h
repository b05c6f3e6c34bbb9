// The "ID Tag Language" choices as the settings list them. The number handed to a run is the index
// plus one (1 Japanese ... 9 Russian; 0 means none); tag reading maps it to a code page.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace deltrix::app {

inline constexpr std::array<std::u16string_view, 9> kTagLanguageNames = {
    u"Japanese", u"Chinese", u"English", u"French", u"German",
    u"Italian",  u"Spanish", u"Dutch",   u"Russian"};

// The index preselected for a user whose language is the ISO 639-1 code `language` ("de" gives
// German); English for every other language and when it is unknown.
int DefaultTagLanguage(std::string_view language);

// The index of a name as listed, compared without regard to ASCII case; -1 when it is none of them.
int FindTagLanguage(std::string_view name);

}  // namespace deltrix::app
