// Pieces the desktop's docks and windows share: the row of controls under a
// dock's view, and a Save As that reports a failure to the operator.
#pragma once

#include <QString>
#include <functional>

class QComboBox;
class QHBoxLayout;
class QWidget;

// "Label [choice]   Clear  Save...": the row under a dock's view. Clear and
// Save call the functions given; neither button takes the keyboard focus
// from the panel, and neither has an Alt shortcut (the menus have them).
QHBoxLayout* DockButtonRow(const QString& sLabel, QComboBox* pChoice, const QString& sClearTip, const QString& sSaveTip,
                           const std::function<void()>& onClear, const std::function<void()>& onSave);

// Asks for a file name and saves with save(path, &error); a failure is shown
// in a warning titled sTitle. Cancelling does nothing.
void SaveAsWithWarning(QWidget* pParent, const QString& sTitle, const QString& sDefaultName, const QString& sFilter,
                       const std::function<bool(const QString&, QString*)>& save);
