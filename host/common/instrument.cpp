// The instrument as its hosts see it: bridge operations, turn passing with
// the firmware thread, virtual time.
#include "instrument.h"

#include <thread>

#include "core/serial.h"
#include "app/probe.h"
#include "core/runtime.h"
#include "serial_endpoint.h"

CInstrument::CInstrument() : CInstrument(Options{}) {}

CInstrument::CInstrument(const Options& options)
    : m_options(options), m_bus(options.sEepromPath), m_dSpeed(options.dSpeed > 0 ? options.dSpeed : 0)
{
    FirmwareAttachHost(this);
}

CInstrument::~CInstrument()
{
    Shutdown();
    FirmwareAttachHost(nullptr);
}

void CInstrument::PowerUp()
{
    if (m_bStarted)
        return;
    m_bStarted = true;
    if (!m_options.bUserInterface)
        FirmwareSetUiStep([](uint8_t) {});
    m_tNextTick = std::chrono::steady_clock::now();
    FirmwareStart();
    if (!FirmwareThreadActive()) {
        // The firmware starts once per process; a second power-up cannot run.
        m_bStarted = false;
        return;
    }
    RunSlice();
}

void CInstrument::Shutdown()
{
    if (!m_bStarted)
        return;
    FirmwareStop();
    m_bStarted = false;
}

void CInstrument::RunTurn()
{
    std::unique_lock<std::mutex> lock(m_mtxTurn);
    if (m_bThreadDone || !m_bStarted)
        return;
    m_turn = Turn::Firmware;
    m_cvTurn.notify_all();
    m_cvTurn.wait(lock, [this] { return m_turn == Turn::Host || m_bThreadDone; });
}

void CInstrument::RunSlice()
{
    m_unTicksLeft = 0;
    m_pfnDone = nullptr;
    RunTurn();
}

void CInstrument::SetSpeed(double dSpeed)
{
    m_dSpeed = dSpeed > 0 ? dSpeed : 0;
    m_tNextTick = std::chrono::steady_clock::now();
}

void CInstrument::DeliverTick()
{
    if (m_dSpeed > 0) {
        m_tNextTick += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double, std::milli>(TICK_MS / m_dSpeed));
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

void CInstrument::SetKey(uint8_t bKey, bool bDown)
{
    if (bKey >= 1 && bKey <= 12)
        m_abKeys[bKey].store(bDown ? 1 : 0, std::memory_order_relaxed);
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

void CInstrument::Inject(std::string_view sBytes)
{
    if (m_pSerialTap)
        m_pSerialTap->Received(sBytes);
    for (char c : sBytes)
        SerialInjectByte(static_cast<uint8_t>(c));
}

uint16_t CInstrument::ReceiveRoom() const
{
    uint16_t unSaved = FirmwareLock();
    uint16_t unRoom = static_cast<uint16_t>(gRxRing.unSize - gRxRing.unCount);
    FirmwareUnlock(unSaved);
    return unRoom;
}

uint8_t CInstrument::DisplayByte(uint16_t unAddress) const
{
    if (unAddress < MEMORY_BASE || unAddress >= MEMORY_BASE + MEMORY_SIZE)
        return 0;
    return m_abData[unAddress - MEMORY_BASE].load(std::memory_order_relaxed);
}

bool CInstrument::ByteChanged(uint16_t unAddress) const
{
    if (unAddress < MEMORY_BASE || unAddress >= MEMORY_BASE + MEMORY_SIZE)
        return false;
    return m_abChanged[unAddress - MEMORY_BASE].load(std::memory_order_relaxed) != 0;
}

void CInstrument::ClearChangedFlags()
{
    for (auto& b : m_abChanged)
        b.store(0, std::memory_order_relaxed);
}

bool CInstrument::Pixel(int x, int y) const
{
    if (x < 0 || x >= 240 || y < 0 || y >= 128)
        return false;
    uint16_t unAddress = static_cast<uint16_t>(MEMORY_BASE + 30 * y + x / 8);
    return (DisplayByte(unAddress) & (0x80 >> (x % 8))) != 0;
}

int CInstrument::KeyIsDown(uint8_t bKey) { return KeyDown(bKey) ? 1 : 0; }

// Writes and reads outside the host's display memory are ignored (read as 0).
void CInstrument::LcdWrite(uint16_t unAddress, uint8_t bValue)
{
    if (unAddress < MEMORY_BASE || unAddress >= MEMORY_BASE + MEMORY_SIZE)
        return;
    m_abData[unAddress - MEMORY_BASE].store(bValue, std::memory_order_relaxed);
    m_abChanged[unAddress - MEMORY_BASE].store(1, std::memory_order_relaxed);
}

uint8_t CInstrument::LcdRead(uint16_t unAddress) { return DisplayByte(unAddress); }

void CInstrument::LcdRefresh() { m_unRefreshes.fetch_add(1, std::memory_order_relaxed); }

int32_t CInstrument::PendingTicks() { return m_nPendingTicks.load(std::memory_order_relaxed); }

void CInstrument::ConsumePendingTick()
{
    m_nPendingTicks.fetch_sub(1, std::memory_order_relaxed);
    m_ullTicksConsumed.fetch_add(1, std::memory_order_relaxed);
    if (m_pSerialEndpoint)
        m_pSerialEndpoint->TickConsumed();
}

// The end of a slice. Inside a run of ticks the firmware thread delivers the
// next tick itself and carries on, unless the run's condition holds; only
// then, or when the ticks are spent, does it wake the host.
void CInstrument::Yield()
{
    if (m_pSerialEndpoint)
        m_pSerialEndpoint->Pump();
    if (m_unTicksLeft > 0 && !Interrupted() && !(m_pfnDone && (*m_pfnDone)())) {
        m_unTicksLeft--;
        DeliverTick();
        return;
    }
    std::unique_lock<std::mutex> lock(m_mtxTurn);
    if (m_bFreeRun)
        return;
    m_turn = Turn::Host;
    m_cvTurn.notify_all();
    m_cvTurn.wait(lock, [this] { return m_turn == Turn::Firmware || m_bFreeRun; });
}

void CInstrument::ThreadBegin()
{
    std::unique_lock<std::mutex> lock(m_mtxTurn);
    m_cvTurn.wait(lock, [this] { return m_turn == Turn::Firmware || m_bFreeRun; });
}

void CInstrument::ThreadEnd()
{
    std::lock_guard<std::mutex> lock(m_mtxTurn);
    m_bThreadDone = true;
    m_turn = Turn::Host;
    m_cvTurn.notify_all();
}

void CInstrument::StopRequested()
{
    std::lock_guard<std::mutex> lock(m_mtxTurn);
    m_bFreeRun = true;
    m_cvTurn.notify_all();
}

void CInstrument::I2cSetScl(int nLevel) { m_bus.SetScl(nLevel); }
void CInstrument::I2cSetSda(int nLevel) { m_bus.SetSda(nLevel); }
int CInstrument::I2cGetScl() { return m_bus.GetScl(); }
int CInstrument::I2cGetSda() { return m_bus.GetSda(); }

void CInstrument::Write(uint8_t b)
{
    m_sSerialOut += static_cast<char>(b);
    if (m_pSerialTap)
        m_pSerialTap->Transmitted(b);
    if (m_pPrinterSink)
        m_pPrinterSink->Write(b);
    if (m_pSerialEndpoint)
        m_pSerialEndpoint->Transmit(b);
    if (m_pSerialEcho) {
        std::fputc(b, m_pSerialEcho);
        std::fflush(m_pSerialEcho);
    }
}
