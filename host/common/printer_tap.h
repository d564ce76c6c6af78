// The serial cable to the printer: collects what the instrument transmits
// while its stored output device is a printer ("PR1" or "PR2"), for a host
// to hand to its CPrinter. Write runs on the firmware thread (the output
// device is read there, where it is written); Drain on any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "core/bridge.h"
#include "printer.h"

class CPrinterTap final : public SerialSink {
public:
    void Write(uint8_t b) override;
    // Feeds the bytes collected since the last drain to the printer; false
    // when there were none.
    bool DrainInto(CPrinter& printer);

private:
    std::mutex m_mtx;
    std::string m_sPending;  // printer bytes not yet drained
};
