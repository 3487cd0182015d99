// The bench's side of the program: it presses the watched key through the
// keypad itself and through a D-Bus client in a process of its own, has the
// converter change the display, and collects when each step was seen: on
// the line (by the played converter), at the keypad, at a display model
// observer in the process and at the client. Main thread only; the waits
// run the event loop, so the window, its link and the bus carry on as in
// the program.
#pragma once

#include <QEventLoop>
#include <QObject>
#include <QProcess>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <vector>

#include "display_model.h"
#include "keypad.h"
#include "played_converter.h"

class TForm_Sorvanel;

// Milliseconds from one moment to the next, one value per sample.
struct TLatencyFigures {
  std::vector<double> pressDirect;       // TKeypad::Press -> key down on the line
  std::vector<double> pressBus;          // D-Bus Press called -> key down on the line
  std::vector<double> pressBusToKeypad;  // D-Bus Press called -> the keypad has it
  std::vector<double> busRoundTrip;      // the client's call to the bus daemon and back
  std::vector<double> frameToObserver;   // display frame's ETX written -> model observer
  std::vector<double> frameToClient;     // same frame -> DisplayChanged at the client
  std::vector<double> observerToClient;  // model observer -> client, frame by frame
  size_t framesSent = 0;
  size_t framesMissedByObserver = 0;
  size_t framesMissedByClient = 0;
};

class TLatencyRun : public TDisplayObserver, public TKeypadObserver {
 public:
  // Observes the window's display model and keypad from here on (the model
  // tells this observer before the panel on the bus, which attaches when
  // automation is turned on) and hears the converter's key reports.
  TLatencyRun(TForm_Sorvanel &window, TPlayedConverter &converter, int key);
  ~TLatencyRun() override;
  TLatencyRun(const TLatencyRun &) = delete;
  TLatencyRun &operator=(const TLatencyRun &) = delete;

  // Each returns false, with the reason on standard error, when something
  // did not happen within a generous limit.
  bool WaitForAnswers(uint64_t answers);
  bool RunDirectPresses(int presses);
  // Starts 'program --client SERVICE KEY' and waits for it to listen.
  bool StartClient(const QString &program, const QString &service);
  bool RunBusPresses(int presses);
  // Calls from the client to the bus daemon and back, as many and as
  // spaced as the presses: what the bus alone takes on this machine.
  bool RunBusRoundTrips(int calls);
  // Has the converter change line 1 'frames' times, then ends the client.
  bool RunDisplayFrames(int frames);

  const TLatencyFigures &Figures() const { return figures_; }

  // TDisplayObserver
  void DisplayChanged(const TDisplayChange &change) override;
  // TKeypadObserver
  void KeyChanged(int key, bool down) override;

 private:
  using TClock = std::chrono::steady_clock;

  // One press: waits a random gap, presses with 'press' (false after an
  // error), waits until the converter saw the key down, releases it through
  // the keypad and waits until the converter saw it up.
  bool PressOnce(const std::function<bool()> &press);
  // The presses after the warm-up: from each call to the key seen down on
  // the line, into 'toLine', and to the keypad, into 'toKeypad' when given.
  void CollectPresses(const std::vector<TClock::time_point> &calls, size_t firstSeen,
                      std::vector<double> &toLine, std::vector<double> *toKeypad);
  // Runs the event loop until 'done'; false, naming 'what' on standard
  // error, after 'limitMs'.
  bool WaitFor(const char *what, int limitMs, const std::function<bool()> &done);
  void Pause(int ms);
  void Wake();
  void ReadClient();

  TForm_Sorvanel &window_;
  TPlayedConverter &converter_;
  const int key_;
  QObject wakeTarget_;  // lives in the main thread: the converter's reports go through it
  QEventLoop *waiting_ = nullptr;
  std::mt19937 random_{11};
  QProcess client_;
  QByteArray clientOutput_;
  bool clientReady_ = false;
  bool clientDone_ = false;
  std::vector<TClock::time_point> clientPressCalls_;
  std::vector<double> clientRoundTrips_;
  std::map<uint32_t, TClock::time_point> clientArrivals_;
  std::vector<TClock::time_point> keypadDowns_;
  std::map<uint32_t, TClock::time_point> observerArrivals_;
  TLatencyFigures figures_;
};
