#include "key_pictures.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <vector>

#include "palette.h"
#include "terminal_layout.h"

namespace pictures {
namespace {

// Sizes of one key image, derived from its side (60 big, 40 small).
struct KeyGeometry {
  explicit KeyGeometry(int side)
      : side(side),
        k(side / 60.0),
        margin(side >= 60 ? 3.0 : 2.0),
        travel(side >= 60 ? 2.0 : 1.0),
        radius(8.0 * k),
        bevel(side >= 60 ? 4.0 : 2.0) {}

  QRectF Body(bool pressed) const {
    const qreal size = side - 2 * margin - travel;
    const qreal offset = margin + (pressed ? travel : 0.0);
    return QRectF(offset, offset, size, size);
  }
  QRectF Cap(bool pressed) const { return Body(pressed).adjusted(bevel, bevel, -bevel, -bevel); }

  int side;
  qreal k;
  qreal margin;
  qreal travel;  // how far the key sinks when pressed; also the shadow offset
  qreal radius;
  qreal bevel;
};

// The shallow well that the key sits in, fading into the face at the image border.
void DrawWell(QPainter &painter, const KeyGeometry &g) {
  const QRectF well(0.5, 0.5, g.side - 1.0, g.side - 1.0);
  QLinearGradient shade(well.topLeft(), well.bottomRight());
  shade.setColorAt(0.0, QColor(204, 204, 203));
  shade.setColorAt(1.0, QColor(236, 236, 235));
  painter.setPen(Qt::NoPen);
  painter.setBrush(shade);
  painter.drawRoundedRect(well, g.radius + g.margin, g.radius + g.margin);
  painter.setBrush(kFaceGrey);
  painter.drawRoundedRect(well.adjusted(1, 1, -1, -1), g.radius + g.margin - 1,
                          g.radius + g.margin - 1);
}

// The soft shadow a raised key throws to the bottom and right.
void DrawDropShadow(QPainter &painter, const KeyGeometry &g) {
  const QRectF body = g.Body(false);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 0, 0, 34));
  painter.drawRoundedRect(body.translated(g.travel + 0.5, g.travel + 0.5), g.radius, g.radius);
  painter.setBrush(QColor(0, 0, 0, 52));
  painter.drawRoundedRect(body.translated(g.travel * 0.6, g.travel * 0.6), g.radius, g.radius);
}

// The key body: bevelled sides lit from the top left, then the slightly domed top surface.
void DrawBody(QPainter &painter, const KeyGeometry &g, const QColor &base, bool pressed) {
  const QRectF body = g.Body(pressed);
  const QRectF cap = g.Cap(pressed);
  const QColor lit = base.lighter(pressed ? 104 : 128);
  const QColor dark = base.darker(pressed ? 118 : 140);

  QLinearGradient sides(body.topLeft(), body.bottomRight());
  sides.setColorAt(0.0, pressed ? dark : lit);
  sides.setColorAt(0.5, base);
  sides.setColorAt(1.0, pressed ? lit : dark);
  painter.setPen(QPen(base.darker(175), 1.0));
  painter.setBrush(sides);
  painter.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), g.radius, g.radius);

  QLinearGradient top(cap.topLeft(), cap.bottomLeft());
  const QColor capBase = pressed ? base.darker(106) : base;
  top.setColorAt(0.0, capBase.lighter(pressed ? 103 : 112));
  top.setColorAt(1.0, capBase.darker(pressed ? 104 : 103));
  painter.setPen(Qt::NoPen);
  painter.setBrush(top);
  const qreal capRadius = std::max(1.5, g.radius - g.bevel * 0.6);
  painter.drawRoundedRect(cap, capRadius, capRadius);

  if (pressed) {
    // Inner shadow along the top and left of the sunken top surface.
    QLinearGradient shadow(cap.topLeft(), cap.topLeft() + QPointF(g.bevel * 1.5, g.bevel * 1.5));
    shadow.setColorAt(0.0, QColor(0, 0, 0, 70));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    painter.setBrush(shadow);
    painter.drawRoundedRect(cap, capRadius, capRadius);
  } else {
    // A soft sheen over the upper part of the surface.
    QLinearGradient sheen(cap.topLeft(), cap.bottomLeft());
    sheen.setColorAt(0.0, QColor(255, 255, 255, 70));
    sheen.setColorAt(0.45, QColor(255, 255, 255, 0));
    painter.setBrush(sheen);
    painter.drawRoundedRect(cap, capRadius, capRadius);
  }
}

