// Where the eleven key pictures stand in the terminal picture of each size,
// by key index: the top-left corner of the key in its panel, without the
// panel's head strip. The panel, the picture generator and the tests read
// them from here.
#pragma once

#include <QPoint>
#include <array>

#include "terminal_keys.h"

struct TKeyPlace {
  QPoint big;
  QPoint small;
};

// Up, left, display, right, down, escape, enter, jog, direction, start, stop.
inline constexpr std::array<TKeyPlace, kKeyCount> kKeyPlaces = {{
    {{130, 160}, {90, 110}},
    {{60, 230}, {45, 155}},
    {{130, 230}, {90, 155}},
    {{200, 230}, {135, 155}},
    {{130, 300}, {90, 200}},
    {{25, 330}, {20, 225}},
    {{235, 330}, {160, 225}},
    {{25, 400}, {20, 270}},
    {{95, 400}, {67, 270}},
    {{165, 400}, {113, 270}},
    {{235, 400}, {160, 270}},
}};

// The side of a key picture, big and small.
inline constexpr int kKeySideBig = 60;
inline constexpr int kKeySideSmall = 40;
