// Reading and saving a settings file whose NetworkPorts section holds many
// entries. Both are linear in the size of the file: 100,000 entries take
// about ten times as long as 10,000 (somewhat more once the entries outgrow
// the processor's caches); a pass per entry made it a hundred times.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QTemporaryDir>

#include "settings_file.h"

namespace {

QByteArray ManyPortsFile(int64_t entries) {
  QByteArray text = "[Sorvanel]\nPort=\nLanguage=1\n\n[NetworkPorts]\n; device servers\n";
  for (int64_t i = 0; i < entries; ++i) {
    text += "port" + QByteArray::number(i) +
            "=socket://127.0.0.1:" + QByteArray::number(10000 + i % 50000) + '\n';
  }
  return text + "\n[Notes]\nKept=yes\n";
}

void CheckEntries(benchmark::State &state, const TProgramSettings &settings) {
  if (static_cast<int64_t>(settings.NetworkPorts.size()) != state.range(0)) {
    state.SkipWithError("entries were lost");
  }
}

void SetCounters(benchmark::State &state, const QByteArray &text) {
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_ParseManyNetworkPorts(benchmark::State &state) {
  const QByteArray text = ManyPortsFile(state.range(0));
  TProgramSettings settings;
  for (auto _ : state) {
    settings = ParseSettings(text);
    benchmark::DoNotOptimize(settings);
  }
  CheckEntries(state, settings);
  SetCounters(state, text);
}
BENCHMARK(BM_ParseManyNetworkPorts)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The save at close: the file's text with the nine keys and every entry
// written again.
void BM_MergeManyNetworkPorts(benchmark::State &state) {
  const QByteArray text = ManyPortsFile(state.range(0));
  const TProgramSettings settings = ParseSettings(text);
  QByteArray saved;
  for (auto _ : state) {
    saved = MergeSettings(text, settings);
    benchmark::DoNotOptimize(saved);
  }
  if (ParseSettings(saved).NetworkPorts != settings.NetworkPorts) {
    state.SkipWithError("entries were lost or changed");
  }
  SetCounters(state, text);
}
BENCHMARK(BM_MergeManyNetworkPorts)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Start and close as the program does them: the file read from disk, then
// written back through a flushed temporary file.
void BM_ReadAndWriteFileWithManyNetworkPorts(benchmark::State &state) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("sorvanel.ini"));
  const QByteArray text = ManyPortsFile(state.range(0));
  TProgramSettings settings = ParseSettings(text);
  if (!WriteSettingsFile(path, settings)) {
    state.SkipWithError("cannot write the settings file");
    return;
  }
  for (auto _ : state) {
    settings = ReadSettingsFile(path);
    if (!WriteSettingsFile(path, settings)) {
      state.SkipWithError("cannot write the settings file");
      return;
    }
  }
  CheckEntries(state, settings);
  SetCounters(state, text);
}
BENCHMARK(BM_ReadAndWriteFileWithManyNetworkPorts)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
