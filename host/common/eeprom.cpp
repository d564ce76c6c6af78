// The simulated serial EEPROM: the bus protocol engine and the backing file.
#include "eeprom.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* NOT_SAVED = "; settings changes are kept in memory but not saved";

std::string Reason(int nErrno) { return std::strerror(nErrno); }

}  // namespace

CEeprom::CEeprom() { m_abMemory.fill(0xFF); }

CEeprom::~CEeprom()
{
    if (m_nFile >= 0)
        close(m_nFile);
}

bool CEeprom::Open(CI2cBus* pBus, uint8_t bDeviceAddress, const std::string& sPath)
{
    Attach(pBus);
    m_bDeviceAddress = bDeviceAddress & 0xFE;
    m_sPath = sPath;
    m_abMemory.fill(0xFF);

    int nFile = open(sPath.c_str(), O_RDWR | O_CLOEXEC);
    if (nFile < 0 && errno == ENOENT) {
        nFile = open(sPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (nFile < 0 && errno == EEXIST)  // another simulator created it just now
            nFile = open(sPath.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (nFile < 0) {
        int nErrno = errno;
        // A file that exists but cannot be written is still read, so the
        // instrument keeps its settings.
        int nReadOnly = open(sPath.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (nReadOnly >= 0 && fstat(nReadOnly, &st) == 0 && S_ISREG(st.st_mode)) {
            ReadFile(nReadOnly);
            close(nReadOnly);
            GoReadOnly(sPath + " is read-only");
        } else {
            if (nReadOnly >= 0)
                close(nReadOnly);
            GoReadOnly("cannot open " + sPath + " (" + Reason(nErrno) + ")");
        }
        return true;
    }

    struct stat st;
    if (fstat(nFile, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(nFile);
        GoReadOnly("cannot use " + sPath + " (not a regular file)");
        return true;
    }
    if (flock(nFile, LOCK_EX | LOCK_NB) != 0) {
        int nErrno = errno;
        ReadFile(nFile);
        close(nFile);
        if (nErrno == EWOULDBLOCK)
            GoReadOnly(sPath + " is in use by another simulator");
        else
            GoReadOnly("cannot lock " + sPath + " (" + Reason(nErrno) + ")");
        return true;
    }
    ReadFile(nFile);
    if (!PadFile(nFile)) {
        int nErrno = errno;
        close(nFile);
        GoReadOnly("cannot write " + sPath + " (" + Reason(nErrno) + ")");
        return true;
    }
    m_nFile = nFile;
    return true;
}

// Reads the image from the start of the file until its end or 32768 bytes;
// the rest of the memory stays 0xFF.
void CEeprom::ReadFile(int nFile)
{
    size_t nDone = 0;
    while (nDone < m_abMemory.size()) {
        ssize_t n = pread(nFile, m_abMemory.data() + nDone, m_abMemory.size() - nDone,
                          static_cast<off_t>(nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        nDone += static_cast<size_t>(n);
    }
}

// Writes memory from the file's end to 32768 bytes (a new or cut-short
// file), so the file always holds the whole image. A longer file is left as
// it is beyond 32768 bytes.
bool CEeprom::PadFile(int nFile)
{
    struct stat st;
    if (fstat(nFile, &st) != 0)
        return false;
    size_t nDone = st.st_size < MEMORY_SIZE ? static_cast<size_t>(st.st_size) : MEMORY_SIZE;
    while (nDone < m_abMemory.size()) {
        ssize_t n = pwrite(nFile, m_abMemory.data() + nDone, m_abMemory.size() - nDone,
                           static_cast<off_t>(nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        nDone += static_cast<size_t>(n);
    }
    return true;
}

void CEeprom::GoReadOnly(const std::string& sWhy)
{
    if (m_nFile >= 0) {
        close(m_nFile);
        m_nFile = -1;
    }
    m_sStatus = sWhy + NOT_SAVED;
}

void CEeprom::ShiftIn()
{
    m_bShift = static_cast<uint8_t>((m_bShift << 1) | (m_pBus->Sda() ? 1 : 0));
    m_nBitCount++;
}

// Start and stop conditions: SDA changing while SCL is high.
void CEeprom::OnSdaChanged()
{
    if (!m_pBus->Scl())
        return;
    if (m_pBus->Sda()) {
        if (m_nState == STATE_WRITE_DATA && m_nPageCount > 0)
            CommitPage();
        m_nState = STATE_IDLE;
    } else {
        m_nBitCount = 0;
        m_nState = STATE_CONTROL;
    }
}

// Clock edges. Bits are sampled on the rising edge; the device changes SDA
// (acknowledge, data bits, release) only while SCL is low. The ninth rising
// edge of a byte completes it.
void CEeprom::OnSclChanged()
{
    if (m_nState == STATE_IDLE)
        return;
    bool bRising = m_pBus->Scl() != 0;

    if (m_nState == STATE_READ_DATA) {
        if (bRising) {
            if (m_nBitCount < 8) {
                m_nBitCount++;
            } else if (m_pBus->Sda()) {
                m_nState = STATE_IDLE;  // the master did not acknowledge: the read ends
            } else {
                m_bShift = m_abMemory[m_unAddress];
                m_unAddress = (m_unAddress + 1) % MEMORY_SIZE;
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
                if ((m_bShift & 0xFE) != m_bDeviceAddress)
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
        ShiftIn();
        return;
    }
    m_nBitCount = 0;
    switch (m_nState) {
    case STATE_CONTROL:
        if ((m_bShift & 1) == 0) {
            m_nState = STATE_ADDRESS_HIGH;
        } else {
            m_bShift = m_abMemory[m_unAddress];
            m_unAddress = (m_unAddress + 1) % MEMORY_SIZE;
            m_nState = STATE_READ_DATA;
        }
        break;
    case STATE_ADDRESS_HIGH:
        m_unAddress = static_cast<uint16_t>((m_bShift & 0x7F) << 8);
        m_nState = STATE_ADDRESS_LOW;
        break;
    case STATE_ADDRESS_LOW:
        m_unAddress = static_cast<uint16_t>(m_unAddress + m_bShift);
        m_unPageStart = m_unAddress;
        m_nPageCount = 0;
        m_nState = STATE_WRITE_DATA;
        break;
    case STATE_WRITE_DATA:
        // Past 64 bytes the page buffer rolls over inside its page.
        m_abPage[m_unAddress % PAGE_SIZE] = m_bShift;
        m_unAddress = static_cast<uint16_t>((m_unAddress & ~(PAGE_SIZE - 1)) |
                                            ((m_unAddress + 1) & (PAGE_SIZE - 1)));
        if (m_nPageCount < PAGE_SIZE)
            m_nPageCount++;
        break;
    default:
        break;
    }
}

// Moves the page buffer into memory at the stop that ends a write, then
// writes the page through to the file.
void CEeprom::CommitPage()
{
    uint16_t unBase = static_cast<uint16_t>(m_unPageStart & ~(PAGE_SIZE - 1));
    int i = m_unPageStart % PAGE_SIZE;
    for (int n = 0; n < m_nPageCount; n++) {
        m_abMemory[unBase + i] = m_abPage[i];
        i = (i + 1) % PAGE_SIZE;
    }
    if (m_nFile < 0)
        return;
    size_t nDone = 0;
    while (nDone < PAGE_SIZE) {
        ssize_t n = pwrite(m_nFile, m_abMemory.data() + unBase + nDone, PAGE_SIZE - nDone,
                           static_cast<off_t>(unBase + nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            int nErrno = n < 0 ? errno : EIO;
            GoReadOnly("cannot write " + m_sPath + " (" + Reason(nErrno) + ")");
            if (m_fnListener)
                m_fnListener(m_sStatus);
            return;
        }
        nDone += static_cast<size_t>(n);
    }
}
