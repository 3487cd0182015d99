// Plays a checked recipe on a panel, one step after the other, without
// blocking the event loop: presses, holds, waits and expectations. It stops
// at the first expectation not met in time and never presses past it; the
// panel is left as it is.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "recipe.h"
#include "recipe_panel.h"

// The exit statuses of the command-line client, one for each way a run ends.
enum class TRecipeStatus {
  Done = 0,
  ExpectationNotMet = 1,
  BadRecipe = 2,
  PanelGone = 3,
};

struct TRecipeOutcome {
  TRecipeStatus status = TRecipeStatus::Done;
  int sourceLine = 0;  // the step that ended the run (0: none, or a step of the command line)
  QStringList lines;   // ExpectationNotMet: the display at the time-out
  QString message;     // English, without the line number
};

// "line N: message" (or the message alone when no recipe line is to blame).
QString DescribeRecipeOutcome(const TRecipeOutcome &outcome);

class TRecipeRunner : public QObject {
  Q_OBJECT

 public:
  explicit TRecipeRunner(TRecipePanel &panel, QObject *parent = nullptr);

  // Starts the recipe; Finished follows once, never from inside Start. A
  // Start while a recipe runs is ignored.
  void Start(TRecipe recipe);
  bool Running() const { return running_; }

 signals:
  void StepStarted(int sourceLine);
  void Finished(const TRecipeOutcome &outcome);

 private:
  void Later(std::function<void()> action);
  void Advance();
  void NextStep();
  void TapNextKey();
  void CheckExpectation();
  void ExpectationTimedOut();
  void PanelGone();
  void Finish(TRecipeOutcome outcome);
  const TRecipeStep &Current() const { return recipe_.steps[stepIndex_]; }

  TRecipePanel &panel_;
  TRecipe recipe_;
  size_t stepIndex_ = 0;
  size_t keyIndex_ = 0;
  bool running_ = false;
  bool expecting_ = false;
  int generation_ = 0;  // a tap's late answer from an earlier run is ignored
  QTimer stepTimer_;
  QTimer expectTimer_;
};
