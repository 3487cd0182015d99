#include "telnet_parser.h"

void TTelnetParser::Feed(const uint8_t *bytes, size_t length, std::vector<uint8_t> &data,
                         std::vector<TTelnetEvent> &events) {
  for (size_t i = 0; i < length; ++i) {
    const uint8_t byte = bytes[i];
    switch (state_) {
      case TState::Data:
        if (byte == telnet::kIac) {
          state_ = TState::Iac;
        } else {
          data.push_back(byte);
        }
        break;
      case TState::Iac:
        if (byte == telnet::kIac) {
          data.push_back(byte);
          state_ = TState::Data;
        } else if (byte >= telnet::kWill) {
          verb_ = byte;
          state_ = TState::Verb;
        } else if (byte == telnet::kSb) {
          state_ = TState::SbOption;
        } else {
          state_ = TState::Data;  // a command without an option: nothing to do
        }
        break;
      case TState::Verb:
        events.push_back({TTelnetEvent::TKind::Command, verb_, byte, {}});
        state_ = TState::Data;
        break;
      case TState::SbOption:
        subnegotiation_ = {TTelnetEvent::TKind::Subnegotiation, telnet::kSb, byte, {}};
        state_ = TState::SbValue;
        break;
      case TState::SbValue:
        if (byte == telnet::kIac) {
          state_ = TState::SbIac;
        } else if (subnegotiation_.value.size() < kMaxSubnegotiation) {
          subnegotiation_.value.push_back(byte);
        }
        break;
      case TState::SbIac:
        if (byte == telnet::kSe) {
          events.push_back(std::move(subnegotiation_));
          subnegotiation_ = {};
          state_ = TState::Data;
        } else {
          // IAC IAC is a value byte; any other command inside is dropped.
          if (byte == telnet::kIac && subnegotiation_.value.size() < kMaxSubnegotiation) {
            subnegotiation_.value.push_back(byte);
          }
          state_ = TState::SbValue;
        }
        break;
    }
  }
}

std::vector<uint8_t> EscapeTelnetData(const uint8_t *bytes, size_t length) {
  std::vector<uint8_t> escaped;
  escaped.reserve(length + 2);
  for (size_t i = 0; i < length; ++i) {
    escaped.push_back(bytes[i]);
    if (bytes[i] == telnet::kIac) {
      escaped.push_back(telnet::kIac);
    }
  }
  return escaped;
}
