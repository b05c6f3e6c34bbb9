// Draws the Windows resource script's pictures from the Linux window's artwork (gui/qt/pictures.h):
//   deltrix-win32-pictures OUTDIR  ->  OUTDIR/program.ico, OUTDIR/question.bmp, OUTDIR/error.bmp
// The dialogs draw a picture through an image list whose mask is the pure red of the bitmap, so a
// pixel is either shown or not: the antialiased rim is blended over the dialogs' grey and the
// rest is red. The icon holds 16 to 64 pixels as 32-bit bitmaps with their masks, and 256 as PNG.
// Not part of the build's outputs: its files are checked in beside the resource script.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "gui/qt/pictures.h"

namespace {

void Le16(QByteArray& out, uint32_t v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>((v >> 8) & 0xFF));
}
void Le32(QByteArray& out, uint32_t v) {
  Le16(out, v & 0xFFFF);
  Le16(out, v >> 16);
}

// BITMAPINFOHEADER of a bottom-up bitmap; `height` counts the mask too in an icon.
void InfoHeader(QByteArray& out, int width, int height, int bits, uint32_t imageSize) {
  Le32(out, 40);
  Le32(out, static_cast<uint32_t>(width));
  Le32(out, static_cast<uint32_t>(height));
  Le16(out, 1);
  Le16(out, static_cast<uint32_t>(bits));
  Le32(out, 0);  // BI_RGB
  Le32(out, imageSize);
  Le32(out, 2835);  // 72 dpi
  Le32(out, 2835);
  Le32(out, 0);
  Le32(out, 0);
}

// A 24-bit picture: pure red where it is (mostly) transparent, blended over the dialog grey
// (240, 240, 240) elsewhere.
QByteArray PictureBmp(const QImage& picture) {
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  const int w = image.width(), h = image.height();
  const int stride = (w * 3 + 3) & ~3;
  QByteArray pixels;
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const QRgb p = image.pixel(x, y);
      const int a = qAlpha(p);
      int rgb[3] = {255, 0, 0};
      if (a >= 96) {
        const int c[3] = {qRed(p), qGreen(p), qBlue(p)};
        for (int i = 0; i < 3; ++i) rgb[i] = (c[i] * a + 240 * (255 - a)) / 255;
        if (rgb[0] == 255 && rgb[1] == 0 && rgb[2] == 0) rgb[1] = 1;  // never the mask colour
      }
      pixels.append(static_cast<char>(rgb[2]));
      pixels.append(static_cast<char>(rgb[1]));
      pixels.append(static_cast<char>(rgb[0]));
    }
    for (int pad = w * 3; pad < stride; ++pad) pixels.append('\0');
  }
  QByteArray out("BM");
  Le32(out, static_cast<uint32_t>(14 + 40 + pixels.size()));
  Le32(out, 0);
  Le32(out, 14 + 40);
  InfoHeader(out, w, h, 24, static_cast<uint32_t>(pixels.size()));
  out.append(pixels);
  return out;
}

// One icon image in the classic form: 32-bit colour with alpha, then the 1-bit mask.
QByteArray IconBitmap(const QImage& picture) {
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  const int n = image.width();
  const int maskStride = ((n + 31) / 32) * 4;
  QByteArray colour, mask;
  for (int y = n - 1; y >= 0; --y) {
    QByteArray row(maskStride, '\0');
    for (int x = 0; x < n; ++x) {
      const QRgb p = image.pixel(x, y);
      colour.append(static_cast<char>(qBlue(p)));
      colour.append(static_cast<char>(qGreen(p)));
      colour.append(static_cast<char>(qRed(p)));
      colour.append(static_cast<char>(qAlpha(p)));
      if (qAlpha(p) < 128) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    mask.append(row);
  }
  QByteArray out;
  InfoHeader(out, n, 2 * n, 32, static_cast<uint32_t>(colour.size() + mask.size()));
  out.append(colour);
  out.append(mask);
  return out;
}

QByteArray Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray ProgramIco() {
  const int sizes[] = {16, 24, 32, 48, 64, 256};
  std::vector<QByteArray> images;
  for (int size : sizes) {
    const QImage image = deltrix::gui::ProgramIconImage(size);
    images.push_back(size == 256 ? Png(image) : IconBitmap(image));
  }
  QByteArray out;
  Le16(out, 0);
  Le16(out, 1);  // icon
  Le16(out, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.append(static_cast<char>(sizes[i] & 0xFF));  // 256 is written as 0
    out.append(static_cast<char>(sizes[i] & 0xFF));
    out.append('\0');  // no palette
    out.append('\0');
    Le16(out, 1);
    Le16(out, 32);
    Le32(out, static_cast<uint32_t>(images[i].size()));
    Le32(out, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const QByteArray& image : images) out.append(image);
  return out;
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const bool ok =
      Write(folder + QStringLiteral("/program.ico"), ProgramIco()) &&
      Write(folder + QStringLiteral("/question.bmp"),
            PictureBmp(deltrix::gui::QuestionPicture())) &&
      Write(folder + QStringLiteral("/error.bmp"), PictureBmp(deltrix::gui::ErrorPicture()));
  if (!ok) {
    std::fprintf(stderr, "cannot write the pictures into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
