// The one request state of the process, shared by the request operations.
#pragma once

#include <cstdint>

namespace kelvo {

struct RequestState {
  uint8_t keyState[2];
  uint8_t releaseMask[2];
  uint8_t type;
  uint32_t address;
  uint16_t value[4];
};

// Zero at load (static storage); reset by the unload hook in request_frame.cpp.
extern RequestState g_request;
extern uint8_t g_lastError;

}  // namespace kelvo
