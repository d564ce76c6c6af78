// Randomised conversations with the remote interpreter (fixed seed, bounded
// number of lines; the ASan/UBSan build of ./test.sh runs it too). The byte
// streams mix command words, argument-like tokens, random bytes, long lines,
// odd line endings and the control characters. Checked for every batch: the
// poll ends (no hang), exactly one reply line per complete command line, the
// line assembly is back at a line start, and a line answered with an error
// changed nothing: neither the interpreter's modes, nor the settings, nor
// the spectra, nor the EEPROM file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "comms/remote.h"
#include "comms/remote_fixture.h"
#include "core/timers.h"
#include "measure/diag.h"
#include "measure/reading.h"
#include "storage/params.h"
#include "ui/ui.h"

namespace {

constexpr uint32_t DEFAULT_LINES = 2500;     // command lines per run (HALDEN_FUZZ_LINES overrides)

const char* const kWords[] = {
    "CAL", "CAL?", "CONTROL", "DATAMODE", "DATAMODE?", "DATE", "DATE?", "DIAG", "FLAGBST", "FLAGPCC",
    "ID?", "READA?", "READC?", "READT?", "REFRESH", "RELEASE", "REPORT", "RESETHO", "SCANBIN", "SCANLAMP",
    "SCANLED", "SCANMODE", "SCANTXT", "SERIAL", "SERIAL?", "SETFACT", "SETREF", "STDMODE", "TESTBTN",
    "TESTHO", "TESTSL", "TESTWL", "TIME", "TIME?", "USERMODE",
    "control", "Id?", "READA", "DIAGS", "?", "CONTROL?", "SERIALS",
};

const char* const kArguments[] = {
    "579", "330", "830", "329", "831", "0", "-0", "+2", "2", "3", "-1", "x", "-", "+", ".", "-.5", "1.5",
    "1e999", "1e", "2147483647", "2147483648", "-2147483648", "4294967295", "4294967296",
    "99999999999999999999", "29/02/04", "29/02/05", "00/04/05", "1/02/05", "31/12/99", "12/13/05",
    "23:59:59", "24:00:00", "12:60:00", "1:00:00", "00:00:00", "STDMODE", "SCANMODE", "scanmode",
    "TESTHO", "RESETHO", "FLAGBST", "USERMODE", "TESTBTN", "REPORT",
};

// Command lines of the right shape, to be completed with a random choice
// from their argument list and, now and then, trailing text.
struct Template {
    const char* pszCommand;
    std::vector<const char*> arguments;  // empty: a command without arguments
};
const Template kTemplates[] = {
    {"CONTROL", {}}, {"RELEASE", {}}, {"ID?", {}}, {"DATAMODE?", {}}, {"SERIAL?", {}}, {"DATE?", {}},
    {"TIME?", {}}, {"SETREF", {}}, {"SCANTXT", {}}, {"SCANBIN", {}}, {"CAL", {}}, {"CAL?", {}},
    {"DATAMODE", {"STDMODE", "SCANMODE", "CAL", "stdmode"}},
    {"SERIAL", {"0", "17", "4294967295", "4294967296", "-1", "+5"}},
    {"DATE", {"29/02/04", "29/02/05", "00/04/05", "1/02/05", "31/12/99"}},
    {"TIME", {"23:59:59", "24:00:00", "12:60:00", "1:00:00"}},
    {"READA?", {"579", "330", "830", "329", "831", "2147483648", "x"}},
    {"READT?", {"579", "330", "830", "329", "-5"}},
    {"READC?", {"1", "x"}},
    {"SETFACT", {"1.5 2", "-.5 1", "1e999 2", "x 2", "1.5"}},
    {"DIAG", {"FLAGBST", "FLAGPCC", "REFRESH", "REPORT", "RESETHO", "SCANLAMP", "SCANLED", "TESTBTN 0",
              "TESTBTN 2", "TESTBTN 3", "TESTHO", "TESTSL", "TESTWL", "USERMODE", "READA?", "DIAG"}},
};

// Everything the instrument keeps that a remote command could change.
struct Snapshot {
    uint8_t bControl, bScreen, bBaseInfo, bPrintCoeff, bReferenceFlag, bTransmittance, bResultCount;
    int32_t nDataMode, nHolmium;
    uint32_t ulSerial;
    uint16_t unLedPixel, unDiagResult;
    double fSValue;
    int32_t anDuff[2];
    std::vector<float> afSpectra;
    std::string sEeprom;

