// The simulated serial EEPROM: the bus protocol engine and the backing file.
#include "eeprom.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* NOT_SAVED = "; settings changes are kept in memory but not saved";

std::string Reason(int nErrno) { return std::strerror(nErrno); }

mode_t CurrentUmask()
{
    mode_t unMask = umask(0);
    umask(unMask);
    return unMask;
}

// Writes nSize bytes at nOffset, retrying short writes; false with errno set.
bool WriteAll(int nFile, size_t nOffset, const uint8_t* pData, size_t nSize)
{
    size_t nDone = 0;
    while (nDone < nSize) {
        ssize_t n = pwrite(nFile, pData + nDone, nSize - nDone, static_cast<off_t>(nOffset + nDone));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

CEeprom::CEeprom() { m_abMemory.fill(0xFF); }

CEeprom::~CEeprom()
{
    if (m_nFile >= 0)
        close(m_nFile);
}

bool CEeprom::Open(CI2cBus* pBus, uint8_t bDeviceAddress, const std::string& sPath, bool bSnapshot)
{
    Attach(pBus);
    m_bDeviceAddress = bDeviceAddress & 0xFE;
    m_sPath = sPath;
    m_bRefused = false;
    m_bSnapshot = bSnapshot;
    m_abMemory.fill(0xFF);

    if (sPath.empty()) {
        m_sStatus = "the store is kept in memory only; settings changes are not saved";
        return true;
    }
    if (bSnapshot) {
        // Read only, and a missing file is a blank store: nothing is created.
        int nFile = open(sPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (nFile < 0 && errno != ENOENT) {
            Refuse("cannot open " + sPath + " (" + Reason(errno) + ")");
            return false;
        }
        if (nFile >= 0) {
            const bool bImage = CheckImage(nFile);
            if (bImage)
                ReadFile(nFile);
            close(nFile);
            if (!bImage)
                return false;
        }
        m_sStatus = sPath + " is used as a snapshot; changes are kept in memory and not saved";
        return true;
    }

    // O_NONBLOCK: a FIFO or device in place of the file must not hold up the
    // start; it is refused below as soon as fstat shows what it is.
    int nFile = open(sPath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (nFile < 0 && errno == ENOENT) {
        if (!CreateImage())
            return true;
        nFile = open(sPath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    }
    if (nFile < 0) {
        int nErrno = errno;
        // A file that exists but cannot be written is still read, so the
        // instrument keeps its settings.
        int nReadOnly = open(sPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (nReadOnly < 0) {
            Refuse("cannot open " + sPath + " (" + Reason(nErrno) + ")");
            return false;
        }
        bool bImage = CheckImage(nReadOnly);
        if (bImage)
            ReadFile(nReadOnly);
        close(nReadOnly);
        if (!bImage)
            return false;
        GoReadOnly(sPath + " is read-only");
        return true;
    }

    if (!CheckImage(nFile)) {
        close(nFile);
        return false;
    }
    struct stat st;
    fstat(nFile, &st);
    // The permission bits decide, also for a user whom the system would let
    // write anyway: a file marked read-only is not changed.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        ReadFile(nFile);
        close(nFile);
        GoReadOnly(sPath + " is read-only");
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
    if (st.st_size == 0 && !WriteAll(nFile, 0, m_abMemory.data(), MEMORY_SIZE)) {
        int nErrno = errno;
        close(nFile);
        GoReadOnly("cannot write " + sPath + " (" + Reason(nErrno) + ")");
        return true;
    }
    m_nFile = nFile;
    return true;
}

// An existing file is used only when it is a regular file that the user may
// read and that holds a whole image, or nothing yet (an empty file is
// initialised like a new one). Anything else is refused untouched.
bool CEeprom::CheckImage(int nFile)
{
    struct stat st;
    if (fstat(nFile, &st) != 0) {
        Refuse("cannot use " + m_sPath + " (" + Reason(errno) + ")");
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        Refuse(m_sPath + " is a directory, not an EEPROM image: name a file with --eeprom");
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Refuse(m_sPath + " is not a regular file, so it cannot hold an EEPROM image: name a file with --eeprom");
        return false;
    }
    if ((st.st_mode & (S_IRUSR | S_IRGRP | S_IROTH)) == 0) {
        Refuse("cannot read " + m_sPath + " (it has no read permission)");
        return false;
    }
    if (st.st_size != 0 && st.st_size != MEMORY_SIZE) {
        char szSize[40];
        std::snprintf(szSize, sizeof szSize, "%lld byte%s", static_cast<long long>(st.st_size),
                      st.st_size == 1 ? "" : "s");
        Refuse(m_sPath + " holds " + szSize + ", so it is not an EEPROM image (exactly " +
               std::to_string(MEMORY_SIZE) + " bytes): name another file with --eeprom, or move this one away");
        return false;
    }
    return true;
}

// A new file appears whole or not at all: the erased image is written to a
// temporary file beside it and linked into place, so a start that is killed
// half-way never leaves a short file that the next start would refuse.
bool CEeprom::CreateImage()
{
    std::string sTemp = m_sPath + ".XXXXXX";
    int nTemp = mkostemp(sTemp.data(), O_CLOEXEC);
    if (nTemp < 0) {
        GoReadOnly("cannot open " + m_sPath + " (" + Reason(errno) + ")");
        return false;
    }
    bool bWritten = fchmod(nTemp, 0666 & ~CurrentUmask()) == 0 && WriteAll(nTemp, 0, m_abMemory.data(), MEMORY_SIZE);
    int nErrno = errno;
    close(nTemp);
    // link() fails with EEXIST when another simulator created the file
    // first; its file is then used as it is.
    if (bWritten && link(sTemp.c_str(), m_sPath.c_str()) != 0 && errno != EEXIST) {
        nErrno = errno;
        bWritten = false;
    }
    unlink(sTemp.c_str());
    if (!bWritten) {
        GoReadOnly("cannot open " + m_sPath + " (" + Reason(nErrno) + ")");
        return false;
    }
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

void CEeprom::Refuse(const std::string& sWhy)
{
    m_bRefused = true;
    m_sStatus = sWhy;
}

void CEeprom::GoReadOnly(const std::string& sWhy)
{
    if (m_nFile >= 0) {
        close(m_nFile);
        m_nFile = -1;
    }
    m_sStatus = sWhy + NOT_SAVED;
}

// Start and stop conditions: SDA changing while SCL is high.
void CEeprom::StartOrStop()
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

// Clock edges, every case. Bits are sampled on the rising edge; the device
// changes SDA (acknowledge, data bits, release) only while SCL is low. The
// ninth rising edge of a byte completes it.
void CEeprom::ClockEdge()
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
        m_bShift = static_cast<uint8_t>((m_bShift << 1) | m_pBus->Sda());
        m_nBitCount++;
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
    if (!WriteAll(m_nFile, unBase, m_abMemory.data() + unBase, PAGE_SIZE)) {
        GoReadOnly("cannot write " + m_sPath + " (" + Reason(errno) + ")");
        if (m_fnListener)
            m_fnListener(m_sStatus);
    }
}
