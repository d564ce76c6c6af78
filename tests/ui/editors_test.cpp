// Values and editors reached from the menus: wavelength steps, the ratio,
// sample number, date validation, method-list paging and the serial screen.
#include <cmath>
#include <cstring>
#include <fstream>

#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

struct StepCase {
    uint16_t unFrom;
    int nDirection;
    uint8_t bFastBefore;
    uint16_t unTo;
    uint8_t bFastAfter;
};

TEST(WavelengthStep, SlowAndFastStepsStayWithinTheRange)
{
    const StepCase aCases[] = {
        {600, +1, 0, 601, 0}, {600, -1, 0, 599, 0},   // a press: 1 nm
        {600, +1, 1, 610, 2}, {600, -1, 1, 590, 2},   // first fast repeat: 10 nm
        {600, +1, 2, 600, 3}, {600, +1, 6, 600, 7},   // then six events without change
        {600, +1, 7, 600, 1},                         // and the next 10-nm step is armed
        {825, +1, 1, 826, 0}, {335, -1, 1, 334, 0},   // a 10-nm step past the limit nets 1 nm
        {830, +1, 0, 830, 0}, {830, +1, 1, 830, 1},   // Up at 830 and Down at 330 are ignored
        {330, -1, 0, 330, 0},
    };
    for (const StepCase& c : aCases) {
        gbFastRepeat = c.bFastBefore;
        EXPECT_EQ(StepWavelength(c.unFrom, c.nDirection), c.unTo) << c.unFrom << " fast " << int(c.bFastBefore);
        EXPECT_EQ(gbFastRepeat, c.bFastAfter) << c.unFrom << " fast " << int(c.bFastBefore);
    }
}

TEST(RatioScreen, RatioOfRoundedAbsorbances)
{
    EXPECT_DOUBLE_EQ(RatioOfAbsorbances(0.5, 0.25), 2.0);
    EXPECT_DOUBLE_EQ(RatioOfAbsorbances(0.0004, 0.3), 0.0) << "A1 rounds to 0.000";
    EXPECT_DOUBLE_EQ(RatioOfAbsorbances(0.3, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(RatioOfAbsorbances(NO_VALUE, 0.0), NO_VALUE) << "out of range whatever A2 is";
    EXPECT_DOUBLE_EQ(RatioOfAbsorbances(0.3, NO_VALUE), NO_VALUE);
    EXPECT_NEAR(RatioOfAbsorbances(0.1234, 0.2346), 0.123 / 0.235, 1e-12);
}

TEST_F(UiTest, HeldUpKeyOnSingleWavelengthSpeedsUpAndStopsAt830)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT1, 76}, {KEY_SOFT1, 15}, {KEY_SOFT2, 16}});
    uint16_t unStored = gunWavelength;
    Press(KEY_UP);
    EXPECT_EQ(gunWavelength, unStored + 1);
    Host().SetKey(KEY_UP, true);
    Host().AdvanceMs(30000);
    Host().SetKey(KEY_UP, false);
    Host().Tick(2);
    EXPECT_EQ(gunWavelength, 830);
    // Escape restores the stored wavelength; Accept stores the edited one.
    Walk({{KEY_ESCAPE, 15}});
    EXPECT_EQ(gunWavelength, unStored);
    Walk({{KEY_SOFT2, 16}, {KEY_DOWN, 16}, {KEY_DOWN, 16}, {KEY_SOFT2, 15}});
    EXPECT_EQ(gunWavelength, unStored - 2);
}

TEST_F(UiTest, SampleNumberWrapsAndEscapeRestoresIt)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT2, 94}, {KEY_SOFT1, 77}, {KEY_SOFT4, 69}});
    uint8_t bOnEntry = gunSampleNumber;
    SetSampleNumber(99);
    Press(KEY_UP);
    EXPECT_EQ(gunSampleNumber, 0);
    Press(KEY_DOWN);
    EXPECT_EQ(gunSampleNumber, 99);
    Walk({{KEY_ESCAPE, 77}});
    EXPECT_EQ(gunSampleNumber, bOnEntry);
}

