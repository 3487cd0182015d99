// For comparison only: a reader built the simple way, whose worker sleeps a
// blind 1 ms per pass, asks how many bytes wait and hands them over with a
// blocking queued call.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

#include "serial_device.h"

class TBaselinePortReader : public QObject {
 public:
  TBaselinePortReader() = default;
  ~TBaselinePortReader() override;

  bool Open(const QString &path);
  bool WriteData(const uint8_t *bytes, uint16_t length);
  std::function<void(const QByteArray &)> OnReceive;

 private:
  void Loop();

  TSerialDevice serial_;
  std::atomic<bool> stop_ = false;
  std::thread worker_;
};
