// Firmware runtime: thread start and stop, the main loop, host ticks, the
// firmware lock and the bridge forwarding functions.
#include "core/runtime.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "core/bridge.h"
#include "core/timers.h"

uint8_t gbRunPhase = PHASE_RESET;

namespace {

void NoWaitPoll() {}

// The host used before one is attached: the bridge's inert defaults, and a
// yield that lets other threads run.
class NullHost final : public HostBridge {
public:
    void Yield() override { std::this_thread::yield(); }
};

NullHost gNullHost;
HostBridge* gpHost = &gNullHost;

std::recursive_mutex gFirmwareLock;         // the firmware lock
std::atomic<bool> gbStopEventCreated{false};  // the stop event exists
std::atomic<bool> gbStopSignalled{false};     // the stop event is signalled
std::thread gFirmwareThread;                  // runs FirmwareMain
uint32_t gulStartFlag = 1;                    // cleared by the first FirmwareStart

void FirmwareThreadProc()
{
    gpHost->ThreadBegin();
    FirmwareMain();
    gpHost->ThreadEnd();
}

}  // namespace

void (*gpfnWaitPoll)() = NoWaitPoll;

void FirmwareAttachHost(HostBridge* pHost) { gpHost = pHost ? pHost : &gNullHost; }
HostBridge* FirmwareHost() { return gpHost; }

void FirmwareStart()
{
    if (!gulStartFlag)
        return;
    gulStartFlag = 0;
    gbStopSignalled.store(false);
    gbStopEventCreated.store(true);
    gFirmwareThread = std::thread(FirmwareThreadProc);
}

bool FirmwareThreadActive() { return gFirmwareThread.joinable(); }

int FirmwareStop()
{
    if (!gbStopEventCreated.load())
        return 1;
    gbStopSignalled.store(true);
    gpHost->StopRequested();
    if (gFirmwareThread.joinable())
        gFirmwareThread.join();
    gbStopEventCreated.store(false);
    return 1;
}

uint8_t NextRunPhase(uint8_t bPhase)
{
    if (bPhase == PHASE_RESET)
        return PHASE_INIT;
    if (bPhase == PHASE_INIT)
        return PHASE_RUN;
    return bPhase;
}

void ConsumeHostTicks()
{
    while (gpHost->PendingTicks() > 0) {
        for (int i = 0; i < 50; i++) {
            TickHandler();
            if (gbAcqClockOn)
                AcqClockTick();
        }
        gpHost->ConsumePendingTick();
    }
}

bool WaitRound(uint8_t bServe, bool (*pfnDone)())
{
    if (bServe & WAIT_TIMERS)
        TimerService(gbRunPhase);
    if (bServe & WAIT_KEYS)
        PollKeys(gbRunPhase);
    ConsumeHostTicks();
    if ((pfnDone && pfnDone()) || FirmwareStopRequested())
        return false;
    FirmwareYield();
    if (FirmwareStopRequested())
        return false;
    if (bServe & WAIT_REMOTE)
        gpfnWaitPoll();
    return true;
}

// Bridge forwarding.

int HostKeyIsDown(uint8_t bKey) { return gpHost->KeyIsDown(bKey) ? 1 : 0; }
// The drawing layer does not clip, so a line or character reaching past the
// bottom row produces addresses beyond the display memory: those writes are
// dropped and those reads give 0, whatever the host keeps.
void LcdWriteByte(uint16_t unAddress, uint8_t bValue)
{
    if (unAddress >= LCD_GRAPHIC_BASE && unAddress < LCD_MEMORY_END)
        gpHost->LcdWrite(unAddress, bValue);
}

uint8_t LcdReadByte(uint16_t unAddress)
{
    if (unAddress < LCD_GRAPHIC_BASE || unAddress >= LCD_MEMORY_END)
        return 0;
    return gpHost->LcdRead(unAddress);
}

void LcdRefresh()
{
    if (FirmwareStopRequested())
        return;
    gpHost->LcdRefresh();
}

int FirmwareStopRequested() { return gbStopEventCreated.load() && gbStopSignalled.load() ? 1 : 0; }
void FirmwareYield() { gpHost->Yield(); }

uint16_t FirmwareLock()
{
    gFirmwareLock.lock();
    return 0;
}

void FirmwareUnlock(uint16_t)
{
    gFirmwareLock.unlock();
}

void I2cSetScl(int nLevel) { gpHost->I2cSetScl(nLevel ? 1 : 0); }
void I2cSetSda(int nLevel) { gpHost->I2cSetSda(nLevel ? 1 : 0); }
int I2cGetScl() { return gpHost->I2cGetScl(); }
int I2cGetSda() { return gpHost->I2cGetSda(); }
