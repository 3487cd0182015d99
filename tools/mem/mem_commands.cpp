#include "mem_commands.h"

#include <QString>
#include <cerrno>
#include <cstring>
#include <optional>

#include "file_name.h"
#include "memory_diff.h"
#include "memory_file_image.h"

namespace mem {
namespace {

constexpr uint32_t kLineLength = 16;

void Print(std::FILE *stream, const QString &text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

void Complain(std::FILE *err, const QString &name, const QString &what) {
  Print(err, QStringLiteral("sorvanel-mem: %1: %2\n").arg(name, what));
}

// Why a file could not be read, as the system tells it.
QString UnreadableReason(int error) {
  if (error == ELOOP) {
    return QStringLiteral("cannot be read: a loop of symbolic links (or too many of them)");
  }
  return QStringLiteral("cannot be read: ") + QString::fromLocal8Bit(std::strerror(error));
}

// The image of a memory file read as the program reads it; nothing, with a
// message, when the file gives none. A short file is taken with a warning.
std::optional<TMemoryFileImage> ReadImage(const QByteArray &path, std::FILE *err) {
  TMemoryFileImage image = ReadMemoryFileImageAt(path);
  const QString name = PrintableFileName(path);
  switch (image.outcome) {
    case TMemoryFileImageOutcome::Missing:
      Complain(err, name, QStringLiteral("no such file"));
      return std::nullopt;
    case TMemoryFileImageOutcome::NotRegularFile:
      Complain(err, name, QStringLiteral("not a regular file"));
      return std::nullopt;
    case TMemoryFileImageOutcome::Unreadable:
      Complain(err, name, UnreadableReason(image.error));
      return std::nullopt;
    case TMemoryFileImageOutcome::NotMemoryFile:
      Complain(err, name, QStringLiteral("not a memory file (missing or wrong header)"));
      return std::nullopt;
    case TMemoryFileImageOutcome::Short:
      Print(err, QStringLiteral("sorvanel-mem: %1: short file, %2 of %3 data bytes; the rest "
                                "reads as 00\n")
                     .arg(name, QString::number(image.dataBytes),
                          QString::number(TTerminalMemory::kSize)));
      break;
    case TMemoryFileImageOutcome::Complete:
      break;
  }
  return image;
}

QString AsciiOf(const TTerminalMemory &memory, uint32_t address) {
  QString text;
  for (uint32_t i = 0; i < kLineLength; ++i) {
    const uint8_t value = memory.Read(address + i);
    text += QLatin1Char(value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.');
  }
  return text;
}

// Write errors (a full disk, a closed pipe) are an error too.
int Finish(int status, std::FILE *out, std::FILE *err) {
  if (std::fflush(out) != 0 || std::ferror(out)) {
    Print(err, QStringLiteral("sorvanel-mem: write error\n"));
    return kExitTrouble;
  }
  return status;
}

}  // namespace

int Dump(const QByteArray &path, std::FILE *out, std::FILE *err) {
  const std::optional<TMemoryFileImage> image = ReadImage(path, err);
  if (!image) {
    return kExitTrouble;
  }
  constexpr uint32_t kHalf = kLineLength / 2;
  for (uint32_t address = 0; address < TTerminalMemory::kSize; address += kLineLength) {
    Print(out, FormatMemoryAddress(address) + QStringLiteral("  ") +
                   FormatMemoryBytes(image->memory, address, kHalf) + QStringLiteral("  ") +
                   FormatMemoryBytes(image->memory, address + kHalf, kHalf) +
                   QStringLiteral("  |") + AsciiOf(image->memory, address) + QStringLiteral("|\n"));
  }
  return Finish(kExitSame, out, err);
}

int Diff(const QByteArray &pathA, const QByteArray &pathB, std::FILE *out, std::FILE *err) {
  const std::optional<TMemoryFileImage> a = ReadImage(pathA, err);
  const std::optional<TMemoryFileImage> b = ReadImage(pathB, err);
  if (!a || !b) {
    return kExitTrouble;
  }
  const std::vector<TMemoryDiffRun> runs = FindDifferingRuns(a->memory, b->memory);
  for (const TMemoryDiffRun &run : runs) {
    Print(out, FormatDiffRun(run, a->memory, b->memory) + QLatin1Char('\n'));
  }
  return Finish(runs.empty() ? kExitSame : kExitDiffer, out, err);
}

}  // namespace mem
