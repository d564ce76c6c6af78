// The scenario command "script": a display script on the live display of a
// running firmware.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "display/font.h"
#include "display/lcd.h"
#include "scenario.h"
#include "support/firmware_fixture.h"

namespace {

class ScriptScenarioTest : public CoreFirmwareTest {};

}  // namespace

TEST_F(ScriptScenarioTest, DrawsOnTheLiveDisplayBetweenSlices)
{
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    uint32_t unRefreshes = Host().RefreshCount();
    ASSERT_TRUE(scenario.RunLine(R"(script "C X0Y0 T274 F1 X0Y20 T121 F0 X0Y40 T12")")) << scenario.Error();
    EXPECT_EQ(Host().RefreshCount(), unRefreshes + 1);
    ASSERT_TRUE(scenario.RunLine("wait 200ms")) << scenario.Error();

    // The same texts drawn directly, for comparison, on a second run.
    std::vector<bool> abScript;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 60; x++)
            abScript.push_back(Host().Pixel(x, y));
    ASSERT_TRUE(scenario.RunLine(R"(script C)")) << scenario.Error();
    EXPECT_FALSE(Host().Pixel(1, 1) || Host().Pixel(3, 25));
    LcdMoveTo(0, 0);
    LcdPutString("English");
    gbFont = FONT_LARGE;
    LcdMoveTo(0, 20);
    LcdPutString("A");
    gbFont = FONT_SMALL;
    LcdMoveTo(0, 40);
    LcdPutString("\x80");
    std::vector<bool> abDirect;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 60; x++)
            abDirect.push_back(Host().Pixel(x, y));
    EXPECT_EQ(abScript, abDirect);
    EXPECT_NE(std::count(abScript.begin(), abScript.end(), true), 0);
}

TEST_F(ScriptScenarioTest, RejectsMalformedText)
{
    Host().PowerUp();
    std::ostringstream out;
    CScenario scenario(Host(), out);
    EXPECT_FALSE(scenario.RunLine(R"(script "X0Y0T5)"));
    EXPECT_EQ(scenario.Error(), "column 8: the quoted text has no closing '\"'");
    EXPECT_FALSE(scenario.RunLine(R"(script "T5" within 2s)"));
    EXPECT_EQ(scenario.Error(), "column 13: extra argument 'within'; usage: script TEXT");
}
