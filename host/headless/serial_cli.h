// halden-cli's serial port: the --serial-pty and --serial-tcp options.
#pragma once

#include <string>

class CInstrument;
class CSerialEndpoint;

struct SerialCliOptions {
    std::string sPtyLink;  // --serial-pty PATH
    int nTcpPort = -1;     // --serial-tcp PORT
    bool bWaitClient = false;  // --wait-client: power up once the first client has come
    bool Wanted() const { return !sPtyLink.empty() || nTcpPort >= 0; }
};

// Takes --serial-pty PATH or --serial-tcp PORT at argv[i] (advancing i past
// the value): 1 when taken, 0 when argv[i] is another option, -1 after
// printing what is wrong.
int ParseSerialCliOption(int argc, char** argv, int& i, SerialCliOptions& options);
// Opens the endpoint the options ask for; prints the reason on failure.
bool OpenSerialCliEndpoint(const SerialCliOptions& options, CSerialEndpoint& endpoint);
// --wait-client: says where the port is and waits until a client has come;
// false when a stop signal came first.
bool WaitForSerialClient(const CSerialEndpoint& endpoint, const CInstrument& host);
