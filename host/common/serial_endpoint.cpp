// The serial port's host end: pseudo-terminal and TCP set-up, the I/O
// thread, and the paced injection into the firmware's receive queue.
#include "serial_endpoint.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/serial.h"
#include "core/bridge.h"
#include "core/runtime.h"

namespace {

constexpr size_t IO_CHUNK = 65536;
constexpr int CLOSE_DRAIN_MS = 500;  // how long Close waits for a client to take the last bytes

std::string ErrnoText(const std::string& sWhat)
{
    return sWhat + ": " + std::strerror(errno);
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

std::string ReadLink(const std::string& sPath)
{
    char ac[PATH_MAX];
    ssize_t n = ::readlink(sPath.c_str(), ac, sizeof ac - 1);
    if (n < 0)
        return {};
    return std::string(ac, static_cast<size_t>(n));
}

// Points sLink at sTarget: a new link, or an existing symbolic link replaced
// in one step. Anything else at sLink is left alone and refused.
bool MakeLink(const std::string& sLink, const std::string& sTarget, std::string* psError)
{
    struct stat st {};
    if (::lstat(sLink.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        const char* pszWhat = S_ISREG(st.st_mode) ? "a regular file" : S_ISDIR(st.st_mode) ? "a directory" : "not a symbolic link";
        *psError = sLink + " is " + pszWhat + "; give a path that is free or a symbolic link";
        return false;
    }
    const std::string sTemp = sLink + ".new-" + std::to_string(::getpid());
    ::unlink(sTemp.c_str());
    if (::symlink(sTarget.c_str(), sTemp.c_str()) != 0) {
        *psError = ErrnoText("cannot create the link " + sLink);
        return false;
    }
    if (::rename(sTemp.c_str(), sLink.c_str()) != 0) {
        *psError = ErrnoText("cannot create the link " + sLink);
        ::unlink(sTemp.c_str());
        return false;
    }
    return true;
}

}  // namespace

CSerialEndpoint::~CSerialEndpoint() { Close(); }

bool CSerialEndpoint::OpenPty(const std::string& sLink, std::string* psError)
{
    Close();
    std::string sError;
    if (!psError)
        psError = &sError;
    int fdMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fdMaster < 0) {
        *psError = ErrnoText("cannot open a pseudo-terminal");
        return false;
    }
    char acName[128];
    int fdSlave = -1;
    if (::grantpt(fdMaster) != 0 || ::unlockpt(fdMaster) != 0 || ::ptsname_r(fdMaster, acName, sizeof acName) != 0 ||
        (fdSlave = ::open(acName, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0) {
        *psError = ErrnoText("cannot set up a pseudo-terminal");
        ::close(fdMaster);
        return false;
    }
    // Raw bytes both ways, at the instrument's default speed (the speed has
    // no effect on a pseudo-terminal; a client may change it freely).
    struct termios tio {};
    if (::tcgetattr(fdSlave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(fdSlave, TCSANOW, &tio);
    }
    ::fcntl(fdMaster, F_SETFL, ::fcntl(fdMaster, F_GETFL) | O_NONBLOCK);
    // A pseudo-terminal has no connection: a client has come when something
    // opens the device, which the kernel reports for the device's inode.
    // Watched from here on, the endpoint's own opens above do not count.
    int fdWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fdWatch < 0 || ::inotify_add_watch(fdWatch, acName, IN_OPEN) < 0) {
        *psError = ErrnoText("cannot set up a pseudo-terminal");
        if (fdWatch >= 0)
            ::close(fdWatch);
        ::close(fdSlave);
        ::close(fdMaster);
        return false;
    }
    if (!sLink.empty() && !MakeLink(sLink, acName, psError)) {
        ::close(fdWatch);
        ::close(fdSlave);
        ::close(fdMaster);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_kind = Kind::Pty;
        m_fdMaster = fdMaster;
        m_fdSlaveKeep = fdSlave;
        m_fdOpenWatch = fdWatch;
        m_sDevice = acName;
        m_sLink = sLink;
    }
    return StartIo(psError);
}

bool CSerialEndpoint::OpenTcp(uint16_t unPort, std::string* psError)
{
    Close();
    std::string sError;
    if (!psError)
        psError = &sError;
    const std::string sWhere = "127.0.0.1:" + std::to_string(unPort);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *psError = ErrnoText("cannot open a socket");
        return false;
    }
    int nOn = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(unPort);
    socklen_t nLen = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0) {
        *psError = ErrnoText("cannot listen on " + sWhere);
        ::close(fd);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_kind = Kind::Tcp;
        m_fdListen = fd;
        m_unPort = ntohs(addr.sin_port);
    }
    return StartIo(psError);
}

bool CSerialEndpoint::StartIo(std::string* psError)
{
    int fdWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fdWake < 0) {
        *psError = ErrnoText("cannot set up the serial port");
        std::lock_guard<std::mutex> lock(m_mtx);
        m_bStop = true;  // Close then only releases the descriptors
    } else {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_fdWake = fdWake;
        m_bStop = false;
        m_io = std::thread(&CSerialEndpoint::IoThread, this);
        return true;
    }
    Close();
    return false;
}

