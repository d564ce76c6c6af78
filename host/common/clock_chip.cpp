// The clock chip on the two-wire bus: its transfer engine and its time base.
#include "clock_chip.h"

#include <cctype>

namespace {

uint8_t ToBcd(int n) { return static_cast<uint8_t>((n / 10) << 4 | n % 10); }
int FromBcd(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

bool LeapYear(int nYear) { return nYear % 4 == 0 && (nYear % 100 != 0 || nYear % 400 == 0); }

int DaysIn(int nMonth, int nYear)
{
    static constexpr int kanDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return nMonth == 2 && LeapYear(nYear) ? 29 : kanDays[nMonth - 1];
}

// Fields in range for a moment of 2000..2099.
bool Valid(const std::tm& t)
{
    const int nYear = t.tm_year + 1900;
    return nYear >= 2000 && nYear <= 2099 && t.tm_mon >= 0 && t.tm_mon <= 11 && t.tm_mday >= 1 &&
           t.tm_mday <= DaysIn(t.tm_mon + 1, nYear) && t.tm_hour >= 0 && t.tm_hour <= 23 && t.tm_min >= 0 &&
           t.tm_min <= 59 && t.tm_sec >= 0 && t.tm_sec <= 59;
}

// Calendar fields as a count of seconds, and back; the fields are taken as
// they stand (no time zone), so that local calendar time counts evenly.
int64_t Seconds(std::tm t) { return static_cast<int64_t>(timegm(&t)); }

std::tm Fields(int64_t llSeconds)
{
    const std::time_t t = static_cast<std::time_t>(llSeconds);
    std::tm fields{};
    gmtime_r(&t, &fields);
    return fields;
}

}  // namespace

CClockChip::CClockChip(std::function<uint64_t()> fnFirmwareMs, std::optional<std::tm> start)
    : m_fnFirmwareMs(std::move(fnFirmwareMs))
{
    if (start)
        m_llStartSeconds = Seconds(*start);
}

std::optional<std::tm> CClockChip::ParseMoment(const char* psz, std::string* psWhy)
{
    static constexpr char kszShape[] = "dddd-dd-dd dd:dd:dd";
    const std::string s = psz ? psz : "";
    bool bShape = s.size() == sizeof kszShape - 1;
    for (size_t i = 0; bShape && i < s.size(); i++)
        bShape = kszShape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(s[i])) != 0 : s[i] == kszShape[i];
    if (!bShape) {
        if (psWhy)
            *psWhy = "write the moment as \"YYYY-MM-DD hh:mm:ss\"";
        return std::nullopt;
    }
    auto Number = [&s](size_t nAt, size_t nDigits) { return std::stoi(s.substr(nAt, nDigits)); };
    std::tm t{};
    t.tm_year = Number(0, 4) - 1900;
    t.tm_mon = Number(5, 2) - 1;
    t.tm_mday = Number(8, 2);
    t.tm_hour = Number(11, 2);
    t.tm_min = Number(14, 2);
    t.tm_sec = Number(17, 2);
    if (!Valid(t)) {
        if (psWhy)
            *psWhy = "no such moment in the years 2000 to 2099";
        return std::nullopt;
    }
    return Fields(Seconds(t));  // with the weekday
}

int64_t CClockChip::BaseSeconds() const
{
    if (m_llStartSeconds)
        return *m_llStartSeconds + static_cast<int64_t>(m_fnFirmwareMs() / 1000);
    const std::time_t tNow = std::time(nullptr);
    std::tm local{};
    localtime_r(&tNow, &local);
    return Seconds(local);
}

std::tm CClockChip::Now() const { return Fields(BaseSeconds() + m_llOffsetSeconds); }

void CClockChip::Set(const std::tm& moment) { m_llOffsetSeconds = Seconds(moment) - BaseSeconds(); }

