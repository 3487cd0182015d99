// Where the controls of the terminal picture stand, and switching sizes.
#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "circle_shape.h"
#include "drive_link.h"
#include "key_layout.h"
#include "status_bar.h"
#include "window_fixture.h"

namespace {

using LayoutTest = WindowTest;

struct TPlaced {
  const char *name;
  const char *parent;
  QRect geometry;
};

TEST_F(LayoutTest, DesignedControlsStandAtTheirPixelPositions) {
  const TPlaced placed[] = {
      {"Image_BackgroundBig", "Group_TerminalSizeBig", {5, 15, 310, 480}},
      {"Shape_ErrorLedBig", "Group_TerminalSizeBig", {45, 175, 15, 16}},
      {"Shape_RunLedBig", "Group_TerminalSizeBig", {260, 175, 15, 16}},
      {"Bevel_HeadBig", "Group_TerminalSizeBig", {0, 7, 320, 1}},
      {"Image_ResizeBig", "Group_TerminalSizeBig", {285, 1, 24, 13}},
      {"Image_BackgroundSmall", "Group_TerminalSizeSmall", {5, 15, 210, 325}},
      {"Bevel_HeadSmall", "Group_TerminalSizeSmall", {0, 7, 220, 1}},
      {"Shape_ErrorLedSmall", "Group_TerminalSizeSmall", {32, 123, 10, 10}},
      {"Shape_RunLedSmall", "Group_TerminalSizeSmall", {178, 123, 10, 10}},
      {"Image_ResizeSmall", "Group_TerminalSizeSmall", {186, 1, 24, 13}},
  };
  for (const TPlaced &p : placed) {
    auto *control = Child<QWidget>(p.name);
    ASSERT_NE(control, nullptr) << p.name;
    EXPECT_EQ(control->geometry(), p.geometry) << p.name;
    EXPECT_EQ(control->parentWidget()->objectName(), QString::fromLatin1(p.parent)) << p.name;
  }
  EXPECT_EQ(Child<QWidget>("Group_TerminalSizeBig")->size(), QSize(320, 500));
  EXPECT_EQ(Child<QWidget>("Group_TerminalSizeSmall")->size(), QSize(220, 345));
  for (const char *name : {"Group_TerminalSizeBig", "Group_TerminalSizeSmall"}) {
    auto *group = Child<QWidget>(name);
    EXPECT_EQ(group->palette().color(QPalette::Window), QColor(128, 128, 128));
    EXPECT_TRUE(group->autoFillBackground());
  }
  EXPECT_EQ(Child<QWidget>("Image_ResizeBig")->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(Child<TImage>("Image_BackgroundBig")->Picture().size(), QSize(310, 480));
  EXPECT_EQ(Child<TImage>("Image_BackgroundSmall")->Picture().size(), QSize(210, 325));
}

TEST_F(LayoutTest, KeyImagesStandOnTheFaceWithTheirKeyIndex) {
  const TFrontPanel &panel = Window().FrontPanel();
  // The key's bits in a request, checked through the protocol library's own key table.
  const uint16_t virtualKeys[kKeyCount] = {0x26, 0x25, 'D', 0x27, 0x28, 0x1B,
                                           0x0D, 'K',  'I', 'A',  'S'};
  for (int key = 0; key < kKeyCount; ++key) {
    const TButtonPlacement &entry = panel.ButtonTable[key];
    EXPECT_EQ(Kelvo_KeyToID(virtualKeys[key]), key);
    EXPECT_EQ(entry.Button, kTerminalKeys[key].button) << key;
    EXPECT_EQ(entry.ImageBig->geometry(), QRect(kKeyPlaces[key].big + QPoint(0, 15), QSize(60, 60)))
        << key;
    EXPECT_EQ(entry.ImageSmall->geometry(),
              QRect(kKeyPlaces[key].small + QPoint(0, 15), QSize(40, 40)))
        << key;
    EXPECT_EQ(entry.ImageBig->Tag(), key);
    EXPECT_EQ(entry.ImageSmall->Tag(), key);
    EXPECT_EQ(entry.ImageBig->parentWidget(), Child<QWidget>("Group_TerminalSizeBig"));
    EXPECT_EQ(entry.ImageSmall->parentWidget(), Child<QWidget>("Group_TerminalSizeSmall"));
    EXPECT_EQ(entry.ImageBig->Picture().toImage(), panel.Images_ButtonBig.Image(key).toImage());
    EXPECT_EQ(entry.ImageSmall->Picture().toImage(), panel.Images_ButtonSmall.Image(key).toImage());
  }
  EXPECT_EQ(panel.Images_ButtonBig.Count(), 22);
  EXPECT_EQ(panel.Images_ButtonBig.Image(21).size(), QSize(60, 60));
  EXPECT_EQ(panel.Images_ButtonSmall.Image(21).size(), QSize(40, 40));
  // Released and pressed looks differ.
  EXPECT_NE(panel.Images_ButtonBig.Image(9).toImage(), panel.Images_ButtonBig.Image(20).toImage());
}

TEST_F(LayoutTest, DisplayLinesAndCellsLieOnTheDisplayPitch) {
  const TFrontPanel &panel = Window().FrontPanel();
  for (int line = 0; line < 4; ++line) {
    EXPECT_EQ(Line(0, line)->pos(), QPoint(56, 35 + 20 * line));
    EXPECT_EQ(Line(1, line)->pos(), QPoint(38, 26 + 15 * line));
    EXPECT_EQ(Line(0, line)->Tag(), line);
    EXPECT_EQ(Line(0, line)->palette().color(QPalette::WindowText), QColor(192, 192, 192));
    EXPECT_TRUE(Line(0, line)->font().bold());
  }
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 13; ++column) {
      TImage *big = panel.Image_DisplayCell[0][row][column];
      TImage *small = panel.Image_DisplayCell[1][row][column];
      EXPECT_EQ(big->geometry(), QRect(56 + 13 * column, 35 + 20 * row + 1, 12, 18));
      EXPECT_EQ(small->geometry(), QRect(38 + 9 * column, 26 + 15 * row + 1, 8, 13));
      EXPECT_TRUE(big->isHidden());
      EXPECT_EQ(big->Picture().toImage().pixelColor(11, 17), QColor(0, 128, 0));
      EXPECT_EQ(Window().DisplayModel().Cell(row, column), 0x20);
    }
  }
  // Cells are created after the labels, so they lie above them.
  const QObjectList &children = Child<QWidget>("Group_TerminalSizeBig")->children();
  EXPECT_LT(children.indexOf(Line(0, 0)), children.indexOf(panel.Image_DisplayCell[0][0][0]));
}

