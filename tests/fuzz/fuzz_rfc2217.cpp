// Fuzzes the receive side of a network port: the Telnet parser and the
// RFC 2217 client engine with whatever a server may send.
//
// Input layout: byte 0 is the chunk length (1 to 256) in which the rest is
// fed; the rest is the server's byte stream.
//
// Checks: the parser gives the same data and events wherever the stream is
// cut; no subnegotiation value outgrows its limit; the engine never gives
// more data than it was fed, never both Ready and Refused, and every answer
// it writes is made of whole Telnet commands and subnegotiations (the server
// can parse it); the escaped data undoes itself through the parser.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_require.h"
#include "link/port/rfc2217_engine.h"
#include "link/port/telnet_parser.h"

namespace {

using TBytes = std::vector<uint8_t>;

struct TParsed {
  TBytes data;
  std::vector<TTelnetEvent> events;
};

TParsed Parse(const uint8_t *bytes, size_t size, size_t chunk) {
  TTelnetParser parser;
  TParsed parsed;
  for (size_t at = 0; at < size; at += chunk) {
    parser.Feed(bytes + at, std::min(chunk, size - at), parsed.data, parsed.events);
  }
  return parsed;
}

bool SameEvents(const std::vector<TTelnetEvent> &a, const std::vector<TTelnetEvent> &b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].kind != b[i].kind || a[i].verb != b[i].verb || a[i].option != b[i].option ||
        a[i].value != b[i].value) {
      return false;
    }
  }
  return true;
}

// Parsed back, an answer of the engine is nothing but commands and
// subnegotiations of the COM port option.
void RequireWholeCommands(const TBytes &reply) {
  const TParsed parsed = Parse(reply.data(), reply.size(), reply.size() + 1);
  REQUIRE(parsed.data.empty());
  for (const TTelnetEvent &event : parsed.events) {
    REQUIRE(event.kind == TTelnetEvent::TKind::Command || event.option == telnet::kOptionComPort);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) {
    return 0;
  }
  const size_t chunk = static_cast<size_t>(data[0]) + 1;
  const uint8_t *stream = data + 1;
  const size_t length = size - 1;

  const TParsed whole = Parse(stream, length, length + 1);
  const TParsed cut = Parse(stream, length, chunk);
  REQUIRE(whole.data == cut.data);
  REQUIRE(SameEvents(whole.events, cut.events));
  REQUIRE(whole.data.size() <= length);
  for (const TTelnetEvent &event : whole.events) {
    REQUIRE(event.value.size() <= TTelnetParser::kMaxSubnegotiation);
  }

  TRfc2217Engine engine{TLineSettings{}};
  RequireWholeCommands(engine.Start());
  size_t fed = 0;
  TBytes out;
  for (size_t at = 0; at < length; at += chunk) {
    const size_t part = std::min(chunk, length - at);
    TBytes reply;
    engine.Receive(stream + at, part, out, reply);
    fed += part;
    REQUIRE(out.size() <= fed);
    REQUIRE(!(engine.Ready() && engine.Refused()));
    RequireWholeCommands(reply);
  }

  const TBytes escaped = EscapeTelnetData(stream, length);
  const TParsed unescaped = Parse(escaped.data(), escaped.size(), chunk);
  REQUIRE(unescaped.data == TBytes(stream, stream + length));
  REQUIRE(unescaped.events.empty());
  return 0;
}
