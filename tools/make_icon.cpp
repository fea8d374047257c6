// Draws the application icon at the sizes the program and the desktop use and writes them as
// PNG files: make-icon OUTDIR writes OUTDIR/brindlemoor-SIZE.png. The checked-in icons under
// data/icons were made with it.
//
// The picture: a sound source on a dark teal tile, with three wave fronts travelling right.
// Coordinates are fractions of the icon's side so every size is drawn from the same shapes.
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <cstdio>
#include <string>

namespace {

constexpr int kSizes[] = {16, 32, 48, 256};

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size, size);

  QLinearGradient tile(0.0, 0.0, 0.0, 1.0);
  tile.setColorAt(0.0, QColor(0x17, 0x7e, 0x89));
  tile.setColorAt(1.0, QColor(0x08, 0x4c, 0x61));
  painter.setPen(Qt::NoPen);
  painter.setBrush(tile);
  painter.drawRoundedRect(QRectF(0.03, 0.03, 0.94, 0.94), 0.18, 0.18);

  const QColor wave(0xf4, 0xd3, 0x5e);
  const QPointF source(0.26, 0.5);
  painter.setBrush(wave);
  painter.drawEllipse(source, 0.09, 0.09);

  QPen pen(wave, 0.075, Qt::SolidLine, Qt::RoundCap);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  constexpr double kRadii[] = {0.22, 0.38, 0.54};
  constexpr int kHalfSpanDegrees = 48;
  for (double r : kRadii) {
    const QRectF box(source.x() - r, source.y() - r, 2 * r, 2 * r);
    painter.drawArc(box, -kHalfSpanDegrees * 16, 2 * kHalfSpanDegrees * 16);
  }
  painter.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-icon OUTDIR\n");
    return 2;
  }
  for (int size : kSizes) {
    const std::string path = std::string(argv[1]) + "/brindlemoor-" + std::to_string(size) + ".png";
    if (!DrawIcon(size).save(QString::fromStdString(path), "PNG")) {
      std::fprintf(stderr, "make-icon: cannot write %s\n", path.c_str());
      return 2;
    }
  }
  return 0;
}
