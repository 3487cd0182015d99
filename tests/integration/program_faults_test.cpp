// Faults of the whole program: the line hung up in the middle of a frame,
// the converter killed and started again, and the program process ended by
// SIGTERM. Nothing may crash or spin, and nothing may be lost.
#include <QAction>
#include <QProcess>
#include <QThread>
#include <iostream>

#include "program_fixture.h"
#include "pty_drive.h"
#include "status_bar.h"
#include "vdrive_process.h"

namespace integration {
namespace {

// More than a tenth of a core while the link is down would be a busy loop
// (one spinning thread uses the whole second).
constexpr double kIdleCpuLimit = 0.25;

// Processor time of the whole process during one second of the event loop.
double CpuSecondsOverOneSecond() {
  const double before = ProcessCpuSeconds();
  RunEventLoopFor(1000);
  const double used = ProcessCpuSeconds() - before;
  std::cout << "[ cpu      ] " << used << " s in 1 s with the line lost\n";
  return used;
}

class LineFaults : public ProgramTest {
 protected:
  // Sends display lines until one is answered; false when none is.
  // Starts the window with the drive's port saved, so it opens at start, and
  // waits until the two talk.
  bool StartWindowTalkingTo(TPtyDrive &drive) {
    folders.RegisterPort(QStringLiteral("PTYDRIVE"), drive.SlavePath());
    WriteSettings("[Sorvanel]\nPort=PTYDRIVE\n");
    StartWindow();
    drive.WatchLink(Window().LinkState());
    return ConversationRuns(drive);
  }

  bool ConversationRuns(TPtyDrive &drive, int maxMessages = 15) {
    for (int i = 0; i < maxMessages; ++i) {
      drive.Deliver(DisplayPayload(1, "Alapjel  25.0 Hz"), 500);
      if (!drive.Answers(100).empty()) {
        return true;
      }
    }
    return false;
  }
};

TEST_F(LineFaults, HangUpInTheMiddleOfAFrameIsSurvivedAndTheReopenedPortTalks) {
  TPtyDrive drive;
  ASSERT_TRUE(StartWindowTalkingTo(drive));

  const QByteArray frame = link_test::EncodeFrame(DisplayPayload(0, "Kimenet  12.5 Hz"));
  drive.Line().Send(frame.left(frame.size() / 2));
  RunEventLoopFor(20);
  drive.Line().CloseMaster();
  TPortThread &port = Window().DriveLink().Port();
  ASSERT_TRUE(WaitUntil([&] { return port.LineLost(); }, 3000));
  EXPECT_LT(CpuSecondsOverOneSecond(), kIdleCpuLimit);
  ASSERT_TRUE(WaitUntil([&] { return ShowsStatusScreenNoCommunication(); }, 4000))
      << Line(kSizeBig, 2).toStdString();
  EXPECT_FALSE(Window().LinkState().ConverterConnected);

  // The cable goes back in: a new line under the same name, opened again
  // from its port item.
  TPtyDrive again;
  again.WatchLink(Window().LinkState());
  folders.RegisterPort(QStringLiteral("PTYDRIVE"), again.SlavePath());
  QAction *item = PortItem(QStringLiteral("PTYDRIVE"));
  ASSERT_NE(item, nullptr);
  item->trigger();
  EXPECT_TRUE(port.Connected());
  EXPECT_FALSE(port.LineLost());
  EXPECT_TRUE(item->isChecked());
  ASSERT_TRUE(ConversationRuns(again));
  EXPECT_EQ(Line(kSizeBig, 1), QStringLiteral("Alapjel  25.0 Hz"));
  EXPECT_TRUE(Window().LinkState().ConverterConnected);
  EXPECT_TRUE(dialogs.records.empty()) << dialogs.last().message.toStdString();
}

TEST_F(LineFaults, ConverterKilledAndStartedAgainIsTalkedToAfterAReopen) {
  auto drive = std::make_unique<TVdrive>(folders.RuntimeFolder());
  ASSERT_TRUE(drive->WaitForPort()) << drive->Output().toStdString();
  WriteSettings("[Sorvanel]\nPort=VDRIVE1\n");
  StartWindow();
  const auto talking = [&] { return Line(kSizeBig, 0).startsWith(QStringLiteral("Kimenet")); };
  ASSERT_TRUE(WaitUntil(talking, 10000)) << Line(kSizeBig, 0).toStdString();

  drive->Kill();
  TPortThread &port = Window().DriveLink().Port();
  ASSERT_TRUE(WaitUntil([&] { return port.LineLost(); }, 3000));
  EXPECT_LT(CpuSecondsOverOneSecond(), kIdleCpuLimit);
  ASSERT_TRUE(WaitUntil([&] { return ShowsStatusScreenNoCommunication(); }, 4000));

  // The lost line is closed meanwhile, so the new drive may get the same
  // tty: its own entry tells it is up.
  QFile::remove(folders.PortMapFolder() + QStringLiteral("/VDRIVE1"));
  drive = std::make_unique<TVdrive>(folders.RuntimeFolder());
  ASSERT_TRUE(drive->WaitForPort()) << drive->Output().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return PortItem(QStringLiteral("VDRIVE1")) != nullptr; }, 3000));
  PortItem(QStringLiteral("VDRIVE1"))->trigger();
  ASSERT_TRUE(WaitUntil(talking, 10000)) << Line(kSizeBig, 0).toStdString();
  EXPECT_FALSE(port.LineLost());
  // The new drive hears the window's keys.
  ASSERT_TRUE(WaitUntil([&] { return Window().LinkState().SendSkipCount == 0; }, 5000));
  ClickKey(kKeyStart);
  EXPECT_TRUE(WaitUntil([&] { return RunLed(kSizeBig) == QColor(0, 128, 0); }, 8000));
  EXPECT_TRUE(dialogs.records.empty());
}

