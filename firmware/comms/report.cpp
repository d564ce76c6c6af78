// Result reports: the instrument header and the self-test report.
#include "comms/report.h"

#include <cstdio>

#include "comms/remote.h"
#include "comms/serial.h"
#include "storage/params.h"

static void SendLine(const char* psz)
{
    SerialPutString(psz);
    SerialPutString("\r\n");
}

void PrintInstrumentHeader()
{
    SerialPutString("\r\n");
    SendLine("Telmarid");
    SendLine("Visible Diode Array Spectrophotometer");
    SendLine(FIRMWARE_VERSION);
    if (gulSerialNumber != 0) {
        SerialPutString("\r\n");
        std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "S/N %lu", static_cast<unsigned long>(gulSerialNumber));
        SendLine(gszLineBuffer);
    }
}

// Day, month and year in the configured order.
static void DateFields(const unsigned char* pbClock, unsigned* punFirst, unsigned* punSecond)
{
    *punFirst = gbDateFormat == 1 ? pbClock[0] : pbClock[1];
    *punSecond = gbDateFormat == 1 ? pbClock[1] : pbClock[0];
}

void PrintSelfTestReport(const unsigned char* pbRows, const unsigned char* pbClock)
{
    static const char* const kapszRowName[3] = {"Tungsten Lamp", "Wavelength Calibration", "Diode Array"};
    unsigned unFirst = 0, unSecond = 0;
    DateFields(pbClock, &unFirst, &unSecond);
    bool bAllPassed = true;
    for (int i = 0; i < 3; i++)
        if (pbRows[i] != 1)
            bAllPassed = false;

    if (gbOutputDevice == 2) {
        std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "%2.2u,%2.2u,%2.2u,%2.2u,%2.2u,Self Diagnostics,", unFirst,
                      unSecond, static_cast<unsigned>(pbClock[2]), static_cast<unsigned>(pbClock[3]),
                      static_cast<unsigned>(pbClock[4]));
        SerialPutString("\r\n");
        SerialPutString(gszLineBuffer);
        for (int i = 0; i < 3; i++) {
            std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "%s,%s,", kapszRowName[i],
                          pbRows[i] == 2 ? "Fail" : pbRows[i] == 1 ? "Pass" : "-");
            SerialPutString(gszLineBuffer);
        }
        SendLine(bAllPassed ? "All tests passed" : "Check cuvette chamber is clear then re-test");
        return;
    }
    std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "Date : %2.2u/%2.2u/%2.2u", unFirst, unSecond,
                  static_cast<unsigned>(pbClock[2]));
    SendLine(gszLineBuffer);
    std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "Time : %2.2u:%2.2u", static_cast<unsigned>(pbClock[3]),
                  static_cast<unsigned>(pbClock[4]));
    SendLine(gszLineBuffer);
    SendLine("Self Diagnostics");
    for (int i = 0; i < 3; i++) {
        std::snprintf(gszLineBuffer, sizeof gszLineBuffer, "%s : %s", kapszRowName[i],
                      pbRows[i] == 2 ? "FAIL" : pbRows[i] == 1 ? "PASS" : "-");
        SendLine(gszLineBuffer);
    }
    if (bAllPassed) {
        SendLine("All tests passed");
    } else {
        if (pbRows[0] == 2)
            SendLine("Lamp failure, replace");
        if (pbRows[1] == 2) {
            SendLine("Check cuvette chamber is clear");
            SendLine("then re-test");
        }
        if (pbRows[2] == 2) {
            SendLine("Diode array problem");
            SendLine("Return instrument to an");
            SendLine("authorised service agent");
        }
    }
    SerialPutString("\r\n");
}
