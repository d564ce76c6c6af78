// File/Open EEPROM Image... and the recent list, on a window whose firmware
// is not started: a new image is checked as at start, a refused one leaves
// the instrument on its image, a sound one restarts the simulator on it, and
// the profile keeps the images used last.
#include <QFile>
#include <QMenu>
#include <QTest>

#include "dock_tools.h"
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
    // Each kind of file dialog starts where the last one of its kind ended.
    void fileDialogsRememberTheirFolder()
    {
        QCOMPARE(DialogStart(QStringLiteral("Save Chart"), QStringLiteral("chart.png")), QStringLiteral("chart.png"));
        NoteDialogFolder(QStringLiteral("Save Chart"), m_pEnv->Path() + QStringLiteral("/chart.csv"));
        QCOMPARE(DialogStart(QStringLiteral("Save Chart"), QStringLiteral("chart.png")),
                 m_pEnv->Path() + QStringLiteral("/chart.png"));
        QCOMPARE(DialogStart(QStringLiteral("Run Scenario")), QString());
        QCOMPARE(DialogStart(QStringLiteral("Save Chart")), m_pEnv->Path());
        NoteDialogFolder(QStringLiteral("Save Printout"), m_pEnv->Path() + QStringLiteral("/gone/p.png"));
        QCOMPARE(DialogStart(QStringLiteral("Save Printout"), QStringLiteral("p.png")), QStringLiteral("p.png"));
    }

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
        QVERIFY2(!sError.contains(QStringLiteral("--eeprom")), qPrintable(sError));
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

    // The window's wording of the board's refusals: the fact, no command line.
    void problemTextLeavesOutTheCommandLine()
    {
        CEepromBus folder(m_pEnv->Path().toStdString());
        QVERIFY(folder.Refused());
        QVERIFY(QString::fromStdString(folder.StatusMessage()).contains(QStringLiteral("--eeprom")));
        QCOMPARE(EepromProblemText(folder.StatusMessage()),
                 m_pEnv->Path() + QStringLiteral(" is a directory, not an EEPROM image."));
        QCOMPARE(EepromProblemText("cannot open x.bin (no such file)"), QStringLiteral("Cannot open x.bin (no such file)."));
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
