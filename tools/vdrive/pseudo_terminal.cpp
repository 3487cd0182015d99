#include "pseudo_terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vdrive {
namespace {

bool MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) {
    return false;
  }
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~(CSTOPB | PARENB);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, B19200);
  cfsetospeed(&settings, B19200);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

std::string Reason(const char *what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

bool PseudoTerminal::Open(std::string &error) {
  master_.Reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!master_.Valid()) {
    error = Reason("posix_openpt");
    return false;
  }
  char name[128];
  if (grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0 ||
      ptsname_r(master_.Get(), name, sizeof name) != 0) {
    error = Reason("pseudo-terminal slave");
    return false;
  }
  slavePath_ = name;
  slave_.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!slave_.Valid()) {
    error = Reason(name);
    return false;
  }
  if (!MakeRaw(slave_.Get()) || !MakeRaw(master_.Get())) {
    error = Reason("raw mode");
    return false;
  }
  return true;
}

int PseudoTerminal::UnreadBySlave() const {
  int count = 0;
  return ioctl(slave_.Get(), FIONREAD, &count) == 0 ? count : 0;
}

void PseudoTerminal::DiscardUnread() const {
  tcflush(slave_.Get(), TCIFLUSH);
}

}  // namespace vdrive
