// The serial port: the receive queue that injected bytes arrive in, the
// synchronous transmit path that every text the firmware sends goes through,
// and the shared line buffer that output lines are formatted into.
#pragma once

#include <cstdint>

#include "core/bridge.h"

// A byte queue; put and take do not check fullness or emptiness, callers do.
struct ByteRing {
    uint8_t* pbBuffer;  // storage, fixed at start
    uint16_t unSize;    // capacity in bytes
    uint16_t unHead;    // next byte to take
    uint16_t unTail;    // next free slot
    uint16_t unCount;   // bytes held
};

constexpr uint16_t RX_RING_SIZE = 64;
constexpr uint16_t TX_RING_SIZE = 4096;
constexpr int LINE_BUFFER_SIZE = 56;

extern ByteRing gRxRing;                       // receive queue, 64 bytes
extern ByteRing gTxRing;                       // transmit queue, 4096 bytes (always empty)
extern SerialSink* gpSerialOut;                // where transmitted bytes go; null drops them
extern char gszLineBuffer[LINE_BUFFER_SIZE];   // shared output line, NUL-terminated

void RingInit(ByteRing* pRing, uint8_t* pbBuffer, uint16_t unSize);
void RingPut(ByteRing* pRing, uint8_t b);
uint8_t RingTake(ByteRing* pRing);

// The main loop's serial service: on the first pass (phase 1) it enables
// the tick services and initialises the port; later passes do nothing.
void SerialPowerUp(uint8_t bPhase);
void SerialInit();
// Host-called: hands one received byte to the receive queue.
void SerialInjectByte(uint8_t c);
void SerialPutChar(uint8_t b);
void SerialPutString(const char* psz);
void SerialWrite(const void* pBuffer, uint32_t unLength);
void SerialPutCharReport(uint8_t b);
void SendLineBuffer();
uint8_t SerialGetChar();
bool SerialRxEmpty();
bool SerialTxEmpty();
bool SerialTxIdle();
void SerialSetBaud(uint8_t bBaud);
void SerialRxEvent();

// For a host that feeds the receive queue at the line's pace: the free room
// in the receive queue, and the baud rate last applied by SerialSetBaud
// (9600 until then, or 38400), each read under the firmware lock.
uint16_t SerialRxRoom();
uint32_t SerialBaudRate();
