// The status of an operation on an FTDI USB adapter, as the vendor's classic
// driver numbers them (0 is success).
#pragma once

#include <cstdint>

enum class TUsbStatus : uint32_t {
  Ok = 0,
  InvalidHandle = 1,
  DeviceNotFound = 2,
  DeviceNotOpened = 3,
  IoError = 4,
  InsufficientResources = 5,
  InvalidParameter = 6,
  OtherError = 18,
  // Not the classic driver's: the adapter's node refuses this user.
  NoPermission = 32,
};
