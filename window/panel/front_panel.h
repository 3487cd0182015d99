// The controls of the terminal picture in both sizes and the tables that
// hold them. The design-time controls come from the form; BuildFrontPanel
// creates the run-time ones: 22 key images, 8 display line labels and 78
// graphic display cells.
#pragma once

#include <QPoint>
#include <array>
#include <cstdint>

#include "display_model.h"
#include "image_list.h"
#include "kelvo.h"
#include "terminal_keys.h"

class QWidget;
class TImage;
class TCircleShape;
class TDisplayLineLabel;
class TStatusBar;

inline constexpr int kSizeBig = 0;
inline constexpr int kSizeSmall = 1;
inline constexpr int kSizeCount = 2;
inline constexpr int kKeyImageCount = 2 * kKeyCount;  // released, then pressed
// Height of the head strip of a panel, above the face picture.
inline constexpr int kPanelHeadHeight = 15;

struct TButtonPlacement {
  TImage *ImageBig = nullptr;
  TImage *ImageSmall = nullptr;
  QPoint PosBig;
  QPoint PosSmall;
  TTerminalButton Button = 0;
};

// A rectangle as the cell drawing takes it: the fill covers the columns
// left .. right - 2 and the rows top .. bottom - 2.
struct TCellRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};
using TCellSegments = std::array<TCellRect, kCellCodeCount>;

struct TFrontPanel {
  // Design-time controls, by size (0 big, 1 small).
  std::array<QWidget *, kSizeCount> Group_TerminalSize{};
  std::array<TCircleShape *, kSizeCount> Shape_ErrorLed{};
  std::array<TCircleShape *, kSizeCount> Shape_RunLed{};
  TStatusBar *StatusBar = nullptr;
  TImageList Images_ButtonBig;
  TImageList Images_ButtonSmall;

  // Run-time controls and tables.
  std::array<TButtonPlacement, kKeyCount> ButtonTable{};
  TDisplayLineLabel *Label_DisplayLine[kSizeCount][kDisplayLineCount] = {};
  TImage *Image_DisplayCell[kSizeCount][kCellRows][kCellColumns] = {};
  TCellSegments CellSegmentsBig{};
  TCellSegments CellSegmentsSmall{};

  const TImageList &Images_Button(int size) const {
    return size == kSizeBig ? Images_ButtonBig : Images_ButtonSmall;
  }
  const TCellSegments &CellSegments(int size) const {
    return size == kSizeBig ? CellSegmentsBig : CellSegmentsSmall;
  }
  TImage *KeyImage(int size, int key) const {
    return size == kSizeBig ? ButtonTable[key].ImageBig : ButtonTable[key].ImageSmall;
  }
};

// Where display line labels of lines 0..2 start, in text mode and in
// graphic mode (13 character widths further right).
int DisplayLineTextLeft(int size);
int DisplayLineGraphicLeft(int size);
int DisplayLineTop(int size, int line);

// Builds the run-time controls and tables into 'panel'. Needs the two
// panels and the two image lists set.
void BuildFrontPanel(TFrontPanel &panel);

// Fills a cell picture with green and, for a code 0..7, the segment of that
// code in silver. Any other code leaves the cell plain green.
void DrawCell(TImage &cell, int size, const TCellSegments &segments, uint8_t code);
