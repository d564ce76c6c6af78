// Fuzzes the display-script interpreter: arbitrary script text drawn with
// arbitrary register values. The display memory it may touch is 640..5759;
// any access outside it, and any read past the end of the text (the text
// sits at the very end of its own allocation), stops the run.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/bridge.h"
#include "display/font.h"
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
    return 0;
}
