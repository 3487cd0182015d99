// The whole program on "--port USB1": its own libftdi1 and libusb run under
// umockdev's preload against an FT232R emulated in this process
// (emulated_ftdi_chip.h), with the played converter on the chip's line. The
// line set up as for a tty, every message answered, a pull while talking
// and a plug back, and the adapter given back at the end.
#include <QElapsedTimer>
#include <iostream>
#include <memory>
#include <vector>

#include "emulated_ftdi_chip.h"
#include "program_fixture.h"
#include "pty_drive.h"

namespace integration {
namespace {

const std::vector<std::vector<uint8_t>> kConversation = {
    DisplayPayload(0, "Kimenet  12.5 Hz"), DisplayPayload(1, "Alapjel  25.0 Hz"),
    DisplayPayload(0x20, "                "), DisplayPayload(0, "Kimenet  12.6 Hz")};

// The answers of the program to 'kConversation', frame by frame.
std::vector<QByteArray> AnswersTo(TPtyDrive &drive) {
  std::vector<QByteArray> answers;
  for (const std::vector<uint8_t> &payload : kConversation) {
    drive.Line().Send(link_test::EncodeFrame(payload));
    for (const QByteArray &frame : drive.Answers(1000)) {
      answers.push_back(frame);
    }
  }
  return answers;
}

class ProgramOnUsb : public testing::Test {
 protected:
  void SetUp() override {
    if (!TEmulatedUsbBus::Usable()) {
      GTEST_SKIP() << "needs umockdev's preload library";
    }
    ASSERT_TRUE(folders.Valid());
    chip = bus.Plug(1, "A10K0001", drive.Line().Slave());
    program.environment = bus.ProgramEnvironment(program.environment);
  }
  bool StartOnUsb1() {
    if (!program.Start({QStringLiteral("--port"), QStringLiteral("USB1")})) {
      return false;
    }
    if (!WaitUntil([&] { return program.HoldsOpen(chip->NodePath()); }, 30000)) {
      ADD_FAILURE() << "USB1 was not opened: " << program.Process().readAll().toStdString();
      return false;
    }
    return drive.SendUntilAnswered(DisplayPayload(0, "Kimenet  12.5 Hz"));
  }

  TProgramFolders folders;
  TPtyDrive drive;
  TEmulatedUsbBus bus;
  std::unique_ptr<TEmulatedFtdiChip> chip;
  TProgramProcess program{folders};  // last: ends before the chip goes
};

TEST_F(ProgramOnUsb, LineIsSetAsForATtyAndEveryMessageIsAnswered) {
  ASSERT_TRUE(StartOnUsb1());
  EXPECT_EQ(chip->LastRequest(kFtdiSetBaudRate), 0x809c) << "19200 baud";
  EXPECT_EQ(chip->LastRequest(kFtdiSetData), 0x0008) << "8N1";
  EXPECT_EQ(chip->LastRequest(kFtdiSetFlowControl), 0) << "no flow control";
  const std::vector<QByteArray> answers = AnswersTo(drive);
  EXPECT_EQ(answers.size(), kConversation.size());
  for (const QByteArray &answer : answers) {
    EXPECT_TRUE(link_test::DecodeRequest(answer).valid) << answer.toHex().toStdString();
  }
}

TEST_F(ProgramOnUsb, PulledWhileTalkingIsAnsweredAgainWhenPluggedBackAndGivenBackAtTheEnd) {
  ASSERT_TRUE(StartOnUsb1());
  chip->Unplug();
  RunEventLoopFor(1500);  // the lost line noticed, a reopen or two tried in vain
  chip = bus.Plug(1, "A10K0001", drive.Line().Slave());
  QElapsedTimer sincePlug;
  sincePlug.start();
  ASSERT_TRUE(drive.SendUntilAnswered(DisplayPayload(0, "Kimenet  12.5 Hz"), {}, 15000));
  std::cout << "[ usb ] plugged back to the first answer: " << sincePlug.elapsed() << " ms\n";
  EXPECT_TRUE(chip->KernelDriverDetached());

  ASSERT_TRUE(program.Terminate());
  EXPECT_FALSE(chip->InterfaceClaimed());
  EXPECT_FALSE(chip->KernelDriverDetached()) << "ttyUSB0 comes back";
}

}  // namespace
}  // namespace integration
