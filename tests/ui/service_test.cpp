// The service screens by keys: the factory calibrations from "Final Test"
// against the remote commands on the same recorded data, abandoning them at
// the filter prompt, the diagnostics options and their stored slots, and the
// diagnostics table. (The detector plots are tested with the scan screens.)
#include <cstring>
#include <ostream>
#include <utility>
#include <string>

#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "support/files.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

std::string StoredBytes(uint16_t unAddress, size_t nCount)
{
    std::string s = ReadWholeFile("eeprom.bin");
    return s.size() < unAddress + nCount ? std::string() : s.substr(unAddress, nCount);
}

std::string DoubleBytes(double f)
{
    std::string s(sizeof f, '\0');
    std::memcpy(s.data(), &f, sizeof f);
    return s;
}

constexpr uint16_t SLOT_FINAL_TEST_ITEM = 0x27;
constexpr uint16_t SLOT_PRINT_CAL_COEFF = 0x29;
constexpr uint16_t SLOT_BASE_SELF_TEST_INFO = 0x2A;
constexpr uint16_t SLOT_READINGS_DUMP = 0x2B;
constexpr uint16_t SLOT_CALIBRATED_LED_PIXEL = 0x2C;
constexpr uint16_t SLOT_PIXEL_CLOCK = 0x2E;

class ServiceTest : public UiTest {
protected:
    // Switches on with the splash's service sequence (left, right), which
    // skips the self-diagnostics, so that both wavelength offsets stay 0;
    // then set-up and its service sequence (up, down, TEST).
    void SkipStartUpToServiceMenu()
    {
        SwitchOn();
        Walk({{KEY_LEFT, STATE_SPLASH}, {KEY_RIGHT, STATE_MAIN_MENU}, {KEY_SOFT3, STATE_SETUP_MENU},
              {KEY_UP, STATE_SETUP_MENU}, {KEY_DOWN, STATE_SETUP_MENU}, {KEY_TEST, STATE_SERVICE_MENU}});
    }
    // Runs the firmware until the serial output since nFrom holds sText.
    bool WaitSerial(size_t nFrom, const std::string& sText, uint32_t unMaxMs = 60000)
    {
        for (uint32_t unMs = 0; unMs <= unMaxMs; unMs += CInstrument::TICK_MS) {
            if (Host().SerialText().find(sText, nFrom) != std::string::npos)
                return true;
            Host().Tick();
        }
        return false;
    }
    // From "Final Test": the item's check up to its filter prompt.
    void StartCalibration(uint8_t bItem, uint8_t bFirstState)
    {
        for (uint8_t i = 0; i < bItem; i++)
            Press(KEY_DOWN);
        Walk({{KEY_SOFT1, bFirstState}});
        Press(KEY_SOFT4);  // OK with the light path clear: the readings before the filter
        Host().AdvanceMs(15000);
    }
};

struct Calibration {
    const char* pszName;
    uint8_t bItem;        // in the "Final Test" list
    uint8_t bFirstState;  // the clear-light-path prompt
    uint8_t bFilterState; // the filter prompt and the result
    const char* pszCommand;
    uint16_t unAddress;   // the stored value
    std::string sStored;  // its bytes after the calibration
    std::string sReply;
    void (*pfnOverwrite)();  // stores another value in its place
};

void PrintTo(const Calibration& cal, std::ostream* os) { *os << cal.pszName; }

const Calibration kaCalibrations[] = {
    {"Holmium", 0, STATE_LED_CHECK_CLEAR, STATE_LED_CHECK_HOLMIUM, "DIAG TESTHO\r\n", PARAM_HOLMIUM_OFFSET,
     std::string("\xFF\xF8", 2), "E00 -8\r\n", [] { gnHolmiumOffset = 3; SaveHolmiumOffset(); }},
    {"Led", 1, STATE_LED_CHECK_CLEAR, STATE_LED_CHECK_HOLMIUM, "DIAG TESTWL\r\n", SLOT_CALIBRATED_LED_PIXEL,
     std::string("\x01\xEC", 2), "E00 88\r\n", [] { SetCalibratedLedPixel(609); }},
    {"StrayLight", 2, STATE_STRAY_LIGHT_CHECK, STATE_STRAY_LIGHT_CHECK, "DIAG TESTSL\r\n", PARAM_SVALUE,
     DoubleBytes(15.0), "E00 15\r\n", [] { SetSValue(2.5); }},
};

class KeypadCalibrationTest : public ServiceTest, public ::testing::WithParamInterface<Calibration> {};

