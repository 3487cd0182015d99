// A converter reached over the network: a serial device server or a Linux
// box running a serial-to-network proxy, as rfc2217:// or socket:// ports,
// plain or inside TLS (network_address.h).
//
// Open resolves the host, connects, for TLS shakes hands and verifies the
// server (tls_transport.h), and for rfc2217 negotiates the line
// (rfc2217_engine.h), all within kNetworkOpenLimit; it blocks, so the port
// runs it away from the window's thread (OpensSlowly). The connection has
// TCP_NODELAY (a request frame leaves at once) and keep-alive probes, so a
// server that has gone away without closing is noticed within about ten
// seconds of silence and reads as a hang-up, like a connection closed or
// reset.
//
// The bytes go through a transport (byte_transport.h): the engine and the
// port above see the line's bytes alone, never a TLS record.
//
// Threads: after Open, the worker calls ReadAvailable and InQueueCount while
// the main thread may call Write; both may send (a read answers the server's
// late option requests), so sending is serialised by a lock of its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "byte_transport.h"
#include "line_device.h"
#include "line_settings.h"
#include "network_address.h"
#include "rfc2217_engine.h"
#include "tls_transport.h"

// A network port is opened (resolved, connected and, for rfc2217,
// negotiated) within this limit.
inline constexpr std::chrono::milliseconds kNetworkOpenLimit{3000};

// Keep-alive: first probe after this much silence, then every interval;
// the connection is dropped after this many unanswered probes.
inline constexpr int kKeepAliveIdleSeconds = 5;
inline constexpr int kKeepAliveIntervalSeconds = 2;
inline constexpr int kKeepAliveProbes = 3;

class TNetworkDevice final : public TLineDevice {
 public:
  TNetworkDevice() = default;
  ~TNetworkDevice() override;
  TNetworkDevice(const TNetworkDevice &) = delete;
  TNetworkDevice &operator=(const TNetworkDevice &) = delete;

  // The server that Open connects to, as the port's URL names it. A URL
  // that is not valid makes Open fail with InvalidAddress at once.
  void SetUrl(const QString &url) {
    address_ = ParseNetworkUrl(url);
    written_ = url.trimmed();
  }
  // An open, and a wait to send, give up at once when 'stop' is requested
  // (an open then fails with the kind Stopped).
  void SetOpenStop(TOpenStop stop) { stop_ = stop; }
  TOpenFailure Open(const TLineSettings &line) override;
  bool OpensSlowly() const override { return address_.has_value(); }
  bool Close() override;

  bool IsOpen() const override { return fd_ >= 0; }
  int Fd() const override { return fd_; }
  TDeviceWait Wait() const override;
  uint32_t InQueueCount() override;
  TReadResult ReadAvailable(uint8_t *buffer, size_t capacity) override;
  bool Write(const uint8_t *bytes, size_t length, int timeoutMs) override;

  // The certificate a TLS server showed at the last Open, accepted or not
  // (the user may pin it); none for plain TCP or when none came.
  const std::optional<TServerCertificate> &ServerCertificate() const { return certificate_; }

 private:
  TOpenFailure OpenWithin(const TNetworkAddress &address, const TLineSettings &line,
                          TClock::time_point deadline);
  TOpenFailure Connect(const TNetworkAddress &address, TClock::time_point deadline);
  TOpenFailure Negotiate(TClock::time_point deadline);
  TTransfer PutSome(const uint8_t *bytes, size_t length) override {
    return transport_->Send(bytes, length);
  }
  // Also gives up when the program is asked to end.
  short WaitToPut(short events, TClock::time_point deadline) const override {
    return WaitForSocket(fd_, events, deadline, stop_);
  }

  std::optional<TNetworkAddress> address_;
  QString written_;  // the URL as written, for a failure's address
  TOpenStop stop_;
  int fd_ = -1;
  std::unique_ptr<TByteTransport> transport_;  // while open
  std::optional<TServerCertificate> certificate_;
  std::unique_ptr<TRfc2217Engine> engine_;  // none for a raw socket
  std::vector<uint8_t> received_;           // worker only
  std::vector<uint8_t> data_;               // worker only
  std::vector<uint8_t> reply_;              // worker only
  std::mutex sendMutex_;
};
