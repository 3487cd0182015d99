// The PC keys of the terminal come from Qt as Qt key codes; the protocol
// library's key table speaks Windows virtual-key codes.
#pragma once

#include <cstdint>

// The virtual-key code of a Qt key: arrows, Esc, Enter and Return (the
// keypad Enter too), letters A..Z and digits 0..9. Every other key gives 0,
// which is no terminal key.
uint16_t QtKeyToVirtualKey(int qtKey);
