// The remote command interpreter: line assembly from the receive queue, the
// three control characters (^H greeting, ^R reference, ^T sample with its
// result block), the command table with its argument readers, the replies
// and error codes, trace lines, the "PC Control" screen switch and the clock.
//
// Call tree:  RemotePoll -> (control character) Greet / ControlCharReading
//                        -> (CR LF) ExecuteLine -> RunCommandWord -> Cmd*
// Every reply is one line: "E00", "E00 " followed by a value, or "E%02d".
// Text read from the port is only ever copied or compared, never used as a
// format.
#include "comms/remote.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "comms/report.h"
#include "core/serial.h"
#include "core/bridge.h"
#include "core/clock.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "measure/calib.h"
#include "measure/diag.h"
#include "measure/measure_hooks.h"
#include "measure/reading.h"
#include "storage/params.h"

namespace {

bool NoScreenRefusesPc() { return false; }
void NoPcControlScreen(uint8_t) {}

constexpr uint8_t CTRL_H = 0x08;  // greeting
constexpr uint8_t CTRL_R = 0x12;  // reference reading
constexpr uint8_t CTRL_T = 0x14;  // sample reading with result block
constexpr uint8_t CR = 0x0D;
constexpr uint8_t LF = 0x0A;

// Line states.
constexpr int32_t LINE_START = 0;
constexpr int32_t LINE_INSIDE = 1;
constexpr int32_t LINE_AFTER_CR = 2;

// Error codes of the replies.
constexpr int ERR_NONE = 0;
constexpr int ERR_RANGE = 1;
constexpr int ERR_ARGUMENT = 90;
constexpr int ERR_COMMAND = 91;
constexpr int ERR_UNSUPPORTED = 92;
constexpr int ERR_BUSY = 93;
constexpr int ERR_MALFORMED = 94;
constexpr int ERR_TOO_LONG = 95;

// Outcomes of a command handler besides an error code to reply with.
constexpr int RESULT_REPLIED = -1;   // the handler sent its own "E00 value" reply
constexpr int RESULT_ABANDONED = -2; // the standby key (or a stop) ended a wait: no reply

constexpr uint32_t USERMODE_WAIT_MS = 50;  // DIAG USERMODE's wait after its reply

}  // namespace

char gszRemoteLine[REMOTE_LINE_MAX + 1];  // line being assembled, CR and LF included, NUL after the last byte
uint8_t gbRemoteLineLen;                  // bytes in gszRemoteLine, 0..32
uint8_t gbRemoteOverflow;                 // 1: a byte arrived with the line already full
int32_t gnRemoteLineState;                // 0 line start, 1 inside a line, 2 after a CR
uint8_t gbRemoteControl;                  // 1 while the PC has control; also around a ^R or ^T reading
int32_t gnDataMode;                       // 0 STDMODE, 1 SCANMODE
uint8_t gbTraceOn;                        // 1 while a command line executes
uint8_t gbTraceSeq;                       // number of the next trace line, 0..99
uint8_t gbResultCount;                    // header counter of the ^T result block, 0..99
bool (*gpfnScreenRefusesPc)() = NoScreenRefusesPc;
void (*gpfnShowPcControl)(uint8_t bOn) = NoPcControlScreen;
uint8_t gbRemoteCursor;                   // read position in gszRemoteLine while a line executes, 0..32

