// One line of the terminal display: a plain-text label with a transparent
// background that sizes itself to its text. It counts how often its text was
// written, since a line is only rewritten when it changes.
#pragma once

#include <QLabel>

class TDisplayLineLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TDisplayLineLabel(QWidget *parent = nullptr);

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // Sets the text and fits the label to it.
  void SetLineText(const QString &text);
  int TextWrites() const { return textWrites_; }

 private:
  int tag_ = 0;
  int textWrites_ = 0;
};
