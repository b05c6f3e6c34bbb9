// The program's own pictures, drawn with paths (no font, no image files): the 32 x 32 question
// picture of the stop question and the start confirmation, the 32 x 32 error picture of the error
// and skip dialogs, and the program icon at any size. Each dialog draws its picture at client
// pixel (19, 15). Drawing needs no running application, so the build can write the icon files.
#pragma once

#include <QIcon>
#include <QImage>

namespace deltrix::gui {

inline constexpr int kPictureSize = 32;
inline constexpr int kPictureX = 19;
inline constexpr int kPictureY = 15;

QImage QuestionPicture();
QImage ErrorPicture();
// The program icon: a memory card with a note on it, `size` pixels square.
QImage ProgramIconImage(int size);
// The icon at the sizes a desktop asks for.
QIcon ProgramIcon();

}  // namespace deltrix::gui