TEST_F(LayoutTest, BigSizeFillsTheClientAreaAtStart) {
  TForm_Sorvanel &window = Window();
  EXPECT_EQ(window.centralWidget()->size(), QSize(320, 518));
  EXPECT_EQ(window.size(), QSize(320, 518 + window.menuBar()->heightForWidth(320)));
  EXPECT_EQ(Child<QWidget>("Group_TerminalSizeBig")->pos(), QPoint(0, 0));
  EXPECT_FALSE(Child<QWidget>("Group_TerminalSizeBig")->isHidden());
  EXPECT_TRUE(Child<QWidget>("Group_TerminalSizeSmall")->isHidden());
  EXPECT_TRUE(Child<QAction>("Menu_TerminalSizeBig")->isChecked());
  EXPECT_EQ(window.StatusBar()->geometry(), QRect(0, 500, 320, 18));
}

TEST_F(LayoutTest, ResizeTrianglesSwitchSizeAndMoveTheCheckMark) {
  TForm_Sorvanel &window = Window();
  SendMouse(Child<QWidget>("Image_ResizeBig"), QEvent::MouseButtonPress, Qt::LeftButton);
  SendMouse(Child<QWidget>("Image_ResizeBig"), QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_EQ(window.centralWidget()->size(), QSize(220, 363));
  EXPECT_EQ(Child<QWidget>("Group_TerminalSizeSmall")->pos(), QPoint(0, 0));
  EXPECT_FALSE(Child<QWidget>("Group_TerminalSizeSmall")->isHidden());
  EXPECT_TRUE(Child<QWidget>("Group_TerminalSizeBig")->isHidden());
  EXPECT_TRUE(Child<QAction>("Menu_TerminalSizeSmall")->isChecked());
  EXPECT_FALSE(Child<QAction>("Menu_TerminalSizeBig")->isChecked());
  EXPECT_EQ(window.StatusBar()->geometry(), QRect(0, 345, 220, 18));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());

  SendMouse(Child<QWidget>("Image_ResizeSmall"), QEvent::MouseButtonPress, Qt::LeftButton);
  SendMouse(Child<QWidget>("Image_ResizeSmall"), QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_EQ(window.centralWidget()->size(), QSize(320, 518));
  EXPECT_TRUE(Child<QAction>("Menu_TerminalSizeBig")->isChecked());
  EXPECT_TRUE(Child<QWidget>("Group_TerminalSizeSmall")->isHidden());
}

TEST_F(LayoutTest, SizeMenuItemsSwitchTheSize) {
  Child<QAction>("Menu_TerminalSizeSmall")->trigger();
  EXPECT_EQ(Window().centralWidget()->size(), QSize(220, 363));
  Child<QAction>("Menu_TerminalSizeBig")->trigger();
  EXPECT_EQ(Window().centralWidget()->size(), QSize(320, 518));
}

TEST_F(LayoutTest, WindowIsFixedWithoutMaximizeAndNamed) {
  TForm_Sorvanel &window = Window();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Sorvanel V9.1.2"));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  EXPECT_NE(window.Timer(), nullptr);
  EXPECT_EQ(window.Timer()->interval(), 1000);
  EXPECT_TRUE(window.Timer()->isActive());
}

TEST_F(LayoutTest, NoControlTakesTheKeyboardFocus) {
  for (QWidget *child : Window().findChildren<QWidget *>()) {
    if (qobject_cast<QMenu *>(child) != nullptr) {
      continue;  // popups take the keyboard only while open
    }
    EXPECT_EQ(child->focusPolicy(), Qt::NoFocus) << child->objectName().toStdString();
  }
}

TEST_F(LayoutTest, StatusBarHasItsFourPanels) {
  TStatusBar *bar = Window().StatusBar();
  ASSERT_EQ(bar->PanelCount(), 4);
  EXPECT_EQ(bar->height(), 18);
  const int widths[] = {50, 95, 75, 50};
  const bool owner[] = {false, true, true, false};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(bar->Panel(i).width, widths[i]);
    EXPECT_EQ(bar->Panel(i).ownerDrawn, owner[i]);
  }
  EXPECT_EQ(bar->PanelText(0), QStringLiteral("-"));
  EXPECT_EQ(bar->Panel(0).alignment, Qt::AlignHCenter);
  EXPECT_EQ(bar->Panel(3).alignment, Qt::AlignLeft);
  EXPECT_EQ(bar->PanelText(3), QString());
  Window().SetPortStatusText(QStringLiteral("ttyUSB0"));
  EXPECT_EQ(bar->PanelText(0), QStringLiteral("ttyUSB0"));
}

