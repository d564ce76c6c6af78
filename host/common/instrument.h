// The instrument board: the instrument as every host sees it. It is the
// firmware's host bridge and owns what stands around the firmware on the
// bench: the display memory, the twelve keys, the pace of firmware time, the
// serial port's fan-out (firmware, logs of both directions, monitors, the
// pty/TCP endpoint, the printer's cable), the two-wire bus with the EEPROM
// file, the sample compartment, and the analogue output with its chart
// recorder. The desktop, halden-cli and the tests are shells over it.
//
// It runs the firmware thread in one of two ways.
//
// Stepped (the default; scenarios, the console, tests): the firmware thread
// runs only while the host lets it. RunSlice hands it the turn and waits
// until the firmware yields (end of a main-loop pass, or one round of a
// waiting loop). Virtual time advances in 50 ms host ticks, each tick adding
// one pending tick and running one slice, so a run is reproducible to the
// pass. On request the ticks are paced to the wall clock (real time, or a
// multiple of it). A run of many ticks is one hand-off, not one per tick:
// the firmware thread itself delivers the next tick at each of its yield
// points and checks the caller's stop condition there, while the host thread
// sleeps until the condition holds or the ticks are spent. The ticks, slices
// and checks come in exactly the order of a host that delivers one tick per
// slice.
//
// Free-running (the desktop): the firmware thread runs on its own and adds
// the host ticks the wall clock says are due at the chosen speed at its
// yield points; with nothing to do it sleeps until the next tick is due or a
// key, an injected byte or a client wakes it. At speed "max" every pass has
// a tick to run. A display refresh asks the display listener to paint and
// waits until it has.
//
// Built for a web page (emscripten, no threads), the firmware runs on the
// caller's thread instead: on a fiber of its own, to which the turn passes
// by a switch of stacks. Stepped runs behave exactly as above. Free-running,
// the host hands it slices of wall time with RunFor; a slice ends when its
// time is used up or the firmware has nothing to do before its next tick.
// Such a firmware is never stopped: it ends with the page.
//
// There is one firmware per process, so there is at most one CInstrument at
// a time.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ctime>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "chart.h"
#include "core/bridge.h"
#include "display_memory.h"
#include "eeprom_bus.h"
#include "printer_tap.h"
#include "sample_compartment.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/fiber.h>
#endif

class CSerialEndpoint;

class CInstrument final : public HostBridge, private SerialSink {
public:
    struct Options {
        std::string sEepromPath = "eeprom.bin";  // backing file of the EEPROM
        bool bEepromSnapshot = false;             // load the file, keep every change in memory
        double dSpeed = 0;                        // pace: 1 real time, N times real time, 0 as fast as possible
        bool bUserInterface = true;               // false: run the core services without the state machine
        bool bFreeRunning = false;                // the firmware paces itself (desktop) instead of taking turns
        bool bKeepSerialText = true;              // keep every transmitted byte for SerialText()
        std::optional<std::tm> clockStart;       // the clock chip's start (local calendar); none: the computer's clock
        // Free-running: keys, serial bytes and posted changes take effect at
        // the firmware's yields in the order of a stepped run (see Post).
        bool bTickAlignedInput = false;
    };

    static constexpr uint32_t TICK_MS = 50;

    CInstrument();
    explicit CInstrument(const Options& options);
    ~CInstrument() override;
    CInstrument(const CInstrument&) = delete;
    CInstrument& operator=(const CInstrument&) = delete;

    // Starts the firmware thread and, when stepped, runs the power-up pass
    // (phase 1). The firmware runs once per process: a later power-up leaves
    // Running() false.
    void PowerUp();
    // Stops the firmware at the end of its current pass and joins it.
    void Shutdown();
    bool Running() const
    {
        return m_bStarted && !m_bThreadDone.load(std::memory_order_relaxed) && !Interrupted();
    }

