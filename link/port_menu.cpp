#include "port_menu.h"

namespace {

const QString kSeparator = QStringLiteral("-");

}  // namespace

TPortMenu::TPortMenu(TLinkState &linkState, TProgramSettings &settings, TPortControl &port,
                     TLinkHost &host)
    : linkState_(linkState), settings_(settings), port_(port), host_(host) {}

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
  }
}

void TPortMenu::OpenSavedPort() {
  // The name is read once: each open stores the same name again.
  const QString saved = settings_.Port;
  if (saved.isEmpty()) {
    return;
  }
  for (int position = 0; position < entries_.size(); ++position) {
    if (Hint(position) == saved) {
      Menu_OpenPortClick(position);
    }
  }
}

void TPortMenu::Menu_OpenPortClick(int position) {
  const QString name = Hint(position);
  if (name.isEmpty()) {
    return;
  }
  if (port_.Connected()) {
    port_.ClosePort();
  }
  settings_.Port = name;
  host_.SetPortItemChecked(position, true);
  host_.SetPortStatusText(settings_.Port);
  port_.SetPortName(settings_.Port);
  port_.SetShowOpenErrors(true);
  openRunning_ = true;
  port_.OpenPort();
  openRunning_ = false;
  host_.ProcessPendingEvents();
  if (!port_.Connected()) {
    // The name stays saved, so the port is tried again at the next start.
    host_.SetPortItemChecked(position, false);
    host_.SetPortStatusText(kSeparator);
  }
}

void TPortMenu::Menu_FindFrequencyConverterClick() {
  settings_.FindFreq = !settings_.FindFreq;
  host_.SetFindFrequencyConverterChecked(settings_.FindFreq);
}
