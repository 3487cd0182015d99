// The switch between the big and the small picture: the client area takes
// the size of the picture shown, the status bar runs along its bottom, and
// the window keeps that size fixed.
#pragma once

#include "front_panel.h"

class QMainWindow;
class QWidget;
class TStatusBar;

void ShowTerminalSize(QMainWindow &window, QWidget &clientArea, TStatusBar &statusBar,
                      const TFrontPanel &panel, int size);
