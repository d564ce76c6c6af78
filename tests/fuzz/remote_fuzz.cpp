// Fuzzes the remote command interpreter through the instrument's real
// receive path: bytes go into the receive queue and the firmware thread's
// poll takes them. The first byte of an input chooses the mode the
// instrument is in: local (after RELEASE), under the PC's control (after
// CONTROL), or under control with the operator pressing TEST whenever a
// command waits for a sample.
//
// The rest is sent as the interpreter divides it: a control character at
// the start of a line, or a line up to the LF that completes it; readings
// by control character beyond the second are left out. Checked
// for every piece: the poll that takes it returns, at the latest when the
// operator presses the standby key (no hang); a complete line gets exactly
// one reply ("E%02d"), none when the standby key abandoned it, and a
// control character or an unfinished line gets none; a line answered with
// an error changes no stored setting and not the data mode; the line
// assembly stays inside its buffer; the EEPROM file stays a whole image.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "comms/remote.h"
#include "core/serial.h"
#include "app/probe.h"
#include "core/runtime.h"
#include "eeprom.h"
#include "fuzz_scratch.h"
#include "instrument.h"
#include "measure/reading.h"
#include "storage/i2c.h"
#include "storage/params.h"
#include "support/remote_step.h"
#include "ui/ui.h"

namespace {

// A command that waits for the operator (a sample for the PC, a key) waits
// as long as nobody acts. After a minute of firmware time the operator
// presses the standby key, which must end any wait at once.
constexpr uint32_t OPERATOR_PATIENCE_TICKS = 1200;
constexpr uint32_t ABANDON_TICKS = 200;

// A ^R or ^T is a whole reading, and ^T sends its spectrum as well: a
// thousand times the work of a command line. The fuzzer readily makes
// inputs of dozens of them, which only repeat one another, so an input
// sends its first two (a reference and a sample) and leaves out the rest.
constexpr int READINGS_PER_INPUT = 2;

CInstrument* gpHost = nullptr;
std::string gsEepromPath;  // the instrument's eeprom.bin, in a scratch directory

void Require(bool bHolds)
{
    if (!bHolds)
        __builtin_trap();
}

// Sends up to 64 bytes (the receive queue) and runs the firmware until the
// polls have taken them all, each poll in one run of ticks; traps when a
// poll does not return after the standby key. (A poll abandoned by the
// standby key leaves what follows its line in the queue for the next.)
void Converse(std::string_view sBytes, bool bPressTest)
{
    gpHost->Inject(sBytes);
    do {
        const uint32_t unBefore = remote_test::gunPollsDone.load();
        uint32_t unTicks = 0;
        bool bPolled = gpHost->TickUntil(OPERATOR_PATIENCE_TICKS + ABANDON_TICKS, [&] {
            if (remote_test::gunPollsDone.load() != unBefore)
                return true;
            unTicks++;
            if (unTicks > OPERATOR_PATIENCE_TICKS)
                gpHost->SetKey(KEY_STANDBY, (unTicks & 2) != 0);
            else if (bPressTest)
                gpHost->SetKey(KEY_TEST, (unTicks & 2) != 0);
            return false;
        });
        Require(bPolled);
        gpHost->SetKey(KEY_TEST, false);
        gpHost->SetKey(KEY_STANDBY, false);
        Require(gbRemoteLineLen <= REMOTE_LINE_MAX);
    } while (gpHost->ReceiveRoom() < RX_RING_SIZE);
}

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDecimal(c) || (c >= 'A' && c <= 'F'); }

// Whether a line of output (without its CR LF) is a command's reply: "E"
// and two digits, alone or with a space and a value; or the SCANBIN line,
// whose 501 points ("%03X,") are followed directly by its reply.
bool IsReply(std::string_view sLine, bool* pbError)
{
    if (sLine.size() >= 3 && sLine[0] == 'E' && IsDecimal(sLine[1]) && IsDecimal(sLine[2]) &&
        (sLine.size() == 3 || sLine[3] == ' ')) {
        *pbError = sLine.substr(1, 2) != "00";
        return true;
    }
    if (sLine.size() < 7 || sLine[sLine.size() - 4] != ',' || (sLine.size() - 3) % 4 != 0)
        return false;
    for (size_t i = 0; i + 3 < sLine.size(); i += 4)
        if (!IsHexDigit(sLine[i]) || !IsHexDigit(sLine[i + 1]) || !IsHexDigit(sLine[i + 2]) || sLine[i + 3] != ',')
            return false;
    std::string_view sReply = sLine.substr(sLine.size() - 3);
    if (sReply[0] != 'E' || !IsDecimal(sReply[1]) || !IsDecimal(sReply[2]))
        return false;
    *pbError = sReply.substr(1) != "00";
    return true;
}

