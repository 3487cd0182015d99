// A recipe: keys to press and what the display must show in between, one step
// a line of a text file (docs/recipes.md describes the format).
#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <vector>

#include "display_size.h"

enum class TRecipeStepKind {
  Press,   // each key in turn: pressed, told to the drive, let go
  Hold,    // one key pressed for a time, then let go
  Wait,    // nothing for a time
  Expect,  // a display line contains a text, within a time-out
};

struct TRecipeStep {
  TRecipeStepKind kind = TRecipeStepKind::Wait;
  int sourceLine = 0;                     // 1-based line of the recipe file
  std::vector<int> keys;                  // Press: key indexes; Hold: exactly one
  std::chrono::milliseconds duration{0};  // Hold, Wait: how long; Expect: the time-out
  int displayLine = 0;                    // Expect: 1 to 4
  QString text;                           // Expect: what the line must contain
};

struct TRecipe {
  std::vector<TRecipeStep> steps;
};

// Bounds of what a recipe may ask for; anything beyond is a bad recipe.
inline constexpr qint64 kRecipeMaxBytes = 1024 * 1024;
inline constexpr int kRecipeMaxLineBytes = 1000;
inline constexpr int kRecipeMaxKeysPerStep = 100;
inline constexpr std::chrono::milliseconds kRecipeMaxDuration{10 * 60 * 1000};
inline constexpr std::chrono::milliseconds kRecipeDefaultTimeout{5000};
