// TPortThread: the one connection between the program and the converter.
//
// The port is a USB adapter (names USB1, USB2, ...), a named network port
// (SetNetworkPorts: its URL names a rfc2217:// or socket:// server) or a
// serial tty (any other name): port_devices.h chooses the device from the
// name, and the port holds it through the one device interface
// (port_device.h). Every operation is called on the main thread. A worker
// thread, started by the first successful OpenPort, waits for received bytes
// and hands each chunk to OnReceive on the main thread, one hand-over at a
// time (port_thread.cpp describes the hand-over).
//
//   TPortThread port;                       // FTDI adapters, /sys, /dev, port map
//   port.ConfigureLine(QString());          // 19200 8N1; fails: no port named yet
//   port.OnReceive = [&](const QByteArray &chunk) { handler.HandleReply(chunk); };
//   port.SetShowOpenErrors(true);
//   port.SetPortName("ttyUSB0");
//   if (port.OpenPort()) port.WriteData(frame, length);
//
// The destructor ends the worker; it also closes a port still open.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ftdi_usb_device.h"
#include "line_settings.h"
#include "link_observer.h"
#include "network_ports.h"
#include "open_failure.h"
#include "port_control.h"
#include "port_device.h"
#include "port_devices.h"
#include "port_discovery.h"
#include "serial_device.h"
#include "usb_device.h"
#include "wake_event.h"

class TPortThread : public QObject, public TPortControl {
  Q_OBJECT

 public:
  using TReceiveHandler = std::function<void(const QByteArray &chunk)>;

  // 'tty' opens serial ports (tests give one that reads differently).
  explicit TPortThread(std::unique_ptr<TUsbDevice> usb = MakeFtdiUsbDevice(),
                       TPortSources sources = TPortSources::System(),
                       std::unique_ptr<TSerialDevice> tty = std::make_unique<TSerialDevice>(),
                       QObject *parent = nullptr);
  ~TPortThread() override;
  TPortThread(const TPortThread &) = delete;
  TPortThread &operator=(const TPortThread &) = delete;

  // Opens PortName; on an open port changes nothing. Returns Connected().
  bool OpenPort() override;
  // Returns true when the port is closed afterwards (a USB adapter that
  // refuses to close stays open).
  bool ClosePort() override;
  bool Connected() const override { return connected_; }
  uint64_t OpenCount() const override { return openCount_; }

  // On an open port these close it, store the value and open it again (the
  // port ends closed if that open fails); on a closed port they only store.
  void SetPortName(const QString &name) override;
  void SetBaudRate(int32_t baudRate);
  void SetByteSize(uint8_t byteSize);
  void SetParity(uint8_t parity);
  void SetStopBits(uint8_t stopBits);

  // Pause between two looks at a device without a descriptor (a USB
  // adapter); a tty or a socket is waited for in poll().
  void SetPollInterval(uint32_t ms);
  // A failed open shows the error dialog while this is set.
  void SetShowOpenErrors(bool show) override;

  // Closes the port, names 'port', sets the poll interval 1 ms and the line
  // 19200 baud, 8 data bits, one stop bit, no parity, and opens it.
  bool ConfigureLine(const QString &port);

  // Sends the bytes; false without sending when not connected or on failure.
  bool WriteData(const uint8_t *bytes, uint16_t length) override;
  // Received bytes waiting in the driver; 0 when not connected or on error.
  uint32_t GetInQueueCount();

  // The port list of the menu (port_discovery.h), the valid network port
  // names sorted in with the serial names.
  QStringList ListPorts(bool withSeparator) override;

  // The named network ports; a name here wins over a tty of the same name.
  void SetNetworkPorts(const TNetworkPorts &ports) { devices_.SetNetworkPorts(ports); }
  bool IsNetworkPort(const QString &name) const override;
  bool Opening() const override { return opening_; }

