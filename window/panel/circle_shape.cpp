#include "circle_shape.h"

#include <QPainter>
#include <algorithm>

TCircleShape::TCircleShape(QWidget *parent)
    : QWidget(parent), brushColor_(palette().color(QPalette::Button)) {
  setFocusPolicy(Qt::NoFocus);
}

void TCircleShape::SetBrushColor(const QColor &color) {
  if (color == brushColor_) {
    return;
  }
  brushColor_ = color;
  update();
}

void TCircleShape::paintEvent(QPaintEvent *) {
  const int diameter = std::min(width(), height());
  if (diameter < 2) {
    return;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(brushColor_);
  const QRectF circle((width() - diameter) / 2.0 + 0.5, (height() - diameter) / 2.0 + 0.5,
                      diameter - 1, diameter - 1);
  painter.drawEllipse(circle);
}
