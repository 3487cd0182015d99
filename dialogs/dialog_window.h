// What every dialog window of the program shares on the desktop: it stands
// centred over the main window, its title bar shows exactly its caption, and
// nothing it leaves behind catches the keys meant for the main window.
#pragma once

class QDialog;
class QWidget;

// The parent for a dialog, over which Qt centres it: the program's main
// window when it is on the screen, else the active window; null when neither
// exists (the dialog then centres on the screen).
QWidget *DialogOwner();

// The window system shows 'window''s title letter for letter, also when it
// is empty (Qt would put the program's name into an empty title). Call once
// the native window exists; X11 only, elsewhere the title stays Qt's.
void ShowExactTitle(QWidget &window);

// Closes the popups a dialog left open (a file-name completion list stays up
// when the dialog is confirmed with Enter while it shows), so the next key
// reaches the main window and not the popup.
void CloseLeftoverPopups();

// Runs 'dialog' modally and closes its leftover popups afterwards; returns
// the dialog's result.
int RunDialog(QDialog &dialog);