QStringList ItemNames(QMenu *menu) {
  QStringList names;
  for (QAction *action : menu->actions()) {
    names << (action->menu() != nullptr ? action->menu()->objectName() : action->objectName());
  }
  return names;
}

TEST_F(LayoutTest, MenuTreeHasItsItemsInOrder) {
  TForm_Sorvanel &window = Window();
  QStringList top;
  for (QAction *action : window.menuBar()->actions()) {
    top << action->menu()->objectName();
  }
  EXPECT_EQ(top,
            QStringList({"Menu_File", "Menu_Memory", "Menu_Settings", "Menu_Tools", "Menu_Help"}));
  EXPECT_EQ(ItemNames(Child<QMenu>("Menu_File")), QStringList({"Menu_Exit"}));
  EXPECT_EQ(ItemNames(Child<QMenu>("Menu_Memory")),
            QStringList({"Menu_MemoryLoad", "Menu_MemorySave", "N1", "Menu_MemoryClear"}));
  EXPECT_EQ(
      ItemNames(Child<QMenu>("Menu_Settings")),
      QStringList({"Menu_PortHandling", "N3", "Menu_TerminalSizeBig", "Menu_TerminalSizeSmall",
                   "N4", "Menu_AlwaysOnTop", "N5", "Menu_ProgTermAlert", "Menu_Language"}));
  EXPECT_EQ(ItemNames(window.PortHandlingMenu()).mid(0, 3),
            QStringList({"Menu_FindAvailablePorts", "Menu_FindFrequencyConverter", "N2"}));
  EXPECT_EQ(ItemNames(Child<QMenu>("Menu_ProgTermAlert")),
            QStringList({"Menu_ProgTermAlertOnConnect", "Menu_ProgTermAlertOnDisconnect"}));
  EXPECT_EQ(ItemNames(Child<QMenu>("Menu_Language")),
            QStringList({"Menu_LanguageHun", "Menu_LanguageEng"}));
  EXPECT_EQ(ItemNames(Child<QMenu>("Menu_Tools")),
            QStringList({"Menu_LineMonitor", "Menu_MemoryView", "Menu_Automation",
                         "Menu_RecordRecipe", "Menu_PlayRecipe"}));
  EXPECT_EQ(ItemNames(Child<QMenu>("Menu_Help")),
            QStringList({"Menu_OpenHelp", "N6", "Menu_About"}));
}

