// The serial monitor: a dock that shows everything the instrument transmits
// and, in blue, everything it receives, with control characters made
// visible, and can clear it or save what was transmitted.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QDockWidget>
#include <QString>

class QPlainTextEdit;

// Readable text for transmitted bytes: printable ASCII as it is, CR and LF as
// <CR> and <LF> (a line break follows each LF), TAB as <TAB>, other control
// characters as <^X>, DEL as <DEL> and bytes from 0x80 as <xHH>; four or
// more of one such byte in a row (a hardcopy's bit image) as <^@ x37>.
QString FormatSerialBytes(const QByteArray& abBytes);

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

private:
    void OnSave();
    void AppendText(const QByteArray& abBytes, bool bInjected);

    static constexpr qsizetype RAW_LIMIT = 8 << 20;  // bytes kept for saving; the oldest go first
    QPlainTextEdit* m_pView;
    QByteArray m_abRaw;  // everything received since the last clear (up to RAW_LIMIT)
    bool m_bFollow = true;         // the view keeps the newest output in sight
    bool m_bRangeChanging = false; // a size change moves the scroll bar, not the user
};
