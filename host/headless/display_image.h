// Pictures of the display: PNG and PBM files, and text art for a terminal.
#pragma once

#include <string>

class CHeadlessHost;

// Writes the shown 240 x 128 screen; a name ending in ".pbm" gives a PBM
// file, anything else a PNG in the panel's colours. False on a write error.
bool WriteDisplayImage(const CHeadlessHost& host, const std::string& sPath);

// The screen as text, two pixel rows per character cell (Unicode half blocks).
std::string DisplayTextArt(const CHeadlessHost& host);
