// Fuzzes the remote command interpreter through the instrument's real
// receive path: bytes go into the receive queue and the firmware thread's
// poll takes them. The first byte of an input chooses the mode the
// instrument is in: local (after RELEASE), under the PC's control (after
// CONTROL), or under control with the operator pressing TEST whenever a
// command waits for a sample. Checked for every input: each poll returns,
// at the latest when the operator presses the standby key (no hang), the
// line assembly stays inside its buffer, and the EEPROM file is still a
// whole image.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "comms/remote.h"
#include "core/runtime.h"
#include "headless_host.h"
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

CHeadlessHost* gpHost = nullptr;
std::string gsEepromPath;  // the instrument's eeprom.bin, in a scratch directory

// Sends up to 64 bytes (the receive queue) and runs the firmware until the
// poll that takes them returns; traps when it does not return after the
// standby key.
void Converse(std::string_view sBytes, bool bPressTest)
{
    uint32_t unBefore = remote_test::gunPollsDone.load();
    gpHost->Inject(sBytes);
    uint32_t unTicks = 0;
    while (remote_test::gunPollsDone.load() == unBefore) {
        unTicks++;
        if (unTicks > OPERATOR_PATIENCE_TICKS + ABANDON_TICKS)
            __builtin_trap();
        if (unTicks > OPERATOR_PATIENCE_TICKS)
            gpHost->SetKey(KEY_STANDBY, (unTicks & 2) != 0);
        else if (bPressTest)
            gpHost->SetKey(KEY_TEST, (unTicks & 2) != 0);
        gpHost->Tick();
    }
    gpHost->SetKey(KEY_TEST, false);
    gpHost->SetKey(KEY_STANDBY, false);
    if (gbRemoteLineLen > REMOTE_LINE_MAX)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char acDir[] = "/tmp/halden-remote-fuzz-XXXXXX";
    if (mkdtemp(acDir) == nullptr)
        std::abort();
    gsEepromPath = std::string(acDir) + "/eeprom.bin";
    CHeadlessHost::Options options;
    options.sEepromPath = gsEepromPath;
    static CHeadlessHost host(options);
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
    int nMode = pbData[0] % 3;
    // A fresh line, then the mode.
    Converse("\r\n", false);
    Converse(nMode == 0 ? "RELEASE\r\n" : "CONTROL\r\n", false);
    std::string_view sInput(reinterpret_cast<const char*>(pbData + 1), nSize - 1);
    while (!sInput.empty()) {
        std::string_view sChunk = sInput.substr(0, 64);
        sInput.remove_prefix(sChunk.size());
        Converse(sChunk, nMode == 2);
    }
    gpHost->ClearSerialText();
    struct stat st;
    if (stat(gsEepromPath.c_str(), &st) != 0 || st.st_size != EEPROM_SIZE)
        __builtin_trap();
    return 0;
}
