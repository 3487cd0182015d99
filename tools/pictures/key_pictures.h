// The key images: 11 keys, each released and pressed, in one size.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QStringList>

namespace pictures {

enum class ArrowDirection { kUp, kLeft, kRight, kDown };

struct KeyFace {
  QColor body;
  QColor legend;
  QStringList lines;  // text legend, top to bottom; empty for an arrow key
  bool isArrow = false;
  ArrowDirection arrow = ArrowDirection::kUp;
};

// What key i shows (i = 0 to 10).
KeyFace KeyFaceOf(int key);

// Key i, released or pressed, as a square image of the given side on the face grey.
QImage DrawKey(int key, int side, bool pressed);

// The 22 images of one size side by side: keys 0 to 10 released, then 0 to 10 pressed.
QImage DrawKeyStrip(int side);

// A filled arrow centred in box, pointing the given way.
void DrawArrow(QPainter &painter, const QRectF &box, ArrowDirection direction, const QColor &color);

// Text lines centred in area, in the given font.
void DrawLegend(QPainter &painter, const QRectF &area, const QStringList &lines,
                const QColor &color, const QFont &font);

// The top surface of a key image, where its legend is printed.
QRectF KeyCap(int side, bool pressed);

// The rectangle the inked legend of key i covers (text or arrow), in image pixels.
QRectF KeyLegendBounds(int key, int side, bool pressed);

// The largest legend font, not above startPixels, in which every line fits in maxWidth. At each
// size the letters are first narrowed a little before the next smaller size is tried.
QFont FittingFont(const QStringList &lines, int startPixels, qreal maxWidth);

}  // namespace pictures
