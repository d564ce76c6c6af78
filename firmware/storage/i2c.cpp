// The bit-banged two-wire master.
//
// Call tree: transfers (I2cReadByteAt ... I2cFillBlock) -> I2cAckPoll ->
// I2cWriteByte / I2cReadByte -> I2cWriteBit / I2cReadBit, I2cStart, I2cStop
// -> I2cWaitScl -> the host pin operations.
#include "storage/i2c.h"

#include "core/bridge.h"
#include "core/runtime.h"

I2C_DEVICE gEepromDevice;
I2C_DEVICE gClockDevice;

namespace {

uint16_t ReadStopwatch(const uint16_t* punStopwatch)
{
    uint16_t unSaved = FirmwareLock();
    uint16_t unMs = *punStopwatch;
    FirmwareUnlock(unSaved);
    return unMs;
}

void ResetStopwatch(uint16_t* punStopwatch)
{
    uint16_t unSaved = FirmwareLock();
    *punStopwatch = 0;
    FirmwareUnlock(unSaved);
}

// Sends the memory address: the high byte first when the width is 2. A
// missing acknowledge is ignored; only a bus error fails.
bool SendAddress(const I2C_DEVICE* pDevice, uint16_t unAddress)
{
    if (pDevice->bAddressWidth == 2 && I2cWriteByte(static_cast<uint8_t>(unAddress >> 8)) == I2C_ERROR)
        return false;
    return I2cWriteByte(static_cast<uint8_t>(unAddress & 0xFF)) != I2C_ERROR;
}

// Start, control byte for writing, address. False (after a stop when the
// device did not answer) on failure.
bool BeginWrite(const I2C_DEVICE* pDevice, uint16_t unAddress)
{
    if (!I2cStart())
        return false;
    int16_t nAck = I2cWriteByte(pDevice->bControl);
    if (nAck == I2C_ERROR)
        return false;
    if (nAck != 0) {
        I2cStop();
        return false;
    }
    return SendAddress(pDevice, unAddress);
}

// Begins a read at an address: the address is written, then a repeated
// start turns the transfer round. A device that stops answering at the
// repeated start fails the read rather than yielding bytes of a floating line.
bool BeginRead(const I2C_DEVICE* pDevice, uint16_t unAddress)
{
    if (!BeginWrite(pDevice, unAddress) || !I2cStart())
        return false;
    int16_t nAck = I2cWriteByte(static_cast<uint8_t>(pDevice->bControl | 1));
    if (nAck == I2C_ERROR)
        return false;
    if (nAck != 0) {
        I2cStop();
        return false;
    }
    return true;
}

// One write transfer inside a page: from pbSource, or bValue repeated when
// pbSource is null.
bool WriteTransfer(const I2C_DEVICE* pDevice, uint16_t unAddress, const uint8_t* pbSource,
                   uint8_t bValue, uint16_t unCount)
{
    uint16_t unPage = pDevice->bPageSize;
    if (unCount == 0 || unPage == 0 || unAddress % unPage + unCount > unPage)
        return false;
    if (!BeginWrite(pDevice, unAddress))
        return false;
    for (uint16_t i = 0; i < unCount; i++)
        if (I2cWriteByte(pbSource ? pbSource[i] : bValue) == I2C_ERROR)
            return false;
    if (!I2cStop())
        return false;
    return I2cAckPoll(pDevice);
}

}  // namespace

bool I2cDescribe(I2C_DEVICE* pDevice, uint8_t bControl, uint8_t bAddressWidth, uint8_t bPageSize)
{
    pDevice->bControl = bControl;
    pDevice->bAddressWidth = bAddressWidth;
    pDevice->bPageSize = bPageSize;
    return true;
}

void I2cInit() { StopwatchInit(); }

void I2cPowerUp()
{
    I2cDescribe(&gEepromDevice, 0xA0, 2, 64);
    I2cDescribe(&gClockDevice, 0xD0, 1, 64);
    I2cInit();
}

void I2cTickStopwatches() { StopwatchTick(); }

// The pause between two line changes; the simulated bus needs none.
void I2cDelay() {}

// A clock line that is already high needs no stopwatch: the firmware lock
// is taken only when a device holds SCL low, not once per bit.
bool I2cWaitScl()
{
    if (!gbI2cWaitEnabled || I2cGetScl())
        return true;
    ResetStopwatch(&gunStopwatchA);
    for (;;) {
        if (I2cGetScl())
            return true;
        if (ReadStopwatch(&gunStopwatchA) >= I2C_SCL_TIMEOUT_MS || !WaitRound(0))
            return false;
    }
}

// Assert on entry: SCL high (or the bus idle). SDA falls while SCL is high.
bool I2cStart()
{
    I2cDelay();
    I2cSetScl(0);
    I2cDelay();
    I2cSetSda(1);
    I2cDelay();
    I2cSetScl(1);
    I2cDelay();
    if (!I2cWaitScl())
        return false;
    I2cSetSda(0);
    I2cDelay();
    return true;
}

// SDA rises while SCL is high.
bool I2cStop()
{
    I2cDelay();
    I2cSetScl(0);
    I2cDelay();
    I2cSetSda(0);
    I2cDelay();
    I2cSetScl(1);
    I2cDelay();
    if (!I2cWaitScl())
        return false;
    I2cSetSda(1);
    I2cDelay();
    return true;
}

