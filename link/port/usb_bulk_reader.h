// Receives an FTDI adapter's bulk IN packets without polling the adapter:
// a few asynchronous bulk transfers stay in flight, and one descriptor
// (WaitFd) becomes readable when libusb has something to handle (a finished
// transfer, a gone adapter) or when a transfer finished on another thread
// (a write waiting for its own transfer handles events too). Waiting then
// handles what is ready, without waiting, and Take hands out the bytes.
//
// The descriptor is an epoll set over libusb's own descriptors (its event
// fd, its timer fd, the adapter's node), kept in step through libusb's
// pollfd notifiers, plus an eventfd of this object: so the worker waits on
// one descriptor and learns nothing about USB.
//
// Every packet starts with the chip's two status bytes; they are dropped
// here. The received bytes never exceed kReceiveLimit: a transfer whose
// bytes might not fit is not sent again until Take has made room, and the
// adapter keeps the rest meanwhile.
//
// Threads: Start and Stop on the main thread while nobody else calls;
// Waiting, Take and Gone on one thread at a time; transfers may finish on any thread that handles
// libusb's events.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

class TUsbBulkReader {
 public:
  static constexpr size_t kReceiveLimit = 32 * 1024;

  TUsbBulkReader();
  ~TUsbBulkReader();
  TUsbBulkReader(const TUsbBulkReader &) = delete;
  TUsbBulkReader &operator=(const TUsbBulkReader &) = delete;

  // Starts the transfers on 'endpoint' of 'handle', whose packets are at
  // most 'packetSize' bytes. False (and nothing started) when libusb's
  // descriptors cannot be watched or no transfer can be sent.
  bool Start(libusb_context *context, libusb_device_handle *handle, unsigned char endpoint,
             size_t packetSize);
  // Cancels the transfers and waits for them to end (at once on a gone
  // adapter). False when one did not end in time: the caller must then keep
  // the libusb context alive, since libusb still owns the transfer.
  bool Stop();

  // -1 while stopped.
  int WaitFd() const { return epollFd_; }

  // Handles what is ready, without waiting: bytes received and not yet taken.
  size_t Waiting();
  // Moves up to 'limit' received bytes to 'out': how many.
  size_t Take(uint8_t *out, size_t limit);
  // The adapter has gone (or its endpoint failed) and every byte received
  // before has been taken.
  bool Gone();
  // Transfers finished so far, status-only ones included: the adapter is
  // alive even on a silent line.
  uint64_t Finished() const { return finished_; }

 private:
  static constexpr size_t kTransfers = 2;
  static constexpr size_t kTransferSize = 4096;

  static void OnFinished(libusb_transfer *transfer);
  static void OnPollFdAdded(int fd, short events, void *self);
  static void OnPollFdRemoved(int fd, void *self);

  void HandleReady();
  void Finish(libusb_transfer *transfer);
  // Under mutex_: sends the parked transfers again while their bytes fit.
  void ResubmitParked();
  bool Watch(int fd, short events);
  void Forget();

  libusb_context *context_ = nullptr;
  size_t packetSize_ = 64;
  int epollFd_ = -1;
  int finishedFd_ = -1;  // an eventfd: a transfer finished on another thread
  std::array<libusb_transfer *, kTransfers> transfers_{};
  std::array<std::array<unsigned char, kTransferSize>, kTransfers> buffers_{};

  std::mutex mutex_;
  std::vector<uint8_t> received_;
  std::vector<libusb_transfer *> parked_;  // finished, waiting for room
  size_t inFlight_ = 0;
  bool gone_ = false;
  bool stopping_ = false;
  std::atomic<uint64_t> finished_ = 0;
};
