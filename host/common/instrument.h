// The instrument as every host sees it: runs the firmware, deterministically.
//
// The firmware thread runs only while the host lets it: RunSlice hands it the
// turn and waits until the firmware yields (end of a main-loop pass, or one
// round of a waiting loop). Virtual time advances in 50 ms host ticks, each
// tick adding one pending tick and running one slice, so a run is
// reproducible to the pass. On request the ticks are paced to the wall clock
// (real time, or a multiple of it).
//
// A run of many ticks is one hand-off, not one per tick: the firmware thread
// itself delivers the next tick at each of its yield points and checks the
// caller's stop condition there, while the host thread sleeps until the
// condition holds or the ticks are spent. The ticks, slices and checks come
// in exactly the order of a host that delivers one tick per slice.
//
// The host keeps the display memory with its changed flags, counts display
// refreshes, captures every transmitted byte and sets key states. There is
// one firmware per process, so there is at most one CInstrument at a time.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "core/bridge.h"
#include "eeprom_bus.h"
#include "sample_compartment.h"

class CSerialEndpoint;

class CInstrument final : public HostBridge, private SerialSink {
public:
    struct Options {
        std::string sEepromPath = "eeprom.bin";  // backing file of the EEPROM
        double dSpeed = 0;                        // pace: 1 real time, N times real time, 0 as fast as possible
        bool bUserInterface = true;               // false: run the core services without the state machine
    };

    static constexpr uint32_t TICK_MS = 50;

    CInstrument();
    explicit CInstrument(const Options& options);
    ~CInstrument() override;
    CInstrument(const CInstrument&) = delete;
    CInstrument& operator=(const CInstrument&) = delete;

    // Starts the firmware thread and runs the power-up pass (phase 1). The
    // firmware runs once per process: a later power-up leaves Running() false.
    void PowerUp();
    // Stops the firmware at the end of its current pass and joins it.
    void Shutdown();
    bool Running() const { return m_bStarted && !m_bThreadDone && !Interrupted(); }

    // Lets the firmware run until it next yields; no time passes.
    void RunSlice();
    // Advances virtual time by n host ticks of 50 ms, one slice per tick.
    void Tick(uint32_t n = 1);
    // Advances virtual time by at least the given milliseconds (whole ticks).
    void AdvanceMs(uint32_t unMs);
    // Delivers up to unMaxTicks ticks, one slice each, and stops after the
    // first slice at whose end fnDone() holds; fnDone is asked first of all,
    // before any tick. It runs on the firmware thread at its yield points (or
    // on the calling thread), with the firmware stopped at that point, so it
    // may read firmware state and SerialText(). Returns fnDone() at the end.
    bool TickUntil(uint32_t unMaxTicks, const std::function<bool()>& fnDone);
    uint64_t VirtualMs() const { return m_ullTicks * TICK_MS; }
    // Pace of the ticks: 1 real time, N times real time, 0 as fast as possible.
    void SetSpeed(double dSpeed);
    double Speed() const { return m_dSpeed; }

    // Keys (codes 1..12).
    void SetKey(uint8_t bKey, bool bDown);
    bool KeyDown(uint8_t bKey) const;
    // Presses the key for unDownMs, then leaves it up for unUpMs (whole
    // ticks each), in one run of ticks: the firmware thread releases it at
    // the end of the slice where the press has lasted its time, just where
    // a host delivering the ticks one by one would.
    void KeyStroke(uint8_t bKey, uint32_t unDownMs, uint32_t unUpMs);

    // Serial port: bytes into the receive queue, bytes out as captured.
    // Bytes injected beyond the queue's free room are lost, as on the wire.
    void Inject(std::string_view sBytes);
    uint16_t ReceiveRoom() const;
    const std::string& SerialText() const { return m_sSerialOut; }
    void ClearSerialText() { m_sSerialOut.clear(); }
    // Also copy every transmitted byte to a stream (not owned; null stops).
    void SetSerialEcho(std::FILE* pFile) { m_pSerialEcho = pFile; }
    // Watches the serial line in both directions, in the order the bytes
    // pass: Transmitted on the firmware thread as the instrument sends,
    // Received on the host thread as bytes are injected.
    class SerialTap {
    public:
        virtual ~SerialTap() = default;
        virtual void Transmitted(uint8_t b) = 0;
        virtual void Received(std::string_view sBytes) = 0;
    };
    void SetSerialTap(SerialTap* pTap) { m_pSerialTap = pTap; }  // not owned; null stops
    // A pseudo-terminal or TCP end of the port (not owned; set before
    // PowerUp): it gets every transmitted byte, and its client's bytes are
    // injected at the firmware's yield points at the line's pace.
    void AttachSerialEndpoint(CSerialEndpoint* pEndpoint) { m_pSerialEndpoint = pEndpoint; }
    // A flag (set from a signal handler, say) that ends the run: once it is
    // set, Running() is false and Tick() no longer advances time.
    void SetInterruptFlag(const std::atomic<bool>* pbFlag) { m_pbInterrupt = pbFlag; }
    bool Interrupted() const { return m_pbInterrupt && m_pbInterrupt->load(std::memory_order_relaxed); }
    // Sink for the analogue output's per-tick trace (not owned; set before PowerUp).
    void SetAnalogueTrace(SerialSink* pTrace) { m_pAnalogueTrace = pTrace; }
    // A second sink for every transmitted byte, on the firmware thread (the
    // printer's cable; not owned; null stops).
    void SetPrinterSink(SerialSink* pSink) { m_pPrinterSink = pSink; }

