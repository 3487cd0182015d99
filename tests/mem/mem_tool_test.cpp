// sorvanel-mem on real files: what it prints and its exit status.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "memory_file.h"

namespace {

struct TRun {
  int status = -1;
  QString out;
  QString err;
};

class MemTool : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }

  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = QDir(folder.path()).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }

  // A file named by bytes, valid UTF-8 or not.
  void WriteNative(const QByteArray &name, const QByteArray &bytes) {
    const QByteArray path = QFile::encodeName(folder.path()) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    ::close(fd);
  }

  static TRun Run(const QStringList &arguments) {
    return RunProgram(QStringLiteral(SORVANEL_MEM_PROGRAM), arguments);
  }

  // The tool run by the shell, so that its arguments can hold any bytes: in
  // 'script', "$1" is the tool and "$2" the test's folder.
  TRun RunShell(const QString &script) const {
    return RunProgram(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), script, QStringLiteral("sh"),
                       QStringLiteral(SORVANEL_MEM_PROGRAM), folder.path()});
  }

  static TRun RunProgram(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(20000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
  }

  QTemporaryDir folder;
};

TTerminalMemory SavedSet() {
  TTerminalMemory memory;
  const char set[] = "PSET";
  for (uint32_t i = 0; i < 4; ++i) {
    memory.Write(0x0100 + i, static_cast<uint8_t>(set[i]));
  }
  memory.Write(0x0000, 0x01);
  memory.Write(0x1FFF, 0xFF);
  return memory;
}

TEST_F(MemTool, DumpShowsEveryLineWithItsAddressHexAndAscii) {
  const TRun run = Run({QStringLiteral("dump"), Write("a.mem", BuildMemoryFile(SavedSet()))});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(run.err.isEmpty());
  const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 512);
  EXPECT_EQ(lines[0x10],
            "0x0100  50 53 45 54 00 00 00 00  00 00 00 00 00 00 00 00  |PSET............|");
  EXPECT_TRUE(lines[0].startsWith("0x0000  01 00")) << lines[0].toStdString();
  EXPECT_TRUE(lines[511].startsWith("0x1FF0  ")) << lines[511].toStdString();
  EXPECT_TRUE(lines[511].endsWith(" FF  |................|")) << lines[511].toStdString();
}

TEST_F(MemTool, DiffListsRunsAndExitsLikeCmp) {
  const QString a = Write("a.mem", BuildMemoryFile(SavedSet()));
  const QString same = Write("same.mem", BuildMemoryFile(SavedSet()));
  const QString zero = Write("zero.mem", BuildMemoryFile(TTerminalMemory()));

  TRun run = Run({QStringLiteral("diff"), a, same});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.isEmpty() && run.err.isEmpty());

  run = Run({QStringLiteral("diff"), a, zero});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "0x0000  01 | 00\n"
            "0x0100  50 53 45 54 | 00 00 00 00\n"
            "0x1FFF  FF | 00\n");
}

TEST_F(MemTool, TroubleExitsTwoNamingTheFile) {
  const QString good = Write("good.mem", BuildMemoryFile(SavedSet()));
  QByteArray wrongHeader = BuildMemoryFile(SavedSet());
  wrongHeader[5] = static_cast<char>(wrongHeader[5] ^ 0x20);
  const QString bad = Write("header.mem", wrongHeader);
  const QString text = Write("notes.txt", "not a memory file at all\n");
  const QString empty = Write("empty.mem", QByteArray());
  const QString missing = QDir(folder.path()).filePath(QStringLiteral("missing.mem"));

  for (const QString &path : {bad, text, empty, missing, folder.path()}) {
    for (const QStringList &arguments : {QStringList{QStringLiteral("dump"), path},
                                         QStringList{QStringLiteral("diff"), good, path},
                                         QStringList{QStringLiteral("diff"), path, good}}) {
      const TRun run = Run(arguments);
      EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
      EXPECT_TRUE(run.out.isEmpty());
      EXPECT_TRUE(run.err.contains(path)) << run.err.toStdString();
    }
  }
  EXPECT_TRUE(Run({QStringLiteral("diff"), missing, good}).err.contains("no such file"));
  EXPECT_TRUE(Run({QStringLiteral("dump"), bad}).err.contains("not a memory file"));

  EXPECT_EQ(Run({QStringLiteral("copy"), good}).status, 2);
  EXPECT_EQ(Run({QStringLiteral("diff"), good}).status, 2);
  EXPECT_EQ(Run({}).status, 2);
  const TRun help = Run({QStringLiteral("--help")});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.contains("sorvanel-mem diff"));
}

// As a load: the bytes present are taken, the rest of the image stays 0,
// with a warning; bytes after the image are ignored.
TEST_F(MemTool, ShortFileReadsAsFarAsItGoes) {
  const QByteArray full = BuildMemoryFile(SavedSet());
  const QString shortFile = Write("short.mem", full.left(35 + 0x102));
  const QString longFile = Write("long.mem", full + QByteArray(10, 'x'));

  TRun run = Run({QStringLiteral("diff"), shortFile, longFile});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "0x0102  00 00 | 45 54\n0x1FFF  00 | FF\n");
  EXPECT_TRUE(run.err.contains(shortFile) && run.err.contains("258 of 8192"))
      << run.err.toStdString();

  run = Run({QStringLiteral("dump"), shortFile});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.contains("0x0100  50 53 00 00")) << run.out.left(2000).toStdString();
  EXPECT_FALSE(run.err.isEmpty());
}

// A name that is not UTF-8 names the file it names: as text it would turn
// into "bad\uFFFD.mem", which here is another memory file.
TEST_F(MemTool, FileNamedByBytesThatAreNotUtf8IsTheOneRead) {
  WriteNative("bad\xff.mem", BuildMemoryFile(SavedSet()));
  WriteNative("bad\xef\xbf\xbd.mem", BuildMemoryFile(TTerminalMemory()));

  TRun run = RunShell(QStringLiteral("exec \"$1\" dump \"$2/bad$(printf '\\377').mem\""));
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.contains("0x0100  50 53 45 54")) << run.out.left(2000).toStdString();

  run = RunShell(
      QStringLiteral("exec \"$1\" diff \"$2/bad$(printf '\\377').mem\" \"$2/bad\uFFFD.mem\""));
  EXPECT_EQ(run.status, 1) << run.err.toStdString();

  run = RunShell(QStringLiteral("exec \"$1\" dump \"$2/gone$(printf '\\377\\033').mem\""));
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.err.endsWith("/gone\\xFF\\x1B.mem: no such file\n")) << run.err.toStdString();
}

// A loop of symbolic links is told as what it is, not as a missing file.
TEST_F(MemTool, SymbolicLinkLoopIsToldAsALoop) {
  const QString a = QDir(folder.path()).filePath(QStringLiteral("a.mem"));
  const QString b = QDir(folder.path()).filePath(QStringLiteral("b.mem"));
  ASSERT_TRUE(QFile::link(b, a));
  ASSERT_TRUE(QFile::link(a, b));
  const TRun run = Run({QStringLiteral("dump"), a});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "sorvanel-mem: " + a +
                         ": cannot be read: a loop of symbolic links (or too many of them)\n")
      << run.err.toStdString();
}

}  // namespace
