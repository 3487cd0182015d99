// PC key to terminal key index.
#include "kelvo.h"

extern "C" int32_t Kelvo_KeyToID(uint16_t virtualKey) {
  // clang-format off
  switch (virtualKey) {
    case 0x26: return 0;   // up arrow: up
    case 0x25: return 1;   // left arrow: left
    case 'D': return 2;    // display
    case 0x27: return 3;   // right arrow: right
    case 0x28: return 4;   // down arrow: down
    case 0x1B: return 5;   // Esc: escape
    case 0x0D: return 6;   // Enter: enter
    case 'K': return 7;    // jog
    case 'I': return 8;    // direction
    case 'A': return 9;    // start
    case 'S': return 10;   // stop
    default: return KELVO_NO_KEY;
  }
  // clang-format on
}
