// The sample chooser (Options/Sample..., or a click on the SAMPLE lid): the
// library's samples with their descriptions, and a concentration for those
// that have one. And the lid itself, which shows what is in the cell.
#pragma once

#include <QDialog>
#include <QFont>
#include <QSizeF>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "sample.h"

class CSampleCompartment;
class QDoubleSpinBox;
class QLabel;
class QListWidget;

class CSampleDlg final : public QDialog {
    Q_OBJECT
public:
    // Lists the library, with the sample now in the cell selected.
    CSampleDlg(const CSampleCompartment& compartment, QWidget* pParent = nullptr);
    // The chosen sample and concentration; set when the dialog ends with OK.
    const std::optional<CSample>& Chosen() const { return m_chosen; }
    double Concentration() const { return m_fConcentration; }

    QListWidget* List() const { return m_pList; }
    QDoubleSpinBox* ConcentrationBox() const { return m_pConcentration; }

    void accept() override;

private:
    void ShowSelected();

    struct Entry {
        std::string sName;              // file stem
        std::optional<CSample> sample;  // empty when the file is faulty
        std::string sError;
    };
    std::vector<Entry> m_entries;
    QListWidget* m_pList;
    QLabel* m_pDescription;
    QDoubleSpinBox* m_pConcentration;
    QLabel* m_pUnit;
    std::optional<CSample> m_chosen;
    double m_fConcentration = 1.0;
};

// The sample compartment's lid on the panel: a window in it shows the
// sample's colour (its transmittance in the red, green and blue), the
// tooltip names it, and a click opens the chooser.
class CSampleLid final : public QWidget {
    Q_OBJECT
public:
    CSampleLid(const CSampleCompartment& compartment, QWidget* pParent);
    // Redraws after a change of sample.
    void Update();
    // The colour of the sample as light through the cell shows it.
    static QColor SampleColour(const CSample& sample, double fConcentration);
    // The font for the label across the lid: no word cut at the lid's width.
    static QFont LabelFont(const QFont& base, const QString& sLabel, const QSizeF& size, double dUnit);

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;

private:
    const CSampleCompartment& m_compartment;
};