// A calibration from the keypad stores in "eeprom.bin" what its remote
// command stores on the same data: the holmium offset -8, the LED pixel 492
// (band offset 88), the S value 15.
TEST_P(KeypadCalibrationTest, StoresWhatTheRemoteCommandStores)
{
    const Calibration& cal = GetParam();
    SkipStartUpToServiceMenu();
    Walk({{KEY_SOFT1, STATE_FINAL_TEST}});
    StartCalibration(cal.bItem, cal.bFirstState);
    ASSERT_EQ(gunScreenState, cal.bFilterState);
    Press(KEY_TEST);
    Host().AdvanceMs(8000);
    ASSERT_EQ(gunScreenState, cal.bFilterState);
    size_t nSize = cal.sStored.size();
    std::string sKeypad = StoredBytes(cal.unAddress, nSize);
    EXPECT_EQ(sKeypad, cal.sStored);

    cal.pfnOverwrite();
    ASSERT_NE(StoredBytes(cal.unAddress, nSize), sKeypad);
    Walk({{KEY_ESCAPE, STATE_FINAL_TEST}, {KEY_ESCAPE, STATE_SERVICE_MENU}, {KEY_ESCAPE, STATE_MAIN_MENU}});
    size_t nFrom = Host().SerialText().size();
    Host().Inject("CONTROL\r\n");
    ASSERT_TRUE(WaitSerial(nFrom, "E00\r\n"));
    nFrom = Host().SerialText().size();
    Host().Inject(cal.pszCommand);
    ASSERT_TRUE(WaitSerial(nFrom, "Waiting for sample"));
    Press(KEY_TEST);
    ASSERT_TRUE(WaitSerial(nFrom, cal.sReply)) << Host().SerialText().substr(nFrom);
    EXPECT_EQ(StoredBytes(cal.unAddress, nSize), sKeypad);
}

INSTANTIATE_TEST_SUITE_P(FinalTest, KeypadCalibrationTest, ::testing::ValuesIn(kaCalibrations),
                         [](const ::testing::TestParamInfo<Calibration>& info) { return std::string(info.param.pszName); });

class AbandonTest : public ServiceTest, public ::testing::WithParamInterface<std::pair<uint8_t, uint8_t>> {};

// Escape at the filter prompt returns to "Final Test", the standby key enters
// standby; either way the stored holmium offset stays, and so does the one in
// use for readings.
TEST_P(AbandonTest, HolmiumCalibrationKeepsTheOffset)
{
    auto [bKey, bState] = GetParam();
    SkipStartUpToServiceMenu();
    gnHolmiumOffset = 3;
    SaveHolmiumOffset();
    std::string sStored = StoredBytes(PARAM_HOLMIUM_OFFSET, 2);
    Walk({{KEY_SOFT1, STATE_FINAL_TEST}});
    StartCalibration(0, STATE_LED_CHECK_CLEAR);
    ASSERT_EQ(gunScreenState, STATE_LED_CHECK_HOLMIUM);
    Press(bKey);
    EXPECT_EQ(gunScreenState, bState);
    EXPECT_EQ(gnHolmiumOffset, 3);
    EXPECT_EQ(StoredBytes(PARAM_HOLMIUM_OFFSET, 2), sStored);
}

INSTANTIATE_TEST_SUITE_P(FilterPrompt, AbandonTest,
                         ::testing::Values(std::make_pair(uint8_t{KEY_ESCAPE}, uint8_t{STATE_FINAL_TEST}),
                                           std::make_pair(uint8_t{KEY_STANDBY}, uint8_t{STATE_STANDBY})),
                         [](const auto& info) { return info.param.first == KEY_ESCAPE ? std::string("Escape") : std::string("Standby"); });

// A PC cannot take control while a keypad calibration reads: CONTROL is
// refused as busy, and the calibration goes on to its filter prompt and
// stores its result.
TEST_F(ServiceTest, ControlIsRefusedWhileAKeypadCalibrationReads)
{
    SkipStartUpToServiceMenu();
    Walk({{KEY_SOFT1, STATE_FINAL_TEST}, {KEY_SOFT1, STATE_LED_CHECK_CLEAR}});
    Press(KEY_SOFT4);
    ASSERT_EQ(gunScreenState, STATE_LED_CHECK_REFERENCE);
    size_t nFrom = Host().SerialText().size();
    Host().Inject("CONTROL\r\n");
    ASSERT_TRUE(WaitSerial(nFrom, "E93\r\n"));
    EXPECT_TRUE(WaitState(STATE_LED_CHECK_HOLMIUM, 10000));
    Press(KEY_TEST);
    Host().AdvanceMs(8000);
    EXPECT_EQ(gunScreenState, STATE_LED_CHECK_HOLMIUM);
    EXPECT_EQ(StoredBytes(PARAM_HOLMIUM_OFFSET, 2), std::string("\xFF\xF8", 2));
}

