// Stop-signal handlers shared by the hosts.
#include "stop_signals.h"

#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> s_bStopSignal{false};
std::atomic<int> s_nStopSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the stop flag is set from a signal handler");

void OnStopSignal(int nSignal)
{
    int nNone = 0;
    s_nStopSignal.compare_exchange_strong(nNone, nSignal, std::memory_order_relaxed);
    s_bStopSignal.store(true, std::memory_order_relaxed);
}

}  // namespace

const std::atomic<bool>* InstallStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return &s_bStopSignal;
}

int StopSignal() { return s_nStopSignal.load(std::memory_order_relaxed); }

std::string StopSignalName(int nSignal)
{
    if (nSignal == SIGINT)
        return "SIGINT";
    if (nSignal == SIGTERM)
        return "SIGTERM";
    return "signal " + std::to_string(nSignal);
}

int StatusAfterStopSignal(const char* pszProgram, int nStatus, bool bSignalIsTheEnd, const std::string& sNotRun)
{
    const int nSignal = StopSignal();
    if (nSignal == 0 || bSignalIsTheEnd)
        return nStatus;
    std::fprintf(stderr, "%s: stopped by %s; %s\n", pszProgram, StopSignalName(nSignal).c_str(), sNotRun.c_str());
    return StopSignalStatus(nSignal);
}
