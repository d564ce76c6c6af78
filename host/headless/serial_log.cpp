// The serial line recorded to a file, raw or both directions marked.
#include "serial_log.h"

#include "escape.h"

CSerialLog::~CSerialLog() { Close(); }

bool CSerialLog::Open(const std::string& sPath, Mode mode)
{
    Close();
    m_pFile = std::fopen(sPath.c_str(), "wb");
    m_mode = mode;
    return m_pFile != nullptr;
}

bool CSerialLog::Close()
{
    if (!m_pFile)
        return true;
    EndLine();
    bool bOk = std::fclose(m_pFile) == 0;
    m_pFile = nullptr;
    return bOk;
}

void CSerialLog::Transmitted(uint8_t b)
{
    if (!m_pFile)
        return;
    if (m_mode == Mode::Transmitted) {
        std::fputc(b, m_pFile);
        if (b == '\n')
            std::fflush(m_pFile);
        return;
    }
    char c = static_cast<char>(b);
    Add(Direction::FromInstrument, std::string_view(&c, 1));
}

void CSerialLog::Received(std::string_view sBytes)
{
    if (m_pFile && m_mode == Mode::Both)
        Add(Direction::ToInstrument, sBytes);
}

// A line of the log ends where the direction changes and after every LF.
void CSerialLog::Add(Direction direction, std::string_view sBytes)
{
    for (char c : sBytes) {
        if (direction != m_direction)
            EndLine();
        m_direction = direction;
        m_sLine += c;
        if (c == '\n')
            EndLine();
    }
}

void CSerialLog::EndLine()
{
    if (m_mode == Mode::Transmitted) {
        std::fflush(m_pFile);
        return;
    }
    if (m_direction != Direction::None) {
        std::string sText = (m_direction == Direction::ToInstrument ? "-> " : "<- ") + EncodeEscapes(m_sLine) + "\n";
        std::fwrite(sText.data(), 1, sText.size(), m_pFile);
        std::fflush(m_pFile);
    }
    m_direction = Direction::None;
    m_sLine.clear();
}
