#include "main_menu.h"

#include <QActionGroup>

#include "text_table.h"
#include "ui_main_window.h"

QAction *CompleteMainMenu(Ui::TForm_Sorvanel &ui, QObject *owner) {
  int separator = 0;
  for (QMenu *menu : {ui.Menu_Memory, ui.Menu_PortHandling, ui.Menu_Settings, ui.Menu_Help}) {
    for (QAction *action : menu->actions()) {
      if (action->isSeparator()) {
        action->setObjectName(QStringLiteral("N%1").arg(++separator));
      }
    }
  }
  auto *sizeGroup = new QActionGroup(owner);
  sizeGroup->addAction(ui.Menu_TerminalSizeBig);
  sizeGroup->addAction(ui.Menu_TerminalSizeSmall);
  auto *languageGroup = new QActionGroup(owner);
  languageGroup->addAction(ui.Menu_LanguageHun);
  languageGroup->addAction(ui.Menu_LanguageEng);

  ui.Menu_PortHandling->addSeparator()->setObjectName(QStringLiteral("N_NetworkPorts"));
  QAction *networkPortsItem = ui.Menu_PortHandling->addAction(GetText(kTextNetworkPorts));
  networkPortsItem->setObjectName(QStringLiteral("Menu_NetworkPorts"));
  return networkPortsItem;
}

TLanguageTargets MainMenuLanguageTargets(const Ui::TForm_Sorvanel &ui, QAction *networkPortsItem) {
  TLanguageTargets targets;
  targets.menuItems = {
      ui.Menu_File->menuAction(),
      ui.Menu_Exit,
      ui.Menu_Memory->menuAction(),
      ui.Menu_MemoryLoad,
      ui.Menu_MemorySave,
      ui.Menu_MemoryClear,
      ui.Menu_Settings->menuAction(),
      ui.Menu_PortHandling->menuAction(),
      ui.Menu_FindAvailablePorts,
      ui.Menu_FindFrequencyConverter,
      ui.Menu_TerminalSizeBig,
      ui.Menu_TerminalSizeSmall,
      ui.Menu_AlwaysOnTop,
      ui.Menu_ProgTermAlert->menuAction(),
      ui.Menu_ProgTermAlertOnConnect,
      ui.Menu_ProgTermAlertOnDisconnect,
      ui.Menu_Language->menuAction(),
      ui.Menu_LanguageHun,
      ui.Menu_LanguageEng,
      ui.Menu_Help->menuAction(),
      ui.Menu_OpenHelp,
      ui.Menu_About,
  };
  targets.addedItems = {{networkPortsItem, kTextNetworkPorts},
                        {ui.Menu_Tools->menuAction(), kTextToolsMenu},
                        {ui.Menu_MemoryView, kTextMemoryView},
                        {ui.Menu_LineMonitor, kTextLineMonitor}};
  targets.statusBar = ui.StatusBar;
  return targets;
}
