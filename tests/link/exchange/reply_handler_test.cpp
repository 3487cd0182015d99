#include "reply_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fake_port_control.h"
#include "link_frames.h"
#include "recording_link_host.h"

using namespace link_test;

namespace {

using TLog = std::vector<std::string>;

class ReplyHandlerTest : public testing::Test {
 protected:
  void SetUp() override {
    Kelvo_SetButtonStatus(beReleaseAll, 0);
    Kelvo_SetAddress(0);
    Kelvo_SetValue(0, 0, 0, 0);
    port.portName = QStringLiteral("COM1");
    port.openable = {QStringLiteral("COM1")};
    port.connected = true;
  }

  void Feed(const QByteArray &chunk) { handler.HandleReply(chunk); }
  size_t Count(const std::string &entry) const { return std::count(log.begin(), log.end(), entry); }

  TLog log;
  TLinkState state;
  TTerminalMemory memory;
  TProgramSettings settings;
  TFakePortControl port{&log};
  TRecordingLinkHost host{&log};
  TReplyHandler handler{state, memory, settings, port, host, host};
};

// --- cutting frames out of the received characters ---

using ReplyFraming = ReplyHandlerTest;

TEST_F(ReplyFraming, FrameSplitOverChunksIsHandledWhenItsEtxArrives) {
  const QByteArray frame = DisplayLine(1);
  Feed(frame.left(5));
  Feed(frame.mid(5, 20));
  EXPECT_EQ(state.ReceivedFrameCount, 0);
  EXPECT_TRUE(port.written.empty());
  Feed(frame.mid(25));
  EXPECT_EQ(state.ReceivedFrameCount, 1);
  EXPECT_EQ(host.updateGraphicModeCount, 1);
  EXPECT_EQ(port.written.size(), 1u);
  EXPECT_TRUE(handler.ReceiveBuffer().isEmpty());
}

TEST_F(ReplyFraming, EveryFrameOfAChunkIsHandledInOrderInThatCall) {
  Feed(DisplayLine(0) + MemoryWrite(0x0000, {7}) + DisplayLine(1).left(10));
  EXPECT_EQ(state.ReceivedFrameCount, 2);
  EXPECT_EQ(host.updateGraphicModeCount, 1);
  EXPECT_EQ(memory.Read(0), 7);
  EXPECT_EQ(log, (TLog{"repaint status bar", "update graphic mode", "write", "write"}));
  EXPECT_EQ(handler.ReceiveBuffer(), DisplayLine(1).left(10));
}

TEST_F(ReplyFraming, CharactersBeforeStxSpoilThatFrameWhichStillCounts) {
  Feed("xy" + DisplayLine(0));
  EXPECT_EQ(state.ReceivedFrameCount, 1);
  EXPECT_FALSE(state.ConverterConnected);
  EXPECT_EQ(host.updateGraphicModeCount, 0);
  EXPECT_TRUE(port.written.empty());

  Feed(DisplayLine(0));
  EXPECT_EQ(state.ReceivedFrameCount, 2);
  EXPECT_TRUE(state.ConverterConnected);
  EXPECT_EQ(port.written.size(), 1u);
}

TEST_F(ReplyFraming, LineWithoutEtxKeepsTheBufferBounded) {
  const QByteArray junk(64, 'x');
  for (int i = 0; i < 20000; ++i) {
    Feed(junk);
    ASSERT_LE(handler.ReceiveBuffer().size(), TReplyHandler::kReceiveBufferLimit);
  }
  EXPECT_LE(handler.ReceiveBuffer().capacity(), 4 * TReplyHandler::kReceiveBufferLimit);
  EXPECT_EQ(state.ReceivedFrameCount, 0);

  // The junk ends with the next ETX; the link then goes on normally.
  Feed(DisplayLine(0));
  Feed(DisplayLine(1));
  EXPECT_EQ(state.ReceivedFrameCount, 2);
  EXPECT_EQ(host.updateGraphicModeCount, 1);
}

// --- answers ---

using ReplyAnswer = ReplyHandlerTest;

TEST_F(ReplyAnswer, HoldOffLeavesFiveMessagesUnansweredThenAnswers) {
  state.SendSkipCount = 5;
  for (int i = 0; i < 5; ++i) {
    Feed(DisplayLine(0));
  }
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(state.SendSkipCount, 0);
  Feed(DisplayLine(0));
  ASSERT_EQ(port.written.size(), 1u);
  EXPECT_EQ(port.written[0].size(), 22);
  EXPECT_TRUE(DecodeRequest(port.written[0]).valid);
}

TEST_F(ReplyAnswer, MemoryReadDuringHoldOffLeavesWithTheFirstCompiledRequest) {
  memory.Write(0x0100, 0xAB);
  memory.Write(0x0101, 0xCD);
  state.SendSkipCount = 1;
  Feed(MemoryRead(0x0100));
  EXPECT_TRUE(port.written.empty());

  Feed(ConverterMessage(0x20));
  ASSERT_EQ(port.written.size(), 1u);
  TDecodedRequest request = DecodeRequest(port.written[0]);
  EXPECT_EQ(request.address, 0x0100);
  EXPECT_EQ(request.value, 0xABCD);

  Feed(ConverterMessage(0x20));
  request = DecodeRequest(port.written[1]);
  EXPECT_EQ(request.address, 0);
  EXPECT_EQ(request.value, 0);
}

TEST_F(ReplyAnswer, KindsTwoToThirteenAreAnsweredAndChangeNothingElse) {
  for (int kind = 2; kind <= 13; ++kind) {
    Feed(ConverterMessage(static_cast<uint8_t>(kind << 4 | 0x0F), std::vector<uint8_t>(18, 0x55)));
  }
  EXPECT_EQ(port.written.size(), 12u);
  EXPECT_EQ(host.updateGraphicModeCount + host.refreshDisplayCount, 0);
  EXPECT_EQ(memory, TTerminalMemory());
  EXPECT_FALSE(host.memorySaveEnabled);
  EXPECT_TRUE(state.ConverterConnected);
  EXPECT_EQ(host.statusBarRepaints, 1);  // only when the converter appears
  EXPECT_EQ(state.ReceivedFrameCount, 12);
}

TEST_F(ReplyAnswer, ProgrammingTerminalFramesAndFailedFramesAreNotAnswered) {
  settings.PTConnect = false;
  Feed(ProgTermFrame());
  QByteArray broken = DisplayLine(0);
  broken[5] = 'A';
  Feed(broken);
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(state.ReceivedFrameCount, 2);
  EXPECT_FALSE(state.ConverterConnected);
}

TEST_F(ReplyAnswer, ClosedPortConsumesTheRequestWithoutWriting) {
  port.connected = false;
  Kelvo_SetButtonStatus(bePressed, 0x0010);
  Kelvo_SetButtonStatus(beReleased, 0x0010);
  memory.Write(0x0010, 0x12);
  Feed(MemoryRead(0x0010));
  EXPECT_TRUE(port.written.empty());

  port.connected = true;
  Feed(DisplayLine(0));
  ASSERT_EQ(port.written.size(), 1u);
  const TDecodedRequest request = DecodeRequest(port.written[0]);
  EXPECT_EQ(request.keyState0, 0);
  EXPECT_EQ(request.address, 0);
  EXPECT_EQ(request.value, 0);
}

// --- what converter messages carry ---

using ReplyContent = ReplyHandlerTest;

TEST_F(ReplyContent, DisplayLineRunsTheGraphicModeStepOnly) {
  Feed(DisplayLine(2));
  EXPECT_EQ(host.updateGraphicModeCount, 1);
  EXPECT_EQ(host.refreshDisplayCount, 0);  // the window's step refreshes itself
  EXPECT_EQ(state.ReplyData.length, 21u);
  EXPECT_EQ(state.ReplyData.bytes[3], 'H');
}

TEST_F(ReplyContent, ShortMessagesAreIgnoredButAnswered) {
  Feed(ConverterMessage(0x01, {'a', 'b'}, 18));          // display line needs 19
  Feed(ConverterMessage(0x00, {}, 1));                   // no status byte at all
  Feed(ConverterMessage(0xE0, {0, 0, 9, 9, 9, 9}, 20));  // memory write needs 21
  Feed(ConverterMessage(0xF0, std::vector<uint8_t>(17, 0x20), 20));
  EXPECT_EQ(host.updateGraphicModeCount + host.refreshDisplayCount, 0);
  EXPECT_EQ(memory, TTerminalMemory());
  EXPECT_FALSE(host.memorySaveEnabled);
  EXPECT_EQ(port.written.size(), 4u);
  EXPECT_TRUE(state.ConverterConnected);

  Feed(ConverterMessage(0x00, std::vector<uint8_t>(16, 'z'), 19));  // just long enough
  EXPECT_EQ(host.updateGraphicModeCount, 1);
}

TEST_F(ReplyContent, MemoryWriteStoresSixteenBytesAndEnablesSaveEvenWhenZero) {
  Feed(MemoryWrite(0x0200, std::vector<uint8_t>(16, 0)));
  EXPECT_TRUE(host.memorySaveEnabled);

  std::vector<uint8_t> data;
  for (uint8_t i = 1; i <= 16; ++i) {
    data.push_back(i);
  }
  Feed(MemoryWrite(0x0200, data));
  for (uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(memory.Read(0x0200 + i), i + 1);
  }
  EXPECT_EQ(memory.Read(0x01FF), 0);
  EXPECT_EQ(memory.Read(0x0210), 0);
  EXPECT_EQ(host.memorySaveChanges, 1);  // enabled once, not set again
}

TEST_F(ReplyContent, MemoryWriteReachingPastTheImageStoresOnlyTheBytesInside) {
  Feed(MemoryWrite(0x1FF8, std::vector<uint8_t>(16, 0xEE)));
  for (uint32_t a = 0x1FF8; a <= 0x1FFF; ++a) {
    EXPECT_EQ(memory.Read(a), 0xEE);
  }
  EXPECT_EQ(memory.Read(0x1FF7), 0);

  TTerminalMemory before = memory;
  Feed(MemoryWrite(0xFFFF, std::vector<uint8_t>(16, 0x11)));
  Feed(MemoryWrite(0x2000, std::vector<uint8_t>(16, 0x11)));
  EXPECT_EQ(memory, before);
  EXPECT_EQ(port.written.size(), 3u);
  // The memory view hears of every block, as the converter addressed it.
  const std::vector<std::pair<uint32_t, uint32_t>> blocks = {
      {0x1FF8, 16}, {0xFFFF, 16}, {0x2000, 16}};
  EXPECT_EQ(host.memoryBlocksWritten, blocks);
}

TEST_F(ReplyContent, MemoryReadRefreshesTheDisplayAndAnswersWithTwoBytes) {
  memory.Write(0x1FF0, 0x12);
  memory.Write(0x1FF1, 0x34);
  Feed(MemoryRead(0x1FF0));
  EXPECT_EQ(host.refreshDisplayCount, 1);
  EXPECT_EQ(host.updateGraphicModeCount, 0);
  ASSERT_EQ(port.written.size(), 1u);
  EXPECT_EQ(DecodeRequest(port.written[0]).address, 0x1FF0);
  EXPECT_EQ(DecodeRequest(port.written[0]).value, 0x1234);
}

TEST_F(ReplyContent, MemoryReadOutsideTheImageReadsZeroForMissingBytes) {
  memory.Write(0x1FFF, 0x7F);
  Feed(MemoryRead(0x1FFF));
  Feed(MemoryRead(0x2000));
  Feed(MemoryRead(0xFFFF));
  ASSERT_EQ(port.written.size(), 3u);
  EXPECT_EQ(DecodeRequest(port.written[0]).value, 0x7F00);
  EXPECT_EQ(DecodeRequest(port.written[1]).address, 0x2000);
  EXPECT_EQ(DecodeRequest(port.written[1]).value, 0);
  EXPECT_EQ(DecodeRequest(port.written[2]).address, 0xFFFF);
  EXPECT_EQ(DecodeRequest(port.written[2]).value, 0);
}

// --- converter and programming terminal presence, alerts ---

using ProgTermAlerts = ReplyHandlerTest;

TEST_F(ProgTermAlerts, ConnectAlertStopsTheLinkAroundItsDialog) {
  bool countdownSetBeforeDialog = false;
  host.onProgTermAlert = [&] { countdownSetBeforeDialog = state.ProgTermCountdown == 3; };
  Feed(ProgTermFrame());

  const TLog expected{
      "repaint status bar",   "timer off", "close", "alert", "open COM1 ok", "timer on",
      "connect alert checked"};
  EXPECT_EQ(log, expected);
  EXPECT_TRUE(countdownSetBeforeDialog);
  EXPECT_EQ(state.ProgTermCountdown, 3);
  ASSERT_EQ(host.progTermAlerts.size(), 1u);
  EXPECT_EQ(host.progTermAlerts[0].alert, TProgTermAlert::Connected);
  EXPECT_TRUE(host.progTermAlerts[0].showNextTimeShown);
}

TEST_F(ProgTermAlerts, UntickedBoxIsStoredInTheSettingAndTheMenuCheck) {
  host.progTermAlertAnswer = false;
  Feed(ProgTermFrame());
  EXPECT_FALSE(settings.PTConnect);
  EXPECT_FALSE(host.connectAlertChecked);

  // Terminal gone (alert ticked off too), then back: no connect dialog now.
  for (int i = 0; i < 3; ++i) {
    Feed(DisplayLine(0));
  }
  EXPECT_FALSE(settings.PTDisconnect);
  EXPECT_FALSE(host.disconnectAlertChecked);
  const size_t alertsSoFar = host.progTermAlerts.size();
  Feed(ProgTermFrame());
  EXPECT_EQ(host.progTermAlerts.size(), alertsSoFar);
}

TEST_F(ProgTermAlerts, UncheckedAlertShowsNoDialogButRepaintsTheStatusBar) {
  settings.PTConnect = false;
  Feed(ProgTermFrame());
  EXPECT_TRUE(host.progTermAlerts.empty());
  EXPECT_EQ(host.statusBarRepaints, 1);
  EXPECT_EQ(port.closeCount, 0);
  EXPECT_EQ(state.ProgTermCountdown, 3);
}

TEST_F(ProgTermAlerts, ThirdConverterMessageWithoutTerminalFrameShowsDisconnect) {
  settings.PTConnect = false;
  Feed(ProgTermFrame());
  Feed(DisplayLine(0));
  Feed(DisplayLine(0));
  Feed(ProgTermFrame());  // restarts the count
  EXPECT_EQ(state.ProgTermCountdown, 3);
  Feed(DisplayLine(0));
  Feed(DisplayLine(0));
  EXPECT_TRUE(host.progTermAlerts.empty());
  log.clear();
  Feed(DisplayLine(1));

  EXPECT_EQ(state.ProgTermCountdown, 0);
  ASSERT_EQ(host.progTermAlerts.size(), 1u);
  EXPECT_EQ(host.progTermAlerts[0].alert, TProgTermAlert::Disconnected);
  // The message is carried out and answered after the alert.
  const TLog expected{"repaint status bar",
                      "timer off",
                      "close",
                      "alert",
                      "open COM1 ok",
                      "timer on",
                      "disconnect alert checked",
                      "update graphic mode",
                      "write"};
  EXPECT_EQ(log, expected);
}

// The port cannot be opened again after the alert (the adapter was pulled
// meanwhile): the message is still carried out and its answer compiled, so
// the memory-read answer is used up rather than sent late, but nothing is
// written; the timer runs again, so the watchdog and the search go on.
TEST_F(ProgTermAlerts, AlertWhoseReopenFailsCompilesTheAnswerWithoutWritingIt) {
  settings.PTConnect = false;
  Feed(ProgTermFrame());
  Feed(DisplayLine(0));
  Feed(DisplayLine(0));
  const size_t writtenBefore = port.written.size();
  memory.Write(0x0040, 0x12);
  port.openable.clear();
  Feed(MemoryRead(0x0040));

  EXPECT_EQ(host.progTermAlerts.size(), 1u);
  EXPECT_FALSE(port.connected);
  EXPECT_EQ(port.written.size(), writtenBefore);
  EXPECT_TRUE(host.timerEnabled);
  EXPECT_EQ(host.refreshDisplayCount, 1);

  port.connected = true;
  Feed(DisplayLine(0));
  ASSERT_EQ(port.written.size(), writtenBefore + 1);
  EXPECT_EQ(DecodeRequest(port.written.back()).address, 0);
}

// The port is closed while the alert is up and opened again after it: what the
// line sent before that (the rest of the chunk) is not answered on the
// reopened port.
TEST_F(ProgTermAlerts, LineBeforeTheReopenAfterTheAlertIsDropped) {
  Feed(ProgTermFrame() + DisplayLine(1));
  EXPECT_EQ(state.ReceivedFrameCount, 1);
  EXPECT_EQ(host.updateGraphicModeCount, 0);
  EXPECT_TRUE(port.written.empty());
  EXPECT_TRUE(handler.ReceiveBuffer().isEmpty());

  Feed(DisplayLine(0));
  EXPECT_EQ(state.ReceivedFrameCount, 2);
  EXPECT_EQ(port.written.size(), 1u);
}

}  // namespace
