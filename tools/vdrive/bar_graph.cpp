#include "bar_graph.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vdrive {

DisplayLine BarLine(double fraction, std::string_view value, double markerAt) {
  DisplayLine line;
  line.fill(kCellEmpty);
  const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
  const int steps = static_cast<int>(std::lround(clamped * 2 * kBarCells));
  for (int cell = 0; cell < steps / 2; ++cell) {
    line[cell] = kCellFullStep;
  }
  if (steps % 2 != 0) {
    line[steps / 2] = kCellHalfStep;
  }
  if (markerAt >= 0.0 && std::isfinite(markerAt)) {
    const int cell = std::min(kBarCells - 1, static_cast<int>(markerAt * kBarCells));
    if (line[cell] == kCellEmpty) {
      line[cell] = kCellMarker;
    }
  }
  const std::vector<uint8_t> text = ToDisplayCodes(value);
  const size_t shown = std::min<size_t>(text.size(), kDisplayColumns - kBarCells);
  std::copy(text.end() - static_cast<std::ptrdiff_t>(shown), text.end(),
            line.end() - static_cast<std::ptrdiff_t>(shown));
  return line;
}

bool IsCellLine(const DisplayLine &line) {
  return std::all_of(line.begin(), line.begin() + kBarCells,
                     [](uint8_t code) { return code < 8 || code == ' '; });
}

}  // namespace vdrive
