// Faults of the whole program: the line hung up in the middle of a frame,
// the converter killed and started again, and the program process ended by
// SIGTERM, also while a network port connects. Nothing may crash or spin,
// and nothing may be lost.
#include <signal.h>

#include <QAction>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <iostream>

#include "network_device.h"
#include "port_thread.h"
#include "program_fixture.h"
#include "pty_drive.h"
#include "ser2net_process.h"
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
  // Starts the window with the drive's port saved, so it opens at start, and
  // waits until the two talk.
  bool StartWindowTalkingTo(TPtyDrive &drive) {
    StartWindowOn(drive);
    return drive.AnswersWithin();
  }

  // Sends the first half of 'frame' and waits until the program holds it.
  void SendHalfOf(TPtyDrive &drive, const QByteArray &frame) {
    drive.Line().Send(frame.left(frame.size() / 2));
    ASSERT_TRUE(WaitUntil(
        [&] { return Window().DriveLink().Replies().ReceiveBuffer().size() == frame.size() / 2; }));
  }
};

TEST_F(LineFaults, HangUpInTheMiddleOfAFrameIsSurvivedAndTheReopenedPortTalks) {
  TPtyDrive drive;
  ASSERT_TRUE(StartWindowTalkingTo(drive));

  SendHalfOf(drive, link_test::EncodeFrame(DisplayPayload(0, "Kimenet  12.5 Hz")));
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
  ASSERT_TRUE(again.AnswersWithin());
  EXPECT_EQ(Line(kSizeBig, 1), QStringLiteral("Alapjel  25.0 Hz"));
  EXPECT_TRUE(Window().LinkState().ConverterConnected);
  EXPECT_TRUE(dialogs.records.empty()) << dialogs.last().message.toStdString();
}

TEST_F(LineFaults, ConverterKilledAndStartedAgainIsTalkedToAfterAReopen) {
  auto drive = std::make_unique<TVdrive>(folders.RuntimeFolder());
  ASSERT_TRUE(drive->WaitForPort()) << drive->Output().toStdString();
  StartWindowOn(QStringLiteral("VDRIVE1"));
  const auto talking = [&] { return ShowsMainScreen(); };
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
        return form->FrontPanel().Label_DisplayLine[kSizeBig][2]->text() ==
               GetText(kTextNoPortLine2);
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
  EXPECT_EQ(dialogs.last().caption, GetText(kTextError));
  EXPECT_EQ(dialogs.last().headline, GetText(kTextSerialPortError));
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
  SendHalfOf(drive, link_test::EncodeFrame(MemoryWritePayload(0x0100, header)));
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
  ASSERT_TRUE(again.AnswersWithin());
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
  TProgramProcess program{folders};
};

TEST_F(ProgramProcess, SigtermRunsTheClosingStepsAndSavesSettingsAndMemory) {
  TPtyDrive drive;
  WriteSettings("[Sorvanel]\nPort=PTYDRIVE\nLanguage=1\n\n[Notes]\nKept=yes\n");
  ASSERT_TRUE(program.StartTalkingTo(drive));
  // The program holds the block before it is told to end.
  const std::vector<uint8_t> block{'P', 'S', 'E', 'T', 1, 11, 0, 22, 0, 7, 9, 8, 7, 6, 5, 4};
  ASSERT_TRUE(drive.WriteMemory(0x0300, block));

  ASSERT_TRUE(program.Terminate()) << program.Process().readAll().toStdString();
  EXPECT_EQ(program.Process().exitCode(), 0) << program.Process().readAll().toStdString();

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
    TPtyDrive drive;
    WriteSettings("[Sorvanel]\nPort=PTYDRIVE\n");
    folders.WriteFile(folders.MemoryFilePath(), MemoryFileWith(0x0300, oldBlock));
    ASSERT_TRUE(program.StartTalkingTo(drive));
    ASSERT_TRUE(drive.WriteMemory(0x0310, std::vector<uint8_t>(newBlock.begin(), newBlock.end())));

    program.Process().terminate();
    // The moment of the kill is what is tried here.
    QThread::msleep(static_cast<unsigned long>(delayMs));
    program.Process().kill();
    ASSERT_TRUE(program.Process().waitForFinished(10000));

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
  TPtyDrive drive;
  const QByteArray settingsText("[Sorvanel]\nPort=PTYDRIVE\n");
  WriteSettings(settingsText);
  ASSERT_TRUE(QFile::setPermissions(folders.SettingsPath(), QFile::ReadOwner | QFile::ReadGroup));
  ASSERT_TRUE(program.StartTalkingTo(drive));
  ASSERT_TRUE(drive.WriteMemory(0x0400, std::vector<uint8_t>(16, 0x5A)));

  ASSERT_TRUE(program.Terminate()) << "the close waited for someone";
  EXPECT_EQ(program.Process().exitCode(), 0);
  const QString output = QString::fromLocal8Bit(program.Process().readAll());
  EXPECT_TRUE(output.contains(QString::fromUtf8("sorvanel.ini: A fájl nem írható!")))
      << output.toStdString();
  EXPECT_EQ(folders.ReadFile(folders.SettingsPath()), settingsText);
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).mid(35 + 0x0400, 16), QByteArray(16, 0x5A));
}

