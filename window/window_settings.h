// The settings record applied to the main window at start and taken back
// from it at close.
#pragma once

#include <QString>
#include <functional>

#include "program_settings.h"

class QAction;
class QWidget;

struct TSettingsTargets {
  QWidget *window = nullptr;
  QAction *Menu_FindFrequencyConverter = nullptr;
  QAction *Menu_ProgTermAlertOnConnect = nullptr;
  QAction *Menu_ProgTermAlertOnDisconnect = nullptr;
  QAction *Menu_AlwaysOnTop = nullptr;
  QAction *Menu_TerminalSizeBig = nullptr;
  std::function<void()> showBig;
  std::function<void()> showSmall;
};

// Reads the settings file into 'settings' and applies it: window position,
// check marks, terminal size and always-on-top.
void LoadSettings(TProgramSettings &settings, const QString &settingsFile,
                  const TSettingsTargets &targets);

// Takes the size and position from the window and writes the settings file;
// a file that cannot be written is reported with the file error dialog and
// left as it was.
void SaveSettings(TProgramSettings &settings, const QString &settingsFile,
                  const TSettingsTargets &targets);

// Toggles always-on-top: the record, the check mark and the window's
// stay-on-top flag.
void Menu_AlwaysOnTopClick(TProgramSettings &settings, const TSettingsTargets &targets);
void Menu_ProgTermAlertOnConnectClick(TProgramSettings &settings, const TSettingsTargets &targets);
void Menu_ProgTermAlertOnDisconnectClick(TProgramSettings &settings,
                                         const TSettingsTargets &targets);
