// The worked screens drawn by display scripts, compared with reviewed
// pictures in tests/golden/text/ (PNG, viewable as they are).
//
// To accept a changed picture after looking at it, run the tests with
// HALDEN_UPDATE_GOLDEN=1: each picture is then rewritten instead of compared.
// On a mismatch the drawn screen is written beside the test as
// golden-actual-NAME.png.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/graph.h"
#include "display/lcd.h"
#include "display/script.h"
#include "display_image.h"
#include "instrument.h"
#include "storage/params.h"
#include "ui/ui.h"

namespace {

const std::string kGoldenDir = std::string(HALDEN_SOURCE_DIR) + "/tests/golden/text/";

// Reads a 240 x 128 picture as dark (true) and light dots.
bool ReadPicture(const std::string& sPath, std::vector<bool>& abDark)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, sPath.c_str()))
        return false;
    image.format = PNG_FORMAT_GRAY;
    if (image.width != LCD_WIDTH || image.height != LCD_HEIGHT) {
        png_image_free(&image);
        return false;
    }
    std::vector<png_byte> abGray(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, abGray.data(), 0, nullptr))
        return false;
    abDark.clear();
    for (png_byte b : abGray)
        abDark.push_back(b < 128);
    return true;
}

class GoldenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LcdInit();
        gbFont = 0;
        gbLanguage = 0;
        gunScreenState = 10;
        gunScreenSubState = 0;
        gunDisplayOption = 0;
        std::memset(gszEditText, 0, sizeof gszEditText);
    }
    void ExpectPicture(const std::string& sName)
    {
        std::string sPath = kGoldenDir + sName + ".png";
        if (std::getenv("HALDEN_UPDATE_GOLDEN")) {
            ASSERT_TRUE(WriteDisplayImage(m_host, sPath)) << sPath;
            return;
        }
        std::vector<bool> abGolden;
        ASSERT_TRUE(ReadPicture(sPath, abGolden)) << "cannot read " << sPath;
        int nDiffering = 0, nFirstX = -1, nFirstY = -1;
        for (int y = 0; y < LCD_HEIGHT; y++)
            for (int x = 0; x < LCD_WIDTH; x++)
                if (m_host.Pixel(x, y) != abGolden[static_cast<size_t>(y * LCD_WIDTH + x)]) {
                    if (nDiffering++ == 0) {
                        nFirstX = x;
                        nFirstY = y;
                    }
                }
        if (nDiffering > 0)
            WriteDisplayImage(m_host, "golden-actual-" + sName + ".png");
        EXPECT_EQ(nDiffering, 0) << sName << ": " << nDiffering << " dots differ, the first at (" << nFirstX << ", "
                                 << nFirstY << "); the drawn screen is golden-actual-" << sName << ".png";
    }
    CInstrument m_host;
};

}  // namespace

TEST_F(GoldenTest, StartupScreen)
{
    DisplayScript("M1 X50Y78S2 X65Y88S3 X87Y105S4");
    ExpectPicture("startup");
}

TEST_F(GoldenTest, MainMenuInEveryLanguage)
{
    const char* const kapszName[] = {"main_menu_en", "main_menu_fr", "main_menu_de", "main_menu_es", "main_menu_it"};
    for (uint8_t bLanguage = 0; bLanguage < 5; bLanguage++) {
        LcdInit();
        gbLanguage = bLanguage;
        DisplayScript("F0A0 K7 X8Y14T5 X8y29T6 X8y29T8");
        ExpectPicture(kapszName[bLanguage]);
    }
}

TEST_F(GoldenTest, RatioFragments)
{
    gunScreenState = 17;
    gnShowI1 = 405;
    gnShowI2 = 540;
    gfShowD1 = 0.523;
    gfShowD3 = 1.847;
    DisplayScript("X76Y36T12 F2 T24 F0 T15 I1 T22 x12T14 F2 T24 F0 T15 D1c1");
    DisplayScript("F1 X92y26T121 y5 F2 I1 T16 I2 y251 F1 T15 D3c1");
    ExpectPicture("ratio_fragments");
}

TEST_F(GoldenTest, NameEditField)
{
    std::strcpy(gszEditText, "HOLMIUM TEST");
    DisplayScript("X130Y30s3");
    ExpectPicture("name_edit");
}

TEST_F(GoldenTest, GraphLabels)
{
    gfShowD7 = 0.0;
    gfShowD8 = 1.5;
    gfShowD20 = 10.0;
    gfShowD21 = 250.0;
    DisplayScript("F2 X65Y98 D7 X65Y40 D8 X85Y111 D20 X200Y111 D21 F0");
    ExpectPicture("graph_labels");
}

// A plot with its axis labels: a two-band trace with a gap, the cursor and the
// zoom box (absorbance axis), and a magnified %T axis over 705..830 nm.
TEST_F(GoldenTest, GraphWithAxisLabels)
{
    GraphReset();
    for (int c = 0; c < GRAPH_COLUMNS; c++) {
        double f = 12 + 70 * std::exp(-(c - 40) * (c - 40) / 60.0) + 35 * std::exp(-(c - 95) * (c - 95) / 150.0);
        GraphSetTracePoint(static_cast<uint8_t>(c), static_cast<uint8_t>(f));
    }
    GraphSetTracePoint(110, GRAPH_NONE_8);
    GraphDraw(GRAPH_ZOOM_BOX);
    GraphMoveCursor(40);
    GraphMoveBoxX(95);
    GraphLabelXAxis(330, 830);
    GraphLabelYAxis(1, 0, 1.0);
    ExpectPicture("graph_scan_absorbance");

    LcdInit();
    GraphReset();
    GraphDraw(GRAPH_CURSOR);
    GraphLabelXAxis(705, 830);
    GraphLabelYAxis(0, 30, 4.0);
    ExpectPicture("graph_axes_zoomed_transmittance");
}
