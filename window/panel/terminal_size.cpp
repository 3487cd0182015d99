#include "terminal_size.h"

#include <QMainWindow>
#include <QMenuBar>

#include "status_bar.h"

namespace {

// The picture's panel plus the status bar below it.
constexpr QSize kClientSize[kSizeCount] = {{320, 518}, {220, 363}};

}  // namespace

void ShowTerminalSize(QMainWindow &window, QWidget &clientArea, TStatusBar &statusBar,
                      const TFrontPanel &panel, int size) {
  const QSize client = kClientSize[size];
  QWidget *shown = panel.Group_TerminalSize[size];
  QWidget *hidden = panel.Group_TerminalSize[1 - size];
  clientArea.setFixedSize(client);
  shown->move(0, 0);
  shown->show();
  hidden->hide();
  statusBar.setGeometry(0, client.height() - TStatusBar::kHeight, client.width(),
                        TStatusBar::kHeight);
  int menuHeight = window.menuBar()->heightForWidth(client.width());
  if (menuHeight < 0) {
    menuHeight = window.menuBar()->sizeHint().height();
  }
  window.setFixedSize(client.width(), client.height() + menuHeight);
}
