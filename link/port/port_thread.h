// TPortThread: the one connection between the program and the converter.
// Despite its name it is no thread: it lives on the main thread, and the
// thread is its worker's (the name is the one the whole program knows the
// port by).
//
// The port is a USB adapter (names USB1, USB2, ...), a named network port
// (SetNetworkPorts: its URL names a rfc2217:// or socket:// server) or a
// serial tty (any other name): port_devices.h chooses the device from the
// name, and the port holds it through the one device interface
// (port_device.h). Every operation is called on the main thread. A worker
// thread (port_worker.h), started by the first successful OpenPort, waits for
// received bytes and hands each chunk to OnReceive on the main thread, one
// hand-over at a time (port_worker.cpp describes the hand-over).
//
//   TPortThread port;                       // FTDI adapters, /sys, /dev, port map
//   port.ConfigureLine(QString());          // 19200 8N1; fails: no port named yet
//   port.OnReceive = [&](const QByteArray &chunk) { handler.HandleReply(chunk); };
//   port.SetOpenFailureReport([&](const TOpenFailure &failure) { ... });
//   port.SetPortName("ttyUSB0");
//   if (port.OpenPort()) port.WriteData(frame, length);
//
// The destructor ends the worker; it also closes a port still open.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "ftdi_usb_device.h"
#include "line_settings.h"
#include "link_observer.h"
#include "network_ports.h"
#include "open_failure.h"
#include "port_control.h"
#include "port_device.h"
#include "port_devices.h"
#include "port_discovery.h"
#include "port_worker.h"
#include "serial_device.h"
#include "usb_device.h"

// The name is the original design's; the thread is the port's worker
// (port_worker.h), which this object owns and starts.
class TPortThread : public QObject, public TPortControl {
  Q_OBJECT

 public:
  using TReceiveHandler = TPortWorker::TReceiveHandler;

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
  bool Connected() const override { return device_ != nullptr; }
  uint64_t OpenCount() const override { return openCount_; }

  // On an open port these close it, store the value and open it again (the
  // port ends closed if that open fails); on a closed port they only store.
  void SetPortName(const QString &name) override;
  void SetBaudRate(int32_t baudRate);
  void SetByteSize(uint8_t byteSize);
  void SetParity(uint8_t parity);
  void SetStopBits(uint8_t stopBits);

  // Pause between two looks at a device without a descriptor (an adapter
  // seam without one, as the tests' scripted adapter); a tty, a socket and
  // the FTDI adapter are waited for in poll().
  void SetPollInterval(uint32_t ms);
  void SetOpenFailureReport(TOpenFailureReport report) override {
    openFailureReport_ = std::move(report);
  }

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
  // Network opens give up at once when 'stop' is requested: the program's
  // end need not wait for a server that does not answer.
  void SetOpenStop(TOpenStop stop) { devices_.SetOpenStop(stop); }
  bool OpensSlowly(const QString &name) const override { return devices_.OpensSlowly(name); }
  QString UsbSocketOf(const QString &name) override { return devices_.UsbSocketOf(name); }
  QString UsbPortNameAt(const QString &socket) override { return devices_.UsbPortNameAt(socket); }
  bool Opening() const override { return opening_; }

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
  uint32_t PollInterval() const { return worker_.PollInterval(); }
  // Why the last open that failed did not open.
  const TOpenFailure &LastOpenFailure() const { return lastFailure_; }

  bool WorkerStarted() const { return worker_.Started(); }
  // The open port stopped delivering (tty hung up, USB adapter gone): the
  // worker no longer polls it; it stays Connected until it is closed.
  bool LineLost() const override { return worker_.LineLost(); }
  // Passes of the worker loop so far: a port at rest costs no passes.
  uint64_t WorkerPassCount() const { return worker_.PassCount(); }
  // A hand-over has been posted and OnReceive has not yet finished with it.
  bool HandOverPending() const { return worker_.HandOverPending(); }

 private:
  TOpenFailure OpenDevice(TPortDevice &device);
  template <typename T>
  void StoreAndReopen(T &field, const T &value);
  void Report(TPortEvent event);

  TPortDevices devices_;
  TPortDevice *device_ = nullptr;  // the open device; none while the port is closed
  bool opening_ = false;           // a slow device (a network port) is being opened
  uint64_t openCount_ = 0;
  QString portName_ = QStringLiteral("COM1");
  TLineSettings line_;
  TOpenFailure lastFailure_;
  TOpenFailureReport openFailureReport_;
  TLinkObserver *observer_ = nullptr;
  TLinkTime openedAt_{};
  // Last: it ends before the devices it reads go.
  TPortWorker worker_{OnReceive};
};
