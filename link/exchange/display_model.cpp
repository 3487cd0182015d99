#include "display_model.h"

#include <algorithm>

#include "cp1250.h"
#include "frame_bytes.h"
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

TDisplayModel::TDisplayModel(TLinkState &link, const TProgramSettings &settings)
    : link_(link), settings_(settings) {
  for (auto &row : cells_) {
    row.fill(kCellSpace);
  }
}

void TDisplayModel::ShowDisplayMessage(const TReplyData &reply) {
  UpdateGraphicMode(reply);
  RefreshDisplay(reply);
  Notify();
}

void TDisplayModel::ShowLine(const TReplyData &reply) {
  RefreshDisplay(reply);
  Notify();
}

bool TDisplayModel::IsGraphicLine(const TReplyData &reply) {
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

void TDisplayModel::UpdateGraphicMode(const TReplyData &reply) {
  // A message too short to be drawn leaves the mode and its history alone.
  if (reply.length < kMinimumLineLength) {
    return;
  }
  const int line = reply.bytes[2] & kStatusLineMask;
  if (line < kCellRows) {
    graphicLineHistory_ =
        static_cast<uint8_t>((graphicLineHistory_ * 2 + (IsGraphicLine(reply) ? 1 : 0)) & 0x0F);
  }
  if (graphicLineHistory_ == kHistoryAllGraphic && !graphicMode_) {
    ChangeGraphicMode(true);
  } else if (graphicLineHistory_ != kHistoryAllGraphic && graphicMode_) {
    ChangeGraphicMode(false);
  }
}

void TDisplayModel::SetGraphicMode(bool on) {
  ChangeGraphicMode(on);
  Notify();
}

// Lines 0..2 are emptied: in graphic mode their text starts at column 13,
// in text mode at column 0, and what they showed does not belong there.
void TDisplayModel::ChangeGraphicMode(bool on) {
  if (graphicMode_ != on) {
    pending_.graphicMode = true;
  }
  graphicMode_ = on;
  if (!on) {
    graphicLineHistory_ = 0;
  }
  for (int line = 0; line < kCellRows; ++line) {
    WriteLine(line, QString());
  }
  HoldOffAnswers(link_);
}

void TDisplayModel::RefreshDisplay(const TReplyData &reply) {
  if (reply.length < kMinimumLineLength) {
    return;
  }
  statusScreen_.reset();
  const uint8_t status = reply.bytes[2];
  const int line = status & kStatusLineMask;
  const size_t end = std::min(reply.length, kLastCode + 1);

  size_t first = kFirstCode;
  if (graphicMode_ && line < kCellRows) {
    for (int column = 0; column < kCellColumns; ++column) {
      const uint8_t code = reply.bytes[kFirstCode + column];
      if (code != cells_[line][column]) {
        cells_[line][column] = code;
        pending_.cells.set(line * kCellColumns + column);
      }
    }
    first = kFirstCode + kCellColumns;
  }
  QString text;
  for (size_t i = first; i < end; ++i) {
    text += CharText(reply.bytes[i]);
  }
  WriteLine(line, LabelTextToPlain(text));
  SetLeds((status & kStatusErrorLed) != 0, (status & kStatusRunLed) != 0);
}

void TDisplayModel::ShowStatusScreen(TStatusScreen screen) {
  ChangeGraphicMode(false);
  std::array<QString, kDisplayLineCount> text;
  if (screen == TStatusScreen::StartUp) {
    text[1] = QStringLiteral("     VELTAR");
    text[2] = QStringLiteral("    Sorvanel");
  } else {
    text[0] = QStringLiteral("    Sorvanel");
    text[1] = QStringLiteral("----------------");
    const int firstText = screen == TStatusScreen::NoCommunication ? kTextNoCommunicationLine2
                          : screen == TStatusScreen::NoPort        ? kTextNoPortLine2
                                                                   : kTextSearchingLine2;
    text[2] = GetText(firstText);
    text[3] = GetText(firstText + 1);
    if (screen == TStatusScreen::Searching) {
      text[3] = SearchScreenLine(text[3], settings_.Port);
    }
  }
  for (int line = 0; line < kDisplayLineCount; ++line) {
    WriteLine(line, text[line]);
  }
  SetLeds(false, false);
  statusScreen_ = screen;
  Notify();
}

void TDisplayModel::IndicatorsChanged() {
  if (Connected() != connectedShown_ || ProgTermPresent() != progTermShown_) {
    connectedShown_ = Connected();
    progTermShown_ = ProgTermPresent();
    pending_.indicators = true;
  }
  Notify();
}

void TDisplayModel::WriteLine(int line, const QString &text) {
  if (lines_[line] != text) {
    lines_[line] = text;
    pending_.lines.set(line);
  }
}

void TDisplayModel::SetLeds(bool errorLit, bool runLit) {
  if (errorLed_ != errorLit || runLed_ != runLit) {
    errorLed_ = errorLit;
    runLed_ = runLit;
    pending_.leds = true;
  }
}

void TDisplayModel::Notify() {
  if (!pending_.Any()) {
    return;
  }
  const TDisplayChange change = pending_;
  pending_ = TDisplayChange();
  observers_.Tell([&](TDisplayObserver &observer) { observer.DisplayChanged(change); });
}

QChar TDisplayModel::CellCharacter(uint8_t code) {
  // By code, the segment each fills: right top, right bottom, right half,
  // left top, left bottom, left half, top, bottom.
  static constexpr char16_t kBlocks[kCellCodeCount] = {u'\u259D', u'\u2597', u'\u2590', u'\u2598',
                                                       u'\u2596', u'\u258C', u'\u2580', u'\u2584'};
  return code < kCellCodeCount ? QChar(kBlocks[code]) : QChar(u' ');
}

QStringList TDisplayModel::TextLines() const {
  QStringList text;
  for (int line = 0; line < kDisplayLineCount; ++line) {
    QString shown;
    if (graphicMode_ && line < kCellRows) {
      for (const uint8_t code : cells_[line]) {
        shown += CellCharacter(code);
      }
    }
    text.append(shown + lines_[line]);
  }
  return text;
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
