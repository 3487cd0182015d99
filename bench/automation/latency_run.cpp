#include "latency_run.h"

#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "main_window.h"

namespace {

// Presses before the measured ones, on each path: the first calls of a
// path pay for its first use (connections, caches).
constexpr size_t kWarmUpPresses = 5;
constexpr int kGapMinMs = 1;
constexpr int kGapMaxMs = 40;
constexpr int kStepLimitMs = 5000;
// After the last display change, how long the client may take to hear it.
constexpr int kLastSignalMs = 300;

double Ms(std::chrono::steady_clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

std::chrono::steady_clock::time_point FromNs(long long ns) {
  return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns));
}

}  // namespace

TLatencyRun::TLatencyRun(TForm_Sorvanel &window, TPlayedConverter &converter, int key)
    : window_(window), converter_(converter), key_(key) {
  window_.DisplayModel().Attach(this);
  window_.Keypad().Attach(this);
  converter_.onKeyChanged = [this] {
    const auto wake = [this] { Wake(); };
    QMetaObject::invokeMethod(&wakeTarget_, wake, Qt::QueuedConnection);
  };
  client_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QObject::connect(&client_, &QProcess::readyReadStandardOutput, &wakeTarget_,
                   [this] { ReadClient(); });
  QObject::connect(&client_, &QProcess::finished, &wakeTarget_, [this] { Wake(); });
}

TLatencyRun::~TLatencyRun() {
  if (client_.state() != QProcess::NotRunning) {
    client_.kill();
    client_.waitForFinished(1000);
  }
  window_.Keypad().Detach(this);
  window_.DisplayModel().Detach(this);
}

void TLatencyRun::DisplayChanged(const TDisplayChange &change) {
  if (!change.lines.test(1)) {
    return;
  }
  const TClock::time_point now = TClock::now();
  if (const std::optional<uint32_t> count = CountOnLine(window_.DisplayModel().Line(1))) {
    observerArrivals_.emplace(*count, now);
    Wake();
  }
}

void TLatencyRun::KeyChanged(int key, bool down) {
  if (key == key_ && down) {
    keypadDowns_.push_back(TClock::now());
  }
}

bool TLatencyRun::WaitForAnswers(uint64_t answers) {
  QElapsedTimer clock;
  clock.start();
  while (converter_.Answers() < answers) {
    if (clock.elapsed() > 30000) {
      std::fprintf(stderr, "bus_latency: the program did not answer the converter\n");
      return false;
    }
    Pause(10);
  }
  return true;
}

bool TLatencyRun::RunDirectPresses(int presses) {
  std::vector<TClock::time_point> calls;
  const auto press = [&] {
    calls.push_back(TClock::now());
    return window_.Keypad().Press(key_);
  };
  const size_t firstSeen = converter_.KeyDownCount();
  for (int i = 0; i < presses + static_cast<int>(kWarmUpPresses); ++i) {
    if (!PressOnce(press)) {
      return false;
    }
  }
  CollectPresses(calls, firstSeen, figures_.pressDirect, nullptr);
  return true;
}

bool TLatencyRun::StartClient(const QString &program, const QString &service) {
  client_.start(program, {QStringLiteral("--client"), service, KeyName(key_)});
  const auto listening = [this] { return clientReady_ || client_.state() == QProcess::NotRunning; };
  return WaitFor("the client to listen", kStepLimitMs, listening) && clientReady_;
}

bool TLatencyRun::RunBusPresses(int presses) {
  const auto press = [this] {
    const size_t calls = clientPressCalls_.size();
    const auto answered = [&] { return clientPressCalls_.size() > calls || clientDone_; };
    client_.write("press\n");
    return WaitFor("the client's Press", kStepLimitMs, answered) &&
           clientPressCalls_.size() > calls;
  };
  const size_t firstSeen = converter_.KeyDownCount();
  keypadDowns_.clear();
  for (int i = 0; i < presses + static_cast<int>(kWarmUpPresses); ++i) {
    if (!PressOnce(press)) {
      return false;
    }
  }
  CollectPresses(clientPressCalls_, firstSeen, figures_.pressBus, &figures_.pressBusToKeypad);
  return true;
}

bool TLatencyRun::RunBusRoundTrips(int calls) {
  std::uniform_int_distribution<int> gapMs(kGapMinMs, kGapMaxMs);
  for (int i = 0; i < calls + static_cast<int>(kWarmUpPresses); ++i) {
    Pause(gapMs(random_));
    const size_t done = clientRoundTrips_.size();
    const auto answered = [&] { return clientRoundTrips_.size() > done || clientDone_; };
    client_.write("ping\n");
    if (!WaitFor("the client's call to the bus", kStepLimitMs, answered) ||
        clientRoundTrips_.size() == done) {
      return false;
    }
  }
  figures_.busRoundTrip.assign(clientRoundTrips_.begin() + kWarmUpPresses, clientRoundTrips_.end());
  return true;
}

