// The protocol by which the worker's questions reach the user-interface thread, the same one the
// Linux window uses. This is the one place where this front-end names the file that holds it.
#pragma once

#include "gui/qt/run_hand_over.h"

namespace deltrix::gui::win32 {

using RunHandOver = ::deltrix::gui::RunHandOver;

}  // namespace deltrix::gui::win32