void CSerialEndpoint::Close()
{
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        if (m_kind == Kind::None)
            return;
        m_bStop = true;
        Signal();
    }
    if (m_io.joinable())
        m_io.join();
    std::lock_guard<std::mutex> lock(m_mtx);
    if (!m_sLink.empty() && ReadLink(m_sLink) == m_sDevice)
        ::unlink(m_sLink.c_str());
    CloseFd(m_fdClient);
    CloseFd(m_fdListen);
    CloseFd(m_fdSlaveKeep);
    CloseFd(m_fdMaster);
    CloseFd(m_fdWake);
    CloseFd(m_fdOpenWatch);
    m_kind = Kind::None;
    m_sDevice.clear();
    m_sLink.clear();
    m_unPort = 0;
    m_input.clear();
    m_sOutput.clear();
    m_nHeld.store(0, std::memory_order_relaxed);
    m_bClientConnected.store(false, std::memory_order_relaxed);
    m_bClientCame.store(false, std::memory_order_relaxed);
}

CSerialEndpoint::Kind CSerialEndpoint::GetKind() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_kind;
}

std::string CSerialEndpoint::DevicePath() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_sDevice;
}

std::string CSerialEndpoint::LinkPath() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_sLink;
}

uint16_t CSerialEndpoint::Port() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    return m_unPort;
}

std::string CSerialEndpoint::Describe() const
{
    std::lock_guard<std::mutex> lock(m_mtx);
    switch (m_kind) {
    case Kind::Pty:
        return m_sLink.empty() ? "serial port on " + m_sDevice : "serial port on " + m_sLink + " (" + m_sDevice + ")";
    case Kind::Tcp:
        return "serial port on TCP 127.0.0.1:" + std::to_string(m_unPort) +
               (m_fdClient >= 0 ? ", client connected" : ", no client");
    case Kind::None:
        break;
    }
    return "no serial port";
}

void CSerialEndpoint::Signal()
{
    if (m_fdWake < 0)
        return;
    uint64_t ullOne = 1;
    [[maybe_unused]] ssize_t n = ::write(m_fdWake, &ullOne, sizeof ullOne);
}

void CSerialEndpoint::Transmit(uint8_t b)
{
    std::lock_guard<std::mutex> lock(m_mtx);
    if (m_kind == Kind::None || m_bStop || (m_kind == Kind::Tcp && m_fdClient < 0))
        return;  // no cable: the byte goes nowhere, as on an unconnected port
    if (m_sOutput.size() >= OUTPUT_HOLD)
        return;  // a client that does not read loses what does not fit
    if (m_sOutput.empty())
        Signal();
    m_sOutput += static_cast<char>(b);
}

