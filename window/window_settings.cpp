#include "window_settings.h"

#include <QAction>
#include <QWidget>
#include <algorithm>
#include <limits>

#include "atomic_file.h"
#include "file_error_dialogs.h"
#include "settings_file.h"

namespace {

int16_t ToPosition(int value) {
  return static_cast<int16_t>(std::clamp<int>(value, std::numeric_limits<int16_t>::min(),
                                              std::numeric_limits<int16_t>::max()));
}

void ApplyStayOnTop(QWidget *window, bool onTop) {
  const bool visible = window->isVisible();
  window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  // Changing a window flag hides a shown window.
  if (visible) {
    window->show();
  }
}

}  // namespace

void LoadSettings(TProgramSettings &settings, const QString &settingsFile,
                  const TSettingsTargets &targets) {
  // A program killed in the middle of its last save left its temporary file.
  RemoveLeftoverTemporaryFiles(settingsFile);
  settings = ReadSettingsFile(settingsFile);
  targets.window->move(settings.Left, settings.Top);
  targets.Menu_FindFrequencyConverter->setChecked(settings.FindFreq);
  targets.Menu_ProgTermAlertOnConnect->setChecked(settings.PTConnect);
  targets.Menu_ProgTermAlertOnDisconnect->setChecked(settings.PTDisconnect);
  if (settings.Size == 0) {
    targets.showBig();
  } else {
    targets.showSmall();
  }
  // The menu's own toggle applies the stored value: hold its inverse first.
  settings.AlwaysOnTop = !settings.AlwaysOnTop;
  Menu_AlwaysOnTopClick(settings, targets);
}

void SaveSettings(TProgramSettings &settings, const QString &settingsFile,
                  const TSettingsTargets &targets) {
  const QString &path = settingsFile;
  settings.Size = targets.Menu_TerminalSizeBig->isChecked() ? 0 : 1;
  settings.Left = ToPosition(targets.window->x());
  settings.Top = ToPosition(targets.window->y());
  if (!WriteSettingsFile(path, settings)) {
    ShowFileWriteError(path);
  }
}

void Menu_AlwaysOnTopClick(TProgramSettings &settings, const TSettingsTargets &targets) {
  settings.AlwaysOnTop = !settings.AlwaysOnTop;
  targets.Menu_AlwaysOnTop->setChecked(settings.AlwaysOnTop);
  ApplyStayOnTop(targets.window, settings.AlwaysOnTop);
}

void Menu_ProgTermAlertOnConnectClick(TProgramSettings &settings, const TSettingsTargets &targets) {
  settings.PTConnect = !settings.PTConnect;
  targets.Menu_ProgTermAlertOnConnect->setChecked(settings.PTConnect);
}

void Menu_ProgTermAlertOnDisconnectClick(TProgramSettings &settings,
                                         const TSettingsTargets &targets) {
  settings.PTDisconnect = !settings.PTDisconnect;
  targets.Menu_ProgTermAlertOnDisconnect->setChecked(settings.PTDisconnect);
}
