// The serial monitor: a dock that shows everything the instrument transmits
// and, in blue, everything it receives, with control characters made
// visible or as hexadecimal bytes, each line with the firmware time if
// wished; it can clear it or save what was transmitted, and has an input
// line with a history that sends lines and control characters.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QDockWidget>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// Readable text for transmitted bytes: printable ASCII as it is, CR and LF as
// <CR> and <LF> (a line break follows each LF), TAB as <TAB>, other control
// characters as <^X>, DEL as <DEL> and bytes from 0x80 as <xHH>; four or
// more of one such byte in a row (a hardcopy's bit image) as <^@ x37>.
QString FormatSerialBytes(const QByteArray& abBytes);
// The hex view: "45 30 30 0D 0A", a line break after each LF.
QString FormatSerialHex(const QByteArray& abBytes);

class CSerialMonitor final : public QDockWidget {
    Q_OBJECT
public:
    explicit CSerialMonitor(QWidget* pParent = nullptr);
    void AppendBytes(const QByteArray& abBytes);
    // Bytes the instrument received, shown in another colour.
    void AppendInjected(const QByteArray& abBytes);
    static QColor InjectedColour();
    void Clear();
    // Writes the raw bytes received so far; false with a reason on failure.
    bool SaveTo(const QString& sPath, QString* psError) const;
    const QByteArray& Bytes() const { return m_abRaw; }
    QString Text() const;
    // Whole text lines the view shows; the dock's height for nLines of them.
    int LinesShown() const;
    int HeightForLines(int nLines) const;
    bool Following() const { return m_bFollow; }

    // Where the timestamps come from: firmware milliseconds.
    void SetClock(std::function<uint64_t()> fnMs) { m_fnClock = std::move(fnMs); }
    // Each line begins with the firmware time its first byte arrived at
    // ("[12.350] "); the hex view shows bytes as hexadecimal. Either redraws
    // the recent traffic.
    void SetTimestamps(bool bOn);
    void SetHex(bool bOn);
    QCheckBox* TimestampsBox() const { return m_pTimes; }
    QCheckBox* HexBox() const { return m_pHex; }
    // The input line: Enter sends its text, escapes decoded as in Send
    // Message, with the remote protocol's CR LF; Up and Down walk the lines
    // sent before. The control buttons send CTRL+H, CTRL+R or CTRL+T alone.
    QLineEdit* Input() const { return m_pInput; }
    void SendInputLine();
    void SendControl(char cLetter);
    const QStringList& History() const { return m_history; }
    static constexpr int HISTORY_MAX = 100;

signals:
    void SendRequested(const QByteArray& abBytes);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void OnSave();
    void AppendText(const QByteArray& abBytes, bool bInjected);
    struct Chunk {
        bool bInjected;
        uint64_t ullMs;
        QByteArray abBytes;
    };
    void Render(const Chunk& chunk);
    void Redraw();
    void RecallHistory(int nStep);

    static constexpr qsizetype RAW_LIMIT = 8 << 20;  // bytes kept for saving; the oldest go first
    QPlainTextEdit* m_pView;
    QByteArray m_abRaw;  // everything received since the last clear (up to RAW_LIMIT)
    bool m_bFollow = true;         // the view keeps the newest output in sight
    bool m_bRangeChanging = false; // a size change moves the scroll bar, not the user
    // The recent traffic both ways, for a redraw in another view.
    static constexpr qsizetype CHUNK_LIMIT = 256 << 10;
    std::deque<Chunk> m_chunks;
    qsizetype m_nChunkBytes = 0;
    bool m_bAtLineStart = true;
    bool m_bHex = false;
    bool m_bTimes = false;
    std::function<uint64_t()> m_fnClock;
    QCheckBox* m_pTimes;
    QCheckBox* m_pHex;
    QLineEdit* m_pInput;
    QStringList m_history;   // lines sent, oldest first
    int m_nHistory = 0;      // the line shown: an index into m_history, or its size for the draft
    QString m_sDraft;        // what was typed before walking the history
};
