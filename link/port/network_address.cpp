#include "network_address.h"

#include <QUrl>

namespace {

const QString kRfc2217Scheme = QStringLiteral("rfc2217");
const QString kSocketScheme = QStringLiteral("socket");

}  // namespace

std::optional<TNetworkAddress> ParseNetworkUrl(const QString &url) {
  const QUrl parsed(url.trimmed(), QUrl::StrictMode);
  if (!parsed.isValid() || parsed.host().isEmpty() || !parsed.userInfo().isEmpty() ||
      !parsed.path().isEmpty() || parsed.hasQuery() || parsed.hasFragment()) {
    return std::nullopt;
  }
  const int port = parsed.port();
  if (port < 1 || port > 65535) {
    return std::nullopt;
  }
  TNetworkAddress address;
  if (parsed.scheme() == kRfc2217Scheme) {
    address.kind = TNetworkAddress::TKind::Rfc2217;
  } else if (parsed.scheme() == kSocketScheme) {
    address.kind = TNetworkAddress::TKind::RawSocket;
  } else {
    return std::nullopt;
  }
  address.host = parsed.host();
  address.port = static_cast<uint16_t>(port);
  return address;
}

QString NetworkAddressText(const TNetworkAddress &address) {
  const QString host =
      address.host.contains(u':') ? QStringLiteral("[%1]").arg(address.host) : address.host;
  return QStringLiteral("%1:%2").arg(host).arg(address.port);
}
