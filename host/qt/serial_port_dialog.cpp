// The Serial Port dialog and its profile entries.
#include "serial_port_dialog.h"

#include <QButtonGroup>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString SECTION = QStringLiteral("SerialPort");
const QString MODE_ENTRY = QStringLiteral("Mode");
const QString LINK_ENTRY = QStringLiteral("Link");
const QString PORT_ENTRY = QStringLiteral("Port");
}  // namespace

SerialPortChoice ReadSerialPortChoice(QSettings& settings)
{
    SerialPortChoice choice;
    settings.beginGroup(SECTION);
    const int nMode = settings.value(MODE_ENTRY, 0).toInt();
    if (nMode == 1)
        choice.mode = SerialPortChoice::Mode::Pty;
    else if (nMode == 2)
        choice.mode = SerialPortChoice::Mode::Tcp;
    choice.sLink = settings.value(LINK_ENTRY, choice.sLink).toString();
    bool bOk = false;
    const int nPort = settings.value(PORT_ENTRY, choice.nPort).toInt(&bOk);
    if (bOk && nPort >= 1 && nPort <= 65535)
        choice.nPort = nPort;
    settings.endGroup();
    return choice;
}

void WriteSerialPortChoice(QSettings& settings, const SerialPortChoice& choice)
{
    settings.beginGroup(SECTION);
    settings.setValue(MODE_ENTRY, static_cast<int>(choice.mode));
    settings.setValue(LINK_ENTRY, choice.sLink);
    settings.setValue(PORT_ENTRY, choice.nPort);
    settings.endGroup();
}

namespace {
constexpr int LINK_CHARS_SHOWN = 36;  // characters of the link's path the field shows
}  // namespace

CSerialPortDlg::CSerialPortDlg(const SerialPortChoice& current, const QString& sDevice, QWidget* pParent)
    : QDialog(pParent), m_sDevice(sDevice)
{
    setWindowTitle(QStringLiteral("Serial Port"));
    m_pNone = new QRadioButton(QStringLiteral("&None"));
    m_pPty = new QRadioButton(QStringLiteral("&Pseudo-terminal, linked at:"));
    m_pTcp = new QRadioButton(QStringLiteral("&TCP port on 127.0.0.1:"));
    auto* pGroup = new QButtonGroup(this);
    pGroup->addButton(m_pNone);
    pGroup->addButton(m_pPty);
    pGroup->addButton(m_pTcp);
    m_pLink = new QLineEdit(current.sLink);
    m_pLink->setPlaceholderText(QStringLiteral("no link: the device name only"));
    // Wide enough for a path such as /home/operator/halden/ttyHALDEN whole.
    m_pLink->setMinimumWidth(m_pLink->fontMetrics().horizontalAdvance(QLatin1Char('x')) * LINK_CHARS_SHOWN);
    m_pDevice = new QLabel(sDevice.isEmpty() ? QStringLiteral("Device: chosen when the port opens")
                                             : QStringLiteral("Device: %1").arg(sDevice));
    m_pDevice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pCopy = new QPushButton(QStringLiteral("&Copy"));
    m_pCopy->setToolTip(QStringLiteral("Copy the path PC software opens"));
    m_pPort = new QSpinBox;
    m_pPort->setRange(1, 65535);
    m_pPort->setValue(current.nPort >= 1 && current.nPort <= 65535 ? current.nPort : 5000);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    auto* pGrid = new QGridLayout;
    pGrid->addWidget(m_pNone, 0, 0, 1, 3);
    pGrid->addWidget(m_pPty, 1, 0);
    pGrid->addWidget(m_pLink, 1, 1);
    pGrid->addWidget(m_pCopy, 1, 2);
    pGrid->addWidget(m_pDevice, 2, 1, 1, 2);
    pGrid->addWidget(m_pTcp, 3, 0);
    pGrid->addWidget(m_pPort, 3, 1);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pGrid);
    pLayout->addWidget(new QLabel(QStringLiteral("A second TCP client is turned away while one is connected.")));
    pLayout->addWidget(pButtons);

    (current.mode == SerialPortChoice::Mode::Pty   ? m_pPty
     : current.mode == SerialPortChoice::Mode::Tcp ? m_pTcp
                                                   : m_pNone)
        ->setChecked(true);
    connect(pGroup, &QButtonGroup::buttonToggled, this, &CSerialPortDlg::UpdateEnabled);
    connect(m_pLink, &QLineEdit::textChanged, this, &CSerialPortDlg::UpdateEnabled);
    connect(m_pCopy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(CopyText()); });
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    UpdateEnabled();
}

SerialPortChoice CSerialPortDlg::Choice() const
{
    SerialPortChoice choice;
    choice.mode = m_pPty->isChecked()   ? SerialPortChoice::Mode::Pty
                  : m_pTcp->isChecked() ? SerialPortChoice::Mode::Tcp
                                        : SerialPortChoice::Mode::None;
    choice.sLink = m_pLink->text().trimmed();
    choice.nPort = m_pPort->value();
    return choice;
}

QString CSerialPortDlg::CopyText() const
{
    const QString sLink = m_pLink->text().trimmed();
    return sLink.isEmpty() ? m_sDevice : sLink;
}

void CSerialPortDlg::UpdateEnabled()
{
    const bool bPty = m_pPty->isChecked();
    m_pLink->setEnabled(bPty);
    m_pDevice->setEnabled(bPty);
    m_pCopy->setEnabled(bPty && !CopyText().isEmpty());
    m_pPort->setEnabled(m_pTcp->isChecked());
}
