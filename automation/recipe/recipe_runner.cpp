#include "recipe_runner.h"

namespace {

QString SecondsText(std::chrono::milliseconds duration) {
  return QString::number(static_cast<double>(duration.count()) / 1000.0, 'g', 6) +
         QStringLiteral(" s");
}

}  // namespace

QString DescribeRecipeOutcome(const TRecipeOutcome &outcome) {
  if (outcome.sourceLine == 0) {
    return outcome.message;
  }
  return QStringLiteral("line %1: %2").arg(QString::number(outcome.sourceLine), outcome.message);
}

TRecipeRunner::TRecipeRunner(TRecipePanel &panel, QObject *parent)
    : QObject(parent), panel_(panel) {
  stepTimer_.setSingleShot(true);
  stepTimer_.setTimerType(Qt::PreciseTimer);
  expectTimer_.setSingleShot(true);
  expectTimer_.setTimerType(Qt::PreciseTimer);
  connect(&stepTimer_, &QTimer::timeout, this, [this] {
    if (Current().kind == TRecipeStepKind::Hold) {
      panel_.Release(Current().keys.front());
    }
    Advance();
  });
  connect(&expectTimer_, &QTimer::timeout, this, &TRecipeRunner::ExpectationTimedOut);
  connect(&panel_, &TRecipePanel::DisplayChanged, this, &TRecipeRunner::CheckExpectation);
  connect(&panel_, &TRecipePanel::Gone, this, &TRecipeRunner::PanelGone);
}

void TRecipeRunner::Start(TRecipe recipe) {
  if (running_) {
    return;
  }
  recipe_ = std::move(recipe);
  stepIndex_ = 0;
  running_ = true;
  ++generation_;
  Later([this] { NextStep(); });
}

// Every step begins from the event loop: a long run of steps that end at once
// (expectations already met, zero waits) must not nest calls.
void TRecipeRunner::Later(std::function<void()> action) {
  const int generation = generation_;
  QTimer::singleShot(0, this, [this, generation, action = std::move(action)] {
    if (running_ && generation == generation_) {
      action();
    }
  });
}

void TRecipeRunner::Advance() {
  ++stepIndex_;
  Later([this] { NextStep(); });
}

void TRecipeRunner::NextStep() {
  if (!panel_.Alive()) {
    PanelGone();
    return;
  }
  if (stepIndex_ >= recipe_.steps.size()) {
    Finish({TRecipeStatus::Done, 0, {}, {}});
    return;
  }
  const TRecipeStep &step = Current();
  emit StepStarted(step.sourceLine);
  switch (step.kind) {
    case TRecipeStepKind::Press:
      keyIndex_ = 0;
      TapNextKey();
      break;
    case TRecipeStepKind::Hold:
      panel_.Press(step.keys.front());
      stepTimer_.start(step.duration);
      break;
    case TRecipeStepKind::Wait:
      stepTimer_.start(step.duration);
      break;
    case TRecipeStepKind::Expect:
      expecting_ = true;
      expectTimer_.start(step.duration);
      CheckExpectation();
      break;
  }
}

void TRecipeRunner::TapNextKey() {
  if (keyIndex_ >= Current().keys.size()) {
    Advance();
    return;
  }
  const int key = Current().keys[keyIndex_++];
  const int generation = generation_;
  QPointer<TRecipeRunner> alive(this);
  panel_.Tap(key, [this, alive, generation] {
    if (alive && running_ && generation == generation_) {
      TapNextKey();
    }
  });
}

void TRecipeRunner::CheckExpectation() {
  if (!expecting_) {
    return;
  }
  const TRecipeStep &step = Current();
  if (panel_.Lines().value(step.displayLine - 1).contains(step.text)) {
    expecting_ = false;
    expectTimer_.stop();
    Advance();
  }
}

void TRecipeRunner::ExpectationTimedOut() {
  if (!expecting_) {
    return;
  }
  const TRecipeStep &step = Current();
  const QStringList lines = panel_.Lines();
  Finish({TRecipeStatus::ExpectationNotMet, step.sourceLine, lines,
          QStringLiteral("line %1 of the display did not show \"%2\" within %3; it shows \"%4\"")
              .arg(QString::number(step.displayLine), step.text, SecondsText(step.duration),
                   lines.value(step.displayLine - 1))});
}

void TRecipeRunner::PanelGone() {
  if (!running_) {
    return;
  }
  const int sourceLine = stepIndex_ < recipe_.steps.size() ? Current().sourceLine : 0;
  Finish({TRecipeStatus::PanelGone,
          sourceLine,
          {},
          QStringLiteral("the program closed before the recipe was done")});
}

void TRecipeRunner::Finish(TRecipeOutcome outcome) {
  running_ = false;
  expecting_ = false;
  ++generation_;
  stepTimer_.stop();
  expectTimer_.stop();
  emit Finished(outcome);
}
