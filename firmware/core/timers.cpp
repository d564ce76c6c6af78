// Firmware time and the keypad scan.
#include "core/timers.h"

#include "core/bridge.h"

uint8_t gbKeyHeld = 0;
uint8_t gbKeyEvent = 0;
uint8_t gbLastKey = 0;
uint8_t gbRepeatCount = 0;
uint8_t gbFastRepeat = 0;

uint8_t gbElapsedTicks = 0;
uint32_t gunElapsedMs = 0;
uint8_t gbTickServicesEnabled = 0;
uint16_t gunStopwatchA = 0;
uint16_t gunStopwatchB = 0;
uint8_t gbI2cTimeoutsOn = 0;
uint16_t gunAcqClock = 0;
uint8_t gbAcqClockOn = 0;
int32_t gnTimerDivider = 0;

uint32_t gunKeyRepeatTimer = 0;
uint32_t gunScreenTimer = 0;
uint32_t gunMessageTimer = 0;
uint32_t gunProgressTimer = 0;

namespace {

// Order in which the key readers are asked: reference first, standby last.
constexpr uint8_t kabKeyPriority[KEY_COUNT] = {
    KEY_REF, KEY_TEST, KEY_ESCAPE, KEY_UP, KEY_DOWN, KEY_LEFT,
    KEY_RIGHT, KEY_SOFT1, KEY_SOFT2, KEY_SOFT3, KEY_SOFT4, KEY_STANDBY};

bool ArrowKey(uint8_t bKey)
{
    return bKey == KEY_UP || bKey == KEY_DOWN || bKey == KEY_LEFT || bKey == KEY_RIGHT;
}

bool NoArrowRepeat() { return false; }
void NoTickService() {}

}  // namespace

bool (*gpfnArrowKeysRepeat)() = NoArrowRepeat;
void (*gpfnTickService)() = NoTickService;

void TickHandler()
{
    gbElapsedTicks++;
    gunElapsedMs++;
    if (gbTickServicesEnabled) {
        StopwatchTick();
        gpfnTickService();
    }
}

void TimerService(uint8_t bPhase)
{
    uint16_t unSaved = FirmwareLock();
    uint8_t bTicks = gbElapsedTicks;
    gbElapsedTicks = 0;
    FirmwareUnlock(unSaved);

    if (bPhase == 1) {
        gnTimerDivider = 0;
        return;
    }
    if (bTicks == 0)
        return;
    gnTimerDivider -= bTicks;
    if (gnTimerDivider > 0)
        return;
    gnTimerDivider += 50;
    CountDown(&gunKeyRepeatTimer, 1);
    CountDown(&gunScreenTimer, 1);
    CountDown(&gunMessageTimer, 1);
    CountDown(&gunProgressTimer, 1);
}

void PollKeys(uint8_t bPhase)
{
    if (bPhase == 1 || gbKeyHeld > KEY_COUNT) {
        ResetKeys();
        return;
    }
    if (gbKeyHeld == 0) {
        for (uint8_t bKey : kabKeyPriority) {
            if (HostKeyIsDown(bKey)) {
                KeyPressed(bKey);
                gbKeyHeld = bKey;
                return;
            }
        }
        return;
    }
    if (!HostKeyIsDown(gbKeyHeld))
        gbKeyHeld = 0;
    else
        AutoRepeat();
}

uint8_t GetKey()
{
    uint8_t bKey = gbKeyEvent;
    gbKeyEvent = 0;
    return bKey;
}

void ResetKeys()
{
    gbKeyHeld = 0;
    gbKeyEvent = 0;
    gbLastKey = 0;
}

void KeyPressed(uint8_t bKey)
{
    gbFastRepeat = 0;
    gbKeyEvent = bKey;
    gbLastKey = bKey;
    gbRepeatCount = 5;
    gunKeyRepeatTimer = 5;
}

void AutoRepeat()
{
    if (!gpfnArrowKeysRepeat() || !ArrowKey(gbLastKey) || gunKeyRepeatTimer != 0)
        return;
    gbKeyEvent = gbLastKey;
    if (gbRepeatCount != 0) {
        gbRepeatCount--;
        gunKeyRepeatTimer = 2;
    } else {
        gbFastRepeat = 1;
        gunKeyRepeatTimer = 3;
    }
}

void StopwatchInit()
{
    uint16_t unSaved = FirmwareLock();
    gbI2cTimeoutsOn = 1;
    gunStopwatchA = 0;
    gunStopwatchB = 0;
    FirmwareUnlock(unSaved);
}

void StopwatchTick()
{
    gunStopwatchA++;
    gunStopwatchB++;
}

void AcqClockStart()
{
    uint16_t unSaved = FirmwareLock();
    gunAcqClock = 0;
    gbAcqClockOn = 1;
    FirmwareUnlock(unSaved);
}

void AcqClockStop()
{
    uint16_t unSaved = FirmwareLock();
    gbAcqClockOn = 0;
    FirmwareUnlock(unSaved);
}

uint16_t AcqClockTake()
{
    uint16_t unSaved = FirmwareLock();
    uint16_t unTicks = gunAcqClock;
    gunAcqClock = 0;
    FirmwareUnlock(unSaved);
    return unTicks;
}

void AcqClockTick() { gunAcqClock++; }

uint32_t ReadElapsedMs()
{
    uint16_t unSaved = FirmwareLock();
    uint32_t unMs = gunElapsedMs;
    FirmwareUnlock(unSaved);
    return unMs;
}

void ResetElapsedMs()
{
    uint16_t unSaved = FirmwareLock();
    gunElapsedMs = 0;
    FirmwareUnlock(unSaved);
}

void ConsumeElapsedMs(uint32_t unMs)
{
    uint16_t unSaved = FirmwareLock();
    gunElapsedMs -= unMs;
    FirmwareUnlock(unSaved);
}

void CountDown(uint32_t* punTimer, uint8_t n)
{
    if (*punTimer == 0)
        return;
    uint32_t unLeft = *punTimer - n;
    *punTimer = static_cast<int32_t>(unLeft) < 0 ? 0 : unLeft;
}
