// The port on "USB1" through the program's own libftdi1 and libusb, on an
// emulated FT232R (emulated_ftdi_chip.h) whose line is a pseudo-terminal:
// what the open sets in the chip, bytes in order across packets and
// transfers, what a silent line costs, a pull and a plug back, two adapters,
// a node that refuses the user.
// Runs under umockdev-wrapper (the CTest command does).
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QByteArray>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "emulated_ftdi_chip.h"
#include "port_thread.h"
#include "pty_line.h"

namespace {

// For its lifetime this thread is held to the file permissions as any user
// is: root's right to pass over them (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH)
// leaves its effective set. Nothing changes for a user who never had it.
class THeldToFilePermissions {
 public:
  THeldToFilePermissions() {
    (void)syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct held[2] = {saved_[0], saved_[1]};
    held[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    (void)syscall(SYS_capset, &header_, held);
  }
  ~THeldToFilePermissions() { (void)syscall(SYS_capset, &header_, saved_); }
  THeldToFilePermissions(const THeldToFilePermissions &) = delete;
  THeldToFilePermissions &operator=(const THeldToFilePermissions &) = delete;

 private:
  __user_cap_header_struct header_ = {_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2] = {};
};

bool InMockEnvironment() {
  const char *preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && QByteArray(preload).contains("libumockdev-preload");
}

class FtdiAdapter : public testing::Test {
 protected:
  void SetUp() override {
    if (!InMockEnvironment()) {
      GTEST_SKIP() << "needs umockdev-wrapper";
    }
    bus = std::make_unique<TEmulatedUsbBus>();
    chip = bus->Plug(1, "A10K0001", line.Slave());
    port = std::make_unique<TPortThread>();
    port->OnReceive = [this](const QByteArray &chunk) { received.append(chunk); };
  }
  void TearDown() override {
    if (port) {
      port->ClosePort();
    }
  }
  bool Open(const QString &name = QStringLiteral("USB1")) {
    port->SetPortName(name);
    return port->OpenPort();
  }
  bool Receives(const QByteArray &bytes, int limitMs = 3000) {
    return WaitUntil([&] { return received.size() >= bytes.size(); }, limitMs) && received == bytes;
  }

