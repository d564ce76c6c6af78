// How fast the headless host runs virtual time with the firmware idle.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "instrument.h"

// The firmware runs once per process, so every run of the benchmark shares one host.
static CInstrument& PoweredHost()
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "halden-bench-idle";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    static CInstrument host;
    host.PowerUp();
    host.AdvanceMs(60000);  // past power-up, into the idle loop
    return host;
}

static void BM_IdleVirtualSeconds(benchmark::State& state)
{
    static CInstrument& host = PoweredHost();
    for (auto _ : state)
        host.Tick(20);  // one virtual second
    state.counters["virtual_s_per_wall_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IdleVirtualSeconds)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
