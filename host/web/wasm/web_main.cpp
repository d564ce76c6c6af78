// The page's side of the instrument: one board on the page's own thread,
// free-running in slices the page hands it (or stepped, for a scenario run
// in the page), and the calls the page's script makes into it.
#include <emscripten.h>

#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/probe.h"
#include "instrument.h"
#include "escape.h"
#include "printer.h"
#include "sample.h"
#include "scenario.h"
#include "screen_text.h"
#include "ui/ui.h"

namespace {

// Both directions of the serial line, in the order the bytes pass: two
// bytes an event, the direction (1 from the instrument, 0 to it) and the byte.
class CTerminalTap final : public CInstrument::SerialTap {
public:
    void Transmitted(uint8_t b) override { Add(1, static_cast<char>(b)); }
    void Received(std::string_view sBytes) override
    {
        for (char c : sBytes)
            Add(0, c);
    }
    std::string Take() { return std::exchange(m_sEvents, {}); }

private:
    // A page that stops reading does not make the buffer grow for ever.
    static constexpr size_t MAX_EVENTS = 1 << 20;
    void Add(char cDirection, char c)
    {
        if (m_sEvents.size() >= MAX_EVENTS)
            m_sEvents.erase(0, m_sEvents.size() / 2);
        m_sEvents += cDirection;
        m_sEvents += c;
    }
    std::string m_sEvents;
};

constexpr const char* EEPROM_PATH = "/eeprom.bin";
std::unique_ptr<CInstrument> s_pBoard;
CTerminalTap s_terminal;
CPrinter s_printer;
std::string s_sReturned;  // text handed back by the last call that returns text
std::vector<double> s_afChart;
uint8_t s_abScreen[CDisplayMemory::SHOWN_BYTES];
double s_dNextWorkMs = 0;
int s_nScenarioStatus = -1;
std::string s_sScenarioOut;

const char* Returned(std::string s)
{
    s_sReturned = std::move(s);
    return s_sReturned.c_str();
}

// The store's message without the advice for halden-cli's options.
std::string StoreMessage(const CEepromBus& bus)
{
    std::string s = bus.StatusMessage();
    const size_t nAdvice = s.find(": name ");
    return nAdvice == std::string::npos ? s : s.substr(0, nAdvice);
}

}  // namespace

