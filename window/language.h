// Applying the interface language to the main window.
#pragma once

#include <array>

#include "program_settings.h"
#include "text_table.h"

class QAction;
class TStatusBar;

inline constexpr int kMenuCaptionCount = 22;

struct TLanguageTargets {
  // The menu items captioned by texts 0..21, in text order (a submenu by
  // its menu action).
  std::array<QAction *, kMenuCaptionCount> menuItems{};
  TStatusBar *statusBar = nullptr;
};

// Sets the current language (anything but 0 and 1 is Hungarian), switches
// Qt's own texts to it and re-captions the menu and status bar panels 1 and
// 2. The display is left as it is until it is next written.
void ApplyLanguage(const TLanguageTargets &targets, TLanguage language);

// A language item was clicked: its Tag (the action's data) is the language.
void Menu_LanguageClick(QAction *sender, const TLanguageTargets &targets,
                        TProgramSettings &settings);
