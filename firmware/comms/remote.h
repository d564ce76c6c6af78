// The remote command protocol on the serial port.
#pragma once

#include <cstdint>

constexpr const char* FIRMWARE_VERSION = "Q4K7 V1.0";

extern uint8_t gbRemoteControl;  // 1 while the PC has control; also around a ^R or ^T reading
extern int32_t gnDataMode;       // 0 STDMODE, 1 SCANMODE
extern uint8_t gbTraceOn;        // 1 while a command line executes
extern uint8_t gbTraceSeq;       // number of the next trace line, 0..99
extern uint8_t gbResultCount;    // header counter of the ^T result block, 0..99

// Consumes every waiting byte; false when a command was abandoned by the standby key.
bool RemotePoll();
void RemoteInit();
void RemoteReset();
// Sends "+NN\t" TEXT "\r\n" while a command line executes.
void RemoteTrace(const char* pszText);
void SetRemoteScreen(uint8_t bOn);
void SendTestResult();
// Day, month, year modulo 100, hour, minute, second of the computer's local time.
void ReadClock(uint8_t* pbClock);
