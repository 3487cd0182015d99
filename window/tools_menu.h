// Where the Tools menu stands. In the big size it is a menu of the menu bar,
// before Help. The small window is too narrow for it beside the terminal's own
// menus, which must all stay in view: there it is a submenu at the top of the
// File menu, with the same name and items, and the menu bar holds only the
// terminal's menus.
#pragma once

class QAction;
class QMenu;
class QMenuBar;

// Puts 'tools' into 'bar' before 'before' (big size), or at the top of 'file'
// above a separator (small size). Placing it again where it is changes nothing.
void PlaceToolsMenu(QMenuBar &bar, QMenu &tools, QMenu &file, QAction *before, bool small);
