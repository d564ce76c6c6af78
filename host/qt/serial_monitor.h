// The serial monitor: a dock that shows everything the instrument transmits,
// with control characters made visible, and can clear or save it.
#pragma once

#include <QByteArray>
#include <QDockWidget>
#include <QString>

class QPlainTextEdit;

// Readable text for transmitted bytes: printable ASCII as it is, CR and LF as
// <CR> and <LF> (a line break follows each LF), TAB as <TAB>, other control
// characters as <^X>, DEL as <DEL> and bytes from 0x80 as <xHH>.
QString FormatSerialBytes(const QByteArray& abBytes);

class CSerialMonitor final : public QDockWidget {
    Q_OBJECT
public:
    explicit CSerialMonitor(QWidget* pParent = nullptr);
    void AppendBytes(const QByteArray& abBytes);
    void Clear();
    // Writes the raw bytes received so far; false with a reason on failure.
    bool SaveTo(const QString& sPath, QString* psError) const;
    const QByteArray& Bytes() const { return m_abRaw; }
    QString Text() const;

private:
    void OnSave();

    static constexpr qsizetype RAW_LIMIT = 8 << 20;  // bytes kept for saving; the oldest go first
    QPlainTextEdit* m_pView;
    QByteArray m_abRaw;  // everything received since the last clear (up to RAW_LIMIT)
};
