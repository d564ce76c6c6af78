// The host end of the instrument's serial port: a pseudo-terminal (with a
// stable symbolic link to its device) or a TCP port on 127.0.0.1, which PC
// software opens like a real serial port.
//
// Three kinds of thread meet here:
// - an I/O thread of the endpoint moves bytes between the operating system
//   and two buffers (what the client sent, what the instrument transmitted);
// - the firmware thread hands every transmitted byte to Transmit, reports
//   each 50 ms host tick it consumes with TickConsumed, and calls Pump at its
//   yield points. Pump injects the client's bytes into the receive queue only
//   while the queue has room and no faster than the line carries them at the
//   applied baud rate (10 bits a byte), counted in firmware time, so a client
//   that writes a whole batch of commands at once loses nothing;
// - the host's own thread opens, closes and describes the port.
// Transmitted bytes are not paced: the firmware's transmission is synchronous.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CSerialEndpoint {
public:
    enum class Kind { None, Pty, Tcp };

    // Client bytes held before the endpoint stops reading (the client's
    // writes then wait in the operating system), and transmitted bytes held
    // for a slow client before further ones are dropped.
    static constexpr size_t INPUT_HOLD = 4096;
    static constexpr size_t OUTPUT_HOLD = 1 << 20;
    static constexpr uint32_t TICK_MS = 50;
    static constexpr uint32_t BITS_PER_BYTE = 10;  // start bit, 8 data bits, stop bit

    CSerialEndpoint() = default;
    ~CSerialEndpoint();
    CSerialEndpoint(const CSerialEndpoint&) = delete;
    CSerialEndpoint& operator=(const CSerialEndpoint&) = delete;

    // Opens a pseudo-terminal in raw mode and points the symbolic link sLink
    // at its device (an existing link is replaced; a regular file, directory
    // or anything else at sLink is refused). An empty sLink makes no link.
    // False with a message in *psError; the endpoint then stays closed.
    bool OpenPty(const std::string& sLink, std::string* psError);
    // Listens on 127.0.0.1:unPort (0 picks a free port, see Port()), one
    // client at a time: a second connection is closed at once.
    bool OpenTcp(uint16_t unPort, std::string* psError);
    // Sends what is still held for the client (briefly), stops the I/O
    // thread, removes the link if it still points at this device.
    void Close();

    Kind GetKind() const;
    bool IsOpen() const { return GetKind() != Kind::None; }
    std::string DevicePath() const;  // the pseudo-terminal's device, /dev/pts/N
    std::string LinkPath() const;
    uint16_t Port() const;
    bool ClientConnected() const { return m_bClientConnected.load(std::memory_order_relaxed); }
    // A client has come since the port opened: connected over TCP, or opened
    // the pseudo-terminal's device (through the link or not).
    bool ClientCame() const { return m_bClientCame.load(std::memory_order_relaxed); }
    // One line for a status bar or a terminal: where the port is.
    std::string Describe() const;
    // Client bytes not yet injected.
    size_t HeldInput() const { return m_nHeld.load(std::memory_order_relaxed); }

    // Firmware thread.
    void Transmit(uint8_t b);
    void TickConsumed() { m_unTicks.fetch_add(1, std::memory_order_relaxed); }
    // Returns the number of bytes injected.
    size_t Pump();

    // Called on the firmware thread with every run of client bytes Pump
    // injected.
    void SetInjectListener(std::function<void(const char*, size_t)> fn);
    // Called on the I/O thread when client bytes arrive or a client comes or
    // goes, so a host can wake an idle firmware thread or update a status.
    // Either listener may be replaced or cleared while the port is open: once
    // the setter returns, the old one is never called again, so its owner may
    // go away before the port closes.
    void SetActivityListener(std::function<void()> fn);

private:
    bool StartIo(std::string* psError);
    void IoThread();
    void Signal();
    void DropClient();  // with m_mtx held
    bool ReadInto(int fd);
    bool WriteFrom(int fd);

    mutable std::mutex m_mtx;
    Kind m_kind = Kind::None;
    std::string m_sDevice;
    std::string m_sLink;
    uint16_t m_unPort = 0;
    int m_fdMaster = -1;     // pseudo-terminal master
    int m_fdSlaveKeep = -1;  // a slave kept open, so the master never sees a hang-up
    int m_fdListen = -1;
    int m_fdClient = -1;
    int m_fdWake = -1;  // eventfd: output waiting, room for input, stop
    int m_fdOpenWatch = -1;  // inotify: the pseudo-terminal's device opened, until the first client came
    bool m_bStop = false;
    std::thread m_io;

    std::deque<char> m_input;  // client bytes not yet injected
    std::string m_sOutput;     // transmitted bytes not yet written to the client
    std::atomic<size_t> m_nHeld{0};
    std::atomic<bool> m_bClientConnected{false};
    std::atomic<bool> m_bClientCame{false};

    // Pacing, firmware thread only (the tick count is handed over atomically).
    std::atomic<uint32_t> m_unTicks{0};
    uint64_t m_ullCreditBits = 0;

    std::mutex m_mtxListeners;  // held while a listener runs or is replaced
    std::function<void(const char*, size_t)> m_fnInjected;
    std::function<void()> m_fnActivity;
};
