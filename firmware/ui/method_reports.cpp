// WIP placeholder
#include "ui/ui_internal.h"
void PrintMethodAfterReading() {}
void PrintKineticsAfterRun() {}
void PrintKinetics(bool) {}
void PrintCalibration() {}
