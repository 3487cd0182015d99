#include "display_text.h"

#include <cstdarg>
#include <cstdio>

namespace vdrive {
namespace {

struct CodeOf {
  char32_t character;
  uint8_t code;
};

// The display's accented letters and signs; ASCII 0x20..0x7D is shown as itself.
constexpr CodeOf kDisplayCodes[] = {
    {U'é', 0x82},
    {U'ő', 0x93},
    {U'ö', 0x94},
    {U'ü', 0x81},
    {U'ű', 0x96},
    {U'á', 0xA0},
    {U'í', 0xA1},
    {U'ó', 0xA2},
    {U'ú', 0xA3},
    {U'Á', 0x8F},
    {U'É', 0x90},
    {U'Í', 0x8D},
    {U'Ö', 0x99},
    {U'Ü', 0x9A},
    {U'°', 0xF8},
    {U'µ', 0xE4},
    {U'»', 0x7E},
    {U'«', 0x7F},
    {U'÷', 0xFD},
    {U'ß', 0xE2},
    // Capitals the display lacks fall back to the plain letter.
    {U'Ó', 'O'},
    {U'Ő', 'O'},
    {U'Ú', 'U'},
    {U'Ű', 'U'},
};

uint8_t CodeFor(char32_t character) {
  if (character >= 0x20 && character <= 0x7D) {
    return static_cast<uint8_t>(character);
  }
  for (const CodeOf &entry : kDisplayCodes) {
    if (entry.character == character) {
      return entry.code;
    }
  }
  return '?';
}

// Decodes one UTF-8 sequence at text[i], advancing i; malformed bytes give U+FFFD.
char32_t NextCodePoint(std::string_view text, size_t &i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  int extra = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    value = lead & 0x07;
  } else {
    return U'\uFFFD';
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      return U'\uFFFD';
    }
    value = (value << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  return value;
}

}  // namespace

std::vector<uint8_t> ToDisplayCodes(std::string_view utf8) {
  std::vector<uint8_t> codes;
  codes.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    codes.push_back(CodeFor(NextCodePoint(utf8, i)));
  }
  return codes;
}

DisplayLine MakeLine(std::string_view utf8) {
  DisplayLine line;
  line.fill(' ');
  const std::vector<uint8_t> codes = ToDisplayCodes(utf8);
  for (size_t i = 0; i < codes.size() && i < line.size(); ++i) {
    line[i] = codes[i];
  }
  return line;
}

std::string Format(const char *format, ...) {
  char buffer[128];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return length < 0 ? std::string() : std::string(buffer);
}

}  // namespace vdrive
