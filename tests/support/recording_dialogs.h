// A message-dialog presenter for tests: records every request instead of
// showing it, so no test blocks on a modal dialog.
//
//   TRecordingDialogs dialogs;                // installs itself
//   dialogs.checkBoxAnswer = false;           // what the "user" ticks
//   ... code under test calls Luvamsg_ShowDialog ...
//   EXPECT_EQ(dialogs.requests.size(), 1u);
//
// The previous presenter is put back when the recorder goes out of scope.
#pragma once

#include <optional>
#include <vector>

#include "message_dialog.h"

class TRecordingDialogs : public TMessageDialogPresenter {
 public:
  struct TRecord {
    TMessageDialogRequest request;
    bool checkBoxStateShown = false;  // state passed in (check-box requests only)
  };

  TRecordingDialogs() : previous_(SetMessageDialogPresenter(this)) {}
  ~TRecordingDialogs() override { SetMessageDialogPresenter(previous_); }
  TRecordingDialogs(const TRecordingDialogs &) = delete;
  TRecordingDialogs &operator=(const TRecordingDialogs &) = delete;

  void Show(const TMessageDialogRequest &request, bool *checkBoxState) override {
    TRecord record{request, checkBoxState != nullptr && *checkBoxState};
    records.push_back(record);
    if (checkBoxState != nullptr && checkBoxAnswer.has_value()) {
      *checkBoxState = *checkBoxAnswer;
    }
  }

  const TMessageDialogRequest &last() const { return records.back().request; }

  std::vector<TRecord> records;
  // State written back for check-box requests; empty = leave it as shown.
  std::optional<bool> checkBoxAnswer;

 private:
  TMessageDialogPresenter *previous_;
};
