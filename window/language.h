// Applying the interface language to the main window.
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "program_settings.h"
#include "text_table.h"

class QAction;
class TStatusBar;

inline constexpr int kMenuCaptionCount = kTextMenuAbout - kTextMenuFile + 1;

struct TLanguageTargets {
  // The menu items captioned by kTextMenuFile..kTextMenuAbout, in text order
  // (a submenu by its menu action).
  std::array<QAction *, kMenuCaptionCount> menuItems{};
  // Items added beside the designed ones, each with its text index.
  std::vector<std::pair<QAction *, int>> addedItems;
  TStatusBar *statusBar = nullptr;
};

// Sets the current language (anything but 0 and 1 is Hungarian), switches
// Qt's own texts to it and re-captions the menu and status bar panels 1 and
// 2. The display is left as it is until it is next written.
void ApplyLanguage(const TLanguageTargets &targets, TLanguage language);

// A language item was clicked: its Tag (the action's data) is the language.
void Menu_LanguageClick(QAction *sender, const TLanguageTargets &targets,
                        TProgramSettings &settings);
