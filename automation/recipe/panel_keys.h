// The terminal keys by the names scripts use for them (UP, DOWN, ..., STOP).
// A key is its key index, the one number that names it everywhere.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "terminal_keys.h"

inline constexpr int kPanelKeyCount = kKeyCount;

// The key index of a name, in any letter case; nothing for a name that is no key.
std::optional<int> PanelKeyOfName(QStringView name);

// The name of a key index (0 to 10), in capitals.
QString PanelKeyName(int key);

// Every name, in capitals and the order the manual gives them, joined with spaces.
QString PanelKeyNameList();
