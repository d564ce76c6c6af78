// Options/Keys...: the keyboard keys that work each panel key, two at most,
// checked before they are taken.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QList>

#include <array>

#include "key_map.h"

// A field that takes the next key pressed in it (no modifiers); Delete or
// Backspace empties it, Tab moves on.
class CKeyField final : public QLineEdit {
    Q_OBJECT
public:
    explicit CKeyField(QWidget* pParent = nullptr);
    int Key() const { return m_nKey; }
    void SetKey(int nKey);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    int m_nKey = 0;  // 0: none
};

class CKeysDlg final : public QDialog {
    Q_OBJECT
public:
    // reserved: unmodified keys the menus use.
    CKeysDlg(const KeyMap& keyMap, const QList<int>& reserved, QWidget* pParent = nullptr);
    // The map as the fields give it.
    KeyMap Chosen() const;
    void SetMap(const KeyMap& keyMap);
    CKeyField* Field(uint8_t bCode, int nIndex) const { return m_apFields[bCode][nIndex]; }
    // Refuses a map CheckKeyMap finds fault with, saying why.
    void accept() override;
    const QString& Refusal() const { return m_sRefusal; }

private:
    std::array<std::array<CKeyField*, 2>, 13> m_apFields{};
    QList<int> m_reserved;
    QString m_sRefusal;
};

// Help/User Guide: the guide's chapters (the docs folder installed beside
// the program, or the source tree's in a build tree), shown as formatted
// text with their links and pictures; Open in Browser hands the chapter
// shown to the desktop's browser.
QString GuideFolder();
class CGuideWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CGuideWindow(QWidget* pParent = nullptr);
    // The chapters: file names and their titles (the first heading).
    const QStringList& Files() const { return m_files; }
    class QListWidget* Chapters() const { return m_pChapters; }
    class QTextBrowser* Browser() const { return m_pBrowser; }
    void ShowChapter(const QString& sFile);

private:
    QStringList m_files;
    class QListWidget* m_pChapters;
    class QTextBrowser* m_pBrowser;
};