QPolygonF UpArrowShape(const QRectF &box) {
  const qreal w = box.width();
  const qreal h = box.height();
  const qreal cx = box.center().x();
  const qreal head = h * 0.52;
  const qreal stem = w * 0.30;
  return QPolygonF({QPointF(cx, box.top()), QPointF(box.right(), box.top() + head),
                    QPointF(cx + stem / 2, box.top() + head), QPointF(cx + stem / 2, box.bottom()),
                    QPointF(cx - stem / 2, box.bottom()), QPointF(cx - stem / 2, box.top() + head),
                    QPointF(box.left(), box.top() + head)});
}

qreal ArrowRotation(ArrowDirection direction) {
  switch (direction) {
    case ArrowDirection::kUp:
      return 0;
    case ArrowDirection::kRight:
      return 90;
    case ArrowDirection::kDown:
      return 180;
    case ArrowDirection::kLeft:
      return 270;
  }
  return 0;
}

// One size for all two-line legends, so the text keys match; the one-word keys get larger type.
QFont KeyLegendFont(const KeyFace &face, const KeyGeometry &g, qreal width) {
  if (face.lines.size() == 1) {
    return FittingFont(face.lines, std::lround(13 * g.k), width);
  }
  QStringList allLines;
  for (int key = 0; key < kKeyCount; ++key) {
    const KeyFace other = KeyFaceOf(key);
    if (other.lines.size() > 1) {
      allLines += other.lines;
    }
  }
  return FittingFont(allLines, std::lround(11 * g.k), width);
}

QRectF ArrowBox(const QRectF &cap) {
  const qreal side = std::round(cap.width() * 0.5);
  QRectF box(0, 0, side, side);
  box.moveCenter(cap.center());
  return box;
}

struct PlacedLine {
  QString text;
  QPointF origin;  // left end of the baseline
};

// Lines are stacked by their capital height, so the block looks centred whatever accents it has,
// and placed on whole pixels so the letters stay crisp.
std::vector<PlacedLine> PlaceLegend(const QRectF &area, const QStringList &lines,
                                    const QFont &font) {
  const QFontMetricsF metrics(font);
  const qreal capHeight = metrics.capHeight();
  const qreal gap = std::round(capHeight * 0.6);
  const qreal block = lines.size() * capHeight + (lines.size() - 1) * gap;
  const qreal firstBaseline = std::round(area.center().y() - block / 2 + capHeight);
  std::vector<PlacedLine> placed;
  for (int i = 0; i < lines.size(); ++i) {
    const qreal x = std::round(area.center().x() - metrics.horizontalAdvance(lines[i]) / 2);
    placed.push_back({lines[i], QPointF(x, firstBaseline + i * (capHeight + gap))});
  }
  return placed;
}

}  // namespace

KeyFace KeyFaceOf(int key) {
  auto arrow = [](ArrowDirection d) { return KeyFace{kKeyGrey, kArrowGrey, {}, true, d}; };
  auto text = [](const QColor &body, const QColor &ink, QStringList lines) {
    return KeyFace{body, ink, std::move(lines), false, ArrowDirection::kUp};
  };
  switch (key) {
    case kKeyUp:
      return arrow(ArrowDirection::kUp);
    case kKeyLeft:
      return arrow(ArrowDirection::kLeft);
    case kKeyDisplay:
      return text(kKeyGrey, Qt::black, {QStringLiteral("KIJELZŐ"), QStringLiteral("DISPLAY")});
    case kKeyRight:
      return arrow(ArrowDirection::kRight);
    case kKeyDown:
      return arrow(ArrowDirection::kDown);
    case kKeyEscape:
      return text(kKeyGrey, Qt::black, {QStringLiteral("KILÉP"), QStringLiteral("ESCAPE")});
    case kKeyEnter:
      return text(kKeyGrey, Qt::black, {QStringLiteral("ELFOGAD"), QStringLiteral("ENTER")});
    case kKeyJog:
      return text(kKeyGrey, Qt::black, {QStringLiteral("KÚSZÁS"), QStringLiteral("JOG")});
    case kKeyDirection:
      return text(kKeyGrey, Qt::black, {QStringLiteral("IRÁNY"), QStringLiteral("DIR.")});
    case kKeyStart:
      return text(kKeyGreen, Qt::white, {QStringLiteral("START")});
    case kKeyStop:
      return text(kKeyRed, Qt::white, {QStringLiteral("STOP")});
    default:
      return text(kKeyGrey, Qt::black, {});
  }
}

