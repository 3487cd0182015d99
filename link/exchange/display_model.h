// The terminal's display as the converter and the program write it: four
// lines, the graphic cells, the Error and Run LEDs, the graphic mode, the
// status screen shown, and the two link indicators (converter connected,
// programming terminal on the line). The link decides here: the graphic mode
// is detected from the lines that arrive, a switch of it holds the next
// answers back, and the status screens are composed here. The window draws
// what this holds and the automation reads it; both are told what changed
// after each step. Main thread only.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <bitset>
#include <cstdint>
#include <optional>

#include "display_input.h"
#include "display_size.h"
#include "link_state.h"
#include "observer_list.h"
#include "program_settings.h"
#include "status_screen.h"

// In graphic mode lines 0..2 show their columns 0..12 as cells.
inline constexpr int kCellRows = 3;
inline constexpr int kCellColumns = 13;
inline constexpr int kCellCodeCount = 8;  // codes 0..7 each fill one segment
inline constexpr uint8_t kCellSpace = 0x20;

// What one step of the model changed.
struct TDisplayChange {
  std::bitset<kDisplayLineCount> lines;
  std::bitset<kCellRows * kCellColumns> cells;  // row * kCellColumns + column
  bool leds = false;
  bool graphicMode = false;
  bool indicators = false;  // converter connected or programming terminal

  bool Display() const { return lines.any() || cells.any() || leds || graphicMode; }
  bool Any() const { return Display() || indicators; }
};

class TDisplayObserver {
 public:
  virtual ~TDisplayObserver() = default;
  virtual void DisplayChanged(const TDisplayChange &change) = 0;
};

class TDisplayModel : public TDisplayInput {
 public:
  // Both live as long as the model. The hold-off of a graphic-mode switch is
  // set in 'link'; the converter-search screen shows 'settings.Port'.
  TDisplayModel(TLinkState &link, const TProgramSettings &settings);
  TDisplayModel(const TDisplayModel &) = delete;
  TDisplayModel &operator=(const TDisplayModel &) = delete;

  // TDisplayInput. A message of fewer than 16 bytes changes nothing; one of
  // 16 to 18 bytes shows only the character codes it carries.
  void ShowDisplayMessage(const TReplyData &reply) override;
  void ShowLine(const TReplyData &reply) override;

  void ShowStatusScreen(TStatusScreen screen);
  // Switches the graphic mode (and holds the next answers back).
  void SetGraphicMode(bool on);
  // ConverterConnected or ProgTermCountdown in the link state may have
  // changed: observers are told when what the indicators show did.
  void IndicatorsChanged();

  // True when each of the reply's bytes 3..15 is below 8 or a space.
  static bool IsGraphicLine(const TReplyData &reply);

  // A line's text as the display shows it in text: in graphic mode lines
  // 0..2 hold only columns 13..15.
  const QString &Line(int line) const { return lines_.at(line); }
  // The code last drawn in a cell (kept while the cells are hidden); a
  // space at start.
  uint8_t Cell(int row, int column) const { return cells_.at(row).at(column); }
  bool ErrorLed() const { return errorLed_; }
  bool RunLed() const { return runLed_; }
  bool GraphicMode() const { return graphicMode_; }
  uint8_t GraphicLineHistory() const { return graphicLineHistory_; }
  // The status screen on the display; none once a converter line came.
  std::optional<TStatusScreen> StatusScreen() const { return statusScreen_; }
  bool Connected() const { return link_.ConverterConnected; }
  // A programming terminal is seen on the line while the converter talks.
  bool ProgTermPresent() const { return link_.ProgTermCountdown != 0 && link_.ConverterConnected; }

  // The four lines as a reader sees them, cells written as characters
  // (CellCharacter); in graphic mode lines 0..2 are the 13 cells followed by
  // the line's text.
  QStringList TextLines() const;
  // The character that stands for a cell's code: the block element whose
  // filled part matches the segment, a space for a space or any other code.
  static QChar CellCharacter(uint8_t code);

  void Attach(TDisplayObserver *observer) { observers_.Attach(observer); }
  void Detach(TDisplayObserver *observer) { observers_.Detach(observer); }

 private:
  void UpdateGraphicMode(const TReplyData &reply);
  void ChangeGraphicMode(bool on);
  void RefreshDisplay(const TReplyData &reply);
  void WriteLine(int line, const QString &text);
  void SetLeds(bool errorLit, bool runLit);
  void Notify();

  TLinkState &link_;
  const TProgramSettings &settings_;
  std::array<QString, kDisplayLineCount> lines_;
  std::array<std::array<uint8_t, kCellColumns>, kCellRows> cells_;
  bool errorLed_ = false;
  bool runLed_ = false;
  bool graphicMode_ = false;
  uint8_t graphicLineHistory_ = 0;
  std::optional<TStatusScreen> statusScreen_;
  bool connectedShown_ = false;
  bool progTermShown_ = false;
  TDisplayChange pending_;
  TObserverList<TDisplayObserver> observers_;
};

// Line 3 of the converter-search screen: 'text' directly followed by the
// port being tried, within the display's 16 columns. A port name that does
// not fit shortens the text, never the name; a name longer than the line
// keeps its end, where names such as ttyUSB0 and ttyUSB1 differ.
QString SearchScreenLine(const QString &text, const QString &port);
