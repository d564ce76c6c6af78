// The sample compartment: which sample stands in the cell, and the frames
// the firmware gets when it reads the sample (the host's SupplyFrames bridge
// operation forwards here). Until something else goes in, the cell holds the
// recorded sample and the firmware reads its recorded frame set unchanged.
//
// The cell holder may have a heater (fitted by the host, switched on from
// the firmware's set-up screen). A reacting sample reacts at the cell's
// temperature: 25 C with the heater off, 37 C with it on, its rate K (given
// at 25 C) doubling for every 10 C (K(T) = K * 2^((T - 25) / 10), 2.30 times
// faster at 37 C). The heater's state is taken at every sample reading and
// holds until the next one.
//
// Insert and Contents may be called from any thread; the frames are made on
// the firmware thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "sample.h"

class CSampleCompartment {
public:
    // fnFirmwareMs: milliseconds of firmware time run so far (the host's
    // consumed ticks), the clock of a reacting sample.
    explicit CSampleCompartment(std::function<uint64_t()> fnFirmwareMs);
    CSampleCompartment(const CSampleCompartment&) = delete;
    CSampleCompartment& operator=(const CSampleCompartment&) = delete;

    struct Contents {
        std::shared_ptr<const CSample> pSample;
        double fConcentration = 1.0;
        uint64_t ullInsertedMs = 0;  // firmware time when it went in
        // The reaction so far, in minutes at 25 C, up to firmware time
        // ullReactedToMs, and whether the cell was heated since then.
        double fReactedMin = 0;
        uint64_t ullReactedToMs = 0;
        bool bHeated = false;
    };

    static constexpr double ROOM_C = 25.0;    // the cell without the heater
    static constexpr double HEATED_C = 37.0;  // the cell with the heater on
    // How many times faster than at 25 C a sample reacts at fCelsius.
    static double RateFactor(double fCelsius);
    // The cell's temperature now.
    static double CellCelsius();

    // Puts a sample in the cell at the given concentration (the file's when
    // not given); a reacting sample starts reacting now.
    void Insert(const CSample& sample, std::optional<double> fConcentration = std::nullopt);
    Contents Current() const;
    // "Bromophenol blue 5 mg/L".
    std::string Label() const;
    // Firmware time of the last sample frames made (0 before any).
    uint64_t LastFramesMs() const { return m_ullLastFramesMs.load(std::memory_order_relaxed); }
    uint64_t FirmwareMs() const { return m_fnFirmwareMs(); }
    // Advances the reaction to firmware time ullNow at the temperature the
    // cell had since the last call, takes the heater's state for the time
    // after, and returns the minutes reacted at 25 C. Every sample reading
    // does this on the firmware thread.
    double React(uint64_t ullNow);

    // The frames of a reading of kind bKind: true with pFrames filled for
    // the sample reading, false for any other kind (the recorded set stands).
    bool SupplyFrames(uint8_t bKind, FrameRecord* pFrames);

private:

    std::function<uint64_t()> m_fnFirmwareMs;
    mutable std::mutex m_mtx;
    Contents m_contents;  // guarded by m_mtx
    std::atomic<uint64_t> m_ullLastFramesMs{0};
};

// Loads a sample by library name or path and puts it in the cell, at the
// given concentration or the file's; false with sError saying why not (a
// faulty file, a concentration for a sample that has none).
bool PutSampleIn(CSampleCompartment& compartment, const std::string& sNameOrPath,
                 std::optional<double> fConcentration, std::string& sError);
// The check of PutSampleIn without the cell: the sample as it would go in,
// or nothing with sError saying why it would not.
std::optional<CSample> LoadSampleToInsert(const std::string& sNameOrPath, std::optional<double> fConcentration,
                                          std::string& sError);
