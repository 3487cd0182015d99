// Key table and display character table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "kelvo.h"

namespace {

TEST(KeyTable, TheElevenPcKeysSelectTheirTerminalKeys) {
  const std::map<uint16_t, int32_t> keys = {
      {0x26, 0}, {0x25, 1}, {0x44, 2}, {0x27, 3}, {0x28, 4},  {0x1B, 5},
      {0x0D, 6}, {0x4B, 7}, {0x49, 8}, {0x41, 9}, {0x53, 10},
  };
  for (const auto &[key, index] : keys) {
    EXPECT_EQ(Kelvo_KeyToID(key), index) << "key 0x" << std::hex << key;
  }
}

TEST(KeyTable, EveryOtherKeyIsNoTerminalKey) {
  const std::string keys = "\x26\x25\x44\x27\x28\x1B\x0D\x4B\x49\x41\x53";
  for (uint32_t key = 0; key <= 0xFFFF; ++key) {
    if (key < 0x100 && keys.find(static_cast<char>(key)) != std::string::npos) {
      continue;
    }
    ASSERT_EQ(Kelvo_KeyToID(static_cast<uint16_t>(key)), KELVO_NO_KEY)
        << "key 0x" << std::hex << key;
  }
}

TEST(KeyTable, SpaceAndLowercaseLettersAreNotKeys) {
  EXPECT_EQ(Kelvo_KeyToID(0x20), KELVO_NO_KEY);
  for (char c : std::string("dkias")) {
    EXPECT_EQ(Kelvo_KeyToID(static_cast<uint8_t>(c)), KELVO_NO_KEY) << c;
  }
}

// Display code -> the Windows-1250 bytes shown for it.
const std::map<uint8_t, std::string> kMappedCodes = {
    {0x00, "\x40"}, {0x26, "\x26\x26"}, {0x7E, "\xBB"}, {0x7F, "\xAB"}, {0x81, "\xFC"},
    {0x82, "\xE9"}, {0x8D, "\xCD"},     {0x8F, "\xC1"}, {0x90, "\xC9"}, {0x93, "\xF5"},
    {0x94, "\xF6"}, {0x96, "\xFB"},     {0x99, "\xD6"}, {0x9A, "\xDC"}, {0xA0, "\xE1"},
    {0xA1, "\xED"}, {0xA2, "\xF3"},     {0xA3, "\xFA"}, {0xE0, "\x61"}, {0xE2, "\xDF"},
    {0xE3, "\x65"}, {0xE4, "\xB5"},     {0xF4, "\x52"}, {0xF7, "\x70"}, {0xF8, "\xB0"},
    {0xFD, "\xF7"}, {0xFF, "\x23"},
};

TEST(CharTable, MappedCodesGiveTheirCodePageText) {
  ASSERT_EQ(kMappedCodes.size(), 27u);
  for (const auto &[code, text] : kMappedCodes) {
    const char *shown = Kelvo_CharConv(code);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(std::string(shown), text) << "code 0x" << std::hex << int{code};
  }
}

TEST(CharTable, AmpersandIsTheOnlyTwoByteText) {
  for (int code = 0; code < 256; ++code) {
    const size_t expected = code == 0x26 ? 2 : 1;
    EXPECT_EQ(std::strlen(Kelvo_CharConv(static_cast<uint8_t>(code))), expected) << code;
  }
}

TEST(CharTable, UnmappedCodesShowThemselves) {
  for (int code = 1; code < 256; ++code) {
    if (kMappedCodes.count(static_cast<uint8_t>(code)) != 0) {
      continue;
    }
    const std::string itself(1, static_cast<char>(code));
    EXPECT_EQ(std::string(Kelvo_CharConv(static_cast<uint8_t>(code))), itself) << code;
  }
  EXPECT_STREQ(Kelvo_CharConv(0x41), "A");
  EXPECT_STREQ(Kelvo_CharConv(0x80), "\x80");
  EXPECT_STREQ(Kelvo_CharConv(0xDF), "\xDF");
  EXPECT_STREQ(Kelvo_CharConv(0x01), "\x01");
}

TEST(CharTable, TextsStayValidAcrossLaterCalls) {
  const char *texts[256];
  for (int code = 0; code < 256; ++code) {
    texts[code] = Kelvo_CharConv(static_cast<uint8_t>(code));
  }
  for (int code = 255; code >= 0; --code) {
    EXPECT_EQ(Kelvo_CharConv(static_cast<uint8_t>(code)), texts[code]);
  }
  EXPECT_STREQ(texts[0x41], "A");
  EXPECT_STREQ(texts[0x42], "B");
  EXPECT_STREQ(texts[0x82], "\xE9");
}

}  // namespace