void CClockChip::Latch()
{
    const std::tm now = Now();
    m_abRegisters[0] = ToBcd(now.tm_sec);
    m_abRegisters[1] = ToBcd(now.tm_min);
    m_abRegisters[2] = ToBcd(now.tm_hour);
    m_abRegisters[3] = ToBcd(now.tm_wday + 1);
    m_abRegisters[4] = ToBcd(now.tm_mday);
    m_abRegisters[5] = ToBcd(now.tm_mon + 1);
    m_abRegisters[6] = ToBcd(now.tm_year % 100);
}

// A stop, or a start that cuts a transfer short, ends a write: what it put
// into the time registers sets the clock.
void CClockChip::StartOrStop()
{
    if (m_nState == STATE_WRITE_DATA && m_bTimeWritten) {
        std::tm t{};
        t.tm_sec = FromBcd(m_abRegisters[0] & 0x7F);
        t.tm_min = FromBcd(m_abRegisters[1] & 0x7F);
        t.tm_hour = FromBcd(m_abRegisters[2] & 0x3F);
        t.tm_mday = FromBcd(m_abRegisters[4] & 0x3F);
        t.tm_mon = FromBcd(m_abRegisters[5] & 0x1F) - 1;
        t.tm_year = 100 + FromBcd(m_abRegisters[6]);
        if (Valid(t))
            Set(t);
    }
    m_bTimeWritten = false;
    if (!m_pBus->Sda()) {  // a start, or a repeated start
        m_bShift = 0;
        m_nBitCount = 0;
        m_nState = STATE_CONTROL;
        return;
    }
    m_nState = STATE_IDLE;
}

void CClockChip::ClockEdge()
{
    if (m_nState == STATE_IDLE)
        return;
    const bool bRising = m_pBus->Scl() != 0;
    if (m_nState == STATE_READ_DATA) {
        if (bRising) {
            if (m_nBitCount < 8) {
                m_nBitCount++;
            } else if (m_pBus->Sda()) {
                m_nState = STATE_IDLE;  // not acknowledged: the read ends
            } else {
                m_bShift = m_abRegisters[m_bPointer];
                m_bPointer = static_cast<uint8_t>((m_bPointer + 1) % REGISTER_COUNT);
                m_nBitCount = 0;
            }
        } else if (m_nBitCount < 8) {
            SetSda(m_bShift & 0x80);
            m_bShift = static_cast<uint8_t>(m_bShift << 1);
        } else {
            SetSda(1);
        }
        return;
    }
    if (!bRising) {
        if (m_nState == STATE_CONTROL) {
            if (m_nBitCount == 8) {
                if ((m_bShift & 0xFE) != DEVICE_ADDRESS)
                    m_nState = STATE_IDLE;  // not for us: wait for the next start
                else
                    SetSda(0);
            }
        } else {
            SetSda(m_nBitCount == 8 ? 0 : 1);
        }
        return;
    }
    if (m_nBitCount < 8) {
        m_bShift = static_cast<uint8_t>((m_bShift << 1) | m_pBus->Sda());
        m_nBitCount++;
        return;
    }
    m_nBitCount = 0;
    switch (m_nState) {
    case STATE_CONTROL:
        Latch();  // a read shows the time as it stands; a write keeps the fields it does not reach
        if ((m_bShift & 1) == 0) {
            m_nState = STATE_ADDRESS;
        } else {
            m_bShift = m_abRegisters[m_bPointer];
            m_bPointer = static_cast<uint8_t>((m_bPointer + 1) % REGISTER_COUNT);
            m_nState = STATE_READ_DATA;
        }
        break;
    case STATE_ADDRESS:
        m_bPointer = static_cast<uint8_t>(m_bShift % REGISTER_COUNT);
        m_nState = STATE_WRITE_DATA;
        break;
    case STATE_WRITE_DATA:
        m_abRegisters[m_bPointer] = m_bShift;
        if (m_bPointer < TIME_REGISTERS)
            m_bTimeWritten = true;
        m_bPointer = static_cast<uint8_t>((m_bPointer + 1) % REGISTER_COUNT);
        break;
    default:
        break;
    }
}
