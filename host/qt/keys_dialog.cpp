// The Keys dialog and the guide's window.
#include "keys_dialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "panel_layout.h"

CKeyField::CKeyField(QWidget* pParent) : QLineEdit(pParent)
{
    setReadOnly(true);
    setPlaceholderText(QStringLiteral("(none)"));
    setToolTip(QStringLiteral("Press the key to use; Delete clears the field"));
}

void CKeyField::SetKey(int nKey)
{
    m_nKey = nKey;
    setText(nKey ? KeyName(nKey) : QString());
}

void CKeyField::keyPressEvent(QKeyEvent* pEvent)
{
    const int nKey = pEvent->key();
    const Qt::KeyboardModifiers mods = pEvent->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (nKey == Qt::Key_Tab || nKey == Qt::Key_Backtab || mods != Qt::NoModifier) {
        QLineEdit::keyPressEvent(pEvent);
        return;
    }
    if (nKey == Qt::Key_Delete || nKey == Qt::Key_Backspace)
        SetKey(0);
    else if (nKey != Qt::Key_Shift && nKey != Qt::Key_unknown)
        SetKey(nKey);
    pEvent->accept();
}

CKeysDlg::CKeysDlg(const KeyMap& keyMap, const QList<int>& reserved, QWidget* pParent)
    : QDialog(pParent), m_reserved(reserved)
{
    setWindowTitle(QStringLiteral("Keys"));
    auto* pGrid = new QGridLayout;
    pGrid->addWidget(new QLabel(QStringLiteral("Panel key")), 0, 0);
    pGrid->addWidget(new QLabel(QStringLiteral("Keyboard key")), 0, 1);
    pGrid->addWidget(new QLabel(QStringLiteral("Also")), 0, 2);
    int nRow = 1;
    for (const panel::KeyLayout& key : panel::KEYS) {
        pGrid->addWidget(new QLabel(QString::fromLatin1(key.pszLabel)), nRow, 0);
        for (int i = 0; i < 2; i++) {
            m_apFields[key.bCode][i] = new CKeyField;
            pGrid->addWidget(m_apFields[key.bCode][i], nRow, 1 + i);
        }
        nRow++;
    }
    SetMap(keyMap);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* pDefaults = pButtons->addButton(QStringLiteral("Defaults"), QDialogButtonBox::ResetRole);
    connect(pDefaults, &QPushButton::clicked, this, [this] { SetMap(DefaultKeyMap()); });
    connect(pButtons, &QDialogButtonBox::accepted, this, &CKeysDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CKeysDlg::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Click a field and press the keyboard key for that panel key.")));
    pLayout->addLayout(pGrid);
    pLayout->addWidget(pButtons);
}

// Return and keypad Enter count as one key: the map keeps both.
void CKeysDlg::SetMap(const KeyMap& keyMap)
{
    for (const panel::KeyLayout& key : panel::KEYS) {
        QList<int> keys;
        for (int nKey : keyMap[key.bCode])
            if (nKey != Qt::Key_Enter || !keyMap[key.bCode].contains(Qt::Key_Return))
                keys << nKey;
        for (int i = 0; i < 2; i++)
            m_apFields[key.bCode][i]->SetKey(i < keys.size() ? keys[i] : 0);
    }
}

KeyMap CKeysDlg::Chosen() const
{
    KeyMap keyMap;
    for (const panel::KeyLayout& key : panel::KEYS)
        for (CKeyField* pField : m_apFields[key.bCode]) {
            const int nKey = pField->Key();
            if (nKey && !keyMap[key.bCode].contains(nKey))
                keyMap[key.bCode] << nKey;
            if (nKey == Qt::Key_Return && !keyMap[key.bCode].contains(Qt::Key_Enter))
                keyMap[key.bCode] << Qt::Key_Enter;
        }
    return keyMap;
}

void CKeysDlg::accept()
{
    m_sRefusal = CheckKeyMap(Chosen(), m_reserved);
    if (!m_sRefusal.isEmpty()) {
        if (isVisible())
            QMessageBox::warning(this, QStringLiteral("Keys"), m_sRefusal);
        return;
    }
    QDialog::accept();
}

QString GuideFolder()
{
    const QString sInstalled =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral(HALDEN_INSTALLED_GUIDE));
    if (QFile::exists(sInstalled + QStringLiteral("/desktop.md")))
        return QDir::cleanPath(sInstalled);
    return QStringLiteral(HALDEN_GUIDE_DIR);
}

CGuideWindow::CGuideWindow(QWidget* pParent) : QWidget(pParent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Halden Simulator User Guide"));
    m_pChapters = new QListWidget;
    m_pBrowser = new QTextBrowser;
    m_pBrowser->setOpenExternalLinks(true);
    const QDir folder(GuideFolder());
    m_pBrowser->setSearchPaths({folder.absolutePath()});
    for (const QString& sFile : folder.entryList({QStringLiteral("*.md")}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(sFile));
        QString sTitle = sFile;
        if (file.open(QIODevice::ReadOnly | QIODevice::Text))
            while (!file.atEnd()) {
                const QString sLine = QString::fromUtf8(file.readLine()).trimmed();
                if (sLine.startsWith(QStringLiteral("# "))) {
                    sTitle = sLine.mid(2);
                    break;
                }
            }
        m_files << sFile;
        auto* pItem = new QListWidgetItem(sTitle, m_pChapters);
        pItem->setData(Qt::UserRole, sFile);
    }
    connect(m_pChapters, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* pItem) {
        if (pItem)
            ShowChapter(pItem->data(Qt::UserRole).toString());
    });
    // A link to another chapter selects it in the list as well.
    connect(m_pBrowser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        const QString sFile = QFileInfo(url.path()).fileName();
        for (int i = 0; i < m_pChapters->count(); i++)
            if (m_pChapters->item(i)->data(Qt::UserRole).toString() == sFile && m_pChapters->currentRow() != i) {
                QSignalBlocker block(m_pChapters);
                m_pChapters->setCurrentRow(i);
            }
    });
    auto* pOpen = new QPushButton(QStringLiteral("Open in Browser"));
    connect(pOpen, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(m_pBrowser->source()); });
    auto* pSplitter = new QSplitter;
    pSplitter->addWidget(m_pChapters);
    pSplitter->addWidget(m_pBrowser);
    pSplitter->setStretchFactor(1, 3);
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(pOpen);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pSplitter);
    pLayout->addLayout(pButtons);
    resize(900, 650);
    ShowChapter(QStringLiteral("desktop.md"));
}

void CGuideWindow::ShowChapter(const QString& sFile)
{
    const QString sPath = QDir(GuideFolder()).filePath(sFile);
    if (QFileInfo(m_pBrowser->source().path()).fileName() != sFile)
        m_pBrowser->setSource(QUrl::fromLocalFile(sPath), QTextDocument::MarkdownResource);
    for (int i = 0; i < m_pChapters->count(); i++)
        if (m_pChapters->item(i)->data(Qt::UserRole).toString() == sFile && m_pChapters->currentRow() != i) {
            QSignalBlocker block(m_pChapters);
            m_pChapters->setCurrentRow(i);
        }
}