// The timer is enabled from the window's creation: while the error dialog
// about a saved port that cannot be opened is up, the watchdog already
// tells on the display that no port is open.
TEST_F(LineFaults, ASavedPortThatFailsToOpenStartsWithTheTimerRunning) {
  folders.RegisterPort(QStringLiteral("BROKEN"), folders.ProgramFolder());  // a folder, not a tty
  WriteSettings("[Sorvanel]\nPort=BROKEN\n");
  const auto noPortScreen = [] {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
      if (auto *form = qobject_cast<TForm_Sorvanel *>(widget)) {
        return form->FrontPanel().Label_DisplayLine[kSizeBig][2]->text() == GetText(24);
      }
    }
    return false;
  };
  bool shownDuringDialog = false;
  dialogs.onShow = [&] {  // the user reads the dialog: the event loop runs
    shownDuringDialog = QTest::qWaitFor(noPortScreen, 3000);
  };
  StartWindow();
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().caption, GetText(28));
  EXPECT_EQ(dialogs.last().headline, GetText(30));
  EXPECT_TRUE(shownDuringDialog) << "the timer ticked while the dialog was up";
  EXPECT_TRUE(Window().Timer()->isActive());
  EXPECT_FALSE(Window().DriveLink().Port().Connected());
  ASSERT_NE(PortItem(QStringLiteral("BROKEN")), nullptr);
  EXPECT_FALSE(PortItem(QStringLiteral("BROKEN"))->isChecked());
  EXPECT_EQ(Window().StatusBar()->PanelText(0), QStringLiteral("-"));
}

TEST_F(LineFaults, LineCutDuringAMemoryWriteSequenceKeepsTheBlocksWrittenBeforeIt) {
  TPtyDrive drive;
  ASSERT_TRUE(StartWindowTalkingTo(drive));

  // A set goes out data first, header last: the line is cut in the middle
  // of the last block.
  const std::vector<uint8_t> data1(16, 0x11), data2(16, 0x22), header(16, 0x48);
  EXPECT_TRUE(drive.Exchange(MemoryWritePayload(0x0110, data1)).valid);
  EXPECT_TRUE(drive.Exchange(MemoryWritePayload(0x0120, data2)).valid);
  const QByteArray last = link_test::EncodeFrame(MemoryWritePayload(0x0100, header));
  drive.Line().Send(last.left(last.size() / 2));
  RunEventLoopFor(20);
  drive.Line().CloseMaster();
  TPortThread &port = Window().DriveLink().Port();
  ASSERT_TRUE(WaitUntil([&] { return port.LineLost(); }, 3000));
  const uint8_t *image = Window().DriveLink().Memory().Bytes();
  EXPECT_EQ(image[0x0110], 0x11);
  EXPECT_EQ(image[0x0120], 0x22);
  EXPECT_EQ(image[0x0100], 0x00) << "the cut block stored nothing";

  // The drive comes back and saves again, from the start.
  TPtyDrive again;
  again.WatchLink(Window().LinkState());
  folders.RegisterPort(QStringLiteral("PTYDRIVE"), again.SlavePath());
  PortItem(QStringLiteral("PTYDRIVE"))->trigger();
  ASSERT_TRUE(ConversationRuns(again));
  const std::vector<uint8_t> newData1(16, 0x33), newData2(16, 0x44);
  EXPECT_TRUE(again.Exchange(MemoryWritePayload(0x0110, newData1)).valid);
  EXPECT_TRUE(again.Exchange(MemoryWritePayload(0x0120, newData2)).valid);
  EXPECT_TRUE(again.Exchange(MemoryWritePayload(0x0100, header)).valid);

  CloseWindow();
  const QByteArray file = folders.ReadFile(folders.MemoryFilePath());
  ASSERT_EQ(file.size(), 8227);
  EXPECT_EQ(file.mid(35 + 0x0100, 48),
            QByteArray(16, 0x48) + QByteArray(16, 0x33) + QByteArray(16, 0x44));
}

