// Renders the application's icon as PNG files for installation:
// icon_gen OUTDIR writes OUTDIR/NxN/deveder.png for every usual size.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "app/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icon_gen OUTDIR\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    deveder::PaintAppIcon(p, size);
    p.end();
    const QString dir = QStringLiteral("%1/%2x%2").arg(out).arg(size);
    if (!QDir().mkpath(dir) || !image.save(dir + QStringLiteral("/deveder.png"), "PNG")) {
      std::fprintf(stderr, "icon_gen: cannot write %s/deveder.png\n", dir.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
