#include "capture_file.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cctype>

namespace {

const char *KindName(TCaptureRecord::TKind kind) {
  switch (kind) {
    case TCaptureRecord::TKind::Rx:
      return "rx";
    case TCaptureRecord::TKind::Tx:
      return "tx";
    default:
      return nullptr;
  }
}

// JSON string contents: quotes, backslashes and control characters escaped.
QByteArray JsonEscaped(const QString &text) {
  QByteArray out;
  for (const char c : text.toUtf8()) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += QByteArray("\\u00") + QByteArray::number(byte, 16).rightJustified(2, '0');
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

QByteArray FormatCaptureRecord(const TCaptureRecord &record) {
  QByteArray line = "{\"t\": " + QByteArray::number(record.t, 'f', 6);
  if (record.kind == TCaptureRecord::TKind::Header) {
    line += ", \"format\": \"sorvanel-capture\", \"version\": " +
            QByteArray::number(kCaptureFormatVersion);
  } else if (const char *dir = KindName(record.kind)) {
    line += ", \"dir\": \"" + QByteArray(dir) + "\", \"hex\": \"" + record.bytes.toHex() + '"';
    if (record.failed) {
      line += ", \"failed\": true";
    }
  } else {
    line += ", \"event\": \"" + JsonEscaped(record.event) + '"';
  }
  if (!record.port.isEmpty()) {
    line += ", \"port\": \"" + JsonEscaped(record.port) + '"';
  }
  line += "}\n";
  return line;
}

bool ParseCaptureRecord(QByteArrayView line, TCaptureRecord &record, QString &error) {
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &parseError);
  if (!document.isObject()) {
    error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                         : QStringLiteral("not a JSON object");
    return false;
  }
  const QJsonObject object = document.object();
  if (!object.value(QLatin1String("t")).isDouble()) {
    error = QStringLiteral("no time \"t\"");
    return false;
  }
  record = TCaptureRecord();
  record.t = object.value(QLatin1String("t")).toDouble();
  record.port = object.value(QLatin1String("port")).toString();
  const QString dir = object.value(QLatin1String("dir")).toString();
  if (dir == QLatin1String("rx") || dir == QLatin1String("tx")) {
    const QString hex = object.value(QLatin1String("hex")).toString();
    const QByteArray hexBytes = hex.toLatin1();
    const bool hexDigitsOnly =
        hex.size() % 2 == 0 && std::all_of(hexBytes.begin(), hexBytes.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        });
    if (!hexDigitsOnly) {
      error = QStringLiteral("\"hex\" is not an even number of hex digits");
      return false;
    }
    record.kind =
        dir == QLatin1String("rx") ? TCaptureRecord::TKind::Rx : TCaptureRecord::TKind::Tx;
    record.bytes = QByteArray::fromHex(hexBytes);
    record.failed = object.value(QLatin1String("failed")).toBool(false);
    return true;
  }
  if (object.contains(QLatin1String("format"))) {
    if (object.value(QLatin1String("format")).toString() != QLatin1String("sorvanel-capture")) {
      error = QStringLiteral("not a Sorvanel capture");
      return false;
    }
    record.kind = TCaptureRecord::TKind::Header;
    return true;
  }
  record.kind = TCaptureRecord::TKind::Event;
  record.event = object.value(QLatin1String("event")).toString();
  return true;
}

bool ReadCaptureFile(const QString &path, std::vector<TCaptureRecord> &records, QString &error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  records.clear();
  const QList<QByteArray> lines = file.readAll().split('\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QByteArray line = lines[i].trimmed();
    if (line.isEmpty()) {
      continue;
    }
    TCaptureRecord record;
    QString reason;
    if (!ParseCaptureRecord(line, record, reason)) {
      const bool lastLineCutShort = i == lines.size() - 1;
      if (lastLineCutShort) {
        break;
      }
      error = QStringLiteral("line %1: %2").arg(i + 1).arg(reason);
      return false;
    }
    records.push_back(std::move(record));
  }
  return true;
}
