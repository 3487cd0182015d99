#include "port_worker.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <utility>

#include "frame_bytes.h"

// Hand-over of received bytes
// ---------------------------
// This is the one place where data crosses between the threads. The worker
// reads chunks and posts them, as one THandOver, in a queued call to this
// object on the main thread, which runs the receiver (the port's OnReceive)
// with each of them. One hand-over is out at a time: the worker posts the
// next only when the main thread has finished the previous one. So chunks
// reach the receiver one call per chunk, in the order read, always on the
// main thread, and never while an earlier call is still running (also when
// it runs a modal dialog).
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
//   the receiver may close and open the port and write, and may run a modal
//   dialog in between.
// - A chunk read from a device that has been taken away since is dropped
//   when its turn comes (the generation differs): it must not be taken for a
//   reply of the next port.
// - Stopping cancels a posted hand-over and the worker ends at once, also
//   when the main thread never gets round to the queued call; that call is
//   removed with this object, and a hand-over whose receiver ended this
//   object (the port and its worker with it) sees the cancellation and
//   touches nothing more.
//
// Device access
// -------------
// The worker waits and reads under portMutex_; the main thread hands it a
// device, takes it back, closes it and counts its input queue under it
// (TPause), waking the worker out of poll() through the eventfd and going
// ahead of its next pass: a waiting main thread is counted in mainWaiting_,
// and the worker starts no pass while it is not 0. The port opens a device
// while the worker has none, so an open needs no lock; it writes on the main
// thread without the lock: a device is closed only by the main thread, and a
// tty, a socket and the adapter take a write during a read (a device whose
// read may also send serialises its own sending, port_device.h).

struct TPortWorker::THandOver {
  THandOver(std::vector<QByteArray> bytes, uint64_t deviceGeneration)
      : chunks(std::move(bytes)), generation(deviceGeneration) {}

  const std::vector<QByteArray> chunks;
  const uint64_t generation;
  std::atomic<bool> cancelled = false;  // the worker is being stopped
};

namespace {

constexpr size_t kLargestChunk = 64 * 1024;
// How long, and how many, chunks without a frame end wait in the worker.
constexpr int kHoldMs = 10;
#ifdef SORVANEL_BLIND_POLL_BASELINE
constexpr size_t kMaxHeldChunks = 1;  // the first design handed over every read
#else
constexpr size_t kMaxHeldChunks = 256;
#endif
// A descriptor that keeps waking the worker without delivering a byte is
// given up like a hung-up one (the watchdog then reports no communication).
constexpr int kEmptyWakesBeforeGivingUp = 100;

#ifdef SORVANEL_BLIND_POLL_BASELINE
// Comparison baseline for the benchmarks (CMake option
// SORVANEL_BLIND_POLL_BASELINE, off by default; never the shipped program):
// the worker's first design, which sleeps a blind 1 ms per pass and then reads
// what the input queue count reports, instead of waiting in poll() on the
// device's descriptor. The eventfd still ends the sleep early, so a close is
// not held up.
constexpr int kBlindSleepMs = 1;
#endif

// The worker should beat ordinary threads to the CPU when bytes arrive. The
// lowest real-time priority does that without competing with the kernel's
// own real-time threads; without the privilege the call fails and the worker
// keeps the normal priority, which is enough since it blocks in poll().
void RaiseWorkerPriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace

TPortWorker::TPause::TPause(TPortWorker &worker) : worker_(worker) {
  ++worker_.mainWaiting_;
  if (worker_.thread_.joinable()) {
    worker_.wake_.Signal();
  }
  worker_.portMutex_.lock();
}

TPortWorker::TPause::~TPause() {
  // Counted down under the lock, where the worker looks at it.
  --worker_.mainWaiting_;
  worker_.portMutex_.unlock();
  worker_.mainDone_.notify_all();
}

TPortWorker::TPortWorker(const TReceiveHandler &receiver) : receiver_(receiver) {}

TPortWorker::~TPortWorker() {
  Stop();
}

void TPortWorker::SetDevice(TPortDevice *device) {
  device_ = device;
  ++generation_;
  lineLost_ = false;
  emptyWakes_ = 0;
}

bool TPortWorker::HandOverPending() const {
  std::lock_guard lock(handOverMutex_);
  return pendingHandOver_ != nullptr;
}

void TPortWorker::Start() {
  if (!thread_.joinable()) {
    thread_ = std::thread([this] { Loop(); });
  }
}

void TPortWorker::Stop() {
  stopping_ = true;
  {
    std::lock_guard lock(handOverMutex_);
    if (pendingHandOver_) {
      pendingHandOver_->cancelled = true;
    }
  }
  handOverDone_.notify_all();
  wake_.Signal();
  {
    std::lock_guard lock(portMutex_);  // a worker about to wait sees stopping_
  }
  mainDone_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void TPortWorker::Loop() {
  RaiseWorkerPriority();
  std::vector<QByteArray> held;
  uint64_t heldGeneration = 0;
  for (;;) {
    QByteArray chunk;
    uint64_t generation = 0;
    {
      std::unique_lock lock(portMutex_);
      // A waiting main thread takes the device first.
      mainDone_.wait(lock, [this] { return mainWaiting_ == 0 || stopping_; });
      if (stopping_) {
        return;
      }
      ++passes_;
      chunk = WaitAndRead(held.empty() ? -1 : kHoldMs);
      generation = generation_;
    }
    if (!held.empty() && generation != heldGeneration) {
      held.clear();  // read from a device taken away since: never delivered
    }
    const bool endsFrame = chunk.contains(static_cast<char>(kelvo::kEtx));
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

// One pass: waits until bytes arrive or the main thread calls, and returns
// what was read. With no device (or a lost one) it waits for the eventfd
// alone.
QByteArray TPortWorker::WaitAndRead(int timeoutMs) {
  TPortDevice *device = lineLost_ ? nullptr : device_;
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

bool TPortWorker::WaitForWake(int timeoutMs) {
  pollfd wake{wake_.Fd(), POLLIN, 0};
  if (poll(&wake, 1, timeoutMs) == 0) {
    return false;
  }
  wake_.Drain();
  return true;
}

QByteArray TPortWorker::Read(TPortDevice &device, bool woken) {
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

void TPortWorker::HandOver(std::vector<QByteArray> chunks, uint64_t generation) {
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
  const auto deliver = [this, handOver] { Deliver(handOver); };
  QMetaObject::invokeMethod(this, deliver, Qt::QueuedConnection);
}

void TPortWorker::Deliver(const std::shared_ptr<THandOver> &handOver) {
  if (handOver->cancelled) {
    return;
  }
  for (const QByteArray &chunk : handOver->chunks) {
    if (handOver->generation != generation_ || !receiver_) {
      break;  // the device was taken away meanwhile, maybe by the receiver itself
    }
    const TReceiveHandler receiver = receiver_;  // the receiver may replace itself
    receiver(chunk);
    if (handOver->cancelled) {
      return;  // the receiver ended this object: touch nothing more
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
