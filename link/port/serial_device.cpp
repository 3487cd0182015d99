#include "serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace {

struct TBaudConstant {
  int32_t rate;
  speed_t constant;
};

constexpr TBaudConstant kBaudConstants[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

tcflag_t CharacterSizeOf(uint8_t byteSize) {
  switch (byteSize) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

tcflag_t ParityFlagsOf(uint8_t parity) {
  switch (parity) {
    case kParityOdd:
      return PARENB | PARODD;
    case kParityEven:
      return PARENB;
    case kParityMark:
      return PARENB | PARODD | CMSPAR;
    case kParitySpace:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

// USB-serial drivers otherwise hold received bytes back for up to 16 ms.
void AskForLowLatency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &serial);
  }
}

int CloseKeepingErrno(int fd) {
  const int error = errno;
  close(fd);
  return error;
}

}  // namespace

speed_t SpeedOfBaudRate(int32_t baudRate) {
  for (const TBaudConstant &entry : kBaudConstants) {
    if (entry.rate == baudRate) {
      return entry.constant;
    }
  }
  return B0;
}

termios MakeAppliedTermios(const termios &previous, const TLineSettings &line) {
  termios applied = previous;
  applied.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  applied.c_oflag &= ~OPOST;
  applied.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  applied.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  applied.c_cflag |= CREAD | CLOCAL | CharacterSizeOf(line.byteSize) | ParityFlagsOf(line.parity);
  if (line.stopBits != kStopBitsOne) {
    applied.c_cflag |= CSTOPB;
  }
  applied.c_cc[VMIN] = 1;
  applied.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOfBaudRate(line.baudRate);
  if (speed != B0) {
    cfsetispeed(&applied, speed);
    cfsetospeed(&applied, speed);
  }
  return applied;
}

TSerialDevice::~TSerialDevice() {
  Close();
}

TOpenFailure TSerialDevice::Open(const TLineSettings &line) {
  const int error = OpenPath(path_, line);
  return error == 0 ? TOpenFailure{} : TOpenFailure::OfTty(error);
}

// Returns 0, or the errno of the step that failed.
int TSerialDevice::OpenPath(const QString &path, const TLineSettings &line) {
  if (IsOpen()) {
    return EBUSY;
  }
  if (path.isEmpty()) {
    return ENOENT;
  }
  const int fd = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return errno;
  }
  termios previous{};
  if (tcgetattr(fd, &previous) != 0) {
    return CloseKeepingErrno(fd);  // not a tty
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return CloseKeepingErrno(fd);  // another program holds the port
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    return CloseKeepingErrno(fd);
  }
  AskForLowLatency(fd);
  const termios applied = MakeAppliedTermios(previous, line);
  (void)tcsetattr(fd, TCSANOW, &applied);
  // Bytes that waited in the tty before the port was ours (a virtual port
  // keeps them) are not replies to us: start from an empty input queue.
  (void)tcflush(fd, TCIFLUSH);
  if (tcgetattr(fd, &applied_) != 0) {
    applied_ = applied;
  }
  previous_ = previous;
  fd_ = fd;
  return 0;
}

bool TSerialDevice::Close() {
  if (!IsOpen()) {
    return true;
  }
  // A hung-up port refuses these; it is closed all the same.
  (void)tcsetattr(fd_, TCSANOW, &previous_);
  (void)ioctl(fd_, TIOCNXCL);
  // close() releases the descriptor even when it reports an error.
  close(fd_);
  fd_ = -1;
  return true;
}

TSerialDevice::TReadResult TSerialDevice::ReadAvailable(uint8_t *buffer, size_t capacity) {
  if (!IsOpen() || capacity == 0) {
    return {};
  }
  for (;;) {
    const ssize_t got = read(fd_, buffer, capacity);
    if (got > 0) {
      return {TReadState::Data, static_cast<size_t>(got)};
    }
    if (got == 0) {
      return {TReadState::HungUp, 0};  // end of file: the other side is gone
    }
    if (errno == EINTR) {
      continue;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      return {};
    }
    return {TReadState::HungUp, 0};  // EIO and the like: the port is gone
  }
}

bool TSerialDevice::Write(const uint8_t *bytes, size_t length, int timeoutMs) {
  if (!IsOpen()) {
    return false;
  }
  return PutAll(bytes, length, TClock::now() + std::chrono::milliseconds(timeoutMs));
}

TTransfer TSerialDevice::PutSome(const uint8_t *bytes, size_t length) {
  ssize_t sent;
  do {
    sent = write(fd_, bytes, length);
  } while (sent < 0 && errno == EINTR);
  if (sent > 0) {
    return {TTransfer::TState::Moved, static_cast<size_t>(sent), POLLOUT};
  }
  const bool full = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  return {full ? TTransfer::TState::WouldBlock : TTransfer::TState::Closed, 0, POLLOUT};
}
