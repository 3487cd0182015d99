// The window on a desktop: texts that do not fit, Qt's own texts in the
// program's language, the memory-file dialogs' folder, and the first key
// after a dialog.
#include <QFileDialog>
#include <QHelpEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "display_renderer.h"
#include "memory_file_dialogs.h"
#include "status_bar.h"
#include "window_fixture.h"

namespace {

using DesktopFitTest = WindowTest;

TEST_F(DesktopFitTest, AStatusBarTextThatDoesNotFitShowsWholeInATooltip) {
  TForm_Sorvanel &window = Window();
  window.Menu_TerminalSizeSmallClick();
  window.show();
  TStatusBar *bar = window.StatusBar();
  window.SetPortStatusText(QStringLiteral("-"));
  EXPECT_TRUE(bar->PanelToolTip(0).isEmpty()) << "a text that fits has no tooltip";
  window.SetPortStatusText(QStringLiteral("VDRIVE1"));
  EXPECT_EQ(bar->PanelToolTip(0), QStringLiteral("VDRIVE1"));

  const QPoint inside = bar->PanelRect(0).center();
  QHelpEvent help(QEvent::ToolTip, inside, bar->mapToGlobal(inside));
  QApplication::sendEvent(bar, &help);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QStringLiteral("VDRIVE1"));
  QToolTip::hideText();
}

TEST_F(DesktopFitTest, TheSearchScreenStaysInsideTheSixteenColumns) {
  EXPECT_EQ(SearchScreenLine(QStringLiteral("converter: "), QStringLiteral("COM3")),
            QStringLiteral("converter: COM3"));
  EXPECT_EQ(SearchScreenLine(QStringLiteral("keresése..."), QStringLiteral("ttyUSB0")),
            QStringLiteral("keresése.ttyUSB0"));
  EXPECT_EQ(SearchScreenLine(QStringLiteral("keresése..."), QStringLiteral("usb-VELTAR_drive_1")),
            QStringLiteral("b-VELTAR_drive_1"));

  Window().Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  Window().ProgramSettings().Port = QStringLiteral("VDRIVE1");
  Window().ShowStatusScreen(kStatusScreenSearching);
  EXPECT_EQ(Line(kSizeBig, 3)->text(), QStringLiteral("converterVDRIVE1"));
  EXPECT_EQ(Line(kSizeSmall, 3)->text(), QStringLiteral("converterVDRIVE1"));
}

TEST_F(DesktopFitTest, QtsOwnTextsFollowTheLanguage) {
  const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
  Window();
  EXPECT_EQ(cancel(), QStringLiteral("Mégse"));
  Window().Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
  Window().Menu_LanguageClick(Child<QAction>("Menu_LanguageHun"));
  EXPECT_EQ(cancel(), QStringLiteral("Mégse"));
}

TEST_F(DesktopFitTest, MemoryFileDialogsStartInTheFolderUsedLast) {
  QDir(folder.path()).mkpath(QStringLiteral("sets"));
  const QString sets = folder.filePath(QStringLiteral("sets"));
  QString lastFolder;
  QFileDialog load;
  QTimer::singleShot(0, &load, [&] {
    load.selectFile(sets + QStringLiteral("/pump.mem"));
    static_cast<QDialog &>(load).accept();
  });
  EXPECT_EQ(RunMemoryFileDialog(load, lastFolder), sets + QStringLiteral("/pump.mem"));
  EXPECT_EQ(lastFolder, sets);

  QFileDialog save;
  QString startedIn;
  QTimer::singleShot(0, &save, [&] {
    startedIn = save.directory().absolutePath();
    save.reject();
  });
  EXPECT_TRUE(RunMemoryFileDialog(save, lastFolder).isEmpty());
  EXPECT_EQ(startedIn, sets);
  EXPECT_EQ(lastFolder, sets) << "a cancelled dialog changes nothing";
}

TEST_F(DesktopFitTest, TheFirstKeyAfterADialogReachesTheDrive) {
  TForm_Sorvanel &window = Window();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  // The dialog is confirmed while a popup of its own (a file-name
  // completion list) is still up.
  QTimer::singleShot(0, &window, [] {
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto *completions = new QMenu(dialog);
    completions->addAction(QStringLiteral("pump.mem"));
    completions->popup(dialog->geometry().center());
    dialog->reject();
  });
  window.Menu_MemoryLoadClick();
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  QTest::keyPress(window.windowHandle(), Qt::Key_Escape);
  EXPECT_TRUE(window.KeyInput().IsHeld(5)) << "Esc reached the terminal";
  EXPECT_EQ(CompiledKeyBytes(), std::make_pair(uint8_t{0x04}, uint8_t{0x00}));
  QTest::keyRelease(window.windowHandle(), Qt::Key_Escape);
}

}  // namespace
