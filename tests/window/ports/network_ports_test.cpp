// Network ports in the window: the names of the settings file in the port
// menu, the menu item that opens the dialog, and the dialog's checks.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "network_ports_dialog.h"
#include "ser2net_process.h"
#include "window_fixture.h"

namespace {

using NetworkPortsWindow = WindowTest;

QStringList PortItemTexts(TForm_Sorvanel &window) {
  QStringList texts;
  const QList<QAction *> items = window.PortHandlingMenu()->actions();
  for (qsizetype i = 3; i < items.size(); ++i) {
    texts << (items[i]->isSeparator() ? QStringLiteral("|") : items[i]->text());
  }
  return texts;
}

TEST_F(NetworkPortsWindow, NamesOfTheSettingsFileAreListedAndTheItemFollowsTheLanguage) {
  WriteSettings(
      "[NetworkPorts]\nzeta=socket://127.0.0.1:1\nAlpha=rfc2217://127.0.0.1:2\n"
      "[Sorvanel]\nPort=Alpha\nLanguage=1\n");
  TForm_Sorvanel &window = Window();
  const QStringList texts = PortItemTexts(window);
  EXPECT_LT(texts.indexOf("Alpha"), texts.indexOf("zeta"));
  EXPECT_EQ(texts.mid(texts.size() - 2), QStringList({"|", "Network ports…"}));
  // Nothing listens there: the saved port fails with the network's reason and its address.
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().headline, GetText(30));
  EXPECT_EQ(dialogs.last().message, "Connection refused\nAddress: 127.0.0.1:2");

  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageHun"));
  EXPECT_EQ(Child<QAction>("Menu_NetworkPorts")->text(), "Hálózati portok…");
}

QTableWidgetItem *Cell(TForm_NetworkPorts &dialog, int row, int column) {
  return dialog.Table()->item(row, column);
}

TEST(NetworkPortsDialog, OffersOkOnlyForSoundRowsAndGivesThemBackTrimmed) {
  SetCurrentLanguage(kLanguageEnglish);
  TForm_NetworkPorts dialog(TNetworkPorts{{"Hall", "rfc2217://10.0.0.7:2217"}});
  EXPECT_TRUE(dialog.OkButton()->isEnabled());

  dialog.AddRow();
  EXPECT_FALSE(dialog.OkButton()->isEnabled());  // no name, no port yet
  Cell(dialog, 1, 0)->setText(" hall ");
  EXPECT_EQ(dialog.RowProblem(1), GetText(kTextNetworkPortDuplicateName));
  Cell(dialog, 1, 0)->setText("Lab");
  Cell(dialog, 1, 1)->setText("socket://lab-box");
  EXPECT_EQ(dialog.RowProblem(1), GetText(kTextNetworkInvalidAddress));
  EXPECT_EQ(dialog.StatusLabel()->text(), GetText(kTextNetworkInvalidAddress));
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  Cell(dialog, 1, 1)->setText(" socket://lab-box:4001 ");
  EXPECT_TRUE(dialog.OkButton()->isEnabled());
  EXPECT_EQ(dialog.Ports(),
            TNetworkPorts({{"Hall", "rfc2217://10.0.0.7:2217"}, {"Lab", "socket://lab-box:4001"}}));

  dialog.Table()->selectRow(0);
  dialog.RemoveSelectedRow();
  EXPECT_EQ(dialog.Ports(), TNetworkPorts({{"Lab", "socket://lab-box:4001"}}));
  SetCurrentLanguage(kLanguageHungarian);
}

TEST(NetworkPortsDialog, TryingAPortTellsWhatHappened) {
  SetCurrentLanguage(kLanguageEnglish);
  TFakeServer server([](int connection) { TFakeServer::ReadFor(connection, 2000); });
  QString closed;
  {
    TLoopbackListener listener;
    closed = QStringLiteral("socket://127.0.0.1:%1").arg(listener.Port());
  }
  TForm_NetworkPorts dialog(TNetworkPorts{{"up", server.Url("socket")}, {"down", closed}});
  dialog.Table()->selectRow(0);
  dialog.TrySelectedPort();
  EXPECT_EQ(dialog.StatusLabel()->text(), "Connection works");
  dialog.Table()->selectRow(1);
  dialog.TrySelectedPort();
  EXPECT_EQ(dialog.StatusLabel()->text(), "Connection refused");
  SetCurrentLanguage(kLanguageHungarian);
}

}  // namespace
