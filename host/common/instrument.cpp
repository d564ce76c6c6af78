// The instrument board: bridge operations, turn passing or free running with
// the firmware thread, the pace of firmware time, the serial fan-out.
#include "instrument.h"

#include <algorithm>

#include "app/probe.h"
#include "core/runtime.h"
#include "core/serial.h"
#include "serial_endpoint.h"

namespace {

// A free-running yield with nothing to do sleeps this long at most, so the
// firmware thread does not spin a core; ticks falling due, keys, serial
// input and the stop request end the sleep early.
[[maybe_unused]] constexpr auto IDLE_WAIT = std::chrono::milliseconds(4);
// Free-running at a high speed, ticks are added no more often than this:
// each time, all the ticks the wall clock says are due.
constexpr auto MIN_PACE_STEP = std::chrono::milliseconds(5);

#ifdef __EMSCRIPTEN__
// The firmware fiber's C stack, and the room each side has to save its
// unwound frames while the other runs.
constexpr size_t FIRMWARE_STACK = 2 << 20;
constexpr size_t FIRMWARE_SAVE = 1 << 20;
constexpr size_t HOST_SAVE = 256 << 10;
// The compiled code takes the C stack pointer to be a multiple of 16: it
// forms the address of a local as stack pointer | offset, so a stack that
// starts 8 bytes off gives two locals one address. The heap gives blocks
// aligned to 8 only.
constexpr size_t FIBER_STACK_ALIGN = 16;
bool s_bFiberStarted = false;  // the firmware runs once per process
// Free-running as fast as possible, the slice's end is checked at every
// this many yields: a few microseconds apart while the firmware idles.
constexpr uint32_t MAX_SPEED_CLOCK_YIELDS = 8;
uint32_t s_unYieldsToClock = 0;
#endif

}  // namespace

CInstrument::CInstrument() : CInstrument(Options{}) {}

CInstrument::CInstrument(const Options& options)
    : m_options(options),
      m_pBus(std::make_unique<CEepromBus>(options.sEepromPath, options.bEepromSnapshot, [this] { return FirmwareMs(); },
                                          options.clockStart)),
      m_dSpeed(options.dSpeed > 0 ? options.dSpeed : 0)
{
    m_tPaceStart = std::chrono::steady_clock::now();
    FirmwareAttachHost(this);
}

CInstrument::~CInstrument()
{
    Shutdown();
    AttachSerialEndpoint(nullptr);
    if (FirmwareHost() == this)
        FirmwareAttachHost(nullptr);
}

void CInstrument::OpenEeprom(const std::string& sPath, bool bSnapshot)
{
    if (m_bStarted)
        return;
    m_options.bEepromSnapshot = bSnapshot;
    OpenEeprom(sPath);
}

void CInstrument::OpenEeprom(const std::string& sPath)
{
    if (m_bStarted)
        return;
    m_options.sEepromPath = sPath;
    m_pBus.reset();  // closes the old file before the new one is opened
    m_pBus = std::make_unique<CEepromBus>(sPath, m_options.bEepromSnapshot, [this] { return FirmwareMs(); },
                                          m_options.clockStart);
}

void CInstrument::PowerUp()
{
    if (m_bStarted)
        return;
    m_bStarted = true;
    if (!m_options.bUserInterface)
        FirmwareSetUiStep([](uint8_t) {});
    m_tNextTick = std::chrono::steady_clock::now();
    SetSpeed(Speed());
#ifdef __EMSCRIPTEN__
    if (s_bFiberStarted) {
        m_bStarted = false;
        return;
    }
    s_bFiberStarted = true;
    size_t nSpace = FIRMWARE_STACK + FIRMWARE_SAVE + HOST_SAVE + FIBER_STACK_ALIGN;
    m_pFiberMemory = std::make_unique<char[]>(nSpace);
    void* pAligned = m_pFiberMemory.get();
    char* pMemory = static_cast<char*>(std::align(FIBER_STACK_ALIGN, nSpace - FIBER_STACK_ALIGN, pAligned, nSpace));
    emscripten_fiber_init(&m_firmwareFiber, FiberMain, this, pMemory, FIRMWARE_STACK, pMemory + FIRMWARE_STACK,
                          FIRMWARE_SAVE);
    emscripten_fiber_init_from_current_context(&m_hostFiber, pMemory + FIRMWARE_STACK + FIRMWARE_SAVE, HOST_SAVE);
#else
    FirmwareStart();
    if (!FirmwareThreadActive()) {
        // The firmware starts once per process; a second power-up cannot run.
        m_bStarted = false;
        return;
    }
#endif
    if (!m_options.bFreeRunning)
        RunSlice();
}

