#include "motor_model.h"

#include <algorithm>
#include <cmath>

namespace vdrive {
namespace {

constexpr double kNominalHz = 50.0;
constexpr double kNominalVolts = 400.0;
constexpr double kThermalTimeConstantS = 60.0;
constexpr double kTemperatureRiseAtNominalC = 80.0;
constexpr double kFastestRampHzPerS = 25.0;  // scale of the acceleration torque

}  // namespace

const char *FaultName(Fault fault) {
  switch (fault) {
    case Fault::OverCurrent:
      return "Túláram";
    case Fault::OverVoltage:
      return "Túlfeszültség";
    case Fault::OverTemperature:
      return "Túlmelegedés";
    case Fault::None:
      break;
  }
  return "Nincs";
}

bool MotorModel::Start() {
  if (fault_ != Fault::None) {
    return false;
  }
  running_ = true;
  return true;
}

void MotorModel::Stop() {
  running_ = false;
  fault_ = Fault::None;
}

bool MotorModel::ToggleDirection(const ParameterSet &params) {
  if (params.Lock() != DirectionLock::None) {
    return false;
  }
  direction_ = direction_ == Direction::Forward ? Direction::Reverse : Direction::Forward;
  return true;
}

void MotorModel::RaiseFault(Fault fault) {
  if (fault == Fault::None) {
    return;
  }
  // The output stage switches off: the motor coasts and the output is 0 at once.
  fault_ = fault;
  running_ = false;
  frequency_ = 0.0;
  current_ = 0.0;
  load_ = 0.0;
}

double MotorModel::TargetHz(const ParameterSet &params) const {
  double magnitude = 0.0;
  if (fault_ != Fault::None) {
    magnitude = 0.0;
  } else if (running_) {
    magnitude = std::clamp(params.Hz(Param::SetPoint), params.Hz(Param::MinFrequency),
                           params.Hz(Param::MaxFrequency));
  } else if (jogHeld_) {
    magnitude = params.Hz(Param::JogFrequency);
  }
  return magnitude * static_cast<int>(direction_);
}

void MotorModel::ApplyDirectionLock(const ParameterSet &params) {
  if (params.Lock() == DirectionLock::ForwardOnly) {
    direction_ = Direction::Forward;
  } else if (params.Lock() == DirectionLock::ReverseOnly) {
    direction_ = Direction::Reverse;
  }
}

void MotorModel::Step(double dt, const ParameterSet &params) {
  if (dt <= 0.0) {
    return;
  }
  ApplyDirectionLock(params);
  const double target = TargetHz(params);
  const double maxHz = params.Hz(Param::MaxFrequency);
  const double upRate = maxHz / params.Seconds(Param::RampUpTime);
  const double downRate = maxHz / params.Seconds(Param::RampDownTime);
  const double before = frequency_;

  // Through zero first when the direction changes; speeding up and slowing
  // down follow their own ramps.
  const bool crossing = frequency_ != 0.0 && target * frequency_ < 0.0;
  const double goal = crossing ? 0.0 : target;
  const bool speedingUp = std::abs(goal) > std::abs(frequency_);
  const double step = (speedingUp ? upRate : downRate) * dt;
  if (std::abs(goal - frequency_) <= step) {
    frequency_ = goal;
  } else {
    frequency_ += goal > frequency_ ? step : -step;
  }

  const double acceleration = (std::abs(frequency_) - std::abs(before)) / dt;
  UpdateElectrical(acceleration, params);

  const double relativeCurrent = current_ / (params.Get(Param::MotorCurrent) / 10.0);
  const double heatTarget =
      kAmbientC + kTemperatureRiseAtNominalC * relativeCurrent * relativeCurrent;
  temperature_ += (heatTarget - temperature_) * std::min(1.0, dt / kThermalTimeConstantS);
  if (frequency_ != 0.0 && temperature_ > params.Get(Param::MotorTempLimit)) {
    RaiseFault(Fault::OverTemperature);
  }
}

void MotorModel::UpdateElectrical(double acceleration, const ParameterSet &params) {
  if (frequency_ == 0.0) {
    current_ = 0.0;
    load_ = 0.0;
    return;
  }
  // A fan-like load plus the torque that accelerating the rotor takes.
  const double speed = std::abs(frequency_) / kNominalHz;
  const double accelerationTorque = 0.4 * std::clamp(acceleration / kFastestRampHzPerS, 0.0, 1.0);
  load_ = std::clamp(0.15 + 0.7 * speed * speed + accelerationTorque, 0.0, 2.0);
  current_ = params.Get(Param::MotorCurrent) / 10.0 * (0.35 + 0.65 * load_);
}

double MotorModel::VoltageV() const {
  return std::min(kNominalVolts, kNominalVolts * std::abs(frequency_) / kNominalHz);
}

}  // namespace vdrive
