// The panel as org.sorvanel.Panel1 (automation/org.sorvanel.Panel1.xml) shows it on the
// session bus. It owns nothing but its taps: keys go to the keypad, the one
// way in for a key that the window's mouse and keyboard use too; a tap
// lasts until the line has carried it (TKeyTaps); the display is read from
// the display model; port events come from the drive link, as an observer.
// Main thread only (QtDBus calls it there).
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "display_model.h"
#include "drive_link.h"
#include "key_taps.h"
#include "keypad.h"
#include "link_observer.h"

class TPanelBusObject : public QObject,
                        protected QDBusContext,
                        public TDisplayObserver,
                        public TLinkObserver {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.sorvanel.Panel1")
  Q_PROPERTY(bool ErrorLed READ ErrorLed)
  Q_PROPERTY(bool RunLed READ RunLed)
  Q_PROPERTY(bool GraphicMode READ GraphicMode)
  Q_PROPERTY(bool Connected READ Connected)
  Q_PROPERTY(QString Port READ Port)
  Q_PROPERTY(QString SettingsFile READ SettingsFile)

 public:
  // A tap lets its key go, and returns, after this long when no answer has
  // carried it.
  static constexpr int kTapLimitMs = TKeyTaps::kTapLimitMs;

  // Everything passed in outlives the object. It observes the model and the
  // link from here on and leaves them when destroyed; a tap still waiting
  // then releases its key.
  TPanelBusObject(TDisplayModel &model, TKeypad &keypad, TDriveLink &link,
                  const QString &settingsFile, QObject *parent = nullptr);
  ~TPanelBusObject() override;

  bool ErrorLed() const { return model_.ErrorLed(); }
  bool RunLed() const { return model_.RunLed(); }
  bool GraphicMode() const { return model_.GraphicMode(); }
  bool Connected() const { return model_.Connected(); }
  QString Port() const;
  QString SettingsFile() const { return settingsFile_; }

  // TDisplayObserver
  void DisplayChanged(const TDisplayChange &change) override;
  // TLinkObserver
  void PortChanged(TLinkTime, TPortEvent event, const QString &portName) override;

 public slots:
  void Press(const QString &key);
  void Release(const QString &key);
  void Tap(const QString &key);
  QStringList Lines() const;

 signals:
  void DisplayChanged(const QStringList &lines);
  void LinkChanged(bool connected, const QString &port);

 private:
  // The key index of 'name', or -1 after sending the caller the error.
  int KeyOrError(const QString &name);
  void TellLinkIfChanged();
  void EmitPropertiesChanged(const QVariantMap &changed);

  TDisplayModel &model_;
  TKeypad &keypad_;
  TDriveLink &link_;
  QString settingsFile_;
  QDBusConnection bus_;
  TKeyTaps taps_;
  bool errorLedTold_;
  bool runLedTold_;
  bool graphicModeTold_;
  bool connectedTold_;
  QString portTold_;
};