extern "C" {

// Makes the board over /eeprom.bin (the page writes it first) and powers it
// up, free-running at the given speed, with the printer and the chart
// recorder connected. 0 when it runs; 1 when the store refused the image.
EMSCRIPTEN_KEEPALIVE int web_power_up(double dSpeed)
{
    if (s_pBoard)
        return 1;
    CInstrument::Options options;
    options.sEepromPath = EEPROM_PATH;
    options.bFreeRunning = true;
    options.dSpeed = dSpeed;
    options.bKeepSerialText = false;
    s_pBoard = std::make_unique<CInstrument>(options);
    if (s_pBoard->Bus().Refused())
        return 1;
    s_pBoard->AddSerialTap(&s_terminal);
    s_pBoard->ConnectPrinter();
    s_pBoard->ConnectChart();
    s_pBoard->PowerUp();
    return s_pBoard->Running() ? 0 : 1;
}

// Why the store does not save, in one line; empty while it does.
EMSCRIPTEN_KEEPALIVE const char* web_store_status() { return Returned(s_pBoard ? StoreMessage(s_pBoard->Bus()) : ""); }

// The checks of every host on an image file the user loads: the message
// that refuses it, or empty when it is an image.
EMSCRIPTEN_KEEPALIVE const char* web_check_image(const char* pszPath)
{
    CEepromBus bus(pszPath);
    return Returned(bus.Refused() ? StoreMessage(bus) : "");
}

// The EEPROM's 32768 bytes as the firmware last left them.
EMSCRIPTEN_KEEPALIVE const uint8_t* web_eeprom() { return s_pBoard ? s_pBoard->Bus().Eeprom().Memory().data() : nullptr; }

// Runs the firmware for about dBudgetMs of wall time; web_next_work_ms then
// says when it next has work. (The firmware's fiber returns to the page
// before this call ends, so its result comes through a second call.)
EMSCRIPTEN_KEEPALIVE void web_run_for(double dBudgetMs) { s_dNextWorkMs = s_pBoard ? s_pBoard->RunFor(dBudgetMs) : -1; }
EMSCRIPTEN_KEEPALIVE double web_next_work_ms() { return s_dNextWorkMs; }

EMSCRIPTEN_KEEPALIVE void web_set_key(int nCode, int nDown)
{
    if (s_pBoard)
        s_pBoard->SetKey(static_cast<uint8_t>(nCode), nDown != 0);
}
EMSCRIPTEN_KEEPALIVE int web_key_down(int nCode) { return s_pBoard && s_pBoard->KeyDown(static_cast<uint8_t>(nCode)); }
EMSCRIPTEN_KEEPALIVE void web_set_speed(double dSpeed)
{
    if (s_pBoard)
        s_pBoard->SetSpeed(dSpeed);
}
// Firmware time as a percentage of the wall time since the last call.
EMSCRIPTEN_KEEPALIVE double web_achieved_speed() { return s_pBoard ? s_pBoard->SampleAchievedSpeed() : -1; }
EMSCRIPTEN_KEEPALIVE double web_firmware_ms() { return s_pBoard ? static_cast<double>(s_pBoard->FirmwareMs()) : 0; }

// The shown screen, 30 bytes a row, and the count of display refreshes.
EMSCRIPTEN_KEEPALIVE const uint8_t* web_screen()
{
    if (s_pBoard)
        for (int y = 0; y < CDisplayMemory::HEIGHT; y++)
            for (int b = 0; b < CDisplayMemory::ROW_BYTES; b++)
                s_abScreen[y * CDisplayMemory::ROW_BYTES + b] = s_pBoard->Display().ShownByte(y, b);
    return s_abScreen;
}
// The display's text read back from its dots, and the screen state shown.
// (The printer's character generator is the display's small font, so its
// text copy gives the symbols their Unicode characters.)
EMSCRIPTEN_KEEPALIVE const char* web_screen_text()
{
    CPrinter text;
    text.Feed(ScreenText(web_screen()));
    return Returned(text.Text());
}
EMSCRIPTEN_KEEPALIVE int web_screen_state() { return s_pBoard ? ProbeScreenState() : -1; }
EMSCRIPTEN_KEEPALIVE const char* web_screen_state_name()
{
    return Returned(s_pBoard ? StateName(ProbeScreenState()) : "");
}
EMSCRIPTEN_KEEPALIVE uint32_t web_refresh_count() { return s_pBoard ? s_pBoard->RefreshCount() : 0; }
// The whole display memory, addresses 640..5759.
EMSCRIPTEN_KEEPALIVE const char* web_display_memory_hex()
{
    std::string s;
    static const char HEX[] = "0123456789abcdef";
    for (uint16_t unAddress = LCD_GRAPHIC_BASE; s_pBoard && unAddress < LCD_MEMORY_END; unAddress++) {
        const uint8_t b = s_pBoard->DisplayByte(unAddress);
        s += HEX[b >> 4];
        s += HEX[b & 15];
    }
    return Returned(s);
}

// Serial text from the page: the backslash escapes of Send Message decoded;
// bytes beyond the receive queue's room are lost, as on the wire. Returns
// the bytes that went in.
EMSCRIPTEN_KEEPALIVE int web_send(const char* pszText)
{
    if (!s_pBoard)
        return 0;
    const std::string sBytes = DecodeEscapes(pszText);
    const size_t nRoom = s_pBoard->ReceiveRoom();
    s_pBoard->Inject(sBytes);
    return static_cast<int>(std::min(nRoom, sBytes.size()));
}
// The serial events since the last call, two bytes each (direction, byte),
// and their count.
EMSCRIPTEN_KEEPALIVE int web_serial_take()
{
    s_sReturned = s_terminal.Take();
    return static_cast<int>(s_sReturned.size() / 2);
}
EMSCRIPTEN_KEEPALIVE const char* web_serial_events() { return s_sReturned.data(); }

// The printer's paper: its height in dot rows after feeding what came down
// the cable, its rows (32 bytes each), and tearing it off.
EMSCRIPTEN_KEEPALIVE int web_printer_height()
{
    if (s_pBoard)
        s_pBoard->PrinterCable().DrainInto(s_printer);
    return s_printer.Height();
}
EMSCRIPTEN_KEEPALIVE const uint8_t* web_printer_rows() { return s_printer.Empty() ? nullptr : s_printer.Row(0); }
EMSCRIPTEN_KEEPALIVE const char* web_printer_text() { return Returned(s_printer.Text()); }
EMSCRIPTEN_KEEPALIVE void web_printer_clear() { s_printer.Clear(); }

// The chart recorder: its points as pairs (firmware ms, absorbance), their
// count, and a fresh chart.
EMSCRIPTEN_KEEPALIVE int web_chart_points()
{
    s_afChart.clear();
    if (s_pBoard)
        for (const ChartPoint& point : s_pBoard->Chart().Points()) {
            s_afChart.push_back(static_cast<double>(point.ullMs));
            s_afChart.push_back(ChartAbsorbance(point.unValue));
        }
    return static_cast<int>(s_afChart.size() / 2);
}
EMSCRIPTEN_KEEPALIVE const double* web_chart_data() { return s_afChart.data(); }
EMSCRIPTEN_KEEPALIVE double web_chart_ms() { return s_pBoard ? static_cast<double>(s_pBoard->Chart().Ms()) : 0; }
EMSCRIPTEN_KEEPALIVE void web_chart_clear()
{
    if (s_pBoard)
        s_pBoard->Chart().Clear();
}

// The sample library's names, one a line; a sample into the cell (a
// concentration below 0 takes the file's), with the refusal's text or empty.
EMSCRIPTEN_KEEPALIVE const char* web_sample_names()
{
    std::string s;
    for (const std::string& sName : SampleLibraryNames())
        s += sName + "\n";
    return Returned(s);
}
EMSCRIPTEN_KEEPALIVE const char* web_put_sample(const char* pszName, double fConcentration)
{
    if (!s_pBoard)
        return Returned("the instrument is not running");
    std::string sError;
    std::optional<double> concentration;
    if (fConcentration >= 0)
        concentration = fConcentration;
    PutSampleIn(s_pBoard->Compartment(), pszName, concentration, sError);
    return Returned(sError);
}
// The cell heater put in or taken out, as the desktop's Options > Cell
// Heater: set-up offers "Heater Control" while one is fitted.
EMSCRIPTEN_KEEPALIVE void web_fit_heater(int nFitted)
{
    if (s_pBoard)
        s_pBoard->FitHeater(nFitted != 0);
}
EMSCRIPTEN_KEEPALIVE int web_heater_fitted() { return s_pBoard && s_pBoard->HeaterFitted() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const char* web_sample_label() { return Returned(s_pBoard ? s_pBoard->Compartment().Label() : ""); }

// A scenario run in the page instead of the free-running board (before it):
// a stepped board over /eeprom.bin, as halden-cli runs one. The status (0
// done, 1 a command failed, 2 a faulty scenario) comes from
// web_scenario_status, what it printed and its error from web_scenario_output.
EMSCRIPTEN_KEEPALIVE void web_run_scenario(const char* pszText)
{
    s_nScenarioStatus = 2;
    s_sScenarioOut.clear();
    if (s_pBoard)
        return;
    ScenarioParse parse = ParseScenario(pszText);
    std::ostringstream out;
    for (const ScenarioError& error : parse.errors)
        out << FormatScenarioError("scenario", error) << '\n';
    if (!parse.errors.empty()) {
        s_sScenarioOut = out.str();
        return;
    }
    CInstrument::Options options;
    options.sEepromPath = EEPROM_PATH;
    s_pBoard = std::make_unique<CInstrument>(options);
    s_pBoard->AddSerialTap(&s_terminal);
    s_pBoard->ConnectPrinter();
    s_pBoard->ConnectChart();
    s_pBoard->PowerUp();
    CScenario scenario(*s_pBoard, out);
    s_nScenarioStatus = scenario.RunCommands(parse.commands, "scenario") ? 0 : 1;
    if (s_nScenarioStatus)
        out << scenario.Error() << '\n';
    s_sScenarioOut = out.str();
}
EMSCRIPTEN_KEEPALIVE int web_scenario_status() { return s_nScenarioStatus; }
EMSCRIPTEN_KEEPALIVE const char* web_scenario_output() { return s_sScenarioOut.c_str(); }

}  // extern "C"
