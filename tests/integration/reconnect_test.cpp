// The program reconnects by itself: a converter killed and started again, a
// port map entry pointed at a new line, and a converter that starts after
// the program, and a ser2net stopped and started again are all talked to
// without a click and without a dialog. The
// times from the line's return to the first answer are printed.
#include <QElapsedTimer>
#include <iostream>
#include <string>

#include "program_fixture.h"
#include "pty_drive.h"
#include "ser2net_process.h"
#include "status_bar.h"
#include "test_certificates.h"
#include "vdrive_process.h"

namespace integration {
namespace {

class Reconnect : public ProgramTest {
 protected:
  QString PortShown() { return Window().StatusBar()->PanelText(0); }
  bool Talking() { return ShowsMainScreen(); }
  bool Answering() {
    return Window().LinkState().ConverterConnected && Window().LinkState().SendSkipCount == 0;
  }
  bool PortLost() {
    const TPortThread &port = Window().DriveLink().Port();
    return !port.Connected() || port.LineLost();
  }
  std::string PortState() {
    const TPortThread &port = Window().DriveLink().Port();
    return "connected " + std::to_string(port.Connected()) + ", line lost " +
           std::to_string(port.LineLost()) + ", shown " + PortShown().toStdString() + ", screen " +
           Line(kSizeBig, 0).toStdString();
  }
  // Sends display lines until one is answered; the time it took, or -1.
  qint64 MillisecondsToFirstAnswer(TPtyDrive &drive, const QElapsedTimer &since) {
    return drive.AnswersWithin(40) ? since.elapsed() : -1;
  }
  static void Report(const char *what, qint64 ms) {
    std::cout << "[ reconnect ] " << what << ": " << ms << " ms\n";
  }
};

TEST_F(Reconnect, ConverterKilledAndStartedAgainIsAnsweredWithoutAClick) {
  auto drive = std::make_unique<TVdrive>(folders.RuntimeFolder());
  ASSERT_TRUE(drive->WaitForPort()) << drive->Output().toStdString();
  StartWindowOn(QStringLiteral("VDRIVE1"));
  ASSERT_TRUE(WaitUntil([&] { return Talking(); }, 10000)) << Line(kSizeBig, 0).toStdString();

  drive->Kill();
  ASSERT_TRUE(WaitUntil([&] { return PortLost(); }, 3000));
  ASSERT_TRUE(WaitUntil([&] { return ShowsStatusScreenNoCommunication(); }, 4000));
  RunEventLoopFor(1500);  // a tick or two of retries while the converter is away
  EXPECT_TRUE(ShowsStatusScreenNoCommunication());
  EXPECT_EQ(PortShown(), QStringLiteral("VDRIVE1"));
  EXPECT_TRUE(PortItem(QStringLiteral("VDRIVE1")) == nullptr ||
              PortItem(QStringLiteral("VDRIVE1"))->isChecked());

  // The killed drive left its entry behind; with the line closed, the new
  // drive may well get the same tty, so only its own entry tells it is up.
  QFile::remove(folders.PortMapFolder() + QStringLiteral("/VDRIVE1"));
  // At the pace of a real line, so the times printed are a real drive's.
  drive = std::make_unique<TVdrive>(folders.RuntimeFolder(), QStringList());
  ASSERT_TRUE(drive->WaitForPort()) << drive->Output().toStdString();
  QElapsedTimer back;
  back.start();
  ASSERT_TRUE(WaitUntil([&] { return Talking(); }, 10000)) << Line(kSizeBig, 0).toStdString();
  Report("vdrive started again -> its screen shown", back.elapsed());
  ASSERT_TRUE(WaitUntil([&] { return Answering(); }, 5000));
  Report("vdrive started again -> answers sent", back.elapsed());
  EXPECT_EQ(PortShown(), QStringLiteral("VDRIVE1"));
  ASSERT_NE(PortItem(QStringLiteral("VDRIVE1")), nullptr);
  EXPECT_TRUE(PortItem(QStringLiteral("VDRIVE1"))->isChecked());
  // The new drive hears the window's keys.
  ClickKey(kKeyStart);
  EXPECT_TRUE(WaitUntil([&] { return RunLed(kSizeBig) == QColor(0, 128, 0); }, 8000));
  EXPECT_TRUE(dialogs.records.empty()) << dialogs.last().message.toStdString();
}

TEST_F(Reconnect, PortMapEntryPointedAtANewLineIsTheSamePortBack) {
  TPtyDrive drive;
  StartWindowOn(drive);
  QElapsedTimer started;
  started.start();
  ASSERT_GE(MillisecondsToFirstAnswer(drive, started), 0);

  drive.Line().CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return PortLost(); }, 3000));
  ASSERT_TRUE(WaitUntil([&] { return ShowsStatusScreenNoCommunication(); }, 4000));

  TPtyDrive again;
  again.WatchLink(Window().LinkState());
  QElapsedTimer back;
  back.start();
  folders.RegisterPort(QStringLiteral("PTYDRIVE"), again.SlavePath());
  ASSERT_TRUE(WaitUntil([&] { return !PortLost(); }, 3000)) << PortState();
  Report("port map entry re-pointed -> port open", back.elapsed());
  const qint64 answered = MillisecondsToFirstAnswer(again, back);
  ASSERT_GE(answered, 0);
  Report("port map entry re-pointed -> first answer", answered);
  EXPECT_EQ(PortShown(), QStringLiteral("PTYDRIVE"));
  EXPECT_TRUE(PortItem(QStringLiteral("PTYDRIVE"))->isChecked());
  EXPECT_TRUE(dialogs.records.empty()) << dialogs.last().message.toStdString();
}

