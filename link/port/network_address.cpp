#include "network_address.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

struct TScheme {
  const char *name;
  TNetworkAddress::TKind kind;
  bool tls;
};

constexpr TScheme kSchemes[] = {
    {"rfc2217", TNetworkAddress::TKind::Rfc2217, false},
    {"socket", TNetworkAddress::TKind::RawSocket, false},
    {"rfc2217+tls", TNetworkAddress::TKind::Rfc2217, true},
    {"socket+tls", TNetworkAddress::TKind::RawSocket, true},
};

}  // namespace

std::optional<TNetworkAddress> ParseNetworkUrl(const QString &url) {
  const QUrl parsed(url.trimmed(), QUrl::StrictMode);
  if (!parsed.isValid() || parsed.host().isEmpty() || !parsed.userInfo().isEmpty() ||
      !parsed.path().isEmpty() || parsed.hasFragment()) {
    return std::nullopt;
  }
  const int port = parsed.port();
  if (port < 1 || port > 65535) {
    return std::nullopt;
  }
  const TScheme *scheme = nullptr;
  for (const TScheme &candidate : kSchemes) {
    if (parsed.scheme() == QLatin1String(candidate.name)) {
      scheme = &candidate;
    }
  }
  if (scheme == nullptr || (parsed.hasQuery() && !scheme->tls)) {
    return std::nullopt;
  }
  TNetworkAddress address;
  address.kind = scheme->kind;
  address.host = parsed.host();
  address.port = static_cast<uint16_t>(port);
  if (scheme->tls) {
    address.tls = ParseTlsOptions(QUrlQuery(parsed));
    if (!address.tls) {
      return std::nullopt;
    }
  }
  return address;
}

QString NetworkAddressText(const TNetworkAddress &address) {
  const QString host =
      address.host.contains(u':') ? QStringLiteral("[%1]").arg(address.host) : address.host;
  return QStringLiteral("%1:%2").arg(host).arg(address.port);
}

QString WithPinnedFingerprint(const QString &url, const QByteArray &sha256) {
  const QString trimmed = url.trimmed();
  const QString joint = !trimmed.contains(u'?')  ? QStringLiteral("?")
                        : trimmed.endsWith(u'?') ? QString()
                                                 : QStringLiteral("&");
  return trimmed + joint + QStringLiteral("fingerprint=sha256:") + FingerprintText(sha256);
}
