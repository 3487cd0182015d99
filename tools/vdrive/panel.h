// The drive's keypad and display: the main screens, the parameter menu and
// the editing of values. It turns key presses into commands and renders the
// four display lines and the two LEDs.
#pragma once

#include <string>

#include "display_text.h"
#include "key_tracker.h"
#include "motor_model.h"
#include "parameters.h"

namespace vdrive {

// What the menu asks of the drive beyond the parameters and the motor.
class PanelActions {
 public:
  virtual ~PanelActions() = default;
  virtual void StartSave() = 0;
  virtual void StartLoad() = 0;
  virtual bool TransferBusy() const = 0;
};

enum class Screen : uint8_t { Main, Measurements, BarGraph, Menu };

enum class MenuItem : uint8_t { Parameter, FaultSimulation, Save, Load, Defaults };

struct PanelOutput {
  DisplayScreen lines;
  bool errorLed;
  bool runLed;
};

class Panel {
 public:
  static constexpr auto kMessageTime = std::chrono::seconds(3);
  static constexpr int kMenuSize = kStoredParamCount + 4;

  Panel(ParameterSet &params, MotorModel &motor, PanelActions &actions);

  void OnKey(const KeyPress &press, Clock::time_point now);
  // A short text on line 3 for the given time (replaces any earlier one).
  void ShowMessage(std::string text, Clock::time_point now,
                   Clock::duration shownFor = kMessageTime);
  PanelOutput Render(Clock::time_point now) const;

  Screen CurrentScreen() const { return screen_; }
  int MenuIndex() const { return menuIndex_; }
  bool Editing() const { return editing_; }
  static MenuItem ItemAt(int index);

 private:
  bool OnDriveKey(Key key, Clock::time_point now);
  void OnMainKey(const KeyPress &press);
  void OnMenuKey(const KeyPress &press, Clock::time_point now);
  void OnEditKey(const KeyPress &press, Clock::time_point now);
  void Activate(Clock::time_point now);
  void Confirm(Clock::time_point now);
  void NextMainScreen(int delta);

  DisplayScreen RenderMain() const;
  DisplayScreen RenderMeasurements() const;
  DisplayScreen RenderBarGraph() const;
  DisplayScreen RenderMenu() const;
  std::string StateWord() const;

  ParameterSet &params_;
  MotorModel &motor_;
  PanelActions &actions_;
  Screen screen_ = Screen::Main;
  Screen lastMainScreen_ = Screen::Main;
  int menuIndex_ = 0;
  bool editing_ = false;
  int32_t editValue_ = 0;
  std::string message_;
  Clock::time_point messageUntil_{};
};

}  // namespace vdrive
