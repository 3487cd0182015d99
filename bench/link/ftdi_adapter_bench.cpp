// USB1 on the emulated FT232R (tests/support/emulated_ftdi_chip.h), in one
// run: the adapter as first read (libftdi's synchronous read after each 1 ms
// poll interval, 2 ms latency timer), the asynchronous reader the program
// ships (event character, long latency timer), and the same port on a
// pseudo-terminal. Per kind: idle USB transfers and process CPU on a silent
// line; then back-to-back messages (frame in, answer out): transfers and CPU
// a second, the time from the last byte's arrival at the chip to the frame's
// arrival in the program, and the turnaround to the answer.
//
//   build/link_ftdi_adapter_bench [messages]
//
// The pseudo-terminal is measured in this process; the USB kinds in a child
// under umockdev-wrapper, with the emulator in that child. CPU is the
// program's alone: the threads of the emulator (umockdev's and the chip's)
// and of the played converter are left out, though the program's ioctls
// still pay for the trip over umockdev's socket.
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "emulated_ftdi_chip.h"
#include "polling_ftdi_usb_device.h"
#include "port_thread.h"
#include "pty_line.h"

namespace {

using TClock = std::chrono::steady_clock;

// Threads that are not the program's: the emulator's and the converter's.
std::mutex g_othersMutex;
std::set<pid_t> g_others;

void CountAsOthers(pid_t thread) {
  const std::lock_guard lock(g_othersMutex);
  g_others.insert(thread);
}

// Every thread of this process but the main one, from now on not the program's.
void CountRunningThreadsAsOthers() {
  for (const QString &task :
       QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (const pid_t thread = task.toInt(); thread != gettid()) {
      CountAsOthers(thread);
    }
  }
}

// Processor time of the program's threads, from the scheduler's nanosecond
// count of each.
double CpuSeconds() {
  const std::lock_guard lock(g_othersMutex);
  double seconds = 0;
  for (const QString &task :
       QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (g_others.count(task.toInt()) != 0) {
      continue;
    }
    QFile schedstat(QStringLiteral("/proc/self/task/%1/schedstat").arg(task));
    if (schedstat.open(QIODevice::ReadOnly)) {
      seconds += schedstat.readAll().split(' ').value(0).toDouble() / 1e9;
    }
  }
  return seconds;
}

void RunEventLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

struct TFigures {
  double idleTransfers = 0, idleCpu = 0;
  // Busy: the converter sends the next frame as soon as the answer is in,
  // so the rate is each kind's own; the costs are given per message.
  double busyTransfers = 0, busyCpu = 0;  // per message: transfers, microseconds
  double busyRate = 0;                    // messages a second
  double arrivalP50 = 0, arrivalP99 = 0, turnP50 = 0, turnP99 = 0;
  int answered = 0;
};

// 'chip' null: the pty path (no USB transfers to count).
TFigures Measure(TPortThread &port, const QString &name, TPtyLine &line,
                 const TEmulatedFtdiChip *chip, int messages) {
  TFigures figures;
  std::atomic<int64_t> sentAt{0};
  std::vector<double> arrivals;
  QByteArray pending;
  const QByteArray answer("\x02K\x01\x02\x03\x04\x05\x06\x07\x03", 10);
  port.OnReceive = [&](const QByteArray &chunk) {
    pending += chunk;
    if (pending.contains('\x03')) {
      arrivals.push_back(
          static_cast<double>(TClock::now().time_since_epoch().count() - sentAt.load()) / 1e6);
      pending.clear();
      port.WriteData(reinterpret_cast<const uint8_t *>(answer.constData()),
                     static_cast<uint16_t>(answer.size()));
    }
  };
  port.SetPortName(name);
  if (!port.OpenPort()) {
    std::fprintf(stderr, "%s did not open: kind %d, error %d\n", qPrintable(name),
                 static_cast<int>(port.LastOpenFailure().kind), port.LastOpenFailure().systemError);
    return figures;
  }
  RunEventLoop(500);
  const auto transfers = [&] { return chip != nullptr ? chip->Counts().inTransfers : 0; };

  constexpr int kIdleMs = 3000;
  uint64_t before = transfers();
  double cpu = CpuSeconds();
  RunEventLoop(kIdleMs);
  figures.idleTransfers = static_cast<double>(transfers() - before) * 1000.0 / kIdleMs;
  figures.idleCpu = (CpuSeconds() - cpu) * 100.0 * 1000.0 / kIdleMs;

  // The converter: a frame, then wait for the answer, back to back.
  std::vector<double> turns;
  std::atomic<bool> done{false};
  QByteArray frame(1, '\x02');
  frame.append(QByteArray(18, 'A'));
  frame.append('\x03');
  before = transfers();
  cpu = CpuSeconds();
  const auto started = TClock::now();
  std::thread converter([&] {
    CountAsOthers(gettid());
    for (int i = 0; i < messages; ++i) {
      const auto at = TClock::now();
      sentAt = at.time_since_epoch().count();
      line.Send(frame);
      QByteArray got;
      while (!got.contains('\x03')) {
        const QByteArray more = line.Received(1000);
        if (more.isEmpty()) {
          break;
        }
        got += more;
      }
      if (got.contains('\x03')) {
        turns.push_back(std::chrono::duration<double, std::milli>(TClock::now() - at).count());
      }
    }
    done = true;
  });
  while (!done) {
    RunEventLoop(20);
  }
  converter.join();
  const double seconds = std::chrono::duration<double>(TClock::now() - started).count();
  figures.answered = static_cast<int>(turns.size());
  const double answered = std::max(figures.answered, 1);
  figures.busyTransfers = static_cast<double>(transfers() - before) / answered;
  figures.busyCpu = (CpuSeconds() - cpu) * 1e6 / answered;
  figures.busyRate = figures.answered / seconds;
  figures.arrivalP50 = Percentile(arrivals, 0.5);
  figures.arrivalP99 = Percentile(arrivals, 0.99);
  figures.turnP50 = Percentile(turns, 0.5);
  figures.turnP99 = Percentile(turns, 0.99);
  port.ClosePort();
  port.OnReceive = nullptr;
  return figures;
}

// The shipped adapter with another latency timer, to choose it by.
class TLatencyChoice : public TUsbDevice {
 public:
  explicit TLatencyChoice(uint8_t ms) : ms_(ms) {}
  TUsbStatus CountDevices(uint32_t &count) override { return usb_->CountDevices(count); }
  TUsbStatus Open(uint8_t index) override { return usb_->Open(index); }
  TUsbStatus SetBaudRate(uint32_t baud) override { return usb_->SetBaudRate(baud); }
  TUsbStatus SetDataCharacteristics(uint8_t w, uint8_t s, uint8_t p) override {
    return usb_->SetDataCharacteristics(w, s, p);
  }
  TUsbStatus SetTimeouts(uint32_t r, uint32_t w) override { return usb_->SetTimeouts(r, w); }
  TUsbStatus SetLatencyTimer(uint8_t) override { return usb_->SetLatencyTimer(ms_); }
  TUsbStatus SetEventCharacter(uint8_t c) override { return usb_->SetEventCharacter(c); }
  TUsbStatus GetQueueStatus(uint32_t &waiting) override { return usb_->GetQueueStatus(waiting); }
  TUsbStatus Read(uint8_t *b, uint32_t c, uint32_t &r) override { return usb_->Read(b, c, r); }
  TUsbStatus Write(const uint8_t *b, uint32_t l, uint32_t &w, int t) override {
    return usb_->Write(b, l, w, t);
  }
  TUsbStatus Close() override { return usb_->Close(); }
  int WaitFd() const override { return usb_->WaitFd(); }
  uint64_t PacketsHeard() const override { return usb_->PacketsHeard(); }