    bool operator==(const Snapshot&) const = default;
};

Snapshot Take()
{
    Snapshot s{};
    s.bControl = gbRemoteControl;
    s.bScreen = gunScreenState;
    s.bBaseInfo = gbBaseSelfTestInfo;
    s.bPrintCoeff = gbPrintCalCoeff;
    s.bReferenceFlag = gbReferenceOnly;
    s.bTransmittance = gbTransmittanceMode;
    s.bResultCount = gbResultCount;
    s.nDataMode = gnDataMode;
    s.nHolmium = gnHolmiumOffset;
    s.ulSerial = gulSerialNumber;
    s.unLedPixel = gunCalibratedLedPixel;
    s.unDiagResult = gunDiagResult;
    s.fSValue = gfSValue;
    s.anDuff[0] = gDuffPixels[0].nPixel;
    s.anDuff[1] = gDuffPixels[1].nPixel;
    s.afSpectra.assign(gfTestReadings, gfTestReadings + SPECTRUM_POINTS);
    s.afSpectra.insert(s.afSpectra.end(), gfReferenceReadings, gfReferenceReadings + SPECTRUM_POINTS);
    std::ifstream file("eeprom.bin", std::ios::binary);
    s.sEeprom.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return s;
}

class Generator {
public:
    explicit Generator(uint32_t unSeed) : m_random(unSeed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    // Bytes that may stand anywhere inside a line: anything but CR and LF.
    char InnerByte()
    {
        for (;;) {
            char c = static_cast<char>(Below(256));
            if (c != '\r' && c != '\n')
                return c;
        }
    }

    // A line body: never a CR or LF, never a control character first.
    std::string Body()
    {
        std::string s;
        int nKind = Below(10);
        if (nKind < 3) {
            const Template& t = kTemplates[Below(std::size(kTemplates))];
            s = t.pszCommand;
            if (!t.arguments.empty()) {
                s.append(static_cast<size_t>(Below(3)), ' ');
                s += t.arguments[Below(static_cast<int>(t.arguments.size()))];
            }
            if (Below(3) == 0)
                s += Below(2) ? " 1" : "x";
            s.append(static_cast<size_t>(Below(2)), ' ');
        } else if (nKind < 6) {
            s.append(static_cast<size_t>(Below(3)), ' ');
            s += Below(5) == 0 ? "CONTROL" : kWords[Below(std::size(kWords))];
            for (int i = Below(4); i > 0; i--) {
                s.append(static_cast<size_t>(Below(3)), ' ');
                s += Below(4) == 0 ? kWords[Below(std::size(kWords))] : kArguments[Below(std::size(kArguments))];
            }
            if (Below(8) == 0)
                s.insert(static_cast<size_t>(Below(static_cast<int>(s.size()) + 1)), 1, InnerByte());
        } else if (nKind < 8) {
            for (int i = Below(12); i > 0; i--)
                s += InnerByte();
        } else {
            s.assign(static_cast<size_t>(28 + Below(20)), 'A');  // around and past the 32-byte limit
            for (char& c : s)
                if (Below(4) == 0)
                    c = InnerByte();
        }
        if (!s.empty() && (s[0] == 0x08 || s[0] == 0x12 || s[0] == 0x14))
            s[0] = ' ';
        return s;
    }

    std::string LineEnd()
    {
        switch (Below(12)) {
        case 0:
            return "\r\r\n";
        case 1:
            return "\r" + std::string(1, static_cast<char>('a' + Below(26))) + "\r\n";
        case 2:
            return "\n\r\n";
        default:
            return "\r\n";
        }
    }

private:
    std::mt19937 m_random;
};

struct Segment {
    std::string sBytes;
    bool bCommandLine;  // a line that gets exactly one reply; else a control character
};

// A reply line, possibly after SCANBIN's groups; the reply itself or empty.
std::string ReplyOf(const std::string& sLine)
{
    static const std::regex reply("(?:[0-9A-F]{3},)*(E[0-9]{2}(?: .*)?)");
    std::smatch match;
    return std::regex_match(sLine, match, reply) ? std::string(match[1]) : std::string();
}

}  // namespace

TEST_F(RemoteTest, RandomByteStreams)
{
    uint32_t unLines = DEFAULT_LINES;
    if (const char* psz = std::getenv("HALDEN_FUZZ_LINES"))
        unLines = static_cast<uint32_t>(std::strtoul(psz, nullptr, 10));
    Generator gen(20261210);
    uint32_t unLinesSent = 0, unBatches = 0, unControlChars = 0, unSuccesses = 0, unErrorsChecked = 0;
    uint64_t ullBytes = 0;

    while (unLinesSent < unLines) {
        // A batch: one to three segments that fit the 64-byte receive queue.
        std::vector<Segment> batch;
        size_t nSize = 0;
        for (int nWanted = gen.Below(3) == 0 ? 1 + gen.Below(3) : 1; nWanted > 0; nWanted--) {
            Segment seg;
            if (gen.Below(12) == 0) {
                const char acControl[] = {0x08, 0x12, 0x14};
                seg = {std::string(1, acControl[gen.Below(3)]), false};
            } else {
                seg = {gen.Body() + gen.LineEnd(), true};
            }
            if (nSize + seg.sBytes.size() > 64)
                break;
            nSize += seg.sBytes.size();
            batch.push_back(seg);
        }
        if (batch.empty())
            continue;
        uint32_t unCommandLines = 0;
        std::string sIn;
        for (const Segment& seg : batch) {
            sIn += seg.sBytes;
            unCommandLines += seg.bCommandLine ? 1 : 0;
        }

        Snapshot before = Take();
        std::string sOut = ConversePressingTest(sIn);
        ASSERT_FALSE(HasFailure()) << "hang on " << ::testing::PrintToString(sIn);
        ASSERT_EQ(remote_test::gunPollsAbandoned.load(), 0u) << ::testing::PrintToString(sIn);

        std::vector<std::string> replies;
        size_t nAt = 0;
        for (size_t nEnd; (nEnd = sOut.find("\r\n", nAt)) != std::string::npos; nAt = nEnd + 2) {
            std::string sReply = ReplyOf(sOut.substr(nAt, nEnd - nAt));
            if (!sReply.empty())
                replies.push_back(sReply);
        }
        ASSERT_EQ(replies.size(), unCommandLines)
            << "sent " << ::testing::PrintToString(sIn) << "\ngot " << ::testing::PrintToString(sOut.substr(0, 300));
        ASSERT_EQ(nAt, sOut.size()) << "output ends inside a line: " << ::testing::PrintToString(sIn);
        ASSERT_EQ(gbRemoteLineLen, 0);
        ASSERT_EQ(gnRemoteLineState, 0);
        ASSERT_EQ(gbRemoteOverflow, 0);
        ASSERT_EQ(gbTraceOn, 0);

        bool bAllErrors = true;
        for (const std::string& sReply : replies) {
            if (sReply.starts_with("E00")) {
                unSuccesses++;
                bAllErrors = false;
            }
        }
        if (unCommandLines == batch.size() && bAllErrors) {
            unErrorsChecked += unCommandLines;
            ASSERT_TRUE(Take() == before) << "changed by " << ::testing::PrintToString(sIn);
        }

        unLinesSent += unCommandLines;
        unControlChars += static_cast<uint32_t>(batch.size()) - unCommandLines;
        ullBytes += sIn.size();
        unBatches++;
        Host().ClearSerialText();
    }
    std::cout << "remote fuzz: " << unLinesSent << " command lines, " << unControlChars << " control characters, "
              << ullBytes << " bytes in " << unBatches << " batches; " << unSuccesses << " answered E00, "
              << unErrorsChecked << " error lines checked unchanged\n";
    RecordProperty("lines", static_cast<int>(unLinesSent));
    // The streams reach past the line rules into the commands themselves.
    EXPECT_GT(unSuccesses, unLines / 50);
    EXPECT_GT(unErrorsChecked, unLines / 4);
}
