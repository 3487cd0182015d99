// Texts for the terminal's 4 x 16 character display, written as UTF-8 in the
// source and turned into the display's own character codes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vdrive {

inline constexpr int kDisplayColumns = 16;
inline constexpr int kDisplayLines = 4;

using DisplayLine = std::array<uint8_t, kDisplayColumns>;
using DisplayScreen = std::array<DisplayLine, kDisplayLines>;

// Display codes of a UTF-8 text: ASCII as itself, the display's accented
// letters and signs at their codes, anything else as '?'.
std::vector<uint8_t> ToDisplayCodes(std::string_view utf8);

// One display line: the text's codes, cut or padded with spaces to 16.
DisplayLine MakeLine(std::string_view utf8);

// printf-style formatting into a std::string (for values on the display).
std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vdrive
