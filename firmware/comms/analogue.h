// Analogue (chart-recorder) output engine.
#pragma once

#include <cstdint>

// One millisecond step of the analogue-output engine, run by TickHandler
// while the tick services are enabled.
void AnalogueTick();
