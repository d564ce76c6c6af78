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

// File dialogs open in the folder where the last one of the same title
// ended (the profile keeps it, section Folders), else the current folder.
// DialogStart gives the dialog's starting path for a file name (or the
// folder alone for an empty name); NoteDialogFolder keeps a chosen path's folder.
QString DialogStart(const QString& sTitle, const QString& sName = QString());
void NoteDialogFolder(const QString& sTitle, const QString& sPath);
// The file dialogs with that memory; an empty path when cancelled.
QString AskSaveFileName(QWidget* pParent, const QString& sTitle, const QString& sDefaultName, const QString& sFilter = QString());
QString AskOpenFileName(QWidget* pParent, const QString& sTitle, const QString& sFilter = QString());

// Asks for a file name and saves with save(path, &error); a failure is shown
// in a warning titled sTitle. Cancelling does nothing.
void SaveAsWithWarning(QWidget* pParent, const QString& sTitle, const QString& sDefaultName, const QString& sFilter,
                       const std::function<bool(const QString&, QString*)>& save);