    // Stepped runs. Lets the firmware run until it next yields; no time passes.
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
    double Speed() const { return m_dSpeed.load(std::memory_order_relaxed); }
    // Free-running: firmware time run since the previous call, as a
    // percentage of the wall time that passed meanwhile; -1 on the first call.
    double SampleAchievedSpeed();
    // Free-running: wakes a firmware thread that sleeps in its yield.
    void Wake();
    // Stepped: the host's wait between ticks while the instrument idles.
    // Returns at tUntil, or earlier (true) when something woke the
    // instrument since the previous call: a client's bytes, a speed change.
    bool WaitForActivity(std::chrono::steady_clock::time_point tUntil);

#ifdef __EMSCRIPTEN__
    // Free-running on the caller's thread: runs the firmware for about
    // dBudgetMs of wall time, less when it runs out of work first. Returns
    // the milliseconds until it next has work (0: at once).
    double RunFor(double dBudgetMs);
#endif
    // Tick-aligned input (Options::bTickAlignedInput, free-running): SetKey,
    // Inject and Post queue their change, and the firmware thread applies it
    // at its next yield, as a stepped host would between slices. Keys and
    // posted changes go in just before a tick is added (a stepped "press",
    // then a tick); serial bytes go in at a yield that adds no tick (a
    // stepped "send", whose slice runs at once). At most one tick is added a
    // yield. A journal of the changes with the ticks delivered before each
    // therefore replays exactly as a stepped scenario.
    struct HostInput {
        enum class Kind : uint8_t { Key, Serial, Call };
        Kind kind = Kind::Key;
        uint8_t bKey = 0;
        bool bDown = false;
        std::string sBytes;          // Serial
        std::function<void()> fnCall;  // Call: run on the firmware thread
        std::string sDescription;      // Call: what it does, for the journal
    };
    // Sees every input as it is applied, on the firmware thread, with the
    // ticks delivered so far (not owned; set before PowerUp).
    class InputObserver {
    public:
        virtual ~InputObserver() = default;
        virtual void InputApplied(uint64_t ullTick, const HostInput& input) = 0;
    };
    void SetInputObserver(InputObserver* pObserver) { m_pInputObserver = pObserver; }
    // Runs fnCall as a key change would be applied; at once when input is
    // not tick-aligned or the firmware is not running.
    void Post(std::function<void()> fnCall, std::string sDescription);
    // Free-running: ticks added so far.
    uint64_t TicksDelivered() const { return m_ullTicksDelivered.load(std::memory_order_relaxed); }

    // Free-running: a paused firmware stands still at its next yield, its
    // time with it, until resumed; keys and serial bytes wait meanwhile.
    void SetPaused(bool bPaused);
    bool Paused() const { return m_bPaused.load(std::memory_order_relaxed); }

    // Keys (codes 1..12); any thread.
    void SetKey(uint8_t bKey, bool bDown);
    bool KeyDown(uint8_t bKey) const;
    // Stepped: presses the key for unDownMs, then leaves it up for unUpMs
    // (whole ticks each), in one run of ticks: the firmware thread releases
    // it at the end of the slice where the press has lasted its time, just
    // where a host delivering the ticks one by one would.
    void KeyStroke(uint8_t bKey, uint32_t unDownMs, uint32_t unUpMs);

    // Serial port: bytes into the receive queue, from any source (a
    // scenario, the console, Send Message); every tap sees them. Bytes
    // injected beyond the queue's free room are lost, as on the wire.
    void Inject(std::string_view sBytes);
    uint16_t ReceiveRoom() const;
    // Every transmitted byte (with Options::bKeepSerialText).
    const std::string& SerialText() const { return m_sSerialOut; }
    void ClearSerialText() { m_sSerialOut.clear(); }
    // Also copy every transmitted byte to a stream (not owned; null stops).
    void SetSerialEcho(std::FILE* pFile) { m_pSerialEcho = pFile; }
    // Watches the serial line in both directions, in the order the bytes
    // pass: Transmitted on the firmware thread as the instrument sends,
    // Received as bytes enter the receive path (on the injecting thread, or
    // on the firmware thread for a client of the endpoint).
    class SerialTap {
    public:
        virtual ~SerialTap() = default;
        virtual void Transmitted(uint8_t b) = 0;
        virtual void Received(std::string_view sBytes) = 0;
    };
    // Taps are added and removed while the firmware is not running (not owned).
    void AddSerialTap(SerialTap* pTap);
    void RemoveSerialTap(SerialTap* pTap);
    // A pseudo-terminal or TCP end of the port (not owned; set before
    // PowerUp): it gets every transmitted byte, and its client's bytes are
    // injected at the firmware's yield points at the line's pace and seen by
    // every tap.
    void AttachSerialEndpoint(CSerialEndpoint* pEndpoint);

    // A flag (set from a signal handler, say) that ends the run: once it is
    // set, Running() is false and Tick() no longer advances time.
    void SetInterruptFlag(const std::atomic<bool>* pbFlag) { m_pbInterrupt = pbFlag; }
    bool Interrupted() const { return m_pbInterrupt && m_pbInterrupt->load(std::memory_order_relaxed); }

