// Fixtures of the measurement tests (header only): running a routine on the firmware
// thread of a headless host, filling the pixel buffers by hand, and reading
// the serial output line by line.
#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "comms/remote.h"
#include "app/probe.h"
#include "core/runtime.h"
#include "measure/reading.h"
#include "ui/ui.h"
#include "support/firmware_fixture.h"

// The core services with a per-pass step that runs one job at a time.
class MeasureTest : public CoreFirmwareTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Queues a job for the firmware thread; it starts on the next pass. One
    // job at a time: the previous one must have returned.
    void Start(std::function<void()> job);
    bool Done() const;
    // Gives the firmware host ticks until the job has returned (fails the
    // test after unMaxTicks). Returns the ticks it took.
    uint32_t Finish(uint32_t unMaxTicks = 2000);
    // Start and Finish.
    uint32_t Run(std::function<void()> job, uint32_t unMaxTicks = 2000);
    // Presses and releases a key while a job waits for one.
    void PressKey(uint8_t bKey);
};

// Pixel buffers by hand: dark d, frame count f and per-frame signal s for
// every pixel.
void FillPixels(double (*pfnSignal)(int), uint16_t unDark = 15000, uint8_t bFrames = 1);
// Sets one pixel to a per-frame signal (whole counts over the frame count).
void SetPixelSignal(int nPixel, double fSignal);

// The serial text cut into lines at CR LF (without the CR LF).
std::vector<std::string> SerialLines(const std::string& sText);
size_t CountOf(const std::string& sText, const std::string& sWhat);

// ---------------------------------------------------------------- definitions

namespace measure_fixture {

inline std::function<void()> gJob;  // touched by the host only while the firmware waits for its turn
inline bool gbJobPending = false;
inline bool gbJobDone = true;

inline void JobStep(uint8_t)
{
    if (!gbJobPending)
        return;
    gbJobPending = false;
    gJob();
    gbJobDone = true;
}

}  // namespace measure_fixture


inline void MeasureTest::SetUp()
{
    CoreFirmwareTest::SetUp();
    measure_fixture::gbJobPending = false;
    measure_fixture::gbJobDone = true;
    Host().PowerUp();  // the first pass runs the core services' power-on initialisation
    FirmwareSetUiStep(measure_fixture::JobStep);
    // Trace lines, the serial poll during readings and the "PC Control"
    // screen reach measurement code through the hooks the main loop wires;
    // the interpreter starts as at power-up.
    Run([] { RemoteInit(); });
    Host().ClearSerialText();
}

inline void MeasureTest::TearDown()
{
    Host().Shutdown();
    FirmwareSetUiStep(nullptr);
    CoreFirmwareTest::TearDown();
}

inline void MeasureTest::Start(std::function<void()> job)
{
    ASSERT_TRUE(measure_fixture::gbJobDone) << "a job is still running";
    measure_fixture::gJob = std::move(job);
    measure_fixture::gbJobDone = false;
    measure_fixture::gbJobPending = true;
}

inline bool MeasureTest::Done() const { return measure_fixture::gbJobDone; }

inline uint32_t MeasureTest::Finish(uint32_t unMaxTicks)
{
    uint32_t unTicks = 0;
    while (!measure_fixture::gbJobDone && unTicks < unMaxTicks) {
        Host().Tick();
        unTicks++;
    }
    EXPECT_TRUE(measure_fixture::gbJobDone) << "the job did not return within " << unMaxTicks << " ticks";
    return unTicks;
}

inline uint32_t MeasureTest::Run(std::function<void()> job, uint32_t unMaxTicks)
{
    Start(std::move(job));
    return Finish(unMaxTicks);
}

inline void MeasureTest::PressKey(uint8_t bKey)
{
    Host().SetKey(bKey, true);
    Host().Tick(2);
    Host().SetKey(bKey, false);
    Host().Tick(2);
}

inline void FillPixels(double (*pfnSignal)(int), uint16_t unDark, uint8_t bFrames)
{
    for (int p = 0; p < PIXEL_COUNT; p++) {
        gunDarkReadings[p] = unDark;
        gbFrameCounts[p] = bFrames;
        SetPixelSignal(p, pfnSignal(p));
    }
}

inline void SetPixelSignal(int nPixel, double fSignal)
{
    gunLightReadings[nPixel] =
        static_cast<uint16_t>(gunDarkReadings[nPixel] + std::lround(fSignal * gbFrameCounts[nPixel]));
}

inline std::vector<std::string> SerialLines(const std::string& sText)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = sText.find("\r\n", nStart)) != std::string::npos; nStart = nEnd + 2)
        lines.push_back(sText.substr(nStart, nEnd - nStart));
    return lines;
}

inline size_t CountOf(const std::string& sText, const std::string& sWhat)
{
    size_t n = 0;
    for (size_t nAt = sText.find(sWhat); nAt != std::string::npos; nAt = sText.find(sWhat, nAt + sWhat.size()))
        n++;
    return n;
}
