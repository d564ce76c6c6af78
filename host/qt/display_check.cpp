// halden-sim's start without a usable display: Qt ends such a start with a
// fatal message and an abort after three lines of platform-plugin advice.
// Until the application object exists the messages are held back; a fatal
// one becomes a single line naming the display, and the program exits 1.
#include "display_check.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

QtMessageHandler s_pfnPrevious = nullptr;
std::vector<std::pair<QtMsgType, std::string>> s_aHeld;  // warnings seen while the display opened

bool HasArgument(int argc, char** argv, const char* const* apszNames)
{
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        for (const char* const* ppsz = apszNames; *ppsz; ppsz++)
            if (std::strcmp(argv[i], *ppsz) == 0)
                return true;
    }
    return false;
}

std::string DisplayName()
{
    const char* pszWayland = std::getenv("WAYLAND_DISPLAY");
    const char* pszX = std::getenv("DISPLAY");
    if (pszX && *pszX)
        return pszX;
    if (pszWayland && *pszWayland)
        return pszWayland;
    return std::string();
}

void HoldMessages(QtMsgType type, const QMessageLogContext& context, const QString& sMessage)
{
    if (type != QtFatalMsg) {
        s_aHeld.emplace_back(type, sMessage.toStdString());
        (void)context;
        return;
    }
    const std::string sDisplay = DisplayName();
    // The first held warning is the platform's own reason ("could not
    // connect to display :5"); the rest is advice about plug-ins.
    std::string sReason = s_aHeld.empty() ? sMessage.toStdString() : s_aHeld.front().second;
    while (!sReason.empty() && (sReason.back() == ' ' || sReason.back() == '\n'))
        sReason.pop_back();
    if (sDisplay.empty())
        std::fprintf(stderr,
                     "halden-sim: no display to show the window on (DISPLAY is not set); "
                     "halden-cli runs the instrument without one\n");
    else
        std::fprintf(stderr, "halden-sim: cannot show the window on display %s (%s)\n", sDisplay.c_str(),
                     sReason.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

void PrepareDisplay(int argc, char** argv)
{
    static const char* const apszNoWindow[] = {"-h", "--help", "--help-all", "-v", "--version", nullptr};
    static const char* const apszPlatform[] = {"-platform", nullptr};
    if (HasArgument(argc, argv, apszNoWindow) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !HasArgument(argc, argv, apszPlatform))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    s_pfnPrevious = qInstallMessageHandler(HoldMessages);
}

void DisplayOpened()
{
    qInstallMessageHandler(s_pfnPrevious);
    const QMessageLogContext context;
    for (const auto& [type, sMessage] : s_aHeld) {
        const QString sText = QString::fromStdString(sMessage);
        if (s_pfnPrevious)
            s_pfnPrevious(type, context, sText);
        else
            std::fprintf(stderr, "%s\n", sMessage.c_str());
    }
    s_aHeld.clear();
}
