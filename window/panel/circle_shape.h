// A filled circle with a thin black outline, as wide as the smaller side of
// the control and centred in it: the terminal's LEDs.
#pragma once

#include <QColor>
#include <QWidget>

class TCircleShape : public QWidget {
  Q_OBJECT

 public:
  explicit TCircleShape(QWidget *parent = nullptr);

  QColor BrushColor() const { return brushColor_; }
  void SetBrushColor(const QColor &color);

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  QColor brushColor_;
};
