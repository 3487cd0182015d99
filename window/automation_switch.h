// The window's side of the automation: the checkable "Automation (D-Bus)"
// item in the Tools menu (in both sizes the Tools menu holds it), followed by
// the recipe items, the note in the status bar's last panel while it is on
// (a recording or a play, which says more about what the keys are doing
// now, goes before it), and the error dialog when it cannot be turned on.
#pragma once

#include <memory>

#include "panel_automation.h"
#include "recipe_items.h"

class QAction;
class QMenu;
class TStatusBar;

class TAutomationSwitch {
 public:
  // Adds the item to 'toolsMenu'. Everything passed in outlives the switch.
  TAutomationSwitch(TDisplayModel &model, TKeypad &keypad, TDriveLink &link,
                    const QString &settingsFile, QMenu &toolsMenu, TStatusBar &statusBar);

  // Turns automation on or off; a failure to turn it on is shown in the
  // error dialog and leaves it off. The item's check mark follows.
  void TurnOn();
  void TurnOff();
  void Menu_AutomationClick();

  // Captions in the current language.
  void Retranslate();

  TPanelAutomation &Automation() { return automation_; }
  TRecipeItems &Recipes() { return *recipes_; }
  QAction *Item() const { return item_; }

 private:
  void ShowState();

  TPanelAutomation automation_;
  QAction *item_ = nullptr;
  TStatusBar &statusBar_;
  std::unique_ptr<TRecipeItems> recipes_;
};
