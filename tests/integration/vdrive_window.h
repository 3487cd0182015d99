// The real main window on the real vdrive program: a drive started for the
// test and a window that has its screen, with keys pressed as the user
// presses them.
#pragma once

#include <QKeyEvent>

#include "key_mapping.h"
#include "key_repeat_filter.h"
#include "program_fixture.h"
#include "vdrive_process.h"

namespace integration {

// The drive's lines as the window shows them: 16 characters.
inline QString Padded(const char *utf8) {
  return QString::fromUtf8(utf8).leftJustified(16, QLatin1Char(' '));
}

class VdriveWindow : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    drive = std::make_unique<TVdrive>(folders.RuntimeFolder(), driveArguments);
    ASSERT_TRUE(drive->WaitForPort()) << drive->Output().toStdString();
    WriteSettings("[Sorvanel]\nPort=VDRIVE1\n");
    StartConversation();
  }
  void TearDown() override {
    ProgramTest::TearDown();
    drive.reset();
  }

  // Starts a window on the drive and waits for the drive's screen.
  void StartConversation() {
    StartWindow();
    ASSERT_TRUE(WaitUntil(
        [&] {
          const QString top = Line(kSizeBig, 0);
          return !top.isEmpty() && !top.startsWith(QLatin1Char(' '));  // no status screen
        },
        10000))
        << "no converter screen: " << Line(kSizeBig, 1).toStdString();
  }

  bool Shows(int line, const char *utf8, int limitMs = 8000) {
    return WaitUntil(
        [&] {
          return Line(kSizeBig, line) == Padded(utf8) && Line(kSizeSmall, line) == Padded(utf8);
        },
        limitMs);
  }
  std::string Shown(int line) { return Line(kSizeBig, line).toStdString(); }

  // A key pressed once the program answers the drive again, so a click is
  // not merged into the held state of the key pressed before it.
  void AwaitAnswers() {
    ASSERT_TRUE(WaitUntil([&] { return Window().LinkState().SendSkipCount == 0; }, 5000));
  }
  void Press(int key) {
    AwaitAnswers();
    ClickKey(key);
  }
  void PressOnKeyboard(Qt::Key key) {
    AwaitAnswers();
    QTest::keyClick(&Window(), key);
    // The key-up reaches the window once no auto-repeat press has followed
    // it (a press before that would count as a repeat of this one), and the
    // drive in the next answers: it needs to see the key up between two
    // presses.
    ASSERT_TRUE(WaitUntil(
        [&] { return !Window().KeyRepeat().IsReleasePending(QtKeyToVirtualKey(key)); }, 2000));
    const int answers = AnswersWritten();
    ASSERT_TRUE(WaitUntil([&] { return AnswersWritten() >= answers + kAnswersAfterARelease; }));
  }
  // The key goes out held in the next answer and released in the one after.
  static constexpr int kAnswersAfterARelease = 3;

  double OutputHz() { return Line(kSizeBig, 0).mid(8, 5).trimmed().toDouble(); }

  bool CellsShown(bool shown) {
    for (int size : {kSizeBig, kSizeSmall}) {
      for (int row = 0; row < kCellRows; ++row) {
        for (int column = 0; column < kCellColumns; ++column) {
          if (Window().FrontPanel().Image_DisplayCell[size][row][column]->isHidden() == shown) {
            return false;
          }
        }
      }
    }
    return true;
  }
  bool LabelsAt(bool graphic) {
    for (int size : {kSizeBig, kSizeSmall}) {
      const int left = graphic ? DisplayLineGraphicLeft(size) : DisplayLineTextLeft(size);
      for (int line = 0; line < kCellRows; ++line) {
        if (Window().FrontPanel().Label_DisplayLine[size][line]->x() != left) {
          return false;
        }
      }
    }
    return true;
  }

  QStringList driveArguments{QStringLiteral("--fast")};
  std::unique_ptr<TVdrive> drive;
};

}  // namespace integration
