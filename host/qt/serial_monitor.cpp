// The serial monitor dock.
#include "serial_monitor.h"

#include <QFile>
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

    auto* pClear = new QPushButton(QStringLiteral("Clear"));
    auto* pSave = new QPushButton(QStringLiteral("Save..."));
    pClear->setFocusPolicy(Qt::NoFocus);
    pSave->setFocusPolicy(Qt::NoFocus);
    connect(pClear, &QPushButton::clicked, this, &CSerialMonitor::Clear);
    connect(pSave, &QPushButton::clicked, this, &CSerialMonitor::OnSave);

    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(pClear);
    pButtons->addWidget(pSave);
    auto* pLayout = new QVBoxLayout(pBody);
    pLayout->setContentsMargins(4, 4, 4, 4);
    pLayout->addWidget(m_pView);
    pLayout->addLayout(pButtons);
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
    QTextCursor cursor(m_pView->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    if (bInjected)
        format.setForeground(InjectedColour());
    cursor.insertText(FormatSerialBytes(abBytes), format);
    if (m_bFollow)
        m_pView->verticalScrollBar()->setValue(m_pView->verticalScrollBar()->maximum());
}

int CSerialMonitor::LinesShown() const
{
    return m_pView->viewport()->height() / std::max(1, m_pView->fontMetrics().lineSpacing());
}

// The text's lines, the view's frame and document margins, the button row,
// the layout's margins and spacing, and the dock's title.
int CSerialMonitor::HeightForLines(int nLines) const
{
    const int nText = nLines * m_pView->fontMetrics().lineSpacing() + 2 * m_pView->frameWidth() +
                      2 * static_cast<int>(m_pView->document()->documentMargin()) + 2;
    const QLayout* pLayout = widget()->layout();
    const QMargins margins = pLayout->contentsMargins();
    const int nRest = pLayout->itemAt(1)->sizeHint().height() + pLayout->spacing() + margins.top() + margins.bottom();
    const int nTitle = fontMetrics().height() + 2 * style()->pixelMetric(QStyle::PM_DockWidgetTitleMargin, nullptr, this) + 4;
    return nText + nRest + nTitle;
}

void CSerialMonitor::Clear()
{
    m_abRaw.clear();
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
    const QString sPath = QFileDialog::getSaveFileName(this, QStringLiteral("Save Serial Output"), QStringLiteral("serial.txt"));
    if (sPath.isEmpty())
        return;
    QString sError;
    if (!SaveTo(sPath, &sError))
        QMessageBox::warning(this, QStringLiteral("Save Serial Output"), QStringLiteral("Cannot write %1: %2").arg(sPath, sError));
}
