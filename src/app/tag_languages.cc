#include "app/tag_languages.h"

#include <cctype>

namespace deltrix::app {

int DefaultTagLanguage(std::string_view language) {
  // The primary languages the settings know, by their ISO codes.
  static constexpr std::pair<std::string_view, int> kByCode[] = {{"ja", 0}, {"zh", 1}, {"en", 2},
                                                                 {"fr", 3}, {"de", 4}, {"it", 5},
                                                                 {"es", 6}, {"nl", 7}, {"ru", 8}};
  for (const auto& [code, index] : kByCode) {
    if (language == code) return index;
  }
  return 2;
}

int FindTagLanguage(std::string_view name) {
  for (size_t i = 0; i < kTagLanguageNames.size(); ++i) {
    const std::u16string_view listed = kTagLanguageNames[i];
    if (listed.size() != name.size()) continue;
    bool same = true;
    for (size_t k = 0; k < name.size() && same; ++k) {
      same = std::tolower(static_cast<unsigned char>(name[k])) ==
             std::tolower(static_cast<int>(listed[k]));
    }
    if (same) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace deltrix::app
