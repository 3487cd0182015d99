#include "display_renderer.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "circle_shape.h"
#include "cp1250.h"
#include "display_colors.h"
#include "display_line_label.h"
#include "frame_bytes.h"
#include "image_widget.h"
#include "status_bar.h"
#include "text_table.h"

namespace {

constexpr size_t kMinimumLineLength = 16;  // status byte and 13 codes at least
constexpr size_t kFirstCode = 3;
constexpr size_t kLastCode = 18;
using kelvo::kStatusErrorLed;
using kelvo::kStatusLineMask;
using kelvo::kStatusRunLed;
constexpr uint8_t kHistoryAllGraphic = 0x0F;

QString CharText(uint8_t code) {
  return Cp1250ToString(Kelvo_CharConv(code));
}

}  // namespace

TDisplayRenderer::TDisplayRenderer(TFrontPanel &panel, TLinkState &link,
                                   const TProgramSettings &settings)
    : panel_(panel), link_(link), settings_(settings) {}

QColor TDisplayRenderer::ButtonFace() {
  return QApplication::palette().color(QPalette::Button);
}

void TDisplayRenderer::RefreshDisplay() {
  const TReplyData &reply = link_.ReplyData;
  if (reply.length < kMinimumLineLength) {
    return;
  }
  const uint8_t status = reply.bytes[2];
  const int line = status & kStatusLineMask;
  const bool graphic = graphicMode_ && line < kCellRows;
  const size_t end = std::min(reply.length, kLastCode + 1);

  QString text;
  size_t first = kFirstCode;
  if (graphic) {
    DrawGraphicCells(line);
    first = kFirstCode + kCellColumns;
  }
  for (size_t i = first; i < end; ++i) {
    text += CharText(reply.bytes[i]);
  }
  WriteLine(line, LabelTextToPlain(text));
  SetLeds((status & kStatusErrorLed) != 0, (status & kStatusRunLed) != 0);
}

void TDisplayRenderer::DrawGraphicCells(int line) {
  const TReplyData &reply = link_.ReplyData;
  for (int column = 0; column < kCellColumns; ++column) {
    const uint8_t code = reply.bytes[kFirstCode + column];
    if (code == panel_.CellCodeCache[line][column]) {
      continue;
    }
    panel_.CellCodeCache[line][column] = code;
    for (int size = kSizeBig; size < kSizeCount; ++size) {
      DrawCell(*panel_.Image_DisplayCell[size][line][column], size, panel_.CellSegments(size),
               code);
    }
  }
}

bool TDisplayRenderer::IsGraphicLine() const {
  const TReplyData &reply = link_.ReplyData;
  if (reply.length < kFirstCode + kCellColumns) {
    return false;
  }
  for (int column = 0; column < kCellColumns; ++column) {
    const uint8_t code = reply.bytes[kFirstCode + column];
    if (code >= kCellCodeCount && code != kCellSpace) {
      return false;
    }
  }
  return true;
}

void TDisplayRenderer::UpdateGraphicMode() {
  const TReplyData &reply = link_.ReplyData;
  // A message too short to be drawn leaves the mode and its history alone.
  if (reply.length >= kMinimumLineLength) {
    const int line = reply.bytes[2] & kStatusLineMask;
    if (line < kCellRows) {
      graphicLineHistory_ =
          static_cast<uint8_t>((graphicLineHistory_ * 2 + (IsGraphicLine() ? 1 : 0)) & 0x0F);
    }
    if (graphicLineHistory_ == kHistoryAllGraphic && !graphicMode_) {
      SetGraphicMode(true);
    } else if (graphicLineHistory_ != kHistoryAllGraphic && graphicMode_) {
      SetGraphicMode(false);
    }
  }
  RefreshDisplay();
}

void TDisplayRenderer::SetGraphicMode(bool on) {
  graphicMode_ = on;
  if (!on) {
    graphicLineHistory_ = 0;
  }
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    for (int line = 0; line < kCellRows; ++line) {
      TDisplayLineLabel *label = panel_.Label_DisplayLine[size][line];
      label->SetLineText(QString());
      label->move(on ? DisplayLineGraphicLeft(size) : DisplayLineTextLeft(size), label->y());
    }
  }
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    for (int row = 0; row < kCellRows; ++row) {
      for (int column = 0; column < kCellColumns; ++column) {
        panel_.Image_DisplayCell[size][row][column]->setVisible(on);
      }
    }
  }
  HoldOffAnswers(link_);
}

QString SearchScreenLine(const QString &text, const QString &port) {
  if (text.size() + port.size() <= kDisplayColumns) {
    return text + port;
  }
  if (port.size() >= kDisplayColumns) {
    return port.right(kDisplayColumns);
  }
  return text.left(kDisplayColumns - port.size()) + port;
}

void TDisplayRenderer::ShowStatusScreen(int mode) {
  if (mode < kStatusScreenStartUp || mode > kStatusScreenSearching) {
    return;
  }
  graphicMode_ = false;
  SetGraphicMode(false);

  QString lines[kDisplayLineCount];
  if (mode == kStatusScreenStartUp) {
    lines[1] = QStringLiteral("     VELTAR");
    lines[2] = QStringLiteral("    Sorvanel");
  } else {
    lines[0] = QStringLiteral("    Sorvanel");
    lines[1] = QStringLiteral("----------------");
    const int firstText = mode == kStatusScreenNoCommunication ? kTextNoCommunicationLine2
                          : mode == kStatusScreenNoPort        ? kTextNoPortLine2
                                                               : kTextSearchingLine2;
    lines[2] = GetText(firstText);
    lines[3] = GetText(firstText + 1);
    if (mode == kStatusScreenSearching) {
      lines[3] = SearchScreenLine(lines[3], settings_.Port);
    }
  }
  for (int line = 0; line < kDisplayLineCount; ++line) {
    WriteLine(line, lines[line]);
  }
  SetLeds(false, false);
}

void TDisplayRenderer::WriteLine(int line, const QString &text) {
  if (panel_.Label_DisplayLine[kSizeBig][line]->text() == text) {
    return;
  }
  for (int size = kSizeBig; size < kSizeCount; ++size) {
    panel_.Label_DisplayLine[size][line]->SetLineText(text);
  }
}

void TDisplayRenderer::SetLeds(bool errorLit, bool runLit) {
  const QColor face = ButtonFace();
  panel_.Shape_ErrorLed[kSizeBig]->SetBrushColor(errorLit ? kErrorLedLit : face);
  panel_.Shape_RunLed[kSizeBig]->SetBrushColor(runLit ? kRunLedLit : face);
  panel_.Shape_ErrorLed[kSizeSmall]->SetBrushColor(panel_.Shape_ErrorLed[kSizeBig]->BrushColor());
  panel_.Shape_RunLed[kSizeSmall]->SetBrushColor(panel_.Shape_RunLed[kSizeBig]->BrushColor());
}

void TDisplayRenderer::StatusBarDrawPanel(QPainter &painter, int panel, const QRect &rect) const {
  bool active = false;
  if (panel == 1) {
    active = link_.ConverterConnected;
  } else if (panel == 2) {
    active = link_.ProgTermCountdown != 0 && link_.ConverterConnected;
  } else {
    return;
  }
  const QString text = panel_.StatusBar->PanelText(panel);
  const QFontMetrics metrics(painter.font());
  const int x = rect.left() + (rect.width() - metrics.horizontalAdvance(text)) / 2;
  painter.setPen(active ? kIndicatorActive : kIndicatorInactive);
  painter.drawText(QPoint(x, rect.top() + metrics.ascent()), text);
}