// A close started by a signal saves the memory before the settings: the
// signal's sender may kill the program before a slow settings save (here a
// 32 MB file) ends. The program is killed while its settings save is under
// way (its temporary file exists); the memory file must already be there.
TEST_F(ProgramProcess, KilledDuringASlowSettingsSaveAfterSigtermFindsTheMemorySaved) {
  QByteArray settings = "[Sorvanel]\nLanguage=1\n[Notes]\n";
  const QByteArray note = "; " + QByteArray(1000, 'n') + '\n';
  while (settings.size() < 32 * 1024 * 1024) {
    settings += note;
  }
  WriteSettings(settings);
  ASSERT_FALSE(QFile::exists(folders.MemoryFilePath()));
  ASSERT_TRUE(program.Start()) << program.Process().errorString().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return program.CatchesSigterm(); }, 30000));

  program.Process().terminate();
  const QDir folder(folders.ProgramFolder());
  const QStringList temporary{QStringLiteral(".sorvanel.ini.*.tmp")};
  bool killedInTheSave = false;
  QElapsedTimer clock;
  clock.start();
  while (!program.Process().waitForFinished(1)) {
    ASSERT_LT(clock.elapsed(), 120000) << "the close did not end";
    if (!folder.entryList(temporary, QDir::Files | QDir::Hidden).isEmpty()) {
      program.Process().kill();
      killedInTheSave = true;
    }
  }
  std::cout << "[ kill     ] " << (killedInTheSave ? "in the settings save" : "came too late")
            << "\n";
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).size(), 8227);
  if (killedInTheSave) {
    EXPECT_EQ(folders.ReadFile(folders.SettingsPath()), settings) << "the old file, whole";
  }
}

// Signals are handled from the first moment: one SIGTERM while the start-up
// port error dialog is up ends the dialog and runs the closing steps.
TEST_F(ProgramProcess, SigtermDuringTheStartUpPortErrorDialogRunsTheClosingSteps) {
  folders.WriteFile(folders.ProgramFolder() + QStringLiteral("/not-a-tty"), "plain file");
  folders.RegisterPort(QStringLiteral("BROKEN"),
                       folders.ProgramFolder() + QStringLiteral("/not-a-tty"));
  WriteSettings("[Sorvanel]\nPort=BROKEN\n");
  ASSERT_TRUE(program.Start()) << program.Process().errorString().toStdString();
  // The start-up runs to the error dialog and waits there for the user.
  ASSERT_TRUE(program.WaitUntilIdle(30000));
  ASSERT_EQ(program.Process().state(), QProcess::Running);

  ASSERT_TRUE(program.Terminate()) << "the dialog kept the program";
  EXPECT_EQ(program.Process().exitCode(), 0);
  EXPECT_TRUE(folders.ReadFile(folders.SettingsPath()).contains("Left="));
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).size(), 8227);
}

// A SIGTERM while the programming-terminal alert is up (the port closed for
// it) ends the alert and completes the close with the memory saved.
TEST_F(ProgramProcess, SigtermWhileAnAlertIsUpEndsItAndSavesTheMemory) {
  TPtyDrive drive;
  WriteSettings("[Sorvanel]\nPort=PTYDRIVE\n");
  ASSERT_TRUE(program.StartTalkingTo(drive));
  ASSERT_TRUE(drive.WriteMemory(0x0500, std::vector<uint8_t>(16, 0x6B)));
  drive.Line().Send(link_test::ProgTermFrame());
  // The alert is up: the port is closed for it, so nothing is answered.
  ASSERT_TRUE(WaitUntil([&] { return !program.HoldsOpen(drive.SlavePath()); }, 10000))
      << "the alert did not close the port";
  drive.Line().Received(200);  // answers still on their way from before
  drive.Line().Send(link_test::EncodeFrame(DisplayPayload(0, "Kimenet  12.5 Hz")));
  ASSERT_TRUE(drive.Line().Received(700).isEmpty()) << "the alert did not come up";

  ASSERT_TRUE(program.Terminate()) << "the alert kept the program";
  EXPECT_EQ(program.Process().exitCode(), 0);
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).mid(35 + 0x0500, 16), QByteArray(16, 0x6B));
}

// A SIGTERM while a network port connects at the start (the window waits for the connect, and
// this server takes the connection but never answers the negotiation) ends the program at
// once, through the closing steps: before the connect's own time limit could run out.
TEST_F(ProgramProcess, SigtermWhileANetworkPortConnectsEndsTheProgramAtOnce) {
  TLoopbackListener silent;
  WriteSettings(QStringLiteral("[Sorvanel]\nPort=plant\n\n[NetworkPorts]\n"
                               "plant=rfc2217://127.0.0.1:%1\n")
                    .arg(silent.Port())
                    .toUtf8());
  ASSERT_TRUE(program.Start()) << program.Process().errorString().toStdString();
  pollfd connecting{silent.Fd(), POLLIN, 0};
  ASSERT_EQ(poll(&connecting, 1, 30000), 1) << "the program did not connect";
  QElapsedTimer sinceConnect;
  sinceConnect.start();

  program.Process().terminate();
  ASSERT_TRUE(program.Process().waitForFinished(15000));
  const qint64 endedAfterMs = sinceConnect.elapsed();
  std::cout << "[ time     ] ended " << endedAfterMs << " ms after the connect began\n";
  EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.Process().exitCode(), 0) << program.Process().readAll().toStdString();
  EXPECT_LT(endedAfterMs, kNetworkOpenLimit.count()) << "the close waited for it";
  const QByteArray settings = folders.ReadFile(folders.SettingsPath());
  EXPECT_TRUE(settings.contains("Port=plant\n") && settings.contains("Left=")) << settings.data();
  EXPECT_EQ(folders.ReadFile(folders.MemoryFilePath()).size(), 8227);
}

}  // namespace
}  // namespace integration