TEST_F(LayoutTest, MenuItemsHaveTheirShortcutsChecksAndGroups) {
  EXPECT_EQ(Child<QAction>("Menu_Exit")->shortcut(), QKeySequence(QStringLiteral("Alt+F4")));
  EXPECT_EQ(Child<QAction>("Menu_OpenHelp")->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_FALSE(Child<QAction>("Menu_MemorySave")->isEnabled());
  EXPECT_TRUE(Child<QAction>("Menu_ProgTermAlertOnConnect")->isChecked());
  EXPECT_TRUE(Child<QAction>("Menu_ProgTermAlertOnDisconnect")->isChecked());
  EXPECT_FALSE(Child<QAction>("Menu_AlwaysOnTop")->isChecked());
  EXPECT_FALSE(Child<QAction>("Menu_FindFrequencyConverter")->isChecked());
  for (const auto &[first, second] : {std::pair{"Menu_TerminalSizeBig", "Menu_TerminalSizeSmall"},
                                      std::pair{"Menu_LanguageHun", "Menu_LanguageEng"}}) {
    QActionGroup *group = Child<QAction>(first)->actionGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isExclusive());
    EXPECT_EQ(Child<QAction>(second)->actionGroup(), group);
  }
  EXPECT_EQ(Child<QAction>("Menu_LanguageHun")->data().toInt(), 0);
  EXPECT_EQ(Child<QAction>("Menu_LanguageEng")->data().toInt(), 1);
}

TEST_F(LayoutTest, PortItemsFollowTheFixedItemsInListOrder) {
  TForm_Sorvanel &window = Window();
  const QStringList &entries = window.DriveLink().PortMenu().Entries();
  const QList<QAction *> items = window.PortHandlingMenu()->actions();
  ASSERT_FALSE(entries.isEmpty());  // at least the fallback COM1 to COM5
  // Then a separator and "Network ports…", below every port item.
  ASSERT_EQ(items.size(), entries.size() + 3 + 2);
  EXPECT_TRUE(items[items.size() - 2]->isSeparator());
  EXPECT_EQ(items.last()->objectName(), QStringLiteral("Menu_NetworkPorts"));
  for (qsizetype i = 0; i < entries.size(); ++i) {
    const QAction *item = items[i + 3];
    if (entries[i] == QStringLiteral("-")) {
      EXPECT_TRUE(item->isSeparator());
    } else {
      EXPECT_EQ(item->text(), entries[i]);
      EXPECT_TRUE(item->isCheckable());
      EXPECT_FALSE(item->isChecked());
    }
  }
}

}  // namespace
