#include "watchdog.h"

#include "reconnect.h"

TWatchdog::TWatchdog(TLinkState &linkState, TProgramSettings &settings, TPortControl &port,
                     TLinkHost &host, TPortMenu &menu)
    : linkState_(linkState), settings_(settings), port_(port), host_(host), menu_(menu) {}

void TWatchdog::TimerTimer() {
  // A click is choosing a port itself: while it runs (its open-error dialog
  // included) the tick still tells the display, but neither retries a port
  // nor searches, or the click would take the port found for its own.
  const bool clicking = menu_.ClickRunning();
  if (port_.Opening() || (menu_.Busy() && !clicking)) {
    return;
  }
  TReconnect *reconnect = menu_.Reconnect();
  if (reconnect != nullptr && !clicking) {
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
  if (!settings_.FindFreq || clicking) {
    host_.ShowStatusScreen(menu_.PortInUse() ? TStatusScreen::NoCommunication
                                             : TStatusScreen::NoPort);
    return;
  }
  menu_.RunConverterSearch();
  host_.ShowStatusScreen(TStatusScreen::Searching);
}
