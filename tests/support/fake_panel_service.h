// A stand-in for a running program's D-Bus panel (org.sorvanel.Panel1 on
// /org/sorvanel/Panel), for testing clients without the program or a drive.
// Its "drive": UP and DOWN change a value on line 2, START and STOP the Run
// LED and line 3, a released hold names its key on line 4. The display
// changes a little after a key, as a real drive answers a frame later, and
// every key is logged, so a test can tell that nothing was pressed.
#pragma once

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <functional>

class TFakePanelService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.sorvanel.Panel1")
  Q_PROPERTY(bool ErrorLed READ ErrorLed)
  Q_PROPERTY(bool RunLed READ RunLed)
  Q_PROPERTY(bool GraphicMode READ GraphicMode)
  Q_PROPERTY(bool Connected READ Connected)
  Q_PROPERTY(QString Port READ Port)
  Q_PROPERTY(QString SettingsFile READ SettingsFile)

 public:
  struct TOptions {
    QString port = QStringLiteral("VDRIVE1");
    QString settingsFile;
    int displayDelayMs = 30;  // from a key to the display change
    int quitAfterTaps = -1;   // the program "closes" after this many taps (-1: never)
  };

  TFakePanelService(TOptions options, std::function<void(const QString &)> log,
                    QObject *parent = nullptr);

  bool ErrorLed() const { return false; }
  bool RunLed() const { return running_; }
  bool GraphicMode() const { return false; }
  bool Connected() const { return true; }
  QString Port() const { return options_.port; }
  QString SettingsFile() const { return options_.settingsFile; }

 public slots:
  void Press(const QString &key);
  void Release(const QString &key);
  void Tap(const QString &key);
  QStringList Lines() const { return lines_; }

 signals:
  void DisplayChanged(const QStringList &lines);
  void LinkChanged(bool connected, const QString &port);
  void TapsDone();

 private:
  bool KnownKey(const QString &key);
  void Apply(const QString &key);
  void ShowLater();

  TOptions options_;
  std::function<void(const QString &)> log_;
  QStringList lines_;
  int value_ = 0;
  bool running_ = false;
  QString released_;
  int taps_ = 0;
};
