// The USB side of TPortThread on a scripted adapter: which adapter a name
// opens, the setup after the open, open failures, reads that come back short,
// empty or failing, a close the adapter refuses, and the write path.
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "fake_usb_device.h"
#include "open_error_dialogs.h"
#include "port_thread.h"
#include "pty_line.h"
#include "recording_dialogs.h"
#include "text_table.h"

namespace {

class UsbPortTest : public testing::Test {
 protected:
  UsbPortTest() {
    auto device = std::make_unique<TFakeUsbDevice>();
    usb = device.get();
    port = std::make_unique<TPortThread>(std::move(device), map.Sources());
    port->OnReceive = [this](const QByteArray &chunk) { chunks.push_back(chunk); };
  }

  bool Open(const QString &name) {
    port->SetPortName(name);
    return port->OpenPort();
  }

  QByteArray AllReceived() const {
    QByteArray all;
    for (const QByteArray &chunk : chunks) {
      all.append(chunk);
    }
    return all;
  }

  TTemporaryPortMap map;
  TRecordingDialogs dialogs;
  TFakeUsbDevice *usb = nullptr;
  std::unique_ptr<TPortThread> port;
  std::vector<QByteArray> chunks;
};

using UsbPortNames = UsbPortTest;

TEST_F(UsbPortNames, UsbNumberCountsFromOne) {
  ASSERT_TRUE(Open(QStringLiteral("USB1")));
  EXPECT_EQ(usb->OpenedIndex(), 0);
  ASSERT_TRUE(port->ClosePort());
  ASSERT_TRUE(Open(QStringLiteral("USB10")));
  EXPECT_EQ(usb->OpenedIndex(), 9);
}

TEST_F(UsbPortNames, NameWithoutAnAdapterNumberOpensNoAdapter) {
  port->SetOpenFailureReport(ShowOpenFailureDialog);
  for (const char *name : {"USB", "USB0", "USBx", "USB257", "USB-1"}) {
    EXPECT_FALSE(Open(QString::fromLatin1(name))) << name;
  }
  EXPECT_TRUE(usb->Calls().isEmpty());
  EXPECT_EQ(dialogs.records.size(), 5u);
}

TEST_F(UsbPortNames, AdapterIsSetUpForTheLineAfterTheOpen) {
  ASSERT_TRUE(Open(QStringLiteral("USB2")));
  EXPECT_EQ(usb->Calls(),
            QStringList({"Open(1)", "SetBaudRate(19200)", "SetDataCharacteristics(8,0,0)",
                         "SetTimeouts(150,150)", "SetLatencyTimer(250)", "SetEventCharacter(3)"}));
}

TEST_F(UsbPortNames, SetterOnAnOpenAdapterReopensItWithTheNewValue) {
  ASSERT_TRUE(Open(QStringLiteral("USB1")));
  port->SetBaudRate(9600);
  EXPECT_TRUE(port->Connected());
  const QStringList calls = usb->Calls();
  ASSERT_GE(calls.size(), 9);
  EXPECT_EQ(calls[6], QStringLiteral("Close"));
  EXPECT_EQ(calls[7], QStringLiteral("Open(0)"));
  EXPECT_EQ(calls[8], QStringLiteral("SetBaudRate(9600)"));

  usb->openStatus = TUsbStatus::DeviceNotFound;  // unplugged meanwhile
  port->SetParity(kParityEven);
  EXPECT_FALSE(port->Connected());
  EXPECT_EQ(port->LineSettings().parity, kParityEven);
}

using UsbOpenFailure = UsbPortTest;

TEST_F(UsbOpenFailure, FailedOpenShowsTheUsbErrorOnlyWhenAsked) {
  usb->openStatus = TUsbStatus::DeviceNotOpened;
  EXPECT_FALSE(Open(QStringLiteral("USB1")));
  EXPECT_TRUE(dialogs.records.empty());
  EXPECT_EQ(port->LastOpenFailure().kind, TOpenFailure::TKind::UsbAdapter);
  EXPECT_EQ(port->LastOpenFailure().usbStatus, TUsbStatus::DeviceNotOpened);
  EXPECT_FALSE(port->WorkerStarted());

  port->SetOpenFailureReport(ShowOpenFailureDialog);
  EXPECT_FALSE(port->OpenPort());
  ASSERT_EQ(dialogs.records.size(), 1u);
  const TMessageDialogRequest &shown = dialogs.last();
  EXPECT_EQ(shown.icon, 3);
  EXPECT_EQ(shown.caption, GetText(kTextError));
  EXPECT_EQ(shown.headline, GetText(kTextUsbPortError));
  EXPECT_TRUE(shown.message.isEmpty());
  EXPECT_EQ(shown.buttons, 16);

  // A node that refuses the user says so, and how to get access.
  usb->openStatus = TUsbStatus::NoPermission;
  EXPECT_FALSE(port->OpenPort());
  ASSERT_EQ(dialogs.records.size(), 2u);
  EXPECT_EQ(dialogs.last().headline, GetText(29));
  EXPECT_EQ(dialogs.last().message, GetText(kTextUsbNoPermission));
}

TEST_F(UsbOpenFailure, RefusedCloseKeepsThePortOpenUntilItSucceeds) {
  ASSERT_TRUE(Open(QStringLiteral("USB1")));
  usb->closeStatus = TUsbStatus::IoError;
  EXPECT_FALSE(port->ClosePort());
  EXPECT_TRUE(port->Connected());
  EXPECT_TRUE(usb->IsOpen());
  usb->Receive("still read");
  ASSERT_TRUE(WaitUntil([&] { return AllReceived() == "still read"; }));

  usb->closeStatus = TUsbStatus::Ok;
  EXPECT_TRUE(port->ClosePort());
  EXPECT_FALSE(port->Connected());
  EXPECT_FALSE(usb->IsOpen());
}

using UsbReading = UsbPortTest;

TEST_F(UsbReading, ShortAndEmptyReadsLoseNothing) {
  ASSERT_TRUE(Open(QStringLiteral("USB1")));
  usb->LimitReadsTo(3);
  usb->ZeroByteReads(4);
  usb->Receive(
      "\x02"
      "0123456789\x03");
  ASSERT_TRUE(WaitUntil([&] { return AllReceived().size() >= 12; }));
  EXPECT_EQ(AllReceived(), QByteArray("\x02"
                                      "0123456789\x03"));
  for (const QByteArray &chunk : chunks) {
    EXPECT_LE(chunk.size(), 3);
    EXPECT_FALSE(chunk.isEmpty());
  }
}

TEST_F(UsbReading, FailingQueueQueryIsAGoneAdapterAndIsNotPolledOn) {
  ASSERT_TRUE(Open(QStringLiteral("USB1")));
  usb->FailQueueStatus(TUsbStatus::IoError);
  ASSERT_TRUE(WaitUntil([&] { return port->LineLost(); }));
  EXPECT_TRUE(port->Connected());
  const uint64_t queries = usb->QueueQueries();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(usb->QueueQueries(), queries + 1);
  EXPECT_EQ(port->GetInQueueCount(), 0u);

  // Plugged in again: a close and an open bring the data back.
  usb->FailQueueStatus(TUsbStatus::Ok);
  EXPECT_TRUE(port->ClosePort());
  EXPECT_TRUE(port->OpenPort());
  usb->Receive("again");
  ASSERT_TRUE(WaitUntil([&] { return AllReceived() == "again"; }));
}

TEST_F(UsbReading, FailingReadIsAGoneAdapterToo) {
  ASSERT_TRUE(Open(QStringLiteral("USB1")));
  usb->FailRead(TUsbStatus::IoError);
  usb->Receive("x");
  ASSERT_TRUE(WaitUntil([&] { return port->LineLost(); }));
  const uint64_t queries = usb->QueueQueries();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(usb->QueueQueries(), queries + 1);
  EXPECT_TRUE(chunks.empty());
}

TEST_F(UsbReading, QueueCountAndWritesGoToTheAdapter) {
  const uint8_t frame[] = {0x02, 'A', 0x00, 0x03};
  EXPECT_FALSE(port->WriteData(frame, sizeof frame));
  EXPECT_EQ(port->GetInQueueCount(), 0u);
  ASSERT_TRUE(Open(QStringLiteral("USB1")));
  EXPECT_TRUE(port->WriteData(frame, sizeof frame));
  EXPECT_EQ(usb->Written(), QByteArray(reinterpret_cast<const char *>(frame), sizeof frame));
  EXPECT_EQ(usb->LastWriteTimeoutMs(), 150 + 4) << "the tty's bound: 150 ms and 1 ms a byte";
  usb->writeStatus = TUsbStatus::IoError;
  EXPECT_FALSE(port->WriteData(frame, sizeof frame));
}

}  // namespace