    // Display memory (addresses 640..5759) and the shown screen.
    uint8_t DisplayByte(uint16_t unAddress) const;
    bool ByteChanged(uint16_t unAddress) const;
    void ClearChangedFlags();
    bool Pixel(int x, int y) const;
    // The EEPROM's file state (read-only or locked message, empty when fine).
    const CEepromBus& Bus() const { return m_bus; }

    uint32_t RefreshCount() const { return m_unRefreshes.load(std::memory_order_relaxed); }

    // What stands in the cell (the recorded sample until something else goes in).
    CSampleCompartment& Compartment() { return m_compartment; }
    // Firmware time run so far: the host ticks the firmware has consumed.
    uint64_t FirmwareMs() const { return m_ullTicksConsumed.load(std::memory_order_relaxed) * TICK_MS; }

    // Pending host ticks not yet consumed by the firmware.
    int32_t PendingTickCount() const { return m_nPendingTicks.load(std::memory_order_relaxed); }
    void AddPendingTicks(int32_t n) { m_nPendingTicks.fetch_add(n, std::memory_order_relaxed); }

    // HostBridge.
    int KeyIsDown(uint8_t bKey) override;
    void LcdWrite(uint16_t unAddress, uint8_t bValue) override;
    uint8_t LcdRead(uint16_t unAddress) override;
    void LcdRefresh() override;
    int32_t PendingTicks() override;
    void ConsumePendingTick() override;
    void Yield() override;
    void ThreadBegin() override;
    void ThreadEnd() override;
    void StopRequested() override;
    void I2cSetScl(int nLevel) override;
    void I2cSetSda(int nLevel) override;
    int I2cGetScl() override;
    int I2cGetSda() override;
    bool SupplyFrames(uint8_t bKind, FrameRecord* pFrames) override { return m_compartment.SupplyFrames(bKind, pFrames); }
    SerialSink* SerialOutput() override { return this; }
    SerialSink* AnalogueTrace() override { return m_pAnalogueTrace; }

private:
    void Write(uint8_t b) override;
    // One host tick: waits for its time when paced, then adds a pending tick.
    void DeliverTick();
    // Hands the turn to the firmware thread and waits until it hands it back.
    void RunTurn();

    static constexpr uint16_t MEMORY_BASE = 640;
    static constexpr uint16_t MEMORY_SIZE = 5120;

    Options m_options;
    std::array<std::atomic<uint8_t>, MEMORY_SIZE> m_abData{};     // display memory from address 640
    std::array<std::atomic<uint8_t>, MEMORY_SIZE> m_abChanged{};  // 1 once written
    std::array<std::atomic<uint8_t>, 13> m_abKeys{};              // key states by code
    std::atomic<int32_t> m_nPendingTicks{0};                      // host ticks not yet consumed
    std::atomic<uint32_t> m_unRefreshes{0};                       // LcdRefresh calls
    std::string m_sSerialOut;                                     // every transmitted byte
    std::FILE* m_pSerialEcho = nullptr;
    SerialTap* m_pSerialTap = nullptr;
    CSerialEndpoint* m_pSerialEndpoint = nullptr;
    const std::atomic<bool>* m_pbInterrupt = nullptr;
    SerialSink* m_pAnalogueTrace = nullptr;  // analogue trace sink, null when none
    SerialSink* m_pPrinterSink = nullptr;    // printer cable, null when none
    CEepromBus m_bus;  // the two-wire bus with the EEPROM
    std::atomic<uint64_t> m_ullTicksConsumed{0};  // host ticks the firmware has consumed
    CSampleCompartment m_compartment{[this] { return FirmwareMs(); }};

    // Turn passing between the host thread and the firmware thread.
    enum class Turn { Host, Firmware };
    std::mutex m_mtxTurn;
    std::condition_variable m_cvTurn;
    Turn m_turn = Turn::Host;
    bool m_bFreeRun = false;     // after a stop request the firmware runs without waiting
    bool m_bThreadDone = false;  // the firmware thread has left FirmwareMain
    bool m_bStarted = false;

    // The current run, owned by whichever thread has the turn (the hand-off
    // under m_mtxTurn orders every access).
    uint32_t m_unTicksLeft = 0;               // ticks the firmware may still deliver itself
    const std::function<bool()>* m_pfnDone = nullptr;  // the run's stop condition, or null

    uint64_t m_ullTicks = 0;  // host ticks delivered
    double m_dSpeed = 0;
    std::chrono::steady_clock::time_point m_tNextTick;
};
