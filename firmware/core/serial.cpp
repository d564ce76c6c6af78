// Serial port: byte rings, the receive event, and the output primitives.
#include "core/serial.h"

#include "core/bridge.h"
#include "core/timers.h"

namespace {
uint8_t gabRxBuffer[RX_RING_SIZE];
uint8_t gabTxBuffer[TX_RING_SIZE];
uint32_t gulAppliedBaud = 9600;  // the line speed last applied
uint8_t gbInjectedByte = 0;      // last byte handed over by SerialInjectByte
}  // namespace

ByteRing gRxRing = {gabRxBuffer, RX_RING_SIZE, 0, 0, 0};
ByteRing gTxRing = {gabTxBuffer, TX_RING_SIZE, 0, 0, 0};
SerialSink* gpSerialOut = nullptr;
char gszLineBuffer[LINE_BUFFER_SIZE];

void RingInit(ByteRing* pRing, uint8_t* pbBuffer, uint16_t unSize)
{
    pRing->pbBuffer = pbBuffer;
    pRing->unSize = unSize;
    pRing->unHead = 0;
    pRing->unTail = 0;
    pRing->unCount = 0;
}

void RingPut(ByteRing* pRing, uint8_t b)
{
    pRing->pbBuffer[pRing->unTail] = b;
    if (++pRing->unTail >= pRing->unSize)
        pRing->unTail = 0;
    pRing->unCount++;
}

uint8_t RingTake(ByteRing* pRing)
{
    uint8_t b = pRing->pbBuffer[pRing->unHead];
    if (++pRing->unHead >= pRing->unSize)
        pRing->unHead = 0;
    pRing->unCount--;
    return b;
}

void SerialPowerUp(uint8_t bPhase)
{
    if (bPhase != 1)
        return;
    gbTickServicesEnabled = 1;
    SerialInit();
}

// Empties both queues and attaches the host's byte sink, so that the
// start-up text is the first thing the host sees.
void SerialInit()
{
    uint16_t unSaved = FirmwareLock();
    RingInit(&gRxRing, gabRxBuffer, RX_RING_SIZE);
    RingInit(&gTxRing, gabTxBuffer, TX_RING_SIZE);
    gpSerialOut = FirmwareHost()->SerialOutput();
    FirmwareUnlock(unSaved);
    SerialPutString("START");
    SerialPutString("\r\n");
}

void SerialPutChar(uint8_t b)
{
    uint16_t unSaved = FirmwareLock();
    if (gpSerialOut) {
        gpSerialOut->Write(b);
        gpSerialOut->Flush();
    }
    FirmwareUnlock(unSaved);
}

void SerialPutString(const char* psz)
{
    while (*psz)
        SerialPutChar(static_cast<uint8_t>(*psz++));
}

void SerialWrite(const void* pBuffer, uint32_t unLength)
{
    const uint8_t* pb = static_cast<const uint8_t*>(pBuffer);
    for (uint32_t i = 0; i < unLength; i++)
        SerialPutChar(pb[i]);
}

void SerialPutCharReport(uint8_t b) { SerialPutChar(b); }

void SendLineBuffer()
{
    gszLineBuffer[LINE_BUFFER_SIZE - 1] = '\0';
    SerialPutString(gszLineBuffer);
}

uint8_t SerialGetChar()
{
    for (;;) {
        uint16_t unSaved = FirmwareLock();
        if (gRxRing.unCount != 0) {
            uint8_t b = RingTake(&gRxRing);
            FirmwareUnlock(unSaved);
            return b;
        }
        FirmwareUnlock(unSaved);
    }
}

bool SerialRxEmpty()
{
    uint16_t unSaved = FirmwareLock();
    bool bEmpty = gRxRing.unCount == 0;
    FirmwareUnlock(unSaved);
    return bEmpty;
}

bool SerialTxEmpty()
{
    uint16_t unSaved = FirmwareLock();
    bool bEmpty = gTxRing.unCount == 0;
    FirmwareUnlock(unSaved);
    return bEmpty;
}

bool SerialTxIdle() { return true; }

// The byte path itself has no timing; the rate is kept for a host that
// paces what a PC sends to the speed of the line.
void SerialSetBaud(uint8_t bBaud)
{
    uint16_t unSaved = FirmwareLock();
    gulAppliedBaud = bBaud ? 38400 : 9600;
    FirmwareUnlock(unSaved);
}

uint32_t SerialBaudRate()
{
    uint16_t unSaved = FirmwareLock();
    uint32_t ulBaud = gulAppliedBaud;
    FirmwareUnlock(unSaved);
    return ulBaud;
}

uint16_t SerialRxRoom()
{
    uint16_t unSaved = FirmwareLock();
    uint16_t unRoom = static_cast<uint16_t>(gRxRing.unSize - gRxRing.unCount);
    FirmwareUnlock(unSaved);
    return unRoom;
}

void SerialRxEvent()
{
    uint16_t unSaved = FirmwareLock();
    if (gRxRing.unCount < gRxRing.unSize)
        RingPut(&gRxRing, gbInjectedByte);
    FirmwareUnlock(unSaved);
}

void SerialInjectByte(uint8_t c)
{
    uint16_t unSaved = FirmwareLock();
    gbInjectedByte = c;
    SerialRxEvent();
    FirmwareUnlock(unSaved);
}
