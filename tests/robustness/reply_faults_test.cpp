// The line misbehaving: replies cut short, memory addresses at and beyond the
// end of the image, and a stream of junk that never ends a frame. The handler
// stays within its bounds, keeps the image sound and answers the next good
// converter message.
#include <QByteArray>
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>
#include "fake_port_control.h"
#include "fault_helpers.h"
#include "link_frames.h"
#include "recording_link_host.h"
#include "reply_handler.h"

using namespace link_test;

namespace {

using robustness::HeapBytesInUse;
using robustness::ResidentKilobytes;

TTerminalMemory ImageOf(uint8_t seed) {
  TTerminalMemory memory;
  for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
    memory.Write(a, static_cast<uint8_t>(a * 3 + seed));
  }
  return memory;
}

class ReplyFaults : public testing::Test {
 protected:
  void SetUp() override {
    Kelvo_SetButtonStatus(beReleaseAll, 0);
    Kelvo_SetAddress(0);
    Kelvo_SetValue(0, 0, 0, 0);
    port.portName = QStringLiteral("COM1");
    port.openable = {port.portName};
    port.connected = true;
    settings.PTConnect = false;
    settings.PTDisconnect = false;
  }

  void Feed(const QByteArray &chunk) { handler.HandleReply(chunk); }

  // Feeds a display line and checks that it was answered.
  void ExpectAnsweredDisplayLine() {
    const size_t written = port.written.size();
    const int steps = host.updateGraphicModeCount;
    Feed(DisplayLine(0));
    EXPECT_EQ(port.written.size(), written + 1);
    EXPECT_EQ(host.updateGraphicModeCount, steps + 1);
  }

  TLinkState state;
  TTerminalMemory memory = ImageOf(1);
  TProgramSettings settings;
  TFakePortControl port;
  TRecordingLinkHost host;
  TReplyHandler handler{state, memory, settings, port, host, host};
};

// --- replies shorter than their kind needs ---

using ShortReplies = ReplyFaults;

TEST_F(ShortReplies, EveryKindCutShortIsAnsweredAndCarriesNothingOut) {
  std::vector<uint8_t> rest(18, 0x00);  // memory address 0, data, read address 0
  std::fill(rest.begin() + 2, rest.begin() + 18, 0xEE);
  for (int kind = 0; kind < 16; ++kind) {
    for (size_t length = 0; length < TReplyHandler::kMemoryBlockLength; ++length) {
      const bool enoughForLine = kind <= 1 && length >= TReplyHandler::kDisplayLineLength;
      const size_t written = port.written.size();
      const int steps = host.updateGraphicModeCount;
      Feed(ConverterMessage(static_cast<uint8_t>(kind << 4), rest, length));
      if (length == 0) {
        // No kind byte: not a converter message at all.
        EXPECT_EQ(port.written.size(), written) << "kind " << kind;
        continue;
      }
      EXPECT_EQ(port.written.size(), written + 1) << "kind " << kind << " length " << length;
      EXPECT_EQ(DecodeRequest(port.written.back()).address, 0);
      EXPECT_EQ(DecodeRequest(port.written.back()).value, 0);
      EXPECT_EQ(host.updateGraphicModeCount, steps + (enoughForLine ? 1 : 0));
    }
  }
  EXPECT_EQ(memory, ImageOf(1));
  EXPECT_EQ(host.refreshDisplayCount, 0);
  EXPECT_FALSE(host.memorySaveEnabled);
}

// A frame whose end never arrives runs into the next frame: the two make one
// bad frame, dropped unanswered; the frame after that is handled as usual.
TEST_F(ShortReplies, FrameCutAtAnyPointCostsOnlyItselfAndTheNextFrame) {
  const std::vector<QByteArray> frames = {DisplayLine(1), MemoryWrite(0x0010, {1, 2, 3}),
                                          MemoryRead(0x0020), ProgTermFrame()};
  for (const QByteArray &frame : frames) {
    for (qsizetype cut = 1; cut < frame.size(); ++cut) {
      const size_t written = port.written.size();
      const uint16_t frameCount = state.ReceivedFrameCount;
      Feed(frame.left(cut));
      Feed(MemoryWrite(0x0100, {9, 9, 9}));
      EXPECT_EQ(port.written.size(), written) << "cut at " << cut;
      EXPECT_EQ(state.ReceivedFrameCount, frameCount + 1);
      EXPECT_EQ(state.ProgTermCountdown, 0);
      ExpectAnsweredDisplayLine();
    }
  }
  EXPECT_EQ(memory, ImageOf(1));
  EXPECT_TRUE(handler.ReceiveBuffer().isEmpty());
}

// --- memory addresses at the end of the image and beyond ---

using MemoryEdge = ReplyFaults;

TEST_F(MemoryEdge, WritesFrom1FF0To0xFFFFStoreOnlyTheBytesInsideTheImage) {
  TTerminalMemory expected = ImageOf(1);
  std::vector<uint8_t> data(16);
  for (uint32_t address = 0x1FF0; address <= 0xFFFF; ++address) {
    for (uint32_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<uint8_t>(address + i * 17);
      expected.Write(address + i, data[i]);
    }
    Feed(MemoryWrite(static_cast<uint16_t>(address), data));
    if (address < TTerminalMemory::kSize) {
      ASSERT_EQ(memory, expected) << "address " << address;
    }
  }
  EXPECT_EQ(memory, expected);
  EXPECT_EQ(port.written.size(), 0x10000u - 0x1FF0u);
  EXPECT_TRUE(host.memorySaveEnabled);
}

