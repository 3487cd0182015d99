// The panel a recipe plays on inside the program: keys go through the
// keypad, the window's own key path (so the key pictures show them and the
// user's keys keep working beside them), taps last until the line has
// carried them, and the display is read from the display model. The
// program behind it never goes away while it exists.
#pragma once

#include "display_model.h"
#include "drive_link.h"
#include "key_taps.h"
#include "keypad.h"
#include "recipe_panel.h"

class TWindowPanel : public TRecipePanel, public TDisplayObserver {
  Q_OBJECT

 public:
  // Everything passed in outlives the panel.
  TWindowPanel(TDisplayModel &model, TKeypad &keypad, TDriveLink &link, QObject *parent = nullptr);
  ~TWindowPanel() override;

  // TRecipePanel
  void Tap(int key, std::function<void()> done) override { taps_.Tap(key, std::move(done)); }
  void Press(int key) override { keypad_.Press(key); }
  void Release(int key) override { keypad_.Release(key); }
  QStringList Lines() const override { return model_.TextLines(); }
  bool Alive() const override { return true; }

  // TDisplayObserver
  void DisplayChanged(const TDisplayChange &change) override;

 private:
  TDisplayModel &model_;
  TKeypad &keypad_;
  TKeyTaps taps_;
};
