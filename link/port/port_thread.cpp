#include "port_thread.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <utility>

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
// The worker waits and reads under portMutex_; the main thread opens, closes
// and queries the USB adapter under it (TPortLock), waking the worker out of
// poll() through the eventfd and going ahead of its next pass. WriteData runs
// on the main thread without the lock: the descriptor is closed only by the
// main thread, and a tty (like the adapter) takes a write during a read. A
// network device serialises its own sending, since a read may answer the
// server (network_device.h).
//
// Opening a network port
// ----------------------
// Resolving, connecting and negotiating take up to kNetworkOpenLimit. They
// run on a helper thread while the main thread waits in a local event loop
// that repaints the window but takes no user input and no socket
// notifications, so nothing starts another open meanwhile (the port menu
// skips a timer tick that falls into an open). The helper touches only the
// network device, which the worker does not use while no port is open; the
// main thread takes it over when the helper has ended.

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

const QRegularExpression &UsbNumberPattern() {
  static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,9}$"));
  return pattern;
}

// The worker should beat ordinary threads to the CPU when bytes arrive. The
// lowest real-time priority does that without competing with the kernel's
// own real-time threads; without the privilege the call fails and the worker
// keeps the normal priority, which is enough since it blocks in poll().
void RaiseWorkerPriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

