// Every message the program shows to the user goes through Luvamsg_ShowDialog.
// The call is modal: it returns when the user has closed the dialog. Which
// dialog appears is decided by the installed presenter: the program installs
// one built on QMessageBox; tests install a recorder, so no test blocks.
#pragma once

#include <QString>
#include <cstdint>

using TMessageDialogIcon = uint8_t;    // 0 information, 2 question, 3 error
using TMessageDialogButton = uint8_t;  // 0x10: a single OK button

inline constexpr TMessageDialogIcon kMessageDialogIconInformation = 0;
inline constexpr TMessageDialogIcon kMessageDialogIconQuestion = 2;
inline constexpr TMessageDialogIcon kMessageDialogIconError = 3;
inline constexpr TMessageDialogButton kMessageDialogButtonOk = 0x10;

// One request to show a dialog, as the caller passed it.
struct TMessageDialogRequest {
  TMessageDialogIcon icon = 0;
  QString caption;
  QString headline;
  QString message;
  TMessageDialogButton buttons = 0;
  bool hasCheckBox = false;
  QString checkBoxCaption;
};

class TMessageDialogPresenter {
 public:
  virtual ~TMessageDialogPresenter() = default;
  // Shows the dialog and returns when it is closed. For a request with a
  // check box, *checkBoxState holds the state when the dialog opens and
  // receives the user's choice; otherwise checkBoxState is null.
  virtual void Show(const TMessageDialogRequest &request, bool *checkBoxState) = 0;
};

// Installs the presenter used from now on and returns the previous one. The
// caller keeps ownership; pass nullptr to show nothing (calls then return at
// once and leave the check-box state unchanged). Main thread only.
TMessageDialogPresenter *SetMessageDialogPresenter(TMessageDialogPresenter *presenter);

// Plain form.
void Luvamsg_ShowDialog(TMessageDialogIcon icon, const QString &caption, const QString &headline,
                        const QString &message, TMessageDialogButton buttons);

// Form with a check box; checkBoxState is read when the dialog opens and
// written with the user's choice when it closes.
void Luvamsg_ShowDialog(TMessageDialogIcon icon, const QString &caption, const QString &headline,
                        const QString &message, TMessageDialogButton buttons,
                        const QString &checkBoxCaption, bool &checkBoxState);