void CInstrument::Shutdown()
{
    if (!m_bStarted)
        return;
#ifndef __EMSCRIPTEN__
    FirmwareStop();
#endif
    m_bStarted = false;
}

#ifdef __EMSCRIPTEN__
void CInstrument::FiberMain(void* pInstrument)
{
    auto* pThis = static_cast<CInstrument*>(pInstrument);
    FirmwareMain();
    pThis->m_bThreadDone.store(true, std::memory_order_relaxed);
    for (;;)
        pThis->SwitchToHost();
}

void CInstrument::SwitchToHost() { emscripten_fiber_swap(&m_firmwareFiber, &m_hostFiber); }

double CInstrument::RunFor(double dBudgetMs)
{
    if (!Running() || !m_options.bFreeRunning)
        return -1;
    m_tSliceEnd = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                          std::chrono::duration<double, std::milli>(dBudgetMs));
    m_dNextWorkMs = 0;
    s_unYieldsToClock = 0;
    emscripten_fiber_swap(&m_hostFiber, &m_firmwareFiber);
    return m_dNextWorkMs;
}
#endif

void CInstrument::RunTurn()
{
    std::unique_lock<std::mutex> lock(m_mtxTurn);
    if (m_bThreadDone.load(std::memory_order_relaxed) || !m_bStarted || m_options.bFreeRunning)
        return;
#ifdef __EMSCRIPTEN__
    lock.unlock();
    emscripten_fiber_swap(&m_hostFiber, &m_firmwareFiber);
#else
    m_turn = Turn::Firmware;
    m_cvTurn.notify_all();
    m_cvTurn.wait(lock, [this] { return m_turn == Turn::Host || m_bThreadDone.load(std::memory_order_relaxed); });
#endif
}

void CInstrument::RunSlice()
{
    m_unTicksLeft = 0;
    m_pfnDone = nullptr;
    RunTurn();
}

void CInstrument::SetSpeed(double dSpeed)
{
    dSpeed = dSpeed > 0 ? dSpeed : 0;
    m_dSpeed.store(dSpeed, std::memory_order_relaxed);
    m_tNextTick = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_tPaceStart = m_tNextTick;
    m_ullTicksPaced = 0;
    m_ullWakes++;
    m_cvSync.notify_all();
}

void CInstrument::DeliverTick()
{
    const double dSpeed = Speed();
    if (dSpeed > 0) {
        m_tNextTick += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double, std::milli>(TICK_MS / dSpeed));
        auto tNow = std::chrono::steady_clock::now();
        if (m_tNextTick > tNow)
            std::this_thread::sleep_until(m_tNextTick);
        else if (tNow - m_tNextTick > std::chrono::seconds(1))
            m_tNextTick = tNow;  // fell far behind (suspended): do not race to catch up
    }
    m_nPendingTicks.fetch_add(1, std::memory_order_relaxed);
    m_ullTicks++;
}

bool CInstrument::TickUntil(uint32_t unMaxTicks, const std::function<bool()>& fnDone)
{
    auto bDone = [&fnDone] { return fnDone && fnDone(); };
    if (bDone())
        return true;
    if (unMaxTicks == 0)
        return false;
    if (Interrupted())
        return bDone();
    if (!Running()) {
        // No firmware to run: time passes all the same.
        for (uint32_t i = 0; i < unMaxTicks; i++)
            DeliverTick();
        return bDone();
    }
    m_unTicksLeft = unMaxTicks - 1;
    m_pfnDone = fnDone ? &fnDone : nullptr;
    DeliverTick();
    RunTurn();
    m_unTicksLeft = 0;
    m_pfnDone = nullptr;
    return bDone();
}

