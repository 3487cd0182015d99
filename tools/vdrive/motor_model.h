// A small motor and inverter model: the output frequency follows the command
// along the ramps; current, load and winding temperature follow the frequency.
#pragma once

#include "parameters.h"

namespace vdrive {

enum class Fault : uint8_t { None, OverCurrent, OverVoltage, OverTemperature };
const char *FaultName(Fault fault);  // display text, e.g. "Túláram"

enum class Direction : int8_t { Forward = 1, Reverse = -1 };

class MotorModel {
 public:
  static constexpr double kAmbientC = 25.0;

  // Commands from the keypad. Start is refused while a fault is active.
  bool Start();
  void Stop();  // also clears an active fault
  void SetJog(bool held) { jogHeld_ = held; }
  // Returns false when the direction lock forbids the change.
  bool ToggleDirection(const ParameterSet &params);
  void RaiseFault(Fault fault);

  // Advances the model by dt seconds.
  void Step(double dt, const ParameterSet &params);

  bool Running() const { return running_; }
  bool Jogging() const { return !running_ && jogHeld_ && fault_ == Fault::None; }
  Direction CommandedDirection() const { return direction_; }
  Fault ActiveFault() const { return fault_; }
  double FrequencyHz() const { return frequency_; }  // signed: negative runs in reverse
  double CurrentA() const { return current_; }
  double LoadPercent() const { return load_ * 100.0; }
  double TemperatureC() const { return temperature_; }
  double VoltageV() const;
  bool RunLed() const { return running_ || frequency_ != 0.0; }

 private:
  double TargetHz(const ParameterSet &params) const;
  void ApplyDirectionLock(const ParameterSet &params);
  void UpdateElectrical(double acceleration, const ParameterSet &params);

  bool running_ = false;
  bool jogHeld_ = false;
  Direction direction_ = Direction::Forward;
  Fault fault_ = Fault::None;
  double frequency_ = 0.0;
  double current_ = 0.0;
  double load_ = 0.0;
  double temperature_ = kAmbientC;
};

}  // namespace vdrive
