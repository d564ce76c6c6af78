// Printer speed: a full "PR2" screen hardcopy (44 bands, 11616 bytes) read
// by the host's printer onto fresh paper; the goal is under a millisecond.
// Also the chart recorder taking a second of the analogue trace.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "chart.h"
#include "comms/hardcopy.h"
#include "core/serial.h"
#include "display/lcd.h"
#include "instrument.h"
#include "printer.h"
#include "storage/params.h"

// The bytes of a hardcopy of a busy picture: a diagonal, a frame and a
// chequered patch, so every band carries dots.
static std::string HardcopyBytes()
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "halden-bench-printer";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    CInstrument host;
    SerialInit();
    LcdClear();
    for (int x = 0; x < LCD_WIDTH; x++)
        LcdSetPixel(static_cast<uint8_t>(x), static_cast<uint8_t>(x * (LCD_HEIGHT - 1) / (LCD_WIDTH - 1)));
    for (int x = 100; x < 200; x++)
        for (int y = 20; y < 100; y++)
            if ((x + y) % 2)
                LcdSetPixel(static_cast<uint8_t>(x), static_cast<uint8_t>(y));
    LcdMoveTo(65, 0);
    LcdBox(LINE_SET, 173, 127);
    gbOutputDevice = 1;
    host.ClearSerialText();
    LcdPrintScreen();
    return host.SerialText();
}

static void BM_DecodePr2Hardcopy(benchmark::State& state)
{
    static const std::string sBytes = HardcopyBytes();
    if (sBytes.size() != HARDCOPY_PR2_BYTES) {
        state.SkipWithError("the hardcopy is not 11616 bytes");
        return;
    }
    for (auto _ : state) {
        CPrinter printer;
        printer.Feed(sBytes);
        benchmark::DoNotOptimize(printer.Row(0));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sBytes.size()));
}
BENCHMARK(BM_DecodePr2Hardcopy)->Unit(benchmark::kMicrosecond);

// A second of a live ramp: a new value every millisecond, one straight line.
static void BM_ChartSecondOfRamp(benchmark::State& state)
{
    std::string sTrace;
    for (int i = 0; i < 1000; i++)
        sTrace += std::to_string(52428 - 13 * i) + "\n";
    for (auto _ : state) {
        CChartRecorder chart;
        for (char c : sTrace)
            chart.Write(static_cast<uint8_t>(c));
        benchmark::DoNotOptimize(chart.Ms());
    }
}
BENCHMARK(BM_ChartSecondOfRamp)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
