// The shared dock controls and the Save As with its warning.
#include "dock_tools.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

QHBoxLayout* DockButtonRow(const QString& sLabel, QComboBox* pChoice, const QString& sClearTip, const QString& sSaveTip,
                           const std::function<void()>& onClear, const std::function<void()>& onSave)
{
    auto* pClear = new QPushButton(QStringLiteral("Clear"));
    pClear->setToolTip(sClearTip);
    auto* pSave = new QPushButton(QStringLiteral("Save..."));
    pSave->setToolTip(sSaveTip);
    pClear->setFocusPolicy(Qt::NoFocus);
    pSave->setFocusPolicy(Qt::NoFocus);
    QObject::connect(pClear, &QPushButton::clicked, pClear, [onClear] { onClear(); });
    QObject::connect(pSave, &QPushButton::clicked, pSave, [onSave] { onSave(); });

    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(new QLabel(sLabel));
    pButtons->addWidget(pChoice);
    pButtons->addStretch();
    pButtons->addWidget(pClear);
    pButtons->addWidget(pSave);
    return pButtons;
}

void SaveAsWithWarning(QWidget* pParent, const QString& sTitle, const QString& sDefaultName, const QString& sFilter,
                       const std::function<bool(const QString&, QString*)>& save)
{
    const QString sPath = QFileDialog::getSaveFileName(pParent, sTitle, sDefaultName, sFilter);
    if (sPath.isEmpty())
        return;
    QString sError;
    if (!save(sPath, &sError))
        QMessageBox::warning(pParent, sTitle, sError);
}