// Injects what the line has carried since the last call: the credit grows
// by one tick's worth of bits for each 50 ms tick the firmware consumed and
// never exceeds one tick's worth, so a burst after a quiet spell is no
// faster than the line. The room check and the injection are made under
// the firmware lock, so other injections (Send Message) cannot take the room
// in between.
size_t CSerialEndpoint::Pump()
{
    if (m_nHeld.load(std::memory_order_relaxed) == 0)
        return 0;
    const uint32_t unTicks = m_unTicks.exchange(0, std::memory_order_relaxed);
    char acBytes[256];
    size_t n = 0;
    const uint16_t unSaved = FirmwareLock();
    const uint64_t ullTickBits = uint64_t{TICK_MS} * SerialBaudRate() / 1000;
    m_ullCreditBits = std::min(m_ullCreditBits + unTicks * ullTickBits, ullTickBits);
    const size_t nAllowed = std::min<size_t>({static_cast<size_t>(m_ullCreditBits / BITS_PER_BYTE), SerialRxRoom(), sizeof acBytes});
    if (nAllowed > 0) {
        {
            std::lock_guard<std::mutex> lock(m_mtx);
            const bool bWasFull = m_input.size() >= INPUT_HOLD;
            while (n < nAllowed && !m_input.empty()) {
                acBytes[n++] = m_input.front();
                m_input.pop_front();
            }
            m_nHeld.store(m_input.size(), std::memory_order_relaxed);
            if (bWasFull && n > 0)
                Signal();  // the I/O thread reads again
        }
        for (size_t i = 0; i < n; i++)
            SerialInjectByte(static_cast<uint8_t>(acBytes[i]));
        m_ullCreditBits -= n * BITS_PER_BYTE;
    }
    FirmwareUnlock(unSaved);
    if (n > 0) {
        std::lock_guard<std::mutex> lock(m_mtxListeners);
        if (m_fnInjected)
            m_fnInjected(acBytes, n);
    }
    return n;
}

void CSerialEndpoint::SetInjectListener(std::function<void(const char*, size_t)> fn)
{
    std::lock_guard<std::mutex> lock(m_mtxListeners);
    m_fnInjected = std::move(fn);
}

void CSerialEndpoint::SetActivityListener(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(m_mtxListeners);
    m_fnActivity = std::move(fn);
}

void CSerialEndpoint::DropClient()
{
    CloseFd(m_fdClient);
    m_sOutput.clear();
    m_bClientConnected.store(false, std::memory_order_relaxed);
}

// Reads what fits into the held input; false when the client has gone.
bool CSerialEndpoint::ReadInto(int fd)
{
    size_t nRoom;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        nRoom = INPUT_HOLD - std::min(INPUT_HOLD, m_input.size());
    }
    if (nRoom == 0)
        return true;
    char acBuffer[INPUT_HOLD];
    ssize_t n = ::read(fd, acBuffer, nRoom);
    if (n > 0) {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_input.insert(m_input.end(), acBuffer, acBuffer + n);
        m_nHeld.store(m_input.size(), std::memory_order_relaxed);
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    return false;
}

// Writes what the client takes of the held output; false when it has gone.
bool CSerialEndpoint::WriteFrom(int fd)
{
    std::string sChunk;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        sChunk.assign(m_sOutput, 0, std::min(m_sOutput.size(), IO_CHUNK));
    }
    if (sChunk.empty())
        return true;
    ssize_t n = m_kind == Kind::Tcp ? ::send(fd, sChunk.data(), sChunk.size(), MSG_NOSIGNAL)
                                    : ::write(fd, sChunk.data(), sChunk.size());
    if (n > 0) {
        std::lock_guard<std::mutex> lock(m_mtx);
        m_sOutput.erase(0, static_cast<size_t>(n));
        return true;
    }
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

