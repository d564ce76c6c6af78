// How long the firmware's work on one reading takes once the acquisition
// time is over: copying and correcting a frame set into its spectrum, the
// diode array test of the self-diagnostics, and the readings dump.
#include <benchmark/benchmark.h>

#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/params.h"

static void BM_CompleteSampleReading(benchmark::State& state)
{
    ResetReadingCorrections();
    for (auto _ : state) {
        CompleteReading(READ_SAMPLE);
        benchmark::DoNotOptimize(gfTestReadings[249]);
    }
}
BENCHMARK(BM_CompleteSampleReading)->Unit(benchmark::kMicrosecond);

// The dump formats 3,755 lines; no serial sink is attached, so this is the
// formatting alone.
static void BM_CompleteReadingWithDump(benchmark::State& state)
{
    ResetReadingCorrections();
    gbReadingsDump = 1;
    for (auto _ : state)
        CompleteReading(READ_REFERENCE);
    gbReadingsDump = 0;
}
BENCHMARK(BM_CompleteReadingWithDump)->Unit(benchmark::kMicrosecond);

static void BM_DiodeArrayTest(benchmark::State& state)
{
    CompleteReading(READ_LAMP);
    gbBaseSelfTestInfo = 0;
    for (auto _ : state) {
        gDuffPixels[0] = {-1, 0, 0};
        gDuffPixels[1] = {-1, 0, 0};
        benchmark::DoNotOptimize(TestDiodeArray());
    }
}
BENCHMARK(BM_DiodeArrayTest)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