TEST_F(UiTest, DateEditorRefusesImpossibleDates)
{
    struct DateCase {
        uint8_t bDay, bMonth, bYear;
        bool bValid;
    };
    const DateCase aCases[] = {
        {29, 2, 24, true}, {29, 2, 25, false}, {31, 4, 26, false}, {0, 5, 26, false}, {31, 12, 99, true},
    };
    PowerUpToMainMenu();
    for (const DateCase& c : aCases) {
        Walk({{KEY_SOFT3, 14}, {KEY_SOFT3, 62}});
        gabEditDate[2] = c.bDay;
        gabEditDate[3] = c.bMonth;
        gabEditDate[4] = c.bYear;
        Press(KEY_SOFT4);
        EXPECT_EQ(gunScreenState, c.bValid ? 14 : 64) << int(c.bDay) << "/" << int(c.bMonth) << "/" << int(c.bYear);
        if (!c.bValid)
            Walk({{KEY_ESCAPE, 14}});
        Walk({{KEY_ESCAPE, 11}});
    }
}

TEST_F(UiTest, MethodListPagesWrapRowsOnTheLastPage)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT3, 25}});
    SetMethodListRow(6);
    for (int i = 0; i < 12; i++)
        Press(KEY_SOFT3);
    EXPECT_EQ(gunMethodListPage, 96);
    EXPECT_EQ(gunMethodListRow, 0) << "row 6 does not exist on the last page";
    EXPECT_EQ(gbMethodListRows, 4);
    Press(KEY_UP);
    EXPECT_EQ(gunMethodListRow, 3);
    Press(KEY_DOWN);
    EXPECT_EQ(gunMethodListRow, 0);
    Press(KEY_SOFT2);
    EXPECT_EQ(gunMethodListPage, 88);
    // A free slot lists as thirteen X.
    EXPECT_STREQ(gaszMethodNames[0], "XXXXXXXXXXXXX");
    Walk({{KEY_SOFT4, 26}});
    EXPECT_EQ(gunCurrentMethod, 88);
    EXPECT_EQ(gMethod.unWavelength, 550u) << "an empty slot loads as the defaults";
}

TEST_F(UiTest, SerialScreenStepsDeviceWithBaudAndEscapeRestores)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT3, 14}, {KEY_SOFT2, 86}, {KEY_SOFT1, 56}});
    uint8_t bDevice = gbOutputDevice, bBaud = gbBaudRate;
    SetOutputDevice(1);
    Press(KEY_SOFT1);
    EXPECT_EQ(gbOutputDevice, 2);
    EXPECT_EQ(gbBaudRate, 1) << "PC runs at 38400";
    Press(KEY_SOFT1);
    EXPECT_EQ(gbOutputDevice, 0);
    EXPECT_EQ(gbBaudRate, 0) << "PR1 runs at 9600";
    Walk({{KEY_ESCAPE, 14}});
    EXPECT_EQ(gbOutputDevice, bDevice);
    EXPECT_EQ(gbBaudRate, bBaud);
}

TEST_F(UiTest, NameEditorCyclesCharactersAndStopsAtTheEnds)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT3, 25}, {KEY_SOFT1, 27}, {KEY_SOFT4, 28}});
    EXPECT_STREQ(gMethod.szName, "             ") << "thirteen X become spaces";
    Walk({{KEY_DOWN, 28}});
    EXPECT_EQ(gMethod.szName[0], '9');
    Walk({{KEY_UP, 28}, {KEY_UP, 28}});
    EXPECT_EQ(gMethod.szName[0], 'A');
    Press(KEY_LEFT);
    EXPECT_EQ(gbNameCursor, 0);
    for (int i = 0; i < 15; i++)
        Press(KEY_RIGHT);
    EXPECT_EQ(gbNameCursor, 12);
    Walk({{KEY_ESCAPE, 27}});
    EXPECT_STREQ(gMethod.szName, "XXXXXXXXXXXXX") << "Escape restores the name";
}

}  // namespace

