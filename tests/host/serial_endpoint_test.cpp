// The serial port's pseudo-terminal and TCP ends: a PC client on the other
// side of a real pseudo-terminal or loopback socket, the pacing into the
// 64-byte receive queue, reconnects, bad input, the link, and halden-cli's
// background run with its stop signals.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "comms/remote_fixture.h"
#include "core/serial.h"
#include "serial_endpoint.h"
#include "support/firmware_fixture.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto GUARD = 120s;  // only against a hang; no test depends on how long anything takes

std::string ReadFile(const std::string& sPath)
{
    std::ifstream file(sPath, std::ios::binary);
    std::stringstream ss;
    ss << file.rdbuf();
    return ss.str();
}

size_t CountOf(const std::string& s, const std::string& sWhat)
{
    size_t n = 0;
    for (size_t i = s.find(sWhat); i != std::string::npos; i = s.find(sWhat, i + sWhat.size()))
        n++;
    return n;
}

template <typename Pred>
bool WaitWall(Pred pred)
{
    for (auto tEnd = Clock::now() + GUARD; !pred(); std::this_thread::sleep_for(5ms))
        if (Clock::now() > tEnd)
            return false;
    return true;
}

// The PC's side: a pseudo-terminal opened by its link, or a TCP connection.
// A reader thread collects what arrives; writes run on a thread of their own
// so that a large one cannot stop the test from running the firmware.
class CPeer {
public:
    static std::unique_ptr<CPeer> OpenPty(const std::string& sPath)
    {
        int fd = ::open(sPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        // What serial programs do on opening: raw mode at their own speed,
        // and the modem lines (a pseudo-terminal may refuse these).
        termios tio {};
        ::tcgetattr(fd, &tio);
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B38400);
        ::tcsetattr(fd, TCSANOW, &tio);
        int nBits = TIOCM_DTR | TIOCM_RTS;
        [[maybe_unused]] int nIgnored = ::ioctl(fd, TIOCMBIS, &nBits);
        nIgnored = ::ioctl(fd, TIOCMGET, &nBits);
        ::tcflush(fd, TCIOFLUSH);
        return std::unique_ptr<CPeer>(new CPeer(fd));
    }

    static std::unique_ptr<CPeer> ConnectTcp(uint16_t unPort)
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(unPort);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::unique_ptr<CPeer>(new CPeer(fd));
    }

    ~CPeer() { Close(); }

    void Send(std::string sBytes)
    {
        WaitSent();
        m_writer = std::thread([this, sBytes = std::move(sBytes)] {
            size_t nDone = 0;
            while (nDone < sBytes.size()) {
                ssize_t n = ::send(m_fd, sBytes.data() + nDone, sBytes.size() - nDone, MSG_NOSIGNAL);
                if (n < 0 && errno == ENOTSOCK)
                    n = ::write(m_fd, sBytes.data() + nDone, sBytes.size() - nDone);
                if (n <= 0)
                    return;
                nDone += static_cast<size_t>(n);
            }
        });
    }
    void WaitSent()
    {
        if (m_writer.joinable())
            m_writer.join();
    }
    std::string Received()
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        return m_sReceived;
    }
    bool Ended() const { return m_bEnded.load(); }
    void Close()
    {
        if (m_fd < 0)
            return;
        ::shutdown(m_fd, SHUT_RDWR);
        m_bStop.store(true);
        WaitSent();
        m_reader.join();
        ::close(m_fd);
        m_fd = -1;
    }

private:
    explicit CPeer(int fd) : m_fd(fd)
    {
        m_reader = std::thread([this] {
            char ac[4096];
            while (!m_bStop.load()) {
                pollfd pfd{m_fd, POLLIN, 0};
                if (::poll(&pfd, 1, 20) <= 0)
                    continue;
                ssize_t n = ::read(m_fd, ac, sizeof ac);
                if (n <= 0) {
                    m_bEnded.store(true);
                    return;
                }
                std::lock_guard<std::mutex> lock(m_mtx);
                m_sReceived.append(ac, static_cast<size_t>(n));
            }
        });
    }

    int m_fd;
    std::thread m_reader;
    std::thread m_writer;
    std::mutex m_mtx;
    std::string m_sReceived;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bEnded{false};
};

