// halden-cli's serial-port options, stop signals and background run.
#include "serial_cli.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "instrument.h"
#include "serial_endpoint.h"

namespace {

std::atomic<bool> gbStopSignal{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

void OnStopSignal(int) { gbStopSignal.store(true, std::memory_order_relaxed); }

}  // namespace

int ParseSerialCliOption(int argc, char** argv, int& i, SerialCliOptions& options)
{
    const char* psz = argv[i];
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

const std::atomic<bool>* InstallStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return &gbStopSignal;
}

int RunSerialBackground(CInstrument& host, const CSerialEndpoint& endpoint)
{
    std::fprintf(stderr, "halden-cli: %s; stop with Ctrl+C or SIGTERM\n", endpoint.Describe().c_str());
    host.SetSpeed(1);
    while (host.Running()) {
        host.Tick();
        host.ClearSerialText();  // nobody reads it here; the client and the log have the bytes
    }
    return 0;
}
