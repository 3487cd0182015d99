// The presenter the program installs: every request becomes a modal
// QMessageBox centred over the main window, its texts shown as plain text.
#pragma once

#include "message_dialog.h"

class TMessageBoxPresenter : public TMessageDialogPresenter {
 public:
  // Window title = caption, main text = headline, informative text =
  // message. Icon 0 information, 1 warning, 2 question, 3 critical, any other
  // value none. The box always has an OK button (buttons value 0x10, and the
  // fallback for any other value, so the user can always close it).
  void Show(const TMessageDialogRequest &request, bool *checkBoxState) override;
};
