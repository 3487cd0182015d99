// Draws what the converter sends onto the terminal display of both sizes:
// display lines, graphic cells and LEDs; the program's own status screens;
// and the two link indicators of the status bar.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>

#include "front_panel.h"
#include "link_state.h"
#include "program_settings.h"

class QPainter;
class QRect;

inline constexpr int kStatusScreenStartUp = 0;
inline constexpr int kStatusScreenNoCommunication = 1;
inline constexpr int kStatusScreenNoPort = 2;
inline constexpr int kStatusScreenSearching = 3;

// Line 3 of the converter-search screen: 'text' directly followed by the
// port being tried, within the display's 16 columns. A port name that does
// not fit shortens the text, never the name; a name longer than the line
// keeps its end, where names such as ttyUSB0 and ttyUSB1 differ.
QString SearchScreenLine(const QString &text, const QString &port);

class TDisplayRenderer {
 public:
  // All three live as long as the renderer (the main window owns them).
  TDisplayRenderer(TFrontPanel &panel, TLinkState &link, const TProgramSettings &settings);

  // Shows the line carried by ReplyData and sets the LEDs. A message of
  // fewer than 16 bytes changes nothing; one of 16 to 18 bytes shows only
  // the character codes it carries.
  void RefreshDisplay();

  // True when each of ReplyData bytes 3..15 is below 8 or a space.
  bool IsGraphicLine() const;

  // The graphic-mode step for display messages; ends with RefreshDisplay.
  void UpdateGraphicMode();

  void SetGraphicMode(bool on);

  // Status screen 0 (start-up), 1 (no communication), 2 (no port open) or
  // 3 (converter search, with the port being tried). Other modes are
  // ignored.
  void ShowStatusScreen(int mode);

  // Paints status bar panel 1 (converter) or 2 (programming terminal).
  void StatusBarDrawPanel(QPainter &painter, int panel, const QRect &rect) const;

  bool GraphicMode() const { return graphicMode_; }
  uint8_t GraphicLineHistory() const { return graphicLineHistory_; }

  // The colour of an unlit LED.
  static QColor ButtonFace();

 private:
  void WriteLine(int line, const QString &text);
  void SetLeds(bool errorLit, bool runLit);
  void DrawGraphicCells(int line);

  TFrontPanel &panel_;
  TLinkState &link_;
  const TProgramSettings &settings_;
  bool graphicMode_ = false;
  uint8_t graphicLineHistory_ = 0;
};