// The remote interpreter polled on every pass from the main menu (no
// start-up to wait for), with a serial endpoint attached to the host.
class SerialEndpointTest : public FirmwareTest {
protected:
    void StartFirmware()
    {
        FirmwareSetUiStep(remote_test::RemoteStep);
        Host().AttachSerialEndpoint(&m_endpoint);
        Host().PowerUp();
        Host().Tick();
    }
    void OpenPty()
    {
        std::string sError;
        ASSERT_TRUE(m_endpoint.OpenPty((m_dir / "ttyHALDEN").string(), &sError)) << sError;
    }
    void OpenTcp()
    {
        std::string sError;
        ASSERT_TRUE(m_endpoint.OpenTcp(0, &sError)) << sError;
    }
    std::unique_ptr<CPeer> Connect()
    {
        return m_endpoint.GetKind() == CSerialEndpoint::Kind::Pty ? CPeer::OpenPty((m_dir / "ttyHALDEN").string())
                                                                  : CPeer::ConnectTcp(m_endpoint.Port());
    }
    // Runs the firmware in virtual time until the condition holds.
    template <typename Pred>
    bool RunUntil(Pred pred)
    {
        for (auto tEnd = Clock::now() + GUARD; !pred(); std::this_thread::yield()) {
            if (Clock::now() > tEnd)
                return false;
            Host().Tick();
        }
        return true;
    }
    // Sends the bytes and runs until the peer has received sReply.
    void Exchange(CPeer& peer, const std::string& sBytes, const std::string& sReply)
    {
        size_t nBefore = CountOf(peer.Received(), sReply);
        peer.Send(sBytes);
        EXPECT_TRUE(RunUntil([&] { return CountOf(peer.Received(), sReply) > nBefore; }))
            << "no " << ::testing::PrintToString(sReply) << " after " << ::testing::PrintToString(sBytes)
            << "; received " << ::testing::PrintToString(peer.Received());
    }

    void TearDown() override
    {
        m_pHost.reset();  // the firmware stops before the port closes
        m_endpoint.Close();
        FirmwareTest::TearDown();
    }

    CSerialEndpoint m_endpoint;
};

class SerialBurstTest : public SerialEndpointTest, public ::testing::WithParamInterface<CSerialEndpoint::Kind> {};

// 40 commands written at once (over 200 bytes, more than three receive
// queues' worth) are all answered, in order, each with its own reply.
TEST_P(SerialBurstTest, FortyCommandsInOneWriteAreAllAnswered)
{
    if (GetParam() == CSerialEndpoint::Kind::Pty)
        OpenPty();
    else
        OpenTcp();
    StartFirmware();
    auto pPeer = Connect();
    ASSERT_TRUE(pPeer);

    static const struct {
        const char* pszCommand;
        const char* pszReply;  // a regular expression for the reply line
    } kCommands[] = {
        {"ID?", "E00 Q4K7 V1\\.0"},
        {"DATAMODE?", "E00 STDMODE"},
        {"SERIAL?", "E00 0"},
        {"TIME?", "E00 [0-2][0-9]:[0-5][0-9]:[0-5][0-9]"},
        {"BOGUS", "E91"},
    };
    std::string sBurst = "CONTROL\r\n";
    std::vector<std::string> expected = {"E00"};
    for (int i = 0; i < 40; i++) {
        sBurst += std::string(kCommands[i % 5].pszCommand) + "\r\n";
        expected.push_back(kCommands[i % 5].pszReply);
    }
    ASSERT_GT(sBurst.size(), 3 * size_t{RX_RING_SIZE});
    pPeer->Send(sBurst);
    ASSERT_TRUE(RunUntil([&] { return CountOf(pPeer->Received(), "\r\n") >= expected.size(); }))
        << pPeer->Received();

    std::istringstream replies(pPeer->Received());
    std::string sLine;
    for (size_t i = 0; i < expected.size(); i++) {
        ASSERT_TRUE(std::getline(replies, sLine));
        ASSERT_FALSE(sLine.empty());
        sLine.pop_back();  // the CR
        EXPECT_TRUE(std::regex_match(sLine, std::regex(expected[i]))) << "reply " << i << ": " << sLine;
    }
    // The instrument's own output reaches the host as well.
    EXPECT_NE(Host().SerialText().find("E00 Q4K7 V1.0\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Ends, SerialBurstTest,
                         ::testing::Values(CSerialEndpoint::Kind::Pty, CSerialEndpoint::Kind::Tcp),
                         [](const auto& info) { return info.param == CSerialEndpoint::Kind::Pty ? "Pty" : "Tcp"; });

// The client's bytes enter the receive queue no faster than the line
// carries them (48 bytes per 50 ms tick at 9600 baud, 192 at 38400) and
// never beyond its 64 bytes; the rest waits in the host.
class SerialPacingTest : public CoreFirmwareTest {
protected:
    void TearDown() override
    {
        m_pHost.reset();
        m_endpoint.Close();
        CoreFirmwareTest::TearDown();
    }
    static uint16_t QueueCount()
    {
        uint16_t unSaved = FirmwareLock();
        uint16_t n = gRxRing.unCount;
        FirmwareUnlock(unSaved);
        return n;
    }
    static void DrainQueue()
    {
        uint16_t unSaved = FirmwareLock();
        while (gRxRing.unCount)
            RingTake(&gRxRing);
        FirmwareUnlock(unSaved);
    }
    CSerialEndpoint m_endpoint;
};

TEST_F(SerialPacingTest, QueueFillsAtTheLinePaceAndNeverOverflows)
{
    static const struct {
        uint8_t bBaud;        // the baud-rate setting: 0 9600, 1 38400
        uint16_t unFirst;     // in the queue after one tick
        uint16_t unSecond;    // after a second tick, nothing taken out
        uint16_t unAfterTake; // after the queue was emptied and one more tick
    } kRows[] = {
        {0, 48, 64, 48},
        {1, 64, 64, 64},
    };
    std::string sError;
    ASSERT_TRUE(m_endpoint.OpenTcp(0, &sError)) << sError;
    Host().AttachSerialEndpoint(&m_endpoint);
    Host().PowerUp();
    Host().Tick();
    auto pPeer = CPeer::ConnectTcp(m_endpoint.Port());
    ASSERT_TRUE(pPeer);
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.bBaud ? "38400 baud" : "9600 baud");
        DrainQueue();
        SerialSetBaud(row.bBaud);
        ASSERT_EQ(m_endpoint.HeldInput(), 0u);
        pPeer->Send(std::string(200, 'A'));
        // The firmware is parked: the bytes wait in the host until it runs.
        ASSERT_TRUE(WaitWall([&] { return m_endpoint.HeldInput() == 200; }));
        ASSERT_EQ(QueueCount(), 0);
        Host().Tick();
        EXPECT_EQ(QueueCount(), row.unFirst);
        Host().Tick();
        EXPECT_EQ(QueueCount(), row.unSecond);
        DrainQueue();
        Host().Tick();
        EXPECT_EQ(QueueCount(), row.unAfterTake);
        // Let the rest of this batch through before the next row.
        while (m_endpoint.HeldInput() > 0) {
            DrainQueue();
            Host().Tick();
        }
    }
}

