// The document: it stores no instrument data, only the state of the
// Options/Mains item.
#pragma once

#include <QObject>
#include <QString>

class CHaldenDoc final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* DOCUMENT_STRINGS =
        "Halden PC Simulation\n\nUVVis Document\nUVVis (*.uvp)\n.uvp\nUVVis.Document\nUVVis Document";

    using QObject::QObject;
    // A new document: Mains on.
    void OnNewDocument();
    void OnOptionsMains();
    bool Mains() const { return m_bMains != 0; }
    QString Title() const { return QStringLiteral("Untitled"); }

signals:
    // The views should update (the Mains check mark follows m_bMains).
    void UpdateAllViews();

private:
    int m_bMains = 1;  // the Options/Mains item is checked
};
