// The panel of a running program, reached over D-Bus: keys go out as calls,
// the display comes back with every DisplayChanged signal.
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QStringList>

#include "recipe_panel.h"

namespace ctl {

class TBusPanel : public TRecipePanel {
  Q_OBJECT

 public:
  TBusPanel(QDBusConnection connection, QString service, QObject *parent = nullptr);

  // Listens to the program and reads its display; false when it is not there.
  bool Attach();

  void Tap(int key, std::function<void()> done) override;
  void Press(int key) override;
  void Release(int key) override;
  QStringList Lines() const override { return lines_; }
  bool Alive() const override { return alive_; }

 private slots:
  void OnDisplayChanged(const QStringList &lines);

 private:
  void CallKey(const QString &method, int key, std::function<void()> done);
  void MarkGone();

  QDBusConnection connection_;
  QString service_;
  QDBusServiceWatcher watcher_;
  QStringList lines_;
  bool alive_ = false;
};

}  // namespace ctl
