#include "status_bar.h"

#include <qdrawutil.h>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {
// Room between the panel frame and a text drawn by the status bar.
constexpr int kTextMargin = 2;
}  // namespace

TStatusBar::TStatusBar(QWidget *parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setFixedHeight(kHeight);
  setAutoFillBackground(true);
}

void TStatusBar::SetPanels(std::vector<TPanel> panels) {
  panels_ = std::move(panels);
  update();
}

QString TStatusBar::PanelText(int index) const {
  if (index < 0 || index >= PanelCount()) {
    return {};
  }
  return panels_[index].text;
}

void TStatusBar::SetPanelText(int index, const QString &text) {
  if (index < 0 || index >= PanelCount() || panels_[index].text == text) {
    return;
  }
  panels_[index].text = text;
  update();
}

QRect TStatusBar::PanelRect(int index) const {
  int left = 0;
  for (int i = 0; i < index && i < PanelCount(); ++i) {
    left += panels_[i].width;
  }
  const int width = (index >= 0 && index < PanelCount()) ? panels_[index].width : 0;
  // Two pixels of gap above, a one-pixel frame around the inside.
  return QRect(left + 1, 3, width - 4, height() - 4);
}

int TStatusBar::PanelAt(const QPoint &position) const {
  for (int i = 0; i < PanelCount(); ++i) {
    if (PanelRect(i).adjusted(-1, -1, 1, 1).contains(position)) {
      return i;
    }
  }
  return -1;
}

QString TStatusBar::PanelToolTip(int index) const {
  const QString text = PanelText(index);
  const int room = PanelRect(index).width() - 2 * kTextMargin;
  return fontMetrics().horizontalAdvance(text) > room ? text : QString();
}

bool TStatusBar::event(QEvent *event) {
  if (event->type() != QEvent::ToolTip) {
    return QWidget::event(event);
  }
  const auto *help = static_cast<QHelpEvent *>(event);
  const int index = PanelAt(help->pos());
  const QString tip = index >= 0 ? PanelToolTip(index) : QString();
  if (tip.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), tip, this, PanelRect(index));
  }
  return true;
}

void TStatusBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  for (int i = 0; i < PanelCount(); ++i) {
    const QRect inside = PanelRect(i);
    const QRect frame = inside.adjusted(-1, -1, 1, 1);
    qDrawShadePanel(&painter, frame, palette(), true, 1);
    painter.save();
    painter.setClipRect(inside);
    if (panels_[i].ownerDrawn) {
      if (drawPanel_) {
        drawPanel_(painter, i, inside);
      }
    } else {
      painter.setPen(palette().color(QPalette::WindowText));
      const QRect textRect = inside.adjusted(kTextMargin, 0, -kTextMargin, 0);
      // A text wider than its panel (a long port name) keeps its beginning;
      // its tooltip shows it whole.
      const bool fits =
          painter.fontMetrics().horizontalAdvance(panels_[i].text) <= textRect.width();
      const Qt::Alignment alignment = fits ? panels_[i].alignment : Qt::AlignLeft;
      painter.drawText(textRect, static_cast<int>(alignment | Qt::AlignVCenter), panels_[i].text);
    }
    painter.restore();
  }
}