// The program itself, run from a folder of its own: the settings file and
// Sorvanel.mem are written beside the executable.
class ProgramProcess : public ProgramTest {
 protected:
  void TearDown() override {
    if (program.state() != QProcess::NotRunning) {
      program.kill();
      program.waitForFinished(5000);
    }
    ProgramTest::TearDown();
  }

  bool StartProgram() {
    if (!QFile::exists(folders.ProgramPath()) &&
        !QFile::copy(QStringLiteral(SORVANEL_PROGRAM), folders.ProgramPath())) {
      return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folders.RuntimeFolder());
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    // Answers of an earlier program left unread must not pass for answers
    // of this one.
    pending_.clear();
    program.start(folders.ProgramPath(), {});
    return program.waitForStarted(10000);
  }

  // The program holds 'device' open (its port is open).
  bool HoldsOpen(const QString &device) {
    const QString fdFolder = QStringLiteral("/proc/%1/fd").arg(program.processId());
    for (const QFileInfo &fd : QDir(fdFolder).entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
      if (fd.symLinkTarget() == device) {
        return true;
      }
    }
    return false;
  }

  // Plays the converter on the raw line (the program runs in a process of
  // its own, so plain blocking waits do): sends 'payload', one message at a
  // time, until an answer that 'wanted' accepts comes back.
  bool Answered(TPtyLine &line, const std::vector<uint8_t> &payload,
                const std::function<bool(const link_test::TDecodedRequest &)> &wanted,
                int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs) {
      line.Send(link_test::EncodeFrame(payload));
      pending_ += line.Received(100);
      qsizetype etx;
      while ((etx = pending_.indexOf('\x03')) >= 0) {
        const link_test::TDecodedRequest answer = link_test::DecodeRequest(pending_.left(etx + 1));
        pending_.remove(0, etx + 1);
        if (wanted(answer)) {
          return true;
        }
      }
    }
    return false;
  }

  QProcess program;

 private:
  QByteArray pending_;
};