  TPtyLine line;
  std::unique_ptr<TEmulatedUsbBus> bus;
  std::unique_ptr<TEmulatedFtdiChip> chip;
  std::unique_ptr<TPortThread> port;
  QByteArray received;
};

TEST_F(FtdiAdapter, OpenSetsTheLineAndTheFrameEndAndCloseGivesTheAdapterBack) {
  ASSERT_TRUE(Open());
  EXPECT_EQ(chip->LastRequest(kFtdiSetBaudRate), 0x809c) << "19200 baud on an FT232R";
  EXPECT_EQ(chip->LastRequest(kFtdiSetData), 0x0008) << "8N1";
  EXPECT_EQ(chip->LastRequest(kFtdiSetFlowControl), 0) << "no flow control";
  EXPECT_EQ(chip->LastRequest(kFtdiSetEventChar), 0x0103) << "ETX, enabled";
  EXPECT_EQ(chip->LastRequest(kFtdiSetLatencyTimer), kUsbLatencyTimerMs);
  EXPECT_TRUE(chip->InterfaceClaimed());
  EXPECT_TRUE(chip->KernelDriverDetached());

  ASSERT_TRUE(port->ClosePort());
  EXPECT_FALSE(chip->InterfaceClaimed());
  EXPECT_FALSE(chip->KernelDriverDetached()) << "ttyUSB0 comes back";
}

TEST_F(FtdiAdapter, BytesKeepTheirOrderAcrossPacketsAndTransfersBothWays) {
  ASSERT_TRUE(Open());
  // More than a packet holds, so the status bytes sit in the middle of a
  // transfer; then a frame cut in two, the first half sent on by the
  // latency timer alone; then junk without a frame end.
  QByteArray expected;
  for (int i = 0; i < 150; ++i) {
    expected.append(static_cast<char>(0x20 + i % 90));
  }
  expected.append('\x03');
  line.Send(expected);
  ASSERT_TRUE(Receives(expected)) << received.toHex().toStdString();

  line.Send(
      QByteArray("\x02"
                 "K12"));
  std::this_thread::sleep_for(std::chrono::milliseconds(kUsbLatencyTimerMs + 50));
  line.Send(
      QByteArray("34\x03"
                 "junk"));
  expected += QByteArray(
      "\x02"
      "K1234\x03"
      "junk");
  ASSERT_TRUE(Receives(expected)) << received.toHex().toStdString();

  const QByteArray frame(
      "\x02"
      "K\x01\x02\x03");
  ASSERT_TRUE(port->WriteData(reinterpret_cast<const uint8_t *>(frame.constData()),
                              static_cast<uint16_t>(frame.size())));
  EXPECT_EQ(line.Received(), frame);
}

TEST_F(FtdiAdapter, SilentLineCostsAPacketPerLatencyPeriodAndNoPasses) {
  ASSERT_TRUE(Open());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const TEmulatedFtdiChip::TCounts before = chip->Counts();
  const uint64_t passes = port->WorkerPassCount();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const TEmulatedFtdiChip::TCounts after = chip->Counts();
  const uint64_t periods = 1000 / kUsbLatencyTimerMs + 1;
  EXPECT_LE(after.inTransfers - before.inTransfers, periods);
  // Each finished transfer is one reap that finds it and one that finds
  // nothing more: no reaping in a loop.
  EXPECT_LE(after.reaps - before.reaps, 2 * periods + 2);
  EXPECT_LE(port->WorkerPassCount() - passes, 2 * periods + 2);
}

TEST_F(FtdiAdapter, PulledAdapterIsALostLineAndOpensAgainWhenPluggedBack) {
  ASSERT_TRUE(Open());
  chip->Unplug();
  EXPECT_TRUE(WaitUntil([&] { return port->LineLost(); }, 1000));
  EXPECT_TRUE(port->ClosePort());
  EXPECT_FALSE(Open()) << "nothing to open while it is away";

  chip = bus->Plug(1, "A10K0001", line.Slave());
  ASSERT_TRUE(WaitUntil([&] { return Open(); }, 5000));
  line.Send(
      QByteArray("\x02"
                 "back\x03"));
  EXPECT_TRUE(
      Receives(QByteArray("\x02"
                          "back\x03")));
}

TEST_F(FtdiAdapter, TwoAdaptersKeepTheirNumbersAcrossAReplug) {
  TPtyLine secondLine;
  auto second = bus->Plug(2, "A10K0002", secondLine.Slave());
  ASSERT_TRUE(WaitUntil([&] { return Open(QStringLiteral("USB2")); }, 5000));
  secondLine.Send(QByteArray("two\x03"));
  ASSERT_TRUE(Receives(QByteArray("two\x03")));
  ASSERT_TRUE(port->ClosePort());

  chip.reset();  // USB1 pulled and plugged back: now the last one plugged
  chip = bus->Plug(1, "A10K0001", line.Slave());
  received.clear();
  ASSERT_TRUE(WaitUntil([&] { return Open(QStringLiteral("USB2")); }, 5000));
  secondLine.Send(QByteArray("still two\x03"));
  EXPECT_TRUE(Receives(QByteArray("still two\x03")));
  // Closed while the second chip still answers: once it is destroyed its
  // node takes no more ioctls, and transfers it never ended would be left
  // to libusb (the port then keeps their memory rather than free it).
  EXPECT_TRUE(port->ClosePort());
}

TEST_F(FtdiAdapter, NodeThatRefusesTheUserIsToldAsAPermissionNotAFault) {
  ASSERT_EQ(chmod(chip->NodePath().toLocal8Bit().constData(), 0), 0);
  {
    const THeldToFilePermissions held;
    EXPECT_FALSE(Open());
  }
  EXPECT_EQ(port->LastOpenFailure().usbStatus, TUsbStatus::NoPermission);
  EXPECT_FALSE(chip->InterfaceClaimed());
}

}  // namespace
