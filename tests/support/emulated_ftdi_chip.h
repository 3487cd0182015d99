// An FT232R (0403:6001) on an emulated USB bus, for the program's own
// libftdi1 and libusb-1.0 to talk to: umockdev puts the device in its test
// bed's /sys and answers the usbdevfs ioctls on its node here. The program
// runs in a child under umockdev's preload (libumockdev-preload.so.0 with
// the test bed's UMOCKDEV_DIR, ProgramEnvironment), or in the test's own
// process when that runs under umockdev-wrapper.
//
//   TPtyLine line;                        // the converter's cable
//   TEmulatedUsbBus bus;
//   auto chip = bus.Plug(1, "A10K0001", line.Slave());
//   ... start the program with bus.ProgramEnvironment() ...
//   chip->LastRequest(kFtdiSetBaudRate);  // what the program set
//   chip.reset();                         // pulled: ENODEV, a remove event
//
// The chip behaves as the real one does: every bulk IN packet starts with
// two status bytes and holds at most 62 data bytes; a packet goes out when
// the latency timer runs out (status bytes alone on a silent line), at once
// when the enabled event character has arrived, or when a packet is full.
// What the program writes goes out on the line; what the line brings in
// waits in the chip's receive buffer (256 bytes, as the chip's).
//
// Waiting on the node. umockdev 0.17 makes the node a regular file, which
// poll() always reports ready: libusb would spin on REAPURBNDELAY. The node
// here is a FIFO instead (the preload forwards ioctls by path and does not
// care what the file is), sized to one page and kept full, so it is not
// writable; when a URB finishes the emulator drains it, and when the last
// finished URB has been reaped it fills it again. So the node is writable
// exactly while a URB can be reaped, as the kernel's usbdevfs node is, and
// the program's waits and CPU are measured as on real hardware.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// umockdev's types, declared as its header does: that header (through
// GLib's) must come before Qt's, so only the .cpp includes it.
typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

// Vendor requests of the chip (bRequest of a 0x40 or 0xc0 control transfer).
inline constexpr uint8_t kFtdiReset = 0;
inline constexpr uint8_t kFtdiSetFlowControl = 2;
inline constexpr uint8_t kFtdiSetBaudRate = 3;
inline constexpr uint8_t kFtdiSetData = 4;
inline constexpr uint8_t kFtdiSetEventChar = 6;
inline constexpr uint8_t kFtdiSetLatencyTimer = 9;

class TEmulatedFtdiChip {
 public:
  struct TControlRequest {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
  };
  struct TCounts {
    uint64_t packets = 0;      // bulk IN packets sent, status-only ones included
    uint64_t inTransfers = 0;  // bulk IN URBs finished
    uint64_t reaps = 0;        // reap calls, those that found nothing included
  };

  // Plugs the chip into 'bed' on port 'port' of bus 1 at 'address', its
  // line the tty 'lineFd' (duplicated; the converter's end of a cable).
  TEmulatedFtdiChip(UMockdevTestbed *bed, int port, int address, const char *serial, int lineFd);
  // Pulls it (as Unplug) if still plugged.
  ~TEmulatedFtdiChip();
  TEmulatedFtdiChip(const TEmulatedFtdiChip &) = delete;
  TEmulatedFtdiChip &operator=(const TEmulatedFtdiChip &) = delete;

  // The node goes, every ioctl fails with ENODEV (URBs in flight end as a
  // disconnect ends them), and udev's remove event is sent.
  void Unplug();

  const QString &NodePath() const { return nodePath_; }
  std::vector<TControlRequest> ControlRequests() const;
  // wValue of the last vendor request 'request'; none if never sent.
  std::optional<uint16_t> LastRequest(uint8_t request) const;
  bool InterfaceClaimed() const;
  // The kernel's driver was taken off the interface and not given back.
  bool KernelDriverDetached() const;
  TCounts Counts() const;

  class TState;

 private:
  UMockdevTestbed *bed_;
  QByteArray sysfsPath_;
  QByteArray node_;
  QString nodePath_;
  std::unique_ptr<TState> state_;
  UMockdevIoctlBase *handler_ = nullptr;
  bool plugged_ = true;
};

// The test bed holding the chips: umockdev's /sys and the environment a
// program runs in to see it.
class TEmulatedUsbBus {
 public:
  TEmulatedUsbBus();
  ~TEmulatedUsbBus();
  TEmulatedUsbBus(const TEmulatedUsbBus &) = delete;
  TEmulatedUsbBus &operator=(const TEmulatedUsbBus &) = delete;

  // A chip on port 'port'; each plug gets a new address, as the kernel's.
  std::unique_ptr<TEmulatedFtdiChip> Plug(int port, const char *serial, int lineFd);
  // 'base' with umockdev's preload and this bed's folder.
  QProcessEnvironment ProgramEnvironment(QProcessEnvironment base) const;
  // umockdev's preload library is installed.
  static bool Usable();

 private:
  UMockdevTestbed *bed_;
  int nextAddress_ = 2;
};