TEST_F(ProgramProcess, SigtermRunsTheClosingStepsAndSavesSettingsAndMemory) {
  TPtyLine line;
  folders.RegisterPort(QStringLiteral("PTYDRIVE"), line.SlavePath());
  WriteSettings("[Sorvanel]\nPort=PTYDRIVE\nLanguage=1\n\n[Notes]\nKept=yes\n");
  ASSERT_TRUE(StartProgram()) << program.errorString().toStdString();

  ASSERT_TRUE(WaitUntil([&] { return HoldsOpen(line.SlavePath()); }, 30000))
      << "the saved port was not opened: " << program.readAll().toStdString();
  // The five messages held back after the start, then answers.
  const auto anyAnswer = [](const link_test::TDecodedRequest &answer) { return answer.valid; };
  ASSERT_TRUE(Answered(line, DisplayPayload(0, "Kimenet  12.5 Hz"), anyAnswer, 10000));
  // A memory write, then reads of it until one is answered with its bytes:
  // the program holds the block before it is told to end.
  const std::vector<uint8_t> block{'P', 'S', 'E', 'T', 1, 11, 0, 22, 0, 7, 9, 8, 7, 6, 5, 4};
  line.Send(link_test::EncodeFrame(MemoryWritePayload(0x0300, block)));
  ASSERT_TRUE(Answered(
      line, MemoryReadPayload(0x0300, "Bet\x94lt\x82s 1/19   "),
      [](const link_test::TDecodedRequest &answer) {
        return answer.address == 0x0300 && answer.value == 0x5053;
      },
      5000));

  program.terminate();  // SIGTERM
  ASSERT_TRUE(program.waitForFinished(15000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << program.readAll().toStdString();
  EXPECT_EQ(program.exitCode(), 0) << program.readAll().toStdString();

  const QByteArray memory = folders.ReadFile(folders.MemoryFilePath());
  ASSERT_EQ(memory.size(), 8227);
  EXPECT_EQ(memory.left(35), ScrambledMemoryFileHeader());
  EXPECT_EQ(memory.mid(35 + 0x0300, 16),
            QByteArray(reinterpret_cast<const char *>(block.data()), 16));
  const QByteArray settings = folders.ReadFile(folders.SettingsPath());
  EXPECT_TRUE(settings.contains("Port=PTYDRIVE")) << settings.toStdString();
  EXPECT_TRUE(settings.contains("Language=1")) << settings.toStdString();
  EXPECT_TRUE(settings.contains("[Notes]\nKept=yes")) << "the user's own section stays";
  EXPECT_TRUE(settings.contains("Left=")) << "written at close: " << settings.toStdString();
}

// The program killed at moments around its closing saves (SIGTERM, then
// SIGKILL after the 100 ms pause of the closing steps): each file is the old
// one or the new one, whole, never cut short.
TEST_F(ProgramProcess, KilledDuringTheClosingSavesLeavesWholeFiles) {
  const QByteArray oldBlock(16, 'O');
  const QByteArray newBlock(16, 'N');
  int oldKept = 0;
  int newWritten = 0;
  for (int delayMs : {100, 110, 120}) {
    TPtyLine line;
    folders.RegisterPort(QStringLiteral("PTYDRIVE"), line.SlavePath());
    WriteSettings("[Sorvanel]\nPort=PTYDRIVE\n");
    folders.WriteFile(folders.MemoryFilePath(), MemoryFileWith(0x0300, oldBlock));
    ASSERT_TRUE(StartProgram()) << program.errorString().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return HoldsOpen(line.SlavePath()); }, 30000));
    const auto anyAnswer = [](const link_test::TDecodedRequest &answer) { return answer.valid; };
    ASSERT_TRUE(Answered(line, DisplayPayload(0, "Kimenet  12.5 Hz"), anyAnswer, 10000));
    line.Send(link_test::EncodeFrame(
        MemoryWritePayload(0x0310, std::vector<uint8_t>(newBlock.begin(), newBlock.end()))));
    ASSERT_TRUE(Answered(
        line, MemoryReadPayload(0x0310, "Bet\x94lt\x82s 1/19   "),
        [](const link_test::TDecodedRequest &answer) {
          return answer.address == 0x0310 && answer.value == 0x4E4E;
        },
        5000));

    program.terminate();
    QThread::msleep(static_cast<unsigned long>(delayMs));
    program.kill();
    ASSERT_TRUE(program.waitForFinished(10000));

    const QByteArray memory = folders.ReadFile(folders.MemoryFilePath());
    ASSERT_EQ(memory.size(), 8227) << "killed " << delayMs << " ms after SIGTERM";
    EXPECT_EQ(memory.left(35), ScrambledMemoryFileHeader());
    EXPECT_EQ(memory.mid(35 + 0x0300, 16), oldBlock);
    const QByteArray written = memory.mid(35 + 0x0310, 16);
    EXPECT_TRUE(written == newBlock || written == QByteArray(16, '\0'));
    (written == newBlock ? newWritten : oldKept) += 1;
    EXPECT_TRUE(folders.ReadFile(folders.SettingsPath()).contains("Port=PTYDRIVE"));
  }
  const QStringList left = QDir(folders.ProgramFolder()).entryList(QDir::Files | QDir::Hidden);
  std::cout << "[ kills    ] memory file old " << oldKept << ", new " << newWritten
            << "; files left: " << left.join(QLatin1Char(' ')).toStdString() << "\n";
}

