// Pictures of the display: PNG and PBM files (the text art is in display_text.h).
#pragma once

#include <cstdint>
#include <string>

class CInstrument;

// Writes the shown 240 x 128 screen; a name ending in ".pbm" (any case) gives a PBM
// file, anything else a PNG in the panel's colours. False on a write error.
bool WriteDisplayImage(const CInstrument& host, const std::string& sPath);

// Writes an 8-bit RGB image (3 bytes a pixel, rows top first) as a PNG file.
// False when the file cannot be written.
bool WriteRgbPng(const std::string& sPath, int nWidth, int nHeight, const uint8_t* pbRgb);