// A port may outlive the board it served (a host that closes its port last):
// a client that comes, writes and goes after the board is gone reaches
// nothing that was freed.
TEST_F(SerialEndpointTest, PortOutlivesTheBoard)
{
    OpenTcp();
    StartFirmware();
    m_pHost.reset();
    auto pPeer = Connect();
    ASSERT_TRUE(pPeer);
    pPeer->Send("ID?\r\n");
    ASSERT_TRUE(WaitWall([&] { return m_endpoint.HeldInput() == 5; }));
    pPeer->Close();
    EXPECT_TRUE(WaitWall([&] { return !m_endpoint.ClientConnected(); }));
}

TEST_F(SerialEndpointTest, TcpClientReconnectsAndASecondClientIsTurnedAway)
{
    OpenTcp();
    StartFirmware();
    auto pFirst = Connect();
    ASSERT_TRUE(pFirst);
    Exchange(*pFirst, "ID?\r\n", "E00 Q4K7 V1.0\r\n");
    pFirst->Close();
    ASSERT_TRUE(RunUntil([&] { return !m_endpoint.ClientConnected(); }));

    auto pSecond = Connect();
    ASSERT_TRUE(pSecond);
    Exchange(*pSecond, "DATAMODE?\r\n", "E00 STDMODE\r\n");
    EXPECT_EQ(pSecond->Received(), "E00 STDMODE\r\n");  // nothing meant for the first client

    auto pThird = Connect();  // while the second is connected
    ASSERT_TRUE(pThird);
    EXPECT_TRUE(WaitWall([&] { return pThird->Ended(); }));
    Exchange(*pSecond, "ID?\r\n", "E00 Q4K7 V1.0\r\n");
    EXPECT_EQ(pThird->Received(), "");
}

TEST_F(SerialEndpointTest, PtyKeepsWorkingAfterTheClientClosesAndReopens)
{
    OpenPty();
    StartFirmware();
    for (int nRound = 0; nRound < 3; nRound++) {
        SCOPED_TRACE(nRound);
        auto pPeer = Connect();
        ASSERT_TRUE(pPeer);
        Exchange(*pPeer, "ID?\r\n", "E00 Q4K7 V1.0\r\n");
        pPeer->Close();
        Host().Tick(5);
    }
}

