// The instrument's real-time clock, kept by the clock chip on the two-wire
// bus (the computer's local time when no chip answers), and the calendar
// rule that dates typed on the keypad or sent by the PC obey.
#pragma once

#include <cstdint>

// Day, month, year modulo 100, hour, minute, second of the clock chip, of
// the computer's local time when the chip does not answer, or of the fixed
// clock while one is set.
void ReadClock(uint8_t* pbClock);
// Sets the clock chip (and a fixed clock, while one is set) to the six
// fields, as ReadClock gives them; the fields must make a valid date and
// time. False when neither took them: the clock then still follows the
// computer's.
bool SetClock(const uint8_t* pbClock);
// The clock chip's transfers (storage/rtc.h), assigned by the top layer:
// true when the chip answered. The defaults find no chip.
extern bool (*gpfnClockChipRead)(uint8_t* pbClock);
extern bool (*gpfnClockChipWrite)(const uint8_t* pbClock);
// Stops the clock at the six fields of pbClock (as ReadClock gives them), so
// that screens and reports showing it can be reproduced; null lets it follow
// the computer again. Set by a host before the firmware reads the clock.
void FixClock(const uint8_t* pbClock);
// Days in a month (1..12) of a year modulo 100; every fourth year is a leap year.
uint8_t DaysInMonth(uint8_t bMonth, uint8_t bYear);
// True for a day and month that exist in that year.
bool DateValid(uint8_t bDay, uint8_t bMonth, uint8_t bYear);
