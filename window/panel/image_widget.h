// A picture control: shows a pixmap at its top left corner (or stretched to
// the control), carries a Tag and reports mouse presses, releases and clicks.
// It never takes the keyboard focus, so every key reaches the main window.
#pragma once

#include <QPixmap>
#include <QWidget>

class TImage : public QWidget {
  Q_OBJECT

 public:
  explicit TImage(QWidget *parent = nullptr);

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  const QPixmap &Picture() const { return picture_; }
  void SetPicture(const QPixmap &picture);
  void ClearPicture();

  // Draw into Picture() with a QPainter, then call PictureChanged().
  QPixmap &Canvas() { return picture_; }
  void PictureChanged() {
    ++pictureWrites_;
    update();
  }

  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);

  // Number of times the picture was replaced or redrawn; a control that
  // shows drive state is only rewritten when its content changes.
  int PictureWrites() const { return pictureWrites_; }

 signals:
  void MouseDown(TImage *sender);
  void MouseUp(TImage *sender);
  void Click(TImage *sender);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;

 private:
  QPixmap picture_;
  int tag_ = 0;
  bool stretch_ = false;
  int pictureWrites_ = 0;
};
