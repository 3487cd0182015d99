// Renders the main window with a typical drive screen, in both sizes and
// both languages, into PNG files in the current folder:
// snapshot-big.png, snapshot-small.png, snapshot-big-en.png,
// snapshot-small-en.png, snapshot-about.png, snapshot-network-ports.png. Used to look at the
// window and for the docs.
#include <QAction>
#include <QApplication>
#include <QTemporaryDir>

#include "about_box.h"
#include "display_reply.h"
#include "frame_bytes.h"
#include "main_window.h"
#include "network_ports_dialog.h"

namespace {

void ShowLine(TForm_Sorvanel &window, uint8_t status, const QByteArray &codes) {
  window.LinkState().ReplyData = DisplayReply(status, codes);
  window.DisplayModel().ShowDisplayMessage(window.LinkState().ReplyData);
}

void ShowDriveScreen(TForm_Sorvanel &window) {
  // Run LED lit on every line; accented letters in display codes.
  constexpr uint8_t kRun = kelvo::kStatusRunLed;
  ShowLine(window, kRun | 0, "Kimen\x93 frekv.");
  ShowLine(window, kRun | 1, "    50.00 Hz");
  ShowLine(window, kRun | 2, "Motor\xA0ram:  2.1A");
  ShowLine(window, kRun | 3, "\x7E F\x93men\x81      \x7F");
  window.LinkState().ConverterConnected = true;
  window.SetPortStatusText(QStringLiteral("USB1"));
}

void Save(TForm_Sorvanel &window, const QString &name) {
  window.grab().save(name);
}

}  // namespace

int main(int argc, char *argv[]) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication application(argc, argv);
  QTemporaryDir folder;
  TForm_Sorvanel window(folder.filePath(QStringLiteral("sorvanel")));
  window.show();
  ShowDriveScreen(window);
  Save(window, QStringLiteral("snapshot-big.png"));
  window.Menu_TerminalSizeSmallClick();
  Save(window, QStringLiteral("snapshot-small.png"));
  window.Menu_LanguageClick(window.findChild<QAction *>(QStringLiteral("Menu_LanguageEng")));
  Save(window, QStringLiteral("snapshot-small-en.png"));
  window.Menu_TerminalSizeBigClick();
  Save(window, QStringLiteral("snapshot-big-en.png"));
  TForm_AboutBox about(&window);
  about.show();
  about.grab().save(QStringLiteral("snapshot-about.png"));
  TForm_NetworkPorts networkPorts(TNetworkPorts{{"Hall 2", "rfc2217://10.0.4.20:2217"},
                                                {"Lab bench", "socket://lab-pi.local:4001"},
                                                {"Pump room", "rfc2217://10.0.4.21"}},
                                  &window);
  networkPorts.show();
  networkPorts.grab().save(QStringLiteral("snapshot-network-ports.png"));
  return 0;
}
