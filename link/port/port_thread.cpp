#include "port_thread.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <utility>

#include "open_away.h"
#include "open_error.h"

// Hand-over of received bytes
// ---------------------------
// This is the one place where data crosses between the threads. The worker
// reads chunks and posts them, as one THandOver, in a queued call to this
// object on the main thread, which runs OnReceive with each of them. One
// hand-over is out at a time: the worker posts the next only when the main
// thread has finished the previous one. So chunks reach OnReceive one call
// per chunk, in the order read, always on the main thread, and never while
// an earlier OnReceive is still running (also when it runs a modal dialog).
//
// - The worker does not sleep until the main thread has finished: it goes
//   back to waiting for bytes. Only when it has the next chunks ready before
//   the previous hand-over is done does it wait, and only then does the main
//   thread wake it. With a frame every few milliseconds the main thread is
//   woken once per frame and wakes nobody (a thread wake costs several
//   microseconds and may switch the main thread out).
// - A chunk without the frame end (ETX) only adds to the receiver's buffer,
//   so it waits in the worker and goes over with the next chunk that holds an
//   ETX: one wake of the main thread per frame rather than per character (a
//   tty without a FIFO delivers characters one by one). Chunks never wait
//   longer than kHoldMs, nor beyond kMaxHeldChunks, nor over a close.
//
// - The worker holds no lock while it waits for a hand-over to be done, so
//   OnReceive may call ClosePort, OpenPort and WriteData, and may run a modal
//   dialog in between.
// - A chunk read from a port that has been closed since is dropped when its
//   turn comes (the open/close generation differs): it must not be taken for
//   a reply of the next port.
// - The destructor cancels a posted hand-over and the worker ends at once,
//   also when the main thread never gets round to the queued call; that call
//   is removed with this object, and a hand-over whose OnReceive ended this
//   object sees the cancellation and touches nothing more.
//
// Port access
// -----------
// The worker waits and reads under portMutex_; the main thread hands it the
// open device, takes it back, closes it and counts its input queue under it
// (TPortLock), waking the worker out of poll() through the eventfd and going
// ahead of its next pass. A device is opened while the worker has none, so
// an open needs no lock (a slow one runs away from the main thread,
// open_away.h). WriteData runs on the main thread without the lock: the
// device is closed only by the main thread, and a tty, a socket and the
// adapter take a write during a read. A network device serialises its own
// sending, since a read may answer the server (network_device.h).

struct TPortThread::THandOver {
  THandOver(std::vector<QByteArray> bytes, uint64_t portGeneration)
      : chunks(std::move(bytes)), generation(portGeneration) {}

  const std::vector<QByteArray> chunks;
  const uint64_t generation;
  std::atomic<bool> cancelled = false;  // the object is being destroyed
};

// Held by the main thread while it changes what the worker reads from.
class TPortThread::TPortLock {
 public:
  explicit TPortLock(TPortThread &port) : port_(port) {
    {
      std::lock_guard gate(port_.gateMutex_);
      ++port_.mainWaiting_;
    }
    if (port_.worker_.joinable()) {
      port_.wake_.Signal();
    }
    port_.portMutex_.lock();
  }
  ~TPortLock() {
    port_.portMutex_.unlock();
    {
      std::lock_guard gate(port_.gateMutex_);
      --port_.mainWaiting_;
    }
    port_.gateCv_.notify_all();
  }
  TPortLock(const TPortLock &) = delete;
  TPortLock &operator=(const TPortLock &) = delete;

 private:
  TPortThread &port_;
};

namespace {

constexpr size_t kLargestChunk = 64 * 1024;
constexpr char kFrameEnd = 0x03;
// How long, and how many, chunks without a frame end wait in the worker.
constexpr int kHoldMs = 10;
#ifdef SORVANEL_BLIND_POLL_BASELINE
constexpr size_t kMaxHeldChunks = 1;  // the first design handed over every read
#else
constexpr size_t kMaxHeldChunks = 256;
#endif
// A tty that keeps waking the worker without delivering a byte is given up
// like a hung-up one (the watchdog then reports no communication).
constexpr int kEmptyWakesBeforeGivingUp = 100;

// The worker should beat ordinary threads to the CPU when bytes arrive. The
// lowest real-time priority does that without competing with the kernel's
// own real-time threads; without the privilege the call fails and the worker
// keeps the normal priority, which is enough since it blocks in poll().
void RaiseWorkerPriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

#ifdef SORVANEL_BLIND_POLL_BASELINE
// Comparison baseline for the benchmarks (CMake option
// SORVANEL_BLIND_POLL_BASELINE, off by default; never the shipped program):
// the worker's first design, which sleeps a blind 1 ms per pass and then reads
// what the input queue count reports, instead of waiting in poll() on the
// device's descriptor. The eventfd still ends the sleep early, so a close is
// not held up.
constexpr int kBlindSleepMs = 1;
#endif

}  // namespace

