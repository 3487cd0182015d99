#include "image_widget.h"

#include <QMouseEvent>
#include <QPainter>

TImage::TImage(QWidget *parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
}

void TImage::SetPicture(const QPixmap &picture) {
  picture_ = picture;
  ++pictureWrites_;
  update();
}

void TImage::ClearPicture() {
  picture_ = QPixmap();
  update();
}

void TImage::SetStretch(bool stretch) {
  stretch_ = stretch;
  update();
}

void TImage::paintEvent(QPaintEvent *) {
  if (picture_.isNull()) {
    return;
  }
  QPainter painter(this);
  if (stretch_) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), picture_);
  } else {
    painter.drawPixmap(0, 0, picture_);
  }
}

// Qt keeps the mouse grabbed by the control that got the press until the
// last button is released, so the release always comes back here.
void TImage::mousePressEvent(QMouseEvent *event) {
  event->accept();
  emit MouseDown(this);
}

void TImage::mouseReleaseEvent(QMouseEvent *event) {
  event->accept();
  emit MouseUp(this);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit Click(this);
  }
}

// The second press of a double click is a press like any other.
void TImage::mouseDoubleClickEvent(QMouseEvent *event) {
  mousePressEvent(event);
}
