// The serial port in the desktop simulator: Options/Serial Port... and its
// profile entries, the status-bar pane, and PC clients on a TCP port and a
// pseudo-terminal talking to the running firmware, with the monitor
// showing both directions. The per-pass step echoes what arrives.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include "app/probe.h"
#include "core/runtime.h"
#include "qt_fixture.h"
#include "serial_client.h"
#include "serial_endpoint.h"
#include "serial_monitor.h"
#include "serial_port_dialog.h"

namespace {

// Runs the dialog that OnSerialPort opens, sets it up and accepts it.
template <typename Fn>
void RunSerialPortDialog(CHaldenApp& app, Fn fnSetUp)
{
    QTimer::singleShot(0, [fnSetUp] {
        auto* pDlg = qobject_cast<CSerialPortDlg*>(QApplication::activeModalWidget());
        QVERIFY(pDlg);
        fnSetUp(*pDlg);
        pDlg->accept();
    });
    app.OnSerialPort();
}

}  // namespace

class CSerialPortTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;

    QString PaneText() const { return m_pApp->Frame()->SerialPane()->toolTip(); }

private slots:
    void initTestCase()
    {
        SetApplicationNames();
        m_pEnv = std::make_unique<CScratchEnvironment>();
        FirmwareSetUiStep(EchoStep);
        CHaldenApp::Options options;
        SerialPortChoice tcp;
        tcp.mode = SerialPortChoice::Mode::Tcp;
        tcp.nPort = 0;  // any free port
        options.serialPort = tcp;
        m_pApp = std::make_unique<CHaldenApp>(options);
        QVERIFY(m_pApp->InitInstance());
        QTRY_VERIFY(FirmwareThreadActive());
    }

    void cleanupTestCase()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    // The client's bytes reach the firmware and its echo reaches the client;
    // the monitor shows the received bytes in their own colour.
    void tcpClientIsServedAndMonitored()
    {
        CSerialEndpoint* pPort = m_pApp->SerialPort();
        QVERIFY(pPort->Port() != 0);
        QVERIFY(PaneText().contains(QStringLiteral("TCP 127.0.0.1:%1").arg(pPort->Port())));
        CSerialMonitor* pMonitor = m_pApp->Frame()->SerialMonitor();
        QTRY_VERIFY(pMonitor->Bytes().startsWith("START\r\n"));  // the firmware is up
        pMonitor->Clear();
        CClient client = CClient::Tcp(pPort->Port());
        QVERIFY(client.IsOpen());
        QTRY_VERIFY(PaneText().contains(QStringLiteral("client connected")));
        client.Send("PC says\r\n");
        QTRY_COMPARE(client.Received(), QByteArrayLiteral("PC says\r\n"));
        QTRY_COMPARE(pMonitor->Bytes(), QByteArrayLiteral("PC says\r\n"));

        // Both directions in the text, the received run in the injected colour.
        auto* pEdit = pMonitor->findChild<QPlainTextEdit*>();
        QVERIFY(pEdit);
        int nInjected = 0, nSent = 0;
        for (QTextBlock block = pEdit->document()->begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (!fragment.text().contains(QStringLiteral("PC says")))
                    continue;
                if (fragment.charFormat().foreground().color() == CSerialMonitor::InjectedColour())
                    nInjected++;
                else
                    nSent++;
            }
        QCOMPARE(nInjected, 1);
        QCOMPARE(nSent, 1);
    }

    // Send Message still goes in directly, and shows as received too.
    void sendMessageShowsAsReceived()
    {
        CSerialMonitor* pMonitor = m_pApp->Frame()->SerialMonitor();
        pMonitor->Clear();
        m_pApp->SendBytes("typed\r\n");
        QTRY_COMPARE(pMonitor->Bytes(), QByteArrayLiteral("typed\r\n"));
        QCOMPARE(pMonitor->Text(), QStringLiteral("typed<CR><LF>\ntyped<CR><LF>\n"));
    }

    // The link field shows a usual path whole.
    void linkFieldShowsAPathWhole()
    {
        SerialPortChoice choice;
        choice.sLink = QStringLiteral("/home/operator/halden/ttyHALDEN");
        CSerialPortDlg dlg(choice, QString());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QLineEdit* pLink = dlg.LinkEdit();
        QVERIFY2(pLink->fontMetrics().horizontalAdvance(choice.sLink) + 12 <= pLink->width(),
                 qPrintable(QStringLiteral("%1 px for the path in a %2 px field")
                                .arg(pLink->fontMetrics().horizontalAdvance(choice.sLink))
                                .arg(pLink->width())));
    }

    void dialogChoosesPtyAndTheProfileKeepsIt()
    {
        const QString sLink = m_pEnv->Path() + QStringLiteral("/ttyHALDEN");
        RunSerialPortDialog(*m_pApp, [&](CSerialPortDlg& dlg) {
            dlg.PtyButton()->setChecked(true);
            dlg.LinkEdit()->setText(sLink);
        });
        CSerialEndpoint* pPort = m_pApp->SerialPort();
        QCOMPARE(pPort->GetKind(), CSerialEndpoint::Kind::Pty);
        QCOMPARE(QFile::symLinkTarget(sLink), QString::fromStdString(pPort->DevicePath()));
        QVERIFY(PaneText().contains(sLink));
        QVERIFY(PaneText().contains(QString::fromStdString(pPort->DevicePath())));
        {
            QSettings settings;
            const SerialPortChoice choice = ReadSerialPortChoice(settings);
            QCOMPARE(choice.mode, SerialPortChoice::Mode::Pty);
            QCOMPARE(choice.sLink, sLink);
        }

        CClient client = CClient::Pty(sLink);
        QVERIFY(client.IsOpen());
        client.Send("over the pty\r\n");
        QTRY_COMPARE(client.Received(), QByteArrayLiteral("over the pty\r\n"));

        // The dialog shows the device and copies the link.
        CSerialPortDlg dlg(m_pApp->SerialChoice(), QString::fromStdString(pPort->DevicePath()));
        QVERIFY(dlg.PtyButton()->isChecked());
        QCOMPARE(dlg.CopyText(), sLink);
        bool bShowsDevice = false;
        for (QLabel* pLabel : dlg.findChildren<QLabel*>())
            bShowsDevice |= pLabel->text().contains(QString::fromStdString(pPort->DevicePath()));
        QVERIFY(bShowsDevice);
        dlg.LinkEdit()->clear();
        QCOMPARE(dlg.CopyText(), QString::fromStdString(pPort->DevicePath()));

        // None closes the port, removes the link and hides the pane.
        RunSerialPortDialog(*m_pApp, [](CSerialPortDlg& d) { d.NoneButton()->setChecked(true); });
        QVERIFY(!pPort->IsOpen());
        QVERIFY(!QFileInfo(sLink).isSymLink());
        QVERIFY(m_pApp->Frame()->SerialPane()->isHidden());
        QSettings settings;
        QCOMPARE(ReadSerialPortChoice(settings).mode, SerialPortChoice::Mode::None);
    }

    // A port that cannot open says why in the status bar, and the profile
    // keeps the last choice that worked.
    void refusedLinkIsReportedAndNotRemembered()
    {
        const QString sFile = m_pEnv->Path() + QStringLiteral("/plain-file");
        {
            QFile file(sFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("data");
        }
        SerialPortChoice choice;
        choice.mode = SerialPortChoice::Mode::Pty;
        choice.sLink = sFile;
        QString sError;
        QVERIFY(!m_pApp->ApplySerialPort(choice, &sError));
        QVERIFY(sError.contains(QStringLiteral("regular file")));
        QVERIFY(PaneText().contains(QStringLiteral("regular file")));
        QVERIFY(!m_pApp->SerialPort()->IsOpen());
        QFile file(sFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArrayLiteral("data"));
    }

    void profileEntriesRoundTrip()
    {
        QSettings settings;
        SerialPortChoice choice;
        choice.mode = SerialPortChoice::Mode::Tcp;
        choice.nPort = 6123;
        choice.sLink = QStringLiteral("/tmp/elsewhere");
        WriteSerialPortChoice(settings, choice);
        QCOMPARE(ReadSerialPortChoice(settings), choice);
        settings.setValue(QStringLiteral("SerialPort/Port"), 70000);
        settings.setValue(QStringLiteral("SerialPort/Mode"), 9);
        const SerialPortChoice fallback = ReadSerialPortChoice(settings);
        QCOMPARE(fallback.mode, SerialPortChoice::Mode::None);
        QCOMPARE(fallback.nPort, 5000);
    }
};

QTEST_MAIN(CSerialPortTest)
#include "serial_port_test.moc"