// The selected "Final Test" item is stored (counted from 1) and chosen again
// on the next visit: the third item starts the stray-light check.
TEST_F(ServiceTest, FinalTestRemembersItsItem)
{
    SkipStartUpToServiceMenu();
    Walk({{KEY_SOFT1, STATE_FINAL_TEST}});
    EXPECT_EQ(StoredBytes(SLOT_FINAL_TEST_ITEM, 1), "\x01");
    Walk({{KEY_UP, STATE_FINAL_TEST}});  // wraps to the last item
    EXPECT_EQ(StoredBytes(SLOT_FINAL_TEST_ITEM, 1), "\x03");
    Walk({{KEY_ESCAPE, STATE_SERVICE_MENU}, {KEY_SOFT1, STATE_FINAL_TEST}, {KEY_SOFT1, STATE_STRAY_LIGHT_CHECK},
          {KEY_ESCAPE, STATE_FINAL_TEST}, {KEY_DOWN, STATE_FINAL_TEST}, {KEY_SOFT1, STATE_LED_CHECK_CLEAR}});
    EXPECT_EQ(StoredBytes(SLOT_FINAL_TEST_ITEM, 1), "\x01");
}

// Set and Clear switch the selected option and write its slot; the other
// slots stay. Auto clock has no slot: it is held in memory.
TEST_F(ServiceTest, DiagnosticsOptionsToggleTheirSlots)
{
    struct Option {
        uint8_t* pbSetting;
        int nSlot;  // -1: none
    };
    const Option kaOptions[] = {{&gbReadingsDump, SLOT_READINGS_DUMP},
                                {&gbPrintCalCoeff, SLOT_PRINT_CAL_COEFF},
                                {&gbBaseSelfTestInfo, SLOT_BASE_SELF_TEST_INFO},
                                {&gbAutoClock, -1}};
    SkipStartUpToServiceMenu();
    Walk({{KEY_SOFT2, STATE_DIAGNOSTICS}});
    EXPECT_EQ(gbDiagOffsetMode, 1);
    gbAutoClock = 0;
    for (size_t i = 0; i < std::size(kaOptions); i++) {
        SCOPED_TRACE(i);
        std::string sBefore = StoredBytes(0, 0x30);
        Walk({{KEY_SOFT1, STATE_DIAGNOSTICS}});
        EXPECT_EQ(*kaOptions[i].pbSetting, 1);
        std::string sSet = StoredBytes(0, 0x30);
        for (int nSlot = 0; nSlot < 0x30; nSlot++)
            EXPECT_EQ(sSet[nSlot], nSlot == kaOptions[i].nSlot ? '\x01' : sBefore[nSlot]) << "slot " << nSlot;
        Walk({{KEY_SOFT2, STATE_DIAGNOSTICS}});
        EXPECT_EQ(*kaOptions[i].pbSetting, 0);
        EXPECT_EQ(StoredBytes(0, 0x30), sBefore);
        Walk({{KEY_DOWN, STATE_DIAGNOSTICS}});
    }
    Walk({{KEY_SOFT4, STATE_SERVICE_MENU}});
    EXPECT_EQ(gbDiagOffsetMode, 0);
}

// "Diags Table": REF runs the self-diagnostics again, with the pixel clock
// left as stored while AutoClk is off and optimised once it is on.
TEST_F(ServiceTest, DiagsTableRefreshesWithAndWithoutAutoClock)
{
    SkipStartUpToServiceMenu();
    Walk({{KEY_SOFT2, STATE_DIAGNOSTICS}, {KEY_SOFT3, STATE_DIAGNOSTIC_SCANS}, {KEY_SOFT4, STATE_DIAGNOSTICS_TABLE}});
    ASSERT_EQ(gbAutoClock, 1);
    Walk({{KEY_SOFT4, STATE_DIAGNOSTICS_TABLE}});
    EXPECT_EQ(gbAutoClock, 0);
    Press(KEY_REF);
    Host().AdvanceMs(30000);
    EXPECT_EQ(gunDiagPixelClock, 300u);
    EXPECT_EQ(gDiagPeak.nPixel, 659);
    EXPECT_EQ(StoredBytes(SLOT_PIXEL_CLOCK, 2), std::string("\x01\x2C", 2));
    Walk({{KEY_SOFT4, STATE_DIAGNOSTICS_TABLE}});
    Press(KEY_REF);
    Host().AdvanceMs(30000);
    EXPECT_EQ(gunDiagPixelClock, 220u);
    EXPECT_EQ(StoredBytes(SLOT_PIXEL_CLOCK, 2), std::string("\x00\xDC", 2));
    Walk({{KEY_ESCAPE, STATE_DIAGNOSTIC_SCANS}});
}

}  // namespace
