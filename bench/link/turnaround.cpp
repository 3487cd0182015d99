// Reply turnaround of the link: a converter played on a pseudo-terminal sends
// 22-character frames at the pace of a 19200-baud line, with random gaps; the
// program's side answers each ETX at once with a 22-byte frame. Measured: ETX
// sent -> first answer byte received, over many messages; then the CPU the
// process uses with the port open and no traffic.
//
// Two readers: "poll" (TPortThread: the worker waits in poll()) and "sleep"
// (a worker that sleeps a blind 1 ms per pass, for comparison).
//
//   link_turnaround [--messages N] [--idle-seconds S] [--variant poll|sleep|both]
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "baseline_port_reader.h"
#include "percentile.h"
#include "port_thread.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kFrameLength = 22;
constexpr auto kByteTime = std::chrono::nanoseconds(10'000'000'000LL / 19200);  // 10 bits

struct TOptions {
  int messages = 2000;
  int idleSeconds = 10;
  std::string variant = "both";
};

struct TResult {
  std::vector<double> turnaroundMs;
  int unanswered = 0;
  double idleCpuPercent = 0;
};

QByteArray MakeFrame(char filler) {
  QByteArray frame(kFrameLength, filler);
  frame[0] = '\x02';
  frame[kFrameLength - 1] = '\x03';
  return frame;
}

// CPU time of every thread of this process, in nanoseconds.
uint64_t ProcessCpuNs() {
  uint64_t total = 0;
  const QDir tasks(QStringLiteral("/proc/self/task"));
  for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    std::ifstream stat(("/proc/self/task/" + task + "/schedstat").toStdString());
    uint64_t runNs = 0;
    if (stat >> runNs) {
      total += runNs;
    }
  }
  return total;
}

void SleepUntil(TClock::time_point when) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
  timespec at{static_cast<time_t>(ns.count() / 1'000'000'000),
              static_cast<long>(ns.count() % 1'000'000'000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

// The converter: frames at line pace, waits for each answer, random gaps.
void PlayConverter(int master, int messages, TResult &result) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> gapUs(2000, 10000);
  const QByteArray frame = MakeFrame('5');
  for (int i = 0; i < messages; ++i) {
    TClock::time_point next = TClock::now();
    for (char byte : frame) {
      SleepUntil(next);
      while (write(master, &byte, 1) != 1) {
      }
      next += kByteTime;
    }
    const TClock::time_point sent = TClock::now();
    pollfd answer{master, POLLIN, 0};
    if (poll(&answer, 1, 1000) <= 0) {
      ++result.unanswered;
      continue;
    }
    const TClock::time_point first = TClock::now();
    result.turnaroundMs.push_back(std::chrono::duration<double, std::milli>(first - sent).count());
    int got = 0;
    char buffer[256];
    while (got < kFrameLength && poll(&answer, 1, 200) > 0) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      got += n > 0 ? static_cast<int>(n) : 0;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
  }
}

// Runs 'variant' with its reader answering each ETX; returns the numbers.
TResult RunVariant(QCoreApplication &app, const std::string &variant, const TOptions &options) {
  int master = -1;
  int slave = -1;
  char slaveName[256] = {};
  if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
    std::perror("openpty");
    std::exit(1);
  }
  termios raw{};
  tcgetattr(master, &raw);
  cfmakeraw(&raw);
  tcsetattr(master, TCSANOW, &raw);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  QTemporaryDir folder;
  QDir(folder.path()).mkpath(QStringLiteral("ports"));
  QFile::link(QString::fromLocal8Bit(slaveName), folder.path() + QStringLiteral("/ports/BENCH"));
  TPortSources sources;
  sources.portMapFolder = folder.path() + QStringLiteral("/ports");

  const QByteArray answer = MakeFrame('A');
  const auto *answerBytes = reinterpret_cast<const uint8_t *>(answer.constData());
  std::unique_ptr<TPortThread> port;
  std::unique_ptr<TBaselinePortReader> baseline;
  if (variant == "poll") {
    port = std::make_unique<TPortThread>(std::make_unique<TFtdiUsbDevice>(), sources);
    port->ConfigureLine(QStringLiteral("BENCH"));
    port->OnReceive = [&](const QByteArray &chunk) {
      for (int i = 0; i < chunk.count('\x03'); ++i) {
        port->WriteData(answerBytes, kFrameLength);
      }
    };
    if (!port->Connected()) {
      std::fprintf(stderr, "port did not open\n");
      std::exit(1);
    }
  } else {
    baseline = std::make_unique<TBaselinePortReader>();
    baseline->OnReceive = [&](const QByteArray &chunk) {
      for (int i = 0; i < chunk.count('\x03'); ++i) {
        baseline->WriteData(answerBytes, kFrameLength);
      }
    };
    if (!baseline->Open(QString::fromLocal8Bit(slaveName))) {
      std::fprintf(stderr, "port did not open\n");
      std::exit(1);
    }
  }

  TResult result;
  std::thread converter([&] {
    PlayConverter(master, options.messages, result);
    const auto quit = [] { QCoreApplication::quit(); };
    QMetaObject::invokeMethod(&app, quit, Qt::QueuedConnection);
  });
  app.exec();
  converter.join();

  const uint64_t before = ProcessCpuNs();
  QTimer::singleShot(options.idleSeconds * 1000, &app, [] { QCoreApplication::quit(); });
  app.exec();
  const uint64_t used = ProcessCpuNs() - before;
  result.idleCpuPercent = 100.0 * static_cast<double>(used) / (options.idleSeconds * 1e9);

  port.reset();
  baseline.reset();
  close(master);
  close(slave);
  return result;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  return values[PercentileRank(fraction, values.size()) - 1];
}

TOptions ParseOptions(int argc, char **argv) {
  TOptions options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--messages") {
      options.messages = std::max(1, std::atoi(argv[i + 1]));
    } else if (name == "--idle-seconds") {
      options.idleSeconds = std::max(1, std::atoi(argv[i + 1]));
    } else if (name == "--variant") {
      options.variant = argv[i + 1];
    }
  }
  return options;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const TOptions options = ParseOptions(argc, argv);
  std::vector<std::string> variants;
  if (options.variant == "both") {
    variants = {"poll", "sleep"};
  } else {
    variants = {options.variant};
  }
  std::printf("%-6s %8s %9s %9s %9s %10s %12s\n", "reader", "messages", "p50 ms", "p99 ms",
              "max ms", "unanswered", "idle %core");
  for (const std::string &variant : variants) {
    const TResult result = RunVariant(app, variant, options);
    std::printf("%-6s %8zu %9.3f %9.3f %9.3f %10d %12.3f\n", variant.c_str(),
                result.turnaroundMs.size(), Percentile(result.turnaroundMs, 0.50),
                Percentile(result.turnaroundMs, 0.99), Percentile(result.turnaroundMs, 1.0),
                result.unanswered, result.idleCpuPercent);
    std::fflush(stdout);
  }
  return 0;
}
