// Plays the terminal on a vdrive port the way the program does: reads the
// drive's messages, keeps the display, the LEDs and an 8192-byte memory, and
// answers each message with a request that Kelvo builds.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame_bytes.h"
#include "kelvo.h"

namespace vdrive_test {

using Millis = std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

class TerminalPlayer {
 public:
  explicit TerminalPlayer(const std::string &port) {
    fd_ = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) {
      termios settings{};
      tcgetattr(fd_, &settings);
      cfmakeraw(&settings);
      tcsetattr(fd_, TCSANOW, &settings);
    }
    Kelvo_SetButtonStatus(beReleaseAll, 0);
    Kelvo_SetValue(0, 0, 0, 0);
    for (auto &line : lines) {
      line.fill(' ');
    }
  }
  ~TerminalPlayer() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  TerminalPlayer(const TerminalPlayer &) = delete;
  TerminalPlayer &operator=(const TerminalPlayer &) = delete;

  bool Open() const { return fd_ >= 0; }
  bool HungUp() const { return hungUp_; }

  // The next valid drive message's payload; false when none came in time.
  bool NextMessage(std::vector<uint8_t> &payload, Millis timeout) {
    const auto deadline = Steady::now() + timeout;
    for (;;) {
      const size_t etx = buffer_.find(static_cast<char>(kelvo::kEtx));
      if (etx != std::string::npos) {
        std::string frame = buffer_.substr(0, etx + 1);
        buffer_.erase(0, etx + 1);
        const size_t stx = frame.rfind(static_cast<char>(kelvo::kStx));
        if (stx == std::string::npos) {
          continue;
        }
        frame.erase(0, stx);
        uint8_t decoded[KELVO_MAX_PAYLOAD];
        size_t length = 0;
        const uint8_t kind = Kelvo_Check(reinterpret_cast<const uint8_t *>(frame.data()),
                                         frame.size(), decoded, &length);
        if (kind == kelvo::kConverterMessage) {
          payload.assign(decoded, decoded + length);
          return true;
        }
        terminalFrames +=
            kind == kelvo::kProgTermFrame ? 1 : 0;  // a hand-held terminal on the line
        continue;
      }
      const auto left = std::chrono::duration_cast<Millis>(deadline - Steady::now());
      if (left.count() <= 0) {
        return false;
      }
      pollfd pfd{fd_, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(left.count()) + 1) > 0) {
        char chunk[512];
        const ssize_t got = ::read(fd_, chunk, sizeof chunk);
        if (got > 0) {
          buffer_.append(chunk, static_cast<size_t>(got));
        } else if (pfd.revents & POLLHUP) {
          hungUp_ = true;  // the drive has gone
          return false;
        }
      }
    }
  }

  // Takes a message in as the program does and answers it unless told not to.
  void Handle(const std::vector<uint8_t> &m, bool answer) {
    ++messages;
    const int kind = m[2] >> 4;
    if ((kind <= 1 || kind == 15) && m.size() >= 19) {
      std::copy(m.begin() + 3, m.begin() + 19, lines[m[2] & 3].begin());
      errorLed = (m[2] & 0x04) != 0;
      runLed = (m[2] & 0x08) != 0;
    }
    if (kind == 14 && m.size() >= 21) {
      const unsigned address = m[3] << 8 | m[4];
      for (unsigned i = 0; i < 16 && address + i < memory.size(); ++i) {
        memory[address + i] = m[5 + i];
      }
      ++writes;
    }
    if (kind == 15 && m.size() >= 21) {
      const unsigned address = (m[19] << 8 | m[20]) % (memory.size() - 1);
      Kelvo_SetAddress(address);
      Kelvo_SetValue(static_cast<uint16_t>(memory[address] << 8 | memory[address + 1]), 0, 0, 0);
      ++reads;
    }
    if (answer) {
      TTerminalMessageFrame frame{};
      Kelvo_CompileMessage(&frame);
      Write(frame.bytes + 1, frame.bytes[0]);
    }
  }

  // Answers messages until done() holds or the time is up; every skipEvery-th
  // message is left unanswered when skipEvery > 0.
  bool PlayUntil(const std::function<bool()> &done, Millis timeout, int skipEvery = 0) {
    const auto deadline = Steady::now() + timeout;
    std::vector<uint8_t> payload;
    while (!done()) {
      const auto left = std::chrono::duration_cast<Millis>(deadline - Steady::now());
      if (left.count() <= 0 || !NextMessage(payload, left)) {
        return done();
      }
      Handle(payload, skipEvery == 0 || (messages + 1) % skipEvery != 0);
    }
    return true;
  }

  void Play(int count) {
    const int until = messages + count;
    PlayUntil([&] { return messages >= until; }, Millis(3000));
  }

  // A short press: held for one answer, then let go.
  void Click(TTerminalButton key) {
    Kelvo_SetButtonStatus(bePressed, key);
    Play(1);
    Kelvo_SetButtonStatus(beReleased, key);
    Play(2);
  }

  void Write(const void *bytes, size_t length) {
    [[maybe_unused]] const ssize_t written = ::write(fd_, bytes, length);
  }

  std::string Line(int line) const { return std::string(lines[line].begin(), lines[line].end()); }

  std::array<std::array<uint8_t, 16>, 4> lines{};
  bool runLed = false;
  bool errorLed = false;
  std::array<uint8_t, 8192> memory{};
  int messages = 0;
  int writes = 0;
  int reads = 0;
  int terminalFrames = 0;

 private:
  int fd_ = -1;
  bool hungUp_ = false;
  std::string buffer_;
};

}  // namespace vdrive_test
