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

CSessionRecorder::~CSessionRecorder()
{
    if (m_pSpool)
        std::fclose(m_pSpool);
}

void CSessionRecorder::PowerUp(const uint8_t* pbImage, size_t nSize, bool bHeaterFitted)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    m_abImage.assign(pbImage, pbImage + nSize);
    m_bHeater = bHeaterFitted;
    m_entries.clear();
    if (m_pSpool)
        std::fclose(m_pSpool);
    m_pSpool = nullptr;
    m_lSpoolEnd = 0;
    m_bSpoolFailed = false;
    m_bJournalLost = false;
}

size_t CSessionRecorder::EntriesInMemory() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_entries.size();
}

// With m_mtx held: the entries in memory go to the end of the temporary file
// as "TICK LENGTH" lines, each followed by its line's bytes. When the file
// cannot be made or written, the journal is gathered in memory again and
// stays there.
void CSessionRecorder::SpoolEntries()
{
    if (m_bSpoolFailed)
        return;
    if (!m_pSpool)
        m_pSpool = std::tmpfile();
    bool bOk = m_pSpool != nullptr;
    for (const Entry& entry : m_entries) {
        if (!bOk)
            break;
        bOk = std::fprintf(m_pSpool, "%llu %zu\n", static_cast<unsigned long long>(entry.ullTick), entry.sLine.size()) > 0 &&
              std::fwrite(entry.sLine.data(), 1, entry.sLine.size(), m_pSpool) == entry.sLine.size();
    }
    if (bOk && std::fflush(m_pSpool) == 0) {
        m_lSpoolEnd = std::ftell(m_pSpool);
        m_entries.clear();
        return;
    }
    std::vector<Entry> entries;
    if (ReadSpool(entries)) {
        entries.insert(entries.end(), std::make_move_iterator(m_entries.begin()), std::make_move_iterator(m_entries.end()));
        m_entries = std::move(entries);
    } else {
        m_bJournalLost = true;
    }
    if (m_pSpool)
        std::fclose(m_pSpool);
    m_pSpool = nullptr;
    m_lSpoolEnd = 0;
    m_bSpoolFailed = true;
}

// With m_mtx held: the entries written whole to the temporary file, appended
// to entries; false when they cannot be read back.
bool CSessionRecorder::ReadSpool(std::vector<Entry>& entries)
{
    if (!m_pSpool || m_lSpoolEnd == 0)
        return true;
    std::rewind(m_pSpool);
    bool bOk = true;
    while (bOk && std::ftell(m_pSpool) < m_lSpoolEnd) {
        unsigned long long ullTick = 0;
        size_t nSize = 0;
        bOk = std::fscanf(m_pSpool, "%llu %zu", &ullTick, &nSize) == 2 && std::fgetc(m_pSpool) == '\n';
        if (!bOk)
            break;
        Entry entry{ullTick, std::string(nSize, '\0')};
        bOk = std::fread(entry.sLine.data(), 1, nSize, m_pSpool) == nSize;
        if (bOk)
            entries.push_back(std::move(entry));
    }
    std::fseek(m_pSpool, 0, SEEK_END);
    return bOk;
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
    if (m_entries.size() >= m_nMemoryEntries)
        SpoolEntries();
}

void CSessionRecorder::Begin(uint64_t ullTick)
{
    m_bRecording = true;
    m_ullBegin = ullTick;
}

std::optional<std::string> CSessionRecorder::End(uint64_t ullEndTick, const std::string& sImageName)
{
    m_bRecording = false;
    std::vector<Entry> entries;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_bJournalLost || !ReadSpool(entries))
            return std::nullopt;
        entries.insert(entries.end(), m_entries.begin(), m_entries.end());
    }
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
