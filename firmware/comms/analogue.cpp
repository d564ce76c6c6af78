// Analogue (chart-recorder) output engine: conversions, the live queue, the
// ramp, scan record and playback, and the per-tick trace.
#include "comms/analogue.h"

#include <cmath>

#include "measure/reading.h"

uint16_t gunAnaOutput = 65535;
int32_t gnAnaMode = ANA_DIRECT;
uint32_t gnAnaPeriod = 0;
uint32_t gnAnaElapsed = 0;
uint32_t gnAnaRate = 0;
uint16_t gunAnaScan[ANA_SCAN_POINTS];
uint16_t gunAnaScanWrite = 0;
uint16_t gunAnaScanRead = 0;
uint16_t gunAnaScanCount = 0;
AnaTarget gAnaQueue[ANA_QUEUE_SIZE];
uint8_t gbAnaQueueWrite = 0;
uint8_t gbAnaQueueRead = 0;
uint8_t gbAnaQueueCount = 0;
AnaRamp gAnaRamp;
SerialSink* gpAnaTrace = nullptr;

namespace {

constexpr double ANA_FULL_SCALE = 65535.0;
constexpr double ANA_COUNTS_PER_UNIT = ANA_FULL_SCALE / 5.0;  // one absorbance unit, or 100 %T

uint16_t LimitOutput(double fValue)
{
    if (fValue > ANA_FULL_SCALE)
        return 65535;
    if (fValue >= 0.0)
        return static_cast<uint16_t>(std::round(fValue));
    return 0;  // below zero, and a value that is not a number
}

void SetOutput(uint16_t unValue)
{
    if (unValue != gunAnaOutput)
        gunAnaOutput = unValue;
}

void StartRamp(uint16_t unTarget, uint32_t unTicks)
{
    if (unTicks == 0)
        unTicks = 1;  // a ramp of no length: the target is set on the next step
    uint32_t unDelta;
    if (unTarget >= gunAnaOutput) {
        gAnaRamp.nDirection = 1;
        unDelta = static_cast<uint32_t>(unTarget - gunAnaOutput);
    } else {
        gAnaRamp.nDirection = -1;
        unDelta = static_cast<uint32_t>(gunAnaOutput - unTarget);
    }
    gAnaRamp.unStep = static_cast<uint16_t>(unDelta / unTicks);
    gAnaRamp.unRemainder = unDelta % unTicks;
    gAnaRamp.unAccumulator = unTicks / 2;
    gAnaRamp.unDivisor = unTicks;
    gAnaRamp.unCountdown = unTicks - 1;
}

void RampTick()
{
    gAnaRamp.unCountdown--;
    gAnaRamp.unAccumulator += gAnaRamp.unRemainder;
    int32_t nMove = gAnaRamp.unStep;
    if (gAnaRamp.unAccumulator >= gAnaRamp.unDivisor) {
        gAnaRamp.unAccumulator -= gAnaRamp.unDivisor;
        nMove++;
    }
    SetOutput(static_cast<uint16_t>(gunAnaOutput + gAnaRamp.nDirection * nMove));
}

void PlaybackTick()
{
    if (gAnaRamp.unCountdown > 0) {
        RampTick();
        return;
    }
    if (gunAnaScanCount == 0) {  // nothing stored: the playback is over at once
        gnAnaMode = ANA_DIRECT;
        return;
    }
    SetOutput(gunAnaScan[gunAnaScanRead]);
    gunAnaScanRead = static_cast<uint16_t>((gunAnaScanRead + 1) % ANA_SCAN_POINTS);
    gunAnaScanCount--;
    if (gunAnaScanCount == 0)
        gnAnaMode = ANA_DIRECT;
    else
        StartRamp(gunAnaScan[gunAnaScanRead], gnAnaRate);
}

void LiveTick()
{
    if (gnAnaElapsed < gnAnaPeriod)
        gnAnaElapsed++;
    if (gAnaRamp.unCountdown > 0) {
        RampTick();
        return;
    }
    if (gbAnaQueueCount == 0) {
        if (gnAnaMode == ANA_DRAINING)
            gnAnaMode = ANA_DIRECT;
        return;
    }
    AnaTarget& head = gAnaQueue[gbAnaQueueRead];
    if (head.unTicks > 0) {  // the head waits out the interval before it
        head.unTicks--;
        return;
    }
    SetOutput(head.unValue);
    if (gbAnaQueueCount >= 2) {
        gbAnaQueueRead = static_cast<uint8_t>((gbAnaQueueRead + 1) % ANA_QUEUE_SIZE);
        gbAnaQueueCount--;
        AnaTarget& next = gAnaQueue[gbAnaQueueRead];
        StartRamp(next.unValue, next.unTicks);
        next.unTicks = 0;  // the ramp's end sets the value exactly
    } else if (gnAnaMode == ANA_DRAINING) {
        gnAnaMode = ANA_DIRECT;
    }
}

// The output in decimal and a line feed, once a millisecond while a
// recorder is connected: the digits are made here rather than by a printf,
// which would be most of what the recorder costs.
void WriteTrace()
{
    char acDigits[5];  // 65535 at most
    unsigned unValue = gunAnaOutput;
    int n = 0;
    do {
        acDigits[n++] = static_cast<char>('0' + unValue % 10);
        unValue /= 10;
    } while (unValue != 0);
    while (n > 0)
        gpAnaTrace->Write(static_cast<uint8_t>(acDigits[--n]));
    gpAnaTrace->Write('\n');
}

void RecordPoint(uint16_t unValue)
{
    uint16_t unSaved = FirmwareLock();
    if (gunAnaScanCount < ANA_SCAN_POINTS) {
        gunAnaScan[gunAnaScanWrite] = unValue;
        gunAnaScanWrite = static_cast<uint16_t>((gunAnaScanWrite + 1) % ANA_SCAN_POINTS);
        gunAnaScanCount++;
    }
    FirmwareUnlock(unSaved);
}

}  // namespace

