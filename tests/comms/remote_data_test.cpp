// Spectra and result blocks sent by the remote protocol: SCANTXT, SCANBIN,
// the ^T result block in both modes, the pixel listing, and DIAG USERMODE's
// wait. The checks compare the outputs with one another and with the
// photometric queries, so they hold for any recorded spectrum.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "comms/remote.h"
#include "comms/remote_fixture.h"
#include "core/serial.h"
#include "measure/reading.h"
#include "storage/params.h"

namespace {

std::vector<std::string> SplitLines(const std::string& s)
{
    std::vector<std::string> lines;
    size_t nAt = 0;
    for (size_t nEnd; (nEnd = s.find("\r\n", nAt)) != std::string::npos; nAt = nEnd + 2)
        lines.push_back(s.substr(nAt, nEnd - nAt));
    if (nAt < s.size())
        lines.push_back(s.substr(nAt));
    return lines;
}

// "E00  0.557 579" -> 0.557
double ReadAValue(const std::string& sReply)
{
    return std::strtod(sReply.c_str() + 4, nullptr);
}

}  // namespace

TEST_F(RemoteTest, ScanBinOnOneLineUpToTheReply)
{
    TakeControl();
    ASSERT_EQ(Converse("SETREF\r\n"), "+00\tScanning\r\nE00\r\n");
    std::string sOut = Converse("SCANBIN\r\n");
    ASSERT_TRUE(std::regex_match(sOut, std::regex("\\+00\tScanning\r\n([0-9A-F]{3},){501}E00\r\n")))
        << sOut.substr(0, 80);
    EXPECT_EQ(gbReferenceOnly, 0);

    // Each group is the absorbance in thousandths, 12-bit two's complement.
    std::string sGroups = sOut.substr(sOut.find('\n') + 1);
    for (int nNm : {330, 400, 579, 700, 830}) {
        SCOPED_TRACE(nNm);
        long nCode = std::strtol(sGroups.substr(static_cast<size_t>(nNm - 330) * 4, 3).c_str(), nullptr, 16);
        long nMilli = nCode >= 0x800 ? nCode - 0x1000 : nCode;
        std::string sReply = Converse("READA? " + std::to_string(nNm) + "\r\n");
        EXPECT_NEAR(nMilli / 1000.0, ReadAValue(sReply), 0.00051) << sReply;
    }
}

TEST_F(RemoteTest, ScanTxtOneLinePerWavelength)
{
    TakeControl();
    ASSERT_EQ(Converse("SETREF\r\n"), "+00\tScanning\r\nE00\r\n");
    std::string sOut = Converse("SCANTXT\r\n");
    std::vector<std::string> lines = SplitLines(sOut);
    ASSERT_EQ(lines.size(), 503u);
    EXPECT_EQ(lines.front(), "+00\tScanning");
    EXPECT_EQ(lines.back(), "E00");
    for (int i = 1; i <= 501; i++)
        ASSERT_TRUE(std::regex_match(lines[i], std::regex("[ -][0-2]\\.[0-9]{3}"))) << i << ": " << lines[i];
    EXPECT_EQ(Converse("READA? 579\r\n"), "E00 " + lines[1 + 579 - 330] + " 579\r\n");
    // A second command starts its trace numbers again from 00.
    EXPECT_TRUE(Converse("SCANTXT\r\n").starts_with("+00\tScanning\r\n"));
}

// The ^T block: header with date, time and counter, 501 points, check line.
TEST_F(RemoteTest, TestResultBlockInBothModes)
{
    std::regex header("([0-9]{2}),([0-9]{2}),([0-9]{2}),([0-9]{2}),([0-9]{2}),([0-9]{2}),");
    ASSERT_EQ(Converse("\x12"), "REF DONE\r\n");  // a real reference: the points are a spectrum, not the clip value
    for (uint8_t bMode : {0, 1}) {
        SCOPED_TRACE(bMode ? "transmittance" : "absorbance");
        gbTransmittanceMode = bMode;
        uint8_t bCount = gbResultCount;
        std::string sOut = Converse("\x14");
        ASSERT_TRUE(sOut.ends_with(",290580,\r\n\r\nTEST DONE\r\n")) << sOut.substr(0, 60);
        std::vector<std::string> lines = SplitLines(sOut);
        ASSERT_EQ(lines.size(), 1u + 501u + 1u + 1u + 1u);  // header, points, check line, blank, TEST DONE

        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[0], match, header)) << lines[0];
        uint8_t abClock[6];
        ReadClock(abClock);
        EXPECT_EQ(std::stoi(match[1]), abClock[0]);
        EXPECT_EQ(std::stoi(match[2]), abClock[1]);
        EXPECT_EQ(std::stoi(match[3]), abClock[2]);
        EXPECT_EQ(std::stoi(match[6]), bCount);

        double fSum = 0;
        unsigned long ulSum = 0;
        int nUnclipped = 0;
        double fExactSum = 0;
        std::regex point(bMode ? "([0-9]+),([0-9]+)," : "([0-9]+),([ -][0-9]+\\.[0-9]{3}),");
        for (int i = 0; i < 501; i++) {
            ASSERT_TRUE(std::regex_match(lines[1 + i], match, point)) << lines[1 + i];
            EXPECT_EQ(std::stoi(match[1]), 330 + i);
            // Each point is the reading at its own wavelength: %T rounded to
            // a whole number at most 200, or the absorbance to a thousandth.
            if (bMode) {
                unsigned long ul = std::stoul(match[2]);
                long lExpected = std::clamp(std::lround(Transmittance(330 + i)), 0L, 200L);
                EXPECT_EQ(static_cast<long>(ul), lExpected) << 330 + i << " nm: " << Transmittance(330 + i);
                ulSum += ul;
            } else {
                double f = std::stod(match[2]);
                EXPECT_NEAR(f, Absorbance(330 + i), 0.0005) << 330 + i << " nm";
                nUnclipped += f > -0.3 && f < 2.5;
                fSum += f;
                fExactSum += Absorbance(330 + i);
            }
        }
        const std::string& sCheck = lines[502];
        if (bMode) {
            EXPECT_EQ(sCheck, std::to_string(ulSum) + ",290580,");
        } else {
            ASSERT_TRUE(std::regex_match(sCheck, match, std::regex("([ -][0-9]+\\.[0-9]+),290580,"))) << sCheck;
            // The sum of the unrounded values: within half a thousandth per point.
            EXPECT_NEAR(std::stod(match[1]), fSum, 501 * 0.0005 + 0.01);
            // Exactly the sum of the points, to half a unit of its last digit.
            const std::string sSum = match[1].str();
            const int nDecimals = static_cast<int>(sSum.size() - sSum.find('.') - 1);
            EXPECT_NEAR(std::stod(sSum), fExactSum, 0.5 * std::pow(10.0, -nDecimals) + 1e-9);
            EXPECT_GT(nUnclipped, 400);
        }
        EXPECT_EQ(lines[503], "");
        EXPECT_EQ(lines[504], "TEST DONE");
    }
    // The header counter runs 0..99 and then starts again.
    gbResultCount = 99;
    EXPECT_TRUE(Converse("\x14").substr(0, 20).ends_with(",99,\r\n"));
    EXPECT_TRUE(Converse("\x14").substr(0, 20).ends_with(",00,\r\n"));
}

