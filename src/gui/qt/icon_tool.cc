// Writes the program icon as PNG files for the desktop's icon theme:
//   deltrix-gui-icons OUTDIR  ->  OUTDIR/hicolor/<n>x<n>/apps/deltrix-creator-gui.png
// Run by the build; drawing needs no display.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "gui/qt/pictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
    const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
    if (!QDir().mkpath(folder) || !deltrix::gui::ProgramIconImage(size).save(
                                      folder + QStringLiteral("/deltrix-creator-gui.png"))) {
      std::fprintf(stderr, "cannot write the %dx%d icon in %s\n", size, size, argv[1]);
      return 1;
    }
  }
  return 0;
}
