// The main window's menu beyond what the form designs: the separators named
// N1 to N6 in menu order, the size and language radio groups, the "Network
// ports…" item at the end of the port menu, and the items the language
// switch re-captions.
#pragma once

#include "language.h"

class QAction;
class QObject;

namespace Ui {
class TForm_Sorvanel;
}

// Completes the designed menu of 'ui' (the groups are owned by 'owner') and
// returns the "Network ports…" item; the port items go above it.
QAction *CompleteMainMenu(Ui::TForm_Sorvanel &ui, QObject *owner);

// The menu items and status bar panels captioned in the current language.
TLanguageTargets MainMenuLanguageTargets(const Ui::TForm_Sorvanel &ui, QAction *networkPortsItem);
