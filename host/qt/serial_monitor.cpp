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
#include <QTextCharFormat>
#include <QVBoxLayout>

QString FormatSerialBytes(const QByteArray& abBytes)
{
    QString sText;
    sText.reserve(abBytes.size() * 2);
    for (char c : abBytes) {
        const auto b = static_cast<uint8_t>(c);
        if (b >= 0x20 && b < 0x7F)
            sText += QChar(b);
        else if (b == '\r')
            sText += QStringLiteral("<CR>");
        else if (b == '\n')
            sText += QStringLiteral("<LF>\n");
        else if (b == '\t')
            sText += QStringLiteral("<TAB>");
        else if (b < 0x20)
            sText += QStringLiteral("<^%1>").arg(QChar(b + 64));
        else if (b == 0x7F)
            sText += QStringLiteral("<DEL>");
        else
            sText += QStringLiteral("<x%1>").arg(QString::number(b, 16).toUpper());
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
    m_pView->setPlaceholderText(
        QStringLiteral("What the instrument sends on its serial port appears here, and in blue what it receives."));

    auto* pClear = new QPushButton(QStringLiteral("&Clear"));
    auto* pSave = new QPushButton(QStringLiteral("Sa&ve..."));
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
    QScrollBar* pBar = m_pView->verticalScrollBar();
    const bool bAtEnd = pBar->value() == pBar->maximum();
    QTextCursor cursor(m_pView->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    if (bInjected)
        format.setForeground(InjectedColour());
    cursor.insertText(FormatSerialBytes(abBytes), format);
    if (bAtEnd)
        pBar->setValue(pBar->maximum());
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
