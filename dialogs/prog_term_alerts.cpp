#include "prog_term_alerts.h"

#include "message_dialog.h"
#include "text_table.h"

namespace {

constexpr int kTextConnectHeadline = 43;
constexpr int kTextConnectMessage = 44;
constexpr int kTextDisconnectHeadline = 45;
constexpr int kTextDisconnectMessage = 46;
constexpr int kTextShowAlertNextTime = 47;

bool ShowProgTermAlert(int headlineText, int messageText, bool showNextTime) {
  Luvamsg_ShowDialog(kMessageDialogIconInformation, QString(), GetText(headlineText),
                     GetText(messageText), kMessageDialogButtonOk, GetText(kTextShowAlertNextTime),
                     showNextTime);
  return showNextTime;
}

}  // namespace

bool ShowProgTermConnectedAlert(bool showNextTime) {
  return ShowProgTermAlert(kTextConnectHeadline, kTextConnectMessage, showNextTime);
}

bool ShowProgTermDisconnectedAlert(bool showNextTime) {
  return ShowProgTermAlert(kTextDisconnectHeadline, kTextDisconnectMessage, showNextTime);
}
