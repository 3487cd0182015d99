// A session with vdrive captured by the program, then played back to the
// program by vdrive --replay: every recorded answer comes again, byte for
// byte, at the recorded pace and as fast as the program answers. A capture
// file that fails is reported and the link goes on.
#include <QFile>
#include <QRegularExpression>

#include "file_size_limit.h"
#include "line_capture.h"
#include "program_fixture.h"
#include "vdrive_process.h"

namespace integration {
namespace {

int Figure(const QString &output, const char *name) {
  const QRegularExpression pattern(QStringLiteral("^%1 (\\d+)$").arg(QLatin1String(name)),
                                   QRegularExpression::MultilineOption);
  const QRegularExpressionMatch match = pattern.match(output);
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

class CaptureReplay : public ProgramTest {
 protected:
  // Opens VDRIVE1 from the port menu while the window runs, so the capture
  // sees the port open and the program's hold-off from the first message.
  void OpenDrivePort() {
    Window().Menu_FindAvailablePortsClick();
    QAction *item = PortItem(QStringLiteral("VDRIVE1"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_TRUE(Window().DriveLink().Port().Connected());
  }

  QString Replay(const QStringList &arguments) {
    TVdrive replay(folders.RuntimeFolder(), arguments);
    EXPECT_TRUE(replay.WaitForPort());
    StartWindow();
    OpenDrivePort();
    EXPECT_TRUE(WaitUntil([&] { return replay.Finished(); }, 60000));
    CloseWindow();
    return replay.Output();
  }
};

TEST_F(CaptureReplay, EveryRecordedAnswerComesAgain) {
  const QString capture = folders.ProgramFolder() + QStringLiteral("/session.jsonl");
  {
    TVdrive drive(folders.RuntimeFolder(), {});
    ASSERT_TRUE(drive.WaitForPort());
    StartWindow();
    ASSERT_TRUE(Window().Capture().Start(capture));
    OpenDrivePort();
    // More than a second of line pace.
    ASSERT_TRUE(WaitUntil([&] { return AnswersWritten() >= 30; }, 10000));
    Window().Capture().Stop();
    CloseWindow();
  }
  for (const QStringList &arguments :
       {QStringList{QStringLiteral("--replay"), capture},
        QStringList{QStringLiteral("--replay"), capture, QStringLiteral("--fast")}}) {
    const QString output = Replay(arguments);
    const int recorded = Figure(output, "recorded answers");
    EXPECT_GT(recorded, 20) << output.toStdString();
    EXPECT_EQ(Figure(output, "matched"), recorded) << output.toStdString();
    EXPECT_EQ(Figure(output, "extra answers"), 0) << output.toStdString();
  }
}

// A file that cannot be opened, and one whose disk fills up while the line
// runs: each is reported with its own headline, the capture stops and the
// converter is still answered.
TEST_F(CaptureReplay, FailingCaptureFileIsReportedAndTheLinkGoesOn) {
  TPtyDrive drive;
  StartWindowOn(drive);
  const QString folder = folders.ProgramFolder();
  EXPECT_FALSE(Window().Capture().Start(folder + QStringLiteral("/missing/line.jsonl")));
  ASSERT_TRUE(WaitUntil([&] { return dialogs.records.size() == 1; }));
  EXPECT_EQ(dialogs.last().headline, GetText(kTextCaptureOpenFailed));

  {
    const TFileSizeLimit limit(4096);
    ASSERT_TRUE(Window().Capture().Start(folder + QStringLiteral("/line.jsonl")));
    for (int i = 0; i < 200 && Window().Capture().Active(); ++i) {
      drive.Deliver(DisplayPayload(1, "Alapjel  25.0 Hz"));
    }
  }
  ASSERT_TRUE(WaitUntil([&] { return dialogs.records.size() == 2; }));
  EXPECT_EQ(dialogs.last().headline, GetText(kTextCaptureWriteFailed));
  EXPECT_FALSE(Window().Capture().Active());
  EXPECT_TRUE(drive.AnswersWithin()) << "the link goes on";
}

}  // namespace
}  // namespace integration
