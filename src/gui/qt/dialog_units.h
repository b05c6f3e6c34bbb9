// The dialogs' layouts are drawn in dialog units: a horizontal unit is a quarter of the dialog
// font's average character width, a vertical unit an eighth of its height. The average width is
// that of the 52 letters A-Z and a-z, rounded as the layouts' home platform rounds it, so a layout
// keeps its proportions in whatever font the desktop gives us.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace deltrix::gui {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int X(int units) const { return units * averageWidth_ / 4; }
  int Y(int units) const { return units * averageHeight_ / 8; }
  // A control's rectangle: its corners are converted, so adjacent controls stay adjacent.
  QRect Rect(int x, int y, int w, int h) const {
    return QRect(QPoint(X(x), Y(y)), QPoint(X(x + w) - 1, Y(y + h) - 1));
  }
  QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }

  int averageWidth() const { return averageWidth_; }
  int averageHeight() const { return averageHeight_; }

 private:
  int averageWidth_;
  int averageHeight_;
};

// The dialog font: 10 points of the desktop's user-interface family.
QFont DialogFont();
// The same font with weight 700, for headings and values.
QFont BoldFont(const QFont& dialogFont);
// The run dialog's heading font: bold and slightly larger. Its cell height in pixels is 30 minus
// the dialog font's character height, as the layouts specify the heading.
QFont HeadingFont(const QFont& dialogFont);

}  // namespace deltrix::gui
