// The sample compartment's cell heater. Whether one is fitted is the
// hardware's (the host says so before or while the firmware runs); whether
// it is on is the set-up screen's. The host's sample model reads both to
// warm a reacting sample. Shared between threads without the firmware lock.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<uint8_t> gbHeaterFitted;  // 1 when the compartment has a cell heater
extern std::atomic<uint8_t> gbHeaterOn;      // 1 while the heater is switched on

// True while a fitted heater is switched on.
inline bool HeaterHeating()
{
    return gbHeaterFitted.load(std::memory_order_relaxed) != 0 && gbHeaterOn.load(std::memory_order_relaxed) != 0;
}
