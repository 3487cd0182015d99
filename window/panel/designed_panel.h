// The designed controls of the two terminal pictures: their colours and
// pictures, the front panel's tables that point at them, and the status
// bar's four panels and font.
#pragma once

#include "front_panel.h"
#include "status_bar.h"

namespace Ui {
class TForm_Sorvanel;
}

// Colours and pictures of both panels, and the design-time controls and the
// key image lists entered into 'panel'.
void TakeDesignedControls(Ui::TForm_Sorvanel &ui, TFrontPanel &panel);

// The four panels: port name, the two owner-drawn indicators painted by
// 'drawPanel', and an empty one.
void SetUpStatusBarPanels(TStatusBar &statusBar, TStatusBar::TDrawPanelHandler drawPanel);

// Scales the status bar's 8-point design font to the screen's pixel density.
void AdjustStatusBarFont(TStatusBar &statusBar);
