#include "small_pictures.h"

#include <QLinearGradient>
#include <QPolygonF>

#include <cmath>

#include "palette.h"

namespace pictures {
namespace {

constexpr qreal kMiniWidth = 41;
constexpr qreal kMiniHeight = 64;

// A background close to the dialog's own, for the corners the rounded case leaves free.
const QColor kDialogBackground(239, 239, 239);

void DrawMiniKey(QPainter &painter, const QRectF &key, const QColor &colour) {
  QLinearGradient shade(key.topLeft(), key.bottomLeft());
  shade.setColorAt(0.0, colour.lighter(118));
  shade.setColorAt(1.0, colour.darker(112));
  painter.setPen(QPen(colour.darker(170), 0.8));
  painter.setBrush(shade);
  painter.drawRoundedRect(key, 1.2, 1.2);
}

void DrawMiniLamp(QPainter &painter, const QPointF &centre, const QColor &colour) {
  painter.setPen(QPen(colour.darker(160), 0.8));
  painter.setBrush(colour);
  painter.drawEllipse(centre, 2.3, 2.3);
}

// At 16 pixels the miniature is drawn pixel by pixel: scaled down it would only be a blur.
QImage DrawTinyTerminal() {
  static const char *const kRows[16] = {
      "..oooooooooooo..", ".obbbbbbbbbbbbo.", ".obkkkkkkkkkkbo.", ".obkggggggggkbo.",
      ".obkgssssssgkbo.", ".obkggggggggkbo.", ".obkkkkkkkkkkbo.", ".obbbbbbbbbbbbo.",
      ".obrbbbeebbbGbo.", ".obbbbbbbbbbbbo.", ".obbeebeebeebbo.", ".obbbbbbbbbbbbo.",
      ".obbbbbeebbbbbo.", ".obbbbbbbbbbbbo.", ".oeebeebnnbRRbo.", "..oooooooooooo..",
  };
  auto colourOf = [](char code) -> QColor {
    switch (code) {
      case 'o':
        return QColor(96, 97, 98);
      case 'b':
        return QColor(228, 228, 227);
      case 'k':
        return kBezelDark;
      case 'g':
        return kDisplayGreen;
      case 's':
        return QColor(150, 196, 150);
      case 'r':
        return QColor(225, 30, 30);
      case 'G':
        return QColor(30, 200, 60);
      case 'e':
        return QColor(138, 140, 143);
      case 'n':
        return QColor(36, 150, 64);
      case 'R':
        return QColor(204, 36, 36);
      default:
        return Qt::transparent;
    }
  };
  QImage image(16, 16, QImage::Format_ARGB32);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      image.setPixelColor(x, y, colourOf(kRows[y][x]));
    }
  }
  return image;
}

}  // namespace

QImage DrawResizeTriangle(bool pointsDown) {
  QImage image(24, 13, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal top = 3.5;
  const qreal bottom = 9.5;
  const QPolygonF down({QPointF(6.5, top), QPointF(17.5, top), QPointF(12, bottom)});
  const QPolygonF up({QPointF(6.5, bottom), QPointF(17.5, bottom), QPointF(12, top)});
  const QPolygonF &shape = pointsDown ? down : up;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(190, 190, 190, 150));
  painter.drawPolygon(shape.translated(0.7, 0.7));
  painter.setBrush(QColor(36, 36, 38));
  painter.drawPolygon(shape);
  painter.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

void DrawMiniTerminal(QPainter &painter, const QRectF &body) {
  painter.save();
  painter.translate(body.topLeft());
  painter.scale(body.width() / kMiniWidth, body.height() / kMiniHeight);

  const QRectF outline(0.5, 0.5, kMiniWidth - 1, kMiniHeight - 1);
  QLinearGradient caseShade(outline.topLeft(), outline.bottomRight());
  caseShade.setColorAt(0.0, QColor(238, 238, 237));
  caseShade.setColorAt(1.0, QColor(206, 206, 205));
  painter.setPen(QPen(QColor(104, 105, 106), 1.0));
  painter.setBrush(caseShade);
  painter.drawRoundedRect(outline, 3, 3);

  painter.setPen(Qt::NoPen);
  painter.setBrush(kBezelDark);
  painter.drawRoundedRect(QRectF(4, 4, 33, 16), 2, 2);
  painter.setBrush(kDisplayGreen);
  painter.drawRect(QRectF(6, 6, 29, 12));
  painter.setBrush(QColor(192, 192, 192, 150));
  painter.drawRect(QRectF(8, 8, 19, 1));
  painter.drawRect(QRectF(8, 11, 24, 1));
  painter.drawRect(QRectF(8, 14, 14, 1));

  DrawMiniLamp(painter, QPointF(7.5, 25), QColor(220, 30, 30));
  DrawMiniLamp(painter, QPointF(33.5, 25), QColor(30, 190, 60));

  const QColor grey(168, 170, 173);
  const qreal keyW = 7;
  const qreal keyH = 6;
  const QPointF cross(17, 36);  // top-left of the middle key of the cross
  DrawMiniKey(painter, QRectF(cross, QSizeF(keyW, keyH)), grey);
  DrawMiniKey(painter, QRectF(cross + QPointF(0, -(keyH + 1)), QSizeF(keyW, keyH)), grey);
  DrawMiniKey(painter, QRectF(cross + QPointF(0, keyH + 1), QSizeF(keyW, keyH)), grey);
  DrawMiniKey(painter, QRectF(cross + QPointF(-(keyW + 1), 0), QSizeF(keyW, keyH)), grey);
  DrawMiniKey(painter, QRectF(cross + QPointF(keyW + 1, 0), QSizeF(keyW, keyH)), grey);

  const QColor bottomRow[] = {grey, grey, QColor(36, 150, 64), QColor(204, 36, 36)};
  for (int i = 0; i < 4; ++i) {
    DrawMiniKey(painter, QRectF(3 + i * 9, 54, 8, keyH), bottomRow[i]);
  }
  painter.restore();
}

QImage DrawAboutTerminal() {
  QImage image(41, 64, QImage::Format_ARGB32_Premultiplied);
  image.fill(kDialogBackground);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawMiniTerminal(painter, QRectF(0, 0, 41, 64));
  painter.end();
  return image.convertToFormat(QImage::Format_RGB888);
}

QImage DrawIcon(int side) {
  if (side == 16) {
    return DrawTinyTerminal();
  }
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Keep the case on whole pixels.
  const qreal width = std::round(side * kMiniWidth / kMiniHeight);
  const qreal left = std::floor((side - width) / 2);
  DrawMiniTerminal(painter, QRectF(left, 0, width, side));
  painter.end();
  return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace pictures
