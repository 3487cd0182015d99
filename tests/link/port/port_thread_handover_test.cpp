// Handing received chunks to the main thread: a receiver that closes and
// reopens the port (the programming-terminal alert does, with a modal dialog
// in between), chunks of a port closed meanwhile, and ending the object
// while a chunk waits for a main thread that will not take it.
#include <gtest/gtest.h>
#include <memory>
#include <numeric>
#include <vector>

#include "fake_usb_device.h"
#include "port_thread.h"
#include "pty_line.h"
#include "recording_dialogs.h"

namespace {

class HandOverTest : public testing::Test {
 protected:
  void SetUp() override { map.Register(QStringLiteral("COM7"), line.SlavePath()); }

  std::unique_ptr<TPortThread> MakePort() {
    auto port = std::make_unique<TPortThread>(std::make_unique<TFakeUsbDevice>(), map.Sources());
    port->ConfigureLine(QStringLiteral("COM7"));
    return port;
  }

  // Lets the worker read 'bytes' and post its hand-over without the main
  // thread taking it.
  void LeaveChunkPending(TPortThread &port, const QByteArray &bytes) {
    line.Send(bytes);
    for (int i = 0; i < 5000 && !port.HandOverPending(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(port.HandOverPending());
  }

  TPtyLine line;
  TTemporaryPortMap map;
  TRecordingDialogs dialogs;
  std::vector<QByteArray> chunks;
};

using ReceiverReopensPort = HandOverTest;

TEST_F(ReceiverReopensPort, CloseAndOpenInsideTheReceiverWithAModalLoopBetween) {
  auto port = MakePort();
  bool alertShown = false;
  port->OnReceive = [&](const QByteArray &chunk) {
    chunks.push_back(chunk);
    if (alertShown) {
      return;
    }
    alertShown = true;
    EXPECT_TRUE(port->ClosePort());
    // While the "dialog" runs its own event loop, the converter goes on
    // talking; nothing may reach the receiver until it has returned.
    line.Send("during");
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(chunks.size(), 1u);
    EXPECT_TRUE(port->OpenPort());
  };
  line.Send("first");
  ASSERT_TRUE(WaitUntil([&] { return alertShown; }));
  line.Send("after");
  ASSERT_TRUE(WaitUntil([&] { return !chunks.empty() && chunks.back().endsWith("after"); }));
  EXPECT_EQ(chunks.front(), QByteArray("first"));
  EXPECT_TRUE(port->Connected());
}

TEST_F(ReceiverReopensPort, WriteFromInsideTheReceiverReachesTheConverter) {
  auto port = MakePort();
  port->OnReceive = [&](const QByteArray &chunk) {
    chunks.push_back(chunk);
    const uint8_t answer[] = {0x02, 'O', 'K', 0x03};
    port->WriteData(answer, sizeof answer);
  };
  line.Send(
      "\x02"
      "M\x03");
  ASSERT_TRUE(WaitUntil([&] { return !chunks.empty(); }));
  EXPECT_EQ(line.Received(), QByteArray("\x02"
                                        "OK\x03"));
}

using OneHandOverAtATime = HandOverTest;

// The worker goes on reading while the receiver runs (here a modal loop);
// what it reads meanwhile waits until the receiver has returned.
TEST_F(OneHandOverAtATime, BytesReadWhileTheReceiverRunsWaitForItAndKeepTheirOrder) {
  auto port = MakePort();
  bool inside = false;
  port->OnReceive = [&](const QByteArray &chunk) {
    EXPECT_FALSE(inside);
    inside = true;
    chunks.push_back(chunk);
    if (chunks.size() == 1) {
      line.Send("\x02two\x03");
      WaitUntil([] { return false; }, 100);
      line.Send("\x02three\x03");
      WaitUntil([] { return false; }, 50);
      EXPECT_EQ(chunks.size(), 1u);
    }
    inside = false;
  };
  line.Send("\x02one\x03");
  const auto all = [&] { return std::accumulate(chunks.begin(), chunks.end(), QByteArray()); };
  ASSERT_TRUE(WaitUntil([&] { return all().endsWith("three\x03"); }));
  EXPECT_EQ(all(), QByteArray("\x02one\x03\x02two\x03\x02three\x03"));
}

using StaleChunk = HandOverTest;

TEST_F(StaleChunk, ChunkOfAPortClosedSinceIsNotDelivered) {
  auto port = MakePort();
  port->OnReceive = [&](const QByteArray &chunk) { chunks.push_back(chunk); };
  LeaveChunkPending(*port, "old port");
  ASSERT_TRUE(port->ClosePort());
  ASSERT_TRUE(port->OpenPort());
  ASSERT_TRUE(WaitUntil([&] { return !port->HandOverPending(); }));
  EXPECT_TRUE(chunks.empty());

  line.Send("new port");
  ASSERT_TRUE(WaitUntil([&] { return !chunks.empty(); }));
  EXPECT_EQ(chunks.front(), QByteArray("new port"));
}

using EndingThePort = HandOverTest;

TEST_F(EndingThePort, DestroyWhileAChunkWaitsForTheMainThread) {
  bool delivered = false;
  {
    auto port = MakePort();
    port->OnReceive = [&](const QByteArray &) { delivered = true; };
    LeaveChunkPending(*port, "never taken");
    port->ClosePort();
  }  // must not wait for the main thread
  QCoreApplication::processEvents();
  EXPECT_FALSE(delivered);
}

TEST_F(EndingThePort, DestroyWithThePortStillOpenGivesItsSettingsBack) {
  const termios before = line.SlaveTermios();
  {
    auto port = MakePort();
    port->OnReceive = [&](const QByteArray &chunk) { chunks.push_back(chunk); };
    LeaveChunkPending(*port, "pending");
  }
  const termios after = line.SlaveTermios();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

TEST_F(EndingThePort, DestroyWithoutAWorkerEndsAtOnce) {
  TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
  EXPECT_FALSE(port.ConfigureLine(QString()));
  EXPECT_FALSE(port.WorkerStarted());
}

TEST_F(EndingThePort, DestroyFromInsideTheReceiver) {
  auto port = MakePort();
  bool called = false;
  port->OnReceive = [&](const QByteArray &) {
    called = true;
    port.reset();
  };
  line.Send("bye");
  ASSERT_TRUE(WaitUntil([&] { return called; }));
  EXPECT_EQ(port, nullptr);
}

}  // namespace
