// The stop signals (SIGINT, SIGTERM) of every host: the handler only records
// which signal came, so the program can stop the firmware, close its ports
// and files, and then say why it ended.
#pragma once

#include <atomic>
#include <string>

// Installs the handlers; the returned flag is set once a stop signal came
// (the instrument board watches it).
const std::atomic<bool>* InstallStopSignals();
// The signal that came first, or 0.
int StopSignal();
// "SIGINT", "SIGTERM", or "signal N".
std::string StopSignalName(int nSignal);
// The exit status of a run ended by the signal: 128 + N, as a shell reports it.
inline int StopSignalStatus(int nSignal) { return 128 + nSignal; }
// The exit status of a run that would end with nStatus. A program that
// serves a port stops that way normally (bSignalIsTheEnd) and keeps
// nStatus; any other run cut short by a signal fails with 128+N, and
// pszProgram says which signal stopped it and what was not run (sNotRun).
int StatusAfterStopSignal(const char* pszProgram, int nStatus, bool bSignalIsTheEnd, const std::string& sNotRun);
