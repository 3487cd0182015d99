// What one hand-over of received bytes costs: a converter played on a
// pseudo-terminal sends 22-character frames, each in one write, 1 ms apart, so
// every frame reaches the program as one chunk and crosses to the main thread
// on its own. The receiver only counts. Measured: CPU time of the main thread
// and of the whole process per hand-over (thread CPU clocks, so waiting and
// other load on the machine count little). For scale, the same for a bare
// thread wake: the main thread waits in poll() on an eventfd that the other
// thread writes, with no event loop and no reply (the machine's floor).
//
//   link_handover_bench [--frames N]
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "fake_usb_device.h"
#include "port_thread.h"
#include "pty_line.h"

namespace {

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

QByteArray Frame() {
  QByteArray frame(22, '0');
  frame[0] = '\x02';
  frame[21] = '\x03';
  return frame;
}

// Main-thread CPU per wake of a thread blocked in poll() on an eventfd.
double BareWakeMicroseconds(int wakes) {
  const int event = eventfd(0, EFD_NONBLOCK);
  std::thread waker([&] {
    for (int i = 0; i < wakes; ++i) {
      const uint64_t one = 1;
      (void)write(event, &one, sizeof one);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  int woken = 0;
  for (int seen = 0; seen < wakes; ++woken) {
    pollfd ready{event, POLLIN, 0};
    (void)poll(&ready, 1, -1);
    uint64_t count = 0;
    if (read(event, &count, sizeof count) == sizeof count) {
      seen += static_cast<int>(count);
    }
  }
  const double cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
  waker.join();
  close(event);
  return cpu * 1e6 / woken;
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  int frames = 5000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--frames") == 0) {
      frames = std::max(1, std::atoi(argv[i + 1]));
    }
  }
  TPtyLine line;
  TTemporaryPortMap map;
  map.Register(QStringLiteral("BENCH"), line.SlavePath());
  TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
  int received = 0;
  int handOvers = 0;
  port.OnReceive = [&](const QByteArray &chunk) {
    ++handOvers;
    received += static_cast<int>(chunk.count('\x03'));
    if (received >= frames) {
      QCoreApplication::quit();
    }
  };
  port.SetPortName(QStringLiteral("BENCH"));
  if (!port.OpenPort()) {
    std::fprintf(stderr, "link_handover_bench: the pseudo-terminal did not open\n");
    return 1;
  }
  const QByteArray frame = Frame();
  std::atomic<bool> stop = false;
  std::thread converter([&] {
    for (int i = 0; i < frames && !stop; ++i) {
      line.Send(frame);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const double mainStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const double processStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  QTimer::singleShot(std::chrono::seconds(60), &application, &QCoreApplication::quit);
  QCoreApplication::exec();
  const double mainCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainStart;
  const double processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
  stop = true;
  converter.join();
  port.ClosePort();
  if (handOvers == 0) {
    std::fprintf(stderr, "link_handover_bench: nothing arrived\n");
    return 1;
  }
  std::printf("frames received: %d of %d, hand-overs: %d\n", received, frames, handOvers);
  std::printf("main thread CPU per hand-over (us): %.2f\n", mainCpu * 1e6 / handOvers);
  std::printf("process CPU per hand-over, converter thread included (us): %.2f\n",
              processCpu * 1e6 / handOvers);
  std::printf("main thread CPU per bare wake from poll() (us): %.2f\n",
              BareWakeMicroseconds(frames));
  return received == frames ? 0 : 1;
}
