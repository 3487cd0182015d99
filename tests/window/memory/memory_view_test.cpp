// The memory view: highlights that run out, the Tools menu that opens it in
// the current language, and the comparison with a memory file.
#include "memory_view.h"

#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

#include "drive_link.h"
#include "memory_file.h"
#include "memory_table_model.h"
#include "window_fixture.h"

namespace {

bool Lit(TForm_MemoryView &view, uint32_t address) {
  TMemoryTableModel &model = view.Model();
  return model.data(model.IndexOf(address), Qt::BackgroundRole) ==
         QVariant(TMemoryTableModel::HighlightColor());
}

// The rows of each dataChanged announcement since the last call.
std::vector<std::pair<int, int>> Announced(QSignalSpy &spy) {
  std::vector<std::pair<int, int>> rows;
  for (const QList<QVariant> &signal : spy) {
    rows.emplace_back(signal[0].toModelIndex().row(), signal[1].toModelIndex().row());
  }
  spy.clear();
  return rows;
}

TEST(MemoryViewHighlight, WrittenBytesStayLitForTheHoldTimeThenGoOut) {
  qint64 now = 1000;
  TTerminalMemory memory;
  TForm_MemoryView view(memory, nullptr, [&now] { return now; });
  QSignalSpy changed(&view.Model(), &QAbstractItemModel::dataChanged);
  const std::vector<std::pair<int, int>> rowsOfTheBlock = {{0xFF, 0x100}};

  for (uint32_t a = 0x0FF8; a < 0x1008; ++a) {
    memory.Write(a, 0xAA);
  }
  view.MemoryBlockWritten(0x0FF8, 16);  // across a row boundary
  EXPECT_TRUE(Lit(view, 0x0FF8) && Lit(view, 0x1007));
  EXPECT_FALSE(Lit(view, 0x0FF7) || Lit(view, 0x1008));
  view.Refresh();
  EXPECT_EQ(Announced(changed), rowsOfTheBlock);
  EXPECT_EQ(view.Model().data(view.Model().IndexOf(0x1007), Qt::DisplayRole), "AA");

  now += TRecentWrites::kHoldMs - 1;
  view.Refresh();
  EXPECT_TRUE(Announced(changed).empty()) << "nothing changed, nothing repainted";
  EXPECT_TRUE(Lit(view, 0x0FF8));

  now += 1;
  EXPECT_FALSE(Lit(view, 0x0FF8) || Lit(view, 0x1007));
  view.Refresh();
  EXPECT_EQ(Announced(changed), rowsOfTheBlock) << "the rows that went out are repainted";
  view.Refresh();
  EXPECT_TRUE(Announced(changed).empty());

  // A write reaching past the image lights only the bytes inside it.
  view.MemoryBlockWritten(0x1FF8, 16);
  EXPECT_TRUE(Lit(view, 0x1FFF));
  view.Refresh();
  EXPECT_EQ(Announced(changed), (std::vector<std::pair<int, int>>{{511, 511}}));
}

using MemoryViewWindow = WindowTest;

TEST_F(MemoryViewWindow, ToolsMenuOpensTheViewAndBothFollowTheLanguage) {
  TForm_Sorvanel &window = Window();
  EXPECT_EQ(Child<QMenu>("Menu_Tools")->title(), QString::fromUtf8("Eszközök"));
  EXPECT_EQ(window.MemoryView(), nullptr);
  Child<QAction>("Menu_MemoryView")->trigger();
  TForm_MemoryView *view = window.MemoryView();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), QString::fromUtf8("Memória nézet"));

  // The converter's writes reach the view through the window.
  window.MemoryBlockWritten(0x0100, 16);
  EXPECT_TRUE(Lit(*view, 0x010F));

  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageEng"));
  EXPECT_EQ(Child<QMenu>("Menu_Tools")->title(), QStringLiteral("Tools"));
  EXPECT_EQ(Child<QAction>("Menu_MemoryView")->text(), QStringLiteral("Memory view"));
  EXPECT_EQ(view->windowTitle(), QStringLiteral("Memory view"));
  EXPECT_EQ(view->findChild<QPushButton *>()->text(), QString::fromUtf8("Compare with file…"));

  window.close();
  EXPECT_FALSE(view->isVisible()) << "the view goes with the main window";
}

TEST_F(MemoryViewWindow, ComparisonListsTheRunsAsSorvanelMemDiffDoes) {
  TForm_Sorvanel &window = Window();
  TTerminalMemory &memory = window.DriveLink().Memory();
  memory.Write(0x0000, 0x11);
  const QString saved = folder.filePath(QStringLiteral("saved.mem"));
  QFile file(saved);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(BuildMemoryFile(memory));
  file.close();
  window.Menu_MemoryViewClick();
  TForm_MemoryView &view = *window.MemoryView();

  view.CompareWithFile(saved);
  EXPECT_EQ(view.Summary(), QString::fromUtf8("Nincs eltérés: saved.mem"));
  EXPECT_EQ(view.Differences()->count(), 0);

  memory.Write(0x0000, 0x22);
  memory.Write(0x1FF0, 0x33);
  view.CompareWithFile(saved);
  ASSERT_EQ(view.Differences()->count(), 2);
  EXPECT_EQ(view.Differences()->item(0)->text(), QStringLiteral("0x0000  22 | 11"));
  EXPECT_EQ(view.Differences()->item(1)->text(), QStringLiteral("0x1FF0  33 | 00"));
  EXPECT_EQ(view.Model().data(view.Model().IndexOf(0x1FF0), Qt::DisplayRole), "33")
      << "the table shows the memory that was compared";
  SetCurrentLanguage(kLanguageEnglish);
  view.ApplyLanguage();
  EXPECT_EQ(
      view.Summary(),
      QStringLiteral("2 differing runs, 2 bytes (memory on the left, saved.mem on the right)"));

  // Clicking a run shows its first byte in the table.
  emit view.Differences()->itemClicked(view.Differences()->item(1));
  EXPECT_EQ(view.Table()->currentIndex(), view.Model().IndexOf(0x1FF0));

  view.CompareWithFile(folder.filePath(QStringLiteral("sorvanel.ini")));
  EXPECT_EQ(view.Summary(), QStringLiteral("Cannot read the file: sorvanel.ini"));
  EXPECT_EQ(view.Differences()->count(), 0);
}

}  // namespace
