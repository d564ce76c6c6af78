// Options/Keys... and Help/User Guide on a window whose firmware is not
// started: the keyboard map works the panel, is checked, survives in the
// profile; the guide's window shows the chapters and follows their links.
#include <QDir>
#include <QListWidget>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>

#include "display/lcd.h"
#include "key_map.h"
#include "keys_dialog.h"
#include "qt_fixture.h"

class CKeysTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetApplicationNames(); }

    void mapWorksThePanelAndIsKept()
    {
        CScratchEnvironment env;
        {
            auto pApp = StartWindowOnly();
            QCOMPARE(CHaldenView::ShortcutText(KEY_TEST), QStringLiteral("T or Enter"));
            KeyMap keyMap = DefaultKeyMap();
            keyMap[KEY_SOFT1] = {Qt::Key_F5, Qt::Key_Q};
            keyMap[KEY_TEST] = {Qt::Key_T};
            pApp->Frame()->ApplyKeyMap(keyMap);
            QVERIFY(pApp->View()->Key(KEY_SOFT1)->toolTip().contains(QStringLiteral("F5 or Q")));
        }
        SetKeyMap(DefaultKeyMap());
        auto pApp = StartWindowOnly();  // reads the profile
        QCOMPARE(CHaldenView::KeyForShortcut(Qt::Key_F5), uint8_t(KEY_SOFT1));
        QCOMPARE(CHaldenView::KeyForShortcut(Qt::Key_1), uint8_t(0));
        QCOMPARE(CHaldenView::KeyForShortcut(Qt::Key_Return), uint8_t(0));
        QWidget* pCanvas = pApp->View()->Canvas();
        pApp->Frame()->activateWindow();
        QTest::keyPress(pCanvas, Qt::Key_Q);
        QCOMPARE(DownKeys(), QList<int>{KEY_SOFT1});
        QTest::keyRelease(pCanvas, Qt::Key_Q);
        QTest::keyPress(pCanvas, Qt::Key_1);
        QCOMPARE(DownKeys(), QList<int>{});
        QTest::keyRelease(pCanvas, Qt::Key_1);
        QCOMPARE(CHaldenView::ShortcutText(KEY_SOFT1), QStringLiteral("F5 or Q"));
        SetKeyMap(DefaultKeyMap());
    }

    void badMapsAreRefused_data()
    {
        QTest::addColumn<int>("nCode");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("sWhy");
        QTest::newRow("twice") << int(KEY_SOFT2) << QList<int>{Qt::Key_S} << QStringLiteral("S is given to both Soft key F2 and Standby");
        QTest::newRow("menu key") << int(KEY_REF) << QList<int>{Qt::Key_F11} << QStringLiteral("F11 is a menu shortcut and cannot work Reference");
        QTest::newRow("none") << int(KEY_ESCAPE) << QList<int>{} << QStringLiteral("Escape has no keyboard key.");
    }

    void badMapsAreRefused()
    {
        QFETCH(int, nCode);
        QFETCH(QList<int>, keys);
        QFETCH(QString, sWhy);
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        const QList<int> reserved = pApp->Frame()->ReservedKeys();
        QVERIFY(reserved.contains(Qt::Key_F1) && reserved.contains(Qt::Key_F12) && reserved.contains(Qt::Key_Pause));
        KeyMap keyMap = DefaultKeyMap();
        keyMap[nCode] = keys;
        QVERIFY2(CheckKeyMap(keyMap, reserved).startsWith(sWhy), qPrintable(CheckKeyMap(keyMap, reserved)));

        // The dialog refuses it and stays open; Defaults mends it.
        CKeysDlg dlg(keyMap, reserved);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(dlg.Refusal().startsWith(sWhy));
        dlg.SetMap(DefaultKeyMap());
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        // A profile with such a map, edited by hand, gives the defaults.
        {
            QSettings settings;
            WriteKeyMap(settings, keyMap);
        }
        pApp.reset();
        pApp = StartWindowOnly();
        QCOMPARE(CurrentKeyMap(), DefaultKeyMap());
        QCOMPARE(CHaldenView::KeyForShortcut(Qt::Key_F11), uint8_t(0));
    }

    void fieldsTakeTheKeyPressed()
    {
        CKeysDlg dlg(DefaultKeyMap(), {});
        CKeyField* pField = dlg.Field(KEY_SOFT1, 0);
        QCOMPARE(pField->text(), QStringLiteral("1"));
        QTest::keyClick(pField, Qt::Key_F6);
        QTest::keyClick(pField, Qt::Key_X, Qt::ControlModifier);  // no modified keys
        QCOMPARE(dlg.Chosen()[KEY_SOFT1], QList<int>{Qt::Key_F6});
        QTest::keyClick(dlg.Field(KEY_SOFT1, 1), Qt::Key_A);
        QCOMPARE(dlg.Chosen()[KEY_SOFT1], (QList<int>{Qt::Key_F6, Qt::Key_A}));
        QTest::keyClick(pField, Qt::Key_Delete);
        QCOMPARE(dlg.Chosen()[KEY_SOFT1], QList<int>{Qt::Key_A});
        // Enter stands for Return and the keypad's Enter alike.
        QCOMPARE(dlg.Field(KEY_TEST, 1)->text(), QStringLiteral("Enter"));
        QCOMPARE(dlg.Chosen()[KEY_TEST], (QList<int>{Qt::Key_T, Qt::Key_Return, Qt::Key_Enter}));
    }

    // The firmware's soft-key labels, drawn into the display, sit level
    // with the keys beside them at every zoom.
    void softKeysFaceTheirLabels()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        CHaldenView* pView = pApp->View();
        LcdSoftKeyFrame(0, 0x0F);
        QList<int> rows;  // display rows of the boxes' top and bottom lines
        for (int y = 0; y < CLcdWnd::HEIGHT; y++)
            if (pView->Instrument().Pixel(30, y))
                rows << y;
        QCOMPARE(rows.size(), 8);
        for (int nZoom = 1; nZoom <= 4; nZoom++) {
            pApp->Frame()->SetZoom(nZoom);
            QCoreApplication::processEvents();
            const int nLcdTop = pView->Lcd()->mapTo(pView->Canvas(), QPoint(0, 0)).y();
            for (int i = 0; i < 4; i++) {
                const double dLabel = nLcdTop + (rows[2 * i] + rows[2 * i + 1] + 1) / 2.0 * nZoom;
                const QRect rKey = pView->Key(static_cast<uint8_t>(KEY_SOFT1 + i))->geometry();
                const double dKey = rKey.top() + rKey.height() / 2.0;
                QVERIFY2(std::abs(dKey - dLabel) <= nZoom,
                         qPrintable(QStringLiteral("F%1 at %2x: key centre %3, label centre %4").arg(i + 1).arg(nZoom).arg(dKey).arg(dLabel)));
            }
        }
    }

    void guideShowsTheChapters()
    {
        CScratchEnvironment env;
        auto pApp = StartWindowOnly();
        pApp->Frame()->OnUserGuide();
        auto* pGuide = qobject_cast<CGuideWindow*>(pApp->Frame()->GuideWindow());
        QVERIFY(pGuide && pGuide->isVisible());
        const QStringList expected = QDir(QStringLiteral(HALDEN_SOURCE_DIR "/docs")).entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name);
        QCOMPARE(pGuide->Files(), expected);
        QCOMPARE(pGuide->Chapters()->currentItem()->text(), QStringLiteral("The desktop simulator"));
        QVERIFY(pGuide->Browser()->toPlainText().contains(QStringLiteral("Recording a session and running scenarios")));
        // A link to another chapter opens it and selects it in the list.
        pGuide->Browser()->setSource(QUrl(QStringLiteral("halden-cli.md")));
        QCOMPARE(pGuide->Chapters()->currentItem()->text(), QStringLiteral("halden-cli and the scenario language"));
        QVERIFY(pGuide->Browser()->toPlainText().contains(QStringLiteral("wait-screen")));
        pGuide->Chapters()->setCurrentRow(static_cast<int>(expected.indexOf(QStringLiteral("samples.md"))));
        QCOMPARE(QFileInfo(pGuide->Browser()->source().path()).fileName(), QStringLiteral("samples.md"));
    }
};

QTEST_MAIN(CKeysTest)
#include "keys_test.moc"
