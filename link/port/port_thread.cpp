#include "port_thread.h"

#include <QScopedValueRollback>
#include <utility>

#include "open_away.h"

TPortThread::TPortThread(std::unique_ptr<TUsbDevice> usb, TPortSources sources,
                         std::unique_ptr<TSerialDevice> tty, QObject *parent)
    : QObject(parent), devices_(std::move(usb), std::move(tty), std::move(sources)) {}

TPortThread::~TPortThread() {
  worker_.Stop();
  // The owner closes the port first; one still open is closed here, so the
  // tty gets its settings back and the adapter goes back to the system.
  if (Connected()) {
    (void)device_->Close();
  }
}

bool TPortThread::OpenPort() {
  if (Connected()) {
    return true;
  }
  TPortDevice &device = devices_.Choose(portName_);
  const TOpenFailure failure = OpenDevice(device);
  if (failure.Failed()) {
    lastFailure_ = failure;
    if (openFailureReport_) {
      const TOpenFailureReport report = openFailureReport_;  // it may replace itself
      report(failure);
    }
    return false;
  }
  {
    TPortWorker::TPause pause(worker_);
    worker_.SetDevice(&device);
  }
  device_ = &device;
  ++openCount_;
  worker_.Start();
  openedAt_ = TLinkClock::now();
  Report(TPortEvent::Opened);
  return true;
}

// The worker has no device meanwhile, so the open needs no lock.
TOpenFailure TPortThread::OpenDevice(TPortDevice &device) {
  if (!device.OpensSlowly()) {
    return device.Open(line_);
  }
  const TLineSettings line = line_;
  const QScopedValueRollback<bool> opening(opening_, true);
  return OpenAway([&] { return device.Open(line); });
}

void TPortThread::Report(TPortEvent event) {
  if (observer_ != nullptr) {
    observer_->PortChanged(event == TPortEvent::Opened ? openedAt_ : TLinkClock::now(), event,
                           portName_);
  }
}

bool TPortThread::ClosePort() {
  if (!Connected()) {
    return true;
  }
  if (worker_.LineLost()) {
    Report(TPortEvent::Lost);  // the main thread learns of it here at the latest
  }
  {
    TPortWorker::TPause pause(worker_);
    if (!device_->Close()) {
      return false;  // an adapter that refuses stays open and is still read
    }
    worker_.SetDevice(nullptr);
  }
  device_ = nullptr;
  Report(TPortEvent::Closed);
  return true;
}

template <typename T>
void TPortThread::StoreAndReopen(T &field, const T &value) {
  if (!Connected()) {
    field = value;
    return;
  }
  ClosePort();
  field = value;
  OpenPort();
}

void TPortThread::SetPortName(const QString &name) {
  StoreAndReopen(portName_, name);
}
void TPortThread::SetBaudRate(int32_t baudRate) {
  StoreAndReopen(line_.baudRate, baudRate);
}
void TPortThread::SetByteSize(uint8_t byteSize) {
  StoreAndReopen(line_.byteSize, byteSize);
}
void TPortThread::SetParity(uint8_t parity) {
  StoreAndReopen(line_.parity, parity);
}
void TPortThread::SetStopBits(uint8_t stopBits) {
  StoreAndReopen(line_.stopBits, stopBits);
}
void TPortThread::SetPollInterval(uint32_t ms) {
  worker_.SetPollInterval(ms);
}

bool TPortThread::ConfigureLine(const QString &port) {
  ClosePort();
  SetPortName(port);
  SetPollInterval(1);
  SetBaudRate(19200);
  SetByteSize(8);
  SetStopBits(kStopBitsOne);
  SetParity(kParityNone);
  return OpenPort();
}

bool TPortThread::WriteData(const uint8_t *bytes, uint16_t length) {
  if (!Connected()) {
    return false;
  }
  return device_->Write(bytes, length,
                        static_cast<int>(kWriteTimeoutMs + kWriteTimeoutPerByteMs * length));
}

uint32_t TPortThread::GetInQueueCount() {
  if (!Connected()) {
    return 0;
  }
  TPortWorker::TPause pause(worker_);
  return device_->InQueueCount();
}

QStringList TPortThread::ListPorts(bool withSeparator) {
  return devices_.ListPorts(withSeparator);
}
