// The protocol by which the worker's questions reach the user-interface thread, the same one every
// host of a run uses. This is the one place where this front-end names the file that holds it.
#pragma once

#include "run/question_hand_over.h"

namespace deltrix::gui::win32 {

using RunHandOver = ::deltrix::run::QuestionHandOver;

}  // namespace deltrix::gui::win32
