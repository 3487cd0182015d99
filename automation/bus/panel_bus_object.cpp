#include "panel_bus_object.h"

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
      taps_(keypad, link),
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
  // The taps still waiting let their keys go and answer as they go.
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
  if (!calledFromDBus()) {
    keypad_.Press(index);
    keypad_.Release(index);
    return;
  }
  setDelayedReply(true);
  taps_.Tap(index, [bus = bus_, reply = message().createReply()] { bus.send(reply); });
}

QStringList TPanelBusObject::Lines() const {
  return model_.TextLines();
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
