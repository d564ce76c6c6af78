// The firmware's two-wire master, bit-banged through the host pin
// operations (I2cSetScl, I2cSetSda, I2cGetScl, I2cGetSda of core/bridge.h).
//
// Layers: bits (start, stop, one bit out, one bit in), bytes with their
// acknowledge, acknowledge polling after a write, and transfers to a device
// described by an I2C_DEVICE (single bytes, blocks, pages; block writes are
// split at page boundaries). Only the firmware thread calls it.
//
// Results: bit and byte operations return -1 on a bus error (SCL did not go
// high within 50 ms); byte writes return the acknowledge bit (0 acknowledged,
// 1 not). Every operation leaves SCL high, and SDA high after a stop.
//
// Time: the 50 ms clock-line wait and the 500 ms acknowledge polling run on
// the I2C stopwatches of core/timers.h. While they poll they consume host
// ticks (so the stopwatches advance), yield to the host, and give up when
// the firmware is asked to stop.
#pragma once

#include <cstdint>

#include "core/timers.h"

// One device on the bus.
struct I2C_DEVICE {
    uint8_t bControl;       // device address, read/write bit 0 clear
    uint8_t bAddressWidth;  // memory-address bytes sent: 1, or 2 (high byte first)
    uint8_t bPageSize;      // bytes per write page
};

extern I2C_DEVICE gEepromDevice;  // the 32 KB EEPROM: 0xA0, 2 address bytes, 64-byte pages
extern I2C_DEVICE gClockDevice;   // the clock chip: 0xD0, 1 address byte, 64-byte pages

// The waits are enabled by I2cInit; before it I2cWaitScl does not wait.
// The same flag as the stopwatches' enable flag of core/timers.h.
inline uint8_t& gbI2cWaitEnabled = gbI2cTimeoutsOn;

constexpr int16_t I2C_ERROR = -1;           // bus error result of bit and byte operations
constexpr uint16_t I2C_SCL_TIMEOUT_MS = 50;   // longest wait for SCL to go high
constexpr uint16_t I2C_ACK_TIMEOUT_MS = 500;  // longest acknowledge polling after a write

bool I2cDescribe(I2C_DEVICE* pDevice, uint8_t bControl, uint8_t bAddressWidth, uint8_t bPageSize);
void I2cInit();
// The bus as the board has it: the EEPROM's and the clock chip's
// descriptors, then I2cInit.
void I2cPowerUp();
void I2cTickStopwatches();
void I2cDelay();
bool I2cWaitScl();

// Bit layer.
bool I2cStart();
bool I2cStop();
int16_t I2cWriteBit(uint8_t bBit);
int16_t I2cReadBit();

// Byte layer. I2cReadByte sends bAck after the byte: 0 acknowledges (more
// to come), 1 does not (the last byte).
int16_t I2cWriteByte(uint8_t bValue);
int16_t I2cReadByte(uint8_t bAck);
bool I2cAckPoll(const I2C_DEVICE* pDevice);

// Transfers.
int16_t I2cReadByteAt(const I2C_DEVICE* pDevice, uint16_t unAddress);
int16_t I2cWriteByteAt(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t bValue);
// Returns unCount on success, 0 on any failure; the destination is not
// touched when the device does not answer.
uint16_t I2cReadBlock(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t* pbDest, uint16_t unCount);
// One write transfer of 1..page size bytes that stay inside one page.
bool I2cWritePage(const I2C_DEVICE* pDevice, uint16_t unAddress, const uint8_t* pbSource, uint16_t unCount);
bool I2cFillPage(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t bValue, uint16_t unCount);
// Page-sized write transfers; return the bytes in transfers that succeeded.
uint16_t I2cWriteBlock(const I2C_DEVICE* pDevice, uint16_t unAddress, const uint8_t* pbSource, uint16_t unCount);
uint16_t I2cFillBlock(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t bValue, uint16_t unCount);