namespace {

// A standard curve and kinetics exclude each other: the refused choice
// reverts, and the method program ignores keys while the message shows.
TEST_F(UiTest, StandardCurveAndKineticsExcludeEachOther)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT3, 25}, {KEY_SOFT1, 27}});
    for (int i = 0; i < 5; i++)
        Press(KEY_DOWN);
    ASSERT_EQ(gunMethodField, 5);
    Walk({{KEY_SOFT4, 38}, {KEY_RIGHT, 38}, {KEY_SOFT4, 34}, {KEY_ESCAPE, 27}});
    ASSERT_EQ(gMethod.unKinetics, 1u);
    Walk({{KEY_UP, 27}, {KEY_UP, 27}});
    ASSERT_EQ(gunMethodField, 3);
    Walk({{KEY_SOFT4, 31}, {KEY_RIGHT, 31}, {KEY_SOFT4, 27}});
    EXPECT_EQ(gMethod.bCalibration, 0) << "the calibration reverts to Factor";
    Press(KEY_DOWN);
    EXPECT_EQ(gunMethodField, 3) << "keys are ignored while the message shows";
    Host().AdvanceMs(3100);
    Press(KEY_DOWN);
    EXPECT_EQ(gunMethodField, 4);
}

}  // namespace

namespace {

// The stored current method accepts 100 after repair, one past the last slot:
// the method screens then work on the defaults and write nothing.
TEST_F(UiTest, CurrentMethodPastTheLastSlotLoadsDefaultsAndWritesNothing)
{
    PowerUpToMainMenu();
    uint8_t abBefore[METHOD_RECORD_SIZE];
    LoadBlock(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * 100), abBefore, METHOD_RECORD_SIZE);
    SetCurrentMethod(100);
    SetLastOperation(26);
    Walk({{KEY_SOFT1, 26}});
    EXPECT_EQ(gMethod.unWavelength, 550u);
    Walk({{KEY_SOFT3, 68}, {KEY_SOFT1, 25}});
    uint8_t abAfter[METHOD_RECORD_SIZE];
    LoadBlock(static_cast<uint16_t>(METHOD_RECORD_BASE + METHOD_RECORD_SIZE * 100), abAfter, METHOD_RECORD_SIZE);
    EXPECT_EQ(0, std::memcmp(abBefore, abAfter, METHOD_RECORD_SIZE));
}

}  // namespace

namespace {

TEST_F(UiTest, NumberEditorMovesThePointSignAndDigits)
{
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, 12}, {KEY_SOFT3, 25}, {KEY_SOFT1, 27}});
    for (int i = 0; i < 4; i++)
        Press(KEY_DOWN);
    ASSERT_EQ(gunMethodField, 4);
    Walk({{KEY_SOFT4, 33}});
    EXPECT_STREQ(gszNumberText, " 1.0000");
    for (int i = 0; i < 4; i++)
        Press(KEY_SOFT3);
    EXPECT_STREQ(gszNumberText, " 10000.");
    Press(KEY_SOFT3);
    EXPECT_STREQ(gszNumberText, " 1.0000") << "past the last position the point wraps after the first digit";
    Press(KEY_DOWN);
    EXPECT_STREQ(gszNumberText, " 0.0000");
    Press(KEY_DOWN);
    EXPECT_STREQ(gszNumberText, " 9.0000");
    Press(KEY_RIGHT);
    EXPECT_EQ(gbNumberCursor, 3) << "the cursor steps over the point";
    Press(KEY_LEFT);
    Press(KEY_LEFT);
    EXPECT_EQ(gbNumberCursor, 6) << "from the first digit the cursor wraps to the last";
    Press(KEY_SOFT2);
    Walk({{KEY_SOFT4, 27}});
    EXPECT_DOUBLE_EQ(gMethod.fFactor, -9.0);
    EXPECT_EQ(gunMethodField, 5) << "the field cursor moves on to the next field";
    Walk({{KEY_UP, 27}, {KEY_SOFT4, 33}, {KEY_UP, 33}, {KEY_ESCAPE, 27}});
    EXPECT_DOUBLE_EQ(gMethod.fFactor, -9.0) << "Escape keeps the value";
}

}  // namespace