    // The printer on the serial cable: collects what goes out while the
    // output device is a printer, once connected (before PowerUp).
    void ConnectPrinter() { m_bPrinterConnected = true; }
    CPrinterTap& PrinterCable() { return m_printerTap; }
    // The chart recorder on the analogue output, once connected (before
    // PowerUp), and a further sink for the output's per-tick trace (not owned).
    void ConnectChart() { m_bChartConnected = true; }
    CChartRecorder& Chart() { return m_chart; }
    void SetAnalogueTrace(SerialSink* pTrace) { m_pAnalogueExtra = pTrace; }

    // Display memory (addresses 640..5759) and the shown screen.
    const CDisplayMemory& Display() const { return m_display; }
    uint8_t DisplayByte(uint16_t unAddress) const { return m_display.Read(unAddress); }
    bool ByteChanged(uint16_t unAddress) const { return m_display.Changed(unAddress); }
    void ClearChangedFlags() { m_display.ClearChanged(); }
    bool Pixel(int x, int y) const { return m_display.Pixel(x, y); }
    uint32_t RefreshCount() const { return m_unRefreshes.load(std::memory_order_relaxed); }
    // Free-running hosts paint the display when the firmware refreshes it.
    class DisplayListener {
    public:
        virtual ~DisplayListener() = default;
        // Called by a display refresh. On the host's own thread: paints at
        // once and returns true. On another: returns true when the host
        // already shows the memory as it stands (nothing to paint); else has
        // the host's thread paint soon, then call PaintDone with the request
        // count it saw before painting (RefreshRequests), and returns false.
        virtual bool Paint() = 0;
    };
    void SetDisplayListener(DisplayListener* pListener) { m_pDisplayListener = pListener; }
    uint64_t RefreshRequests();
    void PaintDone(uint64_t ullRequests);
    // True while the firmware thread waits in LcdRefresh for the paint.
    bool RefreshWaiting() const { return m_bRefreshWaiting.load(); }

    // The two-wire bus and the EEPROM file. OpenEeprom replaces the file
    // (before PowerUp), as a snapshot when Options::bEepromSnapshot says so.
    const CEepromBus& Bus() const { return *m_pBus; }
    CEepromBus& Bus() { return *m_pBus; }
    void OpenEeprom(const std::string& sPath);
    void OpenEeprom(const std::string& sPath, bool bSnapshot);
    // The clock chip's start moment for the next OpenEeprom (none: the
    // computer's clock).
    void SetClockStart(const std::optional<std::tm>& start) { m_options.clockStart = start; }

    // The cell holder's heater, any thread. Fitting or removing one switches
    // it off; set-up offers "Heater Control" the next time its menu is drawn.
    void FitHeater(bool bFitted);
    bool HeaterFitted() const;

    // What stands in the cell (the recorded sample until something else goes in).
    CSampleCompartment& Compartment() { return m_compartment; }
    // Firmware time run so far: the host ticks the firmware has consumed.
    uint64_t FirmwareMs() const { return m_ullTicksConsumed.load(std::memory_order_relaxed) * TICK_MS; }

    // Pending host ticks not yet consumed by the firmware.
    int32_t PendingTickCount() const { return m_nPendingTicks.load(std::memory_order_relaxed); }
    void AddPendingTicks(int32_t n);

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
    SerialSink* AnalogueTrace() override;

private:
    // The analogue trace to the chart and the further sink alike.
    class CTraceFanOut final : public SerialSink {
    public:
        explicit CTraceFanOut(CInstrument* pOwner) : m_pOwner(pOwner) {}
        void Write(uint8_t b) override;

    private:
        CInstrument* m_pOwner;
    };

    void Write(uint8_t b) override;
    void NoteReceived(std::string_view sBytes);
    // Stepped: one host tick; waits for its time when paced, then adds a
    // pending tick.
    void DeliverTick();
    // Tick-aligned input: whether input waits for the firmware's yield, and
    // the yield's share of it (with m_mtxSync held); see HostInput.
#ifdef __EMSCRIPTEN__
    bool AlignsInput() const { return false; }
#else
    bool AlignsInput() const { return m_options.bTickAlignedInput && m_options.bFreeRunning && m_bStarted; }
#endif
    bool ApplySerialInput(std::unique_lock<std::mutex>& lock);
    void ApplyInputBeforeTick(std::unique_lock<std::mutex>& lock);
    void ApplyInput(HostInput& input);
    void QueueInput(HostInput&& input);
    void AddTick();
    // Stepped: hands the turn to the firmware thread and waits until it hands it back.
    void RunTurn();
    void SteppedYield();
    void FreeYield();
    // Free-running: adds the ticks the wall clock says are due; returns the
    // time the next one falls due.
    // With pLock (m_mtxSync) and tick-aligned input, one tick and the input
    // before it.
    std::chrono::steady_clock::time_point DeliverDueTicks(std::unique_lock<std::mutex>* pLock = nullptr);

