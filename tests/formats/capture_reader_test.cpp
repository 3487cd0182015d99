// Reading a capture file back: bad lines refused by number, and the limits
// on a line and a file. (A pipe that keeps the reader waiting is tested
// through vdrive --replay, in tests/vdrive.)
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "capture_reader.h"

namespace {

TEST(CaptureReader, EveryBadLineIsRefusedWithItsNumber) {
  const std::string header = R"({"t": 1000000.0, "format": "sorvanel-capture", "version": 1})";
  const std::string good = R"({"t": 1000000.5, "dir": "rx", "hex": "0203"})";
  const std::string longLine =
      R"({"t": 1000000.0, "dir": "rx", "hex": ")" + std::string(2000, 'a') + R"("})";
  struct TCase {
    std::string lines;  // after the header; a good line follows them
    int line;
    const char *reason;
  } cases[] = {
      {R"({"t": 1e300, "dir": "rx", "hex": "02"})", 2, "not between 0 and 1000000000"},
      {R"({"t": -1e300, "dir": "rx", "hex": "02"})", 2, "not between 0 and"},
      {R"({"t": -0.5, "event": "open"})", 2, "not between 0 and"},
      {R"({"t": 9e9, "event": "open"})", 2, "not between 0 and"},
      {R"({"t": 1e999, "event": "open"})", 2, ""},
      {R"({"t": "1000000", "event": "open"})", 2, "no time"},
      {R"({"t": 1700000.5, "event": "open"})", 2, "jumps by 700000.5 seconds"},
      {good + "\n" + R"({"t": 0.25, "event": "open"})", 3, "jumps by -1000000.25 seconds"},
      {R"({"t": 1000000.0, "dir": "rx", "hex": 12345})", 2, "\"hex\" is not a string"},
      {R"({"t": 1000000.0, "dir": "tx"})", 2, "\"hex\" is not a string of an even"},
      {R"({"t": 1000000.0, "dir": "rx", "hex": "abc"})", 2, "even number of hex digits"},
      {R"({"t": 1000000.0, "dir": "rx", "hex": "zz"})", 2, "even number of hex digits"},
      {R"({"t": 1000000.0, "dir": "tx", "hex": "02", "failed": "yes"})", 2, "\"failed\" is not"},
      {R"({"t": 1000000.0, "event": "open", "port": 5})", 2, "\"port\" is not a string"},
      {R"({"t": 1000000.0, "event": ["open"]})", 2, "\"event\" is not a string"},
      {"\n  \n" + good + "\n[1, 2]", 5, "not a JSON object"},
      {longLine, 2, "longer than 1000 bytes"},
  };
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("bad.jsonl"));
  TCaptureLimits limits;
  limits.lineBytes = 1000;
  for (const TCase &bad : cases) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::fromStdString(header + "\n" + bad.lines + "\n" + good + "\n"));
    file.close();
    std::vector<TCaptureRecord> records;
    QString error;
    EXPECT_FALSE(ReadCaptureFile(path, records, error, limits)) << bad.lines;
    const QString expected = QStringLiteral("line %1: ").arg(bad.line);
    EXPECT_TRUE(error.startsWith(expected)) << bad.lines << "\n" << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(bad.reason))) << error.toStdString();
  }
}

TEST(CaptureReader, AFileBeyondTheLimitIsRefusedAtTheLineThatCrossesIt) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("long.jsonl"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  const QByteArray line = R"({"t": 1000.000000, "dir": "rx", "hex": "0203"})"
                          "\n";
  for (int i = 0; i < 100; ++i) {
    file.write(line);
  }
  file.close();
  std::vector<TCaptureRecord> records;
  QString error;
  TCaptureLimits limits;
  limits.fileBytes = line.size() * 100;
  EXPECT_TRUE(ReadCaptureFile(path, records, error, limits)) << error.toStdString();
  EXPECT_EQ(records.size(), 100u);
  limits.fileBytes = line.size() * 40 + 10;
  EXPECT_FALSE(ReadCaptureFile(path, records, error, limits));
  EXPECT_EQ(error, QStringLiteral("line 41: the file goes on past %1 bytes, the most a capture "
                                  "may hold")
                       .arg(limits.fileBytes));

  // An endless source of bytes without a line end stops at the first line.
  EXPECT_FALSE(ReadCaptureFile(QStringLiteral("/dev/zero"), records, error));
  EXPECT_EQ(error, QStringLiteral("line 1: longer than %1 bytes, the most a line may hold")
                       .arg(kCaptureMaxLineBytes));
}

}  // namespace
