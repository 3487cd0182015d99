#include "terminal_keys.h"

std::optional<int> KeyByName(QStringView name) {
  for (int key = 0; key < kKeyCount; ++key) {
    if (name.compare(QLatin1StringView(kTerminalKeys[key].name), Qt::CaseInsensitive) == 0) {
      return key;
    }
  }
  return std::nullopt;
}

QString KeyName(int key) {
  if (key < 0 || key >= kKeyCount) {
    return QString();
  }
  return QString::fromLatin1(kTerminalKeys[key].name);
}
