// The hooks of measure_hooks.h and their do-nothing defaults.
#include "measure/measure_hooks.h"

namespace {
void NoTraceLine(const char*) {}
void NoSampleWaitNotice(uint8_t, uint8_t) {}
}  // namespace

void (*gpfnTraceLine)(const char* pszText) = NoTraceLine;
void (*gpfnSampleWaitNotice)(uint8_t bWaiting, uint8_t bTaken) = NoSampleWaitNotice;
