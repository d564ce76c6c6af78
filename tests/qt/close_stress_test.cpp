// Closing the window never hangs: fifty runs of the simulator, each closed
// while its firmware thread is in the middle of a sample reading or is
// blocked in a display refresh that the UI thread has not painted yet. Every
// close must return, stop the firmware thread and let the process end.
//
// The firmware starts once per process, so each run is a child process: this
// same program started with --child MODE.
#include <QApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "core/bridge.h"
#include "app/probe.h"
#include "core/runtime.h"
#include "display/lcd.h"
#include "measure/reading.h"
#include "qt_fixture.h"

namespace {

std::atomic<bool> gbInReading{false};  // the firmware is inside TakeReading

// A per-pass step that keeps the firmware busy the way a measurement screen
// does: a sample reading (5.3 s of firmware time, drawing its progress
// indicator), then a full-screen redraw with a refresh every 16 rows.
void BusyStep(uint8_t bPhase)
{
    static uint8_t bFrame = 0;
    if (bPhase == PHASE_INIT)
        return;
    gbInReading = true;
    TakeReading(READ_SAMPLE);
    gbInReading = false;
    bFrame++;
    for (uint16_t i = 0; i < LCD_SCREEN_BYTES && !FirmwareStopRequested(); i++) {
        LcdWriteByte(static_cast<uint16_t>(LCD_GRAPHIC_BASE + i), static_cast<uint8_t>(i * 7 + bFrame));
        if (i % 480 == 479)
            LcdRefresh();
    }
}

// One run: start the simulator, wait for the moment given by the mode, close
// the window and print how long the close took.
int RunChild(int argc, char** argv, const char* pszMode)
{
    QApplication qapp(argc, argv);
    SetApplicationNames();
    CScratchEnvironment env;
    const bool bRedraw = std::strcmp(pszMode, "redraw") == 0;

    FirmwareSetUiStep(BusyStep);
    CHaldenApp app;
    if (!app.InitInstance())
        return 3;
    CHaldenView* pView = app.View();

    int nCloseMs = -1;
    bool bStopped = false;
    auto tArmed = std::chrono::steady_clock::now() + std::chrono::milliseconds(QRandomGenerator::global()->bounded(100, 400));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (std::chrono::steady_clock::now() < tArmed || !FirmwareThreadActive())
            return;
        // redraw: the firmware waits for a paint still queued behind us;
        // reading: the firmware is in its wait loop.
        const bool bMoment = bRedraw ? pView->Instrument().RefreshWaiting() : gbInReading.load() && !pView->Instrument().RefreshWaiting();
        if (!bMoment)
            return;
        poll.stop();
        const auto t0 = std::chrono::steady_clock::now();
        app.Frame()->close();
        nCloseMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
        bStopped = !FirmwareThreadActive();  // joined by the close itself
    });
    poll.start(0);
    qapp.exec();
    app.ExitInstance();
    std::printf("close-ms %d firmware %s\n", nCloseMs, bStopped ? "stopped" : "running");
    std::fflush(stdout);
    if (nCloseMs < 0)
        return 4;
    return bStopped ? 0 : 5;
}

}  // namespace

class CCloseStressTest : public QObject {
    Q_OBJECT

private slots:
    void closeNeverHangs()
    {
        constexpr int RUNS = 50;
        int nWorstMs = 0;
        for (int i = 0; i < RUNS; i++) {
            const QString sMode = i % 2 ? QStringLiteral("redraw") : QStringLiteral("reading");
            QProcess child;
            child.setProcessChannelMode(QProcess::SeparateChannels);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), sMode});
            QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
            // A generous limit for start-up and the wait under the sanitizers;
            // the close itself is measured inside the child.
            if (!child.waitForFinished(120000)) {
                child.kill();
                child.waitForFinished();
                QFAIL(qPrintable(QStringLiteral("run %1 (%2) did not end").arg(i).arg(sMode)));
            }
            const QByteArray abOut = child.readAllStandardOutput();
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     qPrintable(QStringLiteral("run %1 (%2) failed with %3: %4 %5")
                                    .arg(i).arg(sMode).arg(child.exitCode())
                                    .arg(QString::fromLocal8Bit(abOut), QString::fromLocal8Bit(child.readAllStandardError().right(2000)))));
            // The close returned with the firmware thread already joined; its
            // duration is only reported.
            const int nAt = abOut.indexOf("close-ms ");
            QVERIFY(nAt >= 0);
            QVERIFY2(abOut.contains(" firmware stopped"), abOut.constData());
            nWorstMs = qMax(nWorstMs, abOut.mid(nAt + 9).split(' ').value(0).toInt());
        }
        qInfo("%d closes, the slowest took %d ms", RUNS, nWorstMs);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv, argv[2]);
    QApplication qapp(argc, argv);
    CCloseStressTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "close_stress_test.moc"
