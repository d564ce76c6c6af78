// File/Record Session...: the session as a scenario for halden-cli. Every
// key, sample change, heater change and serial line since the instrument's
// power-up is kept with the firmware time before it, so that a recording
// begun at any moment replays from power-up, from the EEPROM image the
// instrument started with, to the same screens and serial bytes.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "instrument.h"

class CSessionRecorder final : public CInstrument::InputObserver {
public:
    // At power-up: the EEPROM image and the heater as they are then.
    void PowerUp(const uint8_t* pbImage, size_t nSize, bool bHeaterFitted);
    // Firmware thread: one input as the instrument applied it.
    void InputApplied(uint64_t ullTick, const CInstrument::HostInput& input) override;

    // The user's recording: from where it began (ticks delivered) to where it ends.
    void Begin(uint64_t ullTick);
    bool Recording() const { return m_bRecording; }
    // The scenario from power-up to ullEndTick, naming sImageName as the
    // EEPROM image to replay it from; ends the recording.
    std::string End(uint64_t ullEndTick, const std::string& sImageName);
    const std::vector<uint8_t>& PowerUpImage() const { return m_abImage; }

    // "sample NAME [CONCENTRATION]" for a sample put in the cell.
    static std::string SampleLine(const class CSample& sample, double fConcentration);

private:
    struct Entry {
        uint64_t ullTick;
        std::string sLine;
    };
    mutable std::mutex m_mtx;
    std::vector<Entry> m_entries;  // guarded by m_mtx
    std::vector<uint8_t> m_abImage;
    bool m_bHeater = false;
    bool m_bRecording = false;
    uint64_t m_ullBegin = 0;
};
