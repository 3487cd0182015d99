#include "tls_options.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString kSha256Prefix = QStringLiteral("sha256:");
constexpr int kSha256Size = 32;

bool IsUsablePath(const QString &path) {
  return QDir::isAbsolutePath(path) && !path.contains(QChar(0));
}

}  // namespace

std::optional<QByteArray> ParseSha256Fingerprint(const QString &text) {
  if (!text.startsWith(kSha256Prefix, Qt::CaseInsensitive)) {
    return std::nullopt;
  }
  static const QRegularExpression form(
      QStringLiteral("^(?:[0-9A-Fa-f]{64}|[0-9A-Fa-f]{2}(?::[0-9A-Fa-f]{2}){31})$"));
  QString hex = text.mid(kSha256Prefix.size());
  if (!form.match(hex).hasMatch()) {
    return std::nullopt;
  }
  hex.remove(u':');
  const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
  if (bytes.size() != kSha256Size) {
    return std::nullopt;
  }
  return bytes;
}

QString FingerprintText(const QByteArray &sha256) {
  return QString::fromLatin1(sha256.toHex(':').toUpper());
}

std::optional<TTlsOptions> ParseTlsOptions(const QUrlQuery &query) {
  TTlsOptions options;
  QSet<QString> seen;
  for (const auto &[key, encodedValue] : query.queryItems(QUrl::PrettyDecoded)) {
    const QString value = query.queryItemValue(key, QUrl::FullyDecoded);
    if (seen.contains(key) || value.isEmpty() || encodedValue.isEmpty()) {
      return std::nullopt;  // given twice, or empty
    }
    seen.insert(key);
    if (key == QLatin1String("fingerprint")) {
      const std::optional<QByteArray> pin = ParseSha256Fingerprint(value);
      if (!pin) {
        return std::nullopt;
      }
      options.fingerprint = *pin;
      continue;
    }
    QString *file = key == QLatin1String("ca")     ? &options.caFile
                    : key == QLatin1String("cert") ? &options.certFile
                    : key == QLatin1String("key")  ? &options.keyFile
                                                   : nullptr;
    if (file == nullptr || !IsUsablePath(value)) {
      return std::nullopt;
    }
    *file = value;
  }
  if (options.certFile.isEmpty() != options.keyFile.isEmpty()) {
    return std::nullopt;
  }
  return options;
}
