// A recipe recorded from the keys pressed in the real window on vdrive,
// played back by the window of a fresh program on a fresh drive.
#include "automation_switch.h"
#include "recipe_parser.h"
#include "vdrive_window.h"

namespace integration {
namespace {

TEST_F(VdriveWindow, ARecordingOfTheWindowsKeysPlaysBackOnAFreshDriveToTheSameScreen) {
  ASSERT_TRUE(Shows(1, "Alapjel  25.0 Hz"));
  const auto lineHas = [&](int line, const char *utf8) {
    return WaitUntil([&] { return Line(kSizeBig, line).contains(QString::fromUtf8(utf8)); }, 8000);
  };
  const QString file = folders.Root() + QStringLiteral("/ramp-up.recipe");
  ASSERT_TRUE(Window().Automation().Recipes().StartRecording(file));
  // The ramp-up time (menu 02) from 5.0 s to 7.0 s.
  const int right = KeyIndex(TTerminalKey::Right);
  const std::vector<int> keys = {kKeyEnter, kKeyDown, kKeyEnter, right, right, kKeyEnter};
  const std::vector<const char *> screens = {
      "Menü       01/15", "Felfutási idő", "600.0 s", "6.0 s", "7.0 s", "Elfogadva"};
  const std::vector<int> screenLines = {0, 1, 3, 2, 2, 3};
  for (size_t i = 0; i < keys.size(); ++i) {
    Press(keys[i]);
    ASSERT_TRUE(lineHas(screenLines[i], screens[i])) << i << ": " << Shown(screenLines[i]);
  }
  // The note goes, and the menu screen stays.
  ASSERT_TRUE(
      WaitUntil([&] { return !Line(kSizeBig, 3).contains(QStringLiteral("Elfogadva")); }, 8000));
  const QStringList end = Window().DisplayModel().TextLines();
  ASSERT_TRUE(Window().Automation().Recipes().StopRecording());

  const TRecipeParse parse = ReadRecipeFile(file);
  ASSERT_TRUE(parse.Ok()) << DescribeRecipeError(parse.error).toStdString();
  std::vector<int> pressed;
  bool valueExpected = false;
  for (const TRecipeStep &step : parse.recipe->steps) {
    pressed.insert(pressed.end(), step.keys.begin(), step.keys.end());
    valueExpected |=
        step.kind == TRecipeStepKind::Expect && step.text.contains(QStringLiteral("7.0 s"));
  }
  EXPECT_EQ(pressed, keys);
  EXPECT_TRUE(valueExpected) << folders.ReadFile(file).toStdString();

  CloseWindow();
  drive.reset();  // it gives up its port name as it ends
  drive = std::make_unique<TVdrive>(folders.RuntimeFolder(), driveArguments);
  ASSERT_TRUE(drive->WaitForPort()) << drive->Output().toStdString();
  StartConversation();
  ASSERT_TRUE(Shows(1, "Alapjel  25.0 Hz")) << "a drive with the value it starts with";
  dialogs.records.clear();
  ASSERT_TRUE(Window().Automation().Recipes().Play(file));
  ASSERT_TRUE(WaitUntil([&] { return !dialogs.records.empty(); }, 60000));
  EXPECT_EQ(dialogs.last().headline, GetText(kTextRecipeDone))
      << dialogs.last().message.toStdString() << "\n"
      << folders.ReadFile(file).toStdString();
  EXPECT_TRUE(WaitUntil([&] { return Window().DisplayModel().TextLines() == end; }, 8000))
      << Window().DisplayModel().TextLines().join(QLatin1Char('|')).toStdString() << " / "
      << end.join(QLatin1Char('|')).toStdString();
}

}  // namespace
}  // namespace integration
