// The display memory as the host keeps it: bytes 640..5759 written by the
// firmware, of which 640..4479 are the visible 240 x 128 screen, 30 bytes a
// row, the leftmost pixel in the most significant bit, a 1 bit dark. Each
// byte carries a changed flag, set by a write and cleared by the host.
//
// The firmware thread writes and the host's drawing reads without a lock;
// every byte is a relaxed atomic, so a picture may show a screen half drawn,
// which the next refresh corrects.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

class CDisplayMemory {
public:
    static constexpr uint16_t BASE = 640;
    static constexpr uint16_t SIZE = 5120;  // addresses BASE .. BASE + SIZE - 1
    static constexpr int WIDTH = 240;       // pixels
    static constexpr int HEIGHT = 128;
    static constexpr int ROW_BYTES = WIDTH / 8;
    static constexpr int SHOWN_BYTES = ROW_BYTES * HEIGHT;

    // Writes and reads outside the memory are ignored (read as 0).
    void Write(uint16_t unAddress, uint8_t bValue)
    {
        if (!Inside(unAddress))
            return;
        m_abData[unAddress - BASE].store(bValue, std::memory_order_relaxed);
        m_abChanged[unAddress - BASE].store(1, std::memory_order_relaxed);
    }
    uint8_t Read(uint16_t unAddress) const
    {
        return Inside(unAddress) ? m_abData[unAddress - BASE].load(std::memory_order_relaxed) : 0;
    }
    bool Changed(uint16_t unAddress) const
    {
        return Inside(unAddress) && m_abChanged[unAddress - BASE].load(std::memory_order_relaxed) != 0;
    }
    void ClearChanged()
    {
        for (auto& b : m_abChanged)
            b.store(0, std::memory_order_relaxed);
    }
    // The byte holding pixel row y, bytes 0..29 from the left.
    static constexpr uint16_t RowAddress(int y, int nByte) { return static_cast<uint16_t>(BASE + ROW_BYTES * y + nByte); }
    uint8_t ShownByte(int y, int nByte) const { return Read(RowAddress(y, nByte)); }
    bool Pixel(int x, int y) const
    {
        if (x < 0 || x >= WIDTH || y < 0 || y >= HEIGHT)
            return false;
        return (ShownByte(y, x / 8) & (0x80 >> (x % 8))) != 0;
    }

private:
    static bool Inside(uint16_t unAddress) { return unAddress >= BASE && unAddress < BASE + SIZE; }

    std::array<std::atomic<uint8_t>, SIZE> m_abData{};
    std::array<std::atomic<uint8_t>, SIZE> m_abChanged{};
};
