// The main window: the profile entries (bars and docks) across a restart, the Mains check
// mark, the status bar's EEPROM pane and the serial monitor's text.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QAbstractButton>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextDocumentFragment>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "core/timers.h"
#include "display/lcd.h"
#include "eeprom_bus.h"
#include "chart_dock.h"
#include "halden_doc.h"
#include "printer_dock.h"
#include "qt_fixture.h"
#include "serial_monitor.h"

class CFrameTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetApplicationNames(); }

    void profileKeepsHiddenToolbar()
    {
        CScratchEnvironment env;
        {
            auto pApp = StartWindowOnly();
            QVERIFY(pApp);
            CMainFrame* pFrame = pApp->Frame();
            QVERIFY(!pFrame->ToolBar()->isHidden());
            QVERIFY(!pFrame->statusBar()->isHidden());
            QVERIFY(pFrame->StatusBarAction()->isChecked());
            pFrame->ToolBar()->toggleViewAction()->trigger();
            QVERIFY(pFrame->ToolBar()->isHidden());
            pApp->ExitInstance();
        }
        {
            QSettings settings;
            QCOMPARE(settings.value(QStringLiteral("View/ToolBar")).toInt(), 0);
            QCOMPARE(settings.value(QStringLiteral("View/StatusBar")).toInt(), 1);
        }
        {
            auto pApp = StartWindowOnly();
            QVERIFY(pApp);
            CMainFrame* pFrame = pApp->Frame();
            QVERIFY(pFrame->ToolBar()->isHidden());
            QVERIFY(!pFrame->ToolBar()->toggleViewAction()->isChecked());
            QVERIFY(!pFrame->statusBar()->isHidden());
            // hide the status bar too, show the toolbar again
            pFrame->StatusBarAction()->trigger();
            pFrame->ToolBar()->toggleViewAction()->trigger();
        }
        auto pApp = StartWindowOnly();
        QVERIFY(!pApp->Frame()->ToolBar()->isHidden());
        QVERIFY(pApp->Frame()->statusBar()->isHidden());
        QVERIFY(!pApp->Frame()->StatusBarAction()->isChecked());
    }

    // The printer and chart recorder docks come back as they were closed.
    void profileKeepsDockVisibility()
    {
        CScratchEnvironment env;
        {
            auto pApp = StartWindowOnly();
            QVERIFY(pApp);
            CMainFrame* pFrame = pApp->Frame();
            QVERIFY(!pFrame->PrinterDock()->isHidden());
            QVERIFY(!pFrame->ChartDock()->isHidden());
            pFrame->PrinterDock()->toggleViewAction()->trigger();
            QVERIFY(pFrame->PrinterDock()->isHidden());
            pApp->ExitInstance();
        }
        {
            QSettings settings;
            QCOMPARE(settings.value(QStringLiteral("View/Printer")).toInt(), 0);
            QCOMPARE(settings.value(QStringLiteral("View/ChartRecorder")).toInt(), 1);
        }
        {
            auto pApp = StartWindowOnly();
            CMainFrame* pFrame = pApp->Frame();
            QVERIFY(pFrame->PrinterDock()->isHidden());
            QVERIFY(!pFrame->PrinterDock()->toggleViewAction()->isChecked());
            QVERIFY(!pFrame->ChartDock()->isHidden());
            pFrame->PrinterDock()->toggleViewAction()->trigger();
            pFrame->ChartDock()->toggleViewAction()->trigger();
        }
        auto pApp = StartWindowOnly();
        QVERIFY(!pApp->Frame()->PrinterDock()->isHidden());
        QVERIFY(pApp->Frame()->ChartDock()->isHidden());
        QVERIFY(!pApp->Frame()->ChartDock()->toggleViewAction()->isChecked());
    }

    // The window's size and the docks' places come back after a restart; a
    // profile without them leaves the window as it was first laid out.
    void profileKeepsWindowLayout()
    {
        CScratchEnvironment env;
        QSize sizeFirst;
        {
            auto pApp = StartWindowOnly();
            QVERIFY(pApp);
            CMainFrame* pFrame = pApp->Frame();
            QCOMPARE(pFrame->dockWidgetArea(pFrame->PrinterDock()), Qt::RightDockWidgetArea);
            sizeFirst = pFrame->size();
            pFrame->addDockWidget(Qt::LeftDockWidgetArea, pFrame->PrinterDock());
            pFrame->resize(sizeFirst + QSize(40, 30));
            QTRY_COMPARE(pFrame->size(), sizeFirst + QSize(40, 30));
            pApp->ExitInstance();
        }
        {
            auto pApp = StartWindowOnly();
            CMainFrame* pFrame = pApp->Frame();
            QCOMPARE(pFrame->dockWidgetArea(pFrame->PrinterDock()), Qt::LeftDockWidgetArea);
            QCOMPARE(pFrame->dockWidgetArea(pFrame->ChartDock()), Qt::RightDockWidgetArea);
            QCOMPARE(pFrame->size(), sizeFirst + QSize(40, 30));
        }
        {
            QSettings settings;
            settings.remove(QStringLiteral("View/WindowGeometry"));
            settings.remove(QStringLiteral("View/WindowLayout"));
        }
        auto pApp = StartWindowOnly();
        QCOMPARE(pApp->Frame()->dockWidgetArea(pApp->Frame()->PrinterDock()), Qt::RightDockWidgetArea);
        QCOMPARE(pApp->Frame()->size(), sizeFirst);
    }

    // Mains off switches the instrument off: the display goes unlit and the
    // status bar says how to switch on again; Mains on asks for the restart
    // that powers the firmware up afresh (here, without firmware, only
    // noted). Power Cycle is both at once. File/New sets the check again.
    void mainsSwitchesTheInstrument()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        CMainFrame* pFrame = pApp->Frame();
        QAction* pMains = pFrame->MainsAction();
        QVERIFY(pMains->isChecked());
        LcdWriteByte(640, 0xFF);
        pFrame->View()->Lcd()->TakeFrame(true);
        pMains->trigger();
        QVERIFY(!pMains->isChecked());
        QVERIFY(!pApp->Doc()->Mains());
        QVERIFY(pFrame->InstrumentOff());
        QVERIFY(!pApp->RestartRequested());
        QCOMPARE(pFrame->SpeedPane()->text(), QStringLiteral("Off"));
        const QImage glass = pFrame->View()->Lcd()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(glass.pixel(0, 0), CLcdWnd::UNLIT);
        QCOMPARE(glass.pixel(200, 100), CLcdWnd::UNLIT);
        QVERIFY(pFrame->statusBar()->currentMessage().contains(QStringLiteral("Mains")));
        pMains->trigger();
        QVERIFY(pMains->isChecked());
        QVERIFY(pApp->RestartRequested());
        pApp->OnFileNew();
        QVERIFY(pMains->isChecked());
        QVERIFY(pApp->Doc()->Mains());

        pApp.reset();
        auto pCycled = StartWindowOnly();
        QVERIFY(!pCycled->RestartRequested());
        pCycled->Frame()->OnPowerCycle();
        QVERIFY(pCycled->RestartRequested());
        QVERIFY(pCycled->Doc()->Mains());
    }

    // F11 fills the screen and leaves it again; F12 saves the display, and
    // Shift+F12 the window, each to the next free numbered file.
    void fullScreenAndScreenshots()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        CMainFrame* pFrame = pApp->Frame();
        QVERIFY(QTest::qWaitForWindowExposed(pFrame));
        pApp->m_sScreenshotDir = env.Path();
        QTest::keyClick(pFrame, Qt::Key_F11);
        QTRY_VERIFY(pFrame->isFullScreen());
        QTest::keyClick(pFrame, Qt::Key_F11);
        QTRY_VERIFY(!pFrame->isFullScreen());

        LcdWriteByte(640 + 30 * 5, 0xF0);
        QFile taken(QDir(env.Path()).filePath(QStringLiteral("halden-display-002.png")));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.close();
        QTest::keyClick(pFrame, Qt::Key_F12);
        QTest::keyClick(pFrame, Qt::Key_F12);
        QTest::keyClick(pFrame, Qt::Key_F12, Qt::ShiftModifier);
        const QDir dir(env.Path());
        QCOMPARE(dir.entryList({QStringLiteral("halden-*.png")}, QDir::Files, QDir::Name),
                 QStringList({QStringLiteral("halden-display-001.png"), QStringLiteral("halden-display-002.png"),
                              QStringLiteral("halden-display-003.png"), QStringLiteral("halden-window-001.png")}));
        const QImage display(dir.filePath(QStringLiteral("halden-display-003.png")));
        QCOMPARE(display.convertToFormat(QImage::Format_RGB32), pFrame->View()->DisplayImage());
        QCOMPARE(QImage(dir.filePath(QStringLiteral("halden-window-001.png"))).size(), pFrame->grab().size());
        QVERIFY(pFrame->statusBar()->currentMessage().contains(QStringLiteral("halden-window-001.png")));
    }

    // From power-on the status bar asks for the standby key; a status tip
    // that comes and goes does not lose the prompt; the first press of the
    // standby key (from the keyboard's S here) replaces it by the help hint.
    void standbyPromptUntilTheStandbyKey()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        QVERIFY(pApp);
        QStatusBar* pStatus = pApp->Frame()->statusBar();
        const QString sPrompt = QStringLiteral("Press standby (S) to switch on");
        QCOMPARE(pStatus->currentMessage(), sPrompt);
        pStatus->showMessage(QStringLiteral("Turn the mains on and off"));
        pStatus->clearMessage();
        QCOMPARE(pStatus->currentMessage(), sPrompt);
        QTest::keyPress(pApp->Frame(), Qt::Key_T);
        QTest::keyRelease(pApp->Frame(), Qt::Key_T);
        QCOMPARE(pStatus->currentMessage(), sPrompt);
        QTest::keyPress(pApp->Frame(), Qt::Key_S);
        QVERIFY(pApp->View()->Key(KEY_STANDBY)->IsDown());
        QTest::keyRelease(pApp->Frame(), Qt::Key_S);
        QCOMPARE(pStatus->currentMessage(), QStringLiteral("For Help, press F1"));
        pStatus->showMessage(QStringLiteral("Turn the mains on and off"));
        pStatus->clearMessage();
        QCOMPARE(pStatus->currentMessage(), QStringLiteral("For Help, press F1"));
    }

    // The pane shows what the bus says about the file: nothing while it can
    // be written, the bus's message while it is read-only or locked.
    void eepromPaneShowsBusMessage()
    {
        CScratchEnvironment env;
        {
            auto pApp = StartWindowOnly();
            QLabel* pPane = pApp->Frame()->EepromPane();
            QCOMPARE(pPane->isVisibleTo(pApp->Frame()), !pApp->Bus()->StatusMessage().empty());
            QCOMPARE(pPane->toolTip().toStdString(), pApp->Bus()->StatusMessage());
            pApp->Frame()->ShowEepromStatus(QStringLiteral("eeprom.bin is read-only"));
            QVERIFY(pPane->isVisibleTo(pApp->Frame()));
            QCOMPARE(pPane->text(), QStringLiteral("eeprom.bin is read-only"));
        }
        // A second simulator on the same file while the first runs.
        auto pFirst = StartWindowOnly();
        QVERIFY(pFirst->Frame()->EepromPane()->isHidden());
        auto pSecond = StartWindowOnly();
        QVERIFY(pSecond->Bus()->ReadOnly());
        QLabel* pPane = pSecond->Frame()->EepromPane();
        QVERIFY(pPane->isVisibleTo(pSecond->Frame()));
        QVERIFY2(pPane->text().contains(QStringLiteral("eeprom.bin")), qPrintable(pPane->toolTip()));
        QCOMPARE(pPane->toolTip().toStdString(), pSecond->Bus()->StatusMessage());
    }

    // A long file message in its pane and the standby prompt in the message
    // area: the pane is shortened and the prompt fits whole left of it.
    void statusMessagesDoNotOverlap()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        QVERIFY(pApp);
        CMainFrame* pFrame = pApp->Frame();
        QVERIFY(QTest::qWaitForWindowExposed(pFrame));
        const QString sLong = QDir::current().absoluteFilePath(
            QStringLiteral("a/rather/deep/folder/of/the/build/tree/eeprom.bin is in use by another simulator"));
        pFrame->ShowEepromStatus(sLong);
        QCOMPARE(pFrame->EepromPane()->toolTip(), sLong);
        QCoreApplication::processEvents();
        QStatusBar* pStatus = pFrame->statusBar();
        QLabel* pPane = pFrame->EepromPane();
        QVERIFY(pPane->text().endsWith(QChar(0x2026)));
        QVERIFY(pPane->width() < pStatus->width() / 2);
        const int nRoom = pPane->x() - 2 - 6;
        QVERIFY2(pStatus->fontMetrics().horizontalAdvance(pFrame->IdleMessage()) <= nRoom,
                 qPrintable(QStringLiteral("%1 px for the message").arg(nRoom)));
    }

    // With the focus in the serial monitor, Esc and the arrows stay there and
    // Ctrl+C copies the selected text; back on the panel, the same keys reach
    // the instrument and Ctrl+C copies the display.
    void textFieldsKeepTheKeyboard()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        QVERIFY(pApp);
        CMainFrame* pFrame = pApp->Frame();
        pFrame->SerialMonitor()->show();
        pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pFrame));
        pFrame->SerialMonitor()->AppendBytes(QByteArray("E00\r\n"));
        auto* pText = pFrame->SerialMonitor()->findChild<QPlainTextEdit*>();
        QVERIFY(pText);
        pText->setFocus();
        QTRY_VERIFY(pText->hasFocus());
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Down, Qt::Key_Left}) {
            QTest::keyPress(pText, key);
            QCOMPARE(DownKeys(), QList<int>{});
            QTest::keyRelease(pText, key);
        }
        pText->selectAll();
        QApplication::clipboard()->clear();
        QTest::keyClick(pText, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), pText->textCursor().selection().toPlainText());
        QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("E00")));
        QVERIFY(QApplication::clipboard()->image().isNull());

        pApp->View()->setFocus();
        QTRY_VERIFY(pApp->View()->hasFocus());
        QTest::keyPress(pApp->View(), Qt::Key_Down);
        QCOMPARE(DownKeys(), QList<int>{KEY_DOWN});
        QTest::keyRelease(pApp->View(), Qt::Key_Down);
        QCOMPARE(DownKeys(), QList<int>{});
        QTest::keyClick(pApp->View(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), pApp->View()->DisplayImage());
    }

    // The status bar says where typed keys go, and follows the focus; no two
    // controls of the window share an Alt shortcut (three "Save" buttons once
    // took Alt+V from the View menu).
    void keysPaneAndUniqueAltShortcuts()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        CMainFrame* pFrame = pApp->Frame();
        pFrame->SerialMonitor()->show();
        pFrame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pFrame));
        auto* pText = pFrame->SerialMonitor()->findChild<QPlainTextEdit*>();
        pText->setFocus();
        QTRY_COMPARE(pFrame->KeysPane()->text(), QStringLiteral("Keys: text field"));
        pApp->View()->setFocus();
        QTRY_COMPARE(pFrame->KeysPane()->text(), QStringLiteral("Keys: panel"));

        QMap<QChar, QString> owners;
        auto note = [&](const QString& sText) {
            const qsizetype nAt = sText.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            if (nAt < 0)
                return;
            const QChar c = sText.at(nAt + 1).toLower();
            QVERIFY2(!owners.contains(c), qPrintable(QStringLiteral("Alt+%1: %2 and %3").arg(c, owners.value(c), sText)));
            owners[c] = sText;
        };
        for (QAction* pMenu : pFrame->menuBar()->actions())
            note(pMenu->text());
        for (QAbstractButton* pButton : pFrame->findChildren<QAbstractButton*>())
            note(pButton->text());
        QVERIFY(owners.contains(QLatin1Char('v')));
    }

    void serialTextMakesControlsVisible_data()
    {
        QTest::addColumn<QByteArray>("abBytes");
        QTest::addColumn<QString>("sText");
        QTest::newRow("line") << QByteArray("E00\r\n") << "E00<CR><LF>\n";
        QTest::newRow("tab and control") << QByteArray("+01\tX\x14\x08") << "+01<TAB>X<^T><^H>";
        QTest::newRow("zero, DEL, high bytes") << QByteArray("\0\x7F\x80\xFF", 4) << "<^@><DEL><x80><xFF>";
        QTest::newRow("printable edges") << QByteArray(" ~") << " ~";
        QTest::newRow("hardcopy runs") << (QByteArray("\x1BK", 2) + QByteArray(37, '\0') + QByteArray(3, '\xFF') + "A" + QByteArray(7, '\xFF'))
                                       << "<^[>K<^@ x37><xFF><xFF><xFF>A<xFF x7>";
        QTest::newRow("runs of four, not line ends") << (QByteArray(4, '\x14') + QByteArray("\r\n\r\n\r\n\r\n"))
                                                     << "<^T x4><CR><LF>\n<CR><LF>\n<CR><LF>\n<CR><LF>\n";
    }

    void serialTextMakesControlsVisible()
    {
        QFETCH(QByteArray, abBytes);
        QFETCH(QString, sText);
        QCOMPARE(FormatSerialBytes(abBytes), sText);
    }

    // The monitor opens tall enough for a reply block, and keeps the newest
    // output in sight when the window changes size (a zoom); scrolled back
    // by the user, it stays where the user left it.
    void serialMonitorHeightAndFollowing()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        CMainFrame* pFrame = pApp->Frame();
        CSerialMonitor* pMonitor = pFrame->SerialMonitor();
        pMonitor->show();
        QVERIFY(QTest::qWaitForWindowExposed(pFrame));
        QTRY_VERIFY2(pMonitor->LinesShown() >= 12, qPrintable(QString::number(pMonitor->LinesShown())));
        auto* pBar = pMonitor->findChild<QPlainTextEdit*>()->verticalScrollBar();
        for (int i = 0; i < 100; i++)
            pMonitor->AppendBytes(QStringLiteral("Line %1\r\n").arg(i).toLatin1());
        QCOMPARE(pBar->value(), pBar->maximum());
        pFrame->SetZoom(2);
        QCoreApplication::processEvents();
        pFrame->resizeDocks({pMonitor}, {pMonitor->height() / 2}, Qt::Vertical);
        QCoreApplication::processEvents();
        pMonitor->AppendBytes(QByteArray("After the zoom\r\n"));
        QTRY_COMPARE(pBar->value(), pBar->maximum());
        QVERIFY(pMonitor->Following());
        pBar->setValue(pBar->maximum() / 2);
        QVERIFY(!pMonitor->Following());
        const int nLeft = pBar->value();
        pMonitor->AppendBytes(QByteArray("More\r\n"));
        QCOMPARE(pBar->value(), nLeft);
    }

    // Memory only: the title says so, with no dangling separator.
    void titleForTheMemoryOnlyStore()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        pApp->Frame()->SetEepromFile(QString());
        QVERIFY2(pApp->Frame()->windowTitle().endsWith(QStringLiteral(" - EEPROM in memory only")),
                 qPrintable(pApp->Frame()->windowTitle()));
        QVERIFY(!pApp->Frame()->windowTitle().contains(QStringLiteral(" -  ")));
    }

    void serialMonitorSavesRawBytes()
    {
        CScratchEnvironment env;
        CSerialMonitor monitor;
        const QByteArray abBytes("START\r\n\x00\x14", 9);
        monitor.AppendBytes(abBytes.left(4));
        monitor.AppendBytes(abBytes.mid(4));
        QString sError;
        QVERIFY(monitor.SaveTo(QStringLiteral("out.bin"), &sError));
        QFile file(QStringLiteral("out.bin"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), abBytes);
        QVERIFY(!monitor.SaveTo(QStringLiteral("no/such/dir/out.bin"), &sError));
        QVERIFY(!sError.isEmpty());
        monitor.Clear();
        QVERIFY(monitor.Bytes().isEmpty());
        QVERIFY(monitor.Text().isEmpty());
    }
};

QTEST_MAIN(CFrameTest)
#include "frame_test.moc"
