// The sample compartment and its frame source.
#include "sample_compartment.h"

#include <cmath>
#include <cstring>

#include "app/probe.h"
#include "measure/reading.h"

CSampleCompartment::CSampleCompartment(std::function<uint64_t()> fnFirmwareMs)
    : m_fnFirmwareMs(std::move(fnFirmwareMs))
{
    m_contents.pSample = std::make_shared<const CSample>(CSample::Recorded());
}

void CSampleCompartment::Insert(const CSample& sample, std::optional<double> fConcentration)
{
    Contents contents;
    contents.pSample = std::make_shared<const CSample>(sample);
    contents.fConcentration = fConcentration.value_or(sample.m_fConcentration);
    contents.ullInsertedMs = m_fnFirmwareMs();
    contents.ullReactedToMs = contents.ullInsertedMs;
    contents.bHeated = ProbeCellHeated();
    std::lock_guard lock(m_mtx);
    m_contents = std::move(contents);
}

CSampleCompartment::Contents CSampleCompartment::Current() const
{
    std::lock_guard lock(m_mtx);
    return m_contents;
}

double CSampleCompartment::RateFactor(double fCelsius) { return std::pow(2.0, (fCelsius - ROOM_C) / 10.0); }

double CSampleCompartment::CellCelsius() { return ProbeCellHeated() ? HEATED_C : ROOM_C; }

double CSampleCompartment::React(uint64_t ullNow)
{
    std::lock_guard lock(m_mtx);
    Contents& c = m_contents;
    if (ullNow > c.ullReactedToMs) {
        double fMinutes = static_cast<double>(ullNow - c.ullReactedToMs) / 60000.0;
        c.fReactedMin += fMinutes * RateFactor(c.bHeated ? HEATED_C : ROOM_C);
        c.ullReactedToMs = ullNow;
    }
    c.bHeated = ProbeCellHeated();
    return c.fReactedMin;
}

std::string CSampleCompartment::Label() const
{
    Contents contents = Current();
    return contents.pSample->Label(contents.fConcentration);
}

std::optional<CSample> LoadSampleToInsert(const std::string& sNameOrPath, std::optional<double> fConcentration,
                                          std::string& sError)
{
    std::optional<CSample> sample = LoadSample(sNameOrPath, sError);
    if (sample && fConcentration && !sample->m_bConcentration) {
        sError = "the sample '" + sNameOrPath + "' (" + sample->m_sName + ") has no concentration to set";
        return std::nullopt;
    }
    return sample;
}

bool PutSampleIn(CSampleCompartment& compartment, const std::string& sNameOrPath,
                 std::optional<double> fConcentration, std::string& sError)
{
    std::optional<CSample> sample = LoadSampleToInsert(sNameOrPath, fConcentration, sError);
    if (!sample)
        return false;
    compartment.Insert(*sample, fConcentration);
    return true;
}

bool CSampleCompartment::SupplyFrames(uint8_t bKind, FrameRecord* pFrames)
{
    if (bKind != READ_SAMPLE)
        return false;
    Contents contents = Current();
    const CSample& sample = *contents.pSample;
    uint64_t ullNow = m_fnFirmwareMs();
    m_ullLastFramesMs.store(ullNow, std::memory_order_relaxed);
    switch (sample.m_recorded) {
    case RecordedCell::Sample:
        return false;  // the firmware's own recorded set, untouched
    case RecordedCell::Holmium:
        std::memcpy(pFrames, gHolmiumFrames, sizeof gHolmiumFrames);
        return true;
    case RecordedCell::CutOff:
        std::memcpy(pFrames, gStrayFrames, sizeof gStrayFrames);
        return true;
    case RecordedCell::None:
        break;
    }
    double fMinutes = React(ullNow);
    uint64_t ullConcentrationBits = 0;
    std::memcpy(&ullConcentrationBits, &contents.fConcentration, sizeof ullConcentrationBits);
    // A fresh draw of the detector noise for every reading, the same in
    // every run that reads at the same firmware time.
    uint64_t ullSeed = sample.m_ullSeed ^ (ullNow * 0x9E3779B97F4A7C15ull) ^ (ullConcentrationBits >> 7);
    SynthesiseSampleFrames(sample, contents.fConcentration, fMinutes, ullSeed, ProbeScaleOffset(),
                           pFrames);
    return true;
}
