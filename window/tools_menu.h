// Where the Tools menu stands. In the big size it is a menu of the menu bar,
// before Help. The small window is too narrow for it beside the terminal's own
// menus, which must all stay in view: there it is a submenu at the top of the
// File menu, with the same name and items, and the menu bar holds only the
// terminal's menus.
#pragma once

namespace Ui {
class TForm_Sorvanel;
}

// Puts Menu_Tools into the menu bar before Menu_Help (big size), or at the
// top of Menu_File above a separator (small size). Placing it again where it
// is changes nothing.
void PlaceToolsMenu(const Ui::TForm_Sorvanel &ui, bool small);
