#include "bus_names.h"

#include <QFileInfo>

QString PanelInstanceName(const QString &settingsFile) {
  QString name = QFileInfo(settingsFile).completeBaseName();
  for (QChar &c : name) {
    const char16_t u = c.unicode();
    const bool allowed = (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
                         (u >= u'0' && u <= u'9') || u == u'_';
    if (!allowed) {
      c = u'_';
    }
  }
  if (name.isEmpty() || (name[0] >= u'0' && name[0] <= u'9')) {
    name.prepend(u'_');
  }
  return name;
}

QString PanelBusName(const QString &instance, int attempt) {
  QString name = QString::fromLatin1(kPanelBusNamePrefix) + instance;
  if (attempt > 1) {
    name += QStringLiteral("_%1").arg(attempt);
  }
  return name;
}
