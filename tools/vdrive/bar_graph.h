// Bar graphs drawn with the display's cell codes for its graphic mode: the
// first 13 columns of a line are cells, the last 3 stay text.
#pragma once

#include <string_view>

#include "display_text.h"

namespace vdrive {

inline constexpr int kBarCells = 13;

// Cell codes: each cell is two steps of the bar, a half-height then a
// full-height left segment; the marker is a top band.
inline constexpr uint8_t kCellEmpty = ' ';
inline constexpr uint8_t kCellHalfStep = 4;  // left half, lower part
inline constexpr uint8_t kCellFullStep = 5;  // left half, full height
inline constexpr uint8_t kCellMarker = 6;    // top band, full width

// A bar for fraction 0..1 of full scale (clamped), an optional marker at
// fraction markerAt (ignored when negative or inside the bar), and a value of
// at most 3 characters right-aligned in columns 13 to 15.
DisplayLine BarLine(double fraction, std::string_view value, double markerAt = -1.0);

// True when columns 0 to 12 hold only cell codes 0..7 or spaces: the line
// counts towards the terminal's graphic display mode.
bool IsCellLine(const DisplayLine &line);

}  // namespace vdrive
