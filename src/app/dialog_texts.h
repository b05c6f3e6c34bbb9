// Texts that the program puts into its dialogs while they are open, shared by every front-end (the
// fixed captions belong to each toolkit's layout).
#pragma once

#include <string_view>

namespace deltrix::app {

// The run dialog's stop question, in create and update mode alike.
inline constexpr std::u16string_view kStopQuestion =
    u"Are you sure you want to Stop creating the library?\nThe Library being created will be "
    u"discarded!";

}  // namespace deltrix::app