bool TLatencyRun::PressOnce(const std::function<bool()> &press) {
  std::uniform_int_distribution<int> gapMs(kGapMinMs, kGapMaxMs);
  Pause(gapMs(random_));
  const size_t downs = converter_.KeyDownCount();
  const size_t ups = converter_.KeyUpCount();
  const auto seenDown = [&] { return converter_.KeyDownCount() > downs; };
  const auto seenUp = [&] { return converter_.KeyUpCount() > ups; };
  if (!press() || !WaitFor("the key down on the line", kStepLimitMs, seenDown)) {
    return false;
  }
  window_.Keypad().Release(key_);
  return WaitFor("the key up on the line", kStepLimitMs, seenUp);
}

void TLatencyRun::CollectPresses(const std::vector<TClock::time_point> &calls, size_t firstSeen,
                                 std::vector<double> &toLine, std::vector<double> *toKeypad) {
  const std::vector<TClock::time_point> seen = converter_.KeyDownSeen();
  for (size_t i = kWarmUpPresses; i < calls.size() && firstSeen + i < seen.size(); ++i) {
    toLine.push_back(Ms(seen[firstSeen + i] - calls[i]));
    if (toKeypad != nullptr && i < keypadDowns_.size()) {
      toKeypad->push_back(Ms(keypadDowns_[i] - calls[i]));
    }
  }
}

bool TLatencyRun::RunDisplayFrames(int frames) {
  const size_t before = observerArrivals_.size();
  converter_.SetDisplayChanges(true);
  const auto allObserved = [&] {
    return observerArrivals_.size() >= before + static_cast<size_t>(frames);
  };
  const bool changed = WaitFor("the display changes", frames * 200, allObserved);
  converter_.SetDisplayChanges(false);
  Pause(kLastSignalMs);
  client_.write("quit\n");
  const auto reported = [this] { return clientDone_; };
  if (!changed || !WaitFor("the client's report", kStepLimitMs, reported)) {
    return false;
  }
  for (const TPlayedConverter::TSentChange &sent : converter_.SentChanges()) {
    ++figures_.framesSent;
    const auto observed = observerArrivals_.find(sent.count);
    const auto heard = clientArrivals_.find(sent.count);
    figures_.framesMissedByObserver += observed == observerArrivals_.end() ? 1 : 0;
    figures_.framesMissedByClient += heard == clientArrivals_.end() ? 1 : 0;
    if (observed != observerArrivals_.end()) {
      figures_.frameToObserver.push_back(Ms(observed->second - sent.etxWritten));
    }
    if (heard != clientArrivals_.end()) {
      figures_.frameToClient.push_back(Ms(heard->second - sent.etxWritten));
      if (observed != observerArrivals_.end()) {
        figures_.observerToClient.push_back(Ms(heard->second - observed->second));
      }
    }
  }
  return true;
}

void TLatencyRun::ReadClient() {
  clientOutput_.append(client_.readAllStandardOutput());
  for (qsizetype end; (end = clientOutput_.indexOf('\n')) >= 0;) {
    const QList<QByteArray> words = clientOutput_.left(end).split(' ');
    clientOutput_.remove(0, end + 1);
    if (words[0] == "ready") {
      clientReady_ = true;
    } else if (words[0] == "done") {
      clientDone_ = true;
    } else if (words[0] == "pressed" && words.size() == 2) {
      clientPressCalls_.push_back(FromNs(words[1].toLongLong()));
    } else if (words[0] == "ping" && words.size() == 2) {
      clientRoundTrips_.push_back(words[1].toDouble() / 1e6);
    } else if (words[0] == "display" && words.size() == 3) {
      clientArrivals_.emplace(words[1].toUInt(), FromNs(words[2].toLongLong()));
    }
  }
  Wake();
}

bool TLatencyRun::WaitFor(const char *what, int limitMs, const std::function<bool()> &done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    const qint64 left = limitMs - clock.elapsed();
    if (left <= 0) {
      std::fprintf(stderr, "bus_latency: no %s within %d ms\n", what, limitMs);
      return false;
    }
    QEventLoop loop;
    waiting_ = &loop;
    QTimer::singleShot(static_cast<int>(left), &loop, &QEventLoop::quit);
    loop.exec();
    waiting_ = nullptr;
  }
  return true;
}

void TLatencyRun::Pause(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

void TLatencyRun::Wake() {
  if (waiting_ != nullptr) {
    waiting_->quit();
  }
}
