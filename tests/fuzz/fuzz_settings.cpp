// Fuzzes the settings file with arbitrary texts: reading keeps every value in
// its range, the INI text comes back byte for byte when nothing is changed,
// and a save of the settings read (with the converter search switched when
// the text's first byte is odd) reads back as the same settings and is
// stable when saved again.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_require.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"

namespace {

void RequireClamped(const TProgramSettings &settings) {
  REQUIRE(settings.Language == kLanguageHungarian || settings.Language == kLanguageEnglish);
  REQUIRE(settings.Size <= 1);
  REQUIRE(settings.Left >= 0);
  REQUIRE(settings.Top >= 0);
}

// The Port a saved file gives back: empty during the converter search; line
// breaks become spaces (a value stays on its line) and whitespace at either
// end is dropped, as for every value read.
QString PortAfterSave(const TProgramSettings &saved) {
  if (saved.FindFreq) {
    return QString();
  }
  QString port = saved.Port;
  port.replace(u'\r', u' ').replace(u'\n', u' ');
  return QString::fromUtf8(port.toUtf8().trimmed());
}

void RequireSameSettings(const TProgramSettings &read, const TProgramSettings &saved) {
  REQUIRE(read.Port == PortAfterSave(saved));
  REQUIRE(read.FindFreq == saved.FindFreq);
  REQUIRE(read.AlwaysOnTop == saved.AlwaysOnTop);
  REQUIRE(read.PTConnect == saved.PTConnect);
  REQUIRE(read.PTDisconnect == saved.PTDisconnect);
  REQUIRE(read.Language == saved.Language);
  REQUIRE(read.Size == saved.Size);
  REQUIRE(read.Left == saved.Left);
  REQUIRE(read.Top == saved.Top);
}

void RequireSaveReadsBack(const QByteArray &text, const TProgramSettings &settings) {
  const QByteArray saved = MergeSettings(text, settings);
  const TProgramSettings read = ParseSettings(saved);
  RequireClamped(read);
  RequireSameSettings(read, settings);
  // The saved text is itself a file that parses and writes back unchanged.
  REQUIRE(TIniFile::Parse(saved).Serialize() == saved);
  // Saving the same settings again reads back the same, and from then on
  // changes nothing. (The first save may still change line ends: a last line
  // without a line end gets one, and a lone CR before it then pairs with it
  // into a CR LF that the following saves take as the file's line end.)
  const QByteArray again = MergeSettings(saved, settings);
  RequireSameSettings(ParseSettings(again), settings);
  REQUIRE(MergeSettings(again, settings) == again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

  REQUIRE(TIniFile::Parse(text).Serialize() == text);

  const TProgramSettings settings = ParseSettings(text);
  RequireClamped(settings);
  REQUIRE(settings.Port.size() <= TIniFile::kMaxValueLength);

  TProgramSettings saved = settings;
  if (size > 0 && (data[0] & 1) != 0) {
    saved.FindFreq = !saved.FindFreq;
  }
  RequireSaveReadsBack(text, saved);
  return 0;
}
