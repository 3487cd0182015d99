// The drive itself: the parameters, the motor, the keypad and display, and
// the choice of the next message it sends on the line.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "frame_receiver.h"
#include "key_tracker.h"
#include "motor_model.h"
#include "panel.h"
#include "param_transfer.h"
#include "parameters.h"

namespace vdrive {

class VirtualDrive : public PanelActions {
 public:
  // Every this many messages one is a keep-alive of kinds 2 to 13.
  static constexpr int kKeepAliveEvery = 25;
  // Keys count as let go when no answer came for this long.
  static constexpr auto kKeysLostAfter = std::chrono::milliseconds(1500);

  explicit VirtualDrive(Clock::time_point start);

  // Moves the motor and the held keys on to now.
  void Advance(Clock::time_point now);
  // The payload of the next message to send.
  std::vector<uint8_t> NextMessage(Clock::time_point now);
  // What came back for the message NextMessage gave last.
  void OnExchange(const std::optional<TerminalAnswer> &answer, Clock::time_point now);

  // PanelActions
  void StartSave() override;
  void StartLoad() override;
  bool TransferBusy() const override { return transfer_.Busy(); }

  const Panel &GetPanel() const { return panel_; }
  const MotorModel &Motor() const { return motor_; }
  const ParameterSet &Params() const { return params_; }

 private:
  int PickLine(const DisplayScreen &screen);
  void ShowTransferProgress(Clock::time_point now);
  void FinishTransfer(TransferOutcome outcome, Clock::time_point now);

  ParameterSet params_;
  MotorModel motor_;
  ParamTransfer transfer_;
  KeyTracker keys_;
  Panel panel_;

  std::array<std::optional<DisplayLine>, kDisplayLines> shown_{};
  int lastLine_ = kDisplayLines - 1;
  uint64_t messages_ = 0;
  uint8_t keepAliveKind_ = 2;
  bool transferInFlight_ = false;
  bool lastWasWrite_ = false;
  uint16_t saveCounter_ = 0;
  Clock::time_point lastAdvance_;
  Clock::time_point lastAnswer_;
};

}  // namespace vdrive
