// The serial side of TPortThread on a pseudo-terminal: line settings applied
// and given back, exclusive use, open errors, delivery of received bytes,
// the write path and a line that hangs up.
#include <sys/file.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <limits>
#include <memory>
#include <set>
#include <vector>

#include "fake_usb_device.h"
#include "open_error_dialogs.h"
#include "port_thread.h"
#include "pty_line.h"
#include "recording_dialogs.h"
#include "text_table.h"

namespace {

class SerialPortTest : public testing::Test {
 protected:
  void SetUp() override { map.Register(QStringLiteral("COM7"), line.SlavePath()); }

  std::unique_ptr<TPortThread> MakePort() {
    auto port = std::make_unique<TPortThread>(std::make_unique<TFakeUsbDevice>(), map.Sources());
    port->ConfigureLine(QStringLiteral("COM7"));
    port->OnReceive = [this](const QByteArray &chunk) { chunks.push_back(chunk); };
    return port;
  }

  QByteArray AllReceived() const {
    QByteArray all;
    for (const QByteArray &chunk : chunks) {
      all.append(chunk);
    }
    return all;
  }

  TPtyLine line;
  TTemporaryPortMap map;
  TRecordingDialogs dialogs;
  std::vector<QByteArray> chunks;
};

speed_t SpeedOf(const termios &state) {
  return cfgetospeed(&state);
}

bool SameTermios(const termios &a, const termios &b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
         cfgetospeed(&a) == cfgetospeed(&b);
}

using SerialLineSettings = SerialPortTest;

TEST_F(SerialLineSettings, OpenAppliesRaw19200EightNoneOne) {
  auto port = MakePort();
  ASSERT_TRUE(port->Connected());

  const termios applied = line.SlaveTermios();
  EXPECT_EQ(cfgetospeed(&applied), B19200);
  EXPECT_EQ(cfgetispeed(&applied), B19200);
  EXPECT_EQ(applied.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(applied.c_cflag & (PARENB | CSTOPB), 0u);
  EXPECT_NE(applied.c_cflag & CREAD, 0u);
  EXPECT_EQ(applied.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(applied.c_iflag & (ICRNL | IXON | ISTRIP), 0u);
  EXPECT_EQ(applied.c_oflag & OPOST, 0u);
}

TEST_F(SerialLineSettings, CloseGivesThePortItsPreviousSettingsBack) {
  termios before = line.SlaveTermios();
  before.c_cflag |= CSTOPB;  // something of ours to see restored
  cfsetspeed(&before, B4800);
  tcsetattr(line.Slave(), TCSANOW, &before);
  before = line.SlaveTermios();

  auto port = MakePort();
  ASSERT_TRUE(port->Connected());
  ASSERT_FALSE(SameTermios(line.SlaveTermios(), before));
  EXPECT_TRUE(port->ClosePort());
  EXPECT_TRUE(SameTermios(line.SlaveTermios(), before));

  // A second open applies the configured values again, not the old ones.
  ASSERT_TRUE(port->OpenPort());
  EXPECT_EQ(SpeedOf(line.SlaveTermios()), B19200);
  EXPECT_EQ(line.SlaveTermios().c_cflag & CSTOPB, 0u);
  EXPECT_TRUE(port->ClosePort());
  EXPECT_TRUE(SameTermios(line.SlaveTermios(), before));
}

TEST_F(SerialLineSettings, SetterOnAnOpenPortReopensWithTheNewValue) {
  auto port = MakePort();
  port->SetBaudRate(9600);
  port->SetStopBits(kStopBitsTwo);  // (a pseudo-terminal takes no parity)
  EXPECT_TRUE(port->Connected());
  const termios applied = line.SlaveTermios();
  EXPECT_EQ(cfgetospeed(&applied), B9600);
  EXPECT_NE(applied.c_cflag & CSTOPB, 0u);
}

TEST_F(SerialLineSettings, SetterWhoseReopenFailsLeavesThePortClosed) {
  auto port = MakePort();
  port->SetPortName(QStringLiteral("COM8"));  // registered nowhere
  EXPECT_FALSE(port->Connected());
  EXPECT_EQ(port->PortName(), QStringLiteral("COM8"));
  EXPECT_TRUE(dialogs.records.empty());  // errors were not asked for
}

TEST(SerialTermios, ParityStopBitsAndByteSizeEncodings) {
  const termios previous{};
  TLineSettings line;
  line.byteSize = 7;
  line.parity = kParityMark;
  line.stopBits = kStopBitsTwo;
  termios applied = MakeAppliedTermios(previous, line);
  EXPECT_EQ(applied.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_EQ(applied.c_cflag & (PARENB | PARODD | CMSPAR),
            static_cast<tcflag_t>(PARENB | PARODD | CMSPAR));
  EXPECT_NE(applied.c_cflag & CSTOPB, 0u);

  line.parity = kParitySpace;
  line.stopBits = kStopBitsOne;
  applied = MakeAppliedTermios(applied, line);
  EXPECT_EQ(applied.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | CMSPAR));
  EXPECT_EQ(applied.c_cflag & CSTOPB, 0u);

  line.parity = kParityOdd;
  applied = MakeAppliedTermios(applied, line);
  EXPECT_EQ(applied.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB | PARODD));
}

TEST(SerialTermios, UnknownBaudRateKeepsThePortsSpeed) {
  termios previous{};
  cfsetspeed(&previous, B2400);
  TLineSettings line;
  line.baudRate = 12345;
  const termios applied = MakeAppliedTermios(previous, line);
  EXPECT_EQ(cfgetospeed(&applied), B2400);
  EXPECT_EQ(SpeedOfBaudRate(-1), B0);
}

using SerialOpenFailure = SerialPortTest;

TEST_F(SerialOpenFailure, PortHeldByAnotherPortObjectIsReportedBusy) {
  auto first = MakePort();
  ASSERT_TRUE(first->Connected());
  TPortThread second(std::make_unique<TFakeUsbDevice>(), map.Sources());
  second.SetPortName(QStringLiteral("COM7"));
  second.SetOpenFailureReport(ShowOpenFailureDialog);

  EXPECT_FALSE(second.OpenPort());
  ASSERT_EQ(dialogs.records.size(), 1u);
  const TMessageDialogRequest &shown = dialogs.last();
  EXPECT_EQ(shown.icon, 3);
  EXPECT_EQ(shown.caption, GetText(kTextError));
  EXPECT_EQ(shown.headline, GetText(kTextSerialPortError));
  EXPECT_EQ(shown.message, GetText(kTextDeviceBusy));
  EXPECT_EQ(shown.buttons, 16);
  // The holder is not disturbed.
  EXPECT_TRUE(first->Connected());
  EXPECT_EQ(SpeedOf(line.SlaveTermios()), B19200);
}

TEST_F(SerialOpenFailure, PortLockedByAnotherProgramIsReportedBusy) {
  const int other = open(line.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
  port.SetPortName(QStringLiteral("COM7"));
  port.SetOpenFailureReport(ShowOpenFailureDialog);

  EXPECT_FALSE(port.OpenPort());
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().message, GetText(kTextDeviceBusy));
  close(other);
  EXPECT_TRUE(port.OpenPort());
}

TEST_F(SerialOpenFailure, FailuresAreSilentUnlessErrorsAreShown) {
  TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
  EXPECT_FALSE(port.ConfigureLine(QString()));  // the program's first, nameless open
  port.SetPortName(QStringLiteral("COM9"));
  EXPECT_FALSE(port.OpenPort());
  EXPECT_TRUE(dialogs.records.empty());
  EXPECT_FALSE(port.WorkerStarted());

  port.SetOpenFailureReport(ShowOpenFailureDialog);
  EXPECT_FALSE(port.OpenPort());
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().message, GetText(kTextPortNotFound));
}

TEST_F(SerialOpenFailure, LowerCaseUsbNameIsASerialPortAndEmptyNameFails) {
  TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
  port.SetOpenFailureReport(ShowOpenFailureDialog);
  port.SetPortName(QStringLiteral("usb1"));
  EXPECT_FALSE(port.OpenPort());
  EXPECT_EQ(port.LastOpenFailure().kind, TOpenFailure::TKind::Tty);
  port.SetPortName(QString());
  EXPECT_FALSE(port.OpenPort());
  ASSERT_EQ(dialogs.records.size(), 2u);
  EXPECT_EQ(dialogs.records[0].request.headline, GetText(kTextSerialPortError));
  EXPECT_EQ(dialogs.records[1].request.message, GetText(kTextPortNotFound));
}

TEST_F(SerialOpenFailure, TargetThatIsNotATerminalIsNotSupported) {
  QFile plain(map.Folder() + QStringLiteral("/../plain-file"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();
  map.Register(QStringLiteral("COM3"), plain.fileName());
  TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
  port.SetOpenFailureReport(ShowOpenFailureDialog);
  port.SetPortName(QStringLiteral("COM3"));
  EXPECT_FALSE(port.OpenPort());
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().message, GetText(kTextNotSupported));
}

TEST_F(SerialOpenFailure, OpenOnAnOpenPortChangesNothing) {
  auto port = MakePort();
  const uint64_t passes = port->WorkerPassCount();
  EXPECT_TRUE(port->OpenPort());
  EXPECT_TRUE(port->Connected());
  EXPECT_EQ(port->WorkerPassCount(), passes);  // not even reopened
  EXPECT_TRUE(port->ClosePort());
  EXPECT_TRUE(port->ClosePort());  // closing a closed port is fine too
}

using SerialDelivery = SerialPortTest;

TEST_F(SerialDelivery, FrameInTwoPiecesArrivesAsTwoCallsInOrder) {
  auto port = MakePort();
  line.Send(
      "\x02"
      "0A1B");
  ASSERT_TRUE(WaitUntil([&] { return chunks.size() == 1; }));
  line.Send("2C3D\x03");
  ASSERT_TRUE(WaitUntil([&] { return chunks.size() == 2; }));
  EXPECT_EQ(chunks[0], QByteArray("\x02"
                                  "0A1B"));
  EXPECT_EQ(chunks[1], QByteArray("2C3D\x03"));
}

// Characters written one by one (a tty without a FIFO) wait in the worker
// until the one that ends the frame: they reach OnReceive one call per chunk
// read, in order, and the frame is there when its ETX has been handed over.
// Characters that end no frame still arrive, a moment later.
TEST_F(SerialDelivery, CharactersOneByOneArriveInOrderWithTheirFrameEnd) {
  auto port = MakePort();
  // A turn of the main thread's event loop: chunks handed over together
  // reach OnReceive in the same turn.
  int turn = 0;
  QTimer turns;
  QObject::connect(&turns, &QTimer::timeout, [&] { ++turn; });
  turns.start(0);
  std::vector<int> turnOfChunk;
  port->OnReceive = [&](const QByteArray &chunk) {
    chunks.push_back(chunk);
    turnOfChunk.push_back(turn);
  };
  const QByteArray frame = "\x02" + QByteArray(30, '5') + "\x03";
  for (char c : frame) {
    line.Send(QByteArray(1, c));
    QThread::usleep(500);
  }
  ASSERT_TRUE(WaitUntil([&] { return AllReceived() == frame; }));
  EXPECT_TRUE(chunks.back().endsWith('\x03'));
  for (const QByteArray &chunk : chunks) {
    EXPECT_FALSE(chunk.isEmpty());
  }
  const auto turnsUsed = std::set<int>(turnOfChunk.begin(), turnOfChunk.end()).size();
  EXPECT_LE(turnsUsed * 2, std::max<size_t>(chunks.size(), 2)) << chunks.size() << " chunks";
  line.Send("junk without a frame end");
  EXPECT_TRUE(WaitUntil([&] { return AllReceived() == frame + "junk without a frame end"; }));
}

TEST_F(SerialDelivery, ManyFramesArriveCompleteAndInOrder) {
  auto port = MakePort();
  QByteArray sent;
  for (int i = 0; i < 200; ++i) {
    const QByteArray frame = "\x02" + QByteArray::number(i).rightJustified(20, '0') + "\x03";
    sent.append(frame);
    line.Send(frame);
  }
  ASSERT_TRUE(WaitUntil([&] { return AllReceived().size() >= sent.size(); }));
  EXPECT_EQ(AllReceived(), sent);
}

TEST_F(SerialDelivery, BytesWaitingBeforeTheOpenAreNotTakenForReplies) {
  line.Send("stale\x03");
  ASSERT_TRUE(WaitUntil([&] { return line.SlaveBytesWaiting() == 6; }));
  auto port = MakePort();
  line.Send("fresh\x03");
  ASSERT_TRUE(WaitUntil([&] { return AllReceived().endsWith("fresh\x03"); }));
  EXPECT_EQ(AllReceived(), QByteArray("fresh\x03"));
}

TEST_F(SerialDelivery, WrittenBytesReachTheConverter) {
  auto port = MakePort();
  const uint8_t frame[] = {0x02, '4', '1', 0x00, 0xFF, 0x0D, 0x0A, 0x03};
  EXPECT_TRUE(port->WriteData(frame, sizeof frame));
  EXPECT_EQ(line.Received(), QByteArray(reinterpret_cast<const char *>(frame), sizeof frame));
}

// The converter's side never reads: the line's buffer fills, and the write
// that finds no room gives up after its time-out (150 ms plus 1 ms per byte)
// and returns false, so the main thread is held no longer than that.
TEST_F(SerialDelivery, WriteToALineThatNeverReadsGivesUpAfterItsTimeOut) {
  auto port = MakePort();
  const std::vector<uint8_t> frame(255, 0x55);
  const qint64 timeOutMs = kWriteTimeoutMs + kWriteTimeoutPerByteMs * frame.size();
  QElapsedTimer clock;
  qint64 refusedAfterMs = -1;
  for (int i = 0; i < 100000 && refusedAfterMs < 0; ++i) {
    clock.start();
    if (!port->WriteData(frame.data(), static_cast<uint16_t>(frame.size()))) {
      refusedAfterMs = clock.elapsed();
    }
    // Bounded wait: no single call may hang the window.
    ASSERT_LT(clock.elapsed(), timeOutMs + 5000);
  }
  ASSERT_GE(refusedAfterMs, 0) << "the line never filled";
  EXPECT_GE(refusedAfterMs, timeOutMs - 5);
  EXPECT_TRUE(port->Connected());
}

TEST_F(SerialDelivery, NothingIsSentOrDeliveredWhileClosed) {
  auto port = MakePort();
  ASSERT_TRUE(port->ClosePort());
  const uint8_t frame[] = {0x02, 0x03};
  EXPECT_FALSE(port->WriteData(frame, sizeof frame));
  EXPECT_EQ(port->GetInQueueCount(), 0u);
  EXPECT_TRUE(line.Received(50).isEmpty());
}

TEST_F(SerialDelivery, BytesWithoutAReceiverAreDropped) {
  auto port = MakePort();
  port->OnReceive = nullptr;
  line.Send("lost");
  ASSERT_TRUE(WaitUntil([&] { return port->WorkerPassCount() >= 2 && !port->HandOverPending(); }));
  port->OnReceive = [this](const QByteArray &chunk) { chunks.push_back(chunk); };
  line.Send("kept");
  ASSERT_TRUE(WaitUntil([&] { return AllReceived().endsWith("kept"); }));
}

TEST_F(SerialDelivery, WorkerRestsWhileNoBytesArrive) {
  auto port = MakePort();
  ASSERT_TRUE(WaitUntil([&] { return port->WorkerPassCount() >= 1; }));
  const uint64_t passes = port->WorkerPassCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(port->WorkerPassCount(), passes + 2);
}

// A tty that wakes the worker but has nothing to read for its first
// 'emptyReads' reads, then reads as a tty does.
class TEmptyWakesTty : public TSerialDevice {
 public:
  explicit TEmptyWakesTty(int emptyReads) : emptyReads_(emptyReads) {}
  TReadResult ReadAvailable(uint8_t *buffer, size_t capacity) override {
    if (emptyReads_ > 0) {
      --emptyReads_;
      return {TReadState::NothingWaiting, 0};
    }
    return TSerialDevice::ReadAvailable(buffer, capacity);
  }

 private:
  int emptyReads_;  // worker only
};

using SerialHangUp = SerialPortTest;

TEST_F(SerialHangUp, HungUpLineDoesNotSpinAndReopensOnANewLine) {
  auto port = MakePort();
  line.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return port->LineLost(); }));
  EXPECT_TRUE(port->Connected());  // the watchdog finds out: no frames come
  const uint64_t passes = port->WorkerPassCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LE(port->WorkerPassCount(), passes + 1);

  // The converter comes back on a new pseudo-terminal under the same name.
  TPtyLine newLine;
  map.Register(QStringLiteral("COM7"), newLine.SlavePath());
  EXPECT_TRUE(port->ClosePort());
  ASSERT_TRUE(port->OpenPort());
  EXPECT_FALSE(port->LineLost());
  newLine.Send(
      "\x02"
      "back\x03");
  ASSERT_TRUE(WaitUntil([&] { return AllReceived().endsWith("back\x03"); }));
}

TEST_F(SerialHangUp, TtyThatWakesTheWorkerWithNothingToReadIsGivenUpAtTheHundredthWake) {
  const auto makePort = [this](int emptyReads) {
    auto port = std::make_unique<TPortThread>(std::make_unique<TFakeUsbDevice>(), map.Sources(),
                                              std::make_unique<TEmptyWakesTty>(emptyReads));
    port->OnReceive = [this](const QByteArray &chunk) { chunks.push_back(chunk); };
    EXPECT_TRUE(port->ConfigureLine(QStringLiteral("COM7")));
    return port;
  };
  auto hiccup = makePort(99);
  line.Send("x");
  ASSERT_TRUE(WaitUntil([&] { return AllReceived() == "x"; }));
  EXPECT_FALSE(hiccup->LineLost());
  hiccup.reset();

  auto stuck = makePort(std::numeric_limits<int>::max());
  line.Send("y");
  ASSERT_TRUE(WaitUntil([&] { return stuck->LineLost(); }));
  const uint64_t passes = stuck->WorkerPassCount();
  EXPECT_GE(passes, 100u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(stuck->WorkerPassCount(), passes + 1);  // no spinning on it
  EXPECT_EQ(AllReceived(), QByteArray("x"));
}

}  // namespace
