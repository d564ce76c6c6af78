// The screen-script table: one display script per screen state (0..132),
// then the fragments that screens draw over themselves (hint line, self-test
// marks, value lines, messages).
//
// Screen family: soft-key labels in their frames at the left (x = 8,
// y = 14, 43, 72, 101); titles at (68, 1); content from x = 68; the hint line
// at y = 119 with "R" at x = 172, "T" at 184, the up-down arrow at 208 and
// the left-right arrow at 220.
#include "ui/ui_internal.h"

#include "ui/ui.h"

const char* const gapszScreenScript[SCREEN_SCRIPT_COUNT] = {
    // 0 start-up splash
    "M1 X50Y78S2 X65Y88S3 X87Y105S4",
    // 1 self-test list
    "F1 X68Y14T0 F0 X68Y38T1 X68Y48T3 X68Y58T4",
    // 2 lamp failure hold (marks drawn by the state)
    "",
    // 3, 4 have no screen
    "", "",
    // 5 wavelength-calibration row, 6 its hold, 7 diode-array row, 8 its hold
    "", "", "", "",
    // 9 all tests passed
    "k10 X8Y43T200 X8y29 X8y29T19 F0X68Y80T137",
    // 10 failures listed
    "k11 X8Y14T199 X8y29T200 X8Y101T19",
    // 11 main menu
    "F0A0 K7 X8Y14T5 X8y29T6 X8y29T8",
    // 12 make a measurement
    "F0A0 K15 X8Y14T192T16T10 X8y29T195 X8y29T7 X8y29T13",
    // 13 not used
    "",
    // 14 set-up menu (without heater)
    "F0A0 K7 X8Y14T233 X8y29T280 X8y29T102",
    // 15 single measurement
    "F0A0 k15 X8Y14T14T16T17 X8y29T18T12 X8y29T13 X8y29T19 X68Y1T9",
    // 16 single: set wavelength
    "F0A0 k7 X8Y14T14T16T17 X8y29T21 X8y29T13",
    // 17 ratio
    "F0A0 k15 X8Y14T18T12F2T24 F0X8Y43T18T12F2T25 F0X8Y72T13 X8Y101T19 X68Y1T10",
    // 18 ratio: set first wavelength
    "F0A0 k15 X8Y14T21 X8Y43T18T12F2T25 F0X8Y72T13 X8Y101T19",
    // 19 ratio: set second wavelength
    "F0A0 k15 X8Y14T18T12F2T24 F0X8Y43T21 X8Y72T13 X8Y101T19",
    // 20 multi-wavelength
    "F0A0 k13 X8Y14T18 X8Y72T13 X8Y101T19 X68Y1T11",
    // 21 multi: select and set
    "F0A0 k9 X8Y14T34 X8Y101T90 X68Y1T11",
    // 22 scan
    "F0A0 k11 X8Y14T14T16T17 X8y29T35 X8Y101T19",
    // 23 zoom in
    "F0A0 k1 X8Y14T36",
    // 24 zoomed scan
    "F0A0 k9 X8Y14T37 X8Y101T19",
    // 25 select method
    "F0A0 k15 X8Y14T41 X8y29T42 X8y29T43 X8y29T21 X68Y1T38",
    // 26 method summary
    "F0A0 k15 X8Y14T44 X8y29T45 X8y29T46 X8y29T19 X68Y1T47 X116Y1I0 X68Y24S1 X68Y40T12T15I1T22 X68Y56T49T15",
    // 27 method program
    "F0A0 k9 X8Y14T21 X8Y101T53",
    // 28 name editor
    "F0A0 k8 X8Y101T21",
    // 29 method wavelength editor
    "F0A0 k8 X8Y101T21",
    // 30 not used
    "",
    // 31 calibration choice
    "F0A0 k8 X8Y101T21",
    // 32 not used
    "",
    // 33 factor entry
    "F0A0 k14 X8Y43T56T16T57 X8Y72T58 X8Y101T21",
    // 34 kinetics display options
    "F0A0 k8 X8Y101T21 X68Y1T59",
    // 35 not used
    "",
    // 36 units options
    "F0A0 k8 X8Y101T21 X68Y1T133",
    // 37 not used
    "",
    // 38 kinetics choice
    "F0A0 k8 X8Y101T21",
    // 39 not used
    "",
    // 40, 41, 42 kinetics start, interval, end
    "F0A0 k8 X8Y101T21", "F0A0 k8 X8Y101T21", "F0A0 k8 X8Y101T21",
    // 43 method run
    "F0A0 k12 X8Y72T13 X8Y101T19 X68Y1T47 X116Y1I0 X134Y1S1 X68Y16T12T15I1T22 X68Y28T123T15D6",
    // 44 kinetics: waiting for the start
    "F0A0 X68Y1T47 X116Y1I0 X134Y1S1 X68Y40T92T15 X64Y52c29",
    // 45 kinetics: timed readings
    "F0A0 X68Y1T47 X116Y1I0 X134Y1S1 X68Y16T93 X128Y16T14",
    // 46 kinetics finished: result
    "F0A0 k9 X8Y14T99 X8Y101T19",
    // 47 kinetics finished: graph
    "F0A0 k9 X8Y14T91 X8Y101T19",
    // 48 not used
    "",
    // 49 standards table
    "F0A0 k15 X8Y14T84 X8y29T85 X8y29T289 X8y29T99 X68Y1T87 X76Y16T88 X172Y16T14",
    // 50 set standard
    "F0A0 k13 X8Y14T53 X8Y72T89 X8Y101T90",
    // 51 standard concentration entry
    "F0A0 k8 X8Y101T21",
    // 52 set absorbance
    "F0A0 k13 X8Y14T53 X8Y72T89 X8Y101T90",
    // 53 absorbance entry
    "F0A0 k8 X8Y101T21",
    // 54 invalid curve
    "F0A0 k9 X8Y14T53 X8Y101T173 F1X68Y8T148 F0X68Y40T293 X68Y50T294 X68Y66T295 X68Y76T296",
    // 55 curve coefficients
    "F0A0 k13 X8Y14T53 X8Y72T21 X8Y101T19 X68Y1T87",
    // 56 serial port
    "F0A0 k15 X8Y14T104 X8y29T232 X8y29T237 X8y29T90 X68Y1T103 X68Y20T104 X68Y34T107 X68Y48T108 X164Y48T135 "
    "X68Y62T109 X164Y62T24 X68Y76T110 X164Y76T31 X68Y90T201",
    // 57, 58, 59, 60, 61 not used
    "", "", "", "", "",
    // 62 set time and date (hours highlighted)
    "F0A0 k9 X8Y14T225 X8Y101T21 X68Y1T102 X68Y30T112 X68y12T93 X68Y70T112 X68y12T113",
    // 63..66 the other fields highlighted
    "F0A0 k9 X8Y14T225 X8Y101T21", "F0A0 k9 X8Y14T225 X8Y101T21", "F0A0 k9 X8Y14T225 X8Y101T21",
    "F0A0 k9 X8Y14T225 X8Y101T21",
    // 67 memory full
    "",
    // 68 delete confirmation
    "F0A0 k3 X8Y14T77 X8Y43T78",
    // 69 sample number
    "F0A0 k8 X8Y101T19 X68Y1T20",
    // 70 factor display options
    "F0A0 k8 X8Y101T21 X68Y1T59",
    // 71 service menu
    "F0A0 K3 X8Y14T169 X8y29T170",
    // 72 final test
    "F0A0 k9 X8Y14T53 X8Y101T90 X68Y1T169",
    // 73 diagnostics options
    "F0A0 k15 X8Y14T18 X8y29T89 X8y29T172 X8y29T173 X68Y1T170",
    // 74 diagnostic scans
    "F0A0 k15 X8Y14T303 X8y29T179 X8y29T180 X8y29T181 X68Y1T181",
    // 75 diagnostics table
    "F0A0 k8 X8Y101T256 X68Y1T177",
    // 76 single, multi, ratio
    "F0A0 K7 X8Y14T194 X8y29T11 X8y29T10",
    // 77 cell density
    "F0A0 k8 X8Y101T19 X68Y1T195",
    // 78, 79 not used
    "", "",
    // 80 language options
    "F0A0 k1 X8Y14T21 X68Y1T235",
    // 81 heater
    "F0A0 k8 X8Y101T21 X68Y1T234",
    // 82 not used
    "",
    // 83 LED check: clear the light path
    "F0A0 k8 X8Y101T267 X68Y1T263 X68Y40T268 X68Y50T269",
    // 84 LED check: insert the holmium filter
    "F0A0 k8 X8Y101T267 X68Y1T263 X68Y40T270 X68Y50T271",
    // 85 standby
    "C0",
    // 86 communications, software update
    "F0A0 K3 X8Y14T101 X8y29T281",
    // 87 software update
    "F0A0 k8 X8Y101T286 X68Y1T281 X8Y20T282 X8Y30T283 X8Y46T284 X8Y56T285 X8Y76T287",
    // 88 not used
    "",
    // 89 curve fit algorithm
    "F0A0 k8 X8Y101T21 X68Y1T292",
    // 90 not used
    "",
    // 91 stray-light check
    "F0A0 k8 X8Y101T267 X68Y1T297 X68Y40T299 X68Y50T300",
    // 92 LED check: reference
    "F0A0 X68Y80T304 X68Y90T310",
    // 93 LED check: LED result
    "F0A0 X68Y80T263",
    // 94..131 protein assays: not built
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    // 132 PC Control
    "F1 X64Y50T327",

    // 133 hint line: cleared
    "F0A0 X64Y119c29",
    // 134..137 hint glyphs: R, T, up-down, left-right
    "F0A0 X172Y119T138",
    "F0A0 X184Y119T129",
    "F0A0 X208Y119T140",
    "F0A0 X220Y119T139",
    // 138..140 self-test marks: pass, fail, not run (the cursor row is set first)
    "F0A0 X208T115",
    "F0A0 X208T116",
    "F0A0 X208T240",
    // 141..143 self-test failure advice (the cursor row is set first)
    "F0A0 X68T244",
    "F0A0 X68T249 X68y8T250",
    "F0A0 X68T246 X68y8T242 X68y8T243",
    // 144 date and time of the self-test result
    "F0A0 X68Y92I7T16I8T16I9 X128Y92I5T94I6",
    // 145 out-of-range message
    "F0V0 X70Y120T167",
    // 146, 147 single: absorbance or % transmission in the large font
    "F1A0 X68Y36T14T15D1",
    "F1A0 X68Y36T17T15D25c2",
    // 148, 149 ratio: the two wavelength lines
    "F0A0 X70Y36T12F2T24F0T15I1T22 x6T14F2T24F0T15D1c1",
    "F0A0 X70Y52T12F2T25F0T15I2T22 x6T14F2T25F0T15D2c1",
    // 150 ratio value
    "F1A0 X70Y76T121 y5F2I1T16I2 y251F1T15D3c1",
    // 151..154 multi: the four lines
    "F0A0 X70Y24T14T15D1 X148Y24T12F2T24F0T15I1T22",
    "F0A0 X70Y44T14T15D2c1 X148Y44T12F2T25F0T15I2T22",
    "F0A0 X70Y64T14T15D5c1 X148Y64T12F2T26F0T15I3T22",
    "F0A0 X70Y84T14T15D4c1 X148Y84T12F2T27F0T15I4T22",
    // 155 method-list row (the cursor row is set first; name in the edit text)
    "F0A0 X100I0 X118S1",
    // 156 blank the lower rows of the last method-list page
    "X100Y72 c20X100Y80 c20X100Y88 c20X100Y96 c20",
    // 157 memory full message
    "F0A0 X64Y104c29 X64Y112c29 X68Y104T143 X68Y112T144",
    // 158 delete prompt (name in the edit text)
    "F0A0 X64Y84c29 X64Y92c29 X64Y100c29 X68Y84T125 X68Y96S1T126",
    // 159 language not available
    "F0A0 X80Y100T279",
    // 160 set-up menu with the heater
    "F0A0 K15 X8Y14T233 X8y29T280 X8y29T102 X8y29T234",
    // 161 software uploading
    "F0A0 X64Y88c29 X68Y88T311",
    // 162 PC Control waiting for the sample
    "F0A0 X64Y80c29 X84Y80T328",
    // 163 scan axes
    "X92Y110H217V110L1 X92Y110H92V10L1",
    // 164, 165 scan value at the cursor
    "F0A0 X68Y1T183D26c2 X160Y1T12T15I1T22",
    "F0A0 X68Y1T183D27c2 X160Y1T12T15I1T22",
    // 166 name field of the method program (edit text)
    "F0A0 X128Y12S1c1",
    // 167, 168 "Std" label before the unit of a standard-curve method
    "F0A0 X168Y60T88",
    "F0A0 X174Y60T88",
    // 169 method result in the large font
    "F1A0 X68Y76T15D1",
    // 170 diagnostics table
    "F0A0 X68Y16T260 X122Y16I50I51I52 X68Y28T261 X122Y28I53I54I55 X68Y40T262 X122Y40I56I57I58 "
    "X68Y52T263 X122Y52I59I60I61 X68Y64T191 X122Y64I62 X68Y76T264 X122Y76I63",
    // 171 kinetics result lines
    "F0A0 X68Y40T96T63T64T15D8 X68Y56T97T15D9 X68Y72T155T15D7",
    // 172 curve result line
    "F0A0 X68Y100T97T15D9",
    // 173 method program: erase the trace of a wider value
    "X208Y30 c1",
};