  // Opens the server at 'url' and closes it again, as an open of the port
  // would (the window keeps repainting meanwhile).
  static TOpenFailure TryNetworkPort(const QString &url);

  // Receiver of every chunk read, called on the main thread. Set it before
  // the first successful OpenPort; chunks that arrive while it is empty are
  // dropped.
  TReceiveHandler OnReceive;

  // Reports opens and closes to 'observer' (null: nobody); main thread.
  void SetObserver(TLinkObserver *observer) { observer_ = observer; }
  // When the port last opened.
  TLinkTime OpenedAt() const { return openedAt_; }

  const QString &PortName() const { return portName_; }
  const TLineSettings &LineSettings() const { return line_; }
  uint32_t PollInterval() const { return pollInterval_; }
  bool ShowOpenErrors() const { return showOpenErrors_; }
  // Why the last open that failed did not open.
  const TOpenFailure &LastOpenFailure() const { return lastFailure_; }

  bool WorkerStarted() const { return worker_.joinable(); }
  // The open port stopped delivering (tty hung up, USB adapter gone): the
  // worker no longer polls it; it stays Connected until it is closed.
  bool LineLost() const override { return lineLost_; }
  // Passes of the worker loop so far: a port at rest costs no passes.
  uint64_t WorkerPassCount() const { return workerPasses_; }
  // A hand-over has been posted and OnReceive has not yet finished with it.
  bool HandOverPending() const;

 private:
  struct THandOver;
  class TPortLock;

  TOpenFailure OpenDevice(TPortDevice &device);
  void TakeDevice(TPortDevice &device);
  template <typename T>
  void StoreAndReopen(T &field, const T &value);

  void StartWorker();
  void StopWorker();
  void WorkerLoop();
  bool WaitForMainThread();
  // 'timeoutMs' -1: until bytes arrive or the main thread calls.
  QByteArray WaitAndRead(int timeoutMs);
  // Reads from the device; 'woken' when its descriptor woke the worker.
  QByteArray Read(TPortDevice &device, bool woken);
  // True when the main thread woke the worker within 'timeoutMs'.
  bool WaitForWake(int timeoutMs);
  void HandOver(std::vector<QByteArray> chunks, uint64_t generation);
  void Report(TPortEvent event);
  void Deliver(const std::shared_ptr<THandOver> &handOver);

  TPortDevices devices_;
  TWakeEvent wake_;

  // Main thread only.
  TPortDevice *device_ = nullptr;  // the open device
  bool connected_ = false;
  bool opening_ = false;  // a slow device (a network port) is being opened
  uint64_t openCount_ = 0;
  QString portName_ = QStringLiteral("COM1");
  TLineSettings line_;
  bool showOpenErrors_ = false;
  TOpenFailure lastFailure_;

  // Written by the main thread under portMutex_, read by the worker under it.
  std::mutex portMutex_;
  TPortDevice *polled_ = nullptr;  // the device the worker reads; null: none
  uint64_t generation_ = 0;        // counts opens and closes: tells stale chunks apart
  std::atomic<uint32_t> pollInterval_ = 1;

  // Worker only (under portMutex_).
  std::vector<uint8_t> readBuffer_;
  int emptyWakes_ = 0;

  // The main thread goes ahead of the worker's next pass.
  std::mutex gateMutex_;
  std::condition_variable gateCv_;
  int mainWaiting_ = 0;
  std::atomic<bool> stopping_ = false;

  // The hand-over posted and not yet done; the worker waits for it to be done
  // only when it has the next one ready.
  mutable std::mutex handOverMutex_;
  std::condition_variable handOverDone_;
  std::shared_ptr<THandOver> pendingHandOver_;
  bool workerWaiting_ = false;

  TLinkObserver *observer_ = nullptr;  // main thread only
  TLinkTime openedAt_{};               // main thread only
  std::atomic<bool> lineLost_ = false;
  std::atomic<uint64_t> workerPasses_ = 0;
  std::thread worker_;
};
