// Screen hardcopy: the printer byte streams of known pictures, byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "comms/hardcopy.h"
#include "core/serial.h"
#include "display/lcd.h"
#include "instrument.h"
#include "storage/params.h"

namespace {

// The framing of a blank picture: PR2 bands ESC K 0 1, 256 zero bytes,
// CR ESC J 16; other devices a line ESC 0x01 and 40 zero bytes per column.
std::string BlankStream(uint8_t bDevice)
{
    std::string s;
    if (bDevice == 1) {
        for (int nBand = 0; nBand < 44; nBand++)
            s += std::string("\x1B\x4B\x00\x01", 4) + std::string(256, '\0') + std::string("\x0D\x1B\x4A\x10", 4);
    } else {
        for (int nColumn = 65; nColumn <= 238; nColumn++)
            s += std::string("\x1B\x01", 2) + std::string(40, '\0');
    }
    return s;
}

struct HardcopyCase {
    uint8_t bDevice;
    std::vector<std::pair<int, int>> aPixels;     // dark pixels (x, y)
    std::vector<std::pair<size_t, int>> aImage;  // image bytes that are not 0: offset, value
};

TEST(HardcopyTest, KnownPicturesGiveTheirBytes)
{
    const HardcopyCase acases[] = {
        {1, {}, {}},
        // First column of the first band, bottom row first: the top two bits, sent twice.
        {1, {{65, 127}}, {{4, 0xC0}, {5, 0xC0}}},
        // Fourth column of band 0, second row down the band.
        {1, {{68, 126}}, {{6, 0x03}, {7, 0x03}}},
        // Row 0 is the last pair of a band; band 1 starts at byte 264.
        {1, {{69, 0}}, {{264 + 4 + 254, 0xC0}, {264 + 4 + 255, 0xC0}}},
        // The last band covers 237..240: column 238 prints, 239 and 240 stay blank.
        {1, {{238, 0}, {239, 0}}, {{43 * 264 + 258, 0x30}, {43 * 264 + 259, 0x30}}},
        // Column 64 is left of the printed area.
        {1, {{64, 127}}, {}},
        // One line per column: rows 127, 126, 125 in the first byte, highest row first.
        {0, {{100, 127}}, {{35 * 42 + 2, 0x30}}},
        {0, {{70, 126}, {70, 127}}, {{5 * 42 + 2, 0x3C}}},
        {0, {{65, 8}}, {{41, 0x03}}},  // rows 10, 9, 8: the last byte of the line
        {0, {{238, 125}}, {{173 * 42 + 2, 0x03}}},
        // Rows 0..7 are not printed in this format.
        {0, {{100, 5}, {100, 7}}, {}},
        // "PC" prints in the same column format as "PR1".
        {2, {{100, 127}}, {{35 * 42 + 2, 0x30}}},
    };
    for (const HardcopyCase& c : acases) {
        CInstrument host;
        SerialInit();
        LcdClear();
        for (auto [x, y] : c.aPixels)
            LcdSetPixel(static_cast<uint8_t>(x), static_cast<uint8_t>(y));
        gbOutputDevice = c.bDevice;
        host.ClearSerialText();
        LcdPrintScreen();

        std::string sExpected = BlankStream(c.bDevice);
        for (auto [nOffset, nValue] : c.aImage)
            sExpected[nOffset] = static_cast<char>(nValue);
        const std::string& sSent = host.SerialText();
        ASSERT_EQ(sSent.size(), c.bDevice == 1 ? 11616u : 7308u) << "device " << int(c.bDevice);
        for (size_t i = 0; i < sSent.size(); i++)
            ASSERT_EQ(static_cast<uint8_t>(sSent[i]), static_cast<uint8_t>(sExpected[i]))
                << "byte " << i << ", device " << int(c.bDevice) << ", first pixel "
                << (c.aPixels.empty() ? -1 : c.aPixels[0].first);
    }
}

}  // namespace
