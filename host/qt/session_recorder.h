// File/Record Session...: the session as a scenario for halden-cli. Every
// key, sample change, heater change and serial line since the instrument's
// power-up is kept with the firmware time before it, so that a recording
// begun at any moment replays from power-up, from the EEPROM image the
// instrument started with, to the same screens and serial bytes. The journal
// of a long session goes to a temporary file in blocks, so that its memory
// stays bounded however long the instrument runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "instrument.h"

class CSessionRecorder final : public CInstrument::InputObserver {
public:
    // Entries held in memory before they go to the temporary file.
    static constexpr size_t MEMORY_ENTRIES = 4096;
    explicit CSessionRecorder(size_t nMemoryEntries = MEMORY_ENTRIES) : m_nMemoryEntries(nMemoryEntries) {}
    ~CSessionRecorder() override;
    CSessionRecorder(const CSessionRecorder&) = delete;
    CSessionRecorder& operator=(const CSessionRecorder&) = delete;

    // At power-up: the EEPROM image and the heater as they are then.
    void PowerUp(const uint8_t* pbImage, size_t nSize, bool bHeaterFitted);
    // Firmware thread: one input as the instrument applied it.
    void InputApplied(uint64_t ullTick, const CInstrument::HostInput& input) override;

    // The user's recording: from where it began (ticks delivered) to where it ends.
    void Begin(uint64_t ullTick);
    bool Recording() const { return m_bRecording; }
    // The scenario from power-up to ullEndTick, naming sImageName as the
    // EEPROM image to replay it from; ends the recording. Nothing when the
    // journal's temporary file could not be read back.
    std::optional<std::string> End(uint64_t ullEndTick, const std::string& sImageName);
    // Journal entries held in memory now (the rest are in the temporary file).
    size_t EntriesInMemory() const;
    const std::vector<uint8_t>& PowerUpImage() const { return m_abImage; }

    // "sample NAME [CONCENTRATION]" for a sample put in the cell.
    static std::string SampleLine(const class CSample& sample, double fConcentration);

private:
    struct Entry {
        uint64_t ullTick;
        std::string sLine;
    };
    void SpoolEntries();
    bool ReadSpool(std::vector<Entry>& entries);

    const size_t m_nMemoryEntries;
    mutable std::mutex m_mtx;
    std::vector<Entry> m_entries;    // the newest entries; guarded by m_mtx, as is the file
    std::FILE* m_pSpool = nullptr;   // the older ones, oldest first; null until needed
    long m_lSpoolEnd = 0;            // the file's length up to its last whole entry
    bool m_bSpoolFailed = false;     // the file failed: every entry stays in memory
    bool m_bJournalLost = false;     // and what it held could not be read back
    std::vector<uint8_t> m_abImage;
    bool m_bHeater = false;
    bool m_bRecording = false;
    uint64_t m_ullBegin = 0;
};
