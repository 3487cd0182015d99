#include "tools_menu.h"

#include <QMenu>
#include <QMenuBar>

void PlaceToolsMenu(QMenuBar &bar, QMenu &tools, QMenu &file, QAction *before, bool small) {
  QAction *item = tools.menuAction();
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
  bar.insertAction(before, item);
}
