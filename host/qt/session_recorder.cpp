// Turning the instrument's input journal into scenario text.
#include "session_recorder.h"

#include <cstdio>
#include <filesystem>

#include "escape.h"
#include "sample.h"
#include "scenario_parse.h"

namespace {

std::string WaitLine(uint64_t ullTicks)
{
    const uint64_t ullMs = ullTicks * CInstrument::TICK_MS;
    if (ullMs % 1000 == 0)
        return "wait " + std::to_string(ullMs / 1000) + "s";
    return "wait " + std::to_string(ullMs) + "ms";
}

}  // namespace

void CSessionRecorder::PowerUp(const uint8_t* pbImage, size_t nSize, bool bHeaterFitted)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_abImage.assign(pbImage, pbImage + nSize);
    m_bHeater = bHeaterFitted;
    m_entries.clear();
}

void CSessionRecorder::InputApplied(uint64_t ullTick, const CInstrument::HostInput& input)
{
    std::string sLine;
    switch (input.kind) {
    case CInstrument::HostInput::Kind::Key:
        sLine = std::string(input.bDown ? "press " : "release ") + std::string(ScenarioKeyName(input.bKey));
        break;
    case CInstrument::HostInput::Kind::Serial:
        sLine = "send \"" + EncodeEscapes(input.sBytes) + "\"";
        break;
    case CInstrument::HostInput::Kind::Call:
        sLine = input.sDescription;
        break;
    }
    if (sLine.empty())
        return;  // a look at the firmware, no input
    std::lock_guard<std::mutex> lock(m_mtx);
    m_entries.push_back({ullTick, std::move(sLine)});
}

void CSessionRecorder::Begin(uint64_t ullTick)
{
    m_bRecording = true;
    m_ullBegin = ullTick;
}

std::string CSessionRecorder::End(uint64_t ullEndTick, const std::string& sImageName)
{
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        entries = m_entries;
    }
    m_bRecording = false;
    std::string sText = "# A session recorded by halden-sim, from the instrument's power-up; firmware time\n"
                        "# between the inputs as waits. It started from the EEPROM image " +
                        sImageName +
                        ":\n"
                        "# replay it on a copy of that image,\n"
                        "#   cp " + sImageName + " replay.bin && halden-cli --eeprom replay.bin THIS.scn\n";
    if (m_bHeater)
        sText += "heater fitted\n";
    uint64_t ullAt = 0;
    bool bMarked = false;
    auto fnMark = [&] {
        if (ullAt < m_ullBegin)
            sText += WaitLine(m_ullBegin - ullAt) + "\n";
        ullAt = std::max(ullAt, m_ullBegin);
        sText += "# Record Session began here.\n";
        bMarked = true;
    };
    for (const Entry& entry : entries) {
        if (entry.ullTick > ullEndTick)
            break;
        if (!bMarked && entry.ullTick >= m_ullBegin)
            fnMark();
        if (entry.ullTick > ullAt)
            sText += WaitLine(entry.ullTick - ullAt) + "\n";
        ullAt = std::max(ullAt, entry.ullTick);
        sText += entry.sLine + "\n";
    }
    if (!bMarked && m_ullBegin <= ullEndTick)
        fnMark();
    if (ullEndTick > ullAt)
        sText += WaitLine(ullEndTick - ullAt) + "\n";
    return sText;
}

std::string CSessionRecorder::SampleLine(const CSample& sample, double fConcentration)
{
    std::string sName = sample.m_sName;
    if (!sample.m_sFile.empty()) {
        std::filesystem::path file(sample.m_sFile);
        std::error_code ec;
        const bool bInLibrary = std::filesystem::equivalent(file.parent_path(), SampleLibraryDir(), ec);
        sName = bInLibrary ? file.stem().string() : std::filesystem::absolute(file, ec).string();
    }
    std::string sLine = "sample \"" + sName + "\"";
    if (sample.m_bConcentration) {
        char szValue[40];
        std::snprintf(szValue, sizeof szValue, " %.17g", fConcentration);
        sLine += szValue;
    }
    return sLine;
}
