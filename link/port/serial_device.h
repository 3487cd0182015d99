// A tty opened for this program alone: raw POSIX termios, no sharing.
//
// Open takes the port exclusively (flock, then TIOCEXCL), keeps the termios
// the port had and applies ours: raw input and output, receiver on, modem
// lines ignored, and the configured baud rate, data bits, parity and stop
// bits; every other setting stays as the port had it. Close puts the previous
// termios back. The descriptor is non-blocking: reads take what is waiting,
// writes wait in poll() up to their time-out.
#pragma once

#include <termios.h>

#include <QString>
#include <cstddef>
#include <cstdint>

#include "line_device.h"
#include "line_settings.h"

// 'previous' with our settings applied on top (what Open applies).
termios MakeAppliedTermios(const termios &previous, const TLineSettings &line);

// The termios speed constant of a baud rate; B0 for a rate the tty layer has
// no constant for (the port then keeps its speed).
speed_t SpeedOfBaudRate(int32_t baudRate);

class TSerialDevice : public TLineDevice {
 public:
  TSerialDevice() = default;
  ~TSerialDevice() override;
  TSerialDevice(const TSerialDevice &) = delete;
  TSerialDevice &operator=(const TSerialDevice &) = delete;

  // The tty that Open opens (empty: none, which fails as ENOENT).
  void SetPath(const QString &path) { path_ = path; }
  // Kind Tty with the errno of the step that failed (the port stays closed).
  TOpenFailure Open(const TLineSettings &line) override;
  // Always closes: close() releases the descriptor even when it fails.
  bool Close() override;

  bool IsOpen() const override { return fd_ >= 0; }
  int Fd() const override { return fd_; }
  // The termios read back from the port after ours were applied.
  const termios &Applied() const { return applied_; }

  // Reads up to 'capacity' bytes without waiting.
  TReadResult ReadAvailable(uint8_t *buffer, size_t capacity) override;
  // Writes every byte, waiting for room at most 'timeoutMs' in all.
  bool Write(const uint8_t *bytes, size_t length, int timeoutMs) override;

 private:
  TTransfer PutSome(const uint8_t *bytes, size_t length) override;
  int OpenPath(const QString &path, const TLineSettings &line);

  QString path_;
  int fd_ = -1;
  termios previous_{};
  termios applied_{};
};
