#include "reconnect.h"

#include <utility>

#include "adapter_identity.h"

namespace {

// Hot-plug events come in bursts (the USB device, its interface, its tty):
// they are handled together once the burst has passed.
constexpr int kHotPlugSettleMs = 20;
// A network attempt that failed after this long is followed by a pause
// kNetworkRetrySpacing times as long; a quicker failure is not.
constexpr auto kSlowNetworkAttempt = std::chrono::milliseconds(250);
constexpr int kNetworkRetrySpacing = 3;

}  // namespace

TReconnect::TReconnect(TPortList &list, TPortControl &port, TProgramSettings &settings,
                       TLinkHost &host, TOpenFailurePolicy &openFailures, TPortSources sources)
    : list_(list),
      port_(port),
      settings_(settings),
      host_(host),
      openFailures_(openFailures),
      sources_(std::move(sources)) {
  hotPlugDelay_.setSingleShot(true);
  hotPlugDelay_.setInterval(kHotPlugSettleMs);
  QObject::connect(&hotPlugDelay_, &QTimer::timeout, &hotPlugDelay_,
                   [this] { HandlePortsChanged(); });
  list_.SetReconnect(this);
}

TReconnect::~TReconnect() {
  hotPlugSources_.clear();
  list_.SetReconnect(nullptr);
}

void TReconnect::AddHotPlugSource(std::unique_ptr<THotPlugSource> source) {
  source->OnPortsChanged = [this] { PortsChanged(); };
  hotPlugSources_.push_back(std::move(source));
}

void TReconnect::PortChosen(const QString &name, bool opened) {
  if (name != inUse_ || opened) {
    adapter_ = opened ? AdapterIdentity(sources_, port_, name) : QString();
  }
  inUse_ = name;
  lost_ = false;
}

void TReconnect::ClosePort() {
  inUse_.clear();
  adapter_.clear();
  lost_ = false;
  port_.ClosePort();
}

void TReconnect::Retry() {
  // The only event loop a retry runs is its own network open's, where the
  // list is Busy: a tick or hot-plug event reached from there, like any
  // other open in progress, leaves the port alone.
  if (inUse_.isEmpty() || settings_.FindFreq || list_.Busy()) {
    return;
  }
  if (port_.Connected()) {
    if (!port_.LineLost()) {
      lost_ = false;
      return;
    }
    port_.ClosePort();  // lets go of the gone device; the name stays shown
    lost_ = !port_.Connected();
  }
  const QString name = NameToOpen();
  if (!port_.Connected() && !name.isEmpty() && OpenAgain(name)) {
    ShowReopened(name);
    if (observer_ != nullptr) {
      observer_->PortChanged(TLinkClock::now(), TPortEvent::Reopened, name);
    }
  }
}

bool TReconnect::OpenAgain(const QString &name) {
  const bool network = port_.OpensSlowly(name);
  const TClock::time_point start = TClock::now();
  if (network && start < nextNetworkTry_) {
    return false;
  }
  port_.SetPortName(name);
  openFailures_.LinkPicksPorts();
  const bool opened = port_.OpenPort();
  if (network) {
    const TClock::time_point end = TClock::now();
    const bool slow = !opened && end - start >= kSlowNetworkAttempt;
    nextNetworkTry_ = slow ? end + kNetworkRetrySpacing * (end - start) : TClock::time_point{};
  }
  return opened;
}

// The adapter's tty now, for a USB serial tty; the same name otherwise.
QString TReconnect::NameToOpen() const {
  return adapter_.isEmpty() ? inUse_ : PortNameOfAdapter(sources_, port_, adapter_);
}

void TReconnect::ShowReopened(const QString &name) {
  inUse_ = name;
  lost_ = false;
  if (adapter_.isEmpty()) {
    adapter_ = AdapterIdentity(sources_, port_, name);
  }
  settings_.Port = name;
  int position = list_.PositionOf(name);
  if (position < 0) {
    list_.RefreshPortList();  // back before its hot-plug event arrived
    position = list_.PositionOf(name);
  }
  if (position >= 0) {
    host_.SetPortItemChecked(position, true);
  }
  host_.SetPortStatusText(name);
}

void TReconnect::PortsChanged() {
  hotPlugDelay_.start();
}

void TReconnect::HandlePortsChanged() {
  // Reached from the event processing of a click, the converter search or a
  // network port's connect (a retry's, or the reopen after an alert): the
  // list is refreshed once that is over, so the item of the port being
  // opened is checked in the rebuilt menu.
  if (list_.Busy()) {
    hotPlugDelay_.start();
    return;
  }
  list_.RefreshPortList();
  Retry();
}
