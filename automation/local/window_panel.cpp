#include "window_panel.h"

TWindowPanel::TWindowPanel(TDisplayModel &model, TKeypad &keypad, TDriveLink &link, QObject *parent)
    : TRecipePanel(parent), model_(model), keypad_(keypad), taps_(keypad, link) {
  model_.Attach(this);
}

TWindowPanel::~TWindowPanel() {
  model_.Detach(this);
}

void TWindowPanel::DisplayChanged(const TDisplayChange &change) {
  if (change.Display()) {
    emit TRecipePanel::DisplayChanged();
  }
}