// Replies in the output; *pbError tells whether the last one was an error.
int CountReplies(std::string_view sOutput, bool* pbError)
{
    int nReplies = 0;
    *pbError = false;
    for (size_t nEnd; (nEnd = sOutput.find("\r\n")) != std::string_view::npos; sOutput.remove_prefix(nEnd + 2))
        if (IsReply(sOutput.substr(0, nEnd), pbError))
            nReplies++;
    return nReplies;
}

// How the interpreter divides its input: the length of the next piece, and
// whether it completes a line (a control character at the start of a line
// completes none). *pnState carries the line state across pieces: 0 at the
// start of a line, 1 inside one, 2 after a CR.
size_t NextPiece(std::string_view sInput, int* pnState, bool* pbLine)
{
    *pbLine = false;
    if (*pnState == 0 && (sInput[0] == 0x08 || sInput[0] == 0x12 || sInput[0] == 0x14))
        return 1;
    for (size_t i = 0; i < sInput.size(); i++) {
        char c = sInput[i];
        if (*pnState == 2 && c == '\n') {
            *pnState = 0;
            *pbLine = true;
            return i + 1;
        }
        *pnState = c == '\r' ? 2 : 1;
    }
    return sInput.size();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gsEepromPath = fuzz_scratch::EepromFile("remote");
    CInstrument::Options options;
    options.sEepromPath = gsEepromPath;
    static CInstrument host(options);
    gpHost = &host;
    FirmwareSetUiStep(remote_test::RemoteStep);
    host.PowerUp();
    host.Tick();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbData, size_t nSize)
{
    if (nSize == 0)
        return 0;
    const int nMode = pbData[0] % 3;
    // Ends whatever line the last input left open, then sets the mode.
    Converse(nMode == 0 ? "\r\nRELEASE\r\n" : "\r\nCONTROL\r\n", false);

    static std::array<uint8_t, EEPROM_SIZE> abStored;
    const CEeprom& eeprom = gpHost->Bus().Eeprom();
    std::string_view sInput(reinterpret_cast<const char*>(pbData + 1), nSize - 1);
    int nLineState = 0;
    int nReadings = 0;
    while (!sInput.empty()) {
        bool bLine = false;
        std::string_view sPiece = sInput.substr(0, NextPiece(sInput, &nLineState, &bLine));
        sInput.remove_prefix(sPiece.size());
        if (nLineState == 0 && !bLine && (sPiece[0] == 0x12 || sPiece[0] == 0x14) &&
            ++nReadings > READINGS_PER_INPUT)
            continue;

        abStored = eeprom.Memory();
        const int32_t nDataMode = gnDataMode;
        const uint32_t unAbandoned = remote_test::gunPollsAbandoned.load();
        gpHost->ClearSerialText();
        for (size_t i = 0; i < sPiece.size(); i += RX_RING_SIZE)
            Converse(sPiece.substr(i, RX_RING_SIZE), nMode == 2);

        bool bError = false;
        int nReplies = CountReplies(gpHost->SerialText(), &bError);
        bool bAbandoned = remote_test::gunPollsAbandoned.load() != unAbandoned;
        Require(nReplies == (bLine && !bAbandoned ? 1 : 0));
        if (bError)
            Require(abStored == eeprom.Memory() && gnDataMode == nDataMode);
        if (bAbandoned)
            nLineState = 0;  // the interpreter dropped the line
    }
    gpHost->ClearSerialText();
    struct stat st;
    Require(stat(gsEepromPath.c_str(), &st) == 0 && st.st_size == EEPROM_SIZE);
    return 0;
}
