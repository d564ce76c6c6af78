// The set-up screens: the set-up menu (14) with its service sequence, the
// serial port (56), time and date (62..66), language (80), heater (81),
// communications (86) and software update (87).
#include "core/serial.h"
#include "core/clock.h"
#include "core/heater.h"
#include "core/timers.h"
#include "display/language.h"
#include "display/script.h"
#include "storage/params.h"
#include "ui/ui_internal.h"

uint8_t gabEditDate[5];      // hours 0..23, minutes 0..59, day 1..31, month 1..12, year 0..99

namespace {
uint8_t gbSavedDevice = 0, gbSavedBaud = 0, gbSavedAutoPrint = 0;  // serial screen entry values
uint8_t gbSavedHeater = 0;   // heater value on entry to its screen
uint8_t gbMessageShown = 0;  // 1 while a bottom-line message is shown
uint8_t gbUploading = 0;     // the software-update screen shows "Software Uploading..."
}  // namespace

void ResetSetupScreens()
{
    gbMessageShown = 0;
    gbUploading = 0;
    gbHeaterOn = 0;
}

namespace {

// The set-up menu's service sequence: three keys, each within 100 ticks of the last.
constexpr uint8_t SETUP_SERVICE_KEYS[3] = {KEY_UP, KEY_DOWN, KEY_TEST};
constexpr uint8_t LANGUAGE_GERMAN = 2;
constexpr uint16_t TEXT_SET_FIELD = 112;  // "Set" before a field's name
constexpr uint16_t TEXT_DATE = 113;

// Date-time editor fields in display order: hours, minutes, then the date
// fields; index into gabEditDate for each of states 62..66.
uint8_t DateFieldIndex(uint8_t bState)
{
    switch (bState) {
    case STATE_SET_HOURS:
        return 0;
    case STATE_SET_MINUTES:
        return 1;
    case STATE_SET_DATE_FIRST:
        return gbDateFormat == 1 ? 2 : 3;
    case STATE_SET_DATE_SECOND:
        return gbDateFormat == 1 ? 3 : 2;
    default:
        return 4;
    }
}

}  // namespace

void HandleSetupMenu()
{
    if (gunKeyCode != KEY_NONE && gbServiceStep < 3) {
        bool bInTime = gbServiceStep == 0 || gunScreenTimer != 0;
        if (bInTime && Key(SETUP_SERVICE_KEYS[gbServiceStep])) {
            gbServiceStep++;
            gunScreenTimer = SERVICE_WINDOW_TICKS;
            if (gbServiceStep == 3) {
                gbServiceStep = 0;
                Go(STATE_SERVICE_MENU);
                return;
            }
        } else {
            gbServiceStep = Key(SETUP_SERVICE_KEYS[0]) ? 1 : 0;
            gunScreenTimer = SERVICE_WINDOW_TICKS;
        }
    }
    if (Key(KEY_ESCAPE)) {
        Go(STATE_MAIN_MENU);
    } else if (Key(KEY_SOFT1)) {
        gbChoice = gbLanguage < LANGUAGE_COUNT ? gbLanguage : 0;
        gbMessageShown = 0;
        Go(STATE_LANGUAGE);
    } else if (Key(KEY_SOFT2)) {
        Go(STATE_COMMS_MENU);
    } else if (Key(KEY_SOFT3)) {
        uint8_t abClock[6];
        ReadClock(abClock);
        gabEditDate[0] = abClock[3];
        gabEditDate[1] = abClock[4];
        gabEditDate[2] = abClock[0];
        gabEditDate[3] = abClock[1];
        gabEditDate[4] = abClock[2];
        Go(STATE_SET_HOURS);
    } else if (Key(KEY_SOFT4) && gbHeaterFitted) {
        gbSavedHeater = gbHeaterOn;
        Go(STATE_HEATER);
    }
}

static void AcceptLanguage()
{
    if (LanguageTextIn(gbChoice, 0)[0] == '\0') {
        gbMessageShown = 1;
        DrawScreen();
        return;
    }
    SetLanguage(gbChoice);
    Go(STATE_SETUP_MENU);
}

void HandleLanguage()
{
    // Moving to another language takes the "not available" message away.
    if (Key(KEY_UP) || Key(KEY_DOWN))
        gbMessageShown = 0;
    HandleChooser({LANGUAGE_COUNT, KEY_UP, KEY_DOWN, KEY_SOFT1, AcceptLanguage, STATE_SETUP_MENU});
}

void HandleHeater()
{
    if (Key(KEY_LEFT) || Key(KEY_RIGHT)) {
        gbHeaterOn = gbHeaterOn ? 0 : 1;
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        Go(STATE_SETUP_MENU);
    } else if (Key(KEY_ESCAPE)) {
        gbHeaterOn = gbSavedHeater;
        Go(STATE_SETUP_MENU);
    }
}

void HandleComms()
{
    if (Key(KEY_SOFT1)) {
        gbSavedDevice = gbOutputDevice;
        gbSavedBaud = gbBaudRate;
        gbSavedAutoPrint = gbAutoPrint;
        Go(STATE_SERIAL_PORT);
    } else if (Key(KEY_SOFT2)) {
        gbUploading = 0;
        Go(STATE_SOFTWARE_UPDATE);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SETUP_MENU);
    }
}

