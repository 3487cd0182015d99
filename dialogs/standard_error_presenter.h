// A presenter that shows no dialog: it writes each message to standard error
// and returns at once. The program switches to it when it closes on a signal,
// when nobody may be there to answer a dialog.
#pragma once

#include "message_dialog.h"

class TStandardErrorPresenter : public TMessageDialogPresenter {
 public:
  // Writes one line: "Sorvanel: " and the caption, headline and message that
  // are not empty, separated by ": ". A check box keeps its state.
  void Show(const TMessageDialogRequest &request, bool *checkBoxState) override;
};
