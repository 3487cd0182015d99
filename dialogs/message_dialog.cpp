#include "message_dialog.h"

namespace {

TMessageDialogPresenter *InstalledPresenter = nullptr;

TMessageDialogRequest MakeRequest(TMessageDialogIcon icon, const QString &caption,
                                  const QString &headline, const QString &message,
                                  TMessageDialogButton buttons) {
  TMessageDialogRequest request;
  request.icon = icon;
  request.caption = caption;
  request.headline = headline;
  request.message = message;
  request.buttons = buttons;
  return request;
}

}  // namespace

TMessageDialogPresenter *SetMessageDialogPresenter(TMessageDialogPresenter *presenter) {
  TMessageDialogPresenter *previous = InstalledPresenter;
  InstalledPresenter = presenter;
  return previous;
}

void Luvamsg_ShowDialog(TMessageDialogIcon icon, const QString &caption, const QString &headline,
                        const QString &message, TMessageDialogButton buttons) {
  if (InstalledPresenter == nullptr) {
    return;
  }
  InstalledPresenter->Show(MakeRequest(icon, caption, headline, message, buttons), nullptr);
}

void Luvamsg_ShowDialog(TMessageDialogIcon icon, const QString &caption, const QString &headline,
                        const QString &message, TMessageDialogButton buttons,
                        const QString &checkBoxCaption, bool &checkBoxState) {
  if (InstalledPresenter == nullptr) {
    return;
  }
  TMessageDialogRequest request = MakeRequest(icon, caption, headline, message, buttons);
  request.hasCheckBox = true;
  request.checkBoxCaption = checkBoxCaption;
  // The presenter works on a copy, so the caller's flag changes only once
  // the dialog has been closed.
  bool state = checkBoxState;
  InstalledPresenter->Show(request, &state);
  checkBoxState = state;
}