void AnalogueInit()
{
    uint16_t unSaved = FirmwareLock();
    gnAnaMode = ANA_DIRECT;
    gnAnaPeriod = 0;
    gnAnaElapsed = 0;
    gnAnaRate = 0;
    for (uint16_t& un : gunAnaScan)
        un = 0;
    gunAnaScanWrite = gunAnaScanRead = gunAnaScanCount = 0;
    for (AnaTarget& target : gAnaQueue)
        target = AnaTarget{0, 0};
    gbAnaQueueWrite = gbAnaQueueRead = gbAnaQueueCount = 0;
    gAnaRamp = AnaRamp{0, 1, 0, 0, 0, 1};
    gunAnaOutput = 65535;
    gpAnaTrace = FirmwareHost()->AnalogueTrace();
    FirmwareUnlock(unSaved);
}

uint16_t AbsorbanceToOutput(double fAbsorbance)
{
    return LimitOutput(ANA_FULL_SCALE - (fAbsorbance + 1.0) * ANA_COUNTS_PER_UNIT);
}

uint16_t TransmittanceToOutput(double fPercent)
{
    return LimitOutput(ANA_FULL_SCALE - (fPercent / 100.0) * ANA_COUNTS_PER_UNIT);
}

void AnalogueWrite(uint16_t unValue)
{
    uint16_t unSaved = FirmwareLock();
    if (gnAnaMode == ANA_LIVE) {
        if (gnAnaElapsed == 0) {
            // A second value within the same tick lands in the slot that is
            // not queued yet; the value already queued stays the target.
            gAnaQueue[gbAnaQueueWrite].unValue = unValue;
        } else if (gbAnaQueueCount < ANA_QUEUE_SIZE) {
            gAnaQueue[gbAnaQueueWrite] = AnaTarget{unValue, gnAnaElapsed};
            gbAnaQueueWrite = static_cast<uint8_t>((gbAnaQueueWrite + 1) % ANA_QUEUE_SIZE);
            gbAnaQueueCount++;
            gnAnaElapsed = 0;
        }
    } else {
        gnAnaMode = ANA_DIRECT;
        SetOutput(unValue);
    }
    FirmwareUnlock(unSaved);
}

void AnalogueOutputResult(uint8_t bKind, int32_t nNm)
{
    if (bKind == 0)
        AnalogueWrite(AbsorbanceToOutput(Absorbance(nNm)));
    else
        AnalogueWrite(TransmittanceToOutput(TransmittanceByte(nNm)));
}

void AnalogueStartLive(uint32_t unPeriod)
{
    uint16_t unSaved = FirmwareLock();
    gnAnaMode = ANA_LIVE;
    gnAnaPeriod = unPeriod;
    gnAnaElapsed = unPeriod;
    gAnaRamp.unCountdown = 0;
    gbAnaQueueWrite = gbAnaQueueRead = gbAnaQueueCount = 0;
    FirmwareUnlock(unSaved);
}

void AnalogueStopLive()
{
    uint16_t unSaved = FirmwareLock();
    if (gnAnaMode == ANA_LIVE)
        gnAnaMode = ANA_DRAINING;
    FirmwareUnlock(unSaved);
}

bool AnalogueBeginScan()
{
    uint16_t unSaved = FirmwareLock();
    bool bBegun = gnAnaMode == ANA_DIRECT;
    if (bBegun)
        gunAnaScanWrite = gunAnaScanRead = gunAnaScanCount = 0;
    FirmwareUnlock(unSaved);
    return bBegun;
}

void AnalogueRecordAbsorbance(double fAbsorbance) { RecordPoint(AbsorbanceToOutput(fAbsorbance)); }

void AnalogueRecordTransmittance(double fPercent) { RecordPoint(TransmittanceToOutput(fPercent)); }

void AnalogueStartPlayback(uint32_t unTicks)
{
    uint16_t unSaved = FirmwareLock();
    gnAnaRate = unTicks;
    gnAnaMode = ANA_PLAYBACK;
    gAnaRamp.unCountdown = 0;
    FirmwareUnlock(unSaved);
}

void AnaloguePlaySpectrum(int32_t nFirst, int32_t nLast, bool bTransmittance)
{
    if (!AnalogueBeginScan())
        return;
    for (int32_t nNm = nFirst; nNm <= nLast; nNm++) {
        if (bTransmittance)
            AnalogueRecordTransmittance(Transmittance(nNm));
        else
            AnalogueRecordAbsorbance(Absorbance(nNm));
    }
    AnalogueStartPlayback(ANA_SCAN_TICKS_PER_POINT);
}

void AnalogueTick()
{
    if (gnAnaMode == ANA_PLAYBACK)
        PlaybackTick();
    else if (gnAnaMode == ANA_LIVE || gnAnaMode == ANA_DRAINING)
        LiveTick();
    if (gpAnaTrace)
        WriteTrace();
}
