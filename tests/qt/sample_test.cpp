// The sample compartment on the panel: the lid over the picture's SAMPLE lid
// shows the sample in the cell (colour and name), a click on it and
// Options/Sample... open the chooser, and the chooser puts the chosen sample
// in at the typed concentration (none for a blank or a hidden unknown).
#include <QApplication>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QLabel>
#include <QFontMetricsF>
#include <QTest>
#include <QTimer>

#include "main_frame.h"
#include "panel_layout.h"
#include "qt_fixture.h"
#include "sample_dialog.h"

class CSampleTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CScratchEnvironment> m_pEnv;
    std::unique_ptr<CHaldenApp> m_pApp;

    CHaldenView* View() { return m_pApp->View(); }
    CMainFrame* Frame() { return m_pApp->Frame(); }

    static int Row(QListWidget* pList, const QString& sText)
    {
        for (int i = 0; i < pList->count(); i++)
            if (pList->item(i)->text() == sText)
                return i;
        return -1;
    }

    // Answers the next chooser that opens: picks sItem, types the
    // concentration when the box takes one, and presses OK.
    void AnswerChooser(const QString& sItem, double fConcentration, bool* pbEditable)
    {
        QTimer::singleShot(0, this, [=] {
            auto* pDlg = qobject_cast<CSampleDlg*>(QApplication::activeModalWidget());
            QVERIFY(pDlg);
            int nRow = Row(pDlg->List(), sItem);
            QVERIFY(nRow >= 0);
            pDlg->List()->setCurrentRow(nRow);
            *pbEditable = pDlg->ConcentrationBox()->isEnabled();
            if (*pbEditable)
                pDlg->ConcentrationBox()->setValue(fConcentration);
            pDlg->accept();
        });
    }

private slots:
    void initTestCase() { SetApplicationNames(); }

    void init()
    {
        m_pEnv = std::make_unique<CScratchEnvironment>();
        m_pApp = StartWindowOnly();
        QVERIFY(m_pApp);
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    }

    void cleanup()
    {
        m_pApp.reset();
        m_pEnv.reset();
    }

    void lidClickChoosesTheSample()
    {
        CSampleLid* pLid = View()->Lid();
        QVERIFY(pLid);
        QVERIFY(pLid->toolTip().contains(QStringLiteral("Recorded sample")));
        QVERIFY2(pLid->toolTip().contains(QStringLiteral("the instrument's own recorded sample")), qPrintable(pLid->toolTip()));
        const QPoint ptLid = pLid->mapTo(View()->Canvas(), QPoint(0, 0));
        QCOMPARE(ptLid, QPoint(panel::ORIGIN + panel::LID_X, panel::ORIGIN + panel::LID_Y));

        bool bEditable = false;
        AnswerChooser(QStringLiteral("Standard 2"), 3.0, &bEditable);
        QTest::mouseClick(pLid, Qt::LeftButton, {}, QPoint(24, 70));
        QVERIFY(bEditable);
        QCOMPARE(View()->Compartment().Label(), std::string("Standard 2 3 mg/L"));
        QVERIFY(pLid->toolTip().contains(QStringLiteral("Standard 2 3 mg/L")));

        AnswerChooser(QStringLiteral("Unknown A"), 9.0, &bEditable);
        Frame()->SampleAction()->trigger();
        QVERIFY(!bEditable);
        QCOMPARE(View()->Compartment().Label(), std::string("Unknown A"));
        QCOMPARE(View()->Compartment().Current().fConcentration, 3.3);  // the file's, not shown
    }

    // The label across the lid is set small enough that no word is cut at
    // the lid's width, at every zoom.
    void lidLabelKeepsWordsWhole()
    {
        const QString sLabel = QStringLiteral("Bromophenol blue 10 mg/L");
        for (int nZoom = 1; nZoom <= 4; nZoom++) {
            const QSizeF size(44.0 * nZoom, 48.0 * nZoom);
            const QFont font = CSampleLid::LabelFont(QFont(), sLabel, size, nZoom);
            const QFontMetricsF metrics(font);
            for (const QString& sWord : sLabel.split(QLatin1Char(' ')))
                QVERIFY2(metrics.horizontalAdvance(sWord) <= size.width(),
                         qPrintable(QStringLiteral("%1x: %2 is %3 px wide").arg(nZoom).arg(sWord).arg(metrics.horizontalAdvance(sWord))));
            QVERIFY(metrics.boundingRect(QRectF(QPointF(0, 0), size), Qt::TextWordWrap, sLabel).height() <= size.height());
            QVERIFY(font.pixelSize() >= 4);
        }
    }

    // The lid's window shows the colour light through the cell has: the dye
    // passes blue and absorbs in the yellow, the blank is clear.
    // The chooser's labels read as plain words: an ampersand only marks the
    // shortcut of a label that has a field to go to, and no label shows the
    // folder the samples are read from.
    void chooserLabelsAreClean()
    {
        CSampleDlg dlg(View()->Compartment(), Frame());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QString sFolder = QDir::toNativeSeparators(QString::fromStdString(SampleLibraryDir().string()));
        const QList<QLabel*> labels = dlg.findChildren<QLabel*>();
        QVERIFY(!labels.isEmpty());
        bool bListLabel = false;
        for (const QLabel* pLabel : labels) {
            const QString sText = pLabel->text();
            QVERIFY2(!sText.contains(sFolder), qPrintable(sText));
            if (sText.contains(QLatin1Char('&')))
                QVERIFY2(pLabel->buddy(), qPrintable(sText));
            if (pLabel->buddy() && qobject_cast<QListWidget*>(pLabel->buddy()))
                bListLabel = true;
        }
        QVERIFY(bListLabel);
    }

    void sampleColourFollowsTheSpectrum()
    {
        std::string sError;
        auto dye = LoadSample("dye", sError);
        auto blank = LoadSample("blank", sError);
        QVERIFY(dye && blank);
        QColor cDye = CSampleLid::SampleColour(*dye, 10.0);
        QVERIFY(cDye.blue() > cDye.red() && cDye.blue() > cDye.green());
        QCOMPARE(CSampleLid::SampleColour(*blank, 0.0), QColor(255, 255, 255));
        QColor cPale = CSampleLid::SampleColour(*dye, 1.0);
        QVERIFY(cPale.red() > cDye.red());
    }
};

QTEST_MAIN(CSampleTest)
#include "sample_test.moc"
