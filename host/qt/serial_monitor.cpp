// The serial monitor dock.
#include "serial_monitor.h"

#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include <algorithm>

#include "dock_tools.h"

#include "escape.h"

namespace {

// A byte outside printable ASCII as the monitor shows it, without the brackets.
QString ControlName(uint8_t b)
{
    if (b == '\r')
        return QStringLiteral("CR");
    if (b == '\n')
        return QStringLiteral("LF");
    if (b == '\t')
        return QStringLiteral("TAB");
    if (b < 0x20)
        return QStringLiteral("^%1").arg(QChar(b + 64));
    if (b == 0x7F)
        return QStringLiteral("DEL");
    return QStringLiteral("x%1").arg(QString::number(b, 16).toUpper());
}

constexpr qsizetype RUN_SHOWN_AS_COUNT = 4;  // a run this long of one unprintable byte shows as a count

}  // namespace

QString FormatSerialBytes(const QByteArray& abBytes)
{
    QString sText;
    sText.reserve(abBytes.size() * 2);
    for (qsizetype i = 0; i < abBytes.size();) {
        const auto b = static_cast<uint8_t>(abBytes[i]);
        if (b >= 0x20 && b < 0x7F) {
            sText += QChar(b);
            i++;
            continue;
        }
        qsizetype nRun = 1;
        while (i + nRun < abBytes.size() && abBytes[i + nRun] == abBytes[i])
            nRun++;
        if (b != '\n' && b != '\r' && nRun >= RUN_SHOWN_AS_COUNT) {
            sText += QStringLiteral("<%1 x%2>").arg(ControlName(b)).arg(nRun);
            i += nRun;
            continue;
        }
        sText += QLatin1Char('<') + ControlName(b) + QLatin1Char('>');
        if (b == '\n')
            sText += QLatin1Char('\n');
        i++;
    }
    return sText;
}

QString FormatSerialHex(const QByteArray& abBytes)
{
    QString sText;
    sText.reserve(abBytes.size() * 3);
    static const char kacHex[] = "0123456789ABCDEF";
    for (char c : abBytes) {
        const auto b = static_cast<uint8_t>(c);
        sText += QLatin1Char(kacHex[b >> 4]);
        sText += QLatin1Char(kacHex[b & 15]);
        sText += b == '\n' ? QLatin1Char('\n') : QLatin1Char(' ');
    }
    return sText;
}

CSerialMonitor::CSerialMonitor(QWidget* pParent) : QDockWidget(QStringLiteral("Serial Monitor"), pParent)
{
    setObjectName(QStringLiteral("serialMonitor"));
    auto* pBody = new QWidget;
    m_pView = new QPlainTextEdit;
    m_pView->setReadOnly(true);
    m_pView->setFocusPolicy(Qt::ClickFocus);
    m_pView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_pView->setMaximumBlockCount(5000);
    // The view follows new output while it shows the end, whatever changes
    // its size (a zoom, a resized dock); scrolling up stops that until the
    // end is shown again.
    QScrollBar* pBar = m_pView->verticalScrollBar();
    connect(pBar, &QScrollBar::valueChanged, this, [this, pBar](int nValue) {
        if (!m_bRangeChanging)
            m_bFollow = nValue >= pBar->maximum();
    });
    connect(pBar, &QScrollBar::rangeChanged, this, [this, pBar](int, int nMax) {
        m_bRangeChanging = true;
        if (m_bFollow)
            pBar->setValue(nMax);
        m_bRangeChanging = false;
    });
    m_pView->setPlaceholderText(
        QStringLiteral("What the instrument sends on its serial port appears here, and in blue what it receives."));

    // The input line with its control buttons.
    m_pInput = new QLineEdit;
    m_pInput->setObjectName(QStringLiteral("serialInput"));
    m_pInput->setPlaceholderText(QStringLiteral("A command for the instrument; Enter sends it with CR LF"));
    m_pInput->setToolTip(QStringLiteral("Enter sends the line with CR LF; escapes such as \\x14 are decoded.\n"
                                        "Up and Down recall the lines sent before."));
    m_pInput->installEventFilter(this);
    connect(m_pInput, &QLineEdit::returnPressed, this, &CSerialMonitor::SendInputLine);
    auto* pInputRow = new QHBoxLayout;
    pInputRow->addWidget(m_pInput, 1);
    for (char cLetter : {'H', 'R', 'T'}) {
        auto* pControl = new QPushButton(QStringLiteral("^%1").arg(QLatin1Char(cLetter)));
        pControl->setToolTip(QStringLiteral("Send CTRL+%1 alone").arg(QLatin1Char(cLetter)));
        pControl->setFocusPolicy(Qt::NoFocus);
        connect(pControl, &QPushButton::clicked, this, [this, cLetter] { SendControl(cLetter); });
        pInputRow->addWidget(pControl);
    }

    m_pTimes = new QCheckBox(QStringLiteral("Times"));
    m_pTimes->setToolTip(QStringLiteral("Begin each line with the firmware time, in seconds"));
    m_pTimes->setFocusPolicy(Qt::NoFocus);
    connect(m_pTimes, &QCheckBox::toggled, this, &CSerialMonitor::SetTimestamps);
    m_pHex = new QCheckBox(QStringLiteral("Hex"));
    m_pHex->setToolTip(QStringLiteral("Show the bytes as hexadecimal"));
    m_pHex->setFocusPolicy(Qt::NoFocus);
    connect(m_pHex, &QCheckBox::toggled, this, &CSerialMonitor::SetHex);

    auto* pClear = new QPushButton(QStringLiteral("Clear"));
    auto* pSave = new QPushButton(QStringLiteral("Save..."));
    pClear->setFocusPolicy(Qt::NoFocus);
    pSave->setFocusPolicy(Qt::NoFocus);
    connect(pClear, &QPushButton::clicked, this, &CSerialMonitor::Clear);
    connect(pSave, &QPushButton::clicked, this, &CSerialMonitor::OnSave);

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pTimes);
    pButtons->addWidget(m_pHex);
    pButtons->addStretch();
    pButtons->addWidget(pClear);
    pButtons->addWidget(pSave);
    auto* pLayout = new QVBoxLayout(pBody);
    pLayout->setContentsMargins(4, 4, 4, 4);
    pLayout->addWidget(m_pView);
    pLayout->addLayout(pButtons);
    pLayout->addLayout(pInputRow);
    setWidget(pBody);
}

