#include "rfc2217_engine.h"

#include <algorithm>
#include <initializer_list>

namespace {

// Byte by byte rather than vector::insert of the list: inlined into a function that starts from
// an empty vector, GCC 12 takes that insert for a write past the new buffer (a false
// -Wstringop-overflow and -Warray-bounds at -O3).
void AppendBytes(std::vector<uint8_t> &out, std::initializer_list<uint8_t> bytes) {
  for (const uint8_t byte : bytes) {
    out.push_back(byte);
  }
}

void AppendCommand(std::vector<uint8_t> &out, uint8_t verb, uint8_t option) {
  AppendBytes(out, {telnet::kIac, verb, option});
}

void AppendComPort(std::vector<uint8_t> &out, uint8_t code, const std::vector<uint8_t> &value) {
  AppendBytes(out, {telnet::kIac, telnet::kSb, telnet::kOptionComPort, code});
  const std::vector<uint8_t> escaped = EscapeTelnetData(value.data(), value.size());
  out.insert(out.end(), escaped.begin(), escaped.end());
  AppendBytes(out, {telnet::kIac, telnet::kSe});
}

std::vector<uint8_t> BigEndian32(uint32_t value) {
  return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

}  // namespace

uint8_t Rfc2217Parity(uint8_t parity) {
  return parity <= kParitySpace ? static_cast<uint8_t>(parity + 1) : 1;
}

uint8_t Rfc2217StopSize(uint8_t stopBits) {
  switch (stopBits) {
    case kStopBitsTwo:
      return 2;
    case kStopBitsOneAndHalf:
      return 3;
    default:
      return 1;
  }
}

TRfc2217Engine::TRfc2217Engine(const TLineSettings &line) : line_(line) {}

bool TRfc2217Engine::WeSupport(uint8_t option) {
  return option == telnet::kOptionBinary || option == telnet::kOptionSuppressGoAhead ||
         option == telnet::kOptionComPort;
}

// Echo is refused: the converter's requests must not come back as replies.
bool TRfc2217Engine::ServerMaySupport(uint8_t option) {
  return option == telnet::kOptionBinary || option == telnet::kOptionSuppressGoAhead;
}

std::vector<uint8_t> TRfc2217Engine::Start() {
  std::vector<uint8_t> offers;
  for (const uint8_t option : {telnet::kOptionBinary, telnet::kOptionSuppressGoAhead}) {
    AppendCommand(offers, telnet::kWill, option);
    us_[option] = TSide::WantYes;
    AppendCommand(offers, telnet::kDo, option);
    them_[option] = TSide::WantYes;
  }
  AppendCommand(offers, telnet::kWill, telnet::kOptionComPort);
  us_[telnet::kOptionComPort] = TSide::WantYes;
  return offers;
}

void TRfc2217Engine::Receive(const uint8_t *bytes, size_t length, std::vector<uint8_t> &data,
                             std::vector<uint8_t> &reply) {
  parsed_.clear();
  events_.clear();
  parser_.Feed(bytes, length, parsed_, events_);
  for (const TTelnetEvent &event : events_) {
    if (event.kind == TTelnetEvent::TKind::Command) {
      HandleCommand(event.verb, event.option, reply);
    } else if (event.option == telnet::kOptionComPort) {
      HandleComPort(event.value);
    }
  }
  // Commands and data interleave in one chunk; data before the last
  // acknowledgement is still dropped with the rest of this chunk.
  if (Ready()) {
    data.insert(data.end(), parsed_.begin(), parsed_.end());
  }
}

void TRfc2217Engine::HandleCommand(uint8_t verb, uint8_t option, std::vector<uint8_t> &reply) {
  switch (verb) {
    case telnet::kWill:
      if (!ServerMaySupport(option)) {
        AppendCommand(reply, telnet::kDont, option);
      } else if (them_[option] == TSide::No) {
        AppendCommand(reply, telnet::kDo, option);
      }
      them_[option] = ServerMaySupport(option) ? TSide::Yes : TSide::No;
      break;
    case telnet::kWont:
      if (them_[option] == TSide::Yes) {
        AppendCommand(reply, telnet::kDont, option);
      }
      them_[option] = TSide::No;
      break;
    case telnet::kDo:
      if (!WeSupport(option)) {
        AppendCommand(reply, telnet::kWont, option);
        break;
      }
      if (us_[option] == TSide::No) {
        AppendCommand(reply, telnet::kWill, option);
      }
      us_[option] = TSide::Yes;
      if (option == telnet::kOptionComPort && state_ == TState::Offered) {
        SendLineRequests(reply);
      }
      break;
    case telnet::kDont:
      if (us_[option] == TSide::Yes) {
        AppendCommand(reply, telnet::kWont, option);
      }
      us_[option] = TSide::No;
      if (option == telnet::kOptionComPort && state_ != TState::Ready) {
        state_ = TState::Refused;
      }
      break;
    default:
      break;
  }
}

void TRfc2217Engine::SendLineRequests(std::vector<uint8_t> &reply) {
  requests_ = {
      {rfc2217::kSetBaudRate, BigEndian32(static_cast<uint32_t>(line_.baudRate))},
      {rfc2217::kSetDataSize, {line_.byteSize}},
      {rfc2217::kSetParity, {Rfc2217Parity(line_.parity)}},
      {rfc2217::kSetStopSize, {Rfc2217StopSize(line_.stopBits)}},
      {rfc2217::kSetControl, {rfc2217::kControlNoFlowControl}},
  };
  for (const TRequest &request : requests_) {
    AppendComPort(reply, request.code, request.value);
  }
  state_ = TState::Configuring;
}

void TRfc2217Engine::HandleComPort(const std::vector<uint8_t> &value) {
  if (state_ != TState::Configuring || value.empty()) {
    return;  // notifications, and late or stray acknowledgements
  }
  const uint8_t code = value[0];
  const auto request = std::find_if(requests_.begin(), requests_.end(), [&](const TRequest &r) {
    return r.code + rfc2217::kServerOffset == code;
  });
  if (request == requests_.end()) {
    return;  // a line or modem state notification
  }
  const bool sameValue =
      std::equal(value.begin() + 1, value.end(), request->value.begin(), request->value.end());
  if (!sameValue && request->code != rfc2217::kSetControl) {
    state_ = TState::Refused;
    return;
  }
  request->acknowledged = true;
  CheckAllAcknowledged();
}

void TRfc2217Engine::CheckAllAcknowledged() {
  if (std::all_of(requests_.begin(), requests_.end(),
                  [](const TRequest &r) { return r.acknowledged; })) {
    state_ = TState::Ready;
  }
}
