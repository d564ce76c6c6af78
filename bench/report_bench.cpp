// Report speed: a full "PR2" screen hardcopy into the headless host's serial
// capture, and the analogue engine's per-millisecond step.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "comms/analogue.h"
#include "comms/hardcopy.h"
#include "core/serial.h"
#include "display/lcd.h"
#include "instrument.h"
#include "storage/params.h"

// A host without a running firmware; the benchmark thread calls the firmware.
static CInstrument& IdleHost()
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "halden-bench-report";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    static CInstrument host;
    SerialInit();
    return host;
}

// A picture with something in every band: a diagonal and a frame.
static void DrawPicture()
{
    LcdClear();
    for (int x = 0; x < LCD_WIDTH; x++)
        LcdSetPixel(static_cast<uint8_t>(x), static_cast<uint8_t>(x * (LCD_HEIGHT - 1) / (LCD_WIDTH - 1)));
    LcdMoveTo(65, 0);
    LcdBox(LINE_SET, 173, 127);
}

static void BM_HardcopyPr2(benchmark::State& state)
{
    CInstrument& host = IdleHost();
    DrawPicture();
    gbOutputDevice = 1;
    for (auto _ : state) {
        host.ClearSerialText();
        LcdPrintScreen();
        benchmark::DoNotOptimize(host.SerialText().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * HARDCOPY_PR2_BYTES);
}
BENCHMARK(BM_HardcopyPr2)->Unit(benchmark::kMillisecond);

// One million engine steps in live mode: ramps between values that arrive
// every second, as during a kinetics run.
static void BM_AnalogueTickMillion(benchmark::State& state)
{
    AnalogueInit();
    AnalogueStartLive(3000);
    uint16_t unValue = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000000; i++) {
            if (i % 1000 == 0) {
                unValue = static_cast<uint16_t>(unValue + 7919);
                AnalogueWrite(unValue);
            }
            AnalogueTick();
        }
        benchmark::DoNotOptimize(gunAnaOutput);
    }
}
BENCHMARK(BM_AnalogueTickMillion)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