// A megabyte of binary garbage (NUL bytes, 0xFF, LFs, control characters
// inside the line) is one overlong line to the instrument; a client that
// leaves mid-line leaves its bytes behind for the next line; the EEPROM file
// is not touched by any of it.
TEST_F(SerialEndpointTest, GarbageMegabytesAndAMidLineDisconnectAreHandledByTheProtocol)
{
    OpenTcp();
    StartFirmware();
    const std::string sEeprom = ReadFile("eeprom.bin");
    ASSERT_EQ(sEeprom.size(), 32768u);

    auto pPeer = Connect();
    ASSERT_TRUE(pPeer);
    std::mt19937 random(14);
    std::string sGarbage(1 << 20, '\0');
    for (char& c : sGarbage) {
        c = static_cast<char>(random() & 0xFF);
        if (c == '\r')
            c = '\0';
    }
    sGarbage[0] = 'X';  // not a control character at the start of a line
    Exchange(*pPeer, sGarbage + "\r\n", "E95\r\n");
    Exchange(*pPeer, "ID?\r\n", "E00 Q4K7 V1.0\r\n");

    pPeer->Send("CONT");
    ASSERT_TRUE(RunUntil([&] { return gbRemoteLineLen == 4; }));
    pPeer->Close();
    ASSERT_TRUE(RunUntil([&] { return !m_endpoint.ClientConnected(); }));
    auto pNext = Connect();
    ASSERT_TRUE(pNext);
    Exchange(*pNext, "ROL\r\n", "E00\r\n");  // the line "CONTROL" completed
    Exchange(*pNext, "SERIAL?\r\n", "E00 0\r\n");  // control was granted

    EXPECT_EQ(ReadFile("eeprom.bin"), sEeprom);
}

// The link to the pseudo-terminal: made, replaced when it is a link, never
// over anything else, and removed when the port closes.
TEST_F(ScratchDirTest, PtyLinkIsReplacedWhenALinkAndRefusedOverAnythingElse)
{
    enum class Before { Nothing, StaleLink, LiveLink, RegularFile, Directory };
    static const struct {
        Before before;
        bool bOpens;
        const char* pszMessage;  // part of the refusal
    } kRows[] = {
        {Before::Nothing, true, ""},
        {Before::StaleLink, true, ""},
        {Before::LiveLink, true, ""},
        {Before::RegularFile, false, "is a regular file"},
        {Before::Directory, false, "is a directory"},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(static_cast<int>(row.before));
        const std::string sLink = (m_dir / "ttyHALDEN").string();
        std::filesystem::remove_all(sLink);
        if (row.before == Before::StaleLink)
            std::filesystem::create_symlink("/dev/pts/nonexistent-halden", sLink);
        if (row.before == Before::LiveLink)
            std::filesystem::create_symlink("/dev/null", sLink);
        if (row.before == Before::RegularFile)
            std::ofstream(sLink) << "keep me";
        if (row.before == Before::Directory)
            std::filesystem::create_directory(sLink);

        CSerialEndpoint endpoint;
        std::string sError;
        ASSERT_EQ(endpoint.OpenPty(sLink, &sError), row.bOpens) << sError;
        if (!row.bOpens) {
            EXPECT_NE(sError.find(row.pszMessage), std::string::npos) << sError;
            EXPECT_FALSE(endpoint.IsOpen());
            if (row.before == Before::RegularFile) {
                EXPECT_EQ(ReadFile(sLink), "keep me");
            }
            EXPECT_TRUE(std::filesystem::exists(sLink));
            continue;
        }
        ASSERT_TRUE(std::filesystem::is_symlink(sLink));
        EXPECT_EQ(std::filesystem::read_symlink(sLink).string(), endpoint.DevicePath());
        EXPECT_TRUE(std::filesystem::exists(sLink));  // the device is there
        endpoint.Close();
        EXPECT_FALSE(std::filesystem::is_symlink(sLink));
    }
    // Nothing but the link was ever made next to it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
}

// halden-cli as a separate process.
class HaldenCliProcess {
public:
    // Standard input comes from sStdin (a file or a FIFO), /dev/null by default.
    explicit HaldenCliProcess(const std::vector<std::string>& args, const std::string& sStdin = "/dev/null")
    {
        std::vector<std::string> all = {HALDEN_CLI};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : all)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, sStdin.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "cli.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, "cli.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~HaldenCliProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    pid_t Pid() const { return m_pid; }
    // The exit status, or -1 when it did not exit normally.
    int Wait()
    {
        int nRaw = 0;
        ::waitpid(m_pid, &nRaw, 0);
        m_pid = -1;
        return WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
    }

private:
    pid_t m_pid = -1;
};

