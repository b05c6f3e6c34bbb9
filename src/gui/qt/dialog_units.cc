#include "gui/qt/dialog_units.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace deltrix::gui {

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  averageWidth_ = std::max(1, (letters / 26 + 1) / 2);
  averageHeight_ = std::max(1, metrics.height());
}

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSize(10);
  font.setWeight(QFont::Normal);
  return font;
}

QFont BoldFont(const QFont& dialogFont) {
  QFont font = dialogFont;
  font.setWeight(QFont::Bold);
  return font;
}

QFont HeadingFont(const QFont& dialogFont) {
  QFont font = BoldFont(dialogFont);
  const int characterHeight = QFontInfo(dialogFont).pixelSize();
  const int cellHeight = 30 - characterHeight;
  const QFontMetrics metrics(dialogFont);
  // A cell of `cellHeight` pixels holds characters in the proportion the dialog font has.
  const int pixels = static_cast<int>(std::lround(static_cast<double>(cellHeight) *
                                                  characterHeight / std::max(1, metrics.height())));
  font.setPixelSize(std::max(characterHeight + 1, pixels));
  return font;
}

}  // namespace deltrix::gui
