// Time to open a network port through ser2net on loopback, plain and inside
// TLS: resolving, connecting, for TLS the handshake and the verification of
// the server, and for rfc2217 the line negotiation. The difference between
// a TLS row and its plain row is the cost of the handshake. Run by
// bench/program/network.sh.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <memory>

#include "network_device.h"
#include "pty_line.h"
#include "ser2net_process.h"
#include "test_certificates.h"

namespace {

std::unique_ptr<TTestCertificates> certificates;
std::unique_ptr<TSer2Net> plain;
std::unique_ptr<TSer2Net> tls;

void Open(benchmark::State &state, const QString &url) {
  TNetworkDevice device;
  device.SetUrl(url);
  for (auto _ : state) {
    const TOpenFailure failure = device.Open(TLineSettings{});
    device.Close();
    if (failure.Failed()) {
      state.SkipWithError("the open failed");
      return;
    }
    // ser2net takes the next connection once it has let go of the last.
    state.PauseTiming();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    state.ResumeTiming();
  }
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  certificates = std::make_unique<TTestCertificates>();
  TPtyLine plainLine;
  TPtyLine tlsLine;
  plain = std::make_unique<TSer2Net>(plainLine.SlavePath());
  tls = std::make_unique<TSer2Net>(tlsLine.SlavePath(), certificates->Path("server.key"),
                                   certificates->Path("server.pem"));
  const QString ca = "?ca=" + certificates->Path("ca.pem");
  const struct {
    const char *name;
    QString url;
  } rows[] = {
      {"open/socket", plain->RawUrl()},
      {"open/socket+tls", tls->RawUrl() + ca},
      {"open/rfc2217", plain->Rfc2217Url()},
      {"open/rfc2217+tls", tls->Rfc2217Url() + ca},
  };
  for (const auto &row : rows) {
    const QString url = row.url;
    benchmark::RegisterBenchmark(row.name, [url](benchmark::State &state) { Open(state, url); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(50);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  plain.reset();
  tls.reset();
  certificates.reset();
  return 0;
}
