#include "face_picture.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "palette.h"

namespace pictures {
namespace {

// The moulded case: face grey with rounded corners and a soft rim, on the panel grey.
void DrawCase(QPainter &painter, const TerminalLayout &l) {
  const QRectF outline(0, 0, l.face.width(), l.face.height());
  const qreal radius = 14 * l.scale;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(96, 97, 98));
  painter.drawRoundedRect(outline, radius, radius);
  QLinearGradient rim(outline.topLeft(), outline.bottomRight());
  rim.setColorAt(0.0, QColor(246, 246, 245));
  rim.setColorAt(0.5, kFaceGrey);
  rim.setColorAt(1.0, QColor(170, 170, 169));
  painter.setBrush(rim);
  painter.drawRoundedRect(outline.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
  painter.setBrush(kFaceGrey);
  const qreal inset = std::round(3 * l.scale);
  painter.drawRoundedRect(outline.adjusted(inset, inset, -inset, -inset), radius - inset,
                          radius - inset);
}

// The recessed bezel and the flat green window the display text is written on.
void DrawDisplayWindow(QPainter &painter, const TerminalLayout &l) {
  const QRectF window(l.display.left(), l.display.top(), l.display.width(), l.display.height());
  const qreal border = std::round(6 * l.scale);
  const QRectF bezel = window.adjusted(-border, -border, border, border);
  const qreal radius = 9 * l.scale;

  // The edge of the recess: shaded at the top and left, lit at the bottom and right.
  QLinearGradient recess(bezel.topLeft(), bezel.bottomRight());
  recess.setColorAt(0.0, QColor(150, 150, 149));
  recess.setColorAt(1.0, QColor(252, 252, 251));
  painter.setPen(Qt::NoPen);
  painter.setBrush(recess);
  painter.drawRoundedRect(bezel.adjusted(-1.5, -1.5, 1.5, 1.5), radius + 1.5, radius + 1.5);

  QLinearGradient frame(bezel.topLeft(), bezel.bottomLeft());
  frame.setColorAt(0.0, kBezelDark.darker(125));
  frame.setColorAt(1.0, kBezelDark.lighter(120));
  painter.setBrush(frame);
  painter.drawRoundedRect(bezel, radius, radius);

  const qreal windowRadius = 4 * l.scale;
  painter.setBrush(kDisplayGreen);
  painter.drawRoundedRect(window, windowRadius, windowRadius);
  // A narrow shadow under the top and left edges of the glass. It stays in the margin above and
  // left of the text, where the window's flat green is not needed.
  const qreal shadeDepth = std::min<qreal>(3 * l.scale, l.textOrigin.y() - l.display.top());
  QLinearGradient shadeTop(window.topLeft(), window.topLeft() + QPointF(0, shadeDepth));
  shadeTop.setColorAt(0.0, QColor(0, 0, 0, 70));
  shadeTop.setColorAt(1.0, QColor(0, 0, 0, 0));
  painter.setBrush(shadeTop);
  painter.drawRoundedRect(window, windowRadius, windowRadius);
  const qreal shadeWidth = std::min<qreal>(3 * l.scale, l.textOrigin.x() - l.display.left());
  QLinearGradient shadeLeft(window.topLeft(), window.topLeft() + QPointF(shadeWidth, 0));
  shadeLeft.setColorAt(0.0, QColor(0, 0, 0, 50));
  shadeLeft.setColorAt(1.0, QColor(0, 0, 0, 0));
  painter.setBrush(shadeLeft);
  painter.drawRoundedRect(window, windowRadius, windowRadius);
}

// An engraved line: a dark stroke with a lit edge just below and right of it.
void DrawGroove(QPainter &painter, const QPainterPath &path, qreal width) {
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kGrooveLight, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPath(path.translated(0.8, 0.8));
  painter.setPen(QPen(kGrooveDark, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPath(path);
}

// The maker's name, engraved between the display and the key frame.
void DrawMakerName(QPainter &painter, const TerminalLayout &l, qreal top, qreal bottom) {
  QFont font = LegendFont(std::lround(14 * l.scale));
  font.setLetterSpacing(QFont::AbsoluteSpacing, 3 * l.scale);
  const QString name = QStringLiteral("VELTAR");
  const QFontMetricsF metrics(font);
  const qreal width = metrics.horizontalAdvance(name) - 3 * l.scale;
  const QPointF origin(std::round((l.face.width() - width) / 2),
                       std::round((top + bottom + metrics.capHeight()) / 2));
  painter.setFont(font);
  painter.setPen(QColor(255, 255, 255, 200));
  painter.drawText(origin + QPointF(0, 1), name);
  painter.setPen(kMakerText);
  painter.drawText(origin, name);
}

QRectF KeyFrame(const TerminalLayout &l) {
  const qreal side = 8 * l.scale;
  const QRect keys = KeyRect(l, kKeyEscape).united(KeyRect(l, kKeyStop));
  const qreal top = l.errorLed.top() - std::round(14 * l.scale);
  return QRectF(side + 0.5, top + 0.5, l.face.width() - 2 * side - 1, keys.bottom() + side - top);
}

// A dark socket ring round the place of an LED.
void DrawLedSocket(QPainter &painter, const QRect &led, qreal scale) {
  const QRectF place(led.left(), led.top(), led.width(), led.height());
  const qreal ring = 3 * scale + 0.5;
  const QRectF outer = place.adjusted(-ring, -ring, ring, ring);
  QLinearGradient shade(outer.topLeft(), outer.bottomRight());
  shade.setColorAt(0.0, QColor(70, 72, 74));
  shade.setColorAt(1.0, QColor(150, 152, 154));
  painter.setPen(QPen(QColor(250, 250, 249), 1.0));
  painter.setBrush(shade);
  painter.drawEllipse(outer);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(40, 42, 44));
  painter.drawEllipse(place.adjusted(-1, -1, 1, 1));
}

// Two legend lines beside an LED, left or right aligned to a given edge.
void DrawLedLegend(QPainter &painter, const TerminalLayout &l, const QRect &led,
                   const QStringList &lines, const QColor &color, bool alignRight) {
  const QFont font = LegendFont(l.scale >= 1.0 ? 10 : 7);
  const QFontMetricsF metrics(font);
  const qreal gap = std::round(3 * l.scale);
  const qreal capHeight = metrics.capHeight();
  const qreal middle = led.top() + led.height() / 2.0;
  const qreal firstBaseline = std::round(middle - gap / 2);
  const qreal spacing = std::round(7 * l.scale);
  painter.setFont(font);
  painter.setPen(color);
  for (int i = 0; i < lines.size(); ++i) {
    const qreal baseline = firstBaseline + i * (capHeight + gap);
    const qreal width = metrics.horizontalAdvance(lines[i]);
    const qreal x = alignRight ? led.left() - spacing - width : led.right() + 1 + spacing;
    painter.drawText(QPointF(std::round(x), baseline), lines[i]);
  }
}

// Four arcs of a circle round the arrow keys, broken where each arrow key sits.
void DrawArrowRing(QPainter &painter, const TerminalLayout &l) {
  const QPointF centre = QRectF(KeyRect(l, kKeyDisplay)).center();
  const qreal radius = 1.5 * l.keySide;
  const qreal clearance = l.keySide / 2.0 + 7 * l.scale;
  const qreal gapDegrees = std::asin(clearance / radius) * 180 / std::numbers::pi;
  const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  for (int quadrant = 0; quadrant < 4; ++quadrant) {
    QPainterPath arc;
    const qreal start = 90.0 * quadrant + gapDegrees;
    const qreal sweep = 90.0 - 2 * gapDegrees;
    arc.arcMoveTo(circle, start);
    arc.arcTo(circle, start, sweep);
    DrawGroove(painter, arc, 2.2 * l.scale);
  }
}

}  // namespace

QImage DrawFace(const TerminalLayout &l) {
  QImage image(l.face, QImage::Format_ARGB32_Premultiplied);
  image.fill(kPanelGrey);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  DrawCase(painter, l);
  DrawDisplayWindow(painter, l);
  const QRectF frame = KeyFrame(l);
  const qreal bezelBottom = l.display.bottom() + 6 * l.scale;
  DrawMakerName(painter, l, bezelBottom, frame.top());

  QPainterPath outline;
  outline.addRoundedRect(frame, 10 * l.scale, 10 * l.scale);
  DrawGroove(painter, outline, 1.4 * l.scale);

  DrawLedSocket(painter, l.errorLed, l.scale);
  DrawLedSocket(painter, l.runLed, l.scale);
  DrawLedLegend(painter, l, l.errorLed, {QStringLiteral("HIBA"), QStringLiteral("ERROR")},
                kErrorRed, false);
  DrawLedLegend(painter, l, l.runLed, {QStringLiteral("ÜZEM"), QStringLiteral("RUN")}, kRunGreen,
                true);
  DrawArrowRing(painter, l);
  painter.end();
  return image.convertToFormat(QImage::Format_RGB888);
}

}  // namespace pictures
