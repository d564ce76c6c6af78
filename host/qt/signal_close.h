// SIGINT and SIGTERM close the main window the way its close button does
// (firmware stopped first, then the profile written and a normal exit).
// The signal handler only writes a byte to a pipe; the UI thread reads it
// and asks the window to close.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

class CSignalClose final : public QObject {
    Q_OBJECT
public:
    // Installs the handlers for pWindow; false when the pipe cannot be made.
    explicit CSignalClose(QWidget* pWindow);
    ~CSignalClose() override;
    bool Installed() const { return m_pNotifier != nullptr; }

private:
    void OnSignal();

    QPointer<QWidget> m_pWindow;
    QSocketNotifier* m_pNotifier = nullptr;
};
