// File/Open EEPROM Image... and the recent list, on a window whose firmware
// is not started: a new image is checked as at start, a refused one leaves
// the instrument on its image, a sound one restarts the simulator on it, and
// the profile keeps the images used last.
#include <QFile>
#include <QMenu>
#include <QTest>

#include "eeprom_bus.h"
#include "qt_fixture.h"

namespace {

bool WriteFile(const QString& sPath, qsizetype nSize)
{
    QFile file(sPath);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(nSize, '\xFF')) == nSize;
}

QStringList RecentTexts(QMenu* pMenu)
{
    QStringList texts;
    for (QAction* pAction : pMenu->actions())
        texts << pAction->text();
    return texts;
}

}  // namespace

class CEepromSwitchTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;

private slots:
    void initTestCase()
    {
        SetApplicationNames();
        m_pEnv = std::make_unique<CScratchEnvironment>();
        m_pApp = StartWindowOnly();
        QVERIFY(m_pApp);
    }

    void cleanupTestCase()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    void refusedImageLeavesTheInstrumentAlone()
    {
        const QString sInUse = m_pEnv->Path() + QStringLiteral("/eeprom.bin");
        QCOMPARE(m_pApp->RecentEepromFiles(), QStringList{sInUse});
        QString sError;
        const QString sShort = m_pEnv->Path() + QStringLiteral("/short.bin");
        QVERIFY(WriteFile(sShort, 1000));
        QVERIFY(!m_pApp->SwitchEeprom(sShort, &sError));
        QVERIFY2(sError.contains(QStringLiteral("short.bin")) && sError.contains(QStringLiteral("runs on with")),
                 qPrintable(sError));
        QCOMPARE(QFileInfo(sShort).size(), 1000);  // left untouched
        QVERIFY(!m_pApp->SwitchEeprom(m_pEnv->Path() + QStringLiteral("/gone.bin"), &sError));
        QVERIFY(sError.contains(QStringLiteral("no longer exists")));
        QVERIFY(!m_pApp->SwitchEeprom(QStringLiteral("eeprom.bin"), &sError));
        QVERIFY(sError.contains(QStringLiteral("in use")));
        QVERIFY(!m_pApp->RestartRequested());
        QCOMPARE(m_pApp->RestartArguments(), QCoreApplication::arguments());
        QCOMPARE(m_pApp->RecentEepromFiles(), QStringList{sInUse});
        QVERIFY(!m_pApp->Frame()->RecentMenu()->isEnabled());
    }

    // The check closes the new file again: nothing of it stays locked.
    void soundImageRestartsOnIt()
    {
        const QString sOther = m_pEnv->Path() + QStringLiteral("/other.bin");
        QVERIFY(WriteFile(sOther, CEeprom::MEMORY_SIZE));
        QString sError;
        QVERIFY2(m_pApp->SwitchEeprom(sOther, &sError), qPrintable(sError));
        QVERIFY(m_pApp->RestartRequested());
        const QStringList args = m_pApp->RestartArguments();
        QCOMPARE(args.mid(args.size() - 2), (QStringList{QStringLiteral("--eeprom"), sOther}));
        QCOMPARE(args.count(QStringLiteral("--eeprom")), 1);
        CEepromBus again(sOther.toStdString());
        QVERIFY(!again.ReadOnly());
        QCOMPARE(m_pApp->RecentEepromFiles(), (QStringList{sOther, m_pEnv->Path() + QStringLiteral("/eeprom.bin")}));
        // The menu offers the images not in use, numbered.
        QCOMPARE(RecentTexts(m_pApp->Frame()->RecentMenu()), QStringList{QStringLiteral("&1 ") + sOther});
    }
};

QTEST_MAIN(CEepromSwitchTest)
#include "eeprom_switch_test.moc"
