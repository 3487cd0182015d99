#include "virtual_drive.h"

#include "drive_frame.h"

namespace vdrive {
namespace {

constexpr auto kProgressShownFor = std::chrono::seconds(30);
constexpr auto kOutcomeShownFor = std::chrono::seconds(4);

}  // namespace

VirtualDrive::VirtualDrive(Clock::time_point start)
    : panel_(params_, motor_, *this), lastAdvance_(start), lastAnswer_(start) {}

void VirtualDrive::Advance(Clock::time_point now) {
  const std::chrono::duration<double> dt = now - lastAdvance_;
  lastAdvance_ = now;
  for (const KeyPress &press : keys_.Repeats(now)) {
    panel_.OnKey(press, now);
  }
  motor_.SetJog(keys_.Held(Key::Jog));
  motor_.Step(dt.count(), params_);
}

// A changed line first, taking turns among the changed ones; with nothing
// changed the lines are sent in turn, so a terminal that starts late or
// missed a message soon shows the whole display.
int VirtualDrive::PickLine(const DisplayScreen &screen) {
  for (int step = 1; step <= kDisplayLines; ++step) {
    const int line = (lastLine_ + step) % kDisplayLines;
    if (shown_[line] != screen[line]) {
      return lastLine_ = line;
    }
  }
  return lastLine_ = (lastLine_ + 1) % kDisplayLines;
}

std::vector<uint8_t> VirtualDrive::NextMessage(Clock::time_point now) {
  const PanelOutput out = panel_.Render(now);
  const Leds leds{out.errorLed, out.runLed};
  ++messages_;
  transferInFlight_ = false;
  // Writes take turns with display lines so the display keeps up; reads
  // carry a display line of their own.
  if (transfer_.Busy()) {
    const TransferRequest request = transfer_.Current();
    if (request.kind == TransferRequest::Kind::Read) {
      const int line = PickLine(out.lines);
      shown_[line] = out.lines[line];
      transferInFlight_ = true;
      return MemoryReadPayload(line, out.lines[line], request.address, leds);
    }
    if (!lastWasWrite_) {
      lastWasWrite_ = true;
      transferInFlight_ = true;
      return MemoryWritePayload(request.address, request.data, leds);
    }
  }
  lastWasWrite_ = false;
  if (messages_ % kKeepAliveEvery == 0) {
    const uint8_t kind = keepAliveKind_;
    keepAliveKind_ =
        kind == kelvo::kReplyKindLastKeepAlive ? kelvo::kReplyKindFirstKeepAlive : kind + 1;
    return KeepAlivePayload(kind, 3, out.lines[3], leds);
  }
  const int line = PickLine(out.lines);
  shown_[line] = out.lines[line];
  return DisplayPayload(line, out.lines[line], leds);
}

void VirtualDrive::OnExchange(const std::optional<TerminalAnswer> &answer, Clock::time_point now) {
  if (transferInFlight_) {
    if (answer) {
      transfer_.OnAnswered(answer->address, answer->value1);
    } else {
      transfer_.OnNoAnswer();
    }
    if (const auto outcome = transfer_.TakeOutcome()) {
      FinishTransfer(*outcome, now);
    } else {
      ShowTransferProgress(now);
    }
  }
  if (answer) {
    lastAnswer_ = now;
    for (const KeyPress &press : keys_.Update(answer->keyState0, answer->keyState1, now)) {
      panel_.OnKey(press, now);
    }
  } else if (now - lastAnswer_ > kKeysLostAfter) {
    keys_.ReleaseAll();  // the terminal is gone: a held JOG must not keep the motor going
  }
  motor_.SetJog(keys_.Held(Key::Jog));
}

void VirtualDrive::StartSave() {
  transfer_.StartSave(params_, ++saveCounter_);
  ShowTransferProgress(lastAdvance_);
}

void VirtualDrive::StartLoad() {
  transfer_.StartLoad();
  ShowTransferProgress(lastAdvance_);
}

void VirtualDrive::ShowTransferProgress(Clock::time_point now) {
  if (!transfer_.Busy()) {
    return;
  }
  const char *what =
      transfer_.Current().kind == TransferRequest::Kind::Write ? "Mentés" : "Betöltés";
  panel_.ShowMessage(Format("%s %d/%d", what, transfer_.Done(), transfer_.Total()), now,
                     kProgressShownFor);
}

void VirtualDrive::FinishTransfer(TransferOutcome outcome, Clock::time_point now) {
  if (outcome == TransferOutcome::Loaded && transfer_.LoadedSet()) {
    params_ = *transfer_.LoadedSet();
    saveCounter_ = transfer_.LoadedSaveCounter();
  }
  panel_.ShowMessage(OutcomeText(outcome), now, kOutcomeShownFor);
}

}  // namespace vdrive
