#include "panel_preview.h"

#include <QPainter>

#include "face_picture.h"
#include "key_pictures.h"
#include "palette.h"
#include "small_pictures.h"
#include "terminal_layout.h"

namespace pictures {
namespace {

constexpr int kHeldKey = kKeyDisplay;
const QStringList kSampleText = {
    QStringLiteral("Kimen. frekv.   "), QStringLiteral("   50.00 Hz     "),
    QStringLiteral("Motoráram  12.4A"), QStringLiteral("0123456789ABCDEF")};

void DrawDisplayText(QPainter &painter, const TerminalLayout &l, int pixelSize) {
  QFont font(QStringLiteral("Liberation Mono"));
  font.setPixelSize(pixelSize);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(192, 192, 192));
  const int ascent = painter.fontMetrics().ascent();
  for (int line = 0; line < kSampleText.size(); ++line) {
    for (int column = 0; column < kSampleText[line].size(); ++column) {
      painter.drawText(QPoint(l.textOrigin.x() + column * l.charPitch,
                              l.textOrigin.y() + line * l.linePitch + ascent),
                       kSampleText[line].mid(column, 1));
    }
  }
}

void DrawLed(QPainter &painter, const QRect &led, const QColor &colour) {
  painter.setPen(Qt::black);
  painter.setBrush(colour);
  painter.drawEllipse(led.adjusted(0, 0, -1, -1));
}

// One panel: head strip with the resize triangle, then the face at (5, 15) and its controls.
QImage DrawPanel(const TerminalLayout &l, const QSize &panel, int resizeLeft, bool pointsDown,
                 int textPixels) {
  QImage image(panel, QImage::Format_ARGB32_Premultiplied);
  image.fill(kPanelGrey);
  const QImage strip = DrawKeyStrip(l.keySide);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QColor(96, 96, 96));
  painter.drawLine(0, 7, panel.width() - 1, 7);
  painter.drawImage(resizeLeft, 1, DrawResizeTriangle(pointsDown));
  painter.translate(5, 15);
  painter.drawImage(0, 0, DrawFace(l));
  for (int key = 0; key < kKeyCount; ++key) {
    const int image = key + (key == kHeldKey ? kKeyCount : 0);
    painter.drawImage(l.keys[key], strip, QRect(image * l.keySide, 0, l.keySide, l.keySide));
  }
  DrawLed(painter, l.errorLed, QColor(255, 0, 0));
  DrawLed(painter, l.runLed, QColor(0, 255, 0));
  DrawDisplayText(painter, l, textPixels);
  painter.end();
  return image;
}

}  // namespace

QImage DrawPanelPreview() {
  const QImage big = DrawPanel(BigLayout(), QSize(320, 500), 285, true, 21);
  const QImage small = DrawPanel(SmallLayout(), QSize(220, 345), 186, false, 15);
  QImage preview(555, 527, QImage::Format_RGB888);
  preview.fill(QColor(239, 239, 239));
  QPainter painter(&preview);
  painter.drawImage(5, 5, big);
  painter.drawImage(330, 5, small);
  painter.end();
  return preview;
}

}  // namespace pictures
