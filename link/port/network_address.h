// Network port addresses, written as URLs the way other serial tools take
// them:
//   rfc2217://HOST:PORT      Telnet with the COM port control option
//   socket://HOST:PORT       raw TCP, bytes as they are
//   rfc2217+tls://HOST:PORT  the same inside TLS (1.2 or newer)
//   socket+tls://HOST:PORT
// HOST is a name, an IPv4 address or an IPv6 address in brackets; PORT is
// 1 to 65535. The TLS forms take options after a '?', joined with '&'
// (tls_options.h); nothing else (user, path, query, fragment) is allowed.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "tls_options.h"

struct TNetworkAddress {
  enum class TKind { Rfc2217, RawSocket };
  TKind kind = TKind::RawSocket;
  QString host;  // without brackets
  uint16_t port = 0;
  std::optional<TTlsOptions> tls;  // none: plain TCP
};

std::optional<TNetworkAddress> ParseNetworkUrl(const QString &url);

// The host and port as a user writes them: "HOST:PORT", an IPv6 address in
// brackets.
QString NetworkAddressText(const TNetworkAddress &address);

// 'url' (a valid TLS address without a pin) with the certificate of
// 'sha256' pinned: fingerprint=sha256:… added to its options.
QString WithPinnedFingerprint(const QString &url, const QByteArray &sha256);
