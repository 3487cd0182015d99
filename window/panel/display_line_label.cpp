#include "display_line_label.h"

TDisplayLineLabel::TDisplayLineLabel(QWidget *parent) : QLabel(parent) {
  setFocusPolicy(Qt::NoFocus);
  // Drive text is never markup, whatever characters the line holds.
  setTextFormat(Qt::PlainText);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setContentsMargins(0, 0, 0, 0);
  setMargin(0);
  setIndent(0);
}

void TDisplayLineLabel::SetLineText(const QString &text) {
  setText(text);
  adjustSize();
  ++textWrites_;
}
