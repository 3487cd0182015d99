// The frames the drive sends and the cutting of what it reads from the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_frame.h"
#include "frame_receiver.h"
#include "kelvo.h"
#include "options.h"

namespace vdrive {
namespace {

std::vector<uint8_t> Decode(const Frame &frame) {
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t length = 0;
  EXPECT_EQ(Kelvo_Check(frame.data(), frame.size(), decoded, &length), 'M');
  return {decoded, decoded + length};
}

Frame TerminalRequest(TTerminalButton held) {
  Kelvo_SetButtonStatus(beReleaseAll, 0);
  Kelvo_SetButtonStatus(bePressed, held);
  Kelvo_SetAddress(0x0102);
  Kelvo_SetValue(0xABCD, 0, 0, 0);
  return HandHeldTerminalFrame();
}

TEST(DriveMessages, EveryKindReadsBackThroughKelvoWithItsFields) {
  const DisplayLine line = MakeLine("Kimenet  32.5 Hz");
  const auto display = Decode(EncodeFrame(DisplayPayload(2, line, {true, true})));
  ASSERT_EQ(display.size(), 19u);
  EXPECT_EQ(display[2], 0x0E) << "line 2, Error and Run LEDs, kind 0";
  EXPECT_EQ(std::string(display.begin() + 3, display.end()), "Kimenet  32.5 Hz");

  std::array<uint8_t, 16> data{};
  data[15] = 0x7F;
  const auto write = Decode(EncodeFrame(MemoryWritePayload(0x1F20, data, {false, false})));
  ASSERT_EQ(write.size(), 21u);
  EXPECT_EQ(write[2] >> 4, kelvo::kReplyKindMemoryWrite);
  EXPECT_EQ(write[3], 0x1F);
  EXPECT_EQ(write[4], 0x20);
  EXPECT_EQ(write[20], 0x7F);

  const auto read = Decode(EncodeFrame(MemoryReadPayload(3, line, 0x0102, {false, true})));
  ASSERT_EQ(read.size(), 21u);
  EXPECT_EQ(read[2], 0xFB);
  EXPECT_EQ(read[19], 0x01);
  EXPECT_EQ(read[20], 0x02);

  for (uint8_t kind = kelvo::kReplyKindFirstKeepAlive; kind <= kelvo::kReplyKindLastKeepAlive;
       ++kind) {
    EXPECT_EQ(Decode(EncodeFrame(KeepAlivePayload(kind, 3, line, {false, false})))[2] >> 4, kind);
  }
}

TEST(DisplayTexts, AccentedLettersTakeTheDisplayCodes) {
  EXPECT_EQ(ToDisplayCodes("Áé°µ«»÷őű"),
            (std::vector<uint8_t>{0x8F, 0x82, 0xF8, 0xE4, 0x7F, 0x7E, 0xFD, 0x93, 0x96}));
  EXPECT_EQ(ToDisplayCodes("a\xC3"), (std::vector<uint8_t>{'a', '?'})) << "cut UTF-8";
  EXPECT_EQ(MakeLine("12345678901234567890")[15], '6');
}

TEST(LineReceiver, AnswerSplitOverReadsIsDecodedWithItsFields) {
  FrameReceiver receiver;
  const Frame answer = TerminalRequest(0x0108);  // JOG
  const auto t0 = Clock::time_point{} + std::chrono::seconds(1);
  receiver.Feed({answer.data(), 5}, t0);
  EXPECT_FALSE(receiver.HasAnswer());
  receiver.Feed({answer.data() + 5, answer.size() - 5}, t0 + std::chrono::milliseconds(3));
  ASSERT_TRUE(receiver.HasAnswer());
  const TerminalAnswer got = receiver.TakeAnswer();
  EXPECT_EQ(got.keyState1, 0x08);
  EXPECT_EQ(got.address, 0x0102);
  EXPECT_EQ(got.value1, 0xABCD);
  EXPECT_EQ(got.startedAt, t0) << "turnaround counts from the first byte";
}

TEST(LineReceiver, JunkBrokenAndForeignFramesAreCountedAndTheNextAnswerStillArrives) {
  FrameReceiver receiver;
  const Frame answer = TerminalRequest(0x0001);
  std::vector<uint8_t> line = {'x', 'y', 0x03, 'z'};             // 4 junk bytes
  line.insert(line.end(), answer.begin(), answer.begin() + 10);  // cut short by ...
  line.insert(line.end(), answer.begin(), answer.end());         // ... a whole answer
  Frame corrupt = answer;
  corrupt[7] ^= 0x01;
  line.insert(line.end(), corrupt.begin(), corrupt.end());  // bad checksum
  const Frame drive = EncodeFrame(DisplayPayload(0, MakeLine("x"), {false, false}));
  line.insert(line.end(), drive.begin(), drive.end());  // another drive
  receiver.Feed(line, Clock::time_point{});
  EXPECT_EQ(receiver.Counts().junkBytes, 4u);
  EXPECT_EQ(receiver.Counts().brokenFrames, 2u);
  EXPECT_EQ(receiver.Counts().otherFrames, 1u);
  ASSERT_TRUE(receiver.HasAnswer());
  EXPECT_EQ(receiver.TakeAnswer().keyState0, 0x01);
  EXPECT_FALSE(receiver.HasAnswer());
}

TEST(LineReceiver, EndlessFrameWithoutEtxIsDroppedAtTheFrameLimit) {
  FrameReceiver receiver;
  std::vector<uint8_t> flood(5000, '0');
  flood[0] = 0x02;
  receiver.Feed(flood, Clock::time_point{});
  EXPECT_EQ(receiver.Counts().brokenFrames, 1u);
  const Frame answer = TerminalRequest(0x0002);
  receiver.Feed(answer, Clock::time_point{});
  EXPECT_TRUE(receiver.HasAnswer()) << "the receiver recovers at the next STX";
}

TEST(CommandLine, BadOptionsAreRefusedWithAReason) {
  Options options;
  std::string error;
  const char *unknown[] = {"vdrive", "--fats"};
  EXPECT_FALSE(ParseOptions(2, unknown, options, error));
  const char *path[] = {"vdrive", "--name", "../x"};
  EXPECT_FALSE(ParseOptions(3, path, options, error));
  const char *zero[] = {"vdrive", "--duration=0"};
  EXPECT_FALSE(ParseOptions(2, zero, options, error));
  const char *good[] = {"vdrive", "--name=VD2", "--duration", "1.5", "--fast", "--stats"};
  ASSERT_TRUE(ParseOptions(6, good, options, error)) << error;
  EXPECT_EQ(options.name, "VD2");
  EXPECT_DOUBLE_EQ(options.durationSeconds, 1.5);
  EXPECT_TRUE(options.fast && options.stats);
}

}  // namespace
}  // namespace vdrive
