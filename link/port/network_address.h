// Network port addresses, written as URLs the way other serial tools take
// them:
//   rfc2217://HOST:PORT  Telnet with the COM port control option
//   socket://HOST:PORT   raw TCP, bytes as they are
// HOST is a name, an IPv4 address or an IPv6 address in brackets; PORT is
// 1 to 65535. Nothing else (user, path, query) is allowed.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

struct TNetworkAddress {
  enum class TKind { Rfc2217, RawSocket };
  TKind kind = TKind::RawSocket;
  QString host;  // without brackets
  uint16_t port = 0;
};

std::optional<TNetworkAddress> ParseNetworkUrl(const QString &url);

// The host and port as a user writes them: "HOST:PORT", an IPv6 address in
// brackets.
QString NetworkAddressText(const TNetworkAddress &address);