const char* ScreenScript(uint16_t unIndex)
{
    if (unIndex >= SCREEN_SCRIPT_COUNT)
        return "";
    return gapszScreenScript[unIndex];
}

bool IsOverlayState(uint8_t bState)
{
    static constexpr uint8_t kabOverlay[] = {2,  3,   4,   5,   6,   7,   8,   9,   10,  16,  18,  19,  28,  29,
                                             31, 33,  38,  40,  41,  42,  46,  50,  51,  52,  53,  63,  64,  65,
                                             66, 67,  68,  92,  93,  102, 103, 104, 105, 108, 109, 110, 111, 114,
                                             115, 116, 117, 120, 121, 122, 123, 125, 126, 128, 129};
    for (uint8_t b : kabOverlay)
        if (b == bState)
            return true;
    return false;
}

uint8_t OverlayParent(uint8_t bState)
{
    switch (bState) {
    case 2: case 5: case 6: case 7: case 8: case 9: case 10:
        return 1;
    case 16:
        return 15;
    case 18: case 19:
        return 17;
    case 28: case 29: case 31: case 33: case 38: case 40: case 41: case 42:
        return 27;
    case 46:
        return 45;
    case 50: case 51: case 52: case 53:
        return 49;
    case 63: case 64: case 65: case 66:
        return 62;
    case 67:
        return 25;
    case 68:
        return 26;
    case 92: case 93:
        return 84;
    default:
        return STATE_NEVER_DRAWN;
    }
}
