// halden-sim before and after its application object: --help and --version
// work without a display, and a display that cannot be opened ends the
// program with one line on standard error and exit status 1 instead of
// Qt's abort.
#pragma once

// Before QApplication: chooses the windowless platform for --help and
// --version when none is chosen, and catches the platform's fatal message.
void PrepareDisplay(int argc, char** argv);
// After QApplication: messages are handled as usual again, and the
// warnings held back while the display was opened are passed on.
void DisplayOpened();
