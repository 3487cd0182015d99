// A link host for tests: keeps what the window would show (menu checks,
// status bar text, port items, save item), records the calls, optionally
// into a log shared with TFakePortControl, and stands in for the user at
// the alerts and file errors it would show.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display_input.h"
#include "link_host.h"

// Also takes the display lines the reply handler hands on, in place of the
// display model.
class TRecordingLinkHost : public TLinkHost, public TDisplayInput {
 public:
  explicit TRecordingLinkHost(std::vector<std::string> *log = nullptr) : log_(log) {}

  void ShowDisplayMessage(const TReplyData &) override {
    ++updateGraphicModeCount;
    Log("update graphic mode");
  }
  void ShowLine(const TReplyData &) override {
    ++refreshDisplayCount;
    Log("refresh display");
  }
  void ShowStatusScreen(TStatusScreen screen) override {
    const int mode = static_cast<int>(screen);
    statusScreens.push_back(mode);
    Log("status screen " + std::to_string(mode));
  }
  void RepaintStatusBar() override {
    ++statusBarRepaints;
    Log("repaint status bar");
  }
  void SetPortStatusText(const QString &text) override { portStatusText = text; }
  void SetMemorySaveEnabled(bool enabled) override {
    memorySaveEnabled = enabled;
    ++memorySaveChanges;
  }
  bool IsMemorySaveEnabled() const override { return memorySaveEnabled; }
  void MemoryBlockWritten(uint32_t address, uint32_t length) override {
    memoryBlocksWritten.emplace_back(address, length);
  }
  void SetTimerEnabled(bool enabled) override {
    timerEnabled = enabled;
    Log(enabled ? "timer on" : "timer off");
  }
  void SetProgTermAlertOnConnectChecked(bool checked) override {
    connectAlertChecked = checked;
    Log(checked ? "connect alert checked" : "connect alert unchecked");
  }
  void SetProgTermAlertOnDisconnectChecked(bool checked) override {
    disconnectAlertChecked = checked;
    Log(checked ? "disconnect alert checked" : "disconnect alert unchecked");
  }
  void SetFindFrequencyConverterChecked(bool checked) override { findConverterChecked = checked; }
  void RebuildPortItems(const QStringList &entries) override {
    portItems = entries;
    checkedPortItem = -1;
    ++rebuildCount;
  }
  // Radio items: checking one unchecks the others.
  void SetPortItemChecked(int position, bool checked) override {
    if (checked) {
      checkedPortItem = position;
    } else if (checkedPortItem == position) {
      checkedPortItem = -1;
    }
  }
  void ProcessPendingEvents() override {
    ++processEventsCount;
    Log("process events");
    if (onProcessEvents) {
      onProcessEvents();
    }
  }
  void ShowOpenFailure(const TOpenFailure &failure) override {
    openFailuresShown.push_back(failure);
    Log("open failure shown");
  }

  bool AskProgTermAlert(TProgTermAlert alert, bool showNextTime) override {
    Log("alert");
    if (onProgTermAlert) {
      onProgTermAlert();
    }
    progTermAlerts.push_back({alert, showNextTime});
    return progTermAlertAnswer.value_or(showNextTime);
  }
  void ShowMemoryFileError(TMemoryFileError error, const QString &path) override {
    memoryFileErrors.push_back({error, path});
  }

  struct TAlertRecord {
    TProgTermAlert alert;
    bool showNextTimeShown;  // the check box's state when the alert opened
  };
  struct TFileErrorRecord {
    TMemoryFileError error;
    QString path;
  };

  int updateGraphicModeCount = 0;
  int refreshDisplayCount = 0;
  std::vector<int> statusScreens;  // TStatusScreen values
  int statusBarRepaints = 0;
  QString portStatusText = QStringLiteral("-");
  bool memorySaveEnabled = false;
  int memorySaveChanges = 0;
  std::vector<std::pair<uint32_t, uint32_t>> memoryBlocksWritten;  // address, length
  bool timerEnabled = true;
  bool connectAlertChecked = true;
  bool disconnectAlertChecked = true;
  bool findConverterChecked = false;
  QStringList portItems;
  int checkedPortItem = -1;
  int rebuildCount = 0;
  int processEventsCount = 0;
  std::function<void()> onProcessEvents;
  std::vector<TAlertRecord> progTermAlerts;
  // The check box's state the "user" leaves; empty = as it was shown.
  std::optional<bool> progTermAlertAnswer;
  std::function<void()> onProgTermAlert;  // runs while the alert is up
  std::vector<TFileErrorRecord> memoryFileErrors;
  std::vector<TOpenFailure> openFailuresShown;

 private:
  void Log(const std::string &entry) {
    if (log_ != nullptr) {
      log_->push_back(entry);
    }
  }
  std::vector<std::string> *log_;
};
