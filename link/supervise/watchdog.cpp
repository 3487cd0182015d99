#include "watchdog.h"

#include "reconnect.h"

TWatchdog::TWatchdog(TLinkState &linkState, TProgramSettings &settings, TPortControl &port,
                     TLinkHost &host, TPortMenu &menu)
    : linkState_(linkState), settings_(settings), port_(port), host_(host), menu_(menu) {}

void TWatchdog::TimerTimer() {
  if (menu_.Busy()) {
    return;
  }
  if (TReconnect *reconnect = menu_.Reconnect(); reconnect != nullptr) {
    reconnect->Retry();
  }

  if (linkState_.ReceivedFrameCount != 0) {
    // Frames keep coming: the link is left alone.
    linkState_.ReceivedFrameCount = 0;
    return;
  }
  HoldOffAnswers(linkState_);
  if (linkState_.ConverterConnected) {
    linkState_.ConverterConnected = false;
    host_.RepaintStatusBar();
  }
  if (!settings_.FindFreq) {
    host_.ShowStatusScreen(menu_.PortInUse() ? TStatusScreen::NoCommunication
                                             : TStatusScreen::NoPort);
    return;
  }
  menu_.RunConverterSearch();
  host_.ShowStatusScreen(TStatusScreen::Searching);
}
