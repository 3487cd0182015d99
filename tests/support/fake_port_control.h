// A port for tests: opens the names it is told are openable, records every
// call and every frame written, and can write each call into a shared log
// so tests can check the order of port, window and dialog steps.
#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "port_control.h"

class TFakePortControl : public TPortControl {
 public:
  explicit TFakePortControl(std::vector<std::string> *log = nullptr) : log_(log) {}

  bool OpenPort() override {
    openAttempts.append(portName);
    const bool network = OpensSlowly(portName);
    if (onOpen && network) {
      // What runs while a network port connects: it is not connected yet.
      connected = false;
      opening = true;
      onOpen();
      opening = false;
    }
    connected = openable.contains(portName);
    lineLost = false;
    openCount += connected ? 1 : 0;
    Log("open " + portName.toStdString() + (connected ? " ok" : " failed"));
    if (!connected && openFailureReport) {
      openFailureReport(openFailure);
    }
    if (onOpen && !network) {
      onOpen();
    }
    return connected;
  }
  bool ClosePort() override {
    ++closeCount;
    connected = false;
    Log("close");
    return true;
  }
  bool Connected() const override { return connected; }
  bool LineLost() const override { return connected && lineLost; }
  uint64_t OpenCount() const override { return openCount; }
  void SetPortName(const QString &name) override { portName = name; }
  void SetOpenFailureReport(TOpenFailureReport report) override {
    openFailureReport = std::move(report);
  }
  bool WriteData(const uint8_t *bytes, uint16_t length) override {
    if (!connected) {
      return false;
    }
    written.push_back(QByteArray(reinterpret_cast<const char *>(bytes), length));
    Log("write");
    return true;
  }
  QStringList ListPorts(bool withSeparator) override {
    listedWithSeparator = withSeparator;
    return ports;
  }
  bool OpensSlowly(const QString &name) const override { return networkPorts.contains(name); }
  bool Opening() const override { return opening; }

  // Scripted behaviour.
  QStringList ports;             // what ListPorts returns
  QSet<QString> openable;        // names whose open succeeds
  QSet<QString> networkPorts;    // names that are network ports
  std::function<void()> onOpen;  // runs after each open attempt; during it for a network port
  TOpenFailure openFailure = TOpenFailure::OfTty(ENOENT);  // reported by a failed open
  bool lineLost = false;                                   // the open port stopped delivering

  // Recorded state.
  bool connected = false;
  bool opening = false;
  QString portName;
  TOpenFailureReport openFailureReport;
  bool listedWithSeparator = false;
  QStringList openAttempts;
  int closeCount = 0;
  uint64_t openCount = 0;
  std::vector<QByteArray> written;

 private:
  void Log(const std::string &entry) {
    if (log_ != nullptr) {
      log_->push_back(entry);
    }
  }
  std::vector<std::string> *log_;
};