    Options m_options;
    CDisplayMemory m_display;
    std::array<std::atomic<uint8_t>, 13> m_abKeys{};  // key states by code
    std::atomic<int32_t> m_nPendingTicks{0};          // host ticks not yet consumed
    std::atomic<uint32_t> m_unRefreshes{0};           // LcdRefresh calls
    std::string m_sSerialOut;                         // every transmitted byte
    std::FILE* m_pSerialEcho = nullptr;
    std::vector<SerialTap*> m_apTaps;
    CSerialEndpoint* m_pSerialEndpoint = nullptr;
    const std::atomic<bool>* m_pbInterrupt = nullptr;
    bool m_bPrinterConnected = false;
    CPrinterTap m_printerTap;
    bool m_bChartConnected = false;
    CChartRecorder m_chart;
    SerialSink* m_pAnalogueExtra = nullptr;  // a further analogue trace sink, null when none
    CTraceFanOut m_traceFanOut{this};
    std::unique_ptr<CEepromBus> m_pBus;  // the two-wire bus with the EEPROM
    std::atomic<uint64_t> m_ullTicksConsumed{0};  // host ticks the firmware has consumed
    CSampleCompartment m_compartment{[this] { return FirmwareMs(); }};

    // Stepped: turn passing between the host thread and the firmware thread.
    enum class Turn { Host, Firmware };
    std::mutex m_mtxTurn;
    std::condition_variable m_cvTurn;
    Turn m_turn = Turn::Host;
    bool m_bFreeRun = false;     // after a stop request the firmware runs without waiting
    // The firmware thread has left FirmwareMain: set under m_mtxTurn, and
    // read without it by a free-running host's Running().
    std::atomic<bool> m_bThreadDone{false};
    bool m_bStarted = false;

    // Stepped: the current run, owned by whichever thread has the turn (the
    // hand-off under m_mtxTurn orders every access).
    uint32_t m_unTicksLeft = 0;               // ticks the firmware may still deliver itself
    const std::function<bool()>* m_pfnDone = nullptr;  // the run's stop condition, or null
    uint64_t m_ullTicks = 0;  // host ticks delivered
    std::chrono::steady_clock::time_point m_tNextTick;

    std::atomic<double> m_dSpeed{0};

    // Free-running: pace, refresh handshake and wake-ups, shared with the
    // firmware thread under m_mtxSync.
    std::mutex m_mtxSync;
    std::condition_variable m_cvSync;
    std::chrono::steady_clock::time_point m_tPaceStart;  // when the pace was chosen
    uint64_t m_ullTicksPaced = 0;        // ticks delivered since then
    uint64_t m_ullRefreshRequested = 0;  // LcdRefresh calls that asked for a paint
    uint64_t m_ullRefreshDone = 0;       // requests the host has painted
    bool m_bStopping = false;            // the firmware has been asked to stop
    int m_nHostWantsLock = 0;            // a host thread is taking the firmware lock
    uint64_t m_ullWakes = 0;             // wake-ups: keys, injected bytes, speed changes
    uint64_t m_ullWakesSeen = 0;         // wake-ups the firmware's yield has taken note of
    uint64_t m_ullHostWakesSeen = 0;     // wake-ups WaitForActivity has taken note of
    std::atomic<bool> m_bActivity{false};  // the firmware drew or sent since its last yield
    std::atomic<bool> m_bRefreshWaiting{false};
    std::atomic<bool> m_bPaused{false};    // the desktop's pause: no passes, no firmware time
    DisplayListener* m_pDisplayListener = nullptr;
    std::vector<HostInput> m_inputQueue;  // tick-aligned input not yet applied, oldest first
    InputObserver* m_pInputObserver = nullptr;
    std::atomic<uint64_t> m_ullTicksDelivered{0};  // free-running: ticks added
#ifdef __EMSCRIPTEN__
    // The firmware's fiber and the caller's context it hands the turn back to.
    static void FiberMain(void* pInstrument);
    void SwitchToHost();
    emscripten_fiber_t m_hostFiber{};
    emscripten_fiber_t m_firmwareFiber{};
    std::unique_ptr<char[]> m_pFiberMemory;  // both fibers' stacks
    std::chrono::steady_clock::time_point m_tSliceEnd;  // RunFor: when the slice is over
    double m_dNextWorkMs = 0;                           // RunFor: what the slice returns
#endif
    std::chrono::steady_clock::time_point m_tSample;  // last SampleAchievedSpeed
    uint64_t m_ullTicksSampled = 0;                   // m_ullTicksConsumed then
    bool m_bSampled = false;
};
