#include "port_menu.h"

#include <QScopedValueRollback>

#include "reconnect.h"

namespace {

const QString kSeparator = QStringLiteral("-");

}  // namespace

TPortMenu::TPortMenu(TProgramSettings &settings, TPortControl &port, TLinkHost &host,
                     TOpenFailurePolicy &openFailures)
    : settings_(settings), port_(port), host_(host), openFailures_(openFailures) {}

QString TPortMenu::Hint(int position) const {
  if (position < 0 || position >= entries_.size() || entries_[position] == kSeparator) {
    return QString();
  }
  return entries_[position];
}

void TPortMenu::Menu_FindAvailablePortsClick() {
  QStringList entries = port_.ListPorts(true);
  if (entries.size() > kMaxPortEntries) {
    entries.resize(kMaxPortEntries);
  }
  entries_ = entries;
  portEntryCount_ = static_cast<uint8_t>(entries_.size());
  scanPosition_ = 0;
  host_.RebuildPortItems(entries_);
  if (port_.Connected() && !settings_.Port.isEmpty()) {
    OpenSavedPort();
  } else if (PortInUse() && PositionOf(settings_.Port) >= 0) {
    host_.SetPortItemChecked(PositionOf(settings_.Port), true);  // lost, waited for
  }
}

int TPortMenu::PositionOf(const QString &name) const {
  for (int position = 0; position < entries_.size(); ++position) {
    if (Hint(position) == name && !name.isEmpty()) {
      return position;
    }
  }
  return -1;
}

void TPortMenu::RefreshPortList() {
  QStringList entries = port_.ListPorts(true);
  if (entries.size() > kMaxPortEntries) {
    entries.resize(kMaxPortEntries);
  }
  if (entries == entries_) {
    return;
  }
  entries_ = entries;
  portEntryCount_ = static_cast<uint8_t>(entries_.size());
  scanPosition_ = 0;
  host_.RebuildPortItems(entries_);
  const int inUse = PortInUse() ? PositionOf(settings_.Port) : -1;
  if (inUse >= 0) {
    host_.SetPortItemChecked(inUse, true);
  }
}

// Open, or lost and waited for by the reconnect.
bool TPortMenu::PortInUse() const {
  return port_.Connected() || (reconnect_ != nullptr && reconnect_->WaitingForLostPort());
}

void TPortMenu::TellPortChosen(const QString &name, bool opened) {
  if (reconnect_ != nullptr) {
    reconnect_->PortChosen(name, opened);
  }
}

void TPortMenu::OpenSavedPort() {
  // The name is read once: each open stores the same name again.
  const QString saved = settings_.Port;
  if (saved.isEmpty()) {
    return;
  }
  bool listed = false;
  for (int position = 0; position < entries_.size(); ++position) {
    if (Hint(position) == saved) {
      listed = true;
      OpenPortAt(position);
    }
  }
  if (!listed && !port_.Connected()) {
    TellPortChosen(saved, false);  // not there yet: opened once it appears
  }
}

void TPortMenu::Menu_OpenPortClick(int position) {
  if (!Hint(position).isEmpty()) {
    portChosen_ = true;
  }
  OpenPortAt(position);
}

void TPortMenu::OpenPortAt(int position) {
  const QString name = Hint(position);
  if (name.isEmpty()) {
    return;
  }
  const QScopedValueRollback<bool> running(clickRunning_, true);
  if (port_.Connected()) {
    port_.ClosePort();
  }
  settings_.Port = name;
  host_.SetPortItemChecked(position, true);
  host_.SetPortStatusText(settings_.Port);
  port_.SetPortName(settings_.Port);
  openFailures_.UserChosePort();
  port_.OpenPort();
  host_.ProcessPendingEvents();
  const bool opened = port_.Connected();
  if (!opened) {
    // The name stays saved, so the port is tried again at the next start.
    host_.SetPortItemChecked(position, false);
    host_.SetPortStatusText(kSeparator);
  }
  TellPortChosen(name, opened);
}

void TPortMenu::Menu_FindFrequencyConverterClick() {
  settings_.FindFreq = !settings_.FindFreq;
  host_.SetFindFrequencyConverterChecked(settings_.FindFreq);
}

void TPortMenu::RunConverterSearch() {
  const QScopedValueRollback<bool> running(searching_, true);
  if (port_.Connected()) {
    port_.ClosePort();
  }
  TellPortChosen(QString(), false);  // the search picks the next port
  scanTries_ = 0;
  // Failed opens stay silent until the user clicks a port item again.
  openFailures_.LinkPicksPorts();
  while (!port_.Connected() && scanTries_ < portEntryCount_) {
    TrySearchPosition();
  }
}

void TPortMenu::TrySearchPosition() {
  ++scanTries_;
  ++scanPosition_;
  if (scanPosition_ >= portEntryCount_) {
    scanPosition_ = 0;
  }
  settings_.Port = Hint(scanPosition_);
  if (port_.OpensSlowly(settings_.Port)) {
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

void TPortMenu::UseForThisRun(const QString &name) {
  if (!name.isEmpty()) {
    savedBeforeThisRun_ = settings_.Port;
    settings_.Port = name;
  }
}

QString TPortMenu::PortToSave() const {
  return savedBeforeThisRun_ && !portChosen_ ? *savedBeforeThisRun_ : settings_.Port;
}
