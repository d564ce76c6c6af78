// Wall time of the parameter store over the bit-level bus: the first-start
// initialisation (load of a blank EEPROM, 32 KB fill, defaults written) and
// a full parameter load.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "core/bridge.h"
#include "eeprom_bus.h"
#include "storage/i2c.h"
#include "storage/params.h"

namespace {

// Runs the storage code on the benchmark's thread with the pins on a CEepromBus.
class CBenchHost final : public HostBridge {
public:
    explicit CBenchHost(CEepromBus* pBus) : m_pBus(pBus)
    {
        FirmwareAttachHost(this);
        I2cPowerUp();
    }
    ~CBenchHost() override { FirmwareAttachHost(nullptr); }
    void I2cSetScl(int n) override { m_pBus->SetScl(n); }
    void I2cSetSda(int n) override { m_pBus->SetSda(n); }
    int I2cGetScl() override { return m_pBus->GetScl(); }
    int I2cGetSda() override { return m_pBus->GetSda(); }

private:
    CEepromBus* m_pBus;
};

std::filesystem::path BenchDir()
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "halden-bench-storage";
    std::filesystem::create_directories(dir);
    return dir;
}

void BM_FirstStartInitialisation(benchmark::State& state)
{
    std::filesystem::path file = BenchDir() / "eeprom.bin";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(file);
        auto pBus = std::make_unique<CEepromBus>(file.string());
        auto pHost = std::make_unique<CBenchHost>(pBus.get());
        state.ResumeTiming();
        StartParameterStore();
        state.PauseTiming();
        if (std::filesystem::file_size(file) != 32768)
            state.SkipWithError("eeprom.bin is not 32768 bytes");
        pHost.reset();
        pBus.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstStartInitialisation)->Unit(benchmark::kMillisecond);

void BM_LoadAllParameters(benchmark::State& state)
{
    std::filesystem::path file = BenchDir() / "eeprom.bin";
    std::filesystem::remove(file);
    CEepromBus bus(file.string());
    CBenchHost host(&bus);
    StartParameterStore();
    for (auto _ : state)
        LoadAllParameters();
}
BENCHMARK(BM_LoadAllParameters)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
