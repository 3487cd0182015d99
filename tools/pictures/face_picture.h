// The terminal face: case, display window, LED legends and the ring around the arrow keys.
// The keys and LEDs themselves are separate controls drawn over it.
#pragma once

#include <QImage>

#include "terminal_layout.h"

namespace pictures {

QImage DrawFace(const TerminalLayout &layout);

}  // namespace pictures
