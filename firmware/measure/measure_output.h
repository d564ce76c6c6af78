// Output of the measurement routines: self-test detail lines (sent only with
// "Base Self Test Info" on) and trace lines of a remote command.
#pragma once

// Formats one detail line and sends it through the shared line buffer, in
// pieces when it is longer than the buffer.
void DiagPrintf(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
// Formats one trace line ("+NN\t" and "\r\n" are added by the remote side).
void TracePrintf(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
