// The remote command protocol on the serial port.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr const char* FIRMWARE_VERSION = "Q4K7 V1.0";
constexpr int REMOTE_LINE_MAX = 32;  // longest command line, CR LF included

extern uint8_t gbRemoteControl;  // 1 while the PC has control; also around a ^R or ^T reading
extern int32_t gnDataMode;       // 0 STDMODE, 1 SCANMODE
extern uint8_t gbTraceOn;        // 1 while a command line executes
extern uint8_t gbTraceSeq;       // number of the next trace line, 0..99
extern uint8_t gbResultCount;    // header counter of the ^T result block, 0..99

// Line assembly.
extern char gszRemoteLine[REMOTE_LINE_MAX + 1];  // the line being assembled, CR and LF included
extern uint8_t gbRemoteLineLen;                  // bytes in gszRemoteLine, 0..32
extern uint8_t gbRemoteOverflow;                 // a byte arrived with the line already full
extern int32_t gnRemoteLineState;                // 0 line start, 1 inside a line, 2 after a CR

// Consumes every waiting byte; false when a command was abandoned by the standby key.
bool RemotePoll();
void RemoteInit();
void RemoteReset();
// Sends "+NN\t" TEXT "\r\n" while a command line executes.
void RemoteTrace(const char* pszText);
// RemotePoll, unless the PC has control (a reading started by a command
// waits inside the interpreter).
void RemotePollWhileReading();

// What the interpreter needs from the screens, wired by the user interface
// when it initialises: whether the screen shown refuses PC control, and
// showing (1) or leaving (0) the "PC Control" screen. Until wired, no screen
// refuses and nothing is shown.
extern bool (*gpfnScreenRefusesPc)();
extern void (*gpfnShowPcControl)(uint8_t bOn);
void SendTestResult();

// The absorbance number format shared with the reports: "% .*f" with 3
// decimals below 9.9995 in magnitude, 2 below 99.995, 1 below 999.95, else 0;
// a negative zero is written with a space. Returns the length snprintf gives.
int FormatAbsorbance(char* pszBuffer, size_t nSize, double fValue);
// Milli-absorbance as three hexadecimal digits: its low 12 bits (two's complement).
unsigned AbsorbanceCode12(int32_t nMilli);
// The command table as the protocol reference lists it: the word, where it
// is a command (REMOTE_LEVEL_*), whether it works without control mode and
// whether its handler reads arguments after the word.
constexpr uint8_t REMOTE_LEVEL_TOP = 0;       // a command of its own
constexpr uint8_t REMOTE_LEVEL_DIAG = 1;      // a sub-command of DIAG
constexpr uint8_t REMOTE_LEVEL_ARGUMENT = 2;  // only an argument of DATAMODE
struct RemoteCommandInfo {
    const char* pszWord;
    uint8_t bLevel;
    uint8_t bAnyMode;
    uint8_t bArguments;
};
int RemoteCommandCount();
// Entry nIndex (0..RemoteCommandCount()-1) in table order.
RemoteCommandInfo RemoteCommandAt(int nIndex);
// One line per pixel of the last reading: "%03X,%04X,%04X," pixel, dark and
// light, "-" when light is below dark, "%04X,%02X" |light - dark| and frames.
void SendPixelListing();
