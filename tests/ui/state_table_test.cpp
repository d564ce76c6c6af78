// The state table: the per-state flags against the instrument's lists of
// measuring, PC-refusing, arrow-repeating and overlay screens, and the
// names tools use for the states.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "ui/ui.h"
#include "ui/ui_internal.h"

namespace {

std::set<int> Range(int nFirst, int nLast)
{
    std::set<int> s;
    for (int i = nFirst; i <= nLast; i++)
        s.insert(i);
    return s;
}

std::set<int> Join(std::initializer_list<std::set<int>> sets)
{
    std::set<int> s;
    for (const auto& part : sets)
        s.insert(part.begin(), part.end());
    return s;
}

std::set<int> StatesWith(bool (*pfnHas)(uint8_t))
{
    std::set<int> s;
    for (int i = 0; i < 256; i++)
        if (pfnHas(static_cast<uint8_t>(i)))
            s.insert(i);
    return s;
}

bool IsOverlay(uint8_t b) { return b < STATE_COUNT && (gScreenStates[b].unFlags & FLAG_OVERLAY); }
bool HasHintLine(uint8_t b) { return b < STATE_COUNT && !(gScreenStates[b].unFlags & FLAG_NO_HINT_LINE); }

TEST(StateTable, FlagsAreTheInstrumentsLists)
{
    EXPECT_EQ(StatesWith(StateIsMeasuring), (std::set<int>{15, 17, 20, 22, 26, 43}));
    EXPECT_EQ(StatesWith(StateRefusesPcControl),
              Join({Range(0, 10), {16, 18, 19, 21, 23}, Range(43, 55), {69}, Range(71, 75), {79, 85}}));
    EXPECT_EQ(StatesWith(StateArrowsRepeat),
              (std::set<int>{16, 18, 19, 21, 22, 23, 24, 28, 29, 35, 36, 40, 41, 42, 62, 63, 64, 65, 66, 69, 72}));
    EXPECT_EQ(StatesWith(IsOverlay),
              Join({Range(2, 10), {16, 18, 19, 28, 29, 31, 33, 38, 40, 41, 42, 46, 50, 51, 52, 53},
                    Range(63, 68), {92, 93}, Range(102, 105), Range(108, 111), Range(114, 117), Range(120, 123),
                    {125, 126, 128, 129}}));
    // Self-test, splash, standby and PC Control have no hint line; nor have
    // the calibration and kinetics graphs, whose axis labels take the bottom rows.
    std::set<int> noHints = Join({Range(0, 10), {47, 55, 85, 127}, Range(132, 255)});
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(HasHintLine(static_cast<uint8_t>(i)), noHints.count(i) == 0) << "state " << i;
}

TEST(StateTable, OverlaysNameTheScreenTheyAreDrawnOver)
{
    struct Parent {
        std::set<int> overlays;
        int nParent;
    };
    const Parent aParents[] = {
        {{2, 5, 6, 7, 8, 9, 10}, 1},  {{16}, 15}, {{18, 19}, 17}, {{28, 29, 31, 33, 38, 40, 41, 42}, 27},
        {{46}, 45}, {Range(50, 53), 49}, {Range(63, 66), 62}, {{67}, 25}, {{68}, 26}, {{92, 93}, 83},
        // The protein program screens: the choosers and the factor over the
        // program, the dilution over the assay's run screen.
        {Range(102, 104), 100}, {{105}, 97}, {Range(108, 110), 106}, {{111}, 96},
        {Range(114, 116), 112}, {{117}, 98}, {Range(120, 122), 118}, {{123}, 99},
        {{125, 126, 128, 129}, 124},
    };
    std::set<int> withParent;
    for (const Parent& p : aParents)
        for (int b : p.overlays) {
            EXPECT_EQ(gScreenStates[b].bOverlayParent, p.nParent) << "state " << b;
            withParent.insert(b);
        }
    for (int b = 0; b < STATE_COUNT; b++) {
        if (!withParent.count(b)) {
            EXPECT_EQ(gScreenStates[b].bOverlayParent, STATE_NEVER_DRAWN) << "state " << b;
        }
    }
}

TEST(StateTable, NamesAreShortLowerCaseAndFindTheirStateBothWays)
{
    std::set<std::string> seen;
    for (int i = 0; i <= STATE_PC_CONTROL_WAITING; i++) {
        const char* pszName = StateName(static_cast<uint8_t>(i));
        ASSERT_NE(pszName, nullptr) << "state " << i;
        std::string name = pszName;
        EXPECT_TRUE(seen.insert(name).second) << "name used twice: " << name;
        ASSERT_FALSE(name.empty());
        EXPECT_LE(name.size(), 26u) << name;
        EXPECT_TRUE(std::islower(static_cast<unsigned char>(name.front())) && name.back() != '-') << name;
        for (char c : name)
            EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) ||
                        c == '-')
                << name;
        EXPECT_EQ(StateByName(pszName), i) << name;
    }
    struct Known {
        const char* pszName;
        int nState;
    };
    for (Known k : {Known{"splash", 0}, Known{"main-menu", 11}, Known{"single-measure", 15}, Known{"scan", 22},
                    Known{"scan-zoomed", 24}, Known{"standards-table", 49}, Known{"standby", 85},
                    Known{"pc-control", 132}, Known{"pc-control-waiting", 133}})
        EXPECT_EQ(StateByName(k.pszName), k.nState) << k.pszName;
    EXPECT_EQ(StateName(STATE_NEVER_DRAWN), nullptr);
    EXPECT_EQ(StateName(255), nullptr);
    for (const char* psz : {"", "Main-Menu", "main-menu ", "main", "15", "pc-control-"})
        EXPECT_EQ(StateByName(psz), -1) << '"' << psz << '"';
    EXPECT_EQ(StateByName(nullptr), -1);
}

}  // namespace
