// Analogue (chart-recorder) output engine. The slewing engine is not built
// yet; its per-tick entry point is wired into the tick services already.
#include "comms/analogue.h"

void AnalogueTick() {}
