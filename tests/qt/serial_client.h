// A PC client of the simulator's served serial port, for tests: a socket
// connected to the TCP port or the opened pseudo-terminal, read without
// blocking.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

class CClient {
public:
    static CClient Tcp(uint16_t unPort)
    {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(unPort);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            fd = -1;
        }
        return CClient(fd);
    }
    static CClient Pty(const QString& sPath)
    {
        int fd = ::open(QFile::encodeName(sPath).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            termios tio{};
            ::tcgetattr(fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
            ::tcflush(fd, TCIOFLUSH);
        }
        return CClient(fd);
    }
    CClient(CClient&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    ~CClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsOpen() const { return m_fd >= 0; }
    void Send(const QByteArray& ab) { QCOMPARE(::write(m_fd, ab.constData(), ab.size()), ab.size()); }
    // What has arrived so far, collected across calls.
    const QByteArray& Received()
    {
        char ac[4096];
        ssize_t n;
        while ((n = ::recv(m_fd, ac, sizeof ac, MSG_DONTWAIT)) > 0 ||
               (n < 0 && errno == ENOTSOCK && (n = ::read(m_fd, ac, sizeof ac)) > 0))
            m_abReceived.append(ac, n);
        return m_abReceived;
    }

private:
    explicit CClient(int fd) : m_fd(fd)
    {
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    int m_fd;
    QByteArray m_abReceived;
};
