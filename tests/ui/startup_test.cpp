// Power-up: splash, start-up sequence, self-test display, the splash's
// service key sequence, and the instrument header on the serial port.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "measure/diag.h"
#include "storage/params.h"
#include "ui/ui_fixture.h"
#include "ui/ui_internal.h"

namespace {

std::string ReadFile(const std::string& sPath)
{
    std::ifstream file(sPath, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

TEST_F(UiTest, PowerUpPassesSplashAndSelfTestToMainMenu)
{
    Host().PowerUp();
    // The instrument waits in standby, display blank, until its standby key.
    Host().AdvanceMs(10000);
    EXPECT_EQ(gunScreenState, STATE_STANDBY);
    for (int x = 0; x < 240; x++)
        for (int y = 0; y < 128; y++)
            ASSERT_FALSE(Host().Pixel(x, y)) << x << "," << y;
    Press(KEY_STANDBY);
    EXPECT_EQ(gunScreenState, STATE_SPLASH);
    // The splash holds for 120 ticks of 50 ms before the start-up sequence.
    Host().AdvanceMs(5500);
    EXPECT_EQ(gunScreenState, STATE_SPLASH);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_LAMP, 60000));
    uint64_t ullSelfTestStart = Host().VirtualMs();
    ASSERT_TRUE(WaitState(STATE_SELFTEST_PASSED));
    // Rows settle after 40, 30 and 30 ticks.
    EXPECT_NEAR(static_cast<double>(Host().VirtualMs() - ullSelfTestStart), 5000.0, 200.0);
    EXPECT_EQ(gabSelfTestRow[0], ROW_PASSED);
    EXPECT_EQ(gabSelfTestRow[1], ROW_PASSED);
    EXPECT_EQ(gabSelfTestRow[2], ROW_PASSED);
    std::printf("power-up to \"All tests passed\": %llu ms of virtual time\n",
                static_cast<unsigned long long>(Host().VirtualMs()));
    Press(KEY_SOFT2);
    EXPECT_EQ(gunScreenState, STATE_MAIN_MENU);

    const std::string& sOut = Host().SerialText();
    size_t nStart = sOut.find("START\r\n");
    size_t nHeader = sOut.find("\r\nTelmarid\r\nVisible Diode Array Spectrophotometer\r\nQ4K7 V1.0\r\n");
    ASSERT_NE(nStart, std::string::npos);
    ASSERT_NE(nHeader, std::string::npos);
    EXPECT_LT(nStart, nHeader);
    EXPECT_EQ(sOut.find("S/N"), std::string::npos) << "no serial number is set on a blank store";
}

// The keys that a state does not take during the timed screens change nothing.
TEST_F(UiTest, SplashIgnoresOtherKeysAndSkipsTestsOnServiceSequence)
{
    SwitchOn();
    ASSERT_EQ(gunScreenState, STATE_SPLASH);
    Press(KEY_TEST);
    Press(KEY_RIGHT);  // out of order: no skip
    EXPECT_EQ(gunScreenState, STATE_SPLASH);
    Press(KEY_LEFT);
    Press(KEY_RIGHT);
    EXPECT_EQ(gunScreenState, STATE_MAIN_MENU);
    // No self-test ran, so no instrument header was sent either.
    EXPECT_EQ(Host().SerialText().find("Telmarid"), std::string::npos);
}

struct EscapeCase {
    const char* pszRow;    // the self-test row, for the test's name
    uint8_t bRowState;     // state in which Escape is pressed
    int nRow;              // the row that fails
    uint16_t unResultBit;  // bit set in the diagnostic result word
    uint8_t bHoldState;
};

void PrintTo(const EscapeCase& c, std::ostream* pOut) { *pOut << c.pszRow << " row"; }

class SelfTestEscapeTest : public UiTest, public ::testing::WithParamInterface<EscapeCase> {};

TEST_P(SelfTestEscapeTest, EscapeFailsTheRunningRowAndEndsOnTheFailureScreen)
{
    const EscapeCase& c = GetParam();
    SwitchOn();
    ASSERT_TRUE(WaitState(c.bRowState));
    Press(KEY_ESCAPE);
    EXPECT_EQ(gunScreenState, c.bHoldState);
    EXPECT_TRUE(gunDiagResult & c.unResultBit);
    EXPECT_EQ(gabSelfTestRow[c.nRow], ROW_FAILED);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_FAILED, 10000));
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(gabSelfTestRow[i], i == c.nRow ? ROW_FAILED : ROW_PASSED) << "row " << i;

    // Print sends the self-test report; Re-Test runs the whole sequence again.
    Host().ClearSerialText();
    Press(KEY_SOFT4);
    EXPECT_NE(Host().SerialText().find("Self Diagnostics"), std::string::npos);
    EXPECT_NE(Host().SerialText().find("Fail,"), std::string::npos) << Host().SerialText();
    Press(KEY_SOFT1);
    EXPECT_EQ(gunScreenState, STATE_SPLASH);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_PASSED));
}

