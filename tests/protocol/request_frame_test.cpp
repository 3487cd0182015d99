// Request frames: layout and checksum, key release rules, what a compile
// keeps and clears.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "frame_encoder.h"
#include "kelvo.h"
#include "kelvo_test_support.h"

namespace kelvo_test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr TTerminalButton kUp = 0x0104;
constexpr TTerminalButton kLeft = 0x0010;
constexpr TTerminalButton kStart = 0x0001;
constexpr TTerminalButton kStop = 0x0002;

// Payload byte offsets.
constexpr size_t kKeys0 = 1;
constexpr size_t kKeys1 = 2;

Bytes Payload(uint8_t keys0, uint8_t keys1, uint8_t type, uint16_t address,
              std::vector<uint16_t> values) {
  Bytes payload = {
      'K', keys0, keys1, type, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  for (uint16_t v : values) {
    payload.push_back(static_cast<uint8_t>(v >> 8));
    payload.push_back(static_cast<uint8_t>(v));
  }
  return payload;
}

using FrameLayout = KelvoTest;

TEST_F(FrameLayout, IdleRequestIsTheReferenceFrame) {
  TTerminalMessageFrame record{};
  Kelvo_CompileMessage(&record);
  const Bytes expected = {0x02, 0x30, 0x38, 0x34, 0x3B, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30,
                          0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x37, 0x39, 0x03};
  ASSERT_EQ(record.bytes[0], 22);
  EXPECT_EQ(Bytes(record.bytes + 1, record.bytes + 23), expected);
}

TEST_F(FrameLayout, HeldKeyAddressAndValueGiveTheReferenceFrame) {
  Kelvo_SetButtonStatus(bePressed, kLeft);
  Kelvo_SetAddress(0x1234);
  Kelvo_SetValue(0xABCD, 0, 0, 0);
  TTerminalMessageFrame record{};
  Kelvo_CompileMessage(&record);
  const Bytes expected = {0x02, 0x30, 0x38, 0x34, 0x3B, 0x31, 0x30, 0x30, 0x30, 0x30, 0x30,
                          0x31, 0x32, 0x33, 0x34, 0x3A, 0x3B, 0x3C, 0x3D, 0x3B, 0x32, 0x03};
  ASSERT_EQ(record.bytes[0], 22);
  EXPECT_EQ(Bytes(record.bytes + 1, record.bytes + 23), expected);
}

TEST_F(FrameLayout, OneValueTypesCarryValueOne) {
  for (uint8_t type : Bytes{0x00, '0', '8', '@', 'P', 'x'}) {
    SCOPED_TRACE(type);
    Kelvo_SetType(type);
    Kelvo_SetAddress(0x0102);
    Kelvo_SetValue(0xBEEF, 0x1111, 0x2222, 0x3333);
    EXPECT_EQ(CompileFrame(), EncodeFrame(Payload(0, 0, type, 0x0102, {0xBEEF})));
  }
}

TEST_F(FrameLayout, TypeYCarriesTwoValues) {
  Kelvo_SetType('y');
  Kelvo_SetValue(0x0A0B, 0x0C0D, 0x1111, 0x2222);
  const Bytes frame = CompileFrame();
  EXPECT_EQ(frame.size(), 26u);
  EXPECT_EQ(frame, EncodeFrame(Payload(0, 0, 'y', 0, {0x0A0B, 0x0C0D})));
}

TEST_F(FrameLayout, TypeBraceCarriesFourValues) {
  Kelvo_SetType('{');
  Kelvo_SetValue(0xF00D, 0x1234, 0x5678, 0x9ABC);
  const Bytes frame = CompileFrame();
  EXPECT_EQ(frame.size(), 34u);
  EXPECT_EQ(frame, EncodeFrame(Payload(0, 0, '{', 0, {0xF00D, 0x1234, 0x5678, 0x9ABC})));
}

TEST_F(FrameLayout, OtherTypesSendTwoZeroBytesInsteadOfTheValue) {
  for (uint8_t type : Bytes{0x01, '1', 'z', 'Y', 0xFF}) {
    SCOPED_TRACE(type);
    Kelvo_SetType(type);
    Kelvo_SetValue(0xABCD, 0x1111, 0x2222, 0x3333);
    EXPECT_EQ(CompileFrame(), EncodeFrame(Payload(0, 0, type, 0, {0x0000})));
  }
}

TEST_F(FrameLayout, OnlyTheLowSixteenAddressBitsAreSent) {
  Kelvo_SetAddress(0xABCD1234);
  EXPECT_EQ(CompileFrame(), EncodeFrame(Payload(0, 0, 0, 0x1234, {0})));
}

TEST_F(FrameLayout, RecordBytesAfterTheFrameAreLeftAlone) {
  Kelvo_SetType('{');
  TTerminalMessageFrame record;
  std::fill(std::begin(record.bytes), std::end(record.bytes), 0xEE);
  Kelvo_CompileMessage(&record);
  ASSERT_EQ(record.bytes[0], 34);
  for (size_t i = 35; i < sizeof record.bytes; ++i) {
    ASSERT_EQ(record.bytes[i], 0xEE) << "record byte " << i;
  }
}

TEST_F(FrameLayout, NullRecordChangesNoState) {
  Kelvo_SetButtonStatus(bePressed, kStart);
  Kelvo_SetButtonStatus(beReleased, kStart);
  Kelvo_SetAddress(0x4321);
  Kelvo_SetValue(0x5555, 0, 0, 0);
  Kelvo_CompileMessage(nullptr);
  EXPECT_EQ(CompilePayload(), Payload(0x01, 0, 0, 0x4321, {0x5555}));
}

using ReleaseSemantics = KelvoTest;

TEST_F(ReleaseSemantics, HeldKeyIsSentInEveryFrame) {
  Kelvo_SetButtonStatus(bePressed, kUp);
  EXPECT_EQ(CompilePayload()[kKeys1], 0x04);
  EXPECT_EQ(CompilePayload()[kKeys1], 0x04);
}

TEST_F(ReleaseSemantics, ClickBetweenTwoFramesIsSentAsHeldExactlyOnce) {
  Kelvo_SetButtonStatus(bePressed, kLeft);
  Kelvo_SetButtonStatus(beReleased, kLeft);
  EXPECT_EQ(CompilePayload()[kKeys0], 0x10);
  EXPECT_EQ(CompilePayload()[kKeys0], 0x00);
}

TEST_F(ReleaseSemantics, PressReleasePressIsDroppedAfterOneFrame) {
  Kelvo_SetButtonStatus(bePressed, kStop);
  Kelvo_SetButtonStatus(beReleased, kStop);
  Kelvo_SetButtonStatus(bePressed, kStop);
  EXPECT_EQ(CompilePayload()[kKeys0], 0x02);
  EXPECT_EQ(CompilePayload()[kKeys0], 0x00);
}

TEST_F(ReleaseSemantics, ReleaseOnlyDropsItsOwnKey) {
  Kelvo_SetButtonStatus(bePressed, kUp);
  Kelvo_SetButtonStatus(bePressed, kLeft);
  Kelvo_SetButtonStatus(bePressed, kStart);
  Kelvo_SetButtonStatus(beReleased, kUp);
  Bytes payload = CompilePayload();
  EXPECT_EQ(payload[kKeys0], 0x11);
  EXPECT_EQ(payload[kKeys1], 0x04);
  payload = CompilePayload();
  EXPECT_EQ(payload[kKeys0], 0x11);
  EXPECT_EQ(payload[kKeys1], 0x00);
}

TEST_F(ReleaseSemantics, ReleaseAllDropsEveryKeyWithoutAHeldFrame) {
  Kelvo_SetButtonStatus(bePressed, kUp);
  Kelvo_SetButtonStatus(bePressed, kLeft);
  Kelvo_SetButtonStatus(beReleased, kLeft);
  Kelvo_SetButtonStatus(beReleaseAll, 0);
  Bytes payload = CompilePayload();
  EXPECT_EQ(payload[kKeys0], 0x00);
  EXPECT_EQ(payload[kKeys1], 0x00);
  // The release mask went too: a key pressed now stays held.
  Kelvo_SetButtonStatus(bePressed, kLeft);
  EXPECT_EQ(CompilePayload()[kKeys0], 0x10);
  EXPECT_EQ(CompilePayload()[kKeys0], 0x10);
}

TEST_F(ReleaseSemantics, ButtonOutsideTheTwoKeyBytesIsIgnored) {
  Kelvo_SetButtonStatus(bePressed, 0x0204);
  Kelvo_SetButtonStatus(bePressed, 0xFF10);
  Bytes payload = CompilePayload();
  EXPECT_EQ(payload[kKeys0], 0x00);
  EXPECT_EQ(payload[kKeys1], 0x00);
  // A bad release must not release the key with the same bit in byte 0 or 1.
  Kelvo_SetButtonStatus(bePressed, kStart);
  Kelvo_SetButtonStatus(beReleased, 0x0201);
  Kelvo_SetButtonStatus(beReleased, 0x0301);
  CompilePayload();
  EXPECT_EQ(CompilePayload()[kKeys0], 0x01);
}

TEST_F(ReleaseSemantics, UnknownEventIsIgnored) {
  Kelvo_SetButtonStatus(bePressed, kStart);
  Kelvo_SetButtonStatus(3, kStart);
  Kelvo_SetButtonStatus(0xFF, kLeft);
  CompilePayload();
  EXPECT_EQ(CompilePayload()[kKeys0], 0x01);
}

using ValuePersistence = KelvoTest;

TEST_F(ValuePersistence, AddressAndValueOneLastOneFrame) {
  Kelvo_SetAddress(0x7777);
  Kelvo_SetValue(0x8888, 0, 0, 0);
  EXPECT_EQ(CompilePayload(), Payload(0, 0, 0, 0x7777, {0x8888}));
  EXPECT_EQ(CompilePayload(), Payload(0, 0, 0, 0, {0}));
}

TEST_F(ValuePersistence, TypeAndValuesTwoToFourAreRepeated) {
  Kelvo_SetType('{');
  Kelvo_SetAddress(0x0100);
  Kelvo_SetValue(1, 2, 3, 4);
  EXPECT_EQ(CompilePayload(), Payload(0, 0, '{', 0x0100, {1, 2, 3, 4}));
  EXPECT_EQ(CompilePayload(), Payload(0, 0, '{', 0, {0, 2, 3, 4}));
  Kelvo_SetType('y');
  EXPECT_EQ(CompilePayload(), Payload(0, 0, 'y', 0, {0, 2}));
}

// Runs in a freshly started copy of the test program, so it sees the library
// as loaded: all state zero, no error recorded yet.
TEST(FreshLibrary, StartsWithZeroStateAndNoError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto freshState = [] {
    const Bytes idle = EncodeFrame(Payload(0, 0, 0, 0, {0}));
    const bool zero = CompileFrame() == idle && Kelvo_GetLastError() == 0;
    std::exit(zero ? 0 : 1);
  };
  EXPECT_EXIT(freshState(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kelvo_test
