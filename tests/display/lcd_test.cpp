// Display memory primitives, drawn into a headless host's display memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "core/bridge.h"
#include "display/lcd.h"
#include "instrument.h"

namespace {

using PixelSet = std::set<std::pair<int, int>>;

class LcdTest : public ::testing::Test {
protected:
    void SetUp() override { LcdInit(); }
    PixelSet DarkPixels() const
    {
        PixelSet pixels;
        for (int y = 0; y < LCD_HEIGHT; y++)
            for (int x = 0; x < LCD_WIDTH; x++)
                if (m_host.Pixel(x, y))
                    pixels.insert({x, y});
        return pixels;
    }
    CInstrument m_host;  // attached as the display, never powered up
};

PixelSet Column(int x, int y0, int y1)
{
    PixelSet p;
    for (int y = y0; y <= y1; y++)
        p.insert({x, y});
    return p;
}

PixelSet Row(int y, int x0, int x1)
{
    PixelSet p;
    for (int x = x0; x <= x1; x++)
        p.insert({x, y});
    return p;
}

PixelSet BoxOutline(int x0, int y0, int w, int h)
{
    PixelSet p = Row(y0, x0, x0 + w - 1);
    p.merge(Row(y0 + h - 1, x0, x0 + w - 1));
    p.merge(Column(x0, y0, y0 + h - 1));
    p.merge(Column(x0 + w - 1, y0, y0 + h - 1));
    return p;
}

}  // namespace

TEST_F(LcdTest, PixelAddressesAndBits)
{
    struct Case {
        uint8_t x, y;
        uint16_t unAddress;
        uint8_t bBit;
    } kCases[] = {{0, 0, 640, 0x80}, {239, 127, 4479, 0x01}, {8, 1, 671, 0x80}, {13, 2, 701, 0x04}};
    for (const Case& c : kCases) {
        EXPECT_EQ(LcdAddress(c.x, c.y), c.unAddress);
        LcdSetPixel(c.x, c.y);
        EXPECT_EQ(m_host.DisplayByte(c.unAddress) & c.bBit, c.bBit);
        EXPECT_TRUE(LcdTestPixel(c.x, c.y));
        LcdClearPixel(c.x, c.y);
        EXPECT_FALSE(LcdTestPixel(c.x, c.y));
    }
    EXPECT_TRUE(DarkPixels().empty());
}

TEST_F(LcdTest, VerticalLineCoversBothEndsAndMovesCursor)
{
    LcdMoveTo(10, 20);
    LcdLine(LINE_SET, 10, 5);
    EXPECT_EQ(DarkPixels(), Column(10, 5, 20));
    EXPECT_EQ(gbCursorX, 10);
    EXPECT_EQ(gbCursorY, 5);
}

TEST_F(LcdTest, DiagonalRequestDrawsHorizontalAtTargetRow)
{
    LcdMoveTo(10, 20);
    LcdLine(LINE_SET, 30, 40);
    EXPECT_EQ(DarkPixels(), Row(40, 10, 30));
}

TEST_F(LcdTest, DottedLineStartsAtLowerEnd)
{
    LcdMoveTo(9, 0);
    LcdLine(LINE_DOTTED, 0, 0);
    EXPECT_EQ(DarkPixels(), (PixelSet{{0, 0}, {2, 0}, {4, 0}, {6, 0}, {8, 0}}));
}

TEST_F(LcdTest, ClearAndInvertModes)
{
    LcdMoveTo(0, 3);
    LcdLine(LINE_SET, 15, 3);
    LcdMoveTo(4, 3);
    LcdLine(LINE_CLEAR, 7, 3);
    PixelSet expected = Row(3, 0, 3);
    expected.merge(Row(3, 8, 15));
    EXPECT_EQ(DarkPixels(), expected);
    LcdMoveTo(0, 3);
    LcdLine(LINE_INVERT, 15, 3);
    EXPECT_EQ(DarkPixels(), Row(3, 4, 7));
    LcdMoveTo(0, 3);
    LcdLine(LINE_DOTTED_INVERT, 7, 3);  // inverts 0, 2, 4, 6
    EXPECT_EQ(DarkPixels(), (PixelSet{{0, 3}, {2, 3}, {5, 3}, {7, 3}}));
}

TEST_F(LcdTest, ModesWithoutDrawingOnlyMoveTheCursor)
{
    for (uint8_t bMode : {0, 6, 200}) {
        LcdMoveTo(1, 1);
        LcdLine(bMode, 50, 60);
        EXPECT_EQ(gbCursorX, 50);
        EXPECT_EQ(gbCursorY, 60);
    }
    EXPECT_TRUE(DarkPixels().empty());
}

