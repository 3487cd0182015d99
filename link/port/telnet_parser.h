// The receive side of a Telnet connection: bytes in, data and commands out.
//
// Feed takes the bytes as they come off the socket, in chunks of any size;
// a command or a doubled 0xFF split between two chunks is taken whole. Data
// bytes are appended to the caller's buffer with IAC IAC undone; option
// commands (WILL, WONT, DO, DONT) and subnegotiations (IAC SB option value
// IAC SE, value with IAC IAC undone) come out as events. Other commands
// (NOP, GA, AYT, ...) carry nothing the program needs and are dropped.
//
// Accepts any bytes: a subnegotiation longer than kMaxSubnegotiation keeps
// only its first bytes; one that never ends swallows what follows until
// IAC SE, like a server that talks nonsense deserves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace telnet {
inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kIac = 255;

inline constexpr uint8_t kOptionBinary = 0;
inline constexpr uint8_t kOptionEcho = 1;
inline constexpr uint8_t kOptionSuppressGoAhead = 3;
inline constexpr uint8_t kOptionComPort = 44;
}  // namespace telnet

struct TTelnetEvent {
  enum class TKind { Command, Subnegotiation };
  TKind kind = TKind::Command;
  uint8_t verb = 0;  // WILL, WONT, DO or DONT for a command; SB for a subnegotiation
  uint8_t option = 0;
  std::vector<uint8_t> value;  // subnegotiation value, IAC IAC undone
};

class TTelnetParser {
 public:
  static constexpr size_t kMaxSubnegotiation = 64;

  void Feed(const uint8_t *bytes, size_t length, std::vector<uint8_t> &data,
            std::vector<TTelnetEvent> &events);

 private:
  enum class TState { Data, Iac, Verb, SbOption, SbValue, SbIac };

  TState state_ = TState::Data;
  uint8_t verb_ = 0;
  TTelnetEvent subnegotiation_;
};

// 'bytes' as Telnet data: every 0xFF doubled.
std::vector<uint8_t> EscapeTelnetData(const uint8_t *bytes, size_t length);
