// The cell heater's two flags.
#include "core/heater.h"

std::atomic<uint8_t> gbHeaterFitted{0};
std::atomic<uint8_t> gbHeaterOn{0};
