// The top layer: the power-up order, the main loop and the hooks.
#include "app/app.h"

#include "app/probe.h"
#include "comms/analogue.h"
#include "comms/remote.h"
#include "comms/report.h"
#include "core/clock.h"
#include "core/heater.h"
#include "core/runtime.h"
#include "core/serial.h"
#include "core/timers.h"
#include "display/lcd.h"
#include "display/script.h"
#include "measure/calib.h"
#include "measure/measure_hooks.h"
#include "measure/reading.h"
#include "storage/i2c.h"
#include "storage/params.h"
#include "storage/rtc.h"
#include "ui/ui.h"

namespace {

void InstrumentStep(uint8_t bPhase)
{
    if (bPhase == PHASE_INIT)
        PowerUpInstrument();
    UserInterfaceStep(bPhase);
}

UiStepFunction gpfnStep = InstrumentStep;  // set only while the firmware thread is not running

}  // namespace

void WireHooks()
{
    gpfnArrowKeysRepeat = ShownStateArrowsRepeat;
    gpfnTickService = AnalogueTick;
    gpfnWaitPoll = RemotePollWhileReading;
    gpfnTraceLine = RemoteTrace;
    gpfnSampleWaitNotice = SampleWaitNotice;
    gpfnCalibrationStep = ShowCalibrationStep;
    gpfnScreenRefusesPc = ScreenRefusesPc;
    gpfnShowPcControl = ShowPcControl;
    gpfnClockChipRead = ClockChipRead;
    gpfnClockChipWrite = ClockChipWrite;
}

void PowerUpInstrument()
{
    gunPixelClock = 300;
    LcdInit();
    I2cPowerUp();
    ResetElapsedMs();
    ResetReadingCorrections();
    ResetAcquisition();
    RemoteInit();
    AnalogueInit();
    ReportInit();
}

void FirmwareMain()
{
    WireHooks();
    gbRunPhase = PHASE_RESET;
    for (;;) {
        gbRunPhase = NextRunPhase(gbRunPhase);
        SerialPowerUp(gbRunPhase);
        TimerService(gbRunPhase);
        PollKeys(gbRunPhase);
        gpfnStep(gbRunPhase);
        ConsumeHostTicks();
        if (FirmwareStopRequested())
            return;
        FirmwareYield();
    }
}

void FirmwareSetUiStep(UiStepFunction pfnStep) { gpfnStep = pfnStep ? pfnStep : InstrumentStep; }

uint8_t ProbeScreenState() { return gunScreenState; }
bool ProbeRemoteBusy() { return gbTraceOn != 0 || gnAcqState != 0; }
uint8_t ProbeOutputDevice() { return gbOutputDevice; }
int32_t ProbeScaleOffset() { return gnHolmiumOffset + gnDiodeArrayOffset; }
void ProbeDrawScript(const char* pszScript) { DisplayScript(pszScript); }

void ProbeLinearity(double afCoeff[4])
{
    afCoeff[0] = gfLinA0;
    afCoeff[1] = gfLinA1;
    afCoeff[2] = gfLinA2;
    afCoeff[3] = gfLinScale;
}

void FitCellHeater(bool bFitted)
{
    gbHeaterOn.store(0, std::memory_order_relaxed);
    gbHeaterFitted.store(bFitted ? 1 : 0, std::memory_order_relaxed);
}

bool ProbeHeaterFitted() { return gbHeaterFitted.load(std::memory_order_relaxed) != 0; }
bool ProbeCellHeated() { return HeaterHeating(); }
