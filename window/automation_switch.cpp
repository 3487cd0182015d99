#include "automation_switch.h"

#include <QAction>
#include <QMenu>

#include "message_dialog.h"
#include "status_bar.h"
#include "text_index.h"
#include "text_table.h"

namespace {

constexpr int kAutomationPanel = 3;

}  // namespace

TAutomationSwitch::TAutomationSwitch(TDisplayModel &model, TKeypad &keypad, TDriveLink &link,
                                     const QString &settingsFile, QMenu &toolsMenu,
                                     TStatusBar &statusBar)
    : automation_(model, keypad, link, settingsFile), statusBar_(statusBar) {
  item_ = toolsMenu.addAction(GetText(kTextAutomation));
  item_->setObjectName(QStringLiteral("Menu_Automation"));
  item_->setCheckable(true);
  QObject::connect(item_, &QAction::triggered, item_, [this] { Menu_AutomationClick(); });
  recipes_ =
      std::make_unique<TRecipeItems>(model, keypad, link, toolsMenu, [this] { ShowState(); });
}

void TAutomationSwitch::TurnOn() {
  QString error;
  if (!automation_.TurnOn(&error)) {
    ShowState();
    Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError),
                       GetText(kTextAutomationFailed).arg(error), QString(),
                       kMessageDialogButtonOk);
    return;
  }
  ShowState();
}

void TAutomationSwitch::TurnOff() {
  automation_.TurnOff();
  ShowState();
}

void TAutomationSwitch::Menu_AutomationClick() {
  automation_.IsOn() ? TurnOff() : TurnOn();
}

void TAutomationSwitch::Retranslate() {
  item_->setText(GetText(kTextAutomation));
  recipes_->Retranslate();
  ShowState();
}

void TAutomationSwitch::ShowState() {
  item_->setChecked(automation_.IsOn());
  QString note = recipes_->Note();
  if (note.isEmpty() && automation_.IsOn()) {
    note = GetText(kTextAutomationOn);
  }
  statusBar_.SetPanelText(kAutomationPanel, note);
}
