// The sample chooser and the compartment lid.
#include "sample_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

#include "sample_compartment.h"

CSampleDlg::CSampleDlg(const CSampleCompartment& compartment, QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Sample"));
    m_pList = new QListWidget(this);
    m_pDescription = new QLabel(this);
    m_pDescription->setWordWrap(true);
    m_pConcentration = new QDoubleSpinBox(this);
    m_pConcentration->setRange(0.0, 100000.0);
    m_pConcentration->setDecimals(3);
    m_pUnit = new QLabel(this);
    auto* pConcentrationRow = new QHBoxLayout;
    pConcentrationRow->addWidget(m_pConcentration, 1);
    pConcentrationRow->addWidget(m_pUnit);
    auto* pForm = new QFormLayout;
    auto* pConcentrationLabel = new QLabel(QStringLiteral("&Concentration:"), this);
    pConcentrationLabel->setBuddy(m_pConcentration);
    pForm->addRow(pConcentrationLabel, pConcentrationRow);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CSampleDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CSampleDlg::reject);
    auto* pLayout = new QVBoxLayout(this);
    // Alt+S reaches the list; where the samples come from is in the tooltip.
    auto* pListLabel = new QLabel(QStringLiteral("&Samples:"), this);
    pListLabel->setBuddy(m_pList);
    pListLabel->setToolTip(QDir::toNativeSeparators(QString::fromStdString(SampleLibraryDir().string())));
    pLayout->addWidget(pListLabel);
    pLayout->addWidget(m_pList, 1);
    pLayout->addWidget(m_pDescription);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);

    CSampleCompartment::Contents current = compartment.Current();
    int nSelect = -1;
    for (const std::string& sName : SampleLibraryNames()) {
        Entry entry;
        entry.sName = sName;
        entry.sample = LoadSample(sName, entry.sError);
        QString sText = entry.sample ? QString::fromStdString(entry.sample->m_sName)
                                     : QStringLiteral("%1 (faulty file)").arg(QString::fromStdString(sName));
        m_pList->addItem(sText);
        if (entry.sample && entry.sample->m_sName == current.pSample->m_sName && nSelect < 0)
            nSelect = m_pList->count() - 1;
        m_entries.push_back(std::move(entry));
    }
    connect(m_pList, &QListWidget::currentRowChanged, this, &CSampleDlg::ShowSelected);
    connect(m_pList, &QListWidget::itemDoubleClicked, this, &CSampleDlg::accept);
    m_pList->setCurrentRow(nSelect >= 0 ? nSelect : 0);
    if (nSelect >= 0 && current.pSample->m_bConcentration && !current.pSample->m_bHidden)
        m_pConcentration->setValue(current.fConcentration);
    resize(420, 380);
}

void CSampleDlg::ShowSelected()
{
    int nRow = m_pList->currentRow();
    if (nRow < 0 || nRow >= static_cast<int>(m_entries.size()))
        return;
    const Entry& entry = m_entries[static_cast<size_t>(nRow)];
    if (!entry.sample) {
        m_pDescription->setText(QString::fromStdString(entry.sError));
        m_pConcentration->setEnabled(false);
        m_pUnit->clear();
        return;
    }
    const CSample& sample = *entry.sample;
    m_pDescription->setText(QString::fromStdString(sample.m_sDescription));
    bool bEditable = sample.m_bConcentration && !sample.m_bHidden;
    m_pConcentration->setEnabled(bEditable);
    m_pConcentration->setValue(bEditable ? sample.m_fConcentration : 0.0);
    m_pConcentration->setSpecialValueText(bEditable ? QString() : QStringLiteral("-"));
    m_pUnit->setText(bEditable ? QString::fromStdString(sample.m_sUnit) : QString());
}

void CSampleDlg::accept()
{
    int nRow = m_pList->currentRow();
    if (nRow < 0 || nRow >= static_cast<int>(m_entries.size()))
        return;
    const Entry& entry = m_entries[static_cast<size_t>(nRow)];
    if (!entry.sample) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(entry.sError));
        return;
    }
    m_chosen = entry.sample;
    m_fConcentration = m_pConcentration->isEnabled() ? m_pConcentration->value() : entry.sample->m_fConcentration;
    QDialog::accept();
}

CSampleLid::CSampleLid(const CSampleCompartment& compartment, QWidget* pParent)
    : QWidget(pParent), m_compartment(compartment)
{
    setCursor(Qt::PointingHandCursor);
    Update();
}

void CSampleLid::Update()
{
    const CSampleCompartment::Contents contents = m_compartment.Current();
    QString sTip = QStringLiteral("Sample compartment: %1").arg(QString::fromStdString(m_compartment.Label()));
    if (!contents.pSample->m_sDescription.empty())
        sTip += QStringLiteral("\n%1").arg(QString::fromStdString(contents.pSample->m_sDescription));
    setToolTip(sTip + QStringLiteral("\nClick to change the sample"));
    update();
}

QColor CSampleLid::SampleColour(const CSample& sample, double fConcentration)
{
    auto channel = [&](double fNm) {
        double fT = std::pow(10.0, -sample.ShownAbsorbance(fNm, fConcentration, 0));
        return static_cast<int>(std::lround(255.0 * std::clamp(fT, 0.0, 1.0)));
    };
    switch (sample.m_recorded) {
    case RecordedCell::Sample: return QColor(150, 90, 150);  // the recorded sample is a purple dye
    case RecordedCell::Holmium: return QColor(230, 200, 160);
    case RecordedCell::CutOff: return QColor(240, 230, 170);
    case RecordedCell::None: break;
    }
    return QColor(channel(620), channel(540), channel(460));
}

// The largest size, up to 7 units, at which every word of the label fits
// the lid's width and the wrapped lines its height: no word is cut.
QFont CSampleLid::LabelFont(const QFont& base, const QString& sLabel, const QSizeF& size, double dUnit)
{
    QFont font = base;
    const QStringList words = sLabel.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int nPixels = std::max(6, static_cast<int>(7 * dUnit)); nPixels >= 4; nPixels--) {
        font.setPixelSize(nPixels);
        const QFontMetricsF metrics(font);
        bool bFits = true;
        for (const QString& sWord : words)
            bFits = bFits && metrics.horizontalAdvance(sWord) <= size.width();
        const QRectF rNeeded = metrics.boundingRect(QRectF(QPointF(0, 0), size), Qt::TextWordWrap, sLabel);
        if (bFits && rNeeded.height() <= size.height())
            break;
    }
    return font;
}

void CSampleLid::paintEvent(QPaintEvent*)
{
    CSampleCompartment::Contents contents = m_compartment.Current();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = width() / 48.0;  // the lid is 48 units wide at any zoom
    // The cell seen through the lid's window, in the sample's colour.
    QRectF window(14 * s, 60 * s, 20 * s, 28 * s);
    p.setPen(QPen(QColor(40, 40, 40), s));
    p.setBrush(SampleColour(*contents.pSample, contents.fConcentration));
    p.drawRoundedRect(window, 3 * s, 3 * s);
    // The sample's name, small, across the lid above the window.
    const QString sLabel = QString::fromStdString(contents.pSample->Label(contents.fConcentration));
    const QRectF rLabel(2 * s, 8 * s, 44 * s, 48 * s);
    p.setFont(LabelFont(p.font(), sLabel, rLabel.size(), s));
    p.setPen(QColor(30, 30, 30));
    p.drawText(rLabel, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, sLabel);
}

void CSampleLid::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton && rect().contains(pEvent->position().toPoint()))
        emit Clicked();
}
