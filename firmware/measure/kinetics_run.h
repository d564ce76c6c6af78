// Kinetics runs: the timed schedule of readings on the user interface's
// millisecond counter, the readings taken, and the rate of change of
// absorbance with its correlation.
#pragma once

#include <cstdint>

constexpr int KINETICS_MAX_READINGS = 21;  // A0..A20
constexpr uint16_t KINETICS_MAX_INDEX = KINETICS_MAX_READINGS - 1;

// Kinetics modes of a method.
constexpr uint8_t KINETICS_OFF = 0;    // "No"
constexpr uint8_t KINETICS_RATE = 1;   // "Yes": readings at the interval until the end
constexpr uint8_t KINETICS_FIXED = 2;  // "Fixed time": one reading after the start delay

// Where a run stands.
constexpr uint8_t RUN_IDLE = 0;     // no run
constexpr uint8_t RUN_DELAY = 1;    // waiting for the start delay to pass
constexpr uint8_t RUN_READING = 2;  // a reading falls due at unDueMs
constexpr uint8_t RUN_DONE = 3;     // the last reading has been taken

struct KineticsRun {
    uint8_t bMode;                     // KINETICS_RATE or KINETICS_FIXED
    uint8_t bPhase;                    // RUN_*
    uint32_t unStartMs;                // start delay
    uint32_t unIntervalMs;             // time between readings
    uint32_t unEndMs;                  // time of the last reading, counted from the start
    uint32_t unDueMs;                  // counter value at which the next reading falls due
    uint8_t bCount;                    // readings taken, 0..21
    double afAbs[KINETICS_MAX_READINGS];      // A0..AN at the method wavelength
    uint32_t aunTimeMs[KINETICS_MAX_READINGS];  // time of each reading from the start
    // Results, set by KineticsComputeRate.
    double fSlope;        // change of absorbance per interval
    double fPerMinute;    // delta-A per minute
    double fCorrelation;  // "Corr. coeff"
    // The graph of absorbance against time, set by KineticsPlot.
    double fPlotAbsLow, fPlotAbsHigh;  // absorbance at the bottom and the top of the plot
    uint8_t abPlot[126];               // plot height of each column; 255 = none
    uint8_t abMarkerColumn[KINETICS_MAX_READINGS];  // column of each reading
    uint8_t abMarkerRow[KINETICS_MAX_READINGS];     // row of each reading
};

extern KineticsRun gKinetics;  // the current or last run

// Seconds of a minutes-and-seconds setting.
uint32_t KineticsSeconds(uint32_t unMinutes, uint32_t unSeconds);

// The number of readings a method stores: end / interval in whole seconds
// (integer division), 0 for a zero interval.
uint16_t KineticsReadingCount(uint32_t unEndSeconds, uint32_t unIntervalSeconds);

// Starts a run: clears the readings, resets the millisecond counter and sets
// the first due time (the start delay, or at once without one).
void KineticsBegin(uint8_t bMode, uint32_t unStartSeconds, uint32_t unIntervalSeconds, uint32_t unEndSeconds);

// True when a reading falls due now. The end of the start delay re-bases
// the millisecond counter, so the readings count from the end of the delay.
bool KineticsReadingDue();

// Stores the absorbance of the reading just taken and schedules the next;
// true when it was the last reading of the run.
bool KineticsStoreReading(double fAbs);

// Whole seconds of the start delay still to run, rounded up (0 once over).
uint32_t KineticsDelayLeftSeconds();

// Abandons the run (Escape): no results.
void KineticsStop();

// The graph of the readings: time 0 to the last reading across 125 columns,
// the lowest to the highest absorbance over bHeight rows (a flat run is
// drawn at mid-height); the readings joined by straight lines.
void KineticsPlot(uint8_t bHeight);

// The rate over the readings taken: slope per interval from centred least
// squares, delta-A per minute and the correlation.
void KineticsComputeRate();