TEST(RemotePixelListingTest, LinesOfTheLastReading)
{
    CInstrument host;
    SerialInit();
    host.ClearSerialText();
    for (int p = 0; p < PIXEL_COUNT; p++) {
        gunDarkReadings[p] = static_cast<uint16_t>(1000 + p);
        gunLightReadings[p] = static_cast<uint16_t>(3000 + 2 * p);
        gbFrameCounts[p] = static_cast<uint8_t>(1 + p % 60);
    }
    gunDarkReadings[240] = 14259;
    gunLightReadings[240] = 49514;
    gbFrameCounts[240] = 3;
    gunDarkReadings[7] = 0xFFFF;
    gunLightReadings[7] = 0x0010;
    SendPixelListing();
    std::vector<std::string> lines = SplitLines(host.SerialText());
    ASSERT_EQ(lines.size(), 1024u);
    EXPECT_EQ(lines[240], "0F0,37B3,C16A,89B7,03");
    EXPECT_EQ(lines[7], "007,FFFF,0010,-FFEF,08");
    EXPECT_EQ(lines[0], "000,03E8,0BB8,07D0,01");
    EXPECT_EQ(lines[1023], "3FF,07E7,13B6,0BCF,04");
}

TEST_F(RemoteTest, ScanLampAndLedListThePixels)
{
    TakeControl();
    std::regex line("([0-9A-F]{3}),([0-9A-F]{4}),([0-9A-F]{4}),(-?)([0-9A-F]{4}),([0-9A-F]{2})");
    for (const char* psz : {"DIAG SCANLAMP\r\n", "DIAG SCANLED\r\n"}) {
        SCOPED_TRACE(psz);
        std::vector<std::string> lines = SplitLines(Converse(psz));
        ASSERT_EQ(lines.size(), 1026u);
        EXPECT_EQ(lines.front(), "+00\tScanning");
        EXPECT_EQ(lines.back(), "E00");
        for (int p = 0; p < PIXEL_COUNT; p++) {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(lines[1 + p], match, line)) << lines[1 + p];
            long nDark = std::stol(match[2], nullptr, 16);
            long nLight = std::stol(match[3], nullptr, 16);
            ASSERT_EQ(std::stol(match[1], nullptr, 16), p);
            ASSERT_EQ(nDark, gunDarkReadings[p]);
            ASSERT_EQ(nLight, gunLightReadings[p]);
            ASSERT_EQ(match[4] == "-", nLight < nDark);
            ASSERT_EQ(std::stol(match[5], nullptr, 16), std::labs(nLight - nDark));
            ASSERT_EQ(std::stol(match[6], nullptr, 16), gbFrameCounts[p]);
        }
    }
}

// USERMODE replies at once, then waits for 50 ms of firmware time.
TEST_F(RemoteTest, UserModeRepliesThenWaitsOnTheTicks)
{
    TakeControl();
    Host().ClearSerialText();
    uint32_t unPolls = remote_test::gunPollsDone.load();
    Host().Inject("DIAG USERMODE\r\n");
    Host().RunSlice();
    Host().RunSlice();
    EXPECT_EQ(Host().SerialText(), "E00\r\n");
    EXPECT_EQ(remote_test::gunPollsDone.load(), unPolls) << "the wait ended without firmware time";
    Host().Tick();
    EXPECT_EQ(remote_test::gunPollsDone.load(), unPolls + 1);
    EXPECT_EQ(remote_test::gunPollsAbandoned.load(), 0u);
    EXPECT_EQ(Converse("ID?\r\n"), "E00 Q4K7 V1.0\r\n");
}
