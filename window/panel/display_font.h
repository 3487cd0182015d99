// The fonts of the terminal display and the status bar. The display keeps the
// same pixel size on every screen, and its character pitch is fixed (13 px
// big, 9 px small), because the graphic cells are laid out on that pitch.
#pragma once

#include <QFont>

class QPaintDevice;

inline constexpr int kDisplayPitchBig = 13;
inline constexpr int kDisplayPitchSmall = 9;
inline constexpr int kDisplayLineStepBig = 20;
inline constexpr int kDisplayLineStepSmall = 15;

// Point size of the display font for size 0 (big) or 1 (small) on a screen
// of 'dpi' pixels per inch: 16 x 96 / dpi (big) or 11 x 96 / dpi (small),
// rounded to the nearest point, halves away from zero.
int DisplayFontPointSize(int size, int dpi);

// Character pitch in pixels of size 0 (big) or 1 (small).
int DisplayPitch(int size);

// Liberation Mono, bold, at DisplayFontPointSize for the density of
// 'device' (the label that shows it), with a letter spacing that makes the
// advance of every character exactly DisplayPitch(size) pixels there.
QFont MakeDisplayFont(int size, const QPaintDevice *device);

// The status bar font size on a screen of 'dpi': current x 96 / dpi,
// truncated.
int StatusBarFontPointSize(int currentPointSize, int dpi);
