// Test helpers for the serial side of the link: a pseudo-terminal whose
// master end plays the converter, and a temporary port map folder in which
// its slave end is registered under a port name.
//
//   TPtyLine line;
//   TTemporaryPortMap map;
//   map.Register("COM7", line.SlavePath());
//   TPortThread port(std::make_unique<TFakeUsbDevice>(), map.Sources());
//   port.SetPortName("COM7"); port.OpenPort();
//   line.Send("\x02...\x03");  // the converter talks
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "port_discovery.h"

class TPtyLine {
 public:
  TPtyLine() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    slavePath_ = QString::fromLocal8Bit(name);
    // Neither end goes to a program the test starts: that program holds the line only through
    // its own open, and a closed master hangs the line up.
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    // The converter's end passes bytes through untouched.
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~TPtyLine() {
    CloseMaster();
    if (slave_ >= 0) {
      close(slave_);
    }
  }
  TPtyLine(const TPtyLine &) = delete;
  TPtyLine &operator=(const TPtyLine &) = delete;

  const QString &SlavePath() const { return slavePath_; }
  // The test's own descriptor of the slave end: kept open, so the tty's
  // settings can be read while and after the port uses it.
  int Slave() const { return slave_; }
  // Bytes sent that wait in the slave end's input queue.
  int SlaveBytesWaiting() const {
    int count = 0;
    return ioctl(slave_, FIONREAD, &count) == 0 ? count : -1;
  }
  termios SlaveTermios() const {
    termios state{};
    tcgetattr(slave_, &state);
    return state;
  }

  void Send(const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t sent = write(master_, bytes.constData() + done, bytes.size() - done);
      if (sent > 0) {
        done += sent;
      }
    }
  }

  // Bytes the program wrote, waiting at most 'limitMs' for the first.
  QByteArray Received(int limitMs = 5000) {
    QByteArray bytes;
    pollfd ready{master_, POLLIN, 0};
    if (poll(&ready, 1, limitMs) <= 0) {
      return bytes;
    }
    char buffer[512];
    ssize_t got;
    while ((got = read(master_, buffer, sizeof buffer)) > 0) {
      bytes.append(buffer, got);
    }
    return bytes;
  }

  // The converter's cable is pulled: the slave end hangs up.
  void CloseMaster() {
    if (master_ >= 0) {
      close(master_);
      master_ = -1;
    }
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  QString slavePath_;
};

class TTemporaryPortMap {
 public:
  TTemporaryPortMap() { QDir(folder_.path()).mkpath(QStringLiteral("ports")); }

  QString Folder() const { return folder_.path() + QStringLiteral("/ports"); }
  // Sources that find nothing in /sys: only the names registered here.
  TPortSources Sources() const {
    TPortSources sources;
    sources.ttyClassFolder = folder_.path() + QStringLiteral("/no-sysfs");
    sources.deviceFolder = folder_.path() + QStringLiteral("/no-dev");
    sources.portMapFolder = Folder();
    return sources;
  }
  void Register(const QString &name, const QString &target) {
    const QString link = Folder() + QLatin1Char('/') + name;
    QFile::remove(link);
    QFile::link(target, link);
  }

 private:
  QTemporaryDir folder_;
};

// Runs the main thread's event loop until 'done' is true; false after
// 'limitMs' (a generous limit that only a broken link reaches).
inline bool WaitUntil(const std::function<bool()> &done, int limitMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}
