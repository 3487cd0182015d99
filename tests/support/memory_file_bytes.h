// Memory files built byte by byte in tests, from the file's own rules rather
// than from the code under test: the scrambled header, then the data.
#pragma once

#include <QByteArray>
#include <cstdint>

#include "memory_file.h"

// The header as the file stores it, computed here from the scrambling rule.
inline QByteArray ScrambledHeader(const QByteArray &text) {
  QByteArray stored;
  for (int i = 0; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    const auto rotated = static_cast<uint8_t>((c >> 1) | (c << 7));
    stored.append(static_cast<char>(static_cast<uint8_t>(rotated + i + 1) ^ 0x6B));
  }
  return stored;
}

// A file of 'data' behind the length byte and the scrambled 'header'.
inline QByteArray FileWith(const QByteArray &data, const QByteArray &header = kMemoryFileHeader) {
  return char(header.size()) + ScrambledHeader(header) + data;
}
