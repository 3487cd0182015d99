// The small pictures: resize triangles, the terminal miniature of the about box and the icons.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>

namespace pictures {

// 24 x 13, transparent, a dark triangle pointing down or up.
QImage DrawResizeTriangle(bool pointsDown);

// The whole terminal in miniature, drawn to fill body (designed for 41 x 64).
void DrawMiniTerminal(QPainter &painter, const QRectF &body);

// 41 x 64, 24-bit: the miniature on the dialog's background.
QImage DrawAboutTerminal();

// A square icon of the given side with the miniature centred on transparency; the 16-pixel one is
// drawn pixel by pixel.
QImage DrawIcon(int side);

}  // namespace pictures
