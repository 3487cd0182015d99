#include "help.h"

#include <QDesktopServices>
#include <QUrl>

void OpenHelp(const QString &helpFile) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(helpFile));
}