class HaldenCliSignalTest : public ScratchDirTest, public ::testing::WithParamInterface<int> {};

TEST_P(HaldenCliSignalTest, StopSignalEndsTheBackgroundRunCleanly)
{
    const std::string sLink = (m_dir / "ttyHALDEN").string();
    HaldenCliProcess cli({"--serial-pty", sLink, "--eeprom", "eeprom.bin"});
    ASSERT_GT(cli.Pid(), 0);
    ASSERT_TRUE(WaitWall([&] { return std::filesystem::is_symlink(sLink); })) << ReadFile("cli.err");
    auto pPeer = CPeer::OpenPty(sLink);
    ASSERT_TRUE(pPeer);
    // The instrument serves the client (at the main menu, so CONTROL is granted).
    pPeer->Send("CONTROL\r\nID?\r\n");
    ASSERT_TRUE(WaitWall([&] { return pPeer->Received().find("E00\r\nE00 Q4K7 V1.0\r\n") != std::string::npos; }))
        << pPeer->Received();
    pPeer->Close();

    ASSERT_EQ(::kill(cli.Pid(), GetParam()), 0);
    EXPECT_EQ(cli.Wait(), 0) << ReadFile("cli.err");
    EXPECT_FALSE(std::filesystem::is_symlink(sLink));
    const std::string sEeprom = ReadFile("eeprom.bin");
    ASSERT_EQ(sEeprom.size(), 32768u);
    EXPECT_EQ(sEeprom.substr(0x308, 23), "Ram integrity signature");
    int fd = ::open("eeprom.bin", O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);  // nobody holds it any more
    ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(Signals, HaldenCliSignalTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return info.param == SIGINT ? "Sigint" : "Sigterm"; });