void CInstrument::Tick(uint32_t n) { TickUntil(n, nullptr); }

void CInstrument::AdvanceMs(uint32_t unMs) { Tick((unMs + TICK_MS - 1) / TICK_MS); }

void CInstrument::AddPendingTicks(int32_t n)
{
    m_nPendingTicks.fetch_add(n, std::memory_order_relaxed);
    Wake();
}

double CInstrument::SampleAchievedSpeed()
{
    const auto tNow = std::chrono::steady_clock::now();
    const uint64_t ullRun = m_ullTicksConsumed.load(std::memory_order_relaxed);
    double dPercent = -1;
    if (m_bSampled && tNow > m_tSample)
        dPercent = 100.0 * static_cast<double>(ullRun - m_ullTicksSampled) * TICK_MS /
                   std::chrono::duration<double, std::milli>(tNow - m_tSample).count();
    m_bSampled = true;
    m_tSample = tNow;
    m_ullTicksSampled = ullRun;
    return dPercent;
}

void CInstrument::Wake()
{
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_ullWakes++;
    m_cvSync.notify_all();
}

bool CInstrument::WaitForActivity(std::chrono::steady_clock::time_point tUntil)
{
    std::unique_lock<std::mutex> lock(m_mtxSync);
    m_cvSync.wait_until(lock, tUntil, [this] { return m_ullWakes != m_ullHostWakesSeen; });
    const bool bWoken = m_ullWakes != m_ullHostWakesSeen;
    m_ullHostWakesSeen = m_ullWakes;
    return bWoken;
}

// Resuming restarts the pace, so the paused time is not caught up.
void CInstrument::SetPaused(bool bPaused)
{
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_bPaused.store(bPaused, std::memory_order_relaxed);
    if (!bPaused) {
        m_tPaceStart = std::chrono::steady_clock::now();
        m_ullTicksPaced = 0;
    }
    m_ullWakes++;
    m_cvSync.notify_all();
}

void CInstrument::SetKey(uint8_t bKey, bool bDown)
{
    if (bKey >= 1 && bKey <= 12 && AlignsInput()) {
        HostInput input;
        input.bKey = bKey;
        input.bDown = bDown;
        QueueInput(std::move(input));
        return;
    }
    if (bKey >= 1 && bKey <= 12) {
        m_abKeys[bKey].store(bDown ? 1 : 0, std::memory_order_relaxed);
        if (m_options.bFreeRunning)
            Wake();
    }
}

void CInstrument::KeyStroke(uint8_t bKey, uint32_t unDownMs, uint32_t unUpMs)
{
    const uint32_t unDownTicks = (unDownMs + TICK_MS - 1) / TICK_MS;
    const uint32_t unUpTicks = (unUpMs + TICK_MS - 1) / TICK_MS;
    const uint64_t ullRelease = m_ullTicks + unDownTicks;
    SetKey(bKey, true);
    TickUntil(unDownTicks + unUpTicks, [this, bKey, ullRelease] {
        if (m_ullTicks >= ullRelease)
            SetKey(bKey, false);
        return false;
    });
    SetKey(bKey, false);
}

bool CInstrument::KeyDown(uint8_t bKey) const
{
    return bKey >= 1 && bKey <= 12 && m_abKeys[bKey].load(std::memory_order_relaxed) != 0;
}

void CInstrument::AddSerialTap(SerialTap* pTap)
{
    if (pTap && std::find(m_apTaps.begin(), m_apTaps.end(), pTap) == m_apTaps.end())
        m_apTaps.push_back(pTap);
}

void CInstrument::RemoveSerialTap(SerialTap* pTap) { std::erase(m_apTaps, pTap); }