TEST_F(LcdTest, BoxOutlineReturnsCursorToCorner)
{
    LcdMoveTo(20, 30);
    LcdBox(LINE_SET, 10, 6);
    EXPECT_EQ(DarkPixels(), BoxOutline(20, 30, 10, 6));
    EXPECT_EQ(gbCursorX, 20);
    EXPECT_EQ(gbCursorY, 30);
}

TEST_F(LcdTest, InvertingBoxKeepsCornersClear)
{
    LcdMoveTo(20, 30);
    LcdBox(LINE_INVERT, 10, 6);
    PixelSet expected = BoxOutline(20, 30, 10, 6);
    for (auto corner : PixelSet{{20, 30}, {29, 30}, {20, 35}, {29, 35}})
        expected.erase(corner);
    EXPECT_EQ(DarkPixels(), expected);
}

TEST_F(LcdTest, SoftKeyFrameClearsBandAndFramesMaskedBoxes)
{
    for (uint16_t a = LCD_GRAPHIC_BASE; a < LCD_GRAPHIC_BASE + LCD_SCREEN_BYTES; a++)
        LcdWriteByte(a, 0xFF);
    LcdSoftKeyFrame(0, 5);
    PixelSet expected = BoxOutline(5, 10, 59, 16);
    expected.merge(BoxOutline(5, 68, 59, 16));
    for (int y = 0; y < LCD_HEIGHT; y++)
        for (int x = 64; x < LCD_WIDTH; x++)
            expected.insert({x, y});
    EXPECT_EQ(DarkPixels(), expected);
    EXPECT_EQ(gbCursorX, 5);
    EXPECT_EQ(gbCursorY, 97);
}

TEST_F(LcdTest, SoftKeyFrameLayoutWidths)
{
    struct Case {
        uint8_t bLayout;
        int nWidth;
    } kCases[] = {{1, 137}, {2, 175}};
    for (const Case& c : kCases) {
        LcdClear();
        LcdSoftKeyFrame(c.bLayout, 8);
        EXPECT_EQ(DarkPixels(), BoxOutline(5, 97, c.nWidth, 16)) << "layout " << int(c.bLayout);
    }
}

TEST_F(LcdTest, InitClearsScreenAndStateButKeepsFont)
{
    gbFont = 2;
    gbInverse = 1;
    gbLineEndX = 9;
    LcdShowImage(std::vector<uint8_t>(LCD_SCREEN_BYTES, 0x5A).data());
    EXPECT_EQ(m_host.DisplayByte(4479), 0x5A);
    LcdInit();
    EXPECT_TRUE(DarkPixels().empty());
    EXPECT_EQ(gbFont, 2);
    EXPECT_EQ(gbInverse, 0);
    EXPECT_EQ(gbLineEndX, 0);
    EXPECT_EQ(gbCursorX, 0);
}

TEST_F(LcdTest, WritesMarkBytesChanged)
{
    m_host.ClearChangedFlags();
    LcdSetPixel(100, 50);
    EXPECT_TRUE(m_host.ByteChanged(LcdAddress(100, 50)));
    EXPECT_FALSE(m_host.ByteChanged(LcdAddress(100, 51)));
}

namespace {

// A host that records every display address it is asked to touch.
class AddressRecordingHost final : public HostBridge {
public:
    void LcdWrite(uint16_t unAddress, uint8_t) override { Note(unAddress); }
    uint8_t LcdRead(uint16_t unAddress) override
    {
        Note(unAddress);
        return 0;
    }
    uint16_t m_unLowest = 0xFFFF;
    uint16_t m_unHighest = 0;

private:
    void Note(uint16_t unAddress)
    {
        m_unLowest = std::min(m_unLowest, unAddress);
        m_unHighest = std::max(m_unHighest, unAddress);
    }
};

}  // namespace

TEST(LcdBoundsTest, DrawingPastTheBottomNeverReachesTheHostOutsideItsMemory)
{
    AddressRecordingHost host;
    FirmwareAttachHost(&host);
    LcdMoveTo(250, 200);
    LcdBox(LINE_SET, 250, 250);  // rows and columns far past the display
    LcdMoveTo(0, 255);
    LcdLine(LINE_INVERT, 255, 255);
    FirmwareAttachHost(nullptr);
    EXPECT_GE(host.m_unLowest, LCD_GRAPHIC_BASE);
    EXPECT_LT(host.m_unHighest, LCD_MEMORY_END);
}
