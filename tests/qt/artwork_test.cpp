// Properties the drawn artwork must have for the panel to work: sizes that
// match the layout, transparent magenta only in the arrow keys' corners, arrow
// faces that never overlap, and pressed images darker than lit ones.
#include <QImage>
#include <QTest>

#include "halden_view.h"
#include "panel_layout.h"

namespace {

QImage Bitmap(int nId) { return QImage(QStringLiteral(":/bitmap/%1").arg(nId)).convertToFormat(QImage::Format_RGB32); }

bool IsMagenta(QRgb c) { return qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 255; }

// Mean brightness of the pixels that are not magenta.
double FaceBrightness(const QImage& image)
{
    double dSum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); y++)
        for (int x = 0; x < image.width(); x++)
            if (!IsMagenta(image.pixel(x, y))) {
                dSum += qGray(image.pixel(x, y));
                n++;
            }
    return n ? dSum / n : 0;
}

int CountMagenta(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); y++)
        for (int x = 0; x < image.width(); x++)
            n += IsMagenta(image.pixel(x, y)) ? 1 : 0;
    return n;
}

}  // namespace

class CArtworkTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        CHaldenView view;  // registers the artwork resource
        QVERIFY(view.Created());
    }

    void panelAndToolbarSizes()
    {
        QCOMPARE(Bitmap(panel::PANEL_BITMAP).size(), QSize(panel::PANEL_WIDTH, panel::PANEL_HEIGHT));
        QCOMPARE(Bitmap(panel::TOOLBAR_BITMAP).size(),
                 QSize(panel::TOOLBAR_IMAGE_WIDTH * panel::TOOLBAR_IMAGES, panel::TOOLBAR_IMAGE_HEIGHT));
        QVERIFY(!QImage(QStringLiteral(":/bitmap/icon")).isNull());
    }

    void keyImages_data()
    {
        QTest::addColumn<int>("nIndex");
        for (size_t i = 0; i < panel::KEYS.size(); i++)
            QTest::newRow(panel::KEYS[i].pszName) << int(i);
    }

    void keyImages()
    {
        QFETCH(int, nIndex);
        const panel::KeyLayout& key = panel::KEYS[nIndex];
        const QImage imgUp = Bitmap(key.nUpImage);
        const QImage imgDown = Bitmap(key.nDownImage);
        QCOMPARE(imgUp.size(), QSize(key.nWidth, key.nHeight));
        QCOMPARE(imgDown.size(), QSize(key.nWidth, key.nHeight));
        QVERIFY(imgUp != imgDown);
        QVERIFY2(FaceBrightness(imgUp) > FaceBrightness(imgDown) + 10, "the pressed image is not darker");
        if (!key.bShaped) {
            QCOMPARE(CountMagenta(imgUp), 0);
            QCOMPARE(CountMagenta(imgDown), 0);
            return;
        }
        // Corners transparent, and the key's shape the same in both states.
        for (const QImage* pImage : {&imgUp, &imgDown}) {
            QVERIFY(IsMagenta(pImage->pixel(0, 0)));
            QVERIFY(IsMagenta(pImage->pixel(key.nWidth - 1, 0)));
            QVERIFY(IsMagenta(pImage->pixel(0, key.nHeight - 1)));
            QVERIFY(IsMagenta(pImage->pixel(key.nWidth - 1, key.nHeight - 1)));
            const int nMagenta = CountMagenta(*pImage);
            QVERIFY(nMagenta > 0 && nMagenta < key.nWidth * key.nHeight / 2 + key.nWidth * key.nHeight / 4);
        }
        for (int y = 0; y < key.nHeight; y++)
            for (int x = 0; x < key.nWidth; x++)
                QCOMPARE(IsMagenta(imgUp.pixel(x, y)), IsMagenta(imgDown.pixel(x, y)));
    }

    // No view pixel is covered by the opaque faces of two arrow keys, so a
    // click on a face always belongs to exactly that key.
    void arrowFacesDoNotOverlap()
    {
        QImage owner(600, 500, QImage::Format_Grayscale8);
        owner.fill(0);
        int nFacePixels = 0;
        for (const panel::KeyLayout& key : panel::KEYS) {
            if (!key.bShaped)
                continue;
            const QImage image = Bitmap(key.nUpImage);
            for (int y = 0; y < key.nHeight; y++)
                for (int x = 0; x < key.nWidth; x++) {
                    if (IsMagenta(image.pixel(x, y)))
                        continue;
                    uchar* pb = owner.scanLine(key.y + y) + key.x + x;
                    QVERIFY2(*pb == 0, qPrintable(QStringLiteral("(%1, %2) lies on two arrow keys").arg(key.x + x).arg(key.y + y)));
                    *pb = key.bCode;
                    nFacePixels++;
                }
        }
        QVERIFY(nFacePixels > 2000);
    }
};

QTEST_MAIN(CArtworkTest)
#include "artwork_test.moc"
