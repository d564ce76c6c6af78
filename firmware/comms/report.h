// Result reports on the serial port: the instrument header sent at power-up
// and the self-test report printed from the self-test result screens.
#pragma once

// CR LF, maker, instrument, firmware version, and the serial number when set.
void PrintInstrumentHeader();
// The self-test result in the layout of the output device (printer or PC).
// Rows: 0 not run, 1 passed, 2 failed (lamp, wavelength calibration, diode array).
void PrintSelfTestReport(const unsigned char* pbRows, const unsigned char* pbClock);
