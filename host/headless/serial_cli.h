// halden-cli's serial port: the --serial-pty and --serial-tcp options, the
// stop signals, and the background run that serves a PC client in real
// time without reading standard input.
#pragma once

#include <atomic>
#include <string>

class CInstrument;
class CSerialEndpoint;

struct SerialCliOptions {
    std::string sPtyLink;  // --serial-pty PATH
    int nTcpPort = -1;     // --serial-tcp PORT
    bool Wanted() const { return !sPtyLink.empty() || nTcpPort >= 0; }
};

// Takes --serial-pty PATH or --serial-tcp PORT at argv[i] (advancing i past
// the value): 1 when taken, 0 when argv[i] is another option, -1 after
// printing what is wrong.
int ParseSerialCliOption(int argc, char** argv, int& i, SerialCliOptions& options);
// Opens the endpoint the options ask for; prints the reason on failure.
bool OpenSerialCliEndpoint(const SerialCliOptions& options, CSerialEndpoint& endpoint);
// SIGINT and SIGTERM set the returned flag (and do nothing else), so the
// program can stop the firmware, close the port and exit normally.
const std::atomic<bool>* InstallStopSignals();
// Runs in real time until a stop signal; the transmitted bytes go to the
// client (and to --serial-log), not to standard output. Returns the exit
// status.
int RunSerialBackground(CInstrument& host, const CSerialEndpoint& endpoint);