namespace {

// Command codes: positions in gRemoteCommands.
enum : uint8_t {
    CMD_CAL, CMD_CAL_Q, CMD_CONTROL, CMD_DATAMODE, CMD_DATAMODE_Q, CMD_DATE, CMD_DATE_Q, CMD_DIAG,
    CMD_FLAGBST, CMD_FLAGPCC, CMD_ID_Q, CMD_READA_Q, CMD_READC_Q, CMD_READT_Q, CMD_REFRESH,
    CMD_RELEASE, CMD_REPORT, CMD_RESETHO, CMD_SCANBIN, CMD_SCANLAMP, CMD_SCANLED, CMD_SCANMODE,
    CMD_SCANTXT, CMD_SERIAL, CMD_SERIAL_Q, CMD_SETFACT, CMD_SETREF, CMD_STDMODE, CMD_TESTBTN,
    CMD_TESTHO, CMD_TESTSL, CMD_TESTWL, CMD_TIME, CMD_TIME_Q, CMD_USERMODE, CMD_COUNT
};

// Where a word is a command.
constexpr uint8_t LEVEL_TOP = REMOTE_LEVEL_TOP;
constexpr uint8_t LEVEL_DIAG = REMOTE_LEVEL_DIAG;
constexpr uint8_t LEVEL_ARGUMENT = REMOTE_LEVEL_ARGUMENT;

using CommandHandler = int (*)();

struct RemoteCommand {
    const char* pszWord;     // command word, compared case-sensitively
    uint8_t bLevel;          // LEVEL_TOP, LEVEL_DIAG or LEVEL_ARGUMENT
    uint8_t bAnyMode;        // 1: accepted without control mode
    uint8_t bArguments;      // 1: the handler reads arguments; 0: the line must end after the word
    CommandHandler pfnRun;   // reads the arguments, performs, replies; null for arguments
};

int CmdCal();
int CmdCalQuery();
int CmdControl();
int CmdDataMode();
int CmdDataModeQuery();
int CmdDate();
int CmdDateQuery();
int CmdDiag();
int CmdFlagBst();
int CmdFlagPcc();
int CmdIdQuery();
int CmdReadA();
int CmdReadC();
int CmdReadT();
int CmdRefresh();
int CmdRelease();
int CmdReport();
int CmdResetHo();
int CmdScanBin();
int CmdScanLamp();
int CmdScanLed();
int CmdScanTxt();
int CmdSerial();
int CmdSerialQuery();
int CmdSetFact();
int CmdSetRef();
int CmdTestBtn();
int CmdTestHo();
int CmdTestSl();
int CmdTestWl();
int CmdTime();
int CmdTimeQuery();
int CmdUserMode();

// Sorted by byte value for the bisection; the position is the command code.
const RemoteCommand gRemoteCommands[CMD_COUNT] = {
    {"CAL", LEVEL_TOP, 0, 0, CmdCal},
    {"CAL?", LEVEL_TOP, 0, 0, CmdCalQuery},
    {"CONTROL", LEVEL_TOP, 1, 0, CmdControl},
    {"DATAMODE", LEVEL_TOP, 1, 1, CmdDataMode},
    {"DATAMODE?", LEVEL_TOP, 1, 0, CmdDataModeQuery},
    {"DATE", LEVEL_TOP, 0, 1, CmdDate},
    {"DATE?", LEVEL_TOP, 0, 0, CmdDateQuery},
    {"DIAG", LEVEL_TOP, 0, 1, CmdDiag},
    {"FLAGBST", LEVEL_DIAG, 0, 0, CmdFlagBst},
    {"FLAGPCC", LEVEL_DIAG, 0, 0, CmdFlagPcc},
    {"ID?", LEVEL_TOP, 1, 0, CmdIdQuery},
    {"READA?", LEVEL_TOP, 0, 1, CmdReadA},
    {"READC?", LEVEL_TOP, 0, 1, CmdReadC},
    {"READT?", LEVEL_TOP, 0, 1, CmdReadT},
    {"REFRESH", LEVEL_DIAG, 0, 0, CmdRefresh},
    {"RELEASE", LEVEL_TOP, 0, 0, CmdRelease},
    {"REPORT", LEVEL_DIAG, 0, 0, CmdReport},
    {"RESETHO", LEVEL_DIAG, 0, 0, CmdResetHo},
    {"SCANBIN", LEVEL_TOP, 0, 0, CmdScanBin},
    {"SCANLAMP", LEVEL_DIAG, 0, 0, CmdScanLamp},
    {"SCANLED", LEVEL_DIAG, 0, 0, CmdScanLed},
    {"SCANMODE", LEVEL_ARGUMENT, 0, 0, nullptr},
    {"SCANTXT", LEVEL_TOP, 0, 0, CmdScanTxt},
    {"SERIAL", LEVEL_TOP, 0, 1, CmdSerial},
    {"SERIAL?", LEVEL_TOP, 0, 0, CmdSerialQuery},
    {"SETFACT", LEVEL_TOP, 0, 1, CmdSetFact},
    {"SETREF", LEVEL_TOP, 0, 0, CmdSetRef},
    {"STDMODE", LEVEL_ARGUMENT, 0, 0, nullptr},
    {"TESTBTN", LEVEL_DIAG, 0, 1, CmdTestBtn},
    {"TESTHO", LEVEL_DIAG, 0, 0, CmdTestHo},
    {"TESTSL", LEVEL_DIAG, 0, 0, CmdTestSl},
    {"TESTWL", LEVEL_DIAG, 0, 0, CmdTestWl},
    {"TIME", LEVEL_TOP, 0, 1, CmdTime},
    {"TIME?", LEVEL_TOP, 0, 0, CmdTimeQuery},
    {"USERMODE", LEVEL_DIAG, 0, 0, CmdUserMode},
};

// The instrument is busy for the PC on a refusing screen, and while a reading
// started from the keypad is under way: the interpreter is polled from that
// reading's wait, and a reading started from there would run inside it and
// cut it short.
bool RemoteRefused()
{
    return gpfnScreenRefusesPc() || gnAcqState != 0;
}

// Replies.

void SendError(int nCode)
{
    char szReply[16];
    std::snprintf(szReply, sizeof szReply, "E%02d\r\n", nCode);
    SerialPutString(szReply);
}

// "E00 " followed by the value and CR LF.
void SendValueReply(const char* pszValue)
{
    SerialPutString("E00 ");
    SerialPutString(pszValue);
    SerialPutString("\r\n");
}

void SendLine(const char* pszText)
{
    SerialPutString(pszText);
    SerialPutString("\r\n");
}

// Argument readers over gszRemoteLine from gbRemoteCursor. Each returns
// ERR_NONE or the error code of the reply.

uint8_t LineByte(uint8_t bAt)
{
    return bAt < gbRemoteLineLen ? static_cast<uint8_t>(gszRemoteLine[bAt]) : 0;
}

bool IsDigit(uint8_t b) { return b >= '0' && b <= '9'; }
bool IsLetter(uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

void SkipSpaces()
{
    while (gbRemoteCursor < gbRemoteLineLen && gszRemoteLine[gbRemoteCursor] == ' ')
        gbRemoteCursor++;
}

// After the spaces: CR LF is where a required argument would be.
bool AtLineEnd() { return LineByte(gbRemoteCursor) == CR; }

// Optional spaces, then exactly one CR and the LF that closes the line.
int RequireLineEnd()
{
    SkipSpaces();
    if (gbRemoteCursor + 2 == gbRemoteLineLen && LineByte(gbRemoteCursor) == CR &&
        LineByte(gbRemoteCursor + 1) == LF)
        return ERR_NONE;
    return ERR_ARGUMENT;
}

// Runs a command's handler; a command without arguments first requires the
// end of the line after its word.
int RunHandler(const RemoteCommand& command)
{
    if (!command.bArguments) {
        int nError = RequireLineEnd();
        if (nError)
            return nError;
    }
    return command.pfnRun();
}

// Reads a command word (letters with an optional "?") and finds it in the
// table by bisection; CMD_COUNT when there is no word or it is not there.
uint8_t ReadWord()
{
    uint8_t bStart = gbRemoteCursor;
    while (IsLetter(LineByte(gbRemoteCursor)))
        gbRemoteCursor++;
    if (gbRemoteCursor == bStart)
        return CMD_COUNT;
    if (LineByte(gbRemoteCursor) == '?')
        gbRemoteCursor++;
    size_t nLength = gbRemoteCursor - bStart;
    const char* pszWord = gszRemoteLine + bStart;

    int nLow = 0;
    int nHigh = CMD_COUNT - 1;
    while (nLow <= nHigh) {
        int nMid = (nLow + nHigh) / 2;
        const char* pszEntry = gRemoteCommands[nMid].pszWord;
        int nOrder = std::strncmp(pszWord, pszEntry, nLength);
        if (nOrder == 0 && pszEntry[nLength] != '\0')
            nOrder = -1;  // the word is a proper prefix of the entry: it sorts first
        if (nOrder == 0)
            return static_cast<uint8_t>(nMid);
        if (nOrder < 0)
            nHigh = nMid - 1;
        else
            nLow = nMid + 1;
    }
    return CMD_COUNT;
}

// Optional sign and decimal digits into a magnitude capped just above
// unLimit; ERR_RANGE when the magnitude exceeds unLimit.
int ReadMagnitude(uint64_t unLimit, uint64_t* punMagnitude, bool* pbNegative)
{
    SkipSpaces();
    if (AtLineEnd())
        return ERR_ARGUMENT;
    uint8_t b = LineByte(gbRemoteCursor);
    *pbNegative = b == '-';
    if (b == '+' || b == '-')
        gbRemoteCursor++;
    if (!IsDigit(LineByte(gbRemoteCursor)))
        return ERR_MALFORMED;
    uint64_t unValue = 0;
    bool bOverflow = false;
    while (IsDigit(LineByte(gbRemoteCursor))) {
        unValue = unValue * 10 + (LineByte(gbRemoteCursor) - '0');
        if (unValue > unLimit) {
            bOverflow = true;
            unValue = unLimit;  // keep consuming the digits without growing
        }
        gbRemoteCursor++;
    }
    if (bOverflow)
        return ERR_RANGE;
    *punMagnitude = unValue;
    return ERR_NONE;
}

int ReadInteger(int32_t* pnValue)
{
    uint64_t unMagnitude = 0;
    bool bNegative = false;
    int nError = ReadMagnitude(2147483648ULL, &unMagnitude, &bNegative);
    if (nError)
        return nError;
    if (!bNegative && unMagnitude > 2147483647ULL)
        return ERR_RANGE;
    *pnValue = bNegative ? static_cast<int32_t>(-static_cast<int64_t>(unMagnitude))
                         : static_cast<int32_t>(unMagnitude);
    return ERR_NONE;
}

// A minus sign is accepted only on zero: a negative number does not fit.
int ReadUnsigned(uint32_t* punValue)
{
    uint64_t unMagnitude = 0;
    bool bNegative = false;
    int nError = ReadMagnitude(4294967295ULL, &unMagnitude, &bNegative);
    if (nError)
        return nError;
    if (bNegative && unMagnitude != 0)
        return ERR_RANGE;
    *punValue = static_cast<uint32_t>(unMagnitude);
    return ERR_NONE;
}

// Optional sign, optional ".", then a digit; digits, a fraction and an
// exponent with digits are taken. The extent is copied before conversion so
// that nothing beyond it is looked at.
int ReadReal(double* pfValue)
{
    SkipSpaces();
    if (AtLineEnd())
        return ERR_ARGUMENT;
    uint8_t bStart = gbRemoteCursor;
    uint8_t bAt = gbRemoteCursor;
    if (LineByte(bAt) == '+' || LineByte(bAt) == '-')
        bAt++;
    if (LineByte(bAt) == '.')
        bAt++;
    if (!IsDigit(LineByte(bAt)))
        return ERR_MALFORMED;
    bAt = static_cast<uint8_t>(bStart + ((LineByte(bStart) == '+' || LineByte(bStart) == '-') ? 1 : 0));
    while (IsDigit(LineByte(bAt)))
        bAt++;
    if (LineByte(bAt) == '.') {
        bAt++;
        while (IsDigit(LineByte(bAt)))
            bAt++;
    }
    if (LineByte(bAt) == 'e' || LineByte(bAt) == 'E') {
        uint8_t bExponent = static_cast<uint8_t>(bAt + 1);
        if (LineByte(bExponent) == '+' || LineByte(bExponent) == '-')
            bExponent++;
        if (IsDigit(LineByte(bExponent))) {
            bAt = bExponent;
            while (IsDigit(LineByte(bAt)))
                bAt++;
        }
    }
    char szNumber[REMOTE_LINE_MAX + 1];
    size_t nLength = bAt - bStart;
    std::memcpy(szNumber, gszRemoteLine + bStart, nLength);
    szNumber[nLength] = '\0';
    double fValue = std::strtod(szNumber, nullptr);
    gbRemoteCursor = bAt;
    if (!std::isfinite(fValue))
        return ERR_RANGE;
    *pfValue = fValue;
    return ERR_NONE;
}

// Exactly two digits, the separator, two digits, the separator, two digits.
int ReadTriple(char cSeparator, uint8_t* pbFields)
{
    SkipSpaces();
    if (AtLineEnd())
        return ERR_ARGUMENT;
    uint8_t bAt = gbRemoteCursor;
    for (int i = 0; i < 3; i++) {
        if (i > 0) {
            if (LineByte(bAt) != static_cast<uint8_t>(cSeparator))
                return ERR_MALFORMED;
            bAt++;
        }
        uint8_t bTens = LineByte(bAt);
        uint8_t bUnits = LineByte(bAt + 1);
        if (!IsDigit(bTens) || !IsDigit(bUnits))
            return ERR_MALFORMED;
        pbFields[i] = static_cast<uint8_t>((bTens - '0') * 10 + (bUnits - '0'));
        bAt = static_cast<uint8_t>(bAt + 2);
    }
    if (IsDigit(LineByte(bAt)))
        return ERR_MALFORMED;  // a field of three digits
    gbRemoteCursor = bAt;
    return ERR_NONE;
}

// dd/mm/yy into day, month, year.
int ReadDate(uint8_t* pbDate)
{
    int nError = ReadTriple('/', pbDate);
    if (nError)
        return nError;
    if (!DateValid(pbDate[0], pbDate[1], pbDate[2]))
        return ERR_RANGE;
    return ERR_NONE;
}

// hh:mm:ss into hour, minute, second.
int ReadTime(uint8_t* pbTime)
{
    int nError = ReadTriple(':', pbTime);
    if (nError)
        return nError;
    if (pbTime[0] > 23 || pbTime[1] > 59 || pbTime[2] > 59)
        return ERR_RANGE;
    return ERR_NONE;
}

// The clock follows the computer's; a date or time handed to it changes nothing.
void SetClock(const uint8_t*) {}

// Readings started by a command.

void ReadingWithTrace(uint8_t bKind)
{
    RemoteTrace("Scanning");
    TakeReading(bKind);
}

// The absorbance at nm clipped to -0.301..2.5 in milli-absorbance, rounded
// half away from zero.
int32_t AbsorbanceMilli(int32_t nNm)
{
    return static_cast<int32_t>(std::lround(Absorbance(nNm) * 1000.0));
}

// Command handlers: read the arguments, require the end of the line, perform.

int CmdControl()
{
    if (RemoteRefused())
        return ERR_BUSY;
    gpfnShowPcControl(1);
    gbRemoteControl = 1;
    return ERR_NONE;
}

int CmdRelease()
{
    gpfnShowPcControl(0);
    gbRemoteControl = 0;
    return ERR_NONE;
}

int CmdIdQuery()
{
    SendValueReply(FIRMWARE_VERSION);
    return RESULT_REPLIED;
}

const char* DataModeName() { return gnDataMode ? "SCANMODE" : "STDMODE"; }

int CmdDataMode()
{
    SkipSpaces();
    if (AtLineEnd())
        return ERR_ARGUMENT;
    uint8_t bWord = ReadWord();
    if (bWord != CMD_STDMODE && bWord != CMD_SCANMODE)
        return ERR_MALFORMED;
    int nError = RequireLineEnd();
    if (nError)
        return nError;
    gnDataMode = bWord == CMD_SCANMODE ? 1 : 0;
    SendValueReply(DataModeName());
    return RESULT_REPLIED;
}

int CmdDataModeQuery()
{
    SendValueReply(DataModeName());
    return RESULT_REPLIED;
}

int CmdSerial()
{
    uint32_t ulSerial = 0;
    int nError = ReadUnsigned(&ulSerial);
    if (nError == ERR_NONE)
        nError = RequireLineEnd();
    if (nError)
        return nError;
    if (ulSerial != gulSerialNumber) {
        gulSerialNumber = ulSerial;
        SaveSerialNumber();
    }
    return ERR_NONE;
}

int CmdSerialQuery()
{
    char szValue[16];
    std::snprintf(szValue, sizeof szValue, "%lu", static_cast<unsigned long>(gulSerialNumber));
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

// DATE and TIME: reads three fields, requires the end of the line, and
// hands the clock with those fields replaced (from nFirst on) to the clock setting.
int SetClockFields(int (*pfnRead)(uint8_t*), int nFirst)
{
    uint8_t abFields[3];
    int nError = pfnRead(abFields);
    if (nError == ERR_NONE)
        nError = RequireLineEnd();
    if (nError)
        return nError;
    uint8_t abClock[6];
    ReadClock(abClock);
    std::memcpy(abClock + nFirst, abFields, 3);
    SetClock(abClock);
    return ERR_NONE;
}

int CmdDate() { return SetClockFields(ReadDate, 0); }

int CmdDateQuery()
{
    uint8_t abClock[6];
    ReadClock(abClock);
    char szValue[16];
    std::snprintf(szValue, sizeof szValue, "%02d/%02d/%02d", abClock[0], abClock[1], abClock[2]);
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

int CmdTime() { return SetClockFields(ReadTime, 3); }

int CmdTimeQuery()
{
    uint8_t abClock[6];
    ReadClock(abClock);
    char szValue[16];
    std::snprintf(szValue, sizeof szValue, "%02d:%02d:%02d", abClock[3], abClock[4], abClock[5]);
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

int CmdSetRef()
{
    ReadingWithTrace(READ_REFERENCE);
    return ERR_NONE;
}

int CmdScanTxt()
{
    ReadingWithTrace(READ_SAMPLE);
    char szValue[16];
    for (int32_t nNm = SPECTRUM_FIRST_NM; nNm <= SPECTRUM_LAST_NM; nNm++) {
        FormatAbsorbance(szValue, sizeof szValue, Absorbance(nNm));
        SendLine(szValue);
    }
    return ERR_NONE;
}

int CmdScanBin()
{
    ReadingWithTrace(READ_SAMPLE);
    char szValue[8];
    for (int32_t nNm = SPECTRUM_FIRST_NM; nNm <= SPECTRUM_LAST_NM; nNm++) {
        std::snprintf(szValue, sizeof szValue, "%03X,", AbsorbanceCode12(AbsorbanceMilli(nNm)));
        SerialPutString(szValue);
    }
    return ERR_NONE;
}

// READA? and READT? take a wavelength of 330..830 nm.
int ReadWavelength(int32_t* pnNm)
{
    int nError = ReadInteger(pnNm);
    if (nError == ERR_NONE)
        nError = RequireLineEnd();
    if (nError)
        return nError;
    if (*pnNm < SPECTRUM_FIRST_NM || *pnNm > SPECTRUM_LAST_NM)
        return ERR_RANGE;
    return ERR_NONE;
}

int CmdReadA()
{
    int32_t nNm = 0;
    int nError = ReadWavelength(&nNm);
    if (nError)
        return nError;
    char szAbsorbance[16];
    FormatAbsorbance(szAbsorbance, sizeof szAbsorbance, Absorbance(nNm));
    char szValue[32];
    std::snprintf(szValue, sizeof szValue, "%s %d", szAbsorbance, static_cast<int>(nNm));
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

int CmdReadT()
{
    int32_t nNm = 0;
    int nError = ReadWavelength(&nNm);
    if (nError)
        return nError;
    char szValue[24];
    std::snprintf(szValue, sizeof szValue, "%d %d", TransmittanceByte(nNm), static_cast<int>(nNm));
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

int CmdReadC()
{
    int32_t nValue = 0;
    int nError = ReadInteger(&nValue);
    if (nError == ERR_NONE)
        nError = RequireLineEnd();
    return nError ? nError : ERR_UNSUPPORTED;
}

int CmdSetFact()
{
    double fFactor = 0;
    int32_t nValue = 0;
    int nError = ReadReal(&fFactor);
    if (nError == ERR_NONE)
        nError = ReadInteger(&nValue);
    if (nError == ERR_NONE)
        nError = RequireLineEnd();
    return nError ? nError : ERR_UNSUPPORTED;
}

int CmdCal()
{
    gunDiagResult = 0;
    RunSelfDiagnostics(&gunDiagResult);
    return ERR_NONE;
}

int CmdCalQuery()
{
    SendSelfTestSummary();
    return ERR_NONE;
}

// DIAG and its sub-commands.

int CmdDiag()
{
    SkipSpaces();
    uint8_t bWord = ReadWord();
    if (bWord == CMD_COUNT || gRemoteCommands[bWord].bLevel != LEVEL_DIAG)
        return ERR_COMMAND;
    return RunHandler(gRemoteCommands[bWord]);
}

int CmdFlagBst()
{
    SetBaseSelfTestInfo(1);
    return ERR_NONE;
}

int CmdFlagPcc()
{
    SetPrintCalCoeff(1);
    return ERR_NONE;
}

int CmdRefresh()
{
    for (DuffPixel& duff : gDuffPixels)
        duff = {-1, 0.0, 0.0};
    gunDiagResult = 0;
    RunSelfDiagnostics(&gunDiagResult);
    return ERR_NONE;
}

int CmdReport()
{
    SendDiagTable();
    return ERR_NONE;
}

int CmdResetHo()
{
    gnHolmiumOffset = 0;
    SaveHolmiumOffset();
    return ERR_NONE;
}

int CmdScanLamp()
{
    ReadingWithTrace(READ_LAMP);
    SendPixelListing();
    return ERR_NONE;
}

int CmdScanLed()
{
    ReadingWithTrace(READ_LED);
    SendPixelListing();
    return ERR_NONE;
}

int CmdTestBtn()
{
    int32_t nButton = 0;
    int nError = ReadInteger(&nButton);
    if (nError == ERR_NONE)
        nError = RequireLineEnd();
    if (nError)
        return nError;
    if (nButton < 0 || nButton > 2)
        return ERR_RANGE;
    return WaitForSample() ? ERR_NONE : RESULT_ABANDONED;
}

int CmdTestHo()
{
    if (!CalibrateHolmium())
        return RESULT_ABANDONED;
    char szValue[16];
    std::snprintf(szValue, sizeof szValue, "%d", static_cast<int>(gnHolmiumOffset));
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

int CmdTestSl()
{
    if (!CalibrateStrayLight())
        return RESULT_ABANDONED;
    char szValue[32];
    std::snprintf(szValue, sizeof szValue, "%g", gfSValue);
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

int CmdTestWl()
{
    if (!CalibrateLed())
        return RESULT_ABANDONED;
    char szValue[16];
    std::snprintf(szValue, sizeof szValue, "%d", static_cast<int>(gnDiagOffset));
    SendValueReply(szValue);
    return RESULT_REPLIED;
}

uint32_t gunUserModeStart = 0;  // firmware ms when the USERMODE wait began
bool UserModeWaitOver() { return ReadElapsedMs() - gunUserModeStart >= USERMODE_WAIT_MS; }

// Replies first, then lets the transmitter drain and 50 ms of firmware time
// pass with the tick services running.
int CmdUserMode()
{
    SerialPutString("E00\r\n");
    while (!SerialTxIdle()) {
        if (FirmwareStopRequested())
            return RESULT_ABANDONED;
        FirmwareYield();
    }
    gunUserModeStart = ReadElapsedMs();
    while (WaitRound(WAIT_TIMERS, UserModeWaitOver)) {
    }
    return UserModeWaitOver() ? RESULT_REPLIED : RESULT_ABANDONED;
}

// Reads the command word and runs its handler; the outcome as the handlers give it.
int RunCommandWord()
{
    SkipSpaces();
    uint8_t bWord = ReadWord();
    if (bWord == CMD_COUNT)
        return ERR_COMMAND;
    const RemoteCommand& command = gRemoteCommands[bWord];
    if (command.bLevel != LEVEL_TOP)
        return ERR_COMMAND;
    if (!command.bAnyMode && !gbRemoteControl)
        return ERR_COMMAND;
    return RunHandler(command);
}

// Runs a complete line; false when its command was abandoned.
bool ExecuteLine()
{
    uint8_t bSavedTraceOn = gbTraceOn;
    gbTraceOn = 1;
    gbTraceSeq = 0;
    int nResult;
    if (gbRemoteOverflow) {
        gbRemoteOverflow = 0;
        nResult = ERR_TOO_LONG;
    } else {
        gszRemoteLine[gbRemoteLineLen] = '\0';
        gbRemoteCursor = 0;
        nResult = RunCommandWord();
    }
    if (nResult >= 0)
        SendError(nResult);
    gbTraceOn = bSavedTraceOn;
    return nResult != RESULT_ABANDONED;
}

void EmptyLine()
{
    gbRemoteLineLen = 0;
    gnRemoteLineState = LINE_START;
}

void Greet()
{
    SerialPutString("HELLO\r\n");
    if (gulSerialNumber != 0) {
        SerialPutString("\r\n");
        SerialPutString(FIRMWARE_VERSION);
        char szSerial[24];
        std::snprintf(szSerial, sizeof szSerial, " S/N %lu\r\n", static_cast<unsigned long>(gulSerialNumber));
        SerialPutString(szSerial);
    }
}

// ^R and ^T: a reading with "PC Control" shown unless the PC already has control.
void ControlCharReading(uint8_t bChar)
{
    if (RemoteRefused())
        return;
    uint8_t bWasControl = gbRemoteControl;
    gbRemoteControl = 1;
    if (!bWasControl)
        gpfnShowPcControl(1);
    if (bChar == CTRL_R) {
        TakeReading(READ_REFERENCE);
        SerialPutString("REF DONE\r\n");
    } else {
        TakeReading(READ_SAMPLE);
        SendTestResult();
        SerialPutString("TEST DONE\r\n");
    }
    if (!bWasControl)
        gpfnShowPcControl(0);
    gbRemoteControl = bWasControl;
}

}  // namespace

bool RemotePoll()
{
    while (!SerialRxEmpty()) {
        uint8_t b = SerialGetChar();
        if (gbRemoteLineLen < REMOTE_LINE_MAX)
            gszRemoteLine[gbRemoteLineLen++] = static_cast<char>(b);
        else
            gbRemoteOverflow = 1;

        switch (gnRemoteLineState) {
        case LINE_START:
            if (b == CTRL_H || b == CTRL_R || b == CTRL_T) {
                if (b == CTRL_H)
                    Greet();
                else
                    ControlCharReading(b);
                EmptyLine();
            } else {
                gnRemoteLineState = b == CR ? LINE_AFTER_CR : LINE_INSIDE;
            }
            break;
        case LINE_INSIDE:
            if (b == CR)
                gnRemoteLineState = LINE_AFTER_CR;
            break;
        default:
            if (b == LF) {
                if (!ExecuteLine())
                    return false;
                EmptyLine();
            } else if (b != CR) {
                gnRemoteLineState = LINE_INSIDE;
            }
            break;
        }
    }
    return true;
}

int RemoteCommandCount() { return CMD_COUNT; }

RemoteCommandInfo RemoteCommandAt(int nIndex)
{
    const RemoteCommand& command = gRemoteCommands[nIndex];
    return {command.pszWord, command.bLevel, command.bAnyMode, command.bArguments};
}

void RemoteReset()
{
    std::memset(gszRemoteLine, 0, sizeof gszRemoteLine);
    gbRemoteLineLen = 0;
    gbRemoteOverflow = 0;
    gnRemoteLineState = LINE_START;
    gbRemoteControl = 0;
    gnDataMode = 0;
    gbTraceSeq = 0;
    gbRemoteCursor = 0;
}

void RemoteInit()
{
    RemoteReset();
    gbTraceOn = 0;
    gbResultCount = 0;
}

void RemotePollWhileReading()
{
    // A reading started by a command line runs inside the interpreter: no second poll.
    if (!gbRemoteControl)
        RemotePoll();
}

void RemoteTrace(const char* pszText)
{
    if (!gbTraceOn)
        return;
    char szNumber[8];
    std::snprintf(szNumber, sizeof szNumber, "+%02d\t", gbTraceSeq);
    SerialPutString(szNumber);
    SerialPutString(pszText);
    SerialPutString("\r\n");
    gbTraceSeq = gbTraceSeq >= 99 ? 0 : static_cast<uint8_t>(gbTraceSeq + 1);
}

void SendTestResult()
{
    uint8_t abClock[6];
    ReadClock(abClock);
    std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "%2.2d,%2.2d,%2.2d,%2.2d,%2.2d,%2.2d,\r\n", abClock[0],
                  abClock[1], abClock[2], abClock[3], abClock[4], gbResultCount);
    SendLineBuffer();
    gbResultCount = gbResultCount >= 99 ? 0 : static_cast<uint8_t>(gbResultCount + 1);

    SendSpectrumPoints(SPECTRUM_FIRST_NM, SPECTRUM_LAST_NM, gbTransmittanceMode != 0);
}

int FormatAbsorbance(char* pszBuffer, size_t nSize, double fValue)
{
    double fMagnitude = std::fabs(fValue);
    int nPrecision = fMagnitude < 9.9995 ? 3 : fMagnitude < 99.995 ? 2 : fMagnitude < 999.95 ? 1 : 0;
    int nLength = std::snprintf(pszBuffer, nSize, "% .*f", nPrecision, fValue);
    if (nSize > 0 && pszBuffer[0] == '-') {
        bool bAllZero = true;
        for (const char* p = pszBuffer + 1; *p; p++)
            if (*p >= '1' && *p <= '9')
                bAllZero = false;
        if (bAllZero)
            pszBuffer[0] = ' ';
    }
    return nLength;
}

unsigned AbsorbanceCode12(int32_t nMilli) { return static_cast<uint32_t>(nMilli) & 0xFFFu; }

// For each pixel: number, dark, light, "-" when light is below dark, the
// magnitude of the difference, the frame count.
void SendPixelListing()
{
    for (int p = 0; p < PIXEL_COUNT; p++) {
        int32_t nDark = gunDarkReadings[p];
        int32_t nLight = gunLightReadings[p];
        int32_t nDifference = nLight - nDark;
        std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "%03X,%04X,%04X,%s%04X,%02X\r\n",
                      static_cast<unsigned>(p), static_cast<unsigned>(nDark), static_cast<unsigned>(nLight),
                      nDifference < 0 ? "-" : "", static_cast<unsigned>(nDifference < 0 ? -nDifference : nDifference),
                      static_cast<unsigned>(gbFrameCounts[p]));
        SendLineBuffer();
    }
}
