// How long the firmware takes to draw text: a whole soft-key screen by its
// script, a line of large digits, and the number formatter.
#include <benchmark/benchmark.h>

#include "core/format.h"
#include "display/font.h"
#include "display/lcd.h"
#include "display/script.h"
#include "instrument.h"

namespace {

CInstrument& Display()
{
    static CInstrument host;  // display memory only, never powered up
    return host;
}

void BM_MainMenuScript(benchmark::State& state)
{
    Display();
    for (auto _ : state)
        DisplayScript("C F0A0 K7 X8Y14T5 X8y29T6 X8y29T8");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_MainMenuScript)->Unit(benchmark::kMicrosecond);

void BM_LargeResultLine(benchmark::State& state)
{
    Display();
    gbFont = FONT_LARGE;
    for (auto _ : state) {
        LcdMoveTo(3, 40);
        LcdPutString("A405/540 = 1.847");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 16);
}
BENCHMARK(BM_LargeResultLine)->Unit(benchmark::kMicrosecond);

void BM_FormatNumber(benchmark::State& state)
{
    char acBuffer[FORMAT_BUFFER_SIZE];
    double f = 0.000123;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatNumber(acBuffer, f, static_cast<int>(state.range(0))));
        f = f < 1e6 ? f * 1.7 : 0.000123;
    }
}
BENCHMARK(BM_FormatNumber)->Arg(0)->Arg(2)->Arg(4);

}  // namespace

BENCHMARK_MAIN();
