// Send Message (typed text, escapes, control buttons, newline) as bytes in
// the firmware's receive queue, and the About box's facts and number format.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include "core/serial.h"
#include "dialogs.h"
#include "qt_fixture.h"

class CDialogsTest : public QObject {
    Q_OBJECT

private:
    // Empties the firmware's receive queue.
    static void ClearReceiveQueue() { RingInit(&gRxRing, gRxRing.pbBuffer, RX_RING_SIZE); }

    static QByteArray ReceivedBytes()
    {
        QByteArray abBytes;
        while (gRxRing.unCount > 0)
            abBytes.append(static_cast<char>(RingTake(&gRxRing)));
        return abBytes;
    }

private slots:
    void initTestCase() { SetApplicationNames(); }

    // Each row types a text, presses control buttons (letters in sButtons),
    // then OK (or Cancel), through the application's own command.
    void sendMessageInjectsBytes_data()
    {
        QTest::addColumn<QString>("sTyped");
        QTest::addColumn<QString>("sButtons");
        QTest::addColumn<bool>("bUncheckNewline");
        QTest::addColumn<bool>("bOk");
        QTest::addColumn<QString>("sTextShown");
        QTest::addColumn<QByteArray>("abExpected");
        QTest::newRow("ABC with newline") << "ABC" << "" << false << true << "ABC" << QByteArray("\x41\x42\x43\x0D\x0A");
        QTest::newRow("CTRL+T alone") << "" << "T" << false << true << "\\024" << QByteArray("\x14");
        QTest::newRow("text then CTRL+R") << "AB" << "R" << false << true << "AB\\022" << QByteArray("AB\x12");
        QTest::newRow("all three buttons") << "" << "HRT" << false << true << "\\010\\022\\024" << QByteArray("\x08\x12\x14");
        QTest::newRow("hex escapes") << "\\x41\\x4a" << "" << true << true << "\\x41\\x4a" << QByteArray("AJ");
        QTest::newRow("zero byte kept") << "\\0A" << "" << true << true << "\\0A" << QByteArray("\0A", 2);
        QTest::newRow("empty without newline") << "" << "" << true << true << "" << QByteArray();
        QTest::newRow("cancel after CTRL+H") << "X" << "H" << false << false << "X\\010" << QByteArray();
    }

    void sendMessageInjectsBytes()
    {
        QFETCH(QString, sTyped);
        QFETCH(QString, sButtons);
        QFETCH(bool, bUncheckNewline);
        QFETCH(bool, bOk);
        QFETCH(QString, sTextShown);
        QFETCH(QByteArray, abExpected);

        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        QVERIFY(pApp);
        ClearReceiveQueue();

        bool bSeen = false;
        QTimer::singleShot(0, this, [&] {
            auto* pDlg = qobject_cast<CSendMessageDlg*>(QApplication::activeModalWidget());
            if (!pDlg)
                return;
            bSeen = true;
            // whatever a check below finds, the dialog must close
            auto closeAnyway = qScopeGuard([pDlg] {
                if (pDlg->isVisible())
                    pDlg->reject();
            });
            auto* pText = pDlg->findChild<QLineEdit*>(QStringLiteral("text"));
            auto* pNewline = pDlg->findChild<QCheckBox*>(QStringLiteral("appendNewline"));
            QVERIFY(pText && pNewline);
            QVERIFY(pText->text().isEmpty());
            QVERIFY(pNewline->isChecked());
            QTest::keyClicks(pText, sTyped);
            if (bUncheckNewline)
                pNewline->setChecked(false);
            for (QChar c : sButtons)
                pDlg->findChild<QPushButton*>(QStringLiteral("ctrl") + c)->click();
            QCOMPARE(pText->text(), sTextShown);
            if (!sButtons.isEmpty())
                QVERIFY(!pNewline->isChecked());
            if (bOk)
                pDlg->accept();
            else
                pDlg->reject();
        });
        pApp->OnSendMessage();
        QVERIFY(bSeen);
        QCOMPARE(ReceivedBytes(), abExpected);
    }

    void thousandsGroupedByCommas_data()
    {
        QTest::addColumn<quint64>("ullValue");
        QTest::addColumn<QString>("sText");
        QTest::newRow("0") << quint64(0) << "0";
        QTest::newRow("999") << quint64(999) << "999";
        QTest::newRow("1000") << quint64(1000) << "1,000";
        QTest::newRow("1000001") << quint64(1000001) << "1,000,001";
        QTest::newRow("2097152") << quint64(2097152) << "2,097,152";
        QTest::newRow("largest") << quint64(18446744073709551615ULL) << "18,446,744,073,709,551,615";
    }

    void thousandsGroupedByCommas()
    {
        QFETCH(quint64, ullValue);
        QFETCH(QString, sText);
        QCOMPARE(GroupThousands(ullValue), sText);
    }

    void aboutBoxShowsFacts()
    {
        CAboutDlg dlg(nullptr, false);
        auto text = [&](const char* pszName) { return dlg.findChild<QLabel*>(QString::fromLatin1(pszName))->text(); };
        dlg.ShowFacts(2097152, true, 1000);
        QCOMPARE(text("memory"), QStringLiteral("2,097,152 KB"));
        QCOMPARE(text("coprocessor"), QStringLiteral("Present"));
        QCOMPARE(text("disk"), QStringLiteral("1,000 KB Free"));

        CAboutDlg failed(nullptr, false);
        failed.ShowFacts(std::nullopt, false, std::nullopt);
        QCOMPARE(failed.findChild<QLabel*>(QStringLiteral("memory"))->text(), QStringLiteral("0 KB"));
        QCOMPARE(failed.findChild<QLabel*>(QStringLiteral("coprocessor"))->text(), QStringLiteral("Not present"));
        QCOMPARE(failed.findChild<QLabel*>(QStringLiteral("disk"))->text(), QStringLiteral("0 KB Free"));
    }

    // The facts come from the running system: some memory and a disk.
    void hostFactsFromTheSystem()
    {
        const auto memory = TotalMemoryKb();
        QVERIFY(memory.has_value());
        QVERIFY(*memory > 1024);
        QVERIFY(FreeDiskKb(".").has_value());
        QVERIFY(!FreeDiskKb("/no/such/directory/here").has_value());
    }
};

QTEST_MAIN(CDialogsTest)
#include "dialogs_test.moc"
