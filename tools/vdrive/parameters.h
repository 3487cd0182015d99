// The drive's parameter table and the values the user has set.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vdrive {

// Stored parameters first, in the order they are saved to the terminal.
enum class Param : uint8_t {
  SetPoint,
  RampUpTime,
  RampDownTime,
  MaxFrequency,
  MinFrequency,
  JogFrequency,
  MotorCurrent,
  MotorTempLimit,
  CarrierFrequency,
  DeadTime,
  DirectionLock,
  kStoredCount,
};
inline constexpr int kStoredParamCount = static_cast<int>(Param::kStoredCount);

enum class DirectionLock : uint8_t { None, ForwardOnly, ReverseOnly };

// Values are whole numbers in units of 10^-decimals of the shown unit.
struct ParamInfo {
  const char *name;  // as shown on the display, at most 16 characters
  const char *unit;
  int32_t min;
  int32_t max;
  int32_t defaultValue;
  int decimals;
  std::span<const char *const> options;  // non-empty: a choice, value = index
};

const ParamInfo &InfoOf(Param param);

class ParameterSet {
 public:
  ParameterSet();

  int32_t Get(Param param) const { return values_[static_cast<size_t>(param)]; }
  // Sets the value clamped to the parameter's current range; returns the value kept.
  int32_t Set(Param param, int32_t value);
  // Range allowed now: the frequency limits bound each other and the set-point.
  int32_t MinOf(Param param) const;
  int32_t MaxOf(Param param) const;
  void ResetToDefaults();

  // The whole set as stored, or nullopt if a value is out of range or the limits clash.
  static std::optional<ParameterSet> FromStored(std::span<const uint16_t> stored);
  std::array<uint16_t, kStoredParamCount> ToStored() const;

  double Hz(Param param) const { return Get(param) / 10.0; }
  double Seconds(Param param) const { return Get(param) / 10.0; }
  DirectionLock Lock() const { return static_cast<DirectionLock>(Get(Param::DirectionLock)); }

 private:
  std::array<int32_t, kStoredParamCount> values_{};
};

// The value as the display shows it, with its unit ("50.0 Hz", "Csak előre").
std::string ValueText(Param param, int32_t value);
// The allowed range as "0.1÷600.0 s".
std::string RangeText(const ParameterSet &set, Param param);

}  // namespace vdrive