// Runs 'open' on a helper thread and waits for it, letting the window
// repaint (see "Opening a network port" above).
TNetworkOpenResult OpenAway(const std::function<TNetworkOpenResult()> &open) {
  TNetworkOpenResult result;
  QCoreApplication *application = QCoreApplication::instance();
  if (application == nullptr || QThread::currentThread() != application->thread()) {
    return open();
  }
  QEventLoop loop;
  std::thread helper([&] {
    result = open();
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
  helper.join();
  return result;
}

#ifdef SORVANEL_BLIND_POLL_BASELINE
// Comparison baseline for the benchmarks (CMake option
// SORVANEL_BLIND_POLL_BASELINE, off by default; never the shipped program):
// the worker's first design, which sleeps a blind 1 ms per pass and then reads
// what FIONREAD reports, instead of waiting in poll() on the tty. The eventfd
// still ends the sleep early, so a close is not held up.
QByteArray BlindSleepAndRead(TWakeEvent &wake, TSerialDevice &serial,
                             std::vector<uint8_t> &buffer) {
  pollfd wakeOnly{wake.Fd(), POLLIN, 0};
  if (poll(&wakeOnly, 1, 1) != 0) {
    wake.Drain();
    return QByteArray();
  }
  const size_t waiting = std::min<size_t>(serial.InQueueCount(), kLargestChunk);
  if (waiting == 0) {
    return QByteArray();
  }
  buffer.resize(waiting);
  const TSerialDevice::TReadResult got = serial.ReadAvailable(buffer.data(), waiting);
  if (got.state != TSerialDevice::TReadState::Data) {
    return QByteArray();
  }
  return QByteArray(reinterpret_cast<const char *>(buffer.data()),
                    static_cast<qsizetype>(got.count));
}
#endif

}  // namespace

TPortThread::TPortThread(std::unique_ptr<TUsbDevice> usb, TPortSources sources,
                         std::unique_ptr<TSerialDevice> tty, QObject *parent)
    : QObject(parent),
      usb_(std::move(usb)),
      sources_(std::move(sources)),
      serial_(std::move(tty)) {}

TPortThread::~TPortThread() {
  StopWorker();
  // The owner closes the port first; one still open is closed here, so the
  // tty gets its settings back and the adapter goes back to the system.
  if (connected_) {
    if (openKind_ == TOpenKind::Usb) {
      usb_->Close();
    } else {
      lineDevice_->Close();
    }
  }
}

void TPortThread::DecidePortKind() {
  isUsb_ = portName_.startsWith(QLatin1String("USB"), Qt::CaseSensitive);
  if (!isUsb_) {
    return;
  }
  // USB1 is adapter 0; a name without a number from 1 to 256 names no adapter
  // (it must not wrap round to another adapter's index).
  const QString number = portName_.mid(3);
  const uint32_t n = UsbNumberPattern().match(number).hasMatch() ? number.toUInt() : 0;
  usbIndexValid_ = n >= 1 && n <= 256;
  usbDeviceIndex_ = usbIndexValid_ ? static_cast<uint8_t>(n - 1) : 0;
}

bool TPortThread::OpenPort() {
  DecidePortKind();
  if (connected_) {
    return true;
  }
  if (isUsb_ ? OpenUsb() : OpenSerial()) {
    ++openCount_;
    StartWorker();
    openedAt_ = TLinkClock::now();
    Report(TPortEvent::Opened);
  }
  return connected_;
}

void TPortThread::Report(TPortEvent event) {
  if (observer_ != nullptr) {
    observer_->PortChanged(event == TPortEvent::Opened ? openedAt_ : TLinkClock::now(), event,
                           portName_);
  }
}

bool TPortThread::OpenUsb() {
  {
    TPortLock lock(*this);
    usbStatus_ = usbIndexValid_ ? usb_->Open(usbDeviceIndex_) : TUsbStatus::DeviceNotFound;
    if (usbStatus_ == TUsbStatus::Ok) {
      // Failures of the setup count for nothing: the adapter is open.
      usb_->SetBaudRate(static_cast<uint32_t>(line_.baudRate));
      usb_->SetDataCharacteristics(line_.byteSize, line_.stopBits, line_.parity);
      usb_->SetTimeouts(kReadTimeoutMs, kWriteTimeoutMs);
      usb_->SetLatencyTimer(kUsbLatencyTimerMs);
      openKind_ = TOpenKind::Usb;
      ++generation_;
      lineLost_ = false;
      connected_ = true;
      return true;
    }
  }
  if (showOpenErrors_) {
    ShowUsbOpenError();
  }
  return false;
}

bool TPortThread::OpenSerial() {
  const QString url = NetworkPortUrl(networkPorts_, portName_);
  if (!url.isEmpty()) {
    return OpenNetwork(url);
  }
  // The worker does not touch the devices while nothing is open.
  const int error = serial_->Open(ResolvePortDevice(sources_, portName_), line_);
  if (error == 0) {
    TakeLineDevice(*serial_);
    return true;
  }
  if (showOpenErrors_) {
    ShowSerialOpenError(error);
  }
  return false;
}

bool TPortThread::OpenNetwork(const QString &url) {
  const std::optional<TNetworkAddress> address = ParseNetworkUrl(url);
  const TLineSettings line = line_;
  opening_ = true;
  const TNetworkOpenResult result =
      address ? OpenAway([&] { return network_.Open(*address, line, kNetworkOpenLimit); })
              : TNetworkOpenResult{TNetworkError::InvalidAddress, 0};
  opening_ = false;
  if (result.ok()) {
    TakeLineDevice(network_);
    return true;
  }
  if (showOpenErrors_ && result.error != TNetworkError::Stopped) {
    ShowNetworkOpenError(result, address ? NetworkAddressText(*address) : url.trimmed());
  }
  return false;
}

void TPortThread::TakeLineDevice(TLineDevice &device) {
  TPortLock lock(*this);
  lineDevice_ = &device;
  openKind_ = TOpenKind::Serial;
  ++generation_;
  lineLost_ = false;
  emptyWakes_ = 0;
  connected_ = true;
}

TNetworkOpenResult TPortThread::TryNetworkPort(const QString &url) {
  const std::optional<TNetworkAddress> address = ParseNetworkUrl(url);
  if (!address) {
    return {TNetworkError::InvalidAddress, 0};
  }
  return OpenAway([&] {
    TNetworkDevice device;
    return device.Open(*address, TLineSettings{}, kNetworkOpenLimit);
  });
}

bool TPortThread::IsNetworkPort(const QString &name) const {
  return !NetworkPortUrl(networkPorts_, name).isEmpty();
}

bool TPortThread::ClosePort() {
  if (!connected_) {
    return true;
  }
  if (lineLost_) {
    Report(TPortEvent::Lost);  // the main thread learns of it here at the latest
  }
  TPortLock lock(*this);
  if (openKind_ == TOpenKind::Usb) {
    usbStatus_ = usb_->Close();
    if (usbStatus_ != TUsbStatus::Ok) {
      return false;  // the adapter is still open and still read
    }
  } else {
    // close() always releases the descriptor, so the port always ends closed.
    lineDevice_->Close();
  }
  openKind_ = TOpenKind::None;
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
  if (openKind_ == TOpenKind::Usb) {
    uint32_t written = 0;
    return usb_->Write(bytes, length, written) == TUsbStatus::Ok && written == length;
  }
  return lineDevice_->Write(bytes, length,
                            static_cast<int>(kWriteTimeoutMs + kWriteTimeoutPerByteMs * length));
}

uint32_t TPortThread::GetInQueueCount() {
  if (!connected_) {
    return 0;
  }
  if (openKind_ == TOpenKind::Serial) {
    return lineDevice_->InQueueCount();
  }
  TPortLock lock(*this);
  uint32_t waiting = 0;
  return usb_->GetQueueStatus(waiting) == TUsbStatus::Ok ? waiting : 0;
}

QStringList TPortThread::ListPorts(bool withSeparator) {
  uint32_t count = 0;
  usbStatus_ = usb_->CountDevices(count);
  const std::optional<uint32_t> usbCount =
      usbStatus_ == TUsbStatus::Ok ? std::optional<uint32_t>(count) : std::nullopt;
  QStringList names = FindSerialPortNames(sources_);
  for (const TNetworkPort &network : networkPorts_) {
    if (IsValidNetworkPortName(network.name)) {
      names.append(network.name);
    }
  }
  return BuildPortList(SortedPortNames(names), usbCount, withSeparator);
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
// what was read. With no port (or a lost one) it waits for the eventfd alone.
QByteArray TPortThread::WaitAndRead(int timeoutMs) {
  const bool polling = openKind_ != TOpenKind::None && !lineLost_;
  if (polling && openKind_ == TOpenKind::Usb) {
    pollfd wake{wake_.Fd(), POLLIN, 0};
    const int interval = static_cast<int>(std::clamp<uint32_t>(pollInterval_, 1, 60000));
    if (poll(&wake, 1, interval) != 0) {
      wake_.Drain();
      return QByteArray();
    }
    return ReadUsb();
  }
#ifdef SORVANEL_BLIND_POLL_BASELINE
  if (polling) {
    return BlindSleepAndRead(wake_, *serial_, readBuffer_);
  }
#endif
  pollfd fds[2] = {{wake_.Fd(), POLLIN, 0}, {polling ? lineDevice_->Fd() : -1, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) < 0) {
    return QByteArray();  // EINTR: the next pass waits again
  }
  if (fds[0].revents != 0) {
    wake_.Drain();
  }
  return polling ? ReadSerial(fds[1].revents) : QByteArray();
}

QByteArray TPortThread::ReadSerial(short events) {
  QByteArray chunk;
  if ((events & POLLIN) != 0) {
    // Read what is waiting; with nothing counted, one byte tells data from end.
    const size_t waiting = std::clamp<size_t>(lineDevice_->InQueueCount(), 1, kLargestChunk);
    readBuffer_.resize(waiting);
    const TLineDevice::TReadResult got = lineDevice_->ReadAvailable(readBuffer_.data(), waiting);
    if (got.state == TSerialDevice::TReadState::Data) {
      chunk = QByteArray(reinterpret_cast<const char *>(readBuffer_.data()),
                         static_cast<qsizetype>(got.count));
      emptyWakes_ = 0;
    } else if (got.state == TSerialDevice::TReadState::HungUp ||
               ++emptyWakes_ >= kEmptyWakesBeforeGivingUp) {
      lineLost_ = true;
    }
  }
  if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    lineLost_ = true;  // no spinning on a hung-up tty: wait for a close
  }
  return chunk;
}

QByteArray TPortThread::ReadUsb() {
  uint32_t waiting = 0;
  if (usb_->GetQueueStatus(waiting) != TUsbStatus::Ok) {
    lineLost_ = true;  // adapter unplugged: wait for a close
    return QByteArray();
  }
  if (waiting == 0) {
    return QByteArray();
  }
  readBuffer_.resize(std::min<size_t>(waiting, kLargestChunk));
  uint32_t got = 0;
  const TUsbStatus status =
      usb_->Read(readBuffer_.data(), static_cast<uint32_t>(readBuffer_.size()), got);
  if (status != TUsbStatus::Ok) {
    lineLost_ = true;
    return QByteArray();
  }
  return QByteArray(reinterpret_cast<const char *>(readBuffer_.data()),
                    static_cast<qsizetype>(std::min<size_t>(got, readBuffer_.size())));
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
