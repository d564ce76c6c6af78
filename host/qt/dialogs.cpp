// The Send Message dialog and the About box.
#include "dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <sys/statvfs.h>
#include <sys/sysinfo.h>

#include "escape.h"

// CSendMessageDlg

CSendMessageDlg::CSendMessageDlg(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Send Message"));
    auto* pLabel = new QLabel(QStringLiteral("Te&xt:"));
    m_pText = new QLineEdit;
    m_pText->setObjectName(QStringLiteral("text"));
    m_pText->setMinimumWidth(260);
    pLabel->setBuddy(m_pText);
    m_pAppendNewline = new QCheckBox(QStringLiteral("&Append newline"));
    m_pAppendNewline->setObjectName(QStringLiteral("appendNewline"));
    m_pAppendNewline->setChecked(true);

    auto* pControls = new QHBoxLayout;
    for (char cLetter : {'H', 'R', 'T'}) {
        auto* pButton = new QPushButton(QStringLiteral("CTRL+&%1").arg(QChar(cLetter)));
        pButton->setObjectName(QStringLiteral("ctrl%1").arg(QChar(cLetter)));
        pButton->setAutoDefault(false);
        connect(pButton, &QPushButton::clicked, this, [this, cLetter] { AddControl(cLetter); });
        pControls->addWidget(pButton);
    }
    pControls->addStretch();

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical);
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pLeft = new QVBoxLayout;
    pLeft->addWidget(pLabel);
    pLeft->addWidget(m_pText);
    pLeft->addWidget(m_pAppendNewline);
    pLeft->addLayout(pControls);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addLayout(pLeft);
    pLayout->addWidget(pButtons, 0, Qt::AlignTop);
}

// Appends the octal escape of the control character and clears "Append
// newline": the protocol's control characters are sent on their own.
void CSendMessageDlg::AddControl(char cLetter)
{
    m_pText->setText(m_pText->text() + QString::fromStdString(ControlEscape(cLetter)));
    m_pAppendNewline->setChecked(false);
}

void CSendMessageDlg::accept()
{
    const QByteArray abText = m_pText->text().toLatin1();
    m_sMessage = DecodeEscapes(std::string_view(abText.constData(), static_cast<size_t>(abText.size())));
    if (m_pAppendNewline->isChecked())
        m_sMessage += "\r\n";
    QDialog::accept();
}

// Host facts

std::optional<uint64_t> TotalMemoryKb()
{
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(info.totalram) * info.mem_unit / 1024;
}

// x86 processors list "fpu" among their flags; other processors always have
// a floating-point unit for the purpose of this box.
bool FloatingPointUnitPresent()
{
#if defined(__i386__) || defined(__x86_64__)
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return true;
    while (!file.atEnd()) {
        const QByteArray abLine = file.readLine();
        if (abLine.startsWith("flags"))
            return abLine.split(':').value(1).simplified().split(' ').contains("fpu");
    }
    return true;
#else
    return true;
#endif
}

std::optional<uint64_t> FreeDiskKb(const char* pszDirectory)
{
    struct statvfs fs {};
    if (statvfs(pszDirectory, &fs) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize / 1024;
}

QString GroupThousands(uint64_t ullValue)
{
    if (ullValue < 1000)
        return QString::number(ullValue);
    return GroupThousands(ullValue / 1000) + QStringLiteral(",%1").arg(ullValue % 1000, 3, 10, QChar('0'));
}

// CAboutDlg

CAboutDlg::CAboutDlg(QWidget* pParent, bool bQueryHost) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("About Halden PC Simulation"));
    auto* pIcon = new QLabel;
    pIcon->setPixmap(QPixmap(QStringLiteral(":/bitmap/icon")));
    pIcon->setAlignment(Qt::AlignTop);

    m_pMemory = new QLabel(QStringLiteral("0 KB"));
    m_pMemory->setObjectName(QStringLiteral("memory"));
    m_pCoprocessor = new QLabel(QStringLiteral("Present"));
    m_pCoprocessor->setObjectName(QStringLiteral("coprocessor"));
    m_pDisk = new QLabel(QStringLiteral("0 KB Free"));
    m_pDisk->setObjectName(QStringLiteral("disk"));

    auto* pRule = new QFrame;
    pRule->setFrameShape(QFrame::HLine);
    pRule->setFrameShadow(QFrame::Sunken);

    auto* pGrid = new QGridLayout;
    pGrid->addWidget(new QLabel(QStringLiteral("Halden PC Simulation")), 0, 0, 1, 2);
    pGrid->addWidget(new QLabel(QStringLiteral("Version 1.0")), 1, 0, 1, 2);
    pGrid->addWidget(pRule, 2, 0, 1, 2);
    pGrid->addWidget(new QLabel(QStringLiteral("Available memory:")), 3, 0);
    pGrid->addWidget(m_pMemory, 3, 1);
    pGrid->addWidget(new QLabel(QStringLiteral("Math co-processor:")), 4, 0);
    pGrid->addWidget(m_pCoprocessor, 4, 1);
    pGrid->addWidget(new QLabel(QStringLiteral("Disk space:")), 5, 0);
    pGrid->addWidget(m_pDisk, 5, 1);

    auto* pOk = new QPushButton(QStringLiteral("OK"));
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(pIcon);
    pLayout->addLayout(pGrid, 1);
    pLayout->addWidget(pOk, 0, Qt::AlignTop);

    if (bQueryHost)
        ShowFacts(TotalMemoryKb(), FloatingPointUnitPresent(), FreeDiskKb());
}

void CAboutDlg::ShowFacts(std::optional<uint64_t> ullMemoryKb, bool bFpu, std::optional<uint64_t> ullDiskKb)
{
    if (ullMemoryKb)
        m_pMemory->setText(QStringLiteral("%1 KB").arg(GroupThousands(*ullMemoryKb)));
    m_pCoprocessor->setText(bFpu ? QStringLiteral("Present") : QStringLiteral("Not present"));
    if (ullDiskKb)
        m_pDisk->setText(QStringLiteral("%1 KB Free").arg(GroupThousands(*ullDiskKb)));
}
