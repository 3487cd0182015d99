// A scripted TUsbDevice for tests. The test keeps a plain pointer to it after
// handing ownership to the port:
//
//   auto device = std::make_unique<TFakeUsbDevice>();
//   TFakeUsbDevice *usb = device.get();
//   usb->deviceCount = 2;
//   TPortThread port(std::move(device), sources);
//   usb->Receive("\x02..."); usb->failQueueStatus = TUsbStatus::IoError;
//
// Every member may be set from the test's thread while the port's worker
// reads; all access goes through one mutex.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "usb_device.h"

class TFakeUsbDevice : public TUsbDevice {
 public:
  // What the test sets up.
  uint32_t deviceCount = 0;
  TUsbStatus countStatus = TUsbStatus::Ok;
  TUsbStatus openStatus = TUsbStatus::Ok;
  TUsbStatus closeStatus = TUsbStatus::Ok;
  TUsbStatus writeStatus = TUsbStatus::Ok;

  // Makes every further queue query (or read) fail, as an unplugged adapter.
  void FailQueueStatus(TUsbStatus status) {
    std::lock_guard lock(mutex_);
    queueStatusFailure_ = status;
  }
  void FailRead(TUsbStatus status) {
    std::lock_guard lock(mutex_);
    readFailure_ = status;
  }
  // The next 'count' reads return no bytes although bytes are waiting.
  void ZeroByteReads(int count) {
    std::lock_guard lock(mutex_);
    zeroByteReads_ = count;
  }
  // Each read returns at most 'count' bytes.
  void LimitReadsTo(uint32_t count) {
    std::lock_guard lock(mutex_);
    readLimit_ = count;
  }
  // Bytes arriving from the converter.
  void Receive(const QByteArray &bytes) {
    std::lock_guard lock(mutex_);
    inQueue_.append(bytes);
  }

  // What the test looks at.
  QStringList Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  QByteArray Written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }
  bool IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
  }
  std::optional<uint8_t> OpenedIndex() const {
    std::lock_guard lock(mutex_);
    return openedIndex_;
  }
  uint64_t QueueQueries() const { return queueQueries_; }
  int LastWriteTimeoutMs() const {
    std::lock_guard lock(mutex_);
    return lastWriteTimeoutMs_;
  }

  TUsbStatus CountDevices(uint32_t &count) override {
    std::lock_guard lock(mutex_);
    count = countStatus == TUsbStatus::Ok ? deviceCount : 0;
    return countStatus;
  }
  TUsbStatus Open(uint8_t index) override {
    std::lock_guard lock(mutex_);
    calls_.append(QStringLiteral("Open(%1)").arg(index));
    if (openStatus == TUsbStatus::Ok) {
      open_ = true;
      openedIndex_ = index;
    }
    return openStatus;
  }
  TUsbStatus SetBaudRate(uint32_t baudRate) override {
    return Record(QStringLiteral("SetBaudRate(%1)").arg(baudRate));
  }
  TUsbStatus SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) override {
    return Record(QStringLiteral("SetDataCharacteristics(%1,%2,%3)")
                      .arg(wordLength)
                      .arg(stopBits)
                      .arg(parity));
  }
  TUsbStatus SetTimeouts(uint32_t readMs, uint32_t writeMs) override {
    return Record(QStringLiteral("SetTimeouts(%1,%2)").arg(readMs).arg(writeMs));
  }
  TUsbStatus SetLatencyTimer(uint8_t ms) override {
    return Record(QStringLiteral("SetLatencyTimer(%1)").arg(ms));
  }
  TUsbStatus SetEventCharacter(uint8_t character) override {
    return Record(QStringLiteral("SetEventCharacter(%1)").arg(character));
  }
  TUsbStatus GetQueueStatus(uint32_t &waiting) override {
    std::lock_guard lock(mutex_);
    ++queueQueries_;
    waiting = 0;
    if (!open_) {
      return TUsbStatus::InvalidHandle;
    }
    if (queueStatusFailure_ != TUsbStatus::Ok) {
      return queueStatusFailure_;
    }
    waiting = static_cast<uint32_t>(inQueue_.size());
    return TUsbStatus::Ok;
  }
  TUsbStatus Read(uint8_t *buffer, uint32_t count, uint32_t &read) override {
    std::lock_guard lock(mutex_);
    read = 0;
    if (!open_) {
      return TUsbStatus::InvalidHandle;
    }
    if (readFailure_ != TUsbStatus::Ok) {
      return readFailure_;
    }
    if (zeroByteReads_ > 0) {
      --zeroByteReads_;
      return TUsbStatus::Ok;
    }
    const uint32_t taken = std::min({count, readLimit_, static_cast<uint32_t>(inQueue_.size())});
    std::copy_n(inQueue_.constData(), taken, buffer);
    inQueue_.remove(0, taken);
    read = taken;
    return TUsbStatus::Ok;
  }
  TUsbStatus Write(const uint8_t *bytes, uint32_t length, uint32_t &written,
                   int timeoutMs) override {
    std::lock_guard lock(mutex_);
    written = 0;
    lastWriteTimeoutMs_ = timeoutMs;
    if (!open_) {
      return TUsbStatus::InvalidHandle;
    }
    if (writeStatus != TUsbStatus::Ok) {
      return writeStatus;
    }
    written_.append(reinterpret_cast<const char *>(bytes), length);
    written = length;
    return TUsbStatus::Ok;
  }
  TUsbStatus Close() override {
    std::lock_guard lock(mutex_);
    calls_.append(QStringLiteral("Close"));
    if (!open_) {
      return TUsbStatus::InvalidHandle;
    }
    if (closeStatus == TUsbStatus::Ok) {
      open_ = false;
    }
    return closeStatus;
  }

 private:
  TUsbStatus Record(const QString &call) {
    std::lock_guard lock(mutex_);
    calls_.append(call);
    return open_ ? TUsbStatus::Ok : TUsbStatus::InvalidHandle;
  }

  mutable std::mutex mutex_;
  bool open_ = false;
  std::optional<uint8_t> openedIndex_;
  QStringList calls_;
  QByteArray inQueue_;
  QByteArray written_;
  TUsbStatus queueStatusFailure_ = TUsbStatus::Ok;
  TUsbStatus readFailure_ = TUsbStatus::Ok;
  int zeroByteReads_ = 0;
  uint32_t readLimit_ = UINT32_MAX;
  int lastWriteTimeoutMs_ = 0;
  std::atomic<uint64_t> queueQueries_ = 0;
};
