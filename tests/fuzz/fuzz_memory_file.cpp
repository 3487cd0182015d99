// Fuzzes the memory file reader with arbitrary file contents: a corrupt
// header leaves the image alone, otherwise exactly the data bytes the file
// holds land in the image prefix and the rest keeps what it held; and the
// file built from any image reads back complete and identical.
#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_require.h"
#include "memory_file.h"

namespace {

constexpr qsizetype kDataStart = 1 + kMemoryFileHeaderLength;

uint8_t PatternAt(uint32_t address) {
  return static_cast<uint8_t>((address * 13) ^ 0xA5);
}

const TTerminalMemory &PatternImage() {
  static const TTerminalMemory pattern = [] {
    TTerminalMemory memory;
    for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
      memory.Write(a, PatternAt(a));
    }
    return memory;
  }();
  return pattern;
}

// The length byte and the scrambled header a valid file starts with, worked
// out here from the scrambling rule: each character rotated right by one
// bit, plus its position (from 1), XOR the key.
QByteArray ExpectedFileStart() {
  QByteArray start(1, static_cast<char>(kMemoryFileHeaderLength));
  for (int i = 0; i < kMemoryFileHeaderLength; ++i) {
    const auto c = static_cast<uint8_t>(kMemoryFileHeader[i]);
    const auto rotated = static_cast<uint8_t>((c >> 1) | (c << 7));
    start.append(static_cast<char>(static_cast<uint8_t>(rotated + i + 1) ^ kMemoryFileHeaderKey));
  }
  return start;
}

bool StartsWithValidHeader(const QByteArray &bytes) {
  static const QByteArray start = ExpectedFileStart();
  return bytes.startsWith(start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray file =
      QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

  TTerminalMemory memory = PatternImage();
  const TMemoryFileReadResult result = ReadMemoryFile(file, memory);

  if (!StartsWithValidHeader(file)) {
    REQUIRE(result.outcome == TMemoryFileRead::CorruptHeader);
    REQUIRE(!result.nonzeroByteStored);
    REQUIRE(memory == PatternImage());
  } else {
    const qsizetype stored = std::min<qsizetype>(file.size() - kDataStart, TTerminalMemory::kSize);
    REQUIRE(result.outcome == (stored == TTerminalMemory::kSize ? TMemoryFileRead::Complete
                                                                : TMemoryFileRead::Truncated));
    TTerminalMemory expected = PatternImage();
    std::memcpy(expected.Bytes(), file.constData() + kDataStart, static_cast<size_t>(stored));
    REQUIRE(memory == expected);
    const auto *storedBegin = reinterpret_cast<const uint8_t *>(file.constData() + kDataStart);
    const bool nonzero =
        std::any_of(storedBegin, storedBegin + stored, [](uint8_t byte) { return byte != 0; });
    REQUIRE(result.nonzeroByteStored == nonzero);
  }

  // Whatever the image now holds is saved and read back unchanged. An image
  // the file left alone is the pattern: its round trip is checked once.
  static bool patternRoundTripChecked = false;
  if (result.outcome == TMemoryFileRead::CorruptHeader) {
    if (patternRoundTripChecked) {
      return 0;
    }
    patternRoundTripChecked = true;
  }
  const QByteArray saved = BuildMemoryFile(memory);
  REQUIRE(saved.size() == kMemoryFileSize);
  REQUIRE(StartsWithValidHeader(saved));
  TTerminalMemory loaded;
  const TMemoryFileReadResult reloaded = ReadMemoryFile(saved, loaded);
  REQUIRE(reloaded.outcome == TMemoryFileRead::Complete);
  REQUIRE(loaded == memory);
  return 0;
}
