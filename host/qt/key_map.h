// The keyboard keys that work the panel keys: the defaults, the user's own
// from Options/Keys..., kept in the profile (section Keys, one entry a panel
// key by its short name: "test=T, Return, Enter").
#pragma once

#include <QList>
#include <QString>

#include <array>
#include <cstdint>

class QSettings;

// Qt key codes by panel key code 1..12 (index 0 unused), the first of each
// the one named first.
using KeyMap = std::array<QList<int>, 13>;

KeyMap DefaultKeyMap();
const KeyMap& CurrentKeyMap();
void SetKeyMap(const KeyMap& keyMap);
// The panel key a keyboard key works, 0 for none.
uint8_t PanelKeyFor(int nQtKey);
// "T or Enter": the keys of a panel key for tooltips and help.
QString KeyMapText(uint8_t bCode);
QString KeyName(int nQtKey);
// Empty when the map can be used; otherwise why not: a keyboard key given
// to two panel keys, one the menus use (reserved), or a panel key with none.
QString CheckKeyMap(const KeyMap& keyMap, const QList<int>& reserved);
// A missing or unreadable entry keeps that panel key's default.
KeyMap ReadKeyMap(QSettings& settings);
void WriteKeyMap(QSettings& settings, const KeyMap& keyMap);
