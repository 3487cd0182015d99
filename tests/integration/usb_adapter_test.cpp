// The whole program on "--port USB1": its own libftdi1 and libusb run under
// umockdev's preload against an FT232R emulated in this process
// (emulated_ftdi_chip.h), with the played converter on the chip's line. The
// line set up as for a tty and the answers those of a tty, byte for byte,
// also for frames split across packets and behind junk; a pull while
// talking and while silent, a plug back, two adapters, and the adapter given
// back at the end.
#include <QElapsedTimer>
#include <iostream>
#include <memory>
#include <vector>

#include "emulated_ftdi_chip.h"
#include "line_settings.h"
#include "program_fixture.h"
#include "pty_drive.h"

namespace integration {
namespace {

// What the converter puts on the line, message by message: whole frames; a
// frame behind junk that has no frame end, the two crossing a packet's end
// (62 data bytes); a frame in two halves with more than the adapter's
// latency timer between them, so the halves come in packets of their own.
// Junk before a frame spoils that frame, on any port: it goes unanswered and
// the next frame is answered again.
struct TLineMessage {
  QByteArray junk;
  std::vector<uint8_t> payload;
  bool halvesApart = false;
};

const std::vector<TLineMessage> kConversation = {
    {{}, DisplayPayload(0, "Kimenet  12.5 Hz")},
    {QByteArray(60, 'x'), DisplayPayload(1, "Alapjel  25.0 Hz")},
    {{}, DisplayPayload(0x20, "                "), true},
    {QByteArray(5, '\xff'), DisplayPayload(0, "Kimenet  12.6 Hz"), true},
    {{}, DisplayPayload(1, "Alapjel  25.1 Hz")},
};
constexpr size_t kAnsweredMessages = 3;

// The program's answers to 'kConversation', frame by frame. A message that
// goes unanswered is waited for briefly: a second without a frame would
// make the program hold its answers back, as after any silence.
std::vector<QByteArray> AnswersTo(TPtyDrive &drive) {
  std::vector<QByteArray> answers;
  for (const TLineMessage &message : kConversation) {
    const QByteArray frame = link_test::EncodeFrame(message.payload);
    const qsizetype half = message.halvesApart ? frame.size() / 2 : frame.size();
    drive.Line().Send(message.junk + frame.left(half));
    if (half < frame.size()) {
      RunEventLoopFor(kUsbLatencyTimerMs + 150);
      drive.Line().Send(frame.mid(half));
    }
    for (const QByteArray &answer : drive.Answers(message.junk.isEmpty() ? 1000 : 300)) {
      answers.push_back(answer);
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

TEST_F(ProgramOnUsb, LineIsSetAsForATtyAndTheAnswersAreByteForByteThoseOfATty) {
  ASSERT_TRUE(StartOnUsb1());
  EXPECT_EQ(chip->LastRequest(kFtdiSetBaudRate), 0x809c) << "19200 baud";
  EXPECT_EQ(chip->LastRequest(kFtdiSetData), 0x0008) << "8N1";
  EXPECT_EQ(chip->LastRequest(kFtdiSetFlowControl), 0) << "no flow control";
  const std::vector<QByteArray> overUsb = AnswersTo(drive);
  EXPECT_EQ(overUsb.size(), kAnsweredMessages);

  TProgramFolders ttyFolders;
  TPtyDrive ttyDrive;
  TProgramProcess onTty{ttyFolders};
  ASSERT_TRUE(onTty.StartTalkingTo(ttyDrive, QStringLiteral("PTYDRIVE"),
                                   {QStringLiteral("--port"), QStringLiteral("PTYDRIVE")}));
  const std::vector<QByteArray> overTty = AnswersTo(ttyDrive);
  ASSERT_EQ(overUsb.size(), overTty.size());
  for (size_t i = 0; i < overUsb.size(); ++i) {
    EXPECT_EQ(overUsb[i].toHex().toStdString(), overTty[i].toHex().toStdString()) << "answer " << i;
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

// While the first adapter is out, the second one is USB1: the lost USB1
// waits for its own adapter instead of taking over the other converter.
TEST_F(ProgramOnUsb, PulledWhileSilentTheFirstOfTwoAdaptersIsUsb1AgainWhenPluggedBack) {
  TPtyDrive secondDrive;
  const std::unique_ptr<TEmulatedFtdiChip> second =
      bus.Plug(2, "A10K0002", secondDrive.Line().Slave());
  ASSERT_TRUE(StartOnUsb1());
  chip->Unplug();
  RunEventLoopFor(1500);
  chip = bus.Plug(1, "A10K0001", drive.Line().Slave());
  ASSERT_TRUE(drive.SendUntilAnswered(DisplayPayload(0, "Kimenet  12.5 Hz"), {}, 15000));
  secondDrive.Line().Send(link_test::EncodeFrame(DisplayPayload(0, "Kimenet  12.5 Hz")));
  EXPECT_TRUE(secondDrive.Answers(1000).empty()) << "the second adapter is not USB1";
}

}  // namespace
}  // namespace integration