namespace {

// The wavelength editors of the single, ratio and multi screens: every step
// recomputes the shown value from the last reading (0.000 A after a
// reference), Escape restores the stored wavelength, Accept stores it.
TEST_F(UiTest, WavelengthEditorsRecomputeAcceptAndRestore)
{
    struct Case {
        const char* pszWhat;
        uint8_t bMenuKey, bScreen;  // soft key of screen 76 and the measuring screen
        uint8_t bEditKey, bEditor, bAcceptKey;
        uint16_t* punNm;
        uint16_t unAddress;  // EEPROM slot, most significant byte first
        double* pfShown;
    };
    const Case kCases[] = {
        {"single", KEY_SOFT1, STATE_SINGLE_MEASURE, KEY_SOFT2, STATE_SINGLE_WAVELENGTH, KEY_SOFT2, &gunWavelength, 0x15,
         &gfShownAbs},
        {"ratio first", KEY_SOFT3, STATE_RATIO_MEASURE, KEY_SOFT1, STATE_RATIO_WAVELENGTH_1, KEY_SOFT1, &gunWavelengthB,
         0x17, &gfRatioA1},
        {"ratio second", KEY_SOFT3, STATE_RATIO_MEASURE, KEY_SOFT2, STATE_RATIO_WAVELENGTH_2, KEY_SOFT2,
         &gunWavelengthC, 0x19, &gfRatioA2},
        {"multi first", KEY_SOFT2, STATE_MULTI_MEASURE, KEY_SOFT1, STATE_MULTI_WAVELENGTHS, KEY_SOFT4,
         &gunMultiWavelength[0], 0x1D, &gafMultiAbs[0]},
    };
    PowerUpToMainMenu();
    Walk({{KEY_SOFT2, STATE_MEASURE_MENU}});
    auto Stored = [](uint16_t unAddress) {
        std::ifstream file("eeprom.bin", std::ios::binary);
        file.seekg(unAddress);
        unsigned char ab[2] = {0, 0};
        file.read(reinterpret_cast<char*>(ab), 2);
        return static_cast<uint16_t>(ab[0] << 8 | ab[1]);
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.pszWhat);
        Walk({{KEY_SOFT1, STATE_CHOOSE_MEASUREMENT}, {c.bMenuKey, c.bScreen}});
        Press(KEY_REF);
        Host().AdvanceMs(6000);
        Press(KEY_TEST);
        Host().AdvanceMs(6000);
        uint16_t unStored = *c.punNm;
        ASSERT_EQ(Stored(c.unAddress), unStored);
        Walk({{c.bEditKey, c.bEditor}, {KEY_UP, c.bEditor}});
        EXPECT_EQ(*c.punNm, unStored + 1);
        EXPECT_DOUBLE_EQ(*c.pfShown, Absorbance(unStored + 1));
        EXPECT_EQ(Stored(c.unAddress), unStored) << "nothing stored while editing";
        Walk({{KEY_ESCAPE, c.bScreen}});
        EXPECT_EQ(*c.punNm, unStored);
        EXPECT_DOUBLE_EQ(*c.pfShown, Absorbance(unStored));
        Walk({{c.bEditKey, c.bEditor}, {KEY_DOWN, c.bEditor}, {KEY_DOWN, c.bEditor}, {c.bAcceptKey, c.bScreen}});
        EXPECT_EQ(*c.punNm, unStored - 2);
        EXPECT_EQ(Stored(c.unAddress), unStored - 2);
        // After a reference every shown absorbance is 0.000, also after a step.
        Press(KEY_REF);
        Host().AdvanceMs(6000);
        Walk({{c.bEditKey, c.bEditor}, {KEY_UP, c.bEditor}});
        EXPECT_DOUBLE_EQ(*c.pfShown, 0.0);
        Walk({{KEY_ESCAPE, c.bScreen}, {KEY_ESCAPE, STATE_MEASURE_MENU}});
    }
}

}  // namespace
