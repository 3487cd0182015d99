#include "tools_menu.h"

#include <QMenu>
#include <QMenuBar>

#include "ui_main_window.h"

void PlaceToolsMenu(const Ui::TForm_Sorvanel &ui, bool small) {
  QMenuBar &bar = *ui.MainMenu;
  QMenu &file = *ui.Menu_File;
  QAction *item = ui.Menu_Tools->menuAction();
  if (small == file.actions().contains(item)) {
    return;
  }
  if (small) {
    bar.removeAction(item);
    QAction *first = file.actions().value(0);
    file.insertAction(first, item);
    file.insertSeparator(first);
    return;
  }
  const QList<QAction *> fileItems = file.actions();
  file.removeAction(item);
  // The separator that followed it goes too.
  const qsizetype next = fileItems.indexOf(item) + 1;
  if (next < fileItems.size() && fileItems[next]->isSeparator()) {
    file.removeAction(fileItems[next]);
    fileItems[next]->deleteLater();
  }
  bar.insertAction(ui.Menu_Help->menuAction(), item);
}
