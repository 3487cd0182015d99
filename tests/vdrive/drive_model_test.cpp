// The drive's model without a line: motor, keypad, screens and menu.
#include <gtest/gtest.h>

#include <cmath>

#include "bar_graph.h"
#include "key_tracker.h"
#include "motor_model.h"
#include "panel.h"
#include "parameters.h"

namespace vdrive {
namespace {

using std::chrono::milliseconds;

class NoActions : public PanelActions {
 public:
  void StartSave() override { ++saves; }
  void StartLoad() override { ++loads; }
  bool TransferBusy() const override { return false; }
  int saves = 0;
  int loads = 0;
};

void RunFor(MotorModel &motor, const ParameterSet &params, double seconds, double dt = 0.01) {
  for (double t = 0; t < seconds - 1e-9; t += dt) {
    motor.Step(dt, params);
  }
}

TEST(MotorRamps, FrequencyFollowsTheSetPointAtTheRampRates) {
  ParameterSet params;                  // max 50 Hz, 5 s ramps: 10 Hz/s; set-point 25 Hz
  params.Set(Param::RampDownTime, 25);  // 2.5 s: 20 Hz/s
  MotorModel motor;
  motor.Start();
  RunFor(motor, params, 1.0);
  EXPECT_NEAR(motor.FrequencyHz(), 10.0, 0.05);
  RunFor(motor, params, 3.0);
  EXPECT_DOUBLE_EQ(motor.FrequencyHz(), 25.0);
  EXPECT_GT(motor.CurrentA(), 0.0);
  motor.Stop();
  RunFor(motor, params, 1.0);
  EXPECT_NEAR(motor.FrequencyHz(), 5.0, 0.05);
  EXPECT_TRUE(motor.RunLed()) << "the Run LED stays on while the motor still turns";
  RunFor(motor, params, 1.0);
  EXPECT_EQ(motor.FrequencyHz(), 0.0);
  EXPECT_FALSE(motor.RunLed());
  EXPECT_EQ(motor.CurrentA(), 0.0);
}

TEST(MotorRamps, ReversingPassesThroughStandstill) {
  ParameterSet params;
  MotorModel motor;
  motor.Start();
  RunFor(motor, params, 3.0);
  ASSERT_TRUE(motor.ToggleDirection(params));
  double previous = motor.FrequencyHz();
  bool sawZero = false;
  for (int i = 0; i < 800; ++i) {
    motor.Step(0.01, params);
    sawZero = sawZero || motor.FrequencyHz() == 0.0;
    EXPECT_LE(std::abs(motor.FrequencyHz() - previous), 0.1 + 1e-9) << "no jump at step " << i;
    previous = motor.FrequencyHz();
  }
  EXPECT_TRUE(sawZero);
  EXPECT_DOUBLE_EQ(motor.FrequencyHz(), -25.0);
}

TEST(MotorFaults, FaultStopsTheOutputAndOnlyStopClearsIt) {
  ParameterSet params;
  MotorModel motor;
  motor.Start();
  RunFor(motor, params, 2.0);
  motor.RaiseFault(Fault::OverCurrent);
  EXPECT_EQ(motor.FrequencyHz(), 0.0);
  EXPECT_FALSE(motor.Running());
  EXPECT_FALSE(motor.Start()) << "START is refused while the fault is active";
  motor.SetJog(true);
  RunFor(motor, params, 1.0);
  EXPECT_EQ(motor.FrequencyHz(), 0.0) << "JOG must not turn a faulted drive";
  motor.Stop();
  EXPECT_EQ(motor.ActiveFault(), Fault::None);
  EXPECT_TRUE(motor.Start());
}

TEST(MotorFaults, HotMotorTripsAtItsTemperatureLimit) {
  ParameterSet params;
  params.Set(Param::MotorTempLimit, 40);
  params.Set(Param::SetPoint, 500);
  MotorModel motor;
  motor.Start();
  RunFor(motor, params, 120.0, 0.1);
  EXPECT_EQ(motor.ActiveFault(), Fault::OverTemperature);
  EXPECT_EQ(motor.FrequencyHz(), 0.0);
}

TEST(MotorJog, RunsAtJogFrequencyOnlyWhileHeld) {
  ParameterSet params;  // jog 5 Hz
  MotorModel motor;
  motor.SetJog(true);
  RunFor(motor, params, 2.0);
  EXPECT_DOUBLE_EQ(motor.FrequencyHz(), 5.0);
  motor.SetJog(false);
  RunFor(motor, params, 1.0);
  EXPECT_EQ(motor.FrequencyHz(), 0.0);
}

TEST(MotorDirectionLock, LockForbidsTogglingAndForcesItsDirection) {
  ParameterSet params;
  params.Set(Param::DirectionLock, static_cast<int32_t>(DirectionLock::ReverseOnly));
  MotorModel motor;
  EXPECT_FALSE(motor.ToggleDirection(params));
  motor.Start();
  RunFor(motor, params, 3.0);
  EXPECT_LT(motor.FrequencyHz(), 0.0);
}

TEST(ParameterLimits, FrequencyLimitsPullDependentValuesAlong) {
  ParameterSet params;
  params.Set(Param::MaxFrequency, 200);  // 20 Hz, below the 25 Hz set-point
  EXPECT_EQ(params.Get(Param::SetPoint), 200);
  params.Set(Param::MinFrequency, 300);  // above max: clamped to max
  EXPECT_EQ(params.Get(Param::MinFrequency), 200);
  EXPECT_EQ(params.Set(Param::RampUpTime, 0), 1) << "a zero ramp time would divide by zero";
}

TEST(KeyTracking, PressIsTheRisingEdgeOfItsBit) {
  KeyTracker keys;
  const auto t0 = Clock::time_point{};
  auto presses = keys.Update(0x01, 0x00, t0);  // START
  ASSERT_EQ(presses.size(), 1u);
  EXPECT_EQ(presses[0].key, Key::Start);
  EXPECT_TRUE(keys.Update(0x01, 0x00, t0 + milliseconds(40)).empty()) << "held, not pressed again";
  presses = keys.Update(0x00, 0x08, t0 + milliseconds(80));  // JOG (byte 1)
  ASSERT_EQ(presses.size(), 1u);
  EXPECT_EQ(presses[0].key, Key::Jog);
  EXPECT_TRUE(keys.Held(Key::Jog));
  EXPECT_FALSE(keys.Held(Key::Start));
  EXPECT_FALSE(keys.Held(Key::Up)) << "byte 0 mask 0x08 is ENTER, not the byte-1 JOG";
}

TEST(KeyTracking, OnlyHeldArrowsRepeatAndNeverInBursts) {
  KeyTracker keys;
  const auto t0 = Clock::time_point{};
  keys.Update(0x01, 0x04, t0);  // START and UP held
  EXPECT_TRUE(keys.Repeats(t0 + milliseconds(400)).empty());
  const auto late = keys.Repeats(t0 + milliseconds(2000));
  ASSERT_EQ(late.size(), 1u) << "one repeat per call, even when called late";
  EXPECT_EQ(late[0].key, Key::Up);
  EXPECT_EQ(late[0].repeat, 1);
  keys.ReleaseAll();
  EXPECT_TRUE(keys.Repeats(t0 + milliseconds(3000)).empty());
  EXPECT_EQ(keys.Update(0x00, 0x04, t0 + milliseconds(3100)).size(), 1u) << "pressed again";
}

class PanelTest : public ::testing::Test {
 protected:
  void Press(Key key, int repeat = 0) { panel.OnKey({key, repeat}, now); }
  std::string Line(int line) {
    const DisplayLine codes = panel.Render(now).lines[line];
    return std::string(codes.begin(), codes.end());
  }

