#include "display_renderer.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include "circle_shape.h"
#include "display_colors.h"
#include "display_line_label.h"
#include "image_widget.h"
#include "status_bar.h"

TDisplayRenderer::TDisplayRenderer(TFrontPanel &panel, TDisplayModel &model)
    : panel_(panel), model_(model) {
  DrawLeds();
  model_.Attach(this);
}

TDisplayRenderer::~TDisplayRenderer() {
  model_.Detach(this);
}

QColor TDisplayRenderer::ButtonFace() {
  return QApplication::palette().color(QPalette::Button);
}

void TDisplayRenderer::DisplayChanged(const TDisplayChange &change) {
  if (change.indicators && panel_.StatusBar != nullptr) {
    panel_.StatusBar->update();
  }
  if (panel_.Label_DisplayLine[kSizeBig][0] == nullptr) {
    return;  // the panel is not built yet
  }
  if (change.graphicMode) {
    PlaceLines(model_.GraphicMode());
  }
  for (int index = 0; index < kCellRows * kCellColumns; ++index) {
    if (!change.cells.test(index)) {
      continue;
    }
    const int row = index / kCellColumns;
    const int column = index % kCellColumns;
    for (int size = kSizeBig; size < kSizeCount; ++size) {
      DrawCell(*panel_.Image_DisplayCell[size][row][column], size, panel_.CellSegments(size),
               model_.Cell(row, column));
    }
  }
  for (int line = 0; line < kDisplayLineCount; ++line) {
    if (change.lines.test(line)) {
      WriteLine(line, model_.Line(line));
    }
  }
  if (change.leds) {
    DrawLeds();
  }
}

// Lines 0..2 start at column 13 in graphic mode, where the cells end.
void TDisplayRenderer::PlaceLines(bool graphicMode) {
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    for (int line = 0; line < kCellRows; ++line) {
      TDisplayLineLabel *label = panel_.Label_DisplayLine[size][line];
      label->move(graphicMode ? DisplayLineGraphicLeft(size) : DisplayLineTextLeft(size),
                  label->y());
    }
  }
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    for (int row = 0; row < kCellRows; ++row) {
      for (int column = 0; column < kCellColumns; ++column) {
        panel_.Image_DisplayCell[size][row][column]->setVisible(graphicMode);
      }
    }
  }
}

void TDisplayRenderer::WriteLine(int line, const QString &text) {
  if (panel_.Label_DisplayLine[kSizeBig][line]->text() == text) {
    return;
  }
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    panel_.Label_DisplayLine[size][line]->SetLineText(text);
  }
}

void TDisplayRenderer::DrawLeds() {
  const QColor face = ButtonFace();
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    if (panel_.Shape_ErrorLed[size] != nullptr) {
      panel_.Shape_ErrorLed[size]->SetBrushColor(model_.ErrorLed() ? kErrorLedLit : face);
    }
    if (panel_.Shape_RunLed[size] != nullptr) {
      panel_.Shape_RunLed[size]->SetBrushColor(model_.RunLed() ? kRunLedLit : face);
    }
  }
}

void TDisplayRenderer::StatusBarDrawPanel(QPainter &painter, int panel, const QRect &rect) const {
  bool active = false;
  if (panel == 1) {
    active = model_.Connected();
  } else if (panel == 2) {
    active = model_.ProgTermPresent();
  } else {
    return;
  }
  const QString text = panel_.StatusBar->PanelText(panel);
  const QFontMetrics metrics(painter.font());
  const int x = rect.left() + (rect.width() - metrics.horizontalAdvance(text)) / 2;
  painter.setPen(active ? kIndicatorActive : kIndicatorInactive);
  painter.drawText(QPoint(x, rect.top() + metrics.ascent()), text);
}
