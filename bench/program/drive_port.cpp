#include "drive_port.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string Reason(const std::string &what) {
  return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) {
    return false;
  }
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&settings, B19200);
  cfsetospeed(&settings, B19200);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// Makes every missing folder of 'path' with mode 0700.
bool MakeFolders(const std::string &path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at == path.size() || path[at] == '/') {
      const std::string part = path.substr(0, at);
      if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
      }
    }
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string DefaultPortMapFolder() {
  const char *runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime != nullptr && *runtime != '\0' ? std::string(runtime) + "/sorvanel/ports"
                                                : std::string();
}

TDrivePort::~TDrivePort() {
  if (!entryPath_.empty()) {
    ::unlink(entryPath_.c_str());
  }
  if (slave_ >= 0) {
    ::close(slave_);
  }
  if (master_ >= 0) {
    ::close(master_);
  }
}

bool TDrivePort::Open(const std::string &portMapFolder, const std::string &name,
                      std::string &error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  char path[128];
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, path, sizeof path) != 0) {
    error = Reason("pseudo-terminal");
    return false;
  }
  slavePath_ = path;
  slave_ = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (slave_ < 0 || !MakeRaw(slave_) || !MakeRaw(master_)) {
    error = Reason(slavePath_);
    return false;
  }
  if (!MakeFolders(portMapFolder)) {
    error = Reason(portMapFolder);
    return false;
  }
  const std::string entry = portMapFolder + "/" + name;
  struct stat info {};
  if (::lstat(entry.c_str(), &info) == 0) {
    if (!S_ISLNK(info.st_mode)) {
      error = entry + " exists and is not a port entry";
      return false;
    }
    ::unlink(entry.c_str());
  }
  if (::symlink(slavePath_.c_str(), entry.c_str()) != 0) {
    error = Reason(entry);
    return false;
  }
  entryPath_ = entry;
  return true;
}

void TDrivePort::DiscardUnread() const {
  tcflush(slave_, TCIFLUSH);
}
