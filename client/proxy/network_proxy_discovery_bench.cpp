// Time of the first proxy hand-out, which runs discovery on the UI thread,
// with the proxy taken from the environment (no network is touched).
#include <benchmark/benchmark.h>

#include <memory>

#include "client/proxy/network_proxy_selector.h"
#include "platform/scoped_environment_testlib.h"

namespace {

void BM_FirstHandOutWithEnvironmentProxy(benchmark::State& state) {
  vz::ScopedEnvironmentVariable http_proxy("http_proxy", "http://proxy.invalid:3128");
  vz::ScopedEnvironmentVariable no_proxy("no_proxy", nullptr);
  const std::unique_ptr<vz::SettingsStore> store = vz::CreateMemorySettingsStore();
  const std::unique_ptr<vz::ProxyDiscovery> discovery = vz::CreateSystemProxyDiscovery();
  for (auto _ : state) {
    NetworkProxySelector selector(*discovery, store.get());
    benchmark::DoNotOptimize(selector.VZGetNetworkProxy());
  }
}
BENCHMARK(BM_FirstHandOutWithEnvironmentProxy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
