// The client side of a Telnet connection with the COM port control option
// (RFC 2217), without any I/O: bytes from the server in, data for the program
// and bytes to send back out. The network device moves the bytes.
//
//   TRfc2217Engine engine(line);
//   send(engine.Start());
//   while (!engine.Ready() && !engine.Refused())
//     engine.Receive(chunk, size, data, reply); send(reply);
//
// Negotiation: the client offers BINARY and SUPPRESS-GO-AHEAD both ways and
// WILL COM-PORT-OPTION. When the server answers DO COM-PORT-OPTION, the
// client asks for the line (baud rate, data bits, parity, stop bits, no flow
// control) and waits for the server's acknowledgements. Ready once every one
// of them has come back with the value asked for; refused when the server
// answers DONT COM-PORT-OPTION or acknowledges another baud rate, data size,
// parity or stop size. A flow-control acknowledgement counts whatever its
// value: some servers report the state instead of the request, and a
// converter line has no handshake lines to disagree about.
//
// Options other than these are refused (DONT to a WILL, WONT to a DO), and
// only requests that change an option's state are answered, so two parties
// never answer each other in a loop. Line and modem state notifications and
// the rest of the server's COM port messages are taken and ignored. Data
// that comes before Ready is dropped: it was on the line before the port was
// ours (a tty is flushed at open for the same reason).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "line_settings.h"
#include "telnet_parser.h"

namespace rfc2217 {
// Client to server; the server's acknowledgement is the code plus 100.
inline constexpr uint8_t kSetBaudRate = 1;
inline constexpr uint8_t kSetDataSize = 2;
inline constexpr uint8_t kSetParity = 3;
inline constexpr uint8_t kSetStopSize = 4;
inline constexpr uint8_t kSetControl = 5;
inline constexpr uint8_t kServerOffset = 100;

inline constexpr uint8_t kControlNoFlowControl = 1;
}  // namespace rfc2217

// The COM port option's encodings of the program's line values: parity
// 1 none, 2 odd, 3 even, 4 mark, 5 space; stop size 1 one, 2 two, 3 one and
// a half.
uint8_t Rfc2217Parity(uint8_t parity);
uint8_t Rfc2217StopSize(uint8_t stopBits);

class TRfc2217Engine {
 public:
  explicit TRfc2217Engine(const TLineSettings &line);

  // The client's opening offers, to send once the connection is up.
  std::vector<uint8_t> Start();

  // Takes bytes from the server: appends data (once Ready) to 'data' and the
  // answers the server is owed to 'reply'.
  void Receive(const uint8_t *bytes, size_t length, std::vector<uint8_t> &data,
               std::vector<uint8_t> &reply);

  bool Ready() const { return state_ == TState::Ready; }
  bool Refused() const { return state_ == TState::Refused; }

 private:
  enum class TState { Offered, Configuring, Ready, Refused };
  // One side of one option (RFC 1143, without queueing).
  enum class TSide : uint8_t { No, Yes, WantYes };

  struct TRequest {
    uint8_t code;
    std::vector<uint8_t> value;
    bool acknowledged = false;
  };

  void HandleCommand(uint8_t verb, uint8_t option, std::vector<uint8_t> &reply);
  void HandleComPort(const std::vector<uint8_t> &value);
  void SendLineRequests(std::vector<uint8_t> &reply);
  void CheckAllAcknowledged();

  static bool WeSupport(uint8_t option);
  static bool ServerMaySupport(uint8_t option);

  TLineSettings line_;
  TState state_ = TState::Offered;
  TTelnetParser parser_;
  std::array<TSide, 256> us_{};    // options we perform
  std::array<TSide, 256> them_{};  // options the server performs
  std::vector<TRequest> requests_;
  std::vector<uint8_t> parsed_;
  std::vector<TTelnetEvent> events_;
};
