// Placeholder for the remote command interpreter until it is built: the
// receive queue is drained and ignored. Removed when the interpreter lands.
#include "comms/remote.h"

#include "comms/serial.h"

uint8_t gbRemoteControl;
int32_t gnDataMode;
uint8_t gbTraceOn;
uint8_t gbTraceSeq;
uint8_t gbResultCount;

bool RemotePoll()
{
    while (!SerialRxEmpty())
        SerialGetChar();
    return true;
}
void RemoteInit() {}
void RemoteReset() {}
void RemoteTrace(const char*) {}
void SetRemoteScreen(uint8_t) {}
void SendTestResult() {}
void ReadClock(uint8_t* pbClock)
{
    for (int i = 0; i < 6; i++)
        pbClock[i] = 0;
}
