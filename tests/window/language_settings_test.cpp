// The stored settings applied to the window, the save at close, and the
// language switch.
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

#include "status_bar.h"
#include "window_fixture.h"

namespace {

using SettingsTest = WindowTest;
using LanguageTest = WindowTest;

QByteArray ReadFile(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(SettingsTest, NoSettingsFileGivesTheDefaults) {
  TForm_Sorvanel &window = Window();
  EXPECT_EQ(window.pos(), QPoint(50, 50));
  EXPECT_TRUE(Child<QAction>("Menu_TerminalSizeBig")->isChecked());
  EXPECT_EQ(window.centralWidget()->size(), QSize(320, 518));
  EXPECT_TRUE(Child<QAction>("Menu_LanguageHun")->isChecked());
  EXPECT_EQ(Child<QMenu>("Menu_File")->title(), QStringLiteral("Fájl"));
  EXPECT_FALSE(Child<QAction>("Menu_AlwaysOnTop")->isChecked());
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(Child<QAction>("Menu_FindFrequencyConverter")->isChecked());
  EXPECT_TRUE(Child<QAction>("Menu_ProgTermAlertOnConnect")->isChecked());
  EXPECT_TRUE(Child<QAction>("Menu_ProgTermAlertOnDisconnect")->isChecked());
}

TEST_F(SettingsTest, StoredValuesAreAppliedToTheWindow) {
  WriteSettings(
      "[Sorvanel]\nPort=ttyUSB0\nFindFreq=1\nSize=1\nAlwaysOnTop=1\nLeft=120\nTop=-7\n"
      "PTConnect=0\nPTDisconnect=1\nLanguage=1\n");
  TForm_Sorvanel &window = Window();
  EXPECT_EQ(window.pos(), QPoint(120, 0));
  EXPECT_TRUE(Child<QAction>("Menu_TerminalSizeSmall")->isChecked());
  EXPECT_EQ(window.centralWidget()->size(), QSize(220, 363));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(Child<QAction>("Menu_AlwaysOnTop")->isChecked());
  EXPECT_TRUE(window.ProgramSettings().AlwaysOnTop);
  EXPECT_TRUE(Child<QAction>("Menu_FindFrequencyConverter")->isChecked());
  EXPECT_FALSE(Child<QAction>("Menu_ProgTermAlertOnConnect")->isChecked());
  EXPECT_TRUE(Child<QAction>("Menu_LanguageEng")->isChecked());
  EXPECT_FALSE(Child<QAction>("Menu_LanguageHun")->isChecked());
  EXPECT_EQ(window.StatusBar()->PanelText(1), QStringLiteral("Frequency conv."));
  EXPECT_EQ(window.ProgramSettings().Port, QStringLiteral("ttyUSB0"));
}

TEST_F(SettingsTest, AlwaysOnTopTogglesFlagCheckAndRecord) {
  WriteSettings("[Sorvanel]\nAlwaysOnTop=1\n");
  TForm_Sorvanel &window = Window();
  Child<QAction>("Menu_AlwaysOnTop")->trigger();
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(Child<QAction>("Menu_AlwaysOnTop")->isChecked());
  EXPECT_FALSE(window.ProgramSettings().AlwaysOnTop);
  Child<QAction>("Menu_AlwaysOnTop")->trigger();
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window.ProgramSettings().AlwaysOnTop);
}

TEST_F(SettingsTest, AlertItemsToggleTheirSettings) {
  Child<QAction>("Menu_ProgTermAlertOnConnect")->trigger();
  EXPECT_FALSE(Window().ProgramSettings().PTConnect);
  EXPECT_FALSE(Child<QAction>("Menu_ProgTermAlertOnConnect")->isChecked());
  Child<QAction>("Menu_ProgTermAlertOnDisconnect")->trigger();
  EXPECT_FALSE(Window().ProgramSettings().PTDisconnect);
  Child<QAction>("Menu_ProgTermAlertOnDisconnect")->trigger();
  EXPECT_TRUE(Window().ProgramSettings().PTDisconnect);
}

TEST_F(SettingsTest, CloseSavesSizeAndPositionFromTheWindow) {
  TForm_Sorvanel &window = Window();
  window.move(123, 77);
  window.Menu_TerminalSizeSmallClick();
  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  window.close();
  const QByteArray text = ReadFile(SettingsPath());
  EXPECT_TRUE(text.contains("Size=1")) << text.toStdString();
  EXPECT_TRUE(text.contains("Left=123")) << text.toStdString();
  EXPECT_TRUE(text.contains("Top=77")) << text.toStdString();
  EXPECT_TRUE(text.contains("Language=1")) << text.toStdString();
  EXPECT_TRUE(dialogs.records.empty());
}

TEST_F(SettingsTest, ExitItemClosesAndSavesLikeTheCloseButton) {
  Window().Menu_TerminalSizeSmallClick();
  Child<QAction>("Menu_Exit")->trigger();
  EXPECT_TRUE(ReadFile(SettingsPath()).contains("Size=1"));
}

TEST_F(SettingsTest, ReadOnlySettingsFileIsReportedAndKept) {
  const QByteArray old = "[Sorvanel]\nSize=0\nLeft=10\nTop=10\n";
  WriteSettings(old);
  QFile::setPermissions(SettingsPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  Window().Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  Window().Menu_TerminalSizeSmallClick();
  Window().close();
  ASSERT_EQ(dialogs.records.size(), 1u);
  const TMessageDialogRequest &request = dialogs.last();
  EXPECT_EQ(request.icon, 3);
  EXPECT_EQ(request.caption, QStringLiteral("Hiba!"));
  EXPECT_EQ(request.headline, QStringLiteral("sorvanel.ini"));
  EXPECT_EQ(request.message, QStringLiteral("A fájl nem írható! (Lehet, hogy írásvédett)"));
  EXPECT_EQ(request.buttons, 16);
  EXPECT_FALSE(request.hasCheckBox);
  EXPECT_EQ(ReadFile(SettingsPath()), old);
}

// The memory file is saved at close after the settings: a read-only one is
// reported with the file error dialog, in Hungarian whatever the language.
TEST_F(SettingsTest, ReadOnlyMemoryFileIsReportedAtClose) {
  const QString memoryFile = Window().Files().memoryFile;
  Window().Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  ASSERT_TRUE(QFile(memoryFile).open(QIODevice::WriteOnly));
  QFile::setPermissions(memoryFile, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
  Window().close();
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().caption, QStringLiteral("Hiba!"));
  EXPECT_EQ(dialogs.last().headline, QFileInfo(memoryFile).fileName());
  EXPECT_EQ(dialogs.last().message, QStringLiteral("A fájl nem írható! (Lehet, hogy írásvédett)"));
}

TEST_F(LanguageTest, SwitchRecaptionsMenusAndPanelsButNotTheDisplay) {
  TForm_Sorvanel &window = Window();
  window.ShowStatusScreen(TStatusScreen::NoPort);
  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  const std::pair<const char *, const char *> menus[] = {
      {"Menu_File", "File"},
      {"Menu_Memory", "Memory"},
      {"Menu_Settings", "Settings"},
      {"Menu_PortHandling", "Port handling"},
      {"Menu_ProgTermAlert", "Programming terminal"},
      {"Menu_Language", "Language (Nyelv)"},
      {"Menu_Help", "Help"},
  };
  for (const auto &[name, caption] : menus) {
    EXPECT_EQ(Child<QMenu>(name)->title(), QString::fromUtf8(caption)) << name;
  }
  const std::pair<const char *, const char *> items[] = {
      {"Menu_Exit", "Exit"},
      {"Menu_MemoryLoad", "Load from file"},
      {"Menu_MemorySave", "Save to file"},
      {"Menu_MemoryClear", "Clear"},
      {"Menu_FindAvailablePorts", "Find available ports"},
      {"Menu_FindFrequencyConverter", "Find frequency converter"},
      {"Menu_TerminalSizeBig", "Big size"},
      {"Menu_TerminalSizeSmall", "Small size"},
      {"Menu_AlwaysOnTop", "Always on top"},
      {"Menu_ProgTermAlertOnConnect", "Alert on connect"},
      {"Menu_ProgTermAlertOnDisconnect", "Alert on disconnect"},
      {"Menu_LanguageHun", "Magyar"},
      {"Menu_LanguageEng", "English"},
      {"Menu_OpenHelp", "Contents"},
      {"Menu_About", "About"},
  };
  for (const auto &[name, caption] : items) {
    EXPECT_EQ(Child<QAction>(name)->text(), QString::fromUtf8(caption)) << name;
  }
  EXPECT_EQ(window.StatusBar()->PanelText(1), QStringLiteral("Frequency conv."));
  EXPECT_EQ(window.StatusBar()->PanelText(2), QStringLiteral("Prog. term."));
  EXPECT_EQ(window.StatusBar()->PanelText(0), QStringLiteral("-"));
  EXPECT_TRUE(Child<QAction>("Menu_LanguageEng")->isChecked());
  EXPECT_FALSE(Child<QAction>("Menu_LanguageHun")->isChecked());
  EXPECT_EQ(window.ProgramSettings().Language, kLanguageEnglish);
  // Shortcuts, checks and enabled states are untouched.
  EXPECT_EQ(Child<QAction>("Menu_Exit")->shortcut(), QKeySequence(QStringLiteral("Alt+F4")));
  EXPECT_FALSE(Child<QAction>("Menu_MemorySave")->isEnabled());
  EXPECT_TRUE(Child<QAction>("Menu_ProgTermAlertOnConnect")->isChecked());

  EXPECT_EQ(Line(0, 2)->text(), QStringLiteral("   Nincs port")) << "display waits";
  EXPECT_EQ(Line(0, 3)->text(), QStringLiteral("   megnyitva!"));
  window.ShowStatusScreen(TStatusScreen::NoPort);
  EXPECT_EQ(Line(0, 2)->text(), QStringLiteral("      Port"));
  EXPECT_EQ(Line(0, 3)->text(), QStringLiteral("     error!"));

  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageHun"));
  EXPECT_EQ(Child<QMenu>("Menu_Settings")->title(), QStringLiteral("Beállítások"));
  EXPECT_EQ(Child<QAction>("Menu_ProgTermAlertOnDisconnect")->text(),
            QStringLiteral("Figyelmeztetés lecsatlakoztatás esetén"));
  EXPECT_EQ(window.StatusBar()->PanelText(1), QStringLiteral("Frekvenciaváltó"));
  EXPECT_EQ(window.ProgramSettings().Language, kLanguageHungarian);
}

TEST_F(LanguageTest, OutOfRangeStoredLanguageIsHungarian) {
  WriteSettings("[Sorvanel]\nLanguage=5\n");
  EXPECT_TRUE(Window().findChild<QAction *>(QStringLiteral("Menu_LanguageHun"))->isChecked());
  EXPECT_EQ(CurrentLanguage(), kLanguageHungarian);
  EXPECT_EQ(Child<QMenu>("Menu_Help")->title(), QStringLiteral("Súgó"));
}

}  // namespace
