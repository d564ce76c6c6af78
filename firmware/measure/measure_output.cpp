// Detail and trace lines of the self-diagnostics and the calibrations.
#include "measure/measure_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/serial.h"
#include "measure/measure_hooks.h"
#include "storage/params.h"

namespace {

constexpr int MEASURE_LINE_SIZE = 128;  // longest detail or trace line, bytes

// Sends the line buffer as a detail line, only with "Base Self Test Info" on.
void SendDiagLine()
{
    if (gbBaseSelfTestInfo)
        SendLineBuffer();
}

}  // namespace

void DiagPrintf(const char* pszFormat, ...)
{
    char szLine[MEASURE_LINE_SIZE];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szLine, sizeof(szLine), pszFormat, args);
    va_end(args);
    size_t nLength = strlen(szLine);
    for (size_t nStart = 0; nStart < nLength; nStart += LINE_BUFFER_SIZE - 1) {
        size_t nPiece = nLength - nStart;
        if (nPiece > LINE_BUFFER_SIZE - 1)
            nPiece = LINE_BUFFER_SIZE - 1;
        memcpy(gszLineBuffer, szLine + nStart, nPiece);
        gszLineBuffer[nPiece] = '\0';
        SendDiagLine();
    }
}

void TracePrintf(const char* pszFormat, ...)
{
    char szLine[MEASURE_LINE_SIZE];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szLine, sizeof(szLine), pszFormat, args);
    va_end(args);
    gpfnTraceLine(szLine);
}
