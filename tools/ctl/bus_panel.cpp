#include "bus_panel.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>

#include "panel_bus_names.h"
#include "panel_keys.h"

namespace ctl {
namespace {

// A tap is held until an answer carried it, or a second with no link: ten
// seconds without a reply means the program no longer answers.
constexpr int kCallTimeoutMs = 10000;

}  // namespace

TBusPanel::TBusPanel(QDBusConnection connection, QString service, QObject *parent)
    : TRecipePanel(parent),
      connection_(std::move(connection)),
      service_(std::move(service)),
      watcher_(service_, connection_, QDBusServiceWatcher::WatchForUnregistration) {
  connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &TBusPanel::MarkGone);
}

bool TBusPanel::Attach() {
  // Listening first, then reading: no change can fall between the two.
  connection_.connect(service_, kPanelPath, kPanelInterface, QStringLiteral("DisplayChanged"), this,
                      SLOT(OnDisplayChanged(QStringList)));
  QDBusMessage call = QDBusMessage::createMethodCall(service_, kPanelPath, kPanelInterface,
                                                     QStringLiteral("Lines"));
  const QDBusReply<QStringList> reply = connection_.call(call, QDBus::Block, kCallTimeoutMs);
  if (!reply.isValid()) {
    return false;
  }
  lines_ = reply.value();
  alive_ = true;
  return true;
}

void TBusPanel::OnDisplayChanged(const QStringList &lines) {
  lines_ = lines;
  emit DisplayChanged();
}

void TBusPanel::Tap(int key, std::function<void()> done) {
  CallKey(QStringLiteral("Tap"), key, std::move(done));
}

void TBusPanel::Press(int key) {
  CallKey(QStringLiteral("Press"), key, {});
}

void TBusPanel::Release(int key) {
  CallKey(QStringLiteral("Release"), key, {});
}

void TBusPanel::CallKey(const QString &method, int key, std::function<void()> done) {
  QDBusMessage call = QDBusMessage::createMethodCall(service_, kPanelPath, kPanelInterface, method);
  call << PanelKeyName(key);
  auto *pending = new QDBusPendingCallWatcher(connection_.asyncCall(call, kCallTimeoutMs), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, done = std::move(done)](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            if (finished->isError()) {
              MarkGone();
              return;
            }
            if (done && alive_) {
              done();
            }
          });
}

void TBusPanel::MarkGone() {
  if (!alive_) {
    return;
  }
  alive_ = false;
  emit Gone();
}

}  // namespace ctl