void CSerialMonitor::AppendBytes(const QByteArray& abBytes)
{
    m_abRaw.append(abBytes);
    if (m_abRaw.size() > RAW_LIMIT)
        m_abRaw.remove(0, m_abRaw.size() - RAW_LIMIT);
    AppendText(abBytes, false);
}

void CSerialMonitor::AppendInjected(const QByteArray& abBytes) { AppendText(abBytes, true); }

QColor CSerialMonitor::InjectedColour() { return QColor(0, 64, 224); }

void CSerialMonitor::AppendText(const QByteArray& abBytes, bool bInjected)
{
    Chunk chunk{bInjected, m_fnClock ? m_fnClock() : 0, abBytes};
    m_chunks.push_back(chunk);
    m_nChunkBytes += abBytes.size();
    while (m_nChunkBytes > CHUNK_LIMIT && m_chunks.size() > 1) {
        m_nChunkBytes -= m_chunks.front().abBytes.size();
        m_chunks.pop_front();
    }
    Render(chunk);
    if (m_bFollow)
        m_pView->verticalScrollBar()->setValue(m_pView->verticalScrollBar()->maximum());
}

// The chunk's text in its direction's colour, a line's time before it.
void CSerialMonitor::Render(const Chunk& chunk)
{
    QTextCursor cursor(m_pView->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    if (chunk.bInjected)
        format.setForeground(InjectedColour());
    const QString sText = m_bHex ? FormatSerialHex(chunk.abBytes) : FormatSerialBytes(chunk.abBytes);
    if (!m_bTimes) {
        cursor.insertText(sText, format);
    } else {
        QTextCharFormat timeFormat;
        timeFormat.setForeground(QColor(128, 128, 128));
        const QString sTime = QStringLiteral("[%1.%2] ")
                                  .arg(chunk.ullMs / 1000)
                                  .arg(chunk.ullMs % 1000, 3, 10, QLatin1Char('0'));
        for (qsizetype nAt = 0; nAt < sText.size();) {
            qsizetype nEnd = sText.indexOf(QLatin1Char('\n'), nAt);
            nEnd = nEnd < 0 ? sText.size() : nEnd + 1;
            if (m_bAtLineStart)
                cursor.insertText(sTime, timeFormat);
            cursor.insertText(sText.mid(nAt, nEnd - nAt), format);
            m_bAtLineStart = sText[nEnd - 1] == QLatin1Char('\n');
            nAt = nEnd;
        }
        return;
    }
    if (!sText.isEmpty())
        m_bAtLineStart = sText.endsWith(QLatin1Char('\n'));
}

void CSerialMonitor::Redraw()
{
    m_pView->clear();
    m_bAtLineStart = true;
    for (const Chunk& chunk : m_chunks)
        Render(chunk);
    m_pView->verticalScrollBar()->setValue(m_pView->verticalScrollBar()->maximum());
}

void CSerialMonitor::SetTimestamps(bool bOn)
{
    if (m_bTimes == bOn)
        return;
    m_bTimes = bOn;
    m_pTimes->setChecked(bOn);
    Redraw();
}

void CSerialMonitor::SetHex(bool bOn)
{
    if (m_bHex == bOn)
        return;
    m_bHex = bOn;
    m_pHex->setChecked(bOn);
    Redraw();
}

void CSerialMonitor::SendInputLine()
{
    const QString sLine = m_pInput->text();
    const std::string sBytes = DecodeEscapes(sLine.toStdString()) + "\r\n";
    if (!sLine.isEmpty() && (m_history.isEmpty() || m_history.last() != sLine)) {
        m_history.append(sLine);
        if (m_history.size() > HISTORY_MAX)
            m_history.removeFirst();
    }
    m_nHistory = static_cast<int>(m_history.size());
    m_sDraft.clear();
    m_pInput->clear();
    emit SendRequested(QByteArray(sBytes.data(), static_cast<qsizetype>(sBytes.size())));
}

void CSerialMonitor::SendControl(char cLetter)
{
    emit SendRequested(QByteArray(1, static_cast<char>(cLetter - '@')));
}

// nStep -1 goes to the line sent before, +1 back towards the draft.
void CSerialMonitor::RecallHistory(int nStep)
{
    const int nCount = static_cast<int>(m_history.size());
    const int nTo = std::clamp(m_nHistory + nStep, 0, nCount);
    if (nTo == m_nHistory)
        return;
    if (m_nHistory == nCount)
        m_sDraft = m_pInput->text();
    m_nHistory = nTo;
    m_pInput->setText(nTo == nCount ? m_sDraft : m_history[nTo]);
}

bool CSerialMonitor::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pInput && pEvent->type() == QEvent::KeyPress) {
        const int nKey = static_cast<QKeyEvent*>(pEvent)->key();
        if (nKey == Qt::Key_Up || nKey == Qt::Key_Down) {
            RecallHistory(nKey == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QDockWidget::eventFilter(pWatched, pEvent);
}

int CSerialMonitor::LinesShown() const
{
    return m_pView->viewport()->height() / std::max(1, m_pView->fontMetrics().lineSpacing());
}

// The text's lines, the view's frame and document margins, the button row
// and the input line, the layout's margins and spacing, and the dock's title.
int CSerialMonitor::HeightForLines(int nLines) const
{
    const int nText = nLines * m_pView->fontMetrics().lineSpacing() + 2 * m_pView->frameWidth() +
                      2 * static_cast<int>(m_pView->document()->documentMargin()) + 2;
    const QLayout* pLayout = widget()->layout();
    const QMargins margins = pLayout->contentsMargins();
    int nRest = margins.top() + margins.bottom();
    for (int i = 1; i < pLayout->count(); i++)
        nRest += pLayout->itemAt(i)->sizeHint().height() + pLayout->spacing();
    const int nTitle = fontMetrics().height() + 2 * style()->pixelMetric(QStyle::PM_DockWidgetTitleMargin, nullptr, this) + 4;
    return nText + nRest + nTitle;
}

void CSerialMonitor::Clear()
{
    m_abRaw.clear();
    m_chunks.clear();
    m_nChunkBytes = 0;
    m_bAtLineStart = true;
    m_pView->clear();
}

QString CSerialMonitor::Text() const { return m_pView->toPlainText(); }

bool CSerialMonitor::SaveTo(const QString& sPath, QString* psError) const
{
    QFile file(sPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(m_abRaw) != m_abRaw.size() || !file.flush()) {
        if (psError)
            *psError = file.errorString();
        return false;
    }
    return true;
}

void CSerialMonitor::OnSave()
{
    const QString sPath = AskSaveFileName(this, QStringLiteral("Save Serial Output"), QStringLiteral("serial.txt"));
    if (sPath.isEmpty())
        return;
    QString sError;
    if (!SaveTo(sPath, &sError))
        QMessageBox::warning(this, QStringLiteral("Save Serial Output"), QStringLiteral("Cannot write %1: %2").arg(sPath, sError));
}
