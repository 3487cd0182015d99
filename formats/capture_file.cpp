#include "capture_file.h"

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

QString Seconds(double seconds) {
  return QString::number(seconds, 'g', 12);
}

// The known fields' types; an optional field may be absent.
struct TFieldType {
  const char *name;
  QJsonValue::Type type;
  const char *expected;
};
constexpr TFieldType kFieldTypes[] = {
    {"dir", QJsonValue::String, "a string"},       {"hex", QJsonValue::String, "a string"},
    {"failed", QJsonValue::Bool, "true or false"}, {"event", QJsonValue::String, "a string"},
    {"port", QJsonValue::String, "a string"},      {"format", QJsonValue::String, "a string"},
    {"version", QJsonValue::Double, "a number"},
};

// The first known field of the wrong type, or null.
const TFieldType *FieldOfWrongType(const QJsonObject &object) {
  for (const TFieldType &field : kFieldTypes) {
    const QJsonValue value = object.value(QLatin1String(field.name));
    if (!value.isUndefined() && value.type() != field.type) {
      return &field;
    }
  }
  return nullptr;
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
  const double t = object.value(QLatin1String("t")).toDouble();
  if (!(t >= 0.0 && t <= kCaptureMaxTime)) {
    error = QStringLiteral("time \"t\" %1 is not between 0 and %2 seconds")
                .arg(Seconds(t), Seconds(kCaptureMaxTime));
    return false;
  }
  if (const TFieldType *field = FieldOfWrongType(object)) {
    error = QStringLiteral("\"%1\" is not %2")
                .arg(QLatin1String(field->name), QLatin1String(field->expected));
    return false;
  }
  record = TCaptureRecord();
  record.t = t;
  record.port = object.value(QLatin1String("port")).toString();
  const QString dir = object.value(QLatin1String("dir")).toString();
  if (dir == QLatin1String("rx") || dir == QLatin1String("tx")) {
    const QJsonValue hexValue = object.value(QLatin1String("hex"));
    const QByteArray hexBytes = hexValue.toString().toLatin1();
    const bool hexDigitsOnly = hexValue.isString() && hexBytes.size() % 2 == 0 &&
                               std::all_of(hexBytes.begin(), hexBytes.end(), [](char c) {
                                 return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                               });
    if (!hexDigitsOnly) {
      error = QStringLiteral("\"hex\" is not a string of an even number of hex digits");
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
