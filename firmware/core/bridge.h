// The host bridge: every operation that crosses between the firmware and the
// host that runs it (front-panel window, headless test host).
//
// A host derives from HostBridge, implements the operations and attaches
// itself with FirmwareAttachHost before FirmwareStart. The firmware calls the
// host only through the free functions declared below, never through any
// other path. Until a host is attached the firmware sees a null host: no key
// is down, display memory reads 0, the I2C lines float high.
#pragma once

#include <cstdint>

// The display memory: 240 x 128 dots, 30 bytes a row from address 640, a 1
// bit a dark dot (bit 7 the leftmost of its eight).
constexpr int LCD_WIDTH = 240;
constexpr int LCD_HEIGHT = 128;
constexpr int LCD_BYTES_PER_ROW = 30;
constexpr uint16_t LCD_GRAPHIC_BASE = 640;
constexpr uint16_t LCD_SCREEN_BYTES = LCD_BYTES_PER_ROW * LCD_HEIGHT;  // 3840
constexpr uint16_t LCD_MEMORY_END = 5760;  // host display memory covers 640..5759

// One pixel of a frame set, as the diode array delivers it; 8 bytes,
// little-endian on the instrument.
struct FrameRecord {
    uint16_t unPixel;   // 1..1024, the record's position plus one (not used by a reading)
    uint16_t unLight;   // summed detector counts with the lamp on
    uint16_t unDark;    // summed detector counts in the dark
    uint8_t bFrames;    // integration frames summed, 1..60
    uint8_t bReserved;  // always 0
};
static_assert(sizeof(FrameRecord) == 8, "a frame record is 8 bytes");

constexpr int FRAME_SET_PIXELS = 1024;

// A byte stream that the serial port writes its transmitted bytes to.
class SerialSink {
public:
    virtual ~SerialSink() = default;
    virtual void Write(uint8_t b) = 0;
    virtual void Flush() {}
};

// Every operation has an inert default (no key down, display memory reads 0
// and drops writes, no ticks, the I2C lines float high, no serial sinks), so
// a host or a test rig overrides only what it provides.
class HostBridge {
public:
    virtual ~HostBridge() = default;

    // Key readers: 1 while the key with that code (1..12) is down, else 0.
    virtual int KeyIsDown(uint8_t) { return 0; }

    // Display memory, addresses 640..5759; a write also marks the address changed.
    virtual void LcdWrite(uint16_t, uint8_t) {}
    virtual uint8_t LcdRead(uint16_t) { return 0; }
    // Show the display memory now; returns once the host has repainted.
    virtual void LcdRefresh() {}

    // The host's count of 50 ms ticks not yet consumed, and its decrement.
    virtual int32_t PendingTicks() { return 0; }
    virtual void ConsumePendingTick() {}

    // End of a main-loop pass or of one round of a waiting loop: give the
    // host its turn. Never blocks for long on a free-running host.
    virtual void Yield() {}

    // Firmware thread life: called on the firmware thread before the first
    // pass and after the last one.
    virtual void ThreadBegin() {}
    virtual void ThreadEnd() {}
    // Called on the host thread by FirmwareStop after the stop event is
    // signalled and before the thread is joined: a host that parks the
    // firmware thread must let it run freely from here on.
    virtual void StopRequested() {}

    // The firmware's two I2C pins (0 pulls the line low, 1 releases it) and
    // the resolved line levels.
    virtual void I2cSetScl(int) {}
    virtual void I2cSetSda(int) {}
    virtual int I2cGetScl() { return 1; }
    virtual int I2cGetSda() { return 1; }

    // Byte sink for everything the serial port transmits; null drops the bytes.
    virtual SerialSink* SerialOutput() { return nullptr; }
    // What the host puts in the light path: fills the FRAME_SET_PIXELS
    // records of a reading of kind bKind (READ_* of measure/reading.h) and
    // returns true, or returns false to leave the kind's recorded set in
    // use. Called on the firmware thread when the acquisition is over.
    virtual bool SupplyFrames(uint8_t, FrameRecord*) { return false; }
    // Byte sink for the analogue output's trace ("%d\n" of the output value on
    // every millisecond tick); null leaves the trace detached.
    virtual SerialSink* AnalogueTrace() { return nullptr; }
};

void FirmwareAttachHost(HostBridge* pHost);
HostBridge* FirmwareHost();

// Firmware-side bridge operations.
int HostKeyIsDown(uint8_t bKey);
void LcdWriteByte(uint16_t unAddress, uint8_t bValue);
uint8_t LcdReadByte(uint16_t unAddress);
void LcdRefresh();
int FirmwareStopRequested();
void FirmwareYield();
uint16_t FirmwareLock();
void FirmwareUnlock(uint16_t unSaved);
void I2cSetScl(int nLevel);
void I2cSetSda(int nLevel);
int I2cGetScl();
int I2cGetSda();
