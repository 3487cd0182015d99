// The window on a desktop: menus and texts that do not fit, Qt's own texts in the
// program's language, the memory-file dialogs' folder, and the first key
// after a dialog.
#include <QFileDialog>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
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

// The menu bar of each size and language shows every menu of the terminal; none goes behind
// the extension button "»". The tools stay one click away: a menu of the bar in the big size,
// a submenu at the top of File in the small one.
TEST_F(DesktopFitTest, EveryMenuStaysInViewInBothSizesAndLanguages) {
  TForm_Sorvanel &window = Window();
  window.show();
  QMenuBar *bar = window.menuBar();
  QAction *tools = Child<QMenu>("Menu_Tools")->menuAction();
  for (const char *language : {"Menu_LanguageHun", "Menu_LanguageEng"}) {
    window.Menu_LanguageClick(Child<QAction>(language));
    for (const bool small : {false, true, false}) {
      small ? window.Menu_TerminalSizeSmallClick() : window.Menu_TerminalSizeBigClick();
      QApplication::processEvents();
      const std::string where = std::string(language) + (small ? " small" : " big");
      QStringList shown;
      for (QAction *item : bar->actions()) {
        shown << item->menu()->objectName();
        EXPECT_TRUE(bar->rect().contains(bar->actionGeometry(item)))
            << where << ": " << item->text().toStdString();
      }
      auto *extension = bar->findChild<QToolButton *>();
      EXPECT_TRUE(extension == nullptr || extension->isHidden()) << where;
      EXPECT_EQ(shown, small
                           ? QStringList({"Menu_File", "Menu_Memory", "Menu_Settings", "Menu_Help"})
                           : QStringList({"Menu_File", "Menu_Memory", "Menu_Settings", "Menu_Tools",
                                          "Menu_Help"}))
          << where;
      QMenu *file = Child<QMenu>("Menu_File");
      const QList<QAction *> fileItems = file->actions();
      ASSERT_EQ(fileItems.size(), small ? 3 : 1) << where;
      EXPECT_EQ(fileItems.back(), Child<QAction>("Menu_Exit"));
      if (small) {
        EXPECT_EQ(fileItems[0], tools);
        EXPECT_TRUE(fileItems[1]->isSeparator());
      }
      EXPECT_EQ(tools->text(), GetText(kTextToolsMenu)) << where;
    }
  }
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
  Window().ShowStatusScreen(TStatusScreen::Searching);
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
