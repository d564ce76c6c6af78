// The serial monitor on its own: the input line with its history and
// control buttons, the hex view, the firmware-time stamps and the colours
// of the two directions through a redraw.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include "serial_monitor.h"

namespace {

// The text of the runs shown in the received colour, joined.
QString InjectedText(CSerialMonitor& monitor)
{
    QString sText;
    auto* pEdit = monitor.findChild<QPlainTextEdit*>();
    for (QTextBlock block = pEdit->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().foreground().color() == CSerialMonitor::InjectedColour())
                sText += it.fragment().text();
    return sText;
}

}  // namespace

class CSerialMonitorTest : public QObject {
    Q_OBJECT

private slots:
    void inputLineSendsLinesAndControls()
    {
        CSerialMonitor monitor;
        QSignalSpy sent(&monitor, &CSerialMonitor::SendRequested);
        QLineEdit* pInput = monitor.Input();
        monitor.show();
        pInput->setFocus();
        QTest::keyClicks(pInput, QStringLiteral("READA? 600"));
        QTest::keyClick(pInput, Qt::Key_Return);
        pInput->setText(QStringLiteral("ID?\\x14"));
        QTest::keyClick(pInput, Qt::Key_Return);
        QTest::keyClick(pInput, Qt::Key_Return);  // an empty line: CR LF alone
        monitor.SendControl('T');
        const QList<QByteArray> expected = {"READA? 600\r\n", "ID?\x14\r\n", "\r\n", "\x14"};
        QCOMPARE(sent.size(), expected.size());
        for (int i = 0; i < expected.size(); i++)
            QCOMPARE(sent[i][0].toByteArray(), expected[i]);
        QVERIFY(pInput->text().isEmpty());

        // Up walks back through the lines sent (no empty ones, no repeats),
        // Down forward again to what was being typed.
        pInput->setText(QStringLiteral("READA? 600"));
        QTest::keyClick(pInput, Qt::Key_Return);
        QCOMPARE(monitor.History(), (QStringList{QStringLiteral("READA? 600"), QStringLiteral("ID?\\x14")}) << QStringLiteral("READA? 600"));
        QTest::keyClicks(pInput, QStringLiteral("CON"));
        QTest::keyClick(pInput, Qt::Key_Up);
        QCOMPARE(pInput->text(), QStringLiteral("READA? 600"));
        QTest::keyClick(pInput, Qt::Key_Up);
        QCOMPARE(pInput->text(), QStringLiteral("ID?\\x14"));
        QTest::keyClick(pInput, Qt::Key_Up);
        QTest::keyClick(pInput, Qt::Key_Up);  // stays at the oldest
        QCOMPARE(pInput->text(), QStringLiteral("READA? 600"));
        QTest::keyClick(pInput, Qt::Key_Down);
        QCOMPARE(pInput->text(), QStringLiteral("ID?\\x14"));
        QTest::keyClick(pInput, Qt::Key_Down);
        QTest::keyClick(pInput, Qt::Key_Down);
        QCOMPARE(pInput->text(), QStringLiteral("CON"));
    }

    void hexViewAndTimestampsKeepTheColours()
    {
        CSerialMonitor monitor;
        uint64_t ullMs = 1250;
        monitor.SetClock([&ullMs] { return ullMs; });
        monitor.AppendInjected("ID?\r\n");
        ullMs = 62005;
        monitor.AppendBytes("E00 Q4");
        ullMs = 62100;
        monitor.AppendBytes("K7\r\n\x14");
        QCOMPARE(monitor.Text(), QStringLiteral("ID?<CR><LF>\nE00 Q4K7<CR><LF>\n<^T>"));

        monitor.HexBox()->click();
        QCOMPARE(monitor.Text(), QStringLiteral("49 44 3F 0D 0A\n45 30 30 20 51 34 4B 37 0D 0A\n14 "));
        QCOMPARE(InjectedText(monitor), QStringLiteral("49 44 3F 0D 0A"));

        monitor.TimestampsBox()->click();
        QCOMPARE(monitor.Text(), QStringLiteral("[1.250] 49 44 3F 0D 0A\n[62.005] 45 30 30 20 51 34 4B 37 0D 0A\n"
                                                "[62.100] 14 "));
        monitor.HexBox()->click();
        QCOMPARE(monitor.Text(), QStringLiteral("[1.250] ID?<CR><LF>\n[62.005] E00 Q4K7<CR><LF>\n[62.100] <^T>"));
        QCOMPARE(InjectedText(monitor), QStringLiteral("ID?<CR><LF>"));
        // What arrives next goes on the open line, stamped only on a new one.
        ullMs = 70000;
        monitor.AppendBytes("x\n");
        monitor.AppendInjected("y");
        QVERIFY(monitor.Text().endsWith(QStringLiteral("[62.100] <^T>x<LF>\n[70.000] y")));
        QCOMPARE(monitor.Bytes(), QByteArray("E00 Q4K7\r\n\x14x\n"));
        monitor.Clear();
        monitor.TimestampsBox()->click();
        QVERIFY(monitor.Text().isEmpty());
    }
};

QTEST_MAIN(CSerialMonitorTest)
#include "serial_monitor_test.moc"