// A close started by a signal never waits for a person. The settings file is
// read-only, so its save fails: the error goes to standard error, the close
// completes and the memory the converter wrote is saved.
TEST_F(ProgramProcess, SigtermWithAReadOnlySettingsFileStillSavesTheMemory) {
  TPtyLine line;
  folders.RegisterPort(QStringLiteral("PTYDRIVE"), line.SlavePath());
  const QByteArray settingsText("[Sorvanel]\nPort=PTYDRIVE\n");
  WriteSettings(settingsText);
  ASSERT_TRUE(QFile::setPermissions(folders.SettingsPath(), QFile::ReadOwner | QFile::ReadGroup));
  ASSERT_TRUE(StartProgram()) << program.errorString().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return HoldsOpen(line.SlavePath()); }, 30000));
  const auto anyAnswer = [](const link_test::TDecodedRequest &answer) { return answer.valid; };
  ASSERT_TRUE(Answered(line, DisplayPayload(0, "Kimenet  12.5 Hz"), anyAnswer, 10000));
  const std::vector<uint8_t> block(16, 0x5A);
  line.Send(link_test::EncodeFrame(MemoryWritePayload(0x0400, block)));
  ASSERT_TRUE(Answered(
      line, MemoryReadPayload(0x0400, "Bet\x94lt\x82s 1/19   "),
      [](const link_test::TDecodedRequest &answer) {
        return answer.address == 0x0400 && answer.value == 0x5A5A;
      },
      5000));

  program.terminate();
  ASSERT_TRUE(program.waitForFinished(15000)) << "the close waited for someone";
  EXPECT_EQ(program.exitCode(), 0);
  const QString output = QString::fromLocal8Bit(program.readAll());
  EXPECT_TRUE(output.contains(QString::fromUtf8("sorvanel.ini: A fájl nem írható!")))
      << output.toStdString();
  EXPECT_EQ(folders.ReadFile(folders.SettingsPath()), settingsText);
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).mid(35 + 0x0400, 16), QByteArray(16, 0x5A));
}

// Signals are handled from the first moment: one SIGTERM while the start-up
// port error dialog is up ends the dialog and runs the closing steps.
TEST_F(ProgramProcess, SigtermDuringTheStartUpPortErrorDialogRunsTheClosingSteps) {
  folders.WriteFile(folders.ProgramFolder() + QStringLiteral("/not-a-tty"), "plain file");
  folders.RegisterPort(QStringLiteral("BROKEN"),
                       folders.ProgramFolder() + QStringLiteral("/not-a-tty"));
  WriteSettings("[Sorvanel]\nPort=BROKEN\n");
  ASSERT_TRUE(StartProgram()) << program.errorString().toStdString();
  // The error dialog is up well before this (the start takes far less).
  QThread::msleep(3000);
  ASSERT_EQ(program.state(), QProcess::Running);

  program.terminate();
  ASSERT_TRUE(program.waitForFinished(15000)) << "the dialog kept the program";
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(folders.ReadFile(folders.SettingsPath()).contains("Left="));
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).size(), 8227);
}

// A SIGTERM while the programming-terminal alert is up (the port closed for
// it) ends the alert and completes the close with the memory saved.
TEST_F(ProgramProcess, SigtermWhileAnAlertIsUpEndsItAndSavesTheMemory) {
  TPtyLine line;
  folders.RegisterPort(QStringLiteral("PTYDRIVE"), line.SlavePath());
  WriteSettings("[Sorvanel]\nPort=PTYDRIVE\n");
  ASSERT_TRUE(StartProgram()) << program.errorString().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return HoldsOpen(line.SlavePath()); }, 30000));
  const auto anyAnswer = [](const link_test::TDecodedRequest &answer) { return answer.valid; };
  ASSERT_TRUE(Answered(line, DisplayPayload(0, "Kimenet  12.5 Hz"), anyAnswer, 10000));
  const std::vector<uint8_t> block(16, 0x6B);
  line.Send(link_test::EncodeFrame(MemoryWritePayload(0x0500, block)));
  ASSERT_TRUE(Answered(
      line, MemoryReadPayload(0x0500, "Bet\x94lt\x82s 1/19   "),
      [](const link_test::TDecodedRequest &answer) {
        return answer.address == 0x0500 && answer.value == 0x6B6B;
      },
      5000));
  line.Send(link_test::ProgTermFrame());
  // The alert is up: the port is closed for it, so nothing is answered.
  ASSERT_TRUE(WaitUntil([&] { return !HoldsOpen(line.SlavePath()); }, 10000))
      << "the alert did not close the port";
  line.Received(200);  // answers still on their way from before
  line.Send(link_test::EncodeFrame(DisplayPayload(0, "Kimenet  12.5 Hz")));
  ASSERT_TRUE(line.Received(700).isEmpty()) << "the alert did not come up";

  program.terminate();
  ASSERT_TRUE(program.waitForFinished(15000)) << "the alert kept the program";
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).mid(35 + 0x0500, 16), QByteArray(16, 0x6B));
}

}  // namespace
}  // namespace integration