void HandleSerialPort()
{
    if (Key(KEY_SOFT1)) {
        uint8_t bDevice = gbOutputDevice >= 2 ? 0 : static_cast<uint8_t>(gbOutputDevice + 1);
        SetOutputDevice(bDevice);
        SetBaudRate(bDevice == 2 ? 1 : 0);
        DrawScreen();
    } else if (Key(KEY_SOFT2)) {
        SetBaudRate(gbBaudRate ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT3)) {
        SetAutoPrint(gbAutoPrint ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        SerialSetBaud(gbBaudRate);
        Go(STATE_SETUP_MENU);
    } else if (Key(KEY_ESCAPE)) {
        SetOutputDevice(gbSavedDevice);
        SetBaudRate(gbSavedBaud);
        SetAutoPrint(gbSavedAutoPrint);
        Go(STATE_SETUP_MENU);
    }
}

void HandleSoftwareUpdate()
{
    if (Key(KEY_SOFT4)) {
        gbUploading = 1;
        DrawScreen();
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_COMMS_MENU);
    }
}

void HandleDateTime()
{
    uint8_t bState = gunScreenState;
    if (Key(KEY_UP) || Key(KEY_DOWN)) {
        static constexpr uint8_t kabMin[5] = {0, 0, 1, 1, 0};
        static constexpr uint8_t kabMax[5] = {23, 59, 31, 12, 99};
        uint8_t bField = DateFieldIndex(bState);
        uint8_t& b = gabEditDate[bField];
        if (Key(KEY_UP))
            b = b >= kabMax[bField] ? kabMin[bField] : static_cast<uint8_t>(b + 1);
        else
            b = b <= kabMin[bField] ? kabMax[bField] : static_cast<uint8_t>(b - 1);
        DrawScreen();
    } else if (Key(KEY_LEFT)) {
        Go(bState == STATE_SET_HOURS ? uint8_t{STATE_SET_YEAR} : static_cast<uint8_t>(bState - 1));
    } else if (Key(KEY_RIGHT)) {
        Go(bState == STATE_SET_YEAR ? uint8_t{STATE_SET_HOURS} : static_cast<uint8_t>(bState + 1));
    } else if (Key(KEY_SOFT1)) {
        SetDateFormat(gbDateFormat == 1 ? 0 : 1);
        DrawScreen();
    } else if (Key(KEY_SOFT4)) {
        if (!DateValid(gabEditDate[2], gabEditDate[3], gabEditDate[4])) {
            Go(STATE_SET_DATE_FIRST);
            return;
        }
        // The clock starts at the minute set.
        const uint8_t abClock[6] = {gabEditDate[2], gabEditDate[3], gabEditDate[4], gabEditDate[0], gabEditDate[1], 0};
        SetClock(abClock);
        Go(STATE_SETUP_MENU);
    } else if (Key(KEY_ESCAPE)) {
        Go(STATE_SETUP_MENU);
    }
}

void DrawDateTime(uint8_t bState)
{
    // Display order: hours, minutes, then the date fields of the format.
    uint8_t bFirst = gbDateFormat == 1 ? 2 : 3;
    uint8_t bSecond = gbDateFormat == 1 ? 3 : 2;
    gnShowI5 = gabEditDate[0];
    gnShowI6 = gabEditDate[1];
    gnShowI7 = gabEditDate[bFirst];
    gnShowI8 = gabEditDate[bSecond];
    gnShowI9 = gabEditDate[4];
    // "Set" and the field's name on two lines; German puts the name first
    // ("Uhrzeit" / "einstellen").
    bool bNameFirst = gbLanguage == LANGUAGE_GERMAN;
    DrawText(68, 30, bNameFirst ? TEXT_TIME_OF_DAY : TEXT_SET_FIELD);
    DrawText(68, 42, bNameFirst ? TEXT_SET_FIELD : TEXT_TIME_OF_DAY);
    DrawText(68, 70, bNameFirst ? TEXT_DATE : TEXT_SET_FIELD);
    DrawText(68, 82, bNameFirst ? TEXT_SET_FIELD : TEXT_DATE);
    DrawInteger(140, 36, 5, bState == STATE_SET_HOURS ? 1 : 0);
    DrawText(152, 36, 94);
    DrawInteger(158, 36, 6, bState == STATE_SET_MINUTES ? 1 : 0);
    DrawInteger(140, 76, 7, bState == STATE_SET_DATE_FIRST ? 1 : 0);
    DrawText(152, 76, 16);
    DrawInteger(158, 76, 8, bState == STATE_SET_DATE_SECOND ? 1 : 0);
    DrawText(170, 76, 16);
    DrawInteger(176, 76, 9, bState == STATE_SET_YEAR ? 1 : 0);
    EraseCells(68, 100, 13);
    DrawText(68, 100, gbDateFormat == 1 ? 223 : 224);
}

void DrawSetupMenu(uint8_t)
{
    if (gbHeaterFitted)
        DrawFragment(FRAG_SETUP_WITH_HEATER);
}

void DrawSerialPort(uint8_t)
{
    EraseCells(164, 20, 4);
    DrawText(164, 20, gbOutputDevice == 0 ? 105 : gbOutputDevice == 1 ? 326 : 106);
    EraseCells(164, 34, 5);
    DrawText(164, 34, gbBaudRate ? 231 : 134);
    DrawText(164, 90, gbAutoPrint ? 202 : 203);
}

void DrawLanguage(uint8_t)
{
    static constexpr uint16_t kaunTexts[5] = {274, 275, 276, 277, 278};
    DrawChoiceList(kaunTexts, 5, 80, 24, 12);
    EraseCells(64, 100, 29);
    if (gbMessageShown)
        DrawFragment(FRAG_LANGUAGE_MISSING);
}

void DrawHeater(uint8_t)
{
    DrawText(140, 50, 203, gbHeaterOn ? 0 : 1);
    DrawText(static_cast<uint8_t>(140 + TextWidth(203)), 50, 202, gbHeaterOn ? 1 : 0);
}

void DrawSoftwareUpdate(uint8_t)
{
    if (gbUploading)
        DrawFragment(FRAG_UPLOADING);
}
