// The simulated 32 KB serial EEPROM (15-bit addresses, 64-byte write pages)
// on the two-wire bus. It follows the line changes as the chip does: start
// and stop conditions, clock edges, acknowledge bits, the page buffer with
// its roll-over. Its contents persist in a file that holds the raw memory
// image (byte n of the file is address n) and is written through at every
// stop condition that ends a write with data.
//
// File handling: the file is created full of 0xFF when missing or empty. An
// existing file is used only when it is a readable regular file of exactly
// 32768 bytes; anything else is refused untouched (Refused(), with one line
// in StatusMessage() that says why), since it is not an EEPROM image. The
// process that writes the file holds an advisory lock (flock) on it for its
// whole life. When the file is read-only (by its permission bits), is locked
// by another simulator, cannot be created, or a write fails, the contents
// that could be read are kept, changes stay in memory only, and
// StatusMessage() says so in one line. An empty path keeps the store in
// memory only. A snapshot loads the image (or starts blank when there is
// none) and keeps every change in memory: the file is never written,
// created or locked.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "i2c_bus.h"

class CEeprom final : public CI2cDevice {
public:
    static constexpr int MEMORY_SIZE = 32768;
    static constexpr int PAGE_SIZE = 64;

    // Transfer states.
    enum State {
        STATE_IDLE = 0,          // not addressed; clock edges are ignored
        STATE_CONTROL = 1,       // receiving the control byte
        STATE_ADDRESS_HIGH = 2,  // receiving the address high byte
        STATE_ADDRESS_LOW = 3,   // receiving the address low byte
        STATE_WRITE_DATA = 4,    // receiving data into the page buffer
        STATE_READ_DATA = 5,     // sending data
    };

    CEeprom();
    ~CEeprom() override;

    // Attaches to the bus, answers at bDeviceAddress (bit 0 is not
    // compared) and loads the file. False when the file is refused; the
    // memory is then all 0xFF and nothing is written anywhere.
    bool Open(CI2cBus* pBus, uint8_t bDeviceAddress, const std::string& sPath, bool bSnapshot = false);

    void OnSclChanged() override
    {
        if (!TakeSclQuietly())
            ClockEdge();
    }
    void OnSdaChanged() override
    {
        if (!TakeSdaQuietly())
            StartOrStop();
    }
    // The line changes that leave the device's outputs alone, handled inline
    // (true): the clock while idle, a bit clocked into a byte being
    // received and the fall between two such bits, and SDA changing while
    // SCL is low. Anything else is left untouched (false) for ClockEdge or
    // StartOrStop. The bus's owner calls these first (CI2cBus::DriveScl).
    bool TakeSclQuietly()
    {
        if (m_nState == STATE_IDLE)
            return true;
        if (m_nState == STATE_READ_DATA || m_nBitCount >= 8)
            return false;
        if (m_pBus->Scl()) {
            m_bShift = static_cast<uint8_t>((m_bShift << 1) | m_pBus->Sda());
            m_nBitCount++;
            return true;
        }
        // The fall between two bits: SDA stays released.
        return m_nState == STATE_CONTROL || m_nSda == 1;
    }
    bool TakeSdaQuietly() const { return !m_pBus->Scl(); }

    // Memory and engine state, for inspection.
    uint8_t Peek(uint16_t unAddress) const { return m_abMemory[unAddress & (MEMORY_SIZE - 1)]; }
    const std::array<uint8_t, MEMORY_SIZE>& Memory() const { return m_abMemory; }
    uint16_t AddressPointer() const { return m_unAddress; }
    int TransferState() const { return m_nState; }

    // True when changes are not written to the file.
    bool ReadOnly() const { return m_nFile < 0; }
    // True when the file was opened as a snapshot.
    bool Snapshot() const { return m_bSnapshot; }
    // True when the file is not an EEPROM image and was left alone.
    bool Refused() const { return m_bRefused; }
    // Why changes are not saved, in one line; empty while the file is written.
    const std::string& StatusMessage() const { return m_sStatus; }
    // Called (on the thread that drives the bus) when a write failure makes
    // the file read-only after Open.
    void SetStatusListener(std::function<void(const std::string&)> fnListener)
    {
        m_fnListener = std::move(fnListener);
    }

private:
    void ClockEdge();
    void StartOrStop();
    void CommitPage();
    void ReadFile(int nFile);
    bool CheckImage(int nFile);
    bool CreateImage();
    void Refuse(const std::string& sWhy);
    void GoReadOnly(const std::string& sWhy);

    int m_nFile = -1;                 // descriptor of the locked file, -1 when not written
    std::string m_sPath;              // the file's path as given
    std::string m_sStatus;            // why changes are not saved, empty when they are
    bool m_bRefused = false;          // the file is not an EEPROM image and is not used
    bool m_bSnapshot = false;         // changes are kept in memory by request
    std::function<void(const std::string&)> m_fnListener;
    uint8_t m_bDeviceAddress = 0xA0;  // control byte the device answers, bit 0 ignored
    uint16_t m_unAddress = 0;         // next memory address, 0..32767
    int m_nState = STATE_IDLE;        // transfer state, STATE_*
    uint8_t m_bShift = 0;             // bits shifted in or out, most significant first
    int m_nBitCount = 0;              // clock pulses in the current byte, 0..8
    std::array<uint8_t, MEMORY_SIZE> m_abMemory{};  // the contents
    std::array<uint8_t, PAGE_SIZE> m_abPage{};      // data of the current write, by address mod 64
    uint16_t m_unPageStart = 0;       // address at which the current write's data began
    int m_nPageCount = 0;             // bytes held in the page buffer, 0..64
};