 private:
  const uint8_t ms_;
  std::unique_ptr<TUsbDevice> usb_ = MakeFtdiUsbDevice();
};

void Print(const char *kind, const TFigures &f) {
  std::printf(
      "%-28s idle: %6.1f transfers/s %5.2f %% CPU | busy: %6.0f messages/s, %4.1f transfers "
      "and %5.0f us CPU a message | arrival p50 %.2f p99 %.2f ms | turnaround p50 %.2f p99 "
      "%.2f ms | answered %d\n",
      kind, f.idleTransfers, f.idleCpu, f.busyRate, f.busyTransfers, f.busyCpu, f.arrivalP50,
      f.arrivalP99, f.turnP50, f.turnP99, f.answered);
}

// One line of figures for the parent to read back.
void Emit(const char *kind, const TFigures &f) {
  std::printf("FIGURES %s %f %f %f %f %f %f %f %f %d %f\n", kind, f.idleTransfers, f.idleCpu,
              f.busyTransfers, f.busyCpu, f.arrivalP50, f.arrivalP99, f.turnP50, f.turnP99,
              f.answered, f.busyRate);
}

TFigures Parse(const QByteArray &line) {
  const QList<QByteArray> v = line.split(' ');
  TFigures f;
  if (v.size() >= 12) {
    f.idleTransfers = v[2].toDouble();
    f.idleCpu = v[3].toDouble();
    f.busyTransfers = v[4].toDouble();
    f.busyCpu = v[5].toDouble();
    f.arrivalP50 = v[6].toDouble();
    f.arrivalP99 = v[7].toDouble();
    f.turnP50 = v[8].toDouble();
    f.turnP99 = v[9].toDouble();
    f.answered = v[10].toInt();
    f.busyRate = v[11].trimmed().toDouble();
  }
  return f;
}

// Under umockdev's preload (the child): the USB kinds.
int MeasureUsb(int messages) {
  TPtyLine usbLine;
  TEmulatedUsbBus bus;
  auto chip = bus.Plug(1, "A10K0001", usbLine.Slave());
  CountRunningThreadsAsOthers();
  TTemporaryPortMap map;
  for (const int ms : {16, 64, 128}) {
    TPortThread port(std::make_unique<TLatencyChoice>(static_cast<uint8_t>(ms)), map.Sources());
    const TFigures f = Measure(port, QStringLiteral("USB1"), usbLine, chip.get(), 50);
    std::printf("latency timer %3d ms: idle %6.1f transfers/s %5.2f %% CPU, arrival p50 %.2f ms\n",
                ms, f.idleTransfers, f.idleCpu, f.arrivalP50);
  }
  {
    TPortThread port(std::make_unique<TPollingFtdiUsbDevice>(), map.Sources());
    Emit("polling", Measure(port, QStringLiteral("USB1"), usbLine, chip.get(), messages));
  }
  {
    TPortThread port(MakeFtdiUsbDevice(), map.Sources());
    Emit("waiting", Measure(port, QStringLiteral("USB1"), usbLine, chip.get(), messages));
  }
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  const int messages = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
  if (argc > 2 && std::strcmp(argv[2], "usb") == 0) {
    return MeasureUsb(messages);
  }
  // The pseudo-terminal here, without the preload; the USB kinds in a child
  // under it.
  TFigures tty;
  {
    TPtyLine ttyLine;
    TTemporaryPortMap map;
    map.Register(QStringLiteral("COM7"), ttyLine.SlavePath());
    TPortThread port(MakeFtdiUsbDevice(), map.Sources());
    tty = Measure(port, QStringLiteral("COM7"), ttyLine, nullptr, messages);
  }
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  // A sanitized build: its runtime need not come first in the preload.
  environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
  child.setProcessEnvironment(environment);
  child.start(
      QStringLiteral("umockdev-wrapper"),
      {QCoreApplication::applicationFilePath(), QString::number(messages), QStringLiteral("usb")});
  child.waitForFinished(600000);
  TFigures polling;
  TFigures waiting;
  for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
    if (line.startsWith("FIGURES polling")) {
      polling = Parse(line);
    } else if (line.startsWith("FIGURES waiting")) {
      waiting = Parse(line);
    } else if (!line.isEmpty()) {
      std::printf("%s\n", line.constData());
    }
  }
  Print("USB1 polling (2 ms, before)", polling);
  Print("USB1 waiting (after)", waiting);
  Print("pseudo-terminal", tty);
  std::printf(
      "ratios after/before: idle transfers %.3f, idle CPU %.3f, CPU a message %.3f, "
      "turnaround p50 %.2f p99 %.2f; after/pty: turnaround p50 %.2f p99 %.2f, "
      "idle CPU %.2f, CPU a message %.2f\n",
      waiting.idleTransfers / std::max(polling.idleTransfers, 1e-9),
      waiting.idleCpu / std::max(polling.idleCpu, 1e-9),
      waiting.busyCpu / std::max(polling.busyCpu, 1e-9),
      waiting.turnP50 / std::max(polling.turnP50, 1e-9),
      waiting.turnP99 / std::max(polling.turnP99, 1e-9),
      waiting.turnP50 / std::max(tty.turnP50, 1e-9), waiting.turnP99 / std::max(tty.turnP99, 1e-9),
      waiting.idleCpu / std::max(tty.idleCpu, 1e-9), waiting.busyCpu / std::max(tty.busyCpu, 1e-9));
  return 0;
}