void DrawArrow(QPainter &painter, const QRectF &box, ArrowDirection direction,
               const QColor &color) {
  const QPointF centre = box.center();
  QTransform turn;
  turn.translate(centre.x(), centre.y());
  turn.rotate(ArrowRotation(direction));
  turn.translate(-centre.x(), -centre.y());
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawPolygon(turn.map(UpArrowShape(box)));
}

QFont FittingFont(const QStringList &lines, int startPixels, qreal maxWidth) {
  constexpr int kMinimumPixels = 5;
  for (int size = startPixels; size > kMinimumPixels; --size) {
    for (int stretch : {100, 94, 88}) {
      const QFont font = LegendFont(size, stretch);
      const QFontMetricsF metrics(font);
      const bool fits = std::all_of(lines.begin(), lines.end(), [&](const QString &line) {
        return metrics.horizontalAdvance(line) <= maxWidth;
      });
      if (fits) {
        return font;
      }
    }
  }
  return LegendFont(kMinimumPixels, 88);
}

void DrawLegend(QPainter &painter, const QRectF &area, const QStringList &lines,
                const QColor &color, const QFont &font) {
  painter.setFont(font);
  painter.setPen(color);
  for (const PlacedLine &line : PlaceLegend(area, lines, font)) {
    painter.drawText(line.origin, line.text);
  }
}

QRectF KeyCap(int side, bool pressed) {
  return KeyGeometry(side).Cap(pressed);
}

QRectF KeyLegendBounds(int key, int side, bool pressed) {
  const KeyGeometry g(side);
  const KeyFace face = KeyFaceOf(key);
  const QRectF cap = g.Cap(pressed);
  if (face.isArrow) {
    return ArrowBox(cap);
  }
  const QFont font = KeyLegendFont(face, g, cap.width());
  const QFontMetricsF metrics(font);
  QRectF bounds;
  for (const PlacedLine &line : PlaceLegend(cap, face.lines, font)) {
    bounds |= metrics.tightBoundingRect(line.text).translated(line.origin);
  }
  return bounds;
}

QImage DrawKey(int key, int side, bool pressed) {
  const KeyGeometry g(side);
  const KeyFace face = KeyFaceOf(key);
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(kFaceGrey);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  DrawWell(painter, g);
  if (!pressed) {
    DrawDropShadow(painter, g);
  }
  DrawBody(painter, g, face.body, pressed);

  // The legend sits on the top surface, so it sinks with the key.
  const QRectF cap = g.Cap(pressed);
  if (face.isArrow) {
    DrawArrow(painter, ArrowBox(cap), face.arrow, face.legend);
  } else {
    DrawLegend(painter, cap, face.lines, face.legend, KeyLegendFont(face, g, cap.width()));
  }
  painter.end();
  return image.convertToFormat(QImage::Format_RGB888);
}

QImage DrawKeyStrip(int side) {
  QImage strip(side * 2 * kKeyCount, side, QImage::Format_RGB888);
  strip.fill(kFaceGrey);
  QPainter painter(&strip);
  for (int pressed = 0; pressed < 2; ++pressed) {
    for (int key = 0; key < kKeyCount; ++key) {
      painter.drawImage(side * (key + pressed * kKeyCount), 0, DrawKey(key, side, pressed != 0));
    }
  }
  painter.end();
  return strip;
}

}  // namespace pictures
