// Network ports in the window: the names of the settings file in the port
// menu, the menu item that opens the dialog, and the dialog's checks.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>

#include "network_ports_dialog.h"
#include "ser2net_process.h"
#include "test_certificates.h"
#include "tls_test_server.h"
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
  EXPECT_EQ(dialogs.last().headline, GetText(kTextSerialPortError));
  EXPECT_EQ(dialogs.last().message, "Connection refused\nAddress: 127.0.0.1:2");

  window.Menu_LanguageClick(Child<QAction>("Menu_LanguageHun"));
  EXPECT_EQ(Child<QAction>("Menu_NetworkPorts")->text(), "Hálózati portok…");
}

// A URL the settings file could give back only cut short: at start the user
// is told which entry was not taken, in the stored language, the menu does
// not list it, and the file keeps its line whole.
TEST_F(NetworkPortsWindow, OverlongAddressInTheFileIsToldNotTakenAndKeptWhole) {
  const QByteArray longLine = "Far=socket://" + QByteArray(10273, 'h') + ":4001";
  WriteSettings("[Sorvanel]\nLanguage=1\n[NetworkPorts]\nNear=socket://127.0.0.1:1\n" + longLine +
                "\n");
  TForm_Sorvanel &window = Window();
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().headline, "sorvanel.ini");
  EXPECT_EQ(dialogs.last().message,
            GetText(kTextNetworkPortsRefused).arg(kMaxNetworkPortUrlLength) + "\nFar");
  EXPECT_TRUE(dialogs.last().message.startsWith("These network ports are not taken"));
  const QStringList texts = PortItemTexts(window);
  EXPECT_TRUE(texts.contains("Near"));
  EXPECT_FALSE(texts.contains("Far"));

  window.close();
  QFile file(SettingsPath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray saved = file.readAll();
  EXPECT_TRUE(saved.contains("[NetworkPorts]\n" + longLine + "\nNear=socket://127.0.0.1:1\n"))
      << saved.left(200).toStdString();
}

TEST(NetworkPortsDialog, RefusedEntriesAreListedUpToTenThenCounted) {
  SetCurrentLanguage(kLanguageEnglish);
  TRecordingDialogs dialogs;
  ShowRefusedNetworkPorts("/home/u/.config/sorvanel/sorvanel.ini", {});
  EXPECT_TRUE(dialogs.records.empty());
  QStringList names;
  for (int i = 0; i < 12; ++i) {
    names << QStringLiteral("p%1").arg(i);
  }
  ShowRefusedNetworkPorts("/home/u/.config/sorvanel/sorvanel.ini", names);
  ASSERT_EQ(dialogs.records.size(), 1u);
  EXPECT_EQ(dialogs.last().caption, "Error!");
  EXPECT_EQ(dialogs.last().headline, "sorvanel.ini");
  const QStringList lines = dialogs.last().message.split('\n');
  ASSERT_EQ(lines.size(), 12);
  EXPECT_EQ(lines.mid(1, 10), names.mid(0, 10));
  EXPECT_EQ(lines.last(), "… and 2 more");
  SetCurrentLanguage(kLanguageHungarian);
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

// The dialog refuses what the settings file could give back only cut short,
// instead of letting the next save shorten it.
TEST(NetworkPortsDialog, AddressLongerThanTheFileGivesWholeIsRefused) {
  SetCurrentLanguage(kLanguageEnglish);
  const QString tooLong = GetText(kTextNetworkPortUrlTooLong).arg(kMaxNetworkPortUrlLength);
  EXPECT_EQ(tooLong, "Address too long (at most 2047 characters)");
  const QString url = "socket://" + QString(kMaxNetworkPortUrlLength - 9 - 5, u'h') + ":4001";
  TForm_NetworkPorts dialog(TNetworkPorts{{"Far", " " + url + "x "}});
  EXPECT_EQ(dialog.RowProblem(0), tooLong);
  EXPECT_EQ(dialog.StatusLabel()->text(), tooLong);
  EXPECT_FALSE(dialog.OkButton()->isEnabled());
  Cell(dialog, 0, 1)->setText(" " + url + " ");
  EXPECT_NE(dialog.RowProblem(0), tooLong);
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

// Trust on first use: the try shows what it met and pins it only when the
// user accepts; the pinned row then works.
TEST(NetworkPortsDialog, AnUntrustedCertificateIsShownAndPinnedOnlyWhenAccepted) {
  SetCurrentLanguage(kLanguageEnglish);
  const TTestCertificates certificates;
  TTlsTestServer server(certificates.Path("self.pem"), certificates.Path("self.key"));
  const QString url = server.Url("socket+tls");
  TForm_NetworkPorts dialog(TNetworkPorts{{"hall", url}});
  TRecordingDialogs dialogs;
  dialogs.checkBoxAnswer = false;
  dialog.TrySelectedPort();
  ASSERT_EQ(dialogs.records.size(), 1u);
  const TMessageDialogRequest &shown = dialogs.last();
  EXPECT_EQ(shown.headline, GetText(kTextTlsCertificateNotTrusted));
  EXPECT_TRUE(shown.hasCheckBox);
  EXPECT_FALSE(dialogs.records.back().checkBoxStateShown);  // never ticked for the user
  const QString fingerprint = certificates.Fingerprint("self.pem");
  for (const QString &part : {QString("Subject: CN=localhost"), QString("Issuer: CN=localhost"),
                              QString(" UTC – "), "SHA-256: " + fingerprint}) {
    EXPECT_TRUE(shown.message.contains(part)) << shown.message.toStdString();
  }
  EXPECT_EQ(dialog.Ports().front().url, url);

  dialogs.checkBoxAnswer = true;
  dialog.TrySelectedPort();
  EXPECT_EQ(dialog.Ports().front().url, url + "?fingerprint=sha256:" + fingerprint);
  EXPECT_EQ(dialog.StatusLabel()->text(), GetText(kTextTlsCertificatePinned));
  EXPECT_TRUE(dialog.OkButton()->isEnabled());

  dialogs.records.clear();
  dialog.TrySelectedPort();
  EXPECT_TRUE(dialogs.records.empty());
  EXPECT_EQ(dialog.StatusLabel()->text(), "Connection works");
  SetCurrentLanguage(kLanguageHungarian);
}

}  // namespace
