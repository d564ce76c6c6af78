// The analogue-output log: trace bytes in, "MS VALUE" lines out on change.
#include "analogue_log.h"

CAnalogueLog::~CAnalogueLog() { Close(); }

bool CAnalogueLog::Open(const std::string& sPath)
{
    m_pFile = std::fopen(sPath.c_str(), "w");
    if (!m_pFile)
        return false;
    std::fputs("# halden analogue output: ms value\n", m_pFile);
    return true;
}

void CAnalogueLog::Close()
{
    if (!m_pFile)
        return;
    if (m_llLast >= 0 && m_ullTick > 0 && m_ullLastTick != m_ullTick - 1)
        std::fprintf(m_pFile, "%llu %lld\n", static_cast<unsigned long long>(m_ullTick - 1),
                     static_cast<long long>(m_llLast));
    std::fclose(m_pFile);
    m_pFile = nullptr;
}

void CAnalogueLog::Write(uint8_t b)
{
    if (b >= '0' && b <= '9') {
        m_unDigits = m_unDigits * 10 + static_cast<uint32_t>(b - '0');
        return;
    }
    if (b != '\n')
        return;
    if (m_pFile && static_cast<int64_t>(m_unDigits) != m_llLast) {
        std::fprintf(m_pFile, "%llu %u\n", static_cast<unsigned long long>(m_ullTick), m_unDigits);
        m_llLast = m_unDigits;
        m_ullLastTick = m_ullTick;
    }
    m_unDigits = 0;
    m_ullTick++;
}