TEST_F(Reconnect, SavedPortMissingAtStartIsOpenedWhenTheConverterStarts) {
  StartWindowOn(QStringLiteral("VDRIVE1"));
  EXPECT_EQ(PortItem(QStringLiteral("VDRIVE1")), nullptr);
  RunEventLoopFor(1200);
  EXPECT_FALSE(Window().DriveLink().Port().Connected());

  TVdrive drive(folders.RuntimeFolder());
  ASSERT_TRUE(drive.WaitForPort()) << drive.Output().toStdString();
  QElapsedTimer appeared;
  appeared.start();
  ASSERT_TRUE(WaitUntil([&] { return Talking(); }, 10000)) << Line(kSizeBig, 0).toStdString();
  Report("saved port appeared -> its screen shown", appeared.elapsed());
  ASSERT_NE(PortItem(QStringLiteral("VDRIVE1")), nullptr);
  EXPECT_TRUE(PortItem(QStringLiteral("VDRIVE1"))->isChecked());
  EXPECT_EQ(PortShown(), QStringLiteral("VDRIVE1"));
  EXPECT_TRUE(dialogs.records.empty()) << dialogs.last().message.toStdString();
}

TEST_F(Reconnect, PortReplacedFromTheMenuStaysClosedWhenItComesBack) {
  TPtyDrive first;
  TPtyDrive second;
  folders.RegisterPort(QStringLiteral("SECOND"), second.SlavePath());
  StartWindowOn(first, QStringLiteral("FIRST"));
  ASSERT_TRUE(Window().DriveLink().Port().Connected());

  PortItem(QStringLiteral("SECOND"))->trigger();
  ASSERT_EQ(Window().DriveLink().Port().PortName(), QStringLiteral("SECOND"));
  second.Line().CloseMaster();  // the chosen port goes; the old one is there
  RunEventLoopFor(2500);
  EXPECT_NE(Window().DriveLink().Port().PortName(), QStringLiteral("FIRST"));
  EXPECT_TRUE(ShowsStatusScreenNoCommunication());
  EXPECT_EQ(PortShown(), QStringLiteral("SECOND"));
}

// Plain and inside TLS: each reconnect verifies the server again.
TEST_F(Reconnect, NetworkPortIsAnsweredAgainWhenItsServerComesBack) {
  const TTestCertificates certificates;
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "tls" : "plain");
    TVdrive drive(folders.RuntimeFolder(), QStringList());
    ASSERT_TRUE(drive.WaitForPort()) << drive.Output().toStdString();
    TSer2Net server(drive.PortTarget(), tls ? certificates.Path("server.key") : QString(),
                    certificates.Path("server.pem"));
    const QString url =
        server.Rfc2217Url() + (tls ? "?ca=" + certificates.Path("ca.pem") : QString());
    WriteSettings(
        QStringLiteral("[Sorvanel]\nPort=plant\n[NetworkPorts]\nplant=%1\n").arg(url).toUtf8());
    StartWindow();
    ASSERT_TRUE(WaitUntil([&] { return Talking(); }, 10000)) << Line(kSizeBig, 0).toStdString();

    server.Stop();
    ASSERT_TRUE(WaitUntil([&] { return PortLost(); }, 5000));
    RunEventLoopFor(1500);  // retries while the server is away: refused at once
    EXPECT_EQ(PortShown(), QStringLiteral("plant"));

    server.Start();
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(WaitUntil([&] { return Answering(); }, 10000));
    Report(tls ? "ser2net with TLS started again -> answers sent"
               : "ser2net started again -> answers sent",
           back.elapsed());
    EXPECT_TRUE(dialogs.records.empty()) << dialogs.last().message.toStdString();
    CloseWindow();
  }
}

}  // namespace
}  // namespace integration
