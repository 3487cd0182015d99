// Request side of the protocol: key state, address, values, frame compilation.
#include <cstring>

#include "frame_encoding.h"
#include "kelvo.h"
#include "request_state.h"

namespace kelvo {

RequestState g_request;
uint8_t g_lastError;

namespace {

// Number of 16-bit values a request type carries.
int ValueCount(uint8_t type) {
  switch (type) {
    case 0x00:
    case '0':
    case '8':
    case '@':
    case 'P':
    case 'x':
      return 1;
    case 'y':
      return 2;
    case '{':
      return 4;
    default:
      return 0;  // two zero bytes stand in for the value
  }
}

// Builds the payload into 'payload' and returns its length (8, 10 or 14).
int BuildPayload(const RequestState &s, uint8_t *payload) {
  payload[0] = kProgTermFrame;
  payload[1] = s.keyState[0];
  payload[2] = s.keyState[1];
  payload[3] = s.type;
  payload[4] = static_cast<uint8_t>(s.address >> 8);
  payload[5] = static_cast<uint8_t>(s.address);
  const int count = ValueCount(s.type);
  if (count == 0) {
    payload[6] = 0;
    payload[7] = 0;
    return 8;
  }
  for (int i = 0; i < count; ++i) {
    payload[6 + 2 * i] = static_cast<uint8_t>(s.value[i] >> 8);
    payload[7 + 2 * i] = static_cast<uint8_t>(s.value[i]);
  }
  return 6 + 2 * count;
}

void ConsumeAfterCompile(RequestState &s) {
  for (int i = 0; i < 2; ++i) {
    s.keyState[i] &= static_cast<uint8_t>(~s.releaseMask[i]);
    s.releaseMask[i] = 0;
  }
  s.address = 0;
  s.value[0] = 0;
}

// Runs when the library is unloaded, so a reload starts from zero too.
__attribute__((destructor)) void ResetOnUnload() {
  std::memset(&g_request, 0, sizeof g_request);
  g_lastError = 0;
}

}  // namespace
}  // namespace kelvo

using kelvo::g_request;

extern "C" {

void Kelvo_SetButtonStatus(TButtonEvent event, TTerminalButton button) {
  const unsigned byte = button >> 8;
  const uint8_t mask = static_cast<uint8_t>(button);
  if (event == beReleaseAll) {
    std::memset(g_request.keyState, 0, sizeof g_request.keyState);
    std::memset(g_request.releaseMask, 0, sizeof g_request.releaseMask);
    return;
  }
  if (byte > 1) {
    return;
  }
  if (event == bePressed) {
    g_request.keyState[byte] |= mask;
  } else if (event == beReleased) {
    g_request.releaseMask[byte] |= mask;
  }
}

void Kelvo_SetType(uint8_t type) {
  g_request.type = type;
}

void Kelvo_SetAddress(uint32_t address) {
  g_request.address = address;
}

void Kelvo_SetValue(uint16_t value1, uint16_t value2, uint16_t value3, uint16_t value4) {
  g_request.value[0] = value1;
  g_request.value[1] = value2;
  g_request.value[2] = value3;
  g_request.value[3] = value4;
}

void Kelvo_CompileMessage(TTerminalMessageFrame *frame) {
  if (frame == nullptr) {
    return;
  }
  uint8_t payload[14];
  const int length = kelvo::BuildPayload(g_request, payload);

  kelvo::WriteFrame(payload, static_cast<size_t>(length), frame->bytes + 1);
  frame->bytes[0] = static_cast<uint8_t>(kelvo::FrameSize(static_cast<size_t>(length)));

  kelvo::ConsumeAfterCompile(g_request);
}

uint8_t Kelvo_GetLastError(void) {
  return kelvo::g_lastError;
}

}  // extern "C"
