#include "parameters.h"

#include <algorithm>

#include "display_text.h"

namespace vdrive {
namespace {

constexpr const char *kLockOptions[] = {"Nincs", "Csak előre", "Csak hátra"};

constexpr ParamInfo kParamInfos[kStoredParamCount] = {
    {"Alapjel", "Hz", 0, 4000, 250, 1, {}},       {"Felfutási idő", "s", 1, 6000, 50, 1, {}},
    {"Lefutási idő", "s", 1, 6000, 50, 1, {}},    {"Max. frekvencia", "Hz", 100, 4000, 500, 1, {}},
    {"Min. frekvencia", "Hz", 0, 4000, 0, 1, {}}, {"Kúszó frekvencia", "Hz", 0, 500, 50, 1, {}},
    {"Motor névl. áram", "A", 1, 999, 40, 1, {}}, {"Motor hőfokhatár", "°C", 40, 180, 110, 0, {}},
    {"Vivőfrekvencia", "kHz", 2, 16, 4, 0, {}},   {"Holtidő", "µs", 10, 50, 20, 1, {}},
    {"Irányzár", "", 0, 2, 0, 0, kLockOptions},
};

std::string NumberText(int32_t value, int decimals) {
  if (decimals == 0) {
    return Format("%d", value);
  }
  return Format("%.1f", value / 10.0);
}

}  // namespace

const ParamInfo &InfoOf(Param param) {
  return kParamInfos[static_cast<size_t>(param)];
}

ParameterSet::ParameterSet() {
  ResetToDefaults();
}

void ParameterSet::ResetToDefaults() {
  for (int i = 0; i < kStoredParamCount; ++i) {
    values_[i] = kParamInfos[i].defaultValue;
  }
}

int32_t ParameterSet::MinOf(Param param) const {
  switch (param) {
    case Param::SetPoint:
      return Get(Param::MinFrequency);
    case Param::MaxFrequency:
      return std::max(InfoOf(param).min, Get(Param::MinFrequency));
    default:
      return InfoOf(param).min;
  }
}

int32_t ParameterSet::MaxOf(Param param) const {
  switch (param) {
    case Param::SetPoint:
    case Param::MinFrequency:
      return Get(Param::MaxFrequency);
    case Param::JogFrequency:
      return std::min(InfoOf(param).max, Get(Param::MaxFrequency));
    default:
      return InfoOf(param).max;
  }
}

int32_t ParameterSet::Set(Param param, int32_t value) {
  const int32_t kept = std::clamp(value, MinOf(param), MaxOf(param));
  values_[static_cast<size_t>(param)] = kept;
  // A narrower frequency range pulls the values that must lie inside it along.
  if (param == Param::MaxFrequency || param == Param::MinFrequency) {
    values_[static_cast<size_t>(Param::SetPoint)] =
        std::clamp(Get(Param::SetPoint), MinOf(Param::SetPoint), MaxOf(Param::SetPoint));
    values_[static_cast<size_t>(Param::JogFrequency)] =
        std::min(Get(Param::JogFrequency), MaxOf(Param::JogFrequency));
  }
  return kept;
}

std::optional<ParameterSet> ParameterSet::FromStored(std::span<const uint16_t> stored) {
  if (stored.size() != kStoredParamCount) {
    return std::nullopt;
  }
  ParameterSet set;
  for (int i = 0; i < kStoredParamCount; ++i) {
    if (stored[i] < kParamInfos[i].min || stored[i] > kParamInfos[i].max) {
      return std::nullopt;
    }
    set.values_[i] = stored[i];
  }
  const auto inRange = [&set](Param p) {
    return set.Get(p) >= set.MinOf(p) && set.Get(p) <= set.MaxOf(p);
  };
  if (!inRange(Param::MaxFrequency) || !inRange(Param::SetPoint) || !inRange(Param::JogFrequency)) {
    return std::nullopt;
  }
  return set;
}

std::array<uint16_t, kStoredParamCount> ParameterSet::ToStored() const {
  std::array<uint16_t, kStoredParamCount> stored{};
  for (int i = 0; i < kStoredParamCount; ++i) {
    stored[i] = static_cast<uint16_t>(values_[i]);
  }
  return stored;
}

std::string ValueText(Param param, int32_t value) {
  const ParamInfo &info = InfoOf(param);
  if (!info.options.empty()) {
    return info.options[static_cast<size_t>(std::clamp<int32_t>(value, 0, info.max))];
  }
  return NumberText(value, info.decimals) + " " + info.unit;
}

std::string RangeText(const ParameterSet &set, Param param) {
  const ParamInfo &info = InfoOf(param);
  if (!info.options.empty()) {
    return Format("%zu választás", info.options.size());
  }
  return NumberText(set.MinOf(param), info.decimals) + "÷" +
         NumberText(set.MaxOf(param), info.decimals) + " " + info.unit;
}

}  // namespace vdrive
