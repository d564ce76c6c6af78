// The shared dock controls and the Save As with its warning.
#include "dock_tools.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QDir>
#include <QSettings>
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
    const QString sPath = AskSaveFileName(pParent, sTitle, sDefaultName, sFilter);
    if (sPath.isEmpty())
        return;
    QString sError;
    if (!save(sPath, &sError))
        QMessageBox::warning(pParent, sTitle, sError);
}

namespace {

QString FolderEntry(const QString& sTitle)
{
    QString sKey = sTitle;
    sKey.remove(QLatin1Char(' '));
    return QStringLiteral("Folders/") + sKey;
}

}  // namespace

QString DialogStart(const QString& sTitle, const QString& sName)
{
    const QString sFolder = QSettings().value(FolderEntry(sTitle)).toString();
    if (sFolder.isEmpty() || !QFileInfo(sFolder).isDir())
        return sName;
    return sName.isEmpty() ? sFolder : QDir(sFolder).filePath(sName);
}

void NoteDialogFolder(const QString& sTitle, const QString& sPath)
{
    if (!sPath.isEmpty())
        QSettings().setValue(FolderEntry(sTitle), QFileInfo(sPath).absolutePath());
}

QString AskSaveFileName(QWidget* pParent, const QString& sTitle, const QString& sDefaultName, const QString& sFilter)
{
    const QString sPath = QFileDialog::getSaveFileName(pParent, sTitle, DialogStart(sTitle, sDefaultName), sFilter);
    NoteDialogFolder(sTitle, sPath);
    return sPath;
}

QString AskOpenFileName(QWidget* pParent, const QString& sTitle, const QString& sFilter)
{
    const QString sPath = QFileDialog::getOpenFileName(pParent, sTitle, DialogStart(sTitle), sFilter);
    NoteDialogFolder(sTitle, sPath);
    return sPath;
}