TPortThread::TPortThread(std::unique_ptr<TUsbDevice> usb, TPortSources sources,
                         std::unique_ptr<TSerialDevice> tty, QObject *parent)
    : QObject(parent), devices_(std::move(usb), std::move(tty), std::move(sources)) {}

TPortThread::~TPortThread() {
  StopWorker();
  // The owner closes the port first; one still open is closed here, so the
  // tty gets its settings back and the adapter goes back to the system.
  if (connected_) {
    (void)device_->Close();
  }
}

bool TPortThread::OpenPort() {
  if (connected_) {
    return true;
  }
  TPortDevice &device = devices_.Choose(portName_);
  const TOpenFailure failure = OpenDevice(device);
  if (failure.Failed()) {
    lastFailure_ = failure;
    if (showOpenErrors_) {
      ShowOpenFailure(failure);
    }
    return false;
  }
  TakeDevice(device);
  ++openCount_;
  StartWorker();
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
  opening_ = true;
  const TOpenFailure failure = OpenAway([&] { return device.Open(line); });
  opening_ = false;
  return failure;
}

void TPortThread::TakeDevice(TPortDevice &device) {
  TPortLock lock(*this);
  device_ = &device;
  polled_ = &device;
  ++generation_;
  lineLost_ = false;
  emptyWakes_ = 0;
  connected_ = true;
}

void TPortThread::Report(TPortEvent event) {
  if (observer_ != nullptr) {
    observer_->PortChanged(event == TPortEvent::Opened ? openedAt_ : TLinkClock::now(), event,
                           portName_);
  }
}

TOpenFailure TPortThread::TryNetworkPort(const QString &url) {
  return ::TryNetworkPort(url);
}

bool TPortThread::IsNetworkPort(const QString &name) const {
  return devices_.IsNetworkPort(name);
}

bool TPortThread::ClosePort() {
  if (!connected_) {
    return true;
  }
  if (lineLost_) {
    Report(TPortEvent::Lost);  // the main thread learns of it here at the latest
  }
  TPortLock lock(*this);
  if (!device_->Close()) {
    return false;  // an adapter that refuses stays open and is still read
  }
  device_ = nullptr;
  polled_ = nullptr;
  ++generation_;
  lineLost_ = false;
  connected_ = false;
  Report(TPortEvent::Closed);
  return true;
}