INSTANTIATE_TEST_SUITE_P(Rows, SelfTestEscapeTest,
                         ::testing::Values(EscapeCase{"Lamp", STATE_SELFTEST_LAMP, 0, DIAG_LAMP_TOO_DARK, 2},
                                           EscapeCase{"Wavelength", STATE_SELFTEST_WAVELENGTH, 1, DIAG_WAVELENGTH, 6},
                                           EscapeCase{"Array", STATE_SELFTEST_ARRAY, 2, DIAG_DIODE_ARRAY, 8}),
                         [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.pszRow); });

TEST_F(UiTest, AllPassedScreenTakesOnlyOkAndPrint)
{
    SwitchOn();
    ASSERT_TRUE(WaitState(STATE_SELFTEST_PASSED));
    Host().ClearChangedFlags();
    for (uint8_t bKey : {KEY_SOFT1, KEY_SOFT3, KEY_ESCAPE, KEY_REF, KEY_UP})
        Press(bKey);
    EXPECT_EQ(gunScreenState, STATE_SELFTEST_PASSED);
    EXPECT_EQ(ChangedBytes(), 0);
    Press(KEY_SOFT4);
    EXPECT_NE(Host().SerialText().find("All tests passed"), std::string::npos);
}

// Two starts of halden-cli on one "eeprom.bin": only the first initialises
// the store.
TEST(UiPowerUpCli, SecondStartDoesNotInitialiseTheStoreAgain)
{
    char acDir[] = "/tmp/halden-ui-XXXXXX";
    ASSERT_NE(mkdtemp(acDir), nullptr);
    std::string sDir = acDir;
    std::ofstream(sDir + "/walk.scn") << "key standby\nwait-screen 9 within 60s\nkey soft2\nwait-screen 11 within 1s\n";
    auto Run = [&](const char* pszLog) {
        std::string sCommand = "cd " + sDir + " && " + HALDEN_CLI + " --serial-log " + pszLog +
                               " walk.scn >/dev/null 2>&1";
        int nRaw = std::system(sCommand.c_str());
        return WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
    };
    ASSERT_EQ(Run("first.log"), 0);
    ASSERT_EQ(Run("second.log"), 0);
    std::string sFirst = ReadFile(sDir + "/first.log");
    std::string sSecond = ReadFile(sDir + "/second.log");
    EXPECT_NE(sFirst.find("INITIALISING BATTERY BACKED RAM"), std::string::npos);
    EXPECT_EQ(sSecond.find("INITIALISING BATTERY BACKED RAM"), std::string::npos);
    EXPECT_NE(sSecond.find("Telmarid"), std::string::npos);
    std::system(("rm -rf " + sDir).c_str());
}

}  // namespace

namespace {

// A setting changed on the first start (halden-cli, before this test's host
// opens the same "eeprom.bin") survives into the second, which does not
// initialise the store again.
class SecondStartTest : public UiTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        std::ofstream("first.scn") << "key standby\nwait-screen 9 within 60s\nkey soft2\nkey soft3\nkey soft1\n"
                                      "wait-screen 80 within 0\nkey down\nkey down\nkey soft1\n"
                                      "wait-screen 14 within 0\n";
        ASSERT_EQ(std::system((std::string(HALDEN_CLI) + " first.scn >first.out 2>&1").c_str()), 0)
            << ReadFile("first.out");
        m_pHost = std::make_unique<CInstrument>(HostOptions());
    }
};

TEST_F(SecondStartTest, KeepsTheSettingsOfTheFirst)
{
    SwitchOn();
    ASSERT_TRUE(WaitState(STATE_SELFTEST_PASSED));
    std::printf("second start to \"All tests passed\": %llu ms of virtual time\n",
                static_cast<unsigned long long>(Host().VirtualMs()));
    EXPECT_EQ(gbLanguage, 2);
    EXPECT_EQ(Host().SerialText().find("INITIALISING"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(UiTest, HeaderCarriesTheSerialNumberOnceSet)
{
    PowerUpToMainMenu();
    gulSerialNumber = 40417;
    SaveSerialNumber();
    Host().ClearSerialText();
    Press(KEY_STANDBY);
    Press(KEY_STANDBY);
    ASSERT_TRUE(WaitState(STATE_SELFTEST_LAMP));
    EXPECT_NE(Host().SerialText().find("Q4K7 V1.0\r\n\r\nS/N 40417\r\n"), std::string::npos) << Host().SerialText();
}

}  // namespace
