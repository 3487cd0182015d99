// The two commands of sorvanel-mem. Each writes its result to 'out' and its
// messages to 'err', and returns the exit status. Files are named by the
// bytes the command line gave, valid UTF-8 or not: the file read is the one
// named, and messages show the name with any byte that is not UTF-8 as \xHH.
#pragma once

#include <QByteArray>
#include <cstdio>

namespace mem {

inline constexpr int kExitSame = 0;
inline constexpr int kExitDiffer = 1;
inline constexpr int kExitTrouble = 2;

// Hex and ASCII, 16 bytes a line, each line starting with its address.
// 0, or 2 when the file cannot be read as a memory file.
int Dump(const QByteArray &path, std::FILE *out, std::FILE *err);

// One line per run of differing bytes: address, A's bytes, B's bytes.
// 0 when the images are the same, 1 when they differ, 2 on an error.
int Diff(const QByteArray &pathA, const QByteArray &pathB, std::FILE *out, std::FILE *err);

}  // namespace mem