TEST_F(MemoryEdge, ReadsFrom1FF0To0xFFFFAnswerZeroForBytesOutsideTheImage) {
  for (uint32_t address = 0x1FF0; address <= 0xFFFF; ++address) {
    Feed(MemoryRead(static_cast<uint16_t>(address)));
    ASSERT_FALSE(port.written.empty());
    const TDecodedRequest answer = DecodeRequest(port.written.back());
    ASSERT_TRUE(answer.valid);
    ASSERT_EQ(answer.address, address);
    const uint16_t value =
        static_cast<uint16_t>(memory.Read(address) * 256u + memory.Read(address + 1));
    ASSERT_EQ(answer.value, value) << "address " << address;
    if (address >= TTerminalMemory::kSize - 1) {
      ASSERT_EQ(answer.value & 0x00FF, 0) << "address " << address;
    }
  }
  EXPECT_EQ(memory, ImageOf(1));
}

// --- frames queued up by stray ETX characters or by one write ---

using QueuedFrames = ReplyFaults;

// One write of stray ETX characters, then an exchange of memory reads at
// different addresses, each in a chunk of its own (as vdrive and a network
// port deliver them): every request is answered at once with its own address
// and value, never with the one of the message before.
TEST_F(QueuedFrames, StrayEtxInOneWriteNeverLeaveLaterAnswersLate) {
  for (const int strayCount : {1, 10, 200}) {
    port.written.clear();
    Feed(QByteArray(strayCount, '\x03'));
    EXPECT_EQ(state.ReceivedFrameCount, strayCount) << strayCount << " stray ETX";
    EXPECT_TRUE(handler.ReceiveBuffer().isEmpty());
    for (uint16_t i = 0; i < 12; ++i) {
      const uint16_t address = static_cast<uint16_t>(0x0100 + 0x0111 * i);
      Feed(MemoryRead(address));
      ASSERT_EQ(port.written.size(), i + 1u) << strayCount << " stray ETX, read " << i;
      const TDecodedRequest answer = DecodeRequest(port.written.back());
      EXPECT_EQ(answer.address, address);
      EXPECT_EQ(answer.value, memory.Read(address) * 256 + memory.Read(address + 1u));
    }
    state.ReceivedFrameCount = 0;
  }
}

// Two valid frames in one write get two answers in that call; the following
// exchange stays in step, and memory blocks answered for are in the image.
TEST_F(QueuedFrames, TwoFramesInOneWriteAreBothHandledAndAnswered) {
  Feed(MemoryWrite(0x0200, {1, 2, 3}) + MemoryWrite(0x0210, {4, 5, 6}));
  EXPECT_EQ(port.written.size(), 2u);
  EXPECT_EQ(memory.Read(0x0200), 1);
  EXPECT_EQ(memory.Read(0x0210), 4);
  EXPECT_TRUE(handler.ReceiveBuffer().isEmpty());
  Feed(MemoryRead(0x0210));
  ASSERT_EQ(port.written.size(), 3u);
  EXPECT_EQ(DecodeRequest(port.written.back()).value, 0x0405);
}

// A port opened again starts from an empty buffer: the half frame and the
// junk of the line before do not spoil the first frame of the new one.
TEST_F(QueuedFrames, ReopenedPortStartsFromAnEmptyBuffer) {
  Feed(DisplayLine(0).left(9) + "junk");
  port.ClosePort();
  port.OpenPort();
  ExpectAnsweredDisplayLine();
  EXPECT_TRUE(handler.ReceiveBuffer().isEmpty());
}

// --- junk that never ends a frame ---

using JunkFlood = ReplyFaults;

// The characters a 19200 baud line (8N1) carries in a minute, in the small
// chunks a serial read hands over.
TEST_F(JunkFlood, MinuteOfJunkKeepsTheBufferBoundedAndTheLinkRecovers) {
  const QByteArray chunk(32, '\x55');
  for (int i = 0; i < 60 * 1920 / chunk.size(); ++i) {
    Feed(chunk);
    ASSERT_LE(handler.ReceiveBuffer().size(), TReplyHandler::kReceiveBufferLimit);
  }
  EXPECT_EQ(state.ReceivedFrameCount, 0);
  EXPECT_TRUE(port.written.empty());
  // The first frame after the junk is spoilt by it; the next one gets through.
  Feed(DisplayLine(0));
  EXPECT_TRUE(port.written.empty());
  ExpectAnsweredDisplayLine();
}

TEST_F(JunkFlood, TenMegabytesOfJunkLeaveTheMemoryUseFlat) {
  QByteArray chunk(4096, '\0');
  for (qsizetype i = 0; i < chunk.size(); ++i) {
    chunk[i] = static_cast<char>(i % 251 == 3 ? 0x04 : i % 251);  // anything but ETX
  }
  // Warm up: the buffer reaches its bound and its final allocation.
  for (int i = 0; i < 64; ++i) {
    Feed(chunk);
  }
  const long residentBefore = ResidentKilobytes();
  const size_t heapBefore = HeapBytesInUse();
  for (int i = 0; i < 10 * 1024 * 1024 / chunk.size(); ++i) {
    Feed(chunk);
    ASSERT_LE(handler.ReceiveBuffer().size(), TReplyHandler::kReceiveBufferLimit);
  }
  const size_t heapAfter = HeapBytesInUse();
  const long residentAfter = ResidentKilobytes();

  EXPECT_LE(heapAfter, heapBefore + 64 * 1024);
  EXPECT_LE(residentAfter, residentBefore + 4 * 1024) << "kB before " << residentBefore;
  EXPECT_EQ(state.ReceivedFrameCount, 0);
  Feed(DisplayLine(0));
  ExpectAnsweredDisplayLine();
}

}  // namespace
