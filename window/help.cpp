#include "help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

QString HelpFilePath(const QString &programPath) {
  return QFileInfo(programPath).absolutePath() + QStringLiteral("/help/sorvanel.html");
}

void OpenHelp(const QString &programPath) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(HelpFilePath(programPath)));
}
