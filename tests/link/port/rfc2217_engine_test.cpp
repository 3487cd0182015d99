// The Telnet parser and the RFC 2217 client engine, without a socket: the
// parser's state across chunk boundaries, 0xFF in data and in option values,
// the negotiation to Ready or Refused, and which requests get an answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "rfc2217_engine.h"
#include "telnet_parser.h"

namespace {

using TBytes = std::vector<uint8_t>;
using namespace telnet;

constexpr uint8_t kComPort = kOptionComPort;

// Built byte by byte: GCC 12 at -O3 takes vector::insert onto a vector of known small size for a
// write past its buffer (a false -Warray-bounds).
TBytes ComPort(uint8_t code, const TBytes &value) {
  TBytes bytes{kIac, kSb, kComPort, code};
  for (const uint8_t byte : value) {
    bytes.push_back(byte);
  }
  bytes.push_back(kIac);
  bytes.push_back(kSe);
  return bytes;
}

TBytes Join(std::initializer_list<TBytes> parts) {
  TBytes all;
  for (const TBytes &part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

bool Contains(const TBytes &haystack, const TBytes &needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}

struct TParsed {
  TBytes data;
  std::vector<TTelnetEvent> events;
};

TParsed ParseInChunks(const TBytes &stream, size_t chunk) {
  TTelnetParser parser;
  TParsed parsed;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    const size_t length = std::min(chunk, stream.size() - at);
    parser.Feed(stream.data() + at, length, parsed.data, parsed.events);
  }
  return parsed;
}

TEST(TelnetParser, GivesTheSameDataAndEventsWhereverTheChunksAreCut) {
  // Data with a doubled 0xFF, an option command, a subnegotiation whose value
  // holds a doubled 0xFF, a bare NOP, then data again.
  const TBytes stream = Join({{0x02, 'A', kIac, kIac, 'B'},
                              {kIac, kWill, kOptionEcho},
                              {kIac, kSb, kComPort, 101, 0x00, kIac, kIac, 0x4b, kIac, kSe},
                              {kIac, 241},
                              {'C', 0x03}});
  const TParsed whole = ParseInChunks(stream, stream.size());
  EXPECT_EQ(whole.data, TBytes({0x02, 'A', 0xFF, 'B', 'C', 0x03}));
  ASSERT_EQ(whole.events.size(), 2u);
  EXPECT_EQ(whole.events[0].kind, TTelnetEvent::TKind::Command);
  EXPECT_EQ(whole.events[0].verb, kWill);
  EXPECT_EQ(whole.events[0].option, kOptionEcho);
  EXPECT_EQ(whole.events[1].kind, TTelnetEvent::TKind::Subnegotiation);
  EXPECT_EQ(whole.events[1].option, kComPort);
  EXPECT_EQ(whole.events[1].value, TBytes({101, 0x00, 0xFF, 0x4b}));
  for (size_t chunk = 1; chunk < stream.size(); ++chunk) {
    const TParsed cut = ParseInChunks(stream, chunk);
    EXPECT_EQ(cut.data, whole.data) << "chunk " << chunk;
    ASSERT_EQ(cut.events.size(), whole.events.size()) << "chunk " << chunk;
    EXPECT_EQ(cut.events[1].value, whole.events[1].value) << "chunk " << chunk;
  }
}

TEST(TelnetParser, KeepsOnlyTheStartOfAnOverlongSubnegotiation) {
  const TBytes stream = Join({{kIac, kSb, kComPort}, TBytes(1000, 0x41), {kIac, kSe, 'x'}});
  const TParsed parsed = ParseInChunks(stream, 7);
  ASSERT_EQ(parsed.events.size(), 1u);
  EXPECT_EQ(parsed.events[0].value.size(), TTelnetParser::kMaxSubnegotiation);
  EXPECT_EQ(parsed.data, TBytes({'x'}));
}

TEST(TelnetParser, EscapingDoublesEveryFF) {
  const TBytes data{0xFF, 0x00, 0xFF, 0xFF};
  EXPECT_EQ(EscapeTelnetData(data.data(), data.size()),
            TBytes({0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
}

class Rfc2217Engine : public testing::Test {
 protected:
  // Feeds the server's bytes; returns the engine's answer.
  TBytes Serve(const TBytes &bytes) {
    TBytes reply;
    engine.Receive(bytes.data(), bytes.size(), data, reply);
    return reply;
  }
  TBytes AckAll() {
    return Join({ComPort(101, {0x00, 0x00, 0x4B, 0x00}), ComPort(102, {8}), ComPort(103, {1}),
                 ComPort(104, {1}), ComPort(105, {0})});
  }

  TLineSettings line;  // 19200 8N1
  TRfc2217Engine engine{line};
  TBytes data;
};

TEST_F(Rfc2217Engine, AsksFor19200EightNoneOneWithoutFlowControlOnceTheServerTakesTheOption) {
  const TBytes offers = engine.Start();
  EXPECT_TRUE(Contains(offers, {kIac, kWill, kComPort}));
  EXPECT_TRUE(Contains(offers, {kIac, kWill, kOptionBinary}));
  EXPECT_TRUE(Contains(offers, {kIac, kDo, kOptionBinary}));

  const TBytes requests = Serve({kIac, kDo, kComPort});
  EXPECT_TRUE(Contains(requests, ComPort(1, {0x00, 0x00, 0x4B, 0x00})));
  EXPECT_TRUE(Contains(requests, ComPort(2, {8})));
  EXPECT_TRUE(Contains(requests, ComPort(3, {1})));
  EXPECT_TRUE(Contains(requests, ComPort(4, {1})));
  EXPECT_TRUE(Contains(requests, ComPort(5, {1})));
  EXPECT_FALSE(Contains(requests, {kIac, kWill, kComPort}));  // already offered

  // Data before the last acknowledgement was on the line before us.
  Serve(Join({{'o', 'l', 'd'}, ComPort(107, {0x30}), ComPort(101, {0, 0, 0x4B, 0})}));
  EXPECT_FALSE(engine.Ready());
  // One acknowledgement cut in two, the flow control one with another value.
  const TBytes rest = Join({AckAll(), {'n', 0xFF, 0xFF, 'w'}});
  Serve(TBytes(rest.begin(), rest.begin() + 5));
  Serve(TBytes(rest.begin() + 5, rest.end()));
  EXPECT_TRUE(engine.Ready());
  EXPECT_EQ(data, TBytes({'n', 0xFF, 'w'}));

  // Line and modem state notifications later on change nothing.
  data.clear();
  EXPECT_TRUE(Serve(Join({ComPort(106, {0x60}), ComPort(107, {0xB0}), {'z'}})).empty());
  EXPECT_TRUE(engine.Ready());
  EXPECT_EQ(data, TBytes({'z'}));
}

TEST_F(Rfc2217Engine, EscapesFFInsideABaudRateValue) {
  line.baudRate = 0x0001FFFF;
  TRfc2217Engine odd(line);
  odd.Start();
  TBytes reply;
  const TBytes doComPort{kIac, kDo, kComPort};
  odd.Receive(doComPort.data(), doComPort.size(), data, reply);
  EXPECT_TRUE(
      Contains(reply, {kIac, kSb, kComPort, 1, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, kIac, kSe}));
}

TEST_F(Rfc2217Engine, IsRefusedWhenTheServerDeclinesTheOptionOrAcknowledgesAnotherLine) {
  engine.Start();
  Serve({kIac, kDont, kComPort});
  EXPECT_TRUE(engine.Refused());

  TRfc2217Engine other(line);
  other.Start();
  TBytes reply;
  const TBytes answers = Join({{kIac, kDo, kComPort}, ComPort(101, {0x00, 0x00, 0x25, 0x80})});
  other.Receive(answers.data(), answers.size(), data, reply);
  EXPECT_TRUE(other.Refused());  // 9600 acknowledged instead of 19200
  EXPECT_FALSE(other.Ready());
}

TEST_F(Rfc2217Engine, RefusesWhatItDoesNotSupportAndAnswersOnlyChanges) {
  engine.Start();
  EXPECT_EQ(Serve({kIac, kWill, kOptionEcho}), TBytes({kIac, kDont, kOptionEcho}));
  EXPECT_EQ(Serve({kIac, kDo, 24}), TBytes({kIac, kWont, 24}));  // terminal type
  // Answers to the client's own offers need no answer back.
  EXPECT_TRUE(Serve({kIac, kDo, kOptionBinary, kIac, kWill, kOptionBinary}).empty());
  // Said again, an enabled option is left alone: no answering loop.
  EXPECT_TRUE(Serve({kIac, kDo, kOptionBinary, kIac, kWill, kOptionBinary}).empty());
  // Turned off by the server: acknowledged once.
  EXPECT_EQ(Serve({kIac, kWont, kOptionBinary}), TBytes({kIac, kDont, kOptionBinary}));
  EXPECT_TRUE(Serve({kIac, kWont, kOptionBinary}).empty());
  EXPECT_FALSE(engine.Refused());
}

}  // namespace
