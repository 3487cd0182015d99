// The eleven keys of the programming terminal: one key index names a key
// everywhere (the protocol library's key table, the key pictures, the
// automation), and with it go the key's name and the key bits it sets in
// a request.
#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <optional>

inline constexpr int kKeyCount = 11;

// By key index.
enum class TTerminalKey : uint8_t {
  Up,
  Left,
  Display,
  Right,
  Down,
  Escape,
  Enter,
  Jog,
  Direction,
  Start,
  Stop,
};

constexpr int KeyIndex(TTerminalKey key) {
  return static_cast<int>(key);
}

struct TTerminalKeyInfo {
  const char *name;  // as scripts write it
  uint16_t button;   // the request's key bits (TTerminalButton)
};

inline constexpr std::array<TTerminalKeyInfo, kKeyCount> kTerminalKeys = {{
    {"UP", 0x0104},
    {"LEFT", 0x0010},
    {"DISPLAY", 0x0120},
    {"RIGHT", 0x0102},
    {"DOWN", 0x0101},
    {"ESC", 0x0004},
    {"ENTER", 0x0008},
    {"JOG", 0x0108},
    {"DIR", 0x0110},
    {"START", 0x0001},
    {"STOP", 0x0002},
}};

// The key index of a key name, in any letter case; nothing for another name.
std::optional<int> KeyByName(QStringView name);

// The name of the key with this index.
QString KeyName(int key);