// The port may outlive the board: the old port's listeners are cleared, so
// its I/O thread no longer calls into this board.
void CInstrument::AttachSerialEndpoint(CSerialEndpoint* pEndpoint)
{
    if (m_pSerialEndpoint && m_pSerialEndpoint != pEndpoint) {
        m_pSerialEndpoint->SetInjectListener(nullptr);
        m_pSerialEndpoint->SetActivityListener(nullptr);
    }
    m_pSerialEndpoint = pEndpoint;
    if (!pEndpoint)
        return;
    // A client's bytes go in at the firmware's yield, where a journal of
    // tick-aligned input has them as serial input too.
    pEndpoint->SetInjectListener([this](const char* pBytes, size_t nCount) {
        NoteReceived({pBytes, nCount});
        if (m_pInputObserver && AlignsInput()) {
            HostInput input;
            input.kind = HostInput::Kind::Serial;
            input.sBytes.assign(pBytes, nCount);
            m_pInputObserver->InputApplied(m_ullTicksDelivered.load(std::memory_order_relaxed), input);
        }
    });
    pEndpoint->SetActivityListener([this] { Wake(); });
}

void CInstrument::NoteReceived(std::string_view sBytes)
{
    for (SerialTap* pTap : m_apTaps)
        pTap->Received(sBytes);
}

// The firmware may hold its lock while it waits for a paint; a host thread
// that injects says so first, so that the wait ends and taking the lock here
// cannot deadlock.
void CInstrument::Inject(std::string_view sBytes)
{
    if (sBytes.empty())
        return;
    if (AlignsInput()) {
        HostInput input;
        input.kind = HostInput::Kind::Serial;
        input.sBytes = sBytes;
        QueueInput(std::move(input));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mtxSync);
        m_nHostWantsLock++;
        m_cvSync.notify_all();
    }
    NoteReceived(sBytes);
    for (char c : sBytes)
        SerialInjectByte(static_cast<uint8_t>(c));
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_nHostWantsLock--;
    m_ullWakes++;
    m_cvSync.notify_all();
}

void CInstrument::Post(std::function<void()> fnCall, std::string sDescription)
{
    HostInput input;
    input.kind = HostInput::Kind::Call;
    input.fnCall = std::move(fnCall);
    input.sDescription = std::move(sDescription);
    if (!AlignsInput() || !Running()) {
        input.fnCall();
        return;
    }
    QueueInput(std::move(input));
}

// Queued for the firmware's next yield, which is woken for it.
void CInstrument::QueueInput(HostInput&& input)
{
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_inputQueue.push_back(std::move(input));
    m_ullWakes++;
    m_cvSync.notify_all();
}

// On the firmware thread at a yield, m_mtxSync not held: the taps and the
// observer may take locks of their own.
void CInstrument::ApplyInput(HostInput& input)
{
    switch (input.kind) {
    case HostInput::Kind::Key:
        m_abKeys[input.bKey].store(input.bDown ? 1 : 0, std::memory_order_relaxed);
        break;
    case HostInput::Kind::Serial:
        NoteReceived(input.sBytes);
        for (char c : input.sBytes)
            SerialInjectByte(static_cast<uint8_t>(c));
        break;
    case HostInput::Kind::Call:
        input.fnCall();
        break;
    }
    if (m_pInputObserver)
        m_pInputObserver->InputApplied(m_ullTicksDelivered.load(std::memory_order_relaxed), input);
}

// Serial bytes at the head of the queue go in at this yield, which then adds
// no tick: the next pass takes them, as the slice after a stepped send does.
bool CInstrument::ApplySerialInput(std::unique_lock<std::mutex>& lock)
{
    if (m_inputQueue.empty() || m_inputQueue.front().kind != HostInput::Kind::Serial)
        return false;
    HostInput input = std::move(m_inputQueue.front());
    m_inputQueue.erase(m_inputQueue.begin());
    lock.unlock();
    ApplyInput(input);
    lock.lock();
    return true;
}

// Keys and posted changes up to the next serial bytes go in just before a tick.
void CInstrument::ApplyInputBeforeTick(std::unique_lock<std::mutex>& lock)
{
    auto itEnd = std::find_if(m_inputQueue.begin(), m_inputQueue.end(),
                              [](const HostInput& input) { return input.kind == HostInput::Kind::Serial; });
    if (itEnd == m_inputQueue.begin())
        return;
    std::vector<HostInput> inputs(std::make_move_iterator(m_inputQueue.begin()), std::make_move_iterator(itEnd));
    m_inputQueue.erase(m_inputQueue.begin(), itEnd);
    lock.unlock();
    for (HostInput& input : inputs)
        ApplyInput(input);
    lock.lock();
}