// A scenario cut short by a stop signal fails with 128+N, names the signal
// and runs none of its remaining commands.
TEST_P(HaldenCliSignalTest, StopSignalFailsAScenarioAndRunsNothingMore)
{
    std::ofstream("long.scn") << "snapshot started.png\n"
                                 "wait 10m\n"
                                 "snapshot after.png\n";
    HaldenCliProcess cli({"--realtime", "--eeprom", "eeprom.bin", "long.scn"});
    ASSERT_GT(cli.Pid(), 0);
    ASSERT_TRUE(WaitWall([] { return std::filesystem::exists("started.png"); })) << ReadFile("cli.err");
    ASSERT_EQ(::kill(cli.Pid(), GetParam()), 0);
    EXPECT_EQ(cli.Wait(), 128 + GetParam()) << ReadFile("cli.err");
    const std::string sErr = ReadFile("cli.err");
    EXPECT_NE(sErr.find(GetParam() == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM"), std::string::npos) << sErr;
    EXPECT_FALSE(std::filesystem::exists("after.png"));
}

// The console beside a served port: the same signal that ends the port
// cleanly (above) fails a console that is reading commands without a port.
TEST_P(HaldenCliSignalTest, StopSignalFailsTheConsole)
{
    ASSERT_EQ(::mkfifo("input", 0600), 0);
    int fdInput = ::open("input", O_RDWR);  // held open: the console never sees the end of input
    ASSERT_GE(fdInput, 0);
    HaldenCliProcess cli({"--realtime", "--eeprom", "eeprom.bin"}, "input");
    ASSERT_GT(cli.Pid(), 0);
    const std::string sLine = ":snapshot started.png\n";
    ASSERT_EQ(::write(fdInput, sLine.data(), sLine.size()), static_cast<ssize_t>(sLine.size()));
    ASSERT_TRUE(WaitWall([] { return std::filesystem::exists("started.png"); })) << ReadFile("cli.err");
    ASSERT_EQ(::kill(cli.Pid(), GetParam()), 0);
    EXPECT_EQ(cli.Wait(), 128 + GetParam()) << ReadFile("cli.err");
    EXPECT_NE(ReadFile("cli.err").find("stopped by SIG"), std::string::npos) << ReadFile("cli.err");
    ::close(fdInput);
}

// Console exit statuses and ordering, from a file on standard input.
TEST_F(ScratchDirTest, ConsoleCommandsRunAfterTheRepliesAndFailuresShowInTheStatus)
{
    struct Case {
        const char* pszName;
        const char* pszInput;
        int nStatus;
        const char* pszFirst;   // in standard output, or null
        const char* pszSecond;  // after pszFirst, or null
    };
    const Case kCases[] = {
        {"ordered", "CONTROL\nSETREF\n:state\n", 0, "Scanning\r\nE00\r\n", "state "},
        {"failed-expect", ":expect \"NEVER SENT\" within 1s\n", 1, nullptr, nullptr},
        {"bad-command", ":frobnicate\n", 1, nullptr, nullptr},
        {"help", ":help\n", 0, ":quit", nullptr},
        {"quit", ":quit\n:snapshot after-quit.png\n", 0, nullptr, nullptr},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.pszName);
        std::ofstream("input.txt", std::ios::trunc) << c.pszInput;
        HaldenCliProcess cli({"--power-on", "--eeprom", "eeprom.bin", "--linger", "200ms"}, "input.txt");
        ASSERT_GT(cli.Pid(), 0);
        EXPECT_EQ(cli.Wait(), c.nStatus) << ReadFile("cli.err");
        const std::string sOut = ReadFile("cli.out");
        const size_t nFirst = c.pszFirst ? sOut.find(c.pszFirst) : 0;
        EXPECT_NE(nFirst, std::string::npos) << sOut;
        if (c.pszSecond && nFirst != std::string::npos) {
            EXPECT_NE(sOut.find(c.pszSecond, nFirst), std::string::npos) << sOut;
        }
    }
    EXPECT_FALSE(std::filesystem::exists("after-quit.png"));
}

// Serving the port, the console takes ':' commands beside the client and
// refuses serial lines (the line belongs to the client); the log records
// both directions, the client's bytes too.
TEST_F(ScratchDirTest, ConsoleBesideAServedPortAndBothDirectionsLogged)
{
    ASSERT_EQ(::mkfifo("input", 0600), 0);
    int fdInput = ::open("input", O_RDWR);
    ASSERT_GE(fdInput, 0);
    const std::string sLink = (m_dir / "ttyHALDEN").string();
    HaldenCliProcess cli({"--serial-pty", sLink, "--eeprom", "eeprom.bin", "--serial-log", "both.log",
                          "--serial-log-both", "--stats"},
                         "input");
    ASSERT_TRUE(WaitWall([&] { return std::filesystem::is_symlink(sLink); })) << ReadFile("cli.err");
    auto pPeer = CPeer::OpenPty(sLink);
    ASSERT_TRUE(pPeer);
    pPeer->Send("CONTROL\r\nID?\r\n");
    ASSERT_TRUE(WaitWall([&] { return pPeer->Received().find("E00 Q4K7 V1.0\r\n") != std::string::npos; }))
        << pPeer->Received();
    const std::string sInput = "ID?\n:state\n:snapshot served.png\n";
    ASSERT_EQ(::write(fdInput, sInput.data(), sInput.size()), static_cast<ssize_t>(sInput.size()));
    ASSERT_TRUE(WaitWall([] { return std::filesystem::exists("served.png"); })) << ReadFile("cli.err");
    EXPECT_NE(ReadFile("cli.out").find("state "), std::string::npos) << ReadFile("cli.out");
    EXPECT_NE(ReadFile("cli.err").find("belongs to the client"), std::string::npos) << ReadFile("cli.err");
    ::close(fdInput);  // the end of input leaves the port served
    const size_t nBefore = pPeer->Received().size();
    pPeer->Send("ID?\r\n");
    EXPECT_TRUE(WaitWall([&] { return pPeer->Received().find("E00 Q4K7 V1.0\r\n", nBefore) != std::string::npos; }))
        << pPeer->Received();
    ASSERT_EQ(::kill(cli.Pid(), SIGTERM), 0);
    EXPECT_EQ(cli.Wait(), 0) << ReadFile("cli.err");
    EXPECT_NE(ReadFile("cli.err").find("times real time"), std::string::npos) << ReadFile("cli.err");
    const std::string sLog = ReadFile("both.log");
    EXPECT_NE(sLog.find("-> ID?"), std::string::npos) << sLog;
    EXPECT_NE(sLog.find("<- E00 Q4K7 V1.0"), std::string::npos) << sLog;
}

uint16_t FreeTcpPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLen = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// A scenario and a TCP client share the port: the scenario's expect sees
// the reply to the client, and the client sees the reply to the scenario.
TEST_F(ScratchDirTest, ScenarioAndClientShareThePort)
{
    std::ofstream("share.scn") << "expect \"E00 STDMODE\\r\\n\" within 60s\n"
                                  "sendln \"ID?\"\n"
                                  "expect \"E00 Q4K7 V1.0\\r\\n\"\n"
                                  "wait 500ms\n";
    const uint16_t unPort = FreeTcpPort();
    HaldenCliProcess cli({"--realtime", "--power-on", "--serial-tcp", std::to_string(unPort), "share.scn"});
    ASSERT_GT(cli.Pid(), 0);
    std::unique_ptr<CPeer> pPeer;
    ASSERT_TRUE(WaitWall([&] { return (pPeer = CPeer::ConnectTcp(unPort)) != nullptr; })) << ReadFile("cli.err");
    pPeer->Send("DATAMODE?\r\n");
    EXPECT_TRUE(WaitWall([&] { return pPeer->Received().find("E00 Q4K7 V1.0\r\n") != std::string::npos; }))
        << pPeer->Received();
    EXPECT_EQ(cli.Wait(), 0) << ReadFile("cli.err");
    EXPECT_NE(pPeer->Received().find("E00 STDMODE\r\n"), std::string::npos);
}

// --wait-client: the port opens first and the instrument powers up once a
// client has come, so the client sees everything from START on; the same
// for a pseudo-terminal (opened through its link) and a TCP connection.
TEST_F(ScratchDirTest, WaitClientPowersUpOnceTheClientCame)
{
    for (const bool bTcp : {false, true}) {
        SCOPED_TRACE(bTcp ? "tcp" : "pty");
        const std::string sLink = (m_dir / "ttyHALDEN").string();
        const uint16_t unPort = FreeTcpPort();
        HaldenCliProcess cli({"--eeprom", "eeprom.bin", "--speed", "max", "--wait-client",
                              bTcp ? "--serial-tcp" : "--serial-pty", bTcp ? std::to_string(unPort) : sLink});
        ASSERT_GT(cli.Pid(), 0);
        ASSERT_TRUE(WaitWall([] { return ReadFile("cli.err").find("waiting for a client") != std::string::npos; }))
            << ReadFile("cli.err");
        std::unique_ptr<CPeer> pPeer;
        if (bTcp)
            pPeer = CPeer::ConnectTcp(unPort);
        else
            pPeer = CPeer::OpenPty(sLink);
        ASSERT_TRUE(pPeer) << ReadFile("cli.err");
        ASSERT_TRUE(WaitWall([&] { return pPeer->Received().size() >= 7; })) << ReadFile("cli.err");
        EXPECT_TRUE(pPeer->Received().starts_with("START\r\n")) << pPeer->Received();
        pPeer->Send("CONTROL\r\nID?\r\n");
        EXPECT_TRUE(WaitWall([&] { return pPeer->Received().find("E00 Q4K7 V1.0\r\n") != std::string::npos; }))
            << pPeer->Received();
        pPeer->Close();
        ASSERT_EQ(::kill(cli.Pid(), SIGTERM), 0);
        EXPECT_EQ(cli.Wait(), 0) << ReadFile("cli.err");
    }
    // Stopped before any client came: a clean end, and the instrument was never on.
    std::filesystem::remove("eeprom.bin");
    HaldenCliProcess cli({"--eeprom", "eeprom.bin", "--wait-client", "--serial-pty", (m_dir / "ttyHALDEN").string()});
    ASSERT_TRUE(WaitWall([] { return ReadFile("cli.err").find("waiting for a client") != std::string::npos; }));
    ASSERT_EQ(::kill(cli.Pid(), SIGINT), 0);
    EXPECT_EQ(cli.Wait(), 0) << ReadFile("cli.err");
    EXPECT_EQ(ReadFile("eeprom.bin").find("Ram integrity"), std::string::npos);
}

// examples/pc_client.py, the reference client: python3 with Debian's
// pyserial, or empty when there is none.
std::string PythonWithSerial()
{
    for (const char* pszCandidate : {"python3", "/usr/bin/python3"}) {
        std::string sCheck = std::string(pszCandidate) + " -c 'import serial' >/dev/null 2>&1";
        if (std::system(sCheck.c_str()) == 0)
            return pszCandidate;
    }
    return "";
}

// Runs the client with its arguments; its exit status, output in
// client.out and client.err.
int RunPcClient(const std::string& sPython, const std::string& sArguments)
{
    const std::string sCommand = sPython + " " + HALDEN_SOURCE_DIR + "/examples/pc_client.py " + sArguments +
                                 " >client.out 2>client.err";
    const int nRaw = std::system(sCommand.c_str());
    return WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
}

// The whole session as the guide shows it, over TCP (with --wait-client, so
// the client also sees the power-up) and over the pseudo-terminal, at
// --speed max: the readings take milliseconds, the session about a second.
TEST_F(ScratchDirTest, PythonClientRunsTheWholeSession)
{
    const std::string sPython = PythonWithSerial();
    if (sPython.empty())
        GTEST_SKIP() << "no python3 with the serial module (Debian package python3-serial): pc_client.py not run";
    for (const bool bTcp : {true, false}) {
        SCOPED_TRACE(bTcp ? "tcp" : "pty");
        const std::string sLink = (m_dir / "ttyHALDEN").string();
        const uint16_t unPort = FreeTcpPort();
        std::vector<std::string> args = {"--eeprom", "eeprom.bin", "--eeprom-snapshot", "--speed", "max"};
        if (bTcp)
            args.insert(args.end(), {"--wait-client", "--serial-tcp", std::to_string(unPort)});
        else
            args.insert(args.end(), {"--serial-pty", sLink});
        HaldenCliProcess cli(args);
        ASSERT_GT(cli.Pid(), 0);
        if (bTcp)
            ASSERT_TRUE(WaitWall([] { return ReadFile("cli.err").find("waiting for a client") != std::string::npos; }))
                << ReadFile("cli.err");
        else
            ASSERT_TRUE(WaitWall([&] { return std::filesystem::is_symlink(sLink); })) << ReadFile("cli.err");
        const std::string sPort = bTcp ? "socket://127.0.0.1:" + std::to_string(unPort) : sLink;
        EXPECT_EQ(RunPcClient(sPython, sPort), 0) << ReadFile("client.err");
        // What the guide shows it printing (docs/pc-software.md).
        EXPECT_EQ(ReadFile("client.out"), ReadFile(std::string(HALDEN_SOURCE_DIR) + "/examples/pc_client.out"));
        ::kill(cli.Pid(), SIGTERM);
        EXPECT_EQ(cli.Wait(), 0);
    }
}

// Each way a session can fail ends with its own exit status and a message
// that says what happened: an error reply (the instrument is still handed
// back), a port nobody serves, a server that never answers, and a
// connection closed under the client (halden-cli's port already has a client).
TEST_F(ScratchDirTest, PythonClientFailuresAreNamedWithTheirExitStatus)
{
    const std::string sPython = PythonWithSerial();
    if (sPython.empty())
        GTEST_SKIP() << "no python3 with the serial module (Debian package python3-serial): pc_client.py not run";
    const uint16_t unPort = FreeTcpPort();
    const std::string sUrl = "socket://127.0.0.1:" + std::to_string(unPort);

    EXPECT_EQ(RunPcClient(sPython, sUrl), 2);
    EXPECT_NE(ReadFile("client.err").find("cannot open " + sUrl), std::string::npos) << ReadFile("client.err");

    {
        // A listener that accepts (in its backlog) and never says a word.
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t nLen = sizeof addr;
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::listen(fd, 1), 0);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &nLen);
        EXPECT_EQ(RunPcClient(sPython, "--timeout 0.5 socket://127.0.0.1:" + std::to_string(ntohs(addr.sin_port))), 3);
        EXPECT_NE(ReadFile("client.err").find("no reply to an empty line within 0.5 s"), std::string::npos)
            << ReadFile("client.err");
        ::close(fd);
    }

    HaldenCliProcess cli({"--eeprom", "eeprom.bin", "--eeprom-snapshot", "--speed", "max", "--serial-tcp",
                          std::to_string(unPort)});
    ASSERT_GT(cli.Pid(), 0);
    ASSERT_TRUE(WaitWall([&] { return ReadFile("cli.err").find("127.0.0.1:" + std::to_string(unPort)) != std::string::npos; }))
        << ReadFile("cli.err");
    EXPECT_EQ(RunPcClient(sPython, "--wavelength 579 --wavelength 900 --wavelength 830 " + sUrl), 1);
    EXPECT_NE(ReadFile("client.err").find("READA? 900 answered E01 (a value out of range)"), std::string::npos)
        << ReadFile("client.err");
    EXPECT_TRUE(ReadFile("client.out").ends_with("absorbance at 579 nm: 0.493\nreleased\n")) << ReadFile("client.out");

    std::unique_ptr<CPeer> pFirst = CPeer::ConnectTcp(unPort);
    ASSERT_TRUE(pFirst);
    pFirst->Send("ID?\r\n");
    ASSERT_TRUE(WaitWall([&] { return pFirst->Received().find("E00 Q4K7 V1.0\r\n") != std::string::npos; }));
    EXPECT_EQ(RunPcClient(sPython, sUrl), 4);
    EXPECT_NE(ReadFile("client.err").find("the connection to " + sUrl + " was lost"), std::string::npos)
        << ReadFile("client.err");
    pFirst->Close();
    ::kill(cli.Pid(), SIGTERM);
    EXPECT_EQ(cli.Wait(), 0);
}

}  // namespace
