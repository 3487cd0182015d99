#include "panel_automation.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QFileInfo>

#include "bus_names.h"
#include "panel_bus_object.h"

TPanelAutomation::TPanelAutomation(TDisplayModel &model, TKeypad &keypad, TDriveLink &link,
                                   const QString &settingsFile)
    : model_(model),
      keypad_(keypad),
      link_(link),
      settingsFile_(QFileInfo(settingsFile).absoluteFilePath()) {}

TPanelAutomation::~TPanelAutomation() {
  TurnOff();
}

bool TPanelAutomation::TurnOn(QString *error) {
  if (IsOn()) {
    return true;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) {
    *error = bus.lastError().message();
    if (error->isEmpty()) {
      *error = QStringLiteral("no session bus");
    }
    return false;
  }
  auto busObject =
      std::make_unique<TPanelBusObject>(model_, keypad_, link_, settingsFile_, nullptr);
  if (!bus.registerObject(QString::fromLatin1(kPanelObjectPath), busObject.get(),
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                              QDBusConnection::ExportAllProperties)) {
    *error = QStringLiteral("the object path %1 is in use").arg(kPanelObjectPath);
    return false;
  }
  const QString instance = PanelInstanceName(settingsFile_);
  for (int attempt = 1; attempt <= 1 + kNameAttempts; ++attempt) {
    const QString name = PanelBusName(instance, attempt);
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
      busName_ = name;
      busObject_ = std::move(busObject);
      return true;
    }
    if (!reply.isValid()) {
      *error = reply.error().message();
      break;
    }
  }
  if (error->isEmpty()) {
    *error = QStringLiteral("every name of %1 is taken").arg(PanelBusName(instance));
  }
  bus.unregisterObject(QString::fromLatin1(kPanelObjectPath));
  return false;
}

void TPanelAutomation::TurnOff() {
  if (!IsOn()) {
    return;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterObject(QString::fromLatin1(kPanelObjectPath));
  bus.interface()->unregisterService(busName_);
  busName_.clear();
  busObject_.reset();
}
