// Shared set-up of the desktop simulator's tests: a scratch working
// directory (for "eeprom.bin") and a scratch profile, and a simulator
// application whose firmware thread is not started (the firmware runs once
// per process; the close stress test runs it in child processes).
#pragma once

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "core/bridge.h"
#include "halden_app.h"
#include "halden_view.h"
#include "main_frame.h"

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
