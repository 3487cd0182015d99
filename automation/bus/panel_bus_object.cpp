#include "panel_bus_object.h"

#include <QTimer>

#include "bus_names.h"
#include "terminal_keys.h"

TPanelBusObject::TPanelBusObject(TDisplayModel &model, TKeypad &keypad, TDriveLink &link,
                                 const QString &settingsFile, QObject *parent)
    : QObject(parent),
      model_(model),
      keypad_(keypad),
      link_(link),
      settingsFile_(settingsFile),
      bus_(QDBusConnection::sessionBus()),
      errorLedTold_(model.ErrorLed()),
      runLedTold_(model.RunLed()),
      graphicModeTold_(model.GraphicMode()),
      connectedTold_(model.Connected()),
      portTold_(Port()) {
  model_.Attach(this);
  link_.AttachObserver(this);
}

TPanelBusObject::~TPanelBusObject() {
  link_.DetachObserver(this);
  model_.Detach(this);
  for (const TPendingTap &tap : taps_) {
    if (!tap.released) {
      keypad_.Release(tap.key);
    }
    bus_.send(tap.reply);
  }
}

QString TPanelBusObject::Port() const {
  const TPortThread &port = link_.Port();
  return port.Connected() ? port.PortName() : QString();
}

int TPanelBusObject::KeyOrError(const QString &name) {
  if (const std::optional<int> key = KeyByName(name)) {
    return *key;
  }
  if (calledFromDBus()) {
    sendErrorReply(QString::fromLatin1(kUnknownKeyError),
                   QStringLiteral("No key is named \"%1\"; the keys are UP DOWN LEFT RIGHT DISPLAY "
                                  "ESC ENTER JOG DIR START STOP.")
                       .arg(name.left(40)));
  }
  return -1;
}

void TPanelBusObject::Press(const QString &key) {
  if (const int index = KeyOrError(key); index >= 0) {
    keypad_.Press(index);
  }
}

void TPanelBusObject::Release(const QString &key) {
  if (const int index = KeyOrError(key); index >= 0) {
    keypad_.Release(index);
  }
}

void TPanelBusObject::Tap(const QString &key) {
  const int index = KeyOrError(key);
  if (index < 0) {
    return;
  }
  keypad_.Press(index);
  if (!calledFromDBus()) {
    keypad_.Release(index);
    return;
  }
  setDelayedReply(true);
  const uint64_t id = nextTapId_++;
  taps_.push_back({id, index, answersWritten_, message().createReply()});
  QTimer::singleShot(kTapLimitMs, this, [this, id] { FinishTap(id); });
}

void TPanelBusObject::FinishTap(uint64_t id) {
  for (auto tap = taps_.begin(); tap != taps_.end(); ++tap) {
    if (tap->id == id) {
      const TPendingTap done = *tap;
      taps_.erase(tap);
      if (!done.released) {
        keypad_.Release(done.key);
      }
      bus_.send(done.reply);
      return;
    }
  }
}

// A tap returns only once answers have carried its release as well: the
// converter counts a key when it goes down, so a second tap of the same key
// right after the first must find it up on the line, or it is lost. The
// answer written next after a change may have been made before it (the
// worker answers from what it was handed), so the change counts as carried
// from the second answer on.
void TPanelBusObject::FinishTapsCarried() {
  std::vector<uint64_t> carried;
  for (TPendingTap &tap : taps_) {
    if (answersWritten_ < tap.answersAtPress + kAnswersThatCarryAKey) {
      continue;
    }
    if (tap.released) {
      carried.push_back(tap.id);
    } else {
      keypad_.Release(tap.key);
      tap.released = true;
      tap.answersAtPress = answersWritten_;
    }
  }
  for (const uint64_t id : carried) {
    FinishTap(id);
  }
}

QStringList TPanelBusObject::Lines() const {
  return model_.TextLines();
}

void TPanelBusObject::AnswerWritten(TLinkTime, const uint8_t *, size_t, bool written) {
  if (written) {
    ++answersWritten_;
    if (!taps_.empty()) {
      FinishTapsCarried();
    }
  }
}

void TPanelBusObject::PortChanged(TLinkTime, TPortEvent, const QString &) {
  TellLinkIfChanged();
}

void TPanelBusObject::DisplayChanged(const TDisplayChange &change) {
  if (change.Display()) {
    QVariantMap changed;
    if (model_.ErrorLed() != errorLedTold_) {
      changed.insert(QStringLiteral("ErrorLed"), errorLedTold_ = model_.ErrorLed());
    }
    if (model_.RunLed() != runLedTold_) {
      changed.insert(QStringLiteral("RunLed"), runLedTold_ = model_.RunLed());
    }
    if (model_.GraphicMode() != graphicModeTold_) {
      changed.insert(QStringLiteral("GraphicMode"), graphicModeTold_ = model_.GraphicMode());
    }
    emit DisplayChanged(model_.TextLines());
    EmitPropertiesChanged(changed);
  }
  if (change.indicators) {
    TellLinkIfChanged();
  }
}

void TPanelBusObject::TellLinkIfChanged() {
  const bool connected = model_.Connected();
  const QString port = Port();
  if (connected == connectedTold_ && port == portTold_) {
    return;
  }
  QVariantMap changed;
  if (connected != connectedTold_) {
    changed.insert(QStringLiteral("Connected"), connectedTold_ = connected);
  }
  if (port != portTold_) {
    changed.insert(QStringLiteral("Port"), portTold_ = port);
  }
  emit LinkChanged(connected, port);
  EmitPropertiesChanged(changed);
}

void TPanelBusObject::EmitPropertiesChanged(const QVariantMap &changed) {
  if (changed.isEmpty()) {
    return;
  }
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kPanelObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QString::fromLatin1(kPanelInterface) << changed << QStringList();
  bus_.send(signal);
}
