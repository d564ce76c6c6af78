// The five recorded frame sets of the diode array and their record layout.
// The tables themselves are generated from the optical model in
// tools/framegen (built into the firmware as generated/frame_sets.cpp).
#pragma once

#include <cstdint>

#include "core/bridge.h"  // FrameRecord

extern const FrameRecord gReferenceFrames[FRAME_SET_PIXELS];  // lamp through a blank
extern const FrameRecord gSampleFrames[FRAME_SET_PIXELS];     // a coloured sample
extern const FrameRecord gHolmiumFrames[FRAME_SET_PIXELS];    // holmium wavelength filter
extern const FrameRecord gStrayFrames[FRAME_SET_PIXELS];      // UV cut-off filter
extern const FrameRecord gLedFrames[FRAME_SET_PIXELS];        // the internal LED
