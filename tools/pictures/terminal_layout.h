// Geometry of the terminal face in its two sizes. Every position here is in face-picture
// coordinates; the face picture sits at (5, 15) inside its panel, so a key placed at panel
// (x, y + 15) lies at face (x - 5, y).
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>

#include "key_layout.h"

namespace pictures {

inline constexpr int kKeyCount = ::kKeyCount;

inline constexpr int kKeyUp = KeyIndex(TTerminalKey::Up);
inline constexpr int kKeyLeft = KeyIndex(TTerminalKey::Left);
inline constexpr int kKeyDisplay = KeyIndex(TTerminalKey::Display);
inline constexpr int kKeyRight = KeyIndex(TTerminalKey::Right);
inline constexpr int kKeyDown = KeyIndex(TTerminalKey::Down);
inline constexpr int kKeyEscape = KeyIndex(TTerminalKey::Escape);
inline constexpr int kKeyEnter = KeyIndex(TTerminalKey::Enter);
inline constexpr int kKeyJog = KeyIndex(TTerminalKey::Jog);
inline constexpr int kKeyDirection = KeyIndex(TTerminalKey::Direction);
inline constexpr int kKeyStart = KeyIndex(TTerminalKey::Start);
inline constexpr int kKeyStop = KeyIndex(TTerminalKey::Stop);

struct TerminalLayout {
  QSize face;
  QRect display;  // the green window, inclusive corners
  int keySide;
  std::array<QPoint, kKeyCount> keys;  // top-left corner of each key image
  QRect errorLed;
  QRect runLed;
  // Where the window writes the display text: origin of character 0 of line 0, pitches.
  QPoint textOrigin;
  int charPitch;
  int linePitch;
  double scale;  // stroke widths and radii relative to the big face
};

// Converts a key's place in its panel to its place on the face.
constexpr QPoint PanelKeyToFace(QPoint key) {
  return QPoint(key.x() - 5, key.y());
}
// Converts a control's place in its panel to its place on the face.
constexpr QPoint PanelToFace(int x, int y) {
  return QPoint(x - 5, y - 15);
}

inline TerminalLayout BigLayout() {
  TerminalLayout l;
  l.face = QSize(310, 480);
  l.display = QRect(QPoint(41, 14), QPoint(269, 108));
  l.keySide = kKeySideBig;
  for (int key = 0; key < kKeyCount; ++key) {
    l.keys[key] = PanelKeyToFace(kKeyPlaces[key].big);
  }
  l.errorLed = QRect(PanelToFace(45, 175), QSize(15, 16));
  l.runLed = QRect(PanelToFace(260, 175), QSize(15, 16));
  l.textOrigin = PanelToFace(56, 35);
  l.charPitch = 13;
  l.linePitch = 20;
  l.scale = 1.0;
  return l;
}

inline TerminalLayout SmallLayout() {
  TerminalLayout l;
  l.face = QSize(210, 325);
  l.display = QRect(QPoint(28, 10), QPoint(182, 72));
  l.keySide = kKeySideSmall;
  for (int key = 0; key < kKeyCount; ++key) {
    l.keys[key] = PanelKeyToFace(kKeyPlaces[key].small);
  }
  l.errorLed = QRect(PanelToFace(32, 123), QSize(10, 10));
  l.runLed = QRect(PanelToFace(178, 123), QSize(10, 10));
  l.textOrigin = PanelToFace(38, 26);
  l.charPitch = 9;
  l.linePitch = 15;
  l.scale = 0.68;
  return l;
}

inline QRect KeyRect(const TerminalLayout &layout, int key) {
  return QRect(layout.keys[key], QSize(layout.keySide, layout.keySide));
}

}  // namespace pictures
