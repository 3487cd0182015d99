#include "panel.h"

#include <algorithm>
#include <cmath>

#include "bar_graph.h"

namespace vdrive {
namespace {

constexpr int kFaultChoices = 4;  // Fault::None .. Fault::OverTemperature

// Steps of a value change: held arrows speed up after ten repeats.
int32_t StepFor(const KeyPress &press) {
  return press.repeat >= 10 ? 10 : 1;
}

int Wrap(int value, int count) {
  return ((value % count) + count) % count;
}

}  // namespace

Panel::Panel(ParameterSet &params, MotorModel &motor, PanelActions &actions)
    : params_(params), motor_(motor), actions_(actions) {}

MenuItem Panel::ItemAt(int index) {
  if (index < kStoredParamCount) {
    return MenuItem::Parameter;
  }
  switch (index - kStoredParamCount) {
    case 0:
      return MenuItem::FaultSimulation;
    case 1:
      return MenuItem::Save;
    case 2:
      return MenuItem::Load;
    default:
      return MenuItem::Defaults;
  }
}

void Panel::ShowMessage(std::string text, Clock::time_point now, Clock::duration shownFor) {
  message_ = std::move(text);
  messageUntil_ = now + shownFor;
}

void Panel::OnKey(const KeyPress &press, Clock::time_point now) {
  if (OnDriveKey(press.key, now)) {
    return;
  }
  if (press.key == Key::Display) {
    editing_ = false;
    NextMainScreen(screen_ == Screen::Menu ? 0 : 1);
  } else if (screen_ != Screen::Menu) {
    OnMainKey(press);
  } else if (editing_) {
    OnEditKey(press, now);
  } else {
    OnMenuKey(press, now);
  }
}

// START, STOP and DIR work on every screen, as on the drive's own keypad.
// JOG is a held key: the drive follows its state, not its presses.
bool Panel::OnDriveKey(Key key, Clock::time_point now) {
  switch (key) {
    case Key::Start:
      if (!motor_.Start()) {
        ShowMessage("Hiba! STOP törli", now);
      }
      return true;
    case Key::Stop:
      motor_.Stop();
      return true;
    case Key::Direction:
      if (!motor_.ToggleDirection(params_)) {
        ShowMessage("Irányzár!", now);
      }
      return true;
    case Key::Jog:
      return true;
    default:
      return false;
  }
}

void Panel::NextMainScreen(int delta) {
  constexpr Screen kMainScreens[] = {Screen::Main, Screen::Measurements, Screen::BarGraph};
  const int current = static_cast<int>(lastMainScreen_);
  lastMainScreen_ = kMainScreens[Wrap(current + delta, 3)];
  screen_ = lastMainScreen_;
}

void Panel::OnMainKey(const KeyPress &press) {
  switch (press.key) {
    case Key::Up:
    case Key::Down: {
      const int32_t sign = press.key == Key::Up ? 1 : -1;
      params_.Set(Param::SetPoint, params_.Get(Param::SetPoint) + sign * StepFor(press));
      break;
    }
    case Key::Left:
    case Key::Right:
      if (press.repeat == 0) {
        NextMainScreen(press.key == Key::Right ? 1 : -1);
      }
      break;
    case Key::Enter:
      screen_ = Screen::Menu;
      break;
    case Key::Escape:
      messageUntil_ = {};
      break;
    default:
      break;
  }
}

void Panel::OnMenuKey(const KeyPress &press, Clock::time_point now) {
  switch (press.key) {
    case Key::Up:
      menuIndex_ = Wrap(menuIndex_ - 1, kMenuSize);
      break;
    case Key::Down:
      menuIndex_ = Wrap(menuIndex_ + 1, kMenuSize);
      break;
    case Key::Right:
    case Key::Enter:
      if (press.repeat == 0) {
        Activate(now);
      }
      break;
    case Key::Left:
    case Key::Escape:
      if (press.repeat == 0) {
        screen_ = lastMainScreen_;
      }
      break;
    default:
      break;
  }
}

void Panel::Activate(Clock::time_point now) {
  switch (ItemAt(menuIndex_)) {
    case MenuItem::Parameter:
      editing_ = true;
      editValue_ = params_.Get(static_cast<Param>(menuIndex_));
      return;
    case MenuItem::FaultSimulation:
      editing_ = true;
      editValue_ = static_cast<int32_t>(motor_.ActiveFault());
      return;
    case MenuItem::Save:
    case MenuItem::Load:
      if (actions_.TransferBusy()) {
        ShowMessage("Átvitel folyik", now);
      } else if (ItemAt(menuIndex_) == MenuItem::Save) {
        actions_.StartSave();
      } else {
        actions_.StartLoad();
      }
      return;
    case MenuItem::Defaults:
      if (actions_.TransferBusy()) {
        ShowMessage("Átvitel folyik", now);
        return;
      }
      params_.ResetToDefaults();
      ShowMessage("Gyári értékek", now);
      return;
  }
}

void Panel::OnEditKey(const KeyPress &press, Clock::time_point now) {
  const bool choice = ItemAt(menuIndex_) == MenuItem::FaultSimulation ||
                      !InfoOf(static_cast<Param>(menuIndex_)).options.empty();
  int32_t delta = 0;
  switch (press.key) {
    case Key::Up:
      delta = StepFor(press);
      break;
    case Key::Down:
      delta = -StepFor(press);
      break;
    case Key::Right:
      delta = choice ? 1 : 10;
      break;
    case Key::Left:
      delta = choice ? -1 : -10;
      break;
    case Key::Enter:
      if (press.repeat == 0) {
        Confirm(now);
      }
      return;
    case Key::Escape:
      editing_ = false;
      return;
    default:
      return;
  }
  if (ItemAt(menuIndex_) == MenuItem::FaultSimulation) {
    editValue_ = Wrap(editValue_ + (delta > 0 ? 1 : -1), kFaultChoices);
    return;
  }
  const Param param = static_cast<Param>(menuIndex_);
  if (choice) {
    const int count = static_cast<int>(InfoOf(param).options.size());
    editValue_ = Wrap(editValue_ + (delta > 0 ? 1 : -1), count);
  } else {
    editValue_ = std::clamp(editValue_ + delta, params_.MinOf(param), params_.MaxOf(param));
  }
}

void Panel::Confirm(Clock::time_point now) {
  editing_ = false;
  if (ItemAt(menuIndex_) == MenuItem::FaultSimulation) {
    motor_.RaiseFault(static_cast<Fault>(editValue_));
    return;
  }
  params_.Set(static_cast<Param>(menuIndex_), editValue_);
  ShowMessage("Elfogadva", now);
}

std::string Panel::StateWord() const {
  if (motor_.ActiveFault() != Fault::None) {
    return "HIBA";
  }
  if (motor_.Running()) {
    return "Üzem";
  }
  if (motor_.Jogging()) {
    return "Kúszás";
  }
  return motor_.FrequencyHz() != 0.0 ? "Lassít" : "Áll";
}

DisplayScreen Panel::RenderMain() const {
  const bool forward = motor_.CommandedDirection() == Direction::Forward;
  const std::string state = StateWord();
  // Column widths count display characters, not UTF-8 bytes.
  const std::string padded = state + std::string(8 - ToDisplayCodes(state).size(), ' ');
  std::string status = Format("Terhelés   %3.0f %%", motor_.LoadPercent());
  if (motor_.ActiveFault() != Fault::None) {
    status = FaultName(motor_.ActiveFault());
  }
  return {MakeLine(Format("Kimenet %5.1f Hz", std::abs(motor_.FrequencyHz()))),
          MakeLine(Format("Alapjel %5.1f Hz", params_.Hz(Param::SetPoint))),
          MakeLine(padded + (forward ? "» Előre" : "« Hátra")), MakeLine(status)};
}

DisplayScreen Panel::RenderMeasurements() const {
  return {MakeLine(Format("Áram      %4.1f A", motor_.CurrentA())),
          MakeLine(Format("Feszültség %3.0f V", motor_.VoltageV())),
          MakeLine(Format("Motorhőfok %3.0f°C", motor_.TemperatureC())),
          MakeLine(Format("Terhelés   %3.0f %%", motor_.LoadPercent()))};
}

DisplayScreen Panel::RenderBarGraph() const {
  const double maxHz = params_.Hz(Param::MaxFrequency);
  const double nominalA = params_.Get(Param::MotorCurrent) / 10.0;
  const double frequency = std::abs(motor_.FrequencyHz());
  const double current = motor_.CurrentA();
  const std::string currentText =
      current < 9.95 ? Format("%3.1f", current) : Format("%3.0f", std::min(999.0, current));
  return {
      BarLine(frequency / maxHz, Format("%3.0f", frequency),
              motor_.Running() ? params_.Hz(Param::SetPoint) / maxHz : -1.0),
      BarLine(current / (1.5 * nominalA), currentText),
      BarLine(motor_.LoadPercent() / 150.0, Format("%3.0f", std::min(999.0, motor_.LoadPercent()))),
      MakeLine("f[Hz] I[A] M[%]")};
}

DisplayScreen Panel::RenderMenu() const {
  const MenuItem item = ItemAt(menuIndex_);
  std::string name;
  std::string value;
  std::string hint = "ENTER: módosítás";
  switch (item) {
    case MenuItem::Parameter: {
      const Param param = static_cast<Param>(menuIndex_);
      name = InfoOf(param).name;
      value = ValueText(param, editing_ ? editValue_ : params_.Get(param));
      if (editing_) {
        hint = RangeText(params_, param);
      }
      break;
    }
    case MenuItem::FaultSimulation:
      name = "Hibaszimuláció";
      value = FaultName(editing_ ? static_cast<Fault>(editValue_) : motor_.ActiveFault());
      hint = editing_ ? "ENTER: kivált" : "ENTER: választ";
      break;
    case MenuItem::Save:
      name = "Param. mentése";
      value = "» terminálba";
      hint = "ENTER: indítás";
      break;
    case MenuItem::Load:
      name = "Param. betöltése";
      value = "« terminálból";
      hint = "ENTER: indítás";
      break;
    case MenuItem::Defaults:
      name = "Gyári értékek";
      value = "minden érték";
      hint = "ENTER: visszaáll";
      break;
  }
  // Line 2 always starts with a mark or a space and then text, so no menu
  // line can pass for a line of graphic cells.
  return {MakeLine(Format("Menü       %02d/%02d", menuIndex_ + 1, kMenuSize)), MakeLine(name),
          MakeLine((editing_ ? "»" : " ") + value), MakeLine(hint)};
}

PanelOutput Panel::Render(Clock::time_point now) const {
  DisplayScreen lines;
  switch (screen_) {
    case Screen::Main:
      lines = RenderMain();
      break;
    case Screen::Measurements:
      lines = RenderMeasurements();
      break;
    case Screen::BarGraph:
      lines = RenderBarGraph();
      break;
    case Screen::Menu:
      lines = RenderMenu();
      break;
  }
  if (now < messageUntil_) {
    lines[3] = MakeLine(message_);
  }
  return {lines, motor_.ActiveFault() != Fault::None, motor_.RunLed()};
}

}  // namespace vdrive
