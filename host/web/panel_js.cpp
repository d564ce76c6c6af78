// halden-panel-js: writes the front panel's geometry (host/qt/panel_layout.h,
// the desktop's own) as a script for the page: window.HALDEN_PANEL.
//   halden-panel-js OUTPUT.js
#include <cstdio>

#include "panel_layout.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: halden-panel-js OUTPUT.js\n");
        return 2;
    }
    std::FILE* pFile = std::fopen(argv[1], "w");
    if (!pFile) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(pFile, "// Made by halden-panel-js from the desktop's panel layout; do not edit.\n");
    std::fprintf(pFile, "window.HALDEN_PANEL = {\n");
    std::fprintf(pFile, "  origin: %d, width: %d, height: %d, bitmap: %d,\n", panel::ORIGIN, panel::PANEL_WIDTH,
                 panel::PANEL_HEIGHT, panel::PANEL_BITMAP);
    std::fprintf(pFile, "  lcdLeft: %d, lcdTop: %d,\n", panel::LCD_LEFT, panel::LCD_TOP);
    std::fprintf(pFile, "  lid: {x: %d, y: %d, width: %d, height: %d},\n", panel::LID_X, panel::LID_Y,
                 panel::LID_WIDTH, panel::LID_HEIGHT);
    std::fprintf(pFile, "  transparent: [%d, %d, %d],\n", panel::MAGENTA_R, panel::MAGENTA_G, panel::MAGENTA_B);
    std::fprintf(pFile, "  keys: [\n");
    for (const panel::KeyLayout& key : panel::KEYS)
        std::fprintf(pFile,
                     "    {code: %d, name: \"%s\", label: \"%s\", x: %d, y: %d, width: %d, height: %d, up: %d, "
                     "down: %d, shaped: %s},\n",
                     key.bCode, key.pszName, key.pszLabel, key.x, key.y, key.nWidth, key.nHeight, key.nUpImage,
                     key.nDownImage, key.bShaped ? "true" : "false");
    std::fprintf(pFile, "  ],\n};\n");
    return std::fclose(pFile) == 0 ? 0 : 1;
}
