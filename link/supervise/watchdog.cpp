// The watchdog tick of the port menu and the converter search.
#include "port_menu.h"
#include "reconnect.h"

namespace {

constexpr uint8_t kAnswerHoldOff = 5;

}  // namespace

void TPortMenu::TimerTimer() {
  if (tickRunning_ || port_.Opening()) {
    // Reached from the event processing of a slow tick or of a network
    // port's open: that one goes on.
    return;
  }
  if (reconnect_ != nullptr) {
    reconnect_->Retry();
  }
  TRunningGuard guard(tickRunning_);

  if (linkState_.ReceivedFrameCount != 0) {
    // Frames keep coming: the link is left alone.
    linkState_.ReceivedFrameCount = 0;
    return;
  }
  linkState_.SendSkipCount = kAnswerHoldOff;
  if (linkState_.ConverterConnected) {
    linkState_.ConverterConnected = false;
    host_.RepaintStatusBar();
  }
  if (!settings_.FindFreq) {
    host_.ShowStatusScreen(PortInUse() ? kScreenNoCommunication : kScreenNoPortOpened);
    return;
  }
  RunConverterSearch();
}

// Tries the positions after ScanPosition, wrapping at the end of the list,
// until one port opens or every position has been tried once.
void TPortMenu::RunConverterSearch() {
  if (port_.Connected()) {
    port_.ClosePort();
  }
  TellPortChosen(QString(), false);  // the search picks the next port
  scanTries_ = 0;
  // Failed opens stay silent until the user clicks a port item again.
  port_.SetShowOpenErrors(false);
  while (!port_.Connected() && scanTries_ < portEntryCount_) {
    TrySearchPosition();
  }
  host_.ShowStatusScreen(kScreenConverterSearch);
}

void TPortMenu::TrySearchPosition() {
  ++scanTries_;
  ++scanPosition_;
  if (scanPosition_ >= portEntryCount_) {
    scanPosition_ = 0;
  }
  settings_.Port = Hint(scanPosition_);
  if (port_.IsNetworkPort(settings_.Port)) {
    settings_.Port.clear();  // opened by name only
  }
  if (settings_.Port.isEmpty()) {
    return;  // a separator or a network port: no open and no event processing
  }
  port_.SetPortName(settings_.Port);
  port_.OpenPort();
  if (port_.Connected()) {
    host_.SetPortItemChecked(scanPosition_, true);
    host_.SetPortStatusText(settings_.Port);
    TellPortChosen(settings_.Port, true);
    portChosen_ = true;
  } else {
    settings_.Port.clear();
  }
  host_.ProcessPendingEvents();
}
