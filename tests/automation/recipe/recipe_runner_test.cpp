// The recipe runner on a fake panel: the order of keys, waiting for the
// display, and the three ways a run ends early.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include "recipe_parser.h"
#include "recipe_runner.h"

namespace {

// Keys are logged by name; UP raises a counter on line 2 a few milliseconds
// after its tap, as a drive answers a frame later.
class TFakePanel : public TRecipePanel {
 public:
  void Tap(int key, std::function<void()> done) override {
    log << QStringLiteral("tap %1").arg(key);
    if (tapsBeforeGone == 0) {
      After(1, [this] { Die(); });
      return;
    }
    --tapsBeforeGone;
    After(1, [this, key, done] {
      done();
      if (key == 0) {
        After(5, [this] { Show(QStringLiteral("Value %1").arg(++value)); });
      }
    });
  }
  void Press(int key) override { log << QStringLiteral("press %1").arg(key); }
  void Release(int key) override { log << QStringLiteral("release %1").arg(key); }
  QStringList Lines() const override { return lines; }
  bool Alive() const override { return alive; }

  void Show(const QString &line2) {
    if (!alive) {
      return;
    }
    lines[1] = line2;
    emit DisplayChanged();
  }
  void Die() {
    alive = false;
    lines.clear();
    emit Gone();
  }

  // A timer owned by the panel, so none outlives it.
  void After(int ms, std::function<void()> action) {
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [timer, action = std::move(action)] {
      timer->deleteLater();
      action();
    });
    timer->start(ms);
  }

  QStringList log;
  QStringList lines = {"Fake", "Value 0", "", ""};
  int value = 0;
  int tapsBeforeGone = -1;
  bool alive = true;
};

TRecipeOutcome RunRecipe(TFakePanel &panel, const QByteArray &text) {
  const TRecipeParse parse = ParseRecipe(text);
  if (!parse.Ok()) {
    ADD_FAILURE() << DescribeRecipeError(parse.error).toStdString();
    return {};
  }
  TRecipeRunner runner(panel);
  TRecipeOutcome outcome;
  int finishedCount = 0;
  QEventLoop loop;
  QObject::connect(&runner, &TRecipeRunner::Finished, &loop, [&](const TRecipeOutcome &done) {
    outcome = done;
    ++finishedCount;
    loop.quit();
  });
  runner.Start(*parse.recipe);
  EXPECT_EQ(finishedCount, 0) << "finished from inside Start";
  QTimer::singleShot(30000, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(finishedCount, 1);
  EXPECT_FALSE(runner.Running());
  return outcome;
}

TEST(RecipeRunner, TapsKeysInTurnAndWaitsForTheDisplayBeforeGoingOn) {
  TFakePanel panel;
  const TRecipeOutcome outcome = RunRecipe(panel,
                                           "press UP UP DOWN\n"
                                           "expect 2 \"Value 2\"\n"
                                           "hold START 20\n"
                                           "wait 5\n"
                                           "press STOP\n");
  EXPECT_EQ(outcome.status, TRecipeStatus::Done) << DescribeRecipeOutcome(outcome).toStdString();
  EXPECT_EQ(panel.log, (QStringList{"tap 0", "tap 0", "tap 4", "press 9", "release 9", "tap 10"}));
}

TEST(RecipeRunner, StopsAtAnUnmetExpectationOnItsTimeOutAndPressesNothingAfter) {
  TFakePanel panel;
  const TRecipeOutcome outcome = RunRecipe(panel,
                                           "press UP\n"
                                           "# the counter only reaches 1\n"
                                           "expect 2 \"Value 5\" 0.1\n"
                                           "press DOWN\n");
  EXPECT_EQ(outcome.status, TRecipeStatus::ExpectationNotMet);
  EXPECT_EQ(outcome.sourceLine, 3);
  EXPECT_EQ(outcome.lines.value(1), QStringLiteral("Value 1"));
  EXPECT_TRUE(DescribeRecipeOutcome(outcome).startsWith(
      "line 3: line 2 of the display did not show \"Value 5\" within 0.1 s; it shows \"Value 1\""))
      << DescribeRecipeOutcome(outcome).toStdString();
  EXPECT_EQ(panel.log, QStringList{"tap 0"});
}

TEST(RecipeRunner, APanelThatGoesEndsTheRunAtTheStepItWasOn) {
  TFakePanel panel;
  panel.tapsBeforeGone = 1;
  TRecipeOutcome outcome = RunRecipe(panel, "press UP\nwait 1\npress UP DOWN\npress DOWN\n");
  EXPECT_EQ(outcome.status, TRecipeStatus::PanelGone);
  EXPECT_EQ(outcome.sourceLine, 3);
  EXPECT_EQ(panel.log, (QStringList{"tap 0", "tap 0"}));

  // Gone while an expectation waits, and gone before the start.
  TFakePanel waiting;
  waiting.After(20, [&waiting] { waiting.Die(); });
  outcome = RunRecipe(waiting, "expect 1 \"never\" 30\n");
  EXPECT_EQ(outcome.status, TRecipeStatus::PanelGone);
  EXPECT_EQ(outcome.sourceLine, 1);
  outcome = RunRecipe(waiting, "press UP\n");
  EXPECT_EQ(outcome.status, TRecipeStatus::PanelGone);
  EXPECT_TRUE(waiting.log.isEmpty());
}

TEST(RecipeRunner, ALongRunOfStepsThatEndAtOnceDoesNotNest) {
  TFakePanel panel;
  QByteArray text;
  for (int i = 0; i < 20000; ++i) {
    text += "expect 1 \"Fake\"\nwait 0\n";
  }
  EXPECT_EQ(RunRecipe(panel, text).status, TRecipeStatus::Done);
}

}  // namespace
