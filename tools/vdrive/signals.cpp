#include "signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include <atomic>
#include <csignal>

namespace vdrive {
namespace {

int g_wakePipe[2] = {-1, -1};
volatile std::sig_atomic_t g_stop = 0;
std::atomic<int> g_toggles{0};
std::atomic<int> g_injections{0};
static_assert(std::atomic<int>::is_always_lock_free);

void Wake() {
  const char byte = 1;
  // A full pipe already wakes the loop; nothing more to do.
  [[maybe_unused]] const ssize_t written = ::write(g_wakePipe[1], &byte, 1);
}

void OnStopSignal(int) {
  g_stop = 1;
  Wake();
}

void OnToggleSignal(int) {
  g_toggles.fetch_add(1);
  Wake();
}

void OnInjectSignal(int) {
  g_injections.fetch_add(1);
  Wake();
}

}  // namespace

bool InstallSignalHandlers() {
  if (::pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    return false;
  }
  struct sigaction action = {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = OnStopSignal;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    if (::sigaction(signal, &action, nullptr) != 0) {
      return false;
    }
  }
  action.sa_handler = OnToggleSignal;
  action.sa_flags = SA_RESTART;
  if (::sigaction(SIGUSR1, &action, nullptr) != 0) {
    return false;
  }
  action.sa_handler = OnInjectSignal;
  if (::sigaction(SIGUSR2, &action, nullptr) != 0) {
    return false;
  }
  action.sa_handler = SIG_IGN;
  return ::sigaction(SIGPIPE, &action, nullptr) == 0;
}

int SignalWakeFd() {
  return g_wakePipe[0];
}

void DrainSignalWakeFd() {
  char buffer[64];
  while (::read(g_wakePipe[0], buffer, sizeof buffer) > 0) {
  }
}

bool StopRequested() {
  return g_stop != 0;
}

bool SleepUnlessStopped(std::chrono::milliseconds duration) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + duration;
  pollfd wake{g_wakePipe[0], POLLIN, 0};
  while (!StopRequested()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      return true;
    }
    // The other signals wake the poll too; it goes back to sleep for the rest.
    if (::poll(&wake, 1, static_cast<int>(std::min<int64_t>(left.count(), 60000))) > 0) {
      DrainSignalWakeFd();
    }
  }
  return false;
}

int TakeTerminalToggles() {
  return g_toggles.exchange(0);
}

int TakeInjectionRequests() {
  return g_injections.exchange(0);
}

}  // namespace vdrive
