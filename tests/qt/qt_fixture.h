// Shared set-up of the desktop simulator's tests: a scratch working
// directory (for "eeprom.bin") and a scratch profile, and a simulator
// application whose firmware thread is not started (the firmware runs once
// per process; the close stress test runs it in child processes).
#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

#include "core/serial.h"
#include "core/bridge.h"
#include "core/runtime.h"
#include "core/timers.h"
#include "display/lcd.h"
#include "halden_app.h"
#include "halden_view.h"
#include "main_frame.h"

// The whole file, or nothing when it cannot be read.
inline QByteArray ReadAll(const QString& sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CScratchEnvironment {
public:
    CScratchEnvironment() : m_sPrevious(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }
    ~CScratchEnvironment() { QDir::setCurrent(m_sPrevious); }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_sPrevious;
};

// A small stand-in for the state machine, for tests that run the firmware
// thread: it records key events and firmware time, and echoes every byte
// that arrives on the serial port (drawing the last one for a refresh).
inline std::atomic<uint8_t> gbStepKey{0};   // last key event the step took
inline std::atomic<uint32_t> gunStepMs{0};  // firmware milliseconds seen by the step

inline void EchoStep(uint8_t bPhase)
{
    if (bPhase == PHASE_INIT)
        return;
    if (uint8_t bKey = GetKey())
        gbStepKey = bKey;
    gunStepMs = ReadElapsedMs();
    bool bEchoed = false;
    while (!SerialRxEmpty()) {
        const uint8_t b = SerialGetChar();
        SerialPutChar(b);
        bEchoed = true;
        LcdWriteByte(LCD_GRAPHIC_BASE, b);
    }
    if (bEchoed)
        LcdRefresh();
}

inline std::unique_ptr<CHaldenApp> StartWindowOnly()
{
    CHaldenApp::Options options;
    options.bStartFirmware = false;
    auto pApp = std::make_unique<CHaldenApp>(options);
    if (!pApp->InitInstance())
        return nullptr;
    return pApp;
}

inline void SetApplicationNames()
{
    QCoreApplication::setOrganizationName(QStringLiteral("HaldenTest"));
    QCoreApplication::setApplicationName(QStringLiteral("halden-sim-test"));
}

// Codes of the keys the firmware would see down.
inline QList<int> DownKeys()
{
    QList<int> codes;
    for (uint8_t b = 1; b <= 12; b++)
        if (HostKeyIsDown(b))
            codes << b;
    return codes;
}
