// The self-pipe between the SIGINT/SIGTERM handler and the UI thread.
#include "signal_close.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int ganPipe[2] = {-1, -1};  // read end, write end
constexpr int SIGNALS[] = {SIGINT, SIGTERM};

// Async-signal-safe: one write and a return to the default action, so a
// second signal ends a program whose close hangs.
void OnCloseSignal(int nSignal)
{
    const int nSavedErrno = errno;
    const char c = static_cast<char>(nSignal);
    [[maybe_unused]] ssize_t n = write(ganPipe[1], &c, 1);
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(nSignal, &action, nullptr);
    errno = nSavedErrno;
}

}  // namespace

CSignalClose::CSignalClose(QWidget* pWindow) : m_pWindow(pWindow)
{
    if (ganPipe[0] < 0 && pipe2(ganPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_pNotifier = new QSocketNotifier(ganPipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CSignalClose::OnSignal);
    for (int nSignal : SIGNALS) {
        struct sigaction action = {};
        action.sa_handler = OnCloseSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(nSignal, &action, nullptr);
    }
}

CSignalClose::~CSignalClose()
{
    if (!m_pNotifier)
        return;
    for (int nSignal : SIGNALS) {
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigaction(nSignal, &action, nullptr);
    }
}

void CSignalClose::OnSignal()
{
    char ac[16];
    while (read(ganPipe[0], ac, sizeof ac) > 0) {
    }
    if (!m_pWindow)
        return;
    // An open dialog is closed first (as Cancel), so the main window's close
    // ends the program instead of leaving the dialog on the screen.
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (pWidget != m_pWindow && pWidget->isVisible() && pWidget->isModal())
            pWidget->close();
    m_pWindow->close();
}
