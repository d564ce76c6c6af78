// Test fixtures: a scratch working directory per test, and a headless host
// powered up in it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "instrument.h"

// Runs the test inside a fresh temporary directory (removed afterwards), so
// "eeprom.bin" and other files never leak between tests.
class ScratchDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char acTemplate[] = "/tmp/halden-test-XXXXXX";
        char* pszDir = mkdtemp(acTemplate);
        ASSERT_NE(pszDir, nullptr);
        m_dir = pszDir;
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_dir);
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_previous);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::filesystem::path m_dir;
    std::filesystem::path m_previous;
};

// A headless host in a scratch directory. PowerUp() starts the firmware.
class FirmwareTest : public ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        m_pHost = std::make_unique<CInstrument>(HostOptions());
    }
    void TearDown() override
    {
        m_pHost.reset();
        ScratchDirTest::TearDown();
    }
    // Override to change the host's options (for example no state machine).
    virtual CInstrument::Options HostOptions() { return {}; }

    CInstrument& Host() { return *m_pHost; }
    std::unique_ptr<CInstrument> m_pHost;
};

// The firmware's core services without the user-interface state machine.
class CoreFirmwareTest : public FirmwareTest {
protected:
    CInstrument::Options HostOptions() override
    {
        CInstrument::Options options;
        options.bUserInterface = false;
        return options;
    }
};
