// The printer's serial cable, switched by the stored output device.
#include "printer_tap.h"

#include "app/probe.h"

void CPrinterTap::Write(uint8_t b)
{
    if (ProbeOutputDevice() > 1)
        return;  // "PC": the bytes go to a computer, not to the printer
    std::lock_guard<std::mutex> lock(m_mtx);
    m_sPending += static_cast<char>(b);
}

bool CPrinterTap::DrainInto(CPrinter& printer)
{
    std::string sBytes;
    {
        std::lock_guard<std::mutex> lock(m_mtx);
        sBytes.swap(m_sPending);
    }
    printer.Feed(sBytes);
    return !sBytes.empty();
}
