// Recipes recorded and played from the window's Tools menu, on the window's
// own panel: what a recording writes reads back as the recipe of the keys
// and screens, and a play runs beside the window's own keys.
#include <QAction>
#include <QTest>
#include <QTimer>

#include "automation_switch.h"
#include "recipe_parser.h"
#include "recipe_recorder.h"
#include "status_bar.h"
#include "window_fixture.h"

namespace {

class WindowRecipeTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // No port: the watchdog's status screens would overwrite the lines shown here.
    Window().Timer()->stop();
  }

  TRecipeItems &Recipes() { return Window().Automation().Recipes(); }
  // A line as the converter sends it (line 3 has no graphic cells).
  void Show(int line, const QByteArray &codes) {
    SetReply(static_cast<uint8_t>(line), codes);
    ShowDisplayMessage();
  }
  TImage *Key(TTerminalKey key) { return Window().FrontPanel().KeyImage(0, KeyIndex(key)); }
  void Click(TTerminalKey key) {
    SendMouse(Key(key), QEvent::MouseButtonPress, Qt::LeftButton);
    SendMouse(Key(key), QEvent::MouseButtonRelease, Qt::LeftButton);
  }
  QString WriteFile(const char *name, const QByteArray &text) {
    const QString path = folder.filePath(QString::fromLatin1(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
  }
  QString NoteShown() { return Window().StatusBar()->PanelText(3); }
};

TEST_F(WindowRecipeTest, RecordedKeysAndChangedLinesReadBackAsTheRecipe) {
  Show(0, "Menu 01");
  Show(1, "Value 0");
  Show(2, "");
  // Quotes and a backslash to escape, a control code no recipe may hold.
  Show(3, "Say \"hi\" \\ \x01 x");
  const QString file = folder.filePath(QStringLiteral("keys.recipe"));
  ASSERT_TRUE(Recipes().StartRecording(file));
  EXPECT_TRUE(Recipes().RecordItem()->isChecked());
  EXPECT_EQ(NoteShown(), GetText(kTextRecordingNote));

  // The display at the start is written once it has settled.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Recipes().Recorder()->Lines().size() == 4; }, 10000));
  SendMouse(Key(TTerminalKey::Down), QEvent::MouseButtonPress, Qt::LeftButton);
  QTest::qWait(static_cast<int>(TRecipeRecorder::kHoldFrom.count()) + 100);
  SendMouse(Key(TTerminalKey::Down), QEvent::MouseButtonRelease, Qt::LeftButton);
  Click(TTerminalKey::Up);
  Click(TTerminalKey::Up);
  Show(1, "Value 2");
  Show(2, "Set \\ 1");
  ASSERT_TRUE(Recipes().StopRecording());
  EXPECT_FALSE(Recipes().RecordItem()->isChecked());
  EXPECT_EQ(NoteShown(), QString());

  QFile written(file);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readLine().startsWith("# Recorded with Sorvanel on "));
  const TRecipeParse parse = ReadRecipeFile(file);
  ASSERT_TRUE(parse.Ok()) << DescribeRecipeError(parse.error).toStdString();
  const std::vector<TRecipeStep> &steps = parse.recipe->steps;
  ASSERT_EQ(steps.size(), 7u);
  const auto expects = [&](size_t step, int line, const char *text) {
    EXPECT_EQ(steps[step].kind, TRecipeStepKind::Expect) << step;
    EXPECT_EQ(steps[step].displayLine, line) << step;
    EXPECT_EQ(steps[step].text, QString::fromLatin1(text)) << step;
  };
  // The display at the start, with time for a converter's first screen.
  expects(0, 1, "Menu 01");
  EXPECT_EQ(steps[0].duration, std::chrono::seconds(TRecipeRecorder::kStartTimeoutSeconds));
  expects(1, 2, "Value 0");
  expects(2, 4, "Say \"hi\" \\");
  EXPECT_EQ(steps[3].kind, TRecipeStepKind::Hold);
  EXPECT_EQ(steps[3].keys, std::vector<int>{KeyIndex(TTerminalKey::Down)});
  EXPECT_GE(steps[3].duration, TRecipeRecorder::kHoldFrom);
  EXPECT_EQ(steps[4].kind, TRecipeStepKind::Press);
  EXPECT_EQ(steps[4].keys, std::vector<int>(2, KeyIndex(TTerminalKey::Up)));
  // The lines the keys changed, as the display shows them when the recording stops.
  expects(5, 2, "Value 2");
  expects(6, 3, "Set \\ 1");
}

TEST_F(WindowRecipeTest, APlayRunsBesideTheWindowsKeysAndEndsInADialog) {
  Show(1, "Idle");
  const QString bad = WriteFile("bad.recipe", "press ENTER\nexpect 5 \"x\"\n");
  EXPECT_FALSE(Recipes().Play(bad));
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().headline, GetText(kTextBadRecipe));
  EXPECT_TRUE(dialogs.last().message.contains(QStringLiteral("line 2:")))
      << dialogs.last().message.toStdString();
  EXPECT_EQ(CompiledKeyBytes(), std::make_pair(uint8_t{0}, uint8_t{0})) << "nothing pressed";

  int stepOn = 0;
  QObject::connect(&Recipes().Runner(), &TRecipeRunner::StepStarted, Recipes().PlayItem(),
                   [&](int line) { stepOn = line; });
  const QString good = WriteFile("good.recipe", "press ENTER\nexpect 2 \"Ready\" 60\n");
  ASSERT_TRUE(Recipes().Play(good));
  EXPECT_FALSE(Recipes().PlayItem()->isEnabled());
  EXPECT_EQ(NoteShown(), GetText(kTextPlayingNote));
  EXPECT_FALSE(Recipes().Play(good)) << "one play at a time";

  // The tap of ENTER is done (no line: at its limit); the run waits for the
  // display. The user's key goes on the line meanwhile.
  ASSERT_TRUE(QTest::qWaitFor([&] { return stepOn == 2; }, 10000));
  CompiledKeyBytes();  // the tapped ENTER, which a frame always carries once
  SendMouse(Key(TTerminalKey::Up), QEvent::MouseButtonPress, Qt::LeftButton);
  EXPECT_EQ(CompiledKeyBytes(), std::make_pair(uint8_t{0x00}, uint8_t{0x04}));
  SendMouse(Key(TTerminalKey::Up), QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_TRUE(Recipes().Playing());

  Show(1, "Ready");
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.records.size() == 2; }, 10000));
  EXPECT_EQ(dialogs.last().headline, GetText(kTextRecipeDone));
  EXPECT_TRUE(Recipes().PlayItem()->isEnabled());
  EXPECT_EQ(NoteShown(), QString());

  // An expectation not met ends the run, naming its line.
  const QString unmet = WriteFile("unmet.recipe", "# none\nexpect 3 \"never\" 0.05\n");
  ASSERT_TRUE(Recipes().Play(unmet));
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.records.size() == 3; }, 10000));
  EXPECT_EQ(dialogs.last().headline, GetText(kTextRecipeStopped));
  EXPECT_TRUE(dialogs.last().message.contains(QStringLiteral("line 2:")))
      << dialogs.last().message.toStdString();
}

}  // namespace
