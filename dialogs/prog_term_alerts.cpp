#include "prog_term_alerts.h"

#include "message_dialog.h"
#include "text_table.h"

namespace {

bool ShowProgTermAlert(int headlineText, int messageText, bool showNextTime) {
  Luvamsg_ShowDialog(kMessageDialogIconInformation, QString(), GetText(headlineText),
                     GetText(messageText), kMessageDialogButtonOk, GetText(kTextShowAlertNextTime),
                     showNextTime);
  return showNextTime;
}

}  // namespace

bool ShowProgTermConnectedAlert(bool showNextTime) {
  return ShowProgTermAlert(kTextProgTermConnected, kTextProgTermConnectedMessage, showNextTime);
}

bool ShowProgTermDisconnectedAlert(bool showNextTime) {
  return ShowProgTermAlert(kTextProgTermDisconnected, kTextProgTermDisconnectedMessage,
                           showNextTime);
}