// The bit is set up while SCL is low and read by the device on the rising edge.
int16_t I2cWriteBit(uint8_t bBit)
{
    bBit = bBit ? 1 : 0;
    I2cDelay();
    I2cSetScl(0);
    I2cDelay();
    I2cSetSda(bBit);
    I2cDelay();
    I2cSetScl(1);
    if (!I2cWaitScl())
        return I2C_ERROR;
    I2cDelay();
    return bBit;
}

// SDA is released while SCL is low; the device's level is read with SCL high.
int16_t I2cReadBit()
{
    I2cDelay();
    I2cSetScl(0);
    I2cDelay();
    I2cSetSda(1);
    I2cDelay();
    I2cSetScl(1);
    I2cDelay();
    if (!I2cWaitScl())
        return I2C_ERROR;
    int16_t nLevel = I2cGetSda() ? 1 : 0;
    I2cDelay();
    return nLevel;
}

int16_t I2cWriteByte(uint8_t bValue)
{
    for (int nBit = 7; nBit >= 0; nBit--)
        if (I2cWriteBit((bValue >> nBit) & 1) == I2C_ERROR)
            return I2C_ERROR;
    return I2cReadBit();
}

int16_t I2cReadByte(uint8_t bAck)
{
    int16_t nValue = 0;
    for (int i = 0; i < 8; i++) {
        int16_t nBit = I2cReadBit();
        if (nBit == I2C_ERROR)
            return I2C_ERROR;
        nValue = static_cast<int16_t>((nValue << 1) | nBit);
    }
    if (I2cWriteBit(bAck) == I2C_ERROR)
        return I2C_ERROR;
    return nValue;
}

// After a write transfer: addresses the device for reading until it
// acknowledges (it is busy while it stores the page), for at most 500 ms.
bool I2cAckPoll(const I2C_DEVICE* pDevice)
{
    ResetStopwatch(&gunStopwatchB);
    for (;;) {
        if (!I2cStart())
            return false;
        int16_t nAck = I2cWriteByte(static_cast<uint8_t>(pDevice->bControl | 1));
        if (nAck == I2C_ERROR)
            return false;
        if (nAck == 0)
            return I2cReadByte(1) != I2C_ERROR && I2cStop();
        if (!I2cStop())
            return false;
        if (ReadStopwatch(&gunStopwatchB) >= I2C_ACK_TIMEOUT_MS || !WaitRound(0))
            return false;
    }
}

int16_t I2cReadByteAt(const I2C_DEVICE* pDevice, uint16_t unAddress)
{
    if (!BeginRead(pDevice, unAddress))
        return I2C_ERROR;
    int16_t nValue = I2cReadByte(1);
    if (nValue == I2C_ERROR || !I2cStop())
        return I2C_ERROR;
    return nValue;
}

int16_t I2cWriteByteAt(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t bValue)
{
    if (!BeginWrite(pDevice, unAddress) || I2cWriteByte(bValue) == I2C_ERROR || !I2cStop() ||
        !I2cAckPoll(pDevice))
        return I2C_ERROR;
    return bValue;
}

uint16_t I2cReadBlock(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t* pbDest, uint16_t unCount)
{
    if (unCount == 0 || !BeginRead(pDevice, unAddress))
        return 0;
    for (uint16_t i = 0; i < unCount; i++) {
        int16_t nValue = I2cReadByte(i + 1 < unCount ? 0 : 1);
        if (nValue == I2C_ERROR)
            return 0;
        pbDest[i] = static_cast<uint8_t>(nValue);
    }
    return I2cStop() ? unCount : 0;
}

bool I2cWritePage(const I2C_DEVICE* pDevice, uint16_t unAddress, const uint8_t* pbSource, uint16_t unCount)
{
    return WriteTransfer(pDevice, unAddress, pbSource, 0, unCount);
}

bool I2cFillPage(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t bValue, uint16_t unCount)
{
    return WriteTransfer(pDevice, unAddress, nullptr, bValue, unCount);
}

uint16_t I2cWriteBlock(const I2C_DEVICE* pDevice, uint16_t unAddress, const uint8_t* pbSource, uint16_t unCount)
{
    uint16_t unPage = pDevice->bPageSize;
    if (unPage == 0)
        return 0;
    uint16_t unDone = 0;
    uint16_t unChunk = static_cast<uint16_t>(unPage - unAddress % unPage);
    while (unDone < unCount) {
        if (unChunk > unCount - unDone)
            unChunk = static_cast<uint16_t>(unCount - unDone);
        if (!I2cWritePage(pDevice, static_cast<uint16_t>(unAddress + unDone), pbSource + unDone, unChunk))
            break;
        unDone = static_cast<uint16_t>(unDone + unChunk);
        unChunk = unPage;
    }
    return unDone;
}

// The address must be page-aligned.
uint16_t I2cFillBlock(const I2C_DEVICE* pDevice, uint16_t unAddress, uint8_t bValue, uint16_t unCount)
{
    uint16_t unPage = pDevice->bPageSize;
    if (unPage == 0)
        return 0;
    uint16_t unDone = 0;
    while (unDone < unCount) {
        uint16_t unChunk = unCount - unDone < unPage ? static_cast<uint16_t>(unCount - unDone) : unPage;
        if (!I2cFillPage(pDevice, static_cast<uint16_t>(unAddress + unDone), bValue, unChunk))
            break;
        unDone = static_cast<uint16_t>(unDone + unChunk);
    }
    return unDone;
}
