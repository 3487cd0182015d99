#include "fake_panel_service.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>

namespace {

const QStringList kKeys = {
    QStringLiteral("UP"),    QStringLiteral("DOWN"),    QStringLiteral("LEFT"),
    QStringLiteral("RIGHT"), QStringLiteral("DISPLAY"), QStringLiteral("ESC"),
    QStringLiteral("ENTER"), QStringLiteral("JOG"),     QStringLiteral("DIR"),
    QStringLiteral("START"), QStringLiteral("STOP")};

QString Padded(const QString &text) {
  return text.leftJustified(16, QLatin1Char(' '), true);
}

}  // namespace

TFakePanelService::TFakePanelService(TOptions options, std::function<void(const QString &)> log,
                                     QObject *parent)
    : QObject(parent), options_(std::move(options)), log_(std::move(log)) {
  lines_ = {Padded(QStringLiteral("Fake drive")), Padded(QStringLiteral("Value 0")),
            Padded(QStringLiteral("Stopped")), Padded(QString())};
}

bool TFakePanelService::KnownKey(const QString &key) {
  if (kKeys.contains(key.toUpper())) {
    return true;
  }
  sendErrorReply(QStringLiteral("org.sorvanel.Panel1.Error.UnknownKey"),
                 QStringLiteral("no key %1").arg(key));
  return false;
}

void TFakePanelService::Press(const QString &key) {
  if (KnownKey(key)) {
    log_(QStringLiteral("press ") + key.toUpper());
  }
}

void TFakePanelService::Release(const QString &key) {
  if (KnownKey(key)) {
    log_(QStringLiteral("release ") + key.toUpper());
    released_ = key.toUpper();
    ShowLater();
  }
}

// Answers once the key "went on the line" a few milliseconds later, as the
// program does; the display follows later still.
void TFakePanelService::Tap(const QString &key) {
  if (!KnownKey(key)) {
    return;
  }
  log_(QStringLiteral("tap ") + key.toUpper());
  setDelayedReply(true);
  const QDBusMessage reply = message().createReply();
  QTimer::singleShot(5, this, [this, reply, key = key.toUpper()] {
    QDBusConnection::sessionBus().send(reply);
    Apply(key);
    if (++taps_ == options_.quitAfterTaps) {
      emit TapsDone();
    }
  });
}

void TFakePanelService::Apply(const QString &key) {
  if (key == QLatin1String("UP")) {
    ++value_;
  } else if (key == QLatin1String("DOWN")) {
    --value_;
  } else if (key == QLatin1String("START")) {
    running_ = true;
  } else if (key == QLatin1String("STOP")) {
    running_ = false;
  }
  ShowLater();
}

void TFakePanelService::ShowLater() {
  QTimer::singleShot(options_.displayDelayMs, this, [this] {
    lines_[1] = Padded(QStringLiteral("Value %1").arg(value_));
    lines_[2] = Padded(running_ ? QStringLiteral("Running") : QStringLiteral("Stopped"));
    lines_[3] = Padded(released_.isEmpty() ? QString() : QStringLiteral("Held ") + released_);
    emit DisplayChanged(lines_);
  });
}
