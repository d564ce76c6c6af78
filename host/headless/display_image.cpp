// Pictures of the display for snapshots and terminals.
#include "display_image.h"

// A build without libpng (the web page's) writes PBM pictures only.
#ifndef HALDEN_DISPLAY_PNG
#define HALDEN_DISPLAY_PNG 1
#endif
#if HALDEN_DISPLAY_PNG
#include <png.h>
#endif

#include <cstdio>
#include <vector>

#include "instrument.h"

namespace {

bool IsPbmName(const std::string& s)
{
    if (s.size() < 4)
        return false;
    std::string sEnd = s.substr(s.size() - 4);
    for (char& c : sEnd)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return sEnd == ".pbm";
}

bool WritePbm(const CInstrument& host, const std::string& sPath)
{
    std::FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (!pFile)
        return false;
    const CDisplayMemory& memory = host.Display();
    std::fprintf(pFile, "P4\n%d %d\n", CDisplayMemory::WIDTH, CDisplayMemory::HEIGHT);
    for (int y = 0; y < CDisplayMemory::HEIGHT; y++)
        for (int b = 0; b < CDisplayMemory::ROW_BYTES; b++)
            std::fputc(memory.ShownByte(y, b), pFile);
    return std::fclose(pFile) == 0;
}

// A PNG in the display window's colours: light cyan background, black dots.
bool WritePng(const CInstrument& host, const std::string& sPath)
{
    std::vector<uint8_t> abRgb(240 * 128 * 3);
    for (int y = 0; y < 128; y++)
        for (int x = 0; x < 240; x++) {
            bool bDark = host.Pixel(x, y);
            uint8_t* pb = &abRgb[3 * (240 * y + x)];
            pb[0] = bDark ? 0 : 102;
            pb[1] = bDark ? 0 : 255;
            pb[2] = bDark ? 0 : 255;
        }
    return WriteRgbPng(sPath, 240, 128, abRgb.data());
}

}  // namespace

bool WriteRgbPng(const std::string& sPath, int nWidth, int nHeight, const uint8_t* pbRgb)
{
#if !HALDEN_DISPLAY_PNG
    (void)sPath, (void)nWidth, (void)nHeight, (void)pbRgb;
    return false;
#else
    std::FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (!pFile)
        return false;
    png_structp pPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop pInfo = pPng ? png_create_info_struct(pPng) : nullptr;
    if (!pPng || !pInfo || setjmp(png_jmpbuf(pPng))) {
        png_destroy_write_struct(&pPng, &pInfo);
        std::fclose(pFile);
        return false;
    }
    png_init_io(pPng, pFile);
    png_set_IHDR(pPng, pInfo, static_cast<png_uint_32>(nWidth), static_cast<png_uint_32>(nHeight), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(pPng, pInfo);
    for (int y = 0; y < nHeight; y++)
        png_write_row(pPng, const_cast<png_bytep>(pbRgb + static_cast<size_t>(3) * nWidth * y));
    png_write_end(pPng, nullptr);
    png_destroy_write_struct(&pPng, &pInfo);
    return std::fclose(pFile) == 0;
#endif
}

bool WriteDisplayImage(const CInstrument& host, const std::string& sPath)
{
    return IsPbmName(sPath) ? WritePbm(host, sPath) : WritePng(host, sPath);
}
