// Fuzzes the display-script interpreter: arbitrary script text drawn with
// arbitrary register values. The display memory it may touch is 640..5759;
// any access outside it, and any read past the end of the text (the text
// sits at the very end of its own allocation), stops the run.
//
// Whatever state the script leaves, a probe script then checks what the
// commands establish: spaces ("c") fill whole opaque cells of the font's
// size (clear, or set in inverse video) and move the cursor one cell width
// each (6, 9 or 5 dots), leaving its row; a language text ("T") moves the
// cursor by the widths of the characters the font has.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/bridge.h"
#include "display/font.h"
#include "display/language.h"
#include "display/lcd.h"
#include "display/script.h"
#include "storage/params.h"
#include "ui/ui.h"

namespace {

constexpr uint16_t FIRST_ADDRESS = 640;
constexpr uint16_t LAST_ADDRESS = 5759;

// A display and nothing else: every other host operation is inert.
class CDisplayOnlyHost final : public HostBridge {
public:
    void LcdWrite(uint16_t unAddress, uint8_t bValue) override
    {
        if (unAddress < FIRST_ADDRESS || unAddress > LAST_ADDRESS)
            __builtin_trap();
        m_abMemory[unAddress - FIRST_ADDRESS] = bValue;
    }
    bool Pixel(int x, int y) const
    {
        return (m_abMemory[LCD_GRAPHIC_BASE - FIRST_ADDRESS + LCD_BYTES_PER_ROW * y + x / 8] & (0x80 >> (x % 8))) != 0;
    }
    uint8_t LcdRead(uint16_t unAddress) override
    {
        if (unAddress < FIRST_ADDRESS || unAddress > LAST_ADDRESS)
            __builtin_trap();
        return m_abMemory[unAddress - FIRST_ADDRESS];
    }

private:
    uint8_t m_abMemory[LAST_ADDRESS - FIRST_ADDRESS + 1] = {};
};

CDisplayOnlyHost gHost;

// Cell width and height of each font, and whether it has a character.
constexpr int kanCellWidth[3] = {6, 9, 5};
constexpr int kanCellHeight[3] = {8, 14, 5};

bool FontHas(int nFont, unsigned char c)
{
    if (nFont == FONT_SMALL)
        return c >= 0x20 && c <= 0x99;
    if (nFont == FONT_LARGE)
        return c >= 0x20 && c <= 0x96;
    return c != '\0' && std::strchr("0123456789.n/- ", c) != nullptr;
}

void Check(bool bHolds)
{
    if (!bHolds)
        __builtin_trap();
}

// The probe, its settings taken from a hash of the whole input.
void Probe(const uint8_t* pbData, size_t nSize)
{
    uint32_t unHash = 2166136261u;
    for (size_t i = 0; i < nSize; i++)
        unHash = (unHash ^ pbData[i]) * 16777619u;
    const int nFont = static_cast<int>(unHash % 3);
    const int nInverse = static_cast<int>((unHash >> 2) & 1);
    const int nCount = 1 + static_cast<int>((unHash >> 3) % 5);
    const int nWidth = kanCellWidth[nFont] * nCount;
    const int x = static_cast<int>((unHash >> 6) % (LCD_WIDTH - nWidth + 1));
    const int y = static_cast<int>((unHash >> 14) % LCD_HEIGHT);
    const int nText = static_cast<int>((unHash >> 22) % LANGUAGE_TEXT_COUNT);

    char szProbe[64];
    std::snprintf(szProbe, sizeof szProbe, "A%dF%dX%dY%dc%d", nInverse, nFont, x, y, nCount);
    DisplayScript(szProbe);
    Check(gbCursorX == x + nWidth && gbCursorY == y);
    // Digits of font 2 sit 5 rows below the cursor row.
    const int nTop = nFont == FONT_DIGITS ? y + 5 : y;
    for (int r = nTop; r < nTop + kanCellHeight[nFont] && r < LCD_HEIGHT; r++)
        for (int c = x; c < x + nWidth; c++)
            Check(gHost.Pixel(c, r) == (nInverse == 1));

    std::snprintf(szProbe, sizeof szProbe, "A0F%dX0Y%dT%d", nFont, y, nText);
    DisplayScript(szProbe);
    int nAdvance = 0;
    for (const char* p = LanguageText(static_cast<uint16_t>(nText)); *p != '\0'; p++)
        nAdvance += FontHas(nFont, static_cast<unsigned char>(*p)) ? kanCellWidth[nFont] : 0;
    Check(gbCursorX == (nAdvance & 0xFF) && gbCursorY == y);
}

// Takes register values from the front of the input while it lasts.
class CReader {
public:
    CReader(const uint8_t* pbData, size_t nSize) : m_pbData(pbData), m_nSize(nSize) {}
    template <typename T>
    void Take(T* pValue)
    {
        if (m_nSize < sizeof(T))
            return;
        std::memcpy(pValue, m_pbData, sizeof(T));
        m_pbData += sizeof(T);
        m_nSize -= sizeof(T);
    }
    uint8_t Byte()
    {
        uint8_t b = 0;
        Take(&b);
        return b;
    }
    const uint8_t* Data() const { return m_pbData; }
    size_t Size() const { return m_nSize; }

private:
    const uint8_t* m_pbData;
    size_t m_nSize;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    FirmwareAttachHost(&gHost);
    LcdInit();
    CReader reader(pbData, nSize);
    // The settings a script consults stay inside their stored ranges, as
    // the parameter store keeps them; the registers are anything at all.
    gbLanguage = reader.Byte() % 5;
    gbFont = reader.Byte() % 3;
    gunScreenState = reader.Byte() % 133;
    gunScreenSubState = reader.Byte() % 10;
    gunDisplayOption = reader.Byte() % 6;
    for (double* pf : {&gfShowD1, &gfShowD2, &gfShowD3, &gfShowD4, &gfShowD5, &gfShowD6, &gfShowD7, &gfShowD8,
                       &gfShowD9, &gfShowD20, &gfShowD21, &gfShowD22, &gfShowD23, &gfShowD24, &gfShowD31,
                       &gfShowD40, &gfShowD60, &gfShowI59})
        reader.Take(pf);
    for (int32_t* pn : {&gnShowI0, &gnShowI1, &gnShowI2, &gnShowI3, &gnShowI4, &gnShowI5, &gnShowI6, &gnShowI7,
                        &gnShowI8, &gnShowI9, &gnShowI10, &gnShowI11, &gnShowI12, &gnShowI50, &gnShowI52,
                        &gnShowI53, &gnShowI55, &gnShowI56, &gnShowI58, &gnShowI61, &gnShowI62, &gnShowI63,
                        &gnShowI70})
        reader.Take(pn);
    for (uint8_t* pb : {&gnShowI51, &gnShowI54, &gnShowI57, &gnShowI60})
        reader.Take(pb);

    // The text ends with its NUL at the end of its own block, so ASan sees
    // any read past it.
    std::vector<char> acText(reader.Data(), reader.Data() + reader.Size());
    acText.push_back('\0');
    DisplayScript(acText.data());
    Probe(pbData, nSize);
    return 0;
}
