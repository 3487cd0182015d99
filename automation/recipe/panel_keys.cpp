#include "panel_keys.h"

#include <QStringList>
#include <array>

#include "terminal_keys.h"

namespace {

// The order people read them in: arrows, then the others as they sit on the terminal.
constexpr std::array<int, kPanelKeyCount> kManualOrder = {0, 4, 1, 3, 2, 5, 6, 7, 8, 9, 10};

}  // namespace

std::optional<int> PanelKeyOfName(QStringView name) {
  for (int key = 0; key < kPanelKeyCount; ++key) {
    if (name.compare(QLatin1String(kTerminalKeys[key].name), Qt::CaseInsensitive) == 0) {
      return key;
    }
  }
  return std::nullopt;
}

QString PanelKeyName(int key) {
  if (key < 0 || key >= kPanelKeyCount) {
    return {};
  }
  return QString::fromLatin1(kTerminalKeys[key].name);
}

QString PanelKeyNameList() {
  QStringList names;
  for (const int key : kManualOrder) {
    names << PanelKeyName(key);
  }
  return names.join(QLatin1Char(' '));
}
