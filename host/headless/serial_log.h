// --serial-log: a file that records the serial line.
//
// Transmitted mode writes the bytes the instrument transmits, raw. Both mode
// writes both directions as text, one line per direction and line of the
// protocol: "-> " before what the PC sent, "<- " before what the instrument
// transmitted, the bytes escaped as in a scenario's TEXT ("\r\n", "\x14").
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "instrument.h"

class CSerialLog final : public CInstrument::SerialTap {
public:
    enum class Mode { Transmitted, Both };

    CSerialLog() = default;
    ~CSerialLog() override;
    CSerialLog(const CSerialLog&) = delete;
    CSerialLog& operator=(const CSerialLog&) = delete;

    bool Open(const std::string& sPath, Mode mode);
    // Writes out a line still open and closes the file; false on a write error.
    bool Close();

    void Transmitted(uint8_t b) override;
    void Received(std::string_view sBytes) override;

private:
    enum class Direction { None, ToInstrument, FromInstrument };
    void Add(Direction direction, std::string_view sBytes);
    void EndLine();

    std::FILE* m_pFile = nullptr;
    Mode m_mode = Mode::Transmitted;
    Direction m_direction = Direction::None;  // of the open line
    std::string m_sLine;                      // bytes of the open line, not yet escaped
};
