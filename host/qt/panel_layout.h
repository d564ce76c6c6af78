// The front panel's geometry: where the panel picture, the display window and
// the twelve keys sit in the view, and which images each key shows. Shared by
// the view and by the artwork tool, which draws the images to fit.
#pragma once

#include <array>
#include <cstdint>

namespace panel {

// Panel picture (bitmap 139), drawn with its top-left corner at (ORIGIN, ORIGIN).
constexpr int ORIGIN = 50;
constexpr int PANEL_WIDTH = 399;
constexpr int PANEL_HEIGHT = 336;
constexpr int PANEL_BITMAP = 139;

// Display window, view coordinates, 240 x 128 drawn one to one.
constexpr int LCD_LEFT = 127;
constexpr int LCD_TOP = 112;

// The sample compartment's lid, in the panel picture's own coordinates.
constexpr int LID_X = 338;
constexpr int LID_Y = 52;
constexpr int LID_WIDTH = 48;
constexpr int LID_HEIGHT = 148;

// Toolbar strip (bitmap 2): three 16 x 15 images.
constexpr int TOOLBAR_BITMAP = 2;
constexpr int TOOLBAR_IMAGE_WIDTH = 16;
constexpr int TOOLBAR_IMAGE_HEIGHT = 15;
constexpr int TOOLBAR_IMAGES = 3;

// Colour of the corners of the arrow keys, which are transparent.
constexpr uint8_t MAGENTA_R = 255, MAGENTA_G = 0, MAGENTA_B = 255;

// Centre of the arrow cluster, view coordinates; the four arrow keys are the
// sectors of a rounded cluster around it.
constexpr int CLUSTER_X = 237;
constexpr int CLUSTER_Y = 311;

// The top of soft key i (0..3), 28 pixels high, centred on its label's row.
constexpr int SOFT_LABEL_TOP = 10;    // display row of the first label box
constexpr int SOFT_LABEL_PITCH = 29;  // rows from one label box to the next
constexpr int SOFT_LABEL_HEIGHT = 16;
constexpr int SoftKeyTop(int i) { return LCD_TOP + SOFT_LABEL_TOP + SOFT_LABEL_PITCH * i + SOFT_LABEL_HEIGHT / 2 - 14; }

struct KeyLayout {
    uint8_t bCode;       // firmware key code 1..12
    const char* pszName; // short name (tests, the headless host's key names)
    const char* pszLabel; // what the operator calls it (tooltips, help)
    int x, y;            // top-left corner in the view
    int nWidth, nHeight; // size of the images
    int nUpImage;        // bitmap id drawn while released (lit)
    int nDownImage;      // bitmap id drawn while pressed
    bool bShaped;        // arrow key: magenta corners are transparent
};

// In creation order: later keys lie above earlier ones.
constexpr std::array<KeyLayout, 12> KEYS = {{
    {12, "standby", "Standby", 398, 345, 42, 28, 141, 140, false},
    {6, "left", "Arrow left", 183, 289, 47, 43, 151, 150, true},
    {7, "right", "Arrow right", 244, 289, 47, 43, 154, 153, true},
    {2, "up", "Arrow up", 204, 277, 66, 32, 156, 155, true},
    {3, "down", "Arrow down", 204, 313, 66, 32, 158, 157, true},
    {5, "test", "Test (sample reading)", 314, 299, 42, 28, 160, 159, false},
    {1, "ref", "Reference 0A / 100%T", 314, 265, 42, 28, 162, 161, false},
    {4, "escape", "Escape", 314, 332, 42, 28, 164, 163, false},
    // The soft keys face the labels the firmware draws at the display's left
    // edge: 16-pixel boxes from display row 10, every 29 rows (their centres
    // at LCD_TOP + 18 + 29 * i).
    {8, "soft1", "Soft key F1", 70, SoftKeyTop(0), 42, 28, 142, 143, false},
    {9, "soft2", "Soft key F2", 70, SoftKeyTop(1), 42, 28, 145, 144, false},
    {10, "soft3", "Soft key F3", 70, SoftKeyTop(2), 42, 28, 147, 146, false},
    {11, "soft4", "Soft key F4", 70, SoftKeyTop(3), 42, 28, 149, 148, false},
}};

// True when the view point (x, y) lies on the face of the arrow key with the
// given code (a pixel centre test; the gaps between the keys and the centre
// hub belong to no key).
inline bool OnArrowFace(uint8_t bCode, double x, double y)
{
    const double dx = x - CLUSTER_X;
    const double dy = y - CLUSTER_Y;
    const double ax = dx < 0 ? -dx : dx;
    const double ay = dy < 0 ? -dy : dy;
    const double rx = dx / 54.0, ry = dy / 34.0;
    if (rx * rx * rx * rx + ry * ry * ry * ry > 1.0)
        return false;                       // outside the rounded cluster
    if (dx * dx + dy * dy < 9.0 * 9.0)
        return false;                       // centre hub
    constexpr double SLOPE = 0.667;         // the splits run through the corners where the keys overlap
    constexpr double GAP = 2.0;
    switch (bCode) {
    case 6: return dx < 0 && ay < SLOPE * ax - GAP;
    case 7: return dx > 0 && ay < SLOPE * ax - GAP;
    case 2: return dy < 0 && ay > SLOPE * ax + GAP;
    case 3: return dy > 0 && ay > SLOPE * ax + GAP;
    default: return false;
    }
}

}  // namespace panel
