// The D-Bus client of the bus latency bench, a process of its own as a
// script's client is. It takes one command per line on its standard input
// and answers on its standard output:
//   (at start)  "ready" once it listens to DisplayChanged
//   press       "pressed NS": NS is the steady clock (ns) just before it
//               called Press on the panel; the call has returned
//   ping        "ping NS": how long (ns) a call to the bus daemon itself
//               (GetId) took there and back, for scale
//   quit        "display COUNT NS" for every DisplayChanged that showed a
//               count on line 1, when it arrived; then "done", and it ends
// Errors go to standard error; the exit status is 1 after one.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

class TBusClient : public QObject {
  Q_OBJECT

 public:
  TBusClient(QString service, QString keyName);

  // Listens to DisplayChanged, then reads the lines once, so the listening
  // is in place on the bus when this returns true.
  bool Listen();
  // Carries out one command line; false after an error.
  bool Command(const QByteArray &line);

 public slots:
  void OnDisplayChanged(const QStringList &lines);

 private:
  bool Press();
  bool Ping();
  void Report();

  QDBusConnection bus_;
  QString service_;
  QString keyName_;
  std::vector<std::pair<uint32_t, int64_t>> arrivals_;  // count, steady clock ns
};

// The client's main: service name and key name from the arguments after "--client".
int RunBusClient(int argc, char **argv);
