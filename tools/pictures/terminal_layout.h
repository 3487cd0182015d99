// Geometry of the terminal face in its two sizes. Every position here is in face-picture
// coordinates; the face picture sits at (5, 15) inside its panel, so a key placed at panel
// (x, y + 15) lies at face (x - 5, y).
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>

namespace pictures {

inline constexpr int kKeyCount = 11;

enum KeyIndex {
  kKeyUp = 0,
  kKeyLeft = 1,
  kKeyDisplay = 2,
  kKeyRight = 3,
  kKeyDown = 4,
  kKeyEscape = 5,
  kKeyEnter = 6,
  kKeyJog = 7,
  kKeyDirection = 8,
  kKeyStart = 9,
  kKeyStop = 10,
};

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
constexpr QPoint PanelKeyToFace(int x, int y) {
  return QPoint(x - 5, y);
}
// Converts a control's place in its panel to its place on the face.
constexpr QPoint PanelToFace(int x, int y) {
  return QPoint(x - 5, y - 15);
}

inline TerminalLayout BigLayout() {
  TerminalLayout l;
  l.face = QSize(310, 480);
  l.display = QRect(QPoint(41, 14), QPoint(269, 108));
  l.keySide = 60;
  l.keys = {PanelKeyToFace(130, 160), PanelKeyToFace(60, 230),  PanelKeyToFace(130, 230),
            PanelKeyToFace(200, 230), PanelKeyToFace(130, 300), PanelKeyToFace(25, 330),
            PanelKeyToFace(235, 330), PanelKeyToFace(25, 400),  PanelKeyToFace(95, 400),
            PanelKeyToFace(165, 400), PanelKeyToFace(235, 400)};
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
  l.keySide = 40;
  l.keys = {PanelKeyToFace(90, 110),  PanelKeyToFace(45, 155), PanelKeyToFace(90, 155),
            PanelKeyToFace(135, 155), PanelKeyToFace(90, 200), PanelKeyToFace(20, 225),
            PanelKeyToFace(160, 225), PanelKeyToFace(20, 270), PanelKeyToFace(67, 270),
            PanelKeyToFace(113, 270), PanelKeyToFace(160, 270)};
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
