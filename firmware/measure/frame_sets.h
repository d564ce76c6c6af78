// The five recorded frame sets of the diode array and their record layout.
// The tables themselves are generated from the optical model in
// tools/framegen (built into the firmware as generated/frame_sets.cpp).
#pragma once

#include <cstdint>

// One pixel of a recorded frame set; 8 bytes, little-endian on the instrument.
struct FrameRecord {
    uint16_t unPixel;   // 1..1024, the record's position plus one (not used by a reading)
    uint16_t unLight;   // summed detector counts with the lamp on
    uint16_t unDark;    // summed detector counts in the dark
    uint8_t bFrames;    // integration frames summed, 1..60
    uint8_t bReserved;  // always 0
};
static_assert(sizeof(FrameRecord) == 8, "a frame record is 8 bytes");

constexpr int FRAME_SET_PIXELS = 1024;

extern const FrameRecord gReferenceFrames[FRAME_SET_PIXELS];  // lamp through a blank
extern const FrameRecord gSampleFrames[FRAME_SET_PIXELS];     // a coloured sample
extern const FrameRecord gHolmiumFrames[FRAME_SET_PIXELS];    // holmium wavelength filter
extern const FrameRecord gStrayFrames[FRAME_SET_PIXELS];      // UV cut-off filter
extern const FrameRecord gLedFrames[FRAME_SET_PIXELS];        // the internal LED

// The frame source: what the host puts in the light path. The function fills
// the records of a reading of the given kind and returns true, or returns
// false to leave the kind's recorded set in use. It runs on the firmware
// thread when the reading's acquisition is over; null (the default) reads
// the recorded sets.
using FrameSourceFunction = bool (*)(uint8_t bKind, FrameRecord* pFrames);
void SetFrameSource(FrameSourceFunction pfnSource);