void CInstrument::AddTick()
{
    m_nPendingTicks.fetch_add(1, std::memory_order_relaxed);
    m_ullTicksDelivered.fetch_add(1, std::memory_order_relaxed);
}

uint16_t CInstrument::ReceiveRoom() const
{
    return SerialRxRoom();
}

void CInstrument::FitHeater(bool bFitted)
{
    FitCellHeater(bFitted);
}

bool CInstrument::HeaterFitted() const { return ProbeHeaterFitted(); }

int CInstrument::KeyIsDown(uint8_t bKey) { return KeyDown(bKey) ? 1 : 0; }

void CInstrument::LcdWrite(uint16_t unAddress, uint8_t bValue)
{
    m_display.Write(unAddress, bValue);
    m_bActivity.store(true, std::memory_order_relaxed);
}

uint8_t CInstrument::LcdRead(uint16_t unAddress) { return m_display.Read(unAddress); }

// Without a display listener a refresh is only counted. With one, the
// firmware thread has the host paint and waits until it has. The wait also
// ends when the firmware is asked to stop (the host may be about to join the
// firmware thread and will never paint) and while a host thread wants the
// firmware lock; the stop flag is set under the same mutex as the wait, so a
// stop request between the caller's check and this wait is never missed.
void CInstrument::LcdRefresh()
{
    m_unRefreshes.fetch_add(1, std::memory_order_relaxed);
    if (!m_pDisplayListener)
        return;
    std::unique_lock<std::mutex> lock(m_mtxSync);
    if (m_bStopping)
        return;
    const uint64_t ullRequest = ++m_ullRefreshRequested;
    lock.unlock();
    if (m_pDisplayListener->Paint())
        return;
    lock.lock();
    m_bRefreshWaiting.store(true);
    m_cvSync.wait(lock, [&] { return m_ullRefreshDone >= ullRequest || m_bStopping || m_nHostWantsLock > 0; });
    m_bRefreshWaiting.store(false);
    m_bActivity.store(true, std::memory_order_relaxed);
}

uint64_t CInstrument::RefreshRequests()
{
    std::lock_guard<std::mutex> lock(m_mtxSync);
    return m_ullRefreshRequested;
}

// A paint shows the memory as it stood when it began, which covers every
// request made before then.
void CInstrument::PaintDone(uint64_t ullRequests)
{
    std::lock_guard<std::mutex> lock(m_mtxSync);
    if (ullRequests > m_ullRefreshDone)
        m_ullRefreshDone = ullRequests;
    m_cvSync.notify_all();
}

int32_t CInstrument::PendingTicks() { return m_nPendingTicks.load(std::memory_order_relaxed); }

void CInstrument::ConsumePendingTick()
{
    m_nPendingTicks.fetch_sub(1, std::memory_order_relaxed);
    m_ullTicksConsumed.fetch_add(1, std::memory_order_relaxed);
    if (m_pSerialEndpoint)
        m_pSerialEndpoint->TickConsumed();
}

void CInstrument::Yield()
{
    if (m_options.bFreeRunning)
        FreeYield();
    else
        SteppedYield();
}

// The end of a slice. Inside a run of ticks the firmware thread delivers the
// next tick itself and carries on, unless the run's condition holds; only
// then, or when the ticks are spent, does it wake the host.
void CInstrument::SteppedYield()
{
    if (m_pSerialEndpoint)
        m_pSerialEndpoint->Pump();
    if (m_unTicksLeft > 0 && !Interrupted() && !(m_pfnDone && (*m_pfnDone)())) {
        m_unTicksLeft--;
        DeliverTick();
        return;
    }
#ifdef __EMSCRIPTEN__
    SwitchToHost();
#else
    std::unique_lock<std::mutex> lock(m_mtxTurn);
    if (m_bFreeRun)
        return;
    m_turn = Turn::Host;
    m_cvTurn.notify_all();
    m_cvTurn.wait(lock, [this] { return m_turn == Turn::Firmware || m_bFreeRun; });
#endif
}

