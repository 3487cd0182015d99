// The terminal display's size, the one place it is written: the display
// model, the window and the recipes (which may not link the model) share it.
#pragma once

inline constexpr int kDisplayLineCount = 4;
inline constexpr int kDisplayColumns = 16;
