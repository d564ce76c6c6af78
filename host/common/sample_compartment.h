// The sample compartment: which sample stands in the cell, and the frames
// the firmware gets when it reads the sample (the host's SupplyFrames bridge
// operation forwards here). Until something else goes in, the cell holds the
// recorded sample and the firmware reads its recorded frame set unchanged.
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
    };

    // Puts a sample in the cell at the given concentration (the file's when
    // not given); a reacting sample starts reacting now.
    void Insert(const CSample& sample, std::optional<double> fConcentration = std::nullopt);
    Contents Current() const;
    // "Bromophenol blue 5 mg/L".
    std::string Label() const;
    // Firmware time of the last sample frames made (0 before any).
    uint64_t LastFramesMs() const { return m_ullLastFramesMs.load(std::memory_order_relaxed); }
    uint64_t FirmwareMs() const { return m_fnFirmwareMs(); }

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