template <typename T>
void TPortThread::StoreAndReopen(T &field, const T &value) {
  if (!connected_) {
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
  pollInterval_ = ms;
}
void TPortThread::SetShowOpenErrors(bool show) {
  showOpenErrors_ = show;
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
  if (!connected_) {
    return false;
  }
  return device_->Write(bytes, length,
                        static_cast<int>(kWriteTimeoutMs + kWriteTimeoutPerByteMs * length));
}

uint32_t TPortThread::GetInQueueCount() {
  if (!connected_) {
    return 0;
  }
  TPortLock lock(*this);
  return device_->InQueueCount();
}

QStringList TPortThread::ListPorts(bool withSeparator) {
  return devices_.ListPorts(withSeparator);
}

bool TPortThread::HandOverPending() const {
  std::lock_guard lock(handOverMutex_);
  return pendingHandOver_ != nullptr;
}

void TPortThread::StartWorker() {
  if (!worker_.joinable()) {
    worker_ = std::thread([this] { WorkerLoop(); });
  }
}

void TPortThread::StopWorker() {
  {
    std::lock_guard gate(gateMutex_);
    stopping_ = true;
  }
  gateCv_.notify_all();
  {
    std::lock_guard lock(handOverMutex_);
    if (pendingHandOver_) {
      pendingHandOver_->cancelled = true;
    }
  }
  handOverDone_.notify_all();
  wake_.Signal();
  if (worker_.joinable()) {
    worker_.join();
  }
}

void TPortThread::WorkerLoop() {
  RaiseWorkerPriority();
  std::vector<QByteArray> held;
  uint64_t heldGeneration = 0;
  while (WaitForMainThread()) {
    QByteArray chunk;
    uint64_t generation = 0;
    {
      std::lock_guard lock(portMutex_);
      ++workerPasses_;
      chunk = WaitAndRead(held.empty() ? -1 : kHoldMs);
      generation = generation_;
    }
    if (!held.empty() && generation != heldGeneration) {
      held.clear();  // read from a port closed since: never delivered
    }
    const bool endsFrame = chunk.contains(kFrameEnd);
    // An empty pass (time-out, the main thread's call) sends what waits.
    const bool emptyPass = chunk.isEmpty();
    if (!emptyPass) {
      held.push_back(std::move(chunk));
      heldGeneration = generation;
    }
    if (!held.empty() && (endsFrame || emptyPass || held.size() >= kMaxHeldChunks)) {
      HandOver(std::exchange(held, {}), heldGeneration);
    }
  }
}

// Lets a waiting main thread take the port first; false once stopping.
bool TPortThread::WaitForMainThread() {
  std::unique_lock gate(gateMutex_);
  gateCv_.wait(gate, [this] { return mainWaiting_ == 0 || stopping_; });
  return !stopping_;
}

// One pass: waits until bytes arrive or the main thread calls, and returns
// what was read. With no device (or a lost one) it waits for the eventfd
// alone.
QByteArray TPortThread::WaitAndRead(int timeoutMs) {
  TPortDevice *device = lineLost_ ? nullptr : polled_;
  if (device == nullptr) {
    WaitForWake(timeoutMs);
    return QByteArray();
  }
  const TDeviceWait wait = device->Wait();
#ifdef SORVANEL_BLIND_POLL_BASELINE
  if (wait.fd >= 0) {
    if (WaitForWake(kBlindSleepMs) || device->InQueueCount() == 0) {
      return QByteArray();
    }
    return Read(*device, false);
  }
#endif
  if (wait.fd < 0) {
    // No descriptor: looked at after each poll interval.
    const int interval = static_cast<int>(std::clamp<uint32_t>(pollInterval_, 1, 60000));
    return WaitForWake(interval) ? QByteArray() : Read(*device, false);
  }
  pollfd fds[2] = {{wake_.Fd(), POLLIN, 0}, {wait.fd, wait.events, 0}};
  if (poll(fds, 2, wait.buffered ? 0 : timeoutMs) < 0) {
    return QByteArray();  // EINTR: the next pass waits again
  }
  if (fds[0].revents != 0) {
    wake_.Drain();
  }
  const bool woken = (fds[1].revents & wait.events) != 0;
  QByteArray chunk;
  if (woken || wait.buffered) {
    chunk = Read(*device, woken && !wait.buffered);
  }
  if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    lineLost_ = true;  // no spinning on a hung-up line: wait for a close
  }
  return chunk;
}

bool TPortThread::WaitForWake(int timeoutMs) {
  pollfd wake{wake_.Fd(), POLLIN, 0};
  if (poll(&wake, 1, timeoutMs) == 0) {
    return false;
  }
  wake_.Drain();
  return true;
}

QByteArray TPortThread::Read(TPortDevice &device, bool woken) {
  const TPortDevice::TReadResult got = device.Read(readBuffer_, kLargestChunk);
  switch (got.state) {
    case TPortDevice::TReadState::Data:
      emptyWakes_ = 0;
      return QByteArray(reinterpret_cast<const char *>(readBuffer_.data()),
                        static_cast<qsizetype>(got.count));
    case TPortDevice::TReadState::NothingWaiting:
      if (woken && ++emptyWakes_ >= kEmptyWakesBeforeGivingUp) {
        lineLost_ = true;
      }
      return QByteArray();
    case TPortDevice::TReadState::HungUp:
      lineLost_ = true;  // the device is gone: wait for a close
      return QByteArray();
  }
  return QByteArray();
}

void TPortThread::HandOver(std::vector<QByteArray> chunks, uint64_t generation) {
  auto handOver = std::make_shared<THandOver>(std::move(chunks), generation);
  {
    std::unique_lock lock(handOverMutex_);
    workerWaiting_ = true;
    handOverDone_.wait(lock, [this] { return pendingHandOver_ == nullptr || stopping_; });
    workerWaiting_ = false;
    if (stopping_) {
      return;
    }
    pendingHandOver_ = handOver;
  }
  QMetaObject::invokeMethod(
      this, [this, handOver] { Deliver(handOver); }, Qt::QueuedConnection);
}

void TPortThread::Deliver(const std::shared_ptr<THandOver> &handOver) {
  if (handOver->cancelled) {
    return;
  }
  for (const QByteArray &chunk : handOver->chunks) {
    if (handOver->generation != generation_ || !OnReceive) {
      break;  // the port was closed meanwhile, maybe by OnReceive itself
    }
    const TReceiveHandler receiver = OnReceive;  // OnReceive may replace itself
    receiver(chunk);
    if (handOver->cancelled) {
      return;  // OnReceive ended this object: touch nothing more
    }
  }
  bool workerWaiting = false;
  {
    std::lock_guard lock(handOverMutex_);
    pendingHandOver_.reset();
    workerWaiting = workerWaiting_;
  }
  if (workerWaiting) {
    handOverDone_.notify_one();
  }
}
