// Screen hardcopy: the display read pixel by pixel into printer bit images.
#include "comms/hardcopy.h"

#include "core/serial.h"
#include "display/lcd.h"
#include "storage/params.h"

namespace {

constexpr uint8_t kabBandStart[4] = {0x1B, 'K', 0x00, 0x01};  // ESC K: bit image of 256 columns
constexpr uint8_t kabBandEnd[4] = {0x0D, 0x1B, 'J', 0x10};      // CR, ESC J: feed 16 steps
constexpr uint8_t kabColumnStart[2] = {0x1B, 0x01};             // one printer line of 6-dot bytes

// Two printer dots for a display pixel: the two low bits after a shift.
uint8_t AddPixel(uint8_t bImage, int x, int y)
{
    bImage = static_cast<uint8_t>(bImage << 2);
    if (x < LCD_WIDTH - 1 && LcdTestPixel(static_cast<uint8_t>(x), static_cast<uint8_t>(y)))
        bImage |= 0x03;
    return bImage;
}

// Bands of four display columns, each display row a byte printed twice.
void PrintBands()
{
    for (int nBand = 0; nBand < HARDCOPY_BANDS; nBand++) {
        int nFirst = HARDCOPY_FIRST_COLUMN + 4 * nBand;
        for (uint8_t b : kabBandStart)
            SerialPutCharReport(b);
        for (int y = LCD_HEIGHT - 1; y >= 0; y--) {
            uint8_t bImage = 0;
            for (int x = nFirst; x < nFirst + 4; x++)
                bImage = AddPixel(bImage, x, y);
            SerialPutCharReport(bImage);
            SerialPutCharReport(bImage);
        }
        for (uint8_t b : kabBandEnd)
            SerialPutCharReport(b);
    }
}

// One printer line per display column, three rows to a byte, rows 127 down to 8.
void PrintColumns()
{
    for (int x = HARDCOPY_FIRST_COLUMN; x <= HARDCOPY_LAST_COLUMN; x++) {
        for (uint8_t b : kabColumnStart)
            SerialPutCharReport(b);
        for (int nTop = LCD_HEIGHT - 1; nTop >= 10; nTop -= 3) {
            uint8_t bImage = 0;
            for (int y = nTop; y > nTop - 3; y--)
                bImage = AddPixel(bImage, x, y);
            SerialPutCharReport(bImage);
        }
    }
}

}  // namespace

void LcdPrintScreen()
{
    if (gbOutputDevice == 1)
        PrintBands();
    else
        PrintColumns();
}
