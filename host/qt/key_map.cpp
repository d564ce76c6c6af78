// The panel keys' keyboard map and its profile entries.
#include "key_map.h"

#include <QKeySequence>
#include <QSettings>
#include <QStringList>

#include "panel_layout.h"

namespace {

const QString KEYS_SECTION = QStringLiteral("Keys");

KeyMap& Map()
{
    static KeyMap s_map = DefaultKeyMap();
    return s_map;
}

const panel::KeyLayout* Layout(uint8_t bCode)
{
    for (const panel::KeyLayout& key : panel::KEYS)
        if (key.bCode == bCode)
            return &key;
    return nullptr;
}

}  // namespace

KeyMap DefaultKeyMap()
{
    KeyMap keyMap;
    keyMap[1] = {Qt::Key_R};
    keyMap[5] = {Qt::Key_T, Qt::Key_Return, Qt::Key_Enter};
    keyMap[4] = {Qt::Key_Escape};
    keyMap[2] = {Qt::Key_Up};
    keyMap[3] = {Qt::Key_Down};
    keyMap[6] = {Qt::Key_Left};
    keyMap[7] = {Qt::Key_Right};
    keyMap[8] = {Qt::Key_1};
    keyMap[9] = {Qt::Key_2};
    keyMap[10] = {Qt::Key_3};
    keyMap[11] = {Qt::Key_4};
    keyMap[12] = {Qt::Key_S};
    return keyMap;
}

const KeyMap& CurrentKeyMap() { return Map(); }

void SetKeyMap(const KeyMap& keyMap) { Map() = keyMap; }

uint8_t PanelKeyFor(int nQtKey)
{
    for (uint8_t b = 1; b <= 12; b++)
        if (Map()[b].contains(nQtKey))
            return b;
    return 0;
}

QString KeyName(int nQtKey)
{
    switch (nQtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("Enter");
    case Qt::Key_Up:
        return QStringLiteral("Up arrow");
    case Qt::Key_Down:
        return QStringLiteral("Down arrow");
    case Qt::Key_Left:
        return QStringLiteral("Left arrow");
    case Qt::Key_Right:
        return QStringLiteral("Right arrow");
    default:
        return QKeySequence(nQtKey).toString(QKeySequence::NativeText);
    }
}

QString KeyMapText(uint8_t bCode)
{
    if (bCode < 1 || bCode > 12)
        return {};
    QStringList names;
    for (int nKey : Map()[bCode])
        if (!names.contains(KeyName(nKey)))
            names << KeyName(nKey);
    return names.join(QStringLiteral(" or "));
}

QString CheckKeyMap(const KeyMap& keyMap, const QList<int>& reserved)
{
    for (uint8_t b = 1; b <= 12; b++) {
        const QString sLabel = QString::fromLatin1(Layout(b)->pszLabel);
        if (keyMap[b].isEmpty())
            return QStringLiteral("%1 has no keyboard key.").arg(sLabel);
        for (int nKey : keyMap[b]) {
            if (reserved.contains(nKey))
                return QStringLiteral("%1 is a menu shortcut and cannot work %2.").arg(KeyName(nKey), sLabel);
            for (uint8_t c = static_cast<uint8_t>(b + 1); c <= 12; c++)
                if (keyMap[c].contains(nKey))
                    return QStringLiteral("%1 is given to both %2 and %3.")
                        .arg(KeyName(nKey), sLabel, QString::fromLatin1(Layout(c)->pszLabel));
        }
    }
    return {};
}

KeyMap ReadKeyMap(QSettings& settings)
{
    KeyMap keyMap = DefaultKeyMap();
    settings.beginGroup(KEYS_SECTION);
    for (const panel::KeyLayout& key : panel::KEYS) {
        const QStringList names = settings.value(QString::fromLatin1(key.pszName)).toStringList();
        QList<int> keys;
        for (const QString& sName : names) {
            const QKeySequence sequence = QKeySequence::fromString(sName.trimmed(), QKeySequence::PortableText);
            if (sequence.count() == 1 && sequence[0].keyboardModifiers() == Qt::NoModifier)
                keys << sequence[0].key();
        }
        if (!names.isEmpty() && keys.size() == names.size())
            keyMap[key.bCode] = keys;
    }
    settings.endGroup();
    // A profile edited by hand may give one key twice: then none of it counts.
    if (!CheckKeyMap(keyMap, {}).isEmpty())
        return DefaultKeyMap();
    return keyMap;
}

void WriteKeyMap(QSettings& settings, const KeyMap& keyMap)
{
    settings.beginGroup(KEYS_SECTION);
    for (const panel::KeyLayout& key : panel::KEYS) {
        QStringList names;
        for (int nKey : keyMap[key.bCode])
            names << QKeySequence(nKey).toString(QKeySequence::PortableText);
        settings.setValue(QString::fromLatin1(key.pszName), names);
    }
    settings.endGroup();
}
