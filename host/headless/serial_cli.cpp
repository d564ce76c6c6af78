// halden-cli's serial-port options and the wait for a PC client.
#include "serial_cli.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "instrument.h"
#include "serial_endpoint.h"

namespace {

constexpr int CLIENT_SETTLE_MS = 100;

}  // namespace

int ParseSerialCliOption(int argc, char** argv, int& i, SerialCliOptions& options)
{
    const char* psz = argv[i];
    if (!std::strcmp(psz, "--wait-client")) {
        options.bWaitClient = true;
        return 1;
    }
    const bool bPty = !std::strcmp(psz, "--serial-pty");
    const bool bTcp = !std::strcmp(psz, "--serial-tcp");
    if (!bPty && !bTcp)
        return 0;
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::fprintf(stderr, "halden-cli: %s needs %s\n", psz, bPty ? "a PATH for the link" : "a PORT number");
        return -1;
    }
    if (options.Wanted()) {
        std::fprintf(stderr, "halden-cli: give one serial port only (--serial-pty or --serial-tcp)\n");
        return -1;
    }
    const char* pszValue = argv[++i];
    if (bPty) {
        options.sPtyLink = pszValue;
        return 1;
    }
    char* pszEnd = nullptr;
    const long lPort = std::strtol(pszValue, &pszEnd, 10);
    if (*pszEnd != '\0' || lPort < 1 || lPort > 65535) {
        std::fprintf(stderr, "halden-cli: --serial-tcp needs a port number from 1 to 65535, not '%s'\n", pszValue);
        return -1;
    }
    options.nTcpPort = static_cast<int>(lPort);
    return 1;
}

bool OpenSerialCliEndpoint(const SerialCliOptions& options, CSerialEndpoint& endpoint)
{
    std::string sError;
    const bool bOk = !options.sPtyLink.empty() ? endpoint.OpenPty(options.sPtyLink, &sError)
                                               : endpoint.OpenTcp(static_cast<uint16_t>(options.nTcpPort), &sError);
    if (!bOk)
        std::fprintf(stderr, "halden-cli: %s\n", sError.c_str());
    return bOk;
}

bool WaitForSerialClient(const CSerialEndpoint& endpoint, const CInstrument& host)
{
    std::fprintf(stderr, "halden-cli: %s; waiting for a client before power-up\n", endpoint.Describe().c_str());
    while (!endpoint.ClientCame()) {
        if (host.Interrupted())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A serial program sets its line up and empties its queues just after
    // opening; the instrument is switched on after that, as by hand.
    std::this_thread::sleep_for(std::chrono::milliseconds(CLIENT_SETTLE_MS));
    return !host.Interrupted();
}