// Adds the host ticks that the wall clock says are due at the chosen speed.
// After a long stall (a suspended machine) at most one second of them comes
// at once: the firmware does not race to catch up. With m_mtxSync held.
std::chrono::steady_clock::time_point CInstrument::DeliverDueTicks(std::unique_lock<std::mutex>* pLock)
{
    const double dSpeed = Speed();
    const auto tNow = std::chrono::steady_clock::now();
    const double dTickMs = TICK_MS / dSpeed;
    const double dDue = std::chrono::duration<double, std::milli>(tNow - m_tPaceStart).count() / dTickMs;
    const uint64_t ullDue = static_cast<uint64_t>(dDue);
    if (ullDue > m_ullTicksPaced) {
        const uint64_t ullMax = std::max<uint64_t>(1, static_cast<uint64_t>(1000.0 / TICK_MS * dSpeed));
        const uint64_t ullNew = std::min(ullDue - m_ullTicksPaced, ullMax);
        if (pLock && m_options.bTickAlignedInput) {
            // One tick a yield; the rest are due at the next yields.
            m_ullTicksPaced = ullDue - ullNew + 1;
            ApplyInputBeforeTick(*pLock);
            AddTick();
        } else {
            m_ullTicksPaced = ullDue;
            m_nPendingTicks.fetch_add(static_cast<int32_t>(ullNew), std::memory_order_relaxed);
            m_ullTicksDelivered.fetch_add(ullNew, std::memory_order_relaxed);
        }
    }
    const auto tDue = m_tPaceStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                         std::chrono::duration<double, std::milli>(dTickMs * static_cast<double>(m_ullTicksPaced + 1)));
    return std::max(tDue, tNow + MIN_PACE_STEP);
}

// Returns at once while there is work (a pending tick, a wake-up since the
// last yield, or drawing and output in the pass just ended); otherwise
// sleeps until the next tick falls due or something wakes it, a few
// milliseconds at most. Firmware time comes only from the pending ticks, so
// the sleep changes no firmware timing.
void CInstrument::FreeYield()
{
#ifdef __EMSCRIPTEN__
    if (m_bPaused.load(std::memory_order_relaxed)) {
        // Paused on the caller's thread: the turn goes back until resumed.
        m_dNextWorkMs = 50;
        SwitchToHost();
        return;
    }
#endif
    if (m_bPaused.load(std::memory_order_relaxed)) {
        // Paused: wait here until resumed. A host thread that wants the
        // firmware lock gets one pass, in case the firmware holds it.
        std::unique_lock<std::mutex> lock(m_mtxSync);
        m_cvSync.wait(lock, [this] { return !m_bPaused.load(std::memory_order_relaxed) || m_bStopping || m_nHostWantsLock > 0; });
        if (m_bPaused.load(std::memory_order_relaxed))
            return;
    }
    // A PC client's bytes enter the receive queue here, between passes, at
    // the line's pace; the next pass takes them at once.
    if (m_pSerialEndpoint && m_pSerialEndpoint->Pump() > 0)
        return;
    if (Speed() == 0) {
        // As fast as possible: the next pass has a tick to run, whenever the
        // last one is used up, and nothing waits. A step waiting for a key
        // inside its own loop leaves that one tick pending.
#ifndef __EMSCRIPTEN__
        if (m_options.bTickAlignedInput) {
            std::unique_lock<std::mutex> lock(m_mtxSync);
            if (ApplySerialInput(lock))
                return;
            if (m_nPendingTicks.load(std::memory_order_relaxed) <= 0) {
                ApplyInputBeforeTick(lock);
                AddTick();
            }
            m_bActivity.store(false, std::memory_order_relaxed);
            return;
        }
#endif
        if (m_nPendingTicks.load(std::memory_order_relaxed) <= 0)
            AddTick();
        m_bActivity.store(false, std::memory_order_relaxed);
#ifdef __EMSCRIPTEN__
        // Reading the clock costs a call out to the page's script, as much
        // as a pass of an idle firmware: it is read every few passes.
        if (s_unYieldsToClock > 0) {
            s_unYieldsToClock--;
            return;
        }
        s_unYieldsToClock = MAX_SPEED_CLOCK_YIELDS;
        if (std::chrono::steady_clock::now() >= m_tSliceEnd) {
            m_dNextWorkMs = 0;
            SwitchToHost();
        }
#endif
        return;
    }
#ifdef __EMSCRIPTEN__
    // On the caller's thread the slice goes on while there is work and
    // time; otherwise the turn goes back with the time of the next tick.
    const auto tNextDue = DeliverDueTicks();
    const auto tNow = std::chrono::steady_clock::now();
    const bool bWork = m_bActivity.exchange(false, std::memory_order_relaxed) ||
                       m_nPendingTicks.load(std::memory_order_relaxed) > 0 || m_ullWakes != m_ullWakesSeen;
    m_ullWakesSeen = m_ullWakes;
    if (bWork && tNow < m_tSliceEnd)
        return;
    m_dNextWorkMs = bWork ? 0 : std::chrono::duration<double, std::milli>(tNextDue - tNow).count();
    SwitchToHost();
#else
    std::unique_lock<std::mutex> lock(m_mtxSync);
    if (m_options.bTickAlignedInput && ApplySerialInput(lock))
        return;
    const auto tNextDue = DeliverDueTicks(&lock);
    if (m_bActivity.exchange(false, std::memory_order_relaxed))
        return;
    if (m_bStopping || m_nPendingTicks.load(std::memory_order_relaxed) > 0)
        return;
    if (m_ullWakes == m_ullWakesSeen) {
        const auto tWake = std::min(tNextDue, std::chrono::steady_clock::now() + IDLE_WAIT);
        m_cvSync.wait_until(lock, tWake, [this] { return m_bStopping || m_ullWakes != m_ullWakesSeen; });
    }
    m_ullWakesSeen = m_ullWakes;
#endif
}

