// Display character code to the Windows-1250 text the window shows for it.
#include <array>

#include "kelvo.h"

namespace {

struct CharTexts {
  // Each entry holds up to two bytes and its terminating zero.
  std::array<std::array<char, 3>, 256> text{};

  constexpr CharTexts() {
    for (int code = 0; code < 256; ++code) {
      text[code] = {static_cast<char>(code), 0, 0};
    }
    text[0x00] = {'@', 0, 0};
    text[0x26] = {'&', '&', 0};  // labels show "&&" as one '&'
    // clang-format off
    const unsigned char mapped[][2] = {
        {0x7E, 0xBB},  // right double angle quotation mark
        {0x7F, 0xAB},  // left double angle quotation mark
        {0x81, 0xFC},  // u diaeresis
        {0x82, 0xE9},  // e acute
        {0x8D, 0xCD},  // capital I acute
        {0x8F, 0xC1},  // capital A acute
        {0x90, 0xC9},  // capital E acute
        {0x93, 0xF5},  // o double acute
        {0x94, 0xF6},  // o diaeresis
        {0x96, 0xFB},  // u double acute
        {0x99, 0xD6},  // capital O diaeresis
        {0x9A, 0xDC},  // capital U diaeresis
        {0xA0, 0xE1},  // a acute
        {0xA1, 0xED},  // i acute
        {0xA2, 0xF3},  // o acute
        {0xA3, 0xFA},  // u acute
        {0xE0, 'a'},
        {0xE2, 0xDF},  // sharp s
        {0xE3, 'e'},
        {0xE4, 0xB5},  // micro sign
        {0xF4, 'R'},
        {0xF7, 'p'},
        {0xF8, 0xB0},  // degree sign
        {0xFD, 0xF7},  // division sign
        {0xFF, '#'},
    };
    // clang-format on
    for (const auto &m : mapped) {
      text[m[0]] = {static_cast<char>(m[1]), 0, 0};
    }
  }
};

constexpr CharTexts kCharTexts;

}  // namespace

extern "C" const char *Kelvo_CharConv(uint8_t code) {
  return kCharTexts.text[code].data();
}
