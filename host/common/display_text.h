// The display as text for a terminal or a log: the shown 240 x 128 screen,
// two by two pixels a character (Unicode quadrant blocks), 64 lines of 120
// characters. Every host's `screen` command prints this.
#pragma once

#include <string>

class CInstrument;

std::string DisplayTextArt(const CInstrument& host);
