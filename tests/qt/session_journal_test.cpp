// The journal behind File/Record Session...: a long session's entries go to
// a temporary file in blocks, so the memory it holds stays bounded, and the
// scenario made from it is the one an all-in-memory journal makes, input
// for input; a new power-up starts a fresh journal.
#include <QTest>

#include <cstdint>
#include <random>
#include <string>

#include "session_recorder.h"

namespace {

using Input = CInstrument::HostInput;

Input KeyInput(uint8_t bKey, bool bDown)
{
    Input input;
    input.kind = Input::Kind::Key;
    input.bKey = bKey;
    input.bDown = bDown;
    return input;
}

Input SerialInput(std::string sBytes)
{
    Input input;
    input.kind = Input::Kind::Serial;
    input.sBytes = std::move(sBytes);
    return input;
}

Input CallInput(std::string sDescription)
{
    Input input;
    input.kind = Input::Kind::Call;
    input.sDescription = std::move(sDescription);
    return input;
}

// The lines of a scenario that are inputs: neither waits nor comments.
QStringList InputLines(const std::string& sText)
{
    QStringList lines;
    for (const QString& sLine : QString::fromStdString(sText).split(QLatin1Char('\n')))
        if (!sLine.isEmpty() && !sLine.startsWith(QLatin1String("wait ")) && !sLine.startsWith(QLatin1Char('#')))
            lines.append(sLine);
    return lines;
}

}  // namespace

class CSessionJournalTest : public QObject {
    Q_OBJECT

private slots:
    // A busy session of keys, samples and a client's bytes (quotes, line
    // ends and NULs among them) with the recording begun in its middle.
    void longSessionStaysBoundedAndWhole()
    {
        constexpr size_t MEMORY = 64;
        CSessionRecorder spooled(MEMORY);
        CSessionRecorder inMemory(1 << 30);
        const uint8_t abImage[] = {1, 2, 3, 4};
        spooled.PowerUp(abImage, sizeof abImage, true);
        inMemory.PowerUp(abImage, sizeof abImage, true);

        std::mt19937 random(34);
        uint64_t ullTick = 0;
        size_t nMostInMemory = 0;
        constexpr int INPUTS = 20000;
        spooled.InputApplied(0, KeyInput(12, true));
        inMemory.InputApplied(0, KeyInput(12, true));
        for (int i = 0; i < INPUTS; i++) {
            ullTick += random() % 3;
            if (i == INPUTS / 2) {
                spooled.Begin(ullTick);
                inMemory.Begin(ullTick);
            }
            Input input;
            switch (random() % 4) {
            case 0:
                input = KeyInput(static_cast<uint8_t>(1 + random() % 12), random() % 2 == 0);
                break;
            case 1:
                input = CallInput("sample \"dye\" " + std::to_string(i));
                break;
            default:
                input = SerialInput(std::string("READA? ") + std::to_string(i) + "\"\r\n" + std::string(1, '\0'));
                break;
            }
            spooled.InputApplied(ullTick, input);
            inMemory.InputApplied(ullTick, input);
            nMostInMemory = std::max(nMostInMemory, spooled.EntriesInMemory());
        }
        spooled.InputApplied(++ullTick, SerialInput("LAST\r\n"));
        inMemory.InputApplied(ullTick, SerialInput("LAST\r\n"));
        QVERIFY2(nMostInMemory < MEMORY, qPrintable(QString::number(nMostInMemory)));

        const std::optional<std::string> text = spooled.End(ullTick + 10, "session.eeprom.bin");
        const std::optional<std::string> whole = inMemory.End(ullTick + 10, "session.eeprom.bin");
        QVERIFY(text && whole);
        const QStringList lines = InputLines(*text);
        QCOMPARE(lines.size(), INPUTS + 3);  // "heater fitted", then every input
        QCOMPARE(lines.mid(0, 2), (QStringList{QStringLiteral("heater fitted"), QStringLiteral("press standby")}));
        QCOMPARE(lines.back(), QStringLiteral("send \"LAST\\r\\n\""));
        QCOMPARE(*text, *whole);
    }

    // A new power-up starts the journal afresh, whatever went to the file.
    void powerUpStartsAfresh()
    {
        CSessionRecorder recorder(8);
        const uint8_t abImage[] = {0};
        recorder.PowerUp(abImage, sizeof abImage, false);
        for (uint64_t i = 0; i < 100; i++)
            recorder.InputApplied(i, SerialInput("before"));
        recorder.PowerUp(abImage, sizeof abImage, false);
        recorder.InputApplied(2, KeyInput(5, true));
        recorder.InputApplied(3, SerialInput("after"));
        recorder.Begin(1);
        const std::optional<std::string> text = recorder.End(4, "image.bin");
        QVERIFY(text);
        QCOMPARE(InputLines(*text), (QStringList{QStringLiteral("press test"), QStringLiteral("send \"after\"")}));
    }
};

QTEST_APPLESS_MAIN(CSessionJournalTest)
#include "session_journal_test.moc"