  ParameterSet params;
  MotorModel motor;
  NoActions actions;
  Panel panel{params, motor, actions};
  Clock::time_point now{};
};

TEST_F(PanelTest, MainScreenArrowsMoveTheSetPointFasterWhenHeld) {
  Press(Key::Up);
  EXPECT_EQ(params.Get(Param::SetPoint), 251);
  Press(Key::Up, 12);
  EXPECT_EQ(params.Get(Param::SetPoint), 261);
  EXPECT_EQ(Line(1), "Alapjel  26.1 Hz");
}

TEST_F(PanelTest, EditingKeepsTheRangeAndEscapeCancels) {
  Press(Key::Enter);  // menu, item 1: set-point
  Press(Key::Down);   // item 2: ramp up time
  Press(Key::Enter);
  ASSERT_TRUE(panel.Editing());
  for (int i = 0; i < 10; ++i) {
    Press(Key::Left);  // -1.0 s each, stops at 0.1 s
  }
  EXPECT_EQ(params.Get(Param::RampUpTime), 50) << "nothing changes before ENTER";
  Press(Key::Escape);
  EXPECT_EQ(params.Get(Param::RampUpTime), 50);
  Press(Key::Enter);
  for (int i = 0; i < 10; ++i) {
    Press(Key::Left);
  }
  Press(Key::Enter);
  EXPECT_EQ(params.Get(Param::RampUpTime), 1);
}

TEST_F(PanelTest, FaultSimulationRaisesTheChosenFaultAndLightsTheErrorLed) {
  Press(Key::Enter);
  for (int i = 0; i < kStoredParamCount; ++i) {
    Press(Key::Down);
  }
  ASSERT_EQ(Panel::ItemAt(panel.MenuIndex()), MenuItem::FaultSimulation);
  Press(Key::Enter);
  Press(Key::Up);  // Túláram
  Press(Key::Enter);
  EXPECT_EQ(motor.ActiveFault(), Fault::OverCurrent);
  EXPECT_TRUE(panel.Render(now).errorLed);
  Press(Key::Stop);
  EXPECT_FALSE(panel.Render(now).errorLed);
}

TEST_F(PanelTest, DisplayKeyCyclesTheMainScreensAndLeavesTheMenu) {
  Press(Key::Display);
  EXPECT_EQ(panel.CurrentScreen(), Screen::Measurements);
  Press(Key::Display);
  EXPECT_EQ(panel.CurrentScreen(), Screen::BarGraph);
  Press(Key::Enter);
  EXPECT_EQ(panel.CurrentScreen(), Screen::Menu);
  Press(Key::Display);
  EXPECT_EQ(panel.CurrentScreen(), Screen::BarGraph) << "back to the screen the menu came from";
  Press(Key::Display);
  EXPECT_EQ(panel.CurrentScreen(), Screen::Main);
}

// A text line whose first 13 columns were all spaces or cell codes would
// switch the terminal into its graphic mode by mistake.
TEST_F(PanelTest, TextScreensNeverPassForGraphicLinesAndAllTextsFit) {
  motor.Start();
  for (int i = 0; i < 300; ++i) {
    motor.Step(0.01, params);
  }
  const auto check = [&](const char *where) {
    const PanelOutput out = panel.Render(now);
    for (int line = 0; line < 3; ++line) {
      EXPECT_FALSE(IsCellLine(out.lines[line])) << where << " line " << line;
    }
    for (const DisplayLine &line : out.lines) {
      EXPECT_EQ(std::count(line.begin(), line.end(), '?'), 0) << where << ": unmapped letter";
    }
  };
  check("main");
  Press(Key::Display);
  check("measurements");
  Press(Key::Display);
  Press(Key::Enter);
  for (int item = 0; item < Panel::kMenuSize; ++item) {
    check("menu");
    if (Panel::ItemAt(item) == MenuItem::Parameter ||
        Panel::ItemAt(item) == MenuItem::FaultSimulation) {
      Press(Key::Enter);
      check("editing");
      Press(Key::Escape);
    }
    Press(Key::Down);
  }
  for (int i = 0; i < kStoredParamCount; ++i) {
    const ParamInfo &info = InfoOf(static_cast<Param>(i));
    EXPECT_LE(ToDisplayCodes(info.name).size(), 16u) << info.name;
    for (int32_t v : {info.min, info.max}) {
      // Appended rather than " " + text: GCC 12 at -O3 takes that insert at the front for an
      // overlapping copy (a false -Wrestrict).
      std::string shown(1, ' ');
      shown += ValueText(static_cast<Param>(i), v);
      EXPECT_LE(ToDisplayCodes(shown).size(), 16u);
    }
  }
}

TEST_F(PanelTest, BarGraphScreenIsCellsOnLinesZeroToTwoAndTextBelow) {
  motor.Start();
  for (int i = 0; i < 200; ++i) {
    motor.Step(0.01, params);
  }
  Press(Key::Display);
  Press(Key::Display);
  const PanelOutput out = panel.Render(now);
  for (int line = 0; line < 3; ++line) {
    EXPECT_TRUE(IsCellLine(out.lines[line])) << "line " << line;
  }
  EXPECT_FALSE(IsCellLine(out.lines[3]));
  EXPECT_EQ(out.lines[0][0], kCellFullStep) << "20 Hz of 50 Hz fills the first cells";
}

TEST(BarLines, BarLengthFollowsTheFractionInHalfCells) {
  EXPECT_EQ(BarLine(0.0, "0")[0], kCellEmpty);
  const DisplayLine half = BarLine(0.5, "50");
  EXPECT_EQ(std::count(half.begin(), half.begin() + kBarCells, kCellFullStep), 6);
  EXPECT_EQ(half[6], kCellHalfStep);
  const DisplayLine over = BarLine(7.0, "999");
  EXPECT_EQ(std::count(over.begin(), over.begin() + kBarCells, kCellFullStep), kBarCells);
  EXPECT_EQ(std::string(over.begin() + kBarCells, over.end()), "999");
  EXPECT_TRUE(IsCellLine(BarLine(std::nan(""), "x")));
}

}  // namespace
}  // namespace vdrive
