#include "gui/qt/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace deltrix::gui {

namespace {

QImage Blank(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A round badge with a light rim, the common frame of both pictures.
void DrawBadge(QPainter& p, QColor inner, QColor outer) {
  QRadialGradient fill(QPointF(12, 10), 22);
  fill.setColorAt(0, inner);
  fill.setColorAt(1, outer);
  p.setPen(QPen(outer.darker(140), 1.2));
  p.setBrush(fill);
  p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
}

}  // namespace

QImage QuestionPicture() {
  QImage image = Blank(kPictureSize);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  DrawBadge(p, QColor(120, 170, 255), QColor(20, 70, 190));
  // The question mark: a hook drawn as a thick stroke, and a dot.
  QPainterPath hook;
  hook.moveTo(11.5, 12.0);
  hook.cubicTo(11.5, 6.5, 20.5, 6.5, 20.5, 11.5);
  hook.cubicTo(20.5, 15.0, 16.0, 15.0, 16.0, 19.0);
  p.setPen(QPen(Qt::white, 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(hook);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(16.0, 24.2), 2.1, 2.1);
  return image;
}

QImage ErrorPicture() {
  QImage image = Blank(kPictureSize);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  DrawBadge(p, QColor(255, 120, 110), QColor(190, 20, 20));
  p.setPen(QPen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
  p.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
  return image;
}

QImage ProgramIconImage(int size) {
  QImage image = Blank(size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  // A memory card with its corner cut off.
  QPainterPath card;
  card.moveTo(10, 4);
  card.lineTo(42, 4);
  card.lineTo(54, 16);
  card.lineTo(54, 56);
  card.quadTo(54, 60, 50, 60);
  card.lineTo(14, 60);
  card.quadTo(10, 60, 10, 56);
  card.closeSubpath();
  QLinearGradient body(0, 4, 0, 60);
  body.setColorAt(0, QColor(60, 110, 200));
  body.setColorAt(1, QColor(20, 45, 120));
  p.setPen(QPen(QColor(12, 28, 80), 2));
  p.setBrush(body);
  p.drawPath(card);
  // Its contacts.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(235, 200, 90));
  for (int i = 0; i < 4; ++i) p.drawRect(QRectF(15 + i * 7, 8, 4, 9));
  // A beamed pair of notes on the label.
  p.setBrush(QColor(250, 250, 255));
  p.drawRoundedRect(QRectF(15, 24, 34, 30), 4, 4);
  p.setBrush(QColor(20, 45, 120));
  p.drawEllipse(QPointF(24, 46), 4.6, 3.6);
  p.drawEllipse(QPointF(40, 43), 4.6, 3.6);
  p.setPen(QPen(QColor(20, 45, 120), 2.4, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(28.2, 46), QPointF(28.2, 30));
  p.drawLine(QPointF(44.2, 43), QPointF(44.2, 27));
  p.setPen(QPen(QColor(20, 45, 120), 4.2, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(27.5, 31), QPointF(45, 28));
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
  return icon;
}

}  // namespace deltrix::gui
