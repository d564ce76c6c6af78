// The clock chip's routines: the six clock fields of core/clock.h (day,
// month, year modulo 100, hour, minute, second) in and out of the chip's
// registers 0..7 (BCD seconds, minutes, 24-hour hours, weekday 1..7, date,
// month, year; the control register), over the two-wire bus.
#pragma once

#include <cstdint>

// False, with pbClock untouched, when the chip does not answer or holds no
// valid time.
bool ClockChipRead(uint8_t* pbClock);
// The fields must make a valid date and time; false when the chip does not
// take them.
bool ClockChipWrite(const uint8_t* pbClock);
