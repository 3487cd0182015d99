// The line values the program carries to a port: everything else of a serial
// port's line setup is left as the port had it.
#pragma once

#include <cstdint>

// Encodings as the drive's tooling has always written them: parity 0 none,
// 1 odd, 2 even, 3 mark, 4 space; stop bits 0 one, 1 one and a half, 2 two.
struct TLineSettings {
  int32_t baudRate = 19200;
  uint8_t byteSize = 8;
  uint8_t parity = 0;
  uint8_t stopBits = 0;
};

inline constexpr uint8_t kParityNone = 0;
inline constexpr uint8_t kParityOdd = 1;
inline constexpr uint8_t kParityEven = 2;
inline constexpr uint8_t kParityMark = 3;
inline constexpr uint8_t kParitySpace = 4;
inline constexpr uint8_t kStopBitsOne = 0;
inline constexpr uint8_t kStopBitsOneAndHalf = 1;
inline constexpr uint8_t kStopBitsTwo = 2;

// Time-outs of the line, in milliseconds.
inline constexpr uint32_t kReadTimeoutMs = 150;
inline constexpr uint32_t kWriteTimeoutMs = 150;
inline constexpr uint32_t kWriteTimeoutPerByteMs = 1;
// The FTDI adapter's latency timer: how long it holds bytes without the
// frame end before sending them on, and so the period of a silent line's
// packets (the frame end, the event character, is sent on at once).
inline constexpr uint8_t kUsbLatencyTimerMs = 250;
