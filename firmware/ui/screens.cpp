// The screen-script fragments that screens draw over themselves (hint line,
// self-test marks, value lines, messages), numbered after the screens of the
// states (whose scripts are in the state table), and the lookup of both.

#include "ui/ui_internal.h"

#include "ui/ui.h"

const char* const gapszScreenFragment[SCREEN_SCRIPT_COUNT - FRAG_FIRST] = {
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
    "F0A0 X68T249 X68y10T250",
    "F0A0 X68T246 X68y10T242 X68y10T243",
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
    "F0A0 X64Y72c29 X64Y80c29 X64Y88c29 X64Y96c29 X64Y104c29 X64Y111c29 X68Y86T143 X68Y96T144",
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
    // 163 detector plot value at the cursor
    "F0A0 X68Y1T183I12 X178Y1T12T15I1T22",
    // 164, 165 scan value at the cursor
    "F0A0 X68Y1T183D26c2 X178Y1T12T15I1T22",
    "F0A0 X68Y1T183D27c2 X178Y1T12T15I1T22",
    // 166 name field of the method program (edit text)
    "F0A0 X128Y12S1c1",
    // 167, 168 "Std" label before the unit of a standard-curve method
    "F0A0 X168Y60T88",
    "F0A0 X174Y60T88",
    // 169 method result in the large font
    "F1A0 X68Y76T15D1",
    // 170 diagnostics table
    ("F0A0 X164Y1T257 X200Y1T258 X68Y16T260 X122Y16I50I51I52 X68Y28T261 X122Y28I53I54I55 X68Y40T262 X122Y40I56I57I58 "
     "X68Y52T263 X122Y52I59I60I61 X68Y64T191 X122Y64I62 X68Y76T264 X122Y76I63"),
    // 171 kinetics result lines
    "F0A0 X68Y40T96T63T64T15D8 X68Y56T97T15D9 X68Y72T155T15D7",
    // 172 curve result line
    "F0A0 X68Y100T97T15D9",
    // 173 method program: erase the trace of a wider value
    "X208Y30 c1",
};

const char* ScreenScript(uint16_t unIndex)
{
    if (unIndex < STATE_COUNT)
        return gScreenStates[unIndex].pszScript;
    if (unIndex >= SCREEN_SCRIPT_COUNT)
        return "";
    return gapszScreenFragment[unIndex - FRAG_FIRST];
}