void CInstrument::ThreadBegin()
{
    if (m_options.bFreeRunning)
        return;
    std::unique_lock<std::mutex> lock(m_mtxTurn);
    m_cvTurn.wait(lock, [this] { return m_turn == Turn::Firmware || m_bFreeRun; });
}

void CInstrument::ThreadEnd()
{
    std::lock_guard<std::mutex> lock(m_mtxTurn);
    m_bThreadDone.store(true, std::memory_order_relaxed);
    m_turn = Turn::Host;
    m_cvTurn.notify_all();
}

void CInstrument::StopRequested()
{
    {
        std::lock_guard<std::mutex> lock(m_mtxTurn);
        m_bFreeRun = true;
        m_cvTurn.notify_all();
    }
    std::lock_guard<std::mutex> lock(m_mtxSync);
    m_bStopping = true;
    m_cvSync.notify_all();
}

void CInstrument::I2cSetScl(int nLevel) { m_pBus->SetScl(nLevel); }
void CInstrument::I2cSetSda(int nLevel) { m_pBus->SetSda(nLevel); }
int CInstrument::I2cGetScl() { return m_pBus->GetScl(); }
int CInstrument::I2cGetSda() { return m_pBus->GetSda(); }

SerialSink* CInstrument::AnalogueTrace()
{
    return m_bChartConnected || m_pAnalogueExtra ? &m_traceFanOut : nullptr;
}

void CInstrument::CTraceFanOut::Write(uint8_t b)
{
    if (m_pOwner->m_bChartConnected)
        m_pOwner->m_chart.Write(b);
    if (m_pOwner->m_pAnalogueExtra)
        m_pOwner->m_pAnalogueExtra->Write(b);
}

void CInstrument::Write(uint8_t b)
{
    m_bActivity.store(true, std::memory_order_relaxed);
    if (m_options.bKeepSerialText)
        m_sSerialOut += static_cast<char>(b);
    for (SerialTap* pTap : m_apTaps)
        pTap->Transmitted(b);
    if (m_bPrinterConnected)
        m_printerTap.Write(b);
    if (m_pSerialEndpoint)
        m_pSerialEndpoint->Transmit(b);
    if (m_pSerialEcho) {
        std::fputc(b, m_pSerialEcho);
        std::fflush(m_pSerialEcho);
    }
}