void CSerialEndpoint::IoThread()
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point tDrainUntil{};
    for (;;) {
        bool bWantRead, bWantWrite, bStop;
        int fdData;
        {
            std::lock_guard<std::mutex> lock(m_mtx);
            bWantRead = m_input.size() < INPUT_HOLD;
            bWantWrite = !m_sOutput.empty();
            bStop = m_bStop;
            fdData = m_kind == Kind::Pty ? m_fdMaster : m_fdClient;
        }
        int nTimeout = -1;
        if (bStop) {
            // Closing: give a connected client a moment to take the last bytes.
            if (tDrainUntil == Clock::time_point{})
                tDrainUntil = Clock::now() + std::chrono::milliseconds(CLOSE_DRAIN_MS);
            const auto msLeft = std::chrono::duration_cast<std::chrono::milliseconds>(tDrainUntil - Clock::now()).count();
            if (!bWantWrite || fdData < 0 || msLeft <= 0)
                return;
            nTimeout = static_cast<int>(msLeft);
            bWantRead = false;
        }
        pollfd afd[4];
        nfds_t nFds = 0;
        afd[nFds++] = {m_fdWake, POLLIN, 0};
        const nfds_t nData = nFds;
        if (fdData >= 0)
            afd[nFds++] = {fdData, static_cast<short>((bWantRead ? POLLIN : 0) | (bWantWrite ? POLLOUT : 0)), 0};
        nfds_t nListen = 0, nWatch = 0;  // 0: not polled
        if (m_kind == Kind::Tcp && !bStop) {
            nListen = nFds;
            afd[nFds++] = {m_fdListen, POLLIN, 0};
        }
        if (m_fdOpenWatch >= 0 && !bStop) {
            nWatch = nFds;
            afd[nFds++] = {m_fdOpenWatch, POLLIN, 0};
        }
        if (::poll(afd, nFds, nTimeout) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (afd[0].revents & POLLIN) {
            uint64_t ullCount;
            [[maybe_unused]] ssize_t n = ::read(m_fdWake, &ullCount, sizeof ullCount);
        }
        bool bActivity = false;
        if (fdData >= 0 && nData < nFds && afd[nData].fd == fdData) {
            const short nEvents = afd[nData].revents;
            bool bAlive = true;
            if (nEvents & (POLLIN | POLLHUP | POLLERR)) {
                const size_t nBefore = HeldInput();
                bAlive = ReadInto(fdData);
                bActivity = HeldInput() != nBefore;
            }
            if (bAlive && (nEvents & POLLOUT))
                bAlive = WriteFrom(fdData);
            if (!bAlive && m_kind == Kind::Tcp) {
                std::lock_guard<std::mutex> lock(m_mtx);
                DropClient();
                bActivity = true;
            }
        }
        if (nListen && (afd[nListen].revents & POLLIN)) {
            int fdNew = ::accept4(m_fdListen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fdNew >= 0) {
                std::lock_guard<std::mutex> lock(m_mtx);
                if (m_fdClient >= 0) {
                    ::close(fdNew);  // one client at a time: the newcomer is turned away
                } else {
                    int nOn = 1;
                    ::setsockopt(fdNew, IPPROTO_TCP, TCP_NODELAY, &nOn, sizeof nOn);
                    m_fdClient = fdNew;
                    m_bClientConnected.store(true, std::memory_order_relaxed);
                    m_bClientCame.store(true, std::memory_order_relaxed);
                    bActivity = true;
                }
            }
        }
        if (nWatch && (afd[nWatch].revents & POLLIN)) {
            // Only the first client matters: the watch ends with it.
            std::lock_guard<std::mutex> lock(m_mtx);
            CloseFd(m_fdOpenWatch);
            m_bClientCame.store(true, std::memory_order_relaxed);
            bActivity = true;
        }
        if (bActivity) {
            std::lock_guard<std::mutex> lock(m_mtxListeners);
            if (m_fnActivity)
                m_fnActivity();
        }
    }
}
