// Draws the simulator's artwork: the front-panel picture (bitmap 139), the
// lit and pressed image of every key (bitmaps 140..164), the toolbar strip
// (bitmap 2) and the application icon. Everything is drawn here with
// QPainter from the panel geometry in host/qt/panel_layout.h; the build runs
// this tool and packs its output into the program's resources.
//
//   halden-artwork OUTPUT_DIR      writes <id>.png for every bitmap, icon.png and
//                                  icon-48.png .. icon-256.png for the desktop menu
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>

#include "panel_layout.h"

namespace {

const QColor MAGENTA(panel::MAGENTA_R, panel::MAGENTA_G, panel::MAGENTA_B);

QFont LabelFont(int nPixels, bool bBold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(nPixels);
    font.setBold(bBold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Colour scheme of one push key, lit and pressed.
struct KeyStyle {
    QColor top, bottom;  // face gradient of the lit key
    QColor text;         // label colour
};

const KeyStyle GREY_KEY{QColor(236, 236, 232), QColor(196, 196, 190), QColor(40, 40, 44)};
const KeyStyle GREEN_KEY{QColor(112, 214, 112), QColor(36, 150, 52), QColor(250, 255, 250)};
const KeyStyle RED_KEY{QColor(242, 110, 100), QColor(186, 34, 30), QColor(255, 248, 246)};
const KeyStyle BLUE_KEY{QColor(206, 222, 240), QColor(150, 172, 200), QColor(20, 36, 70)};

QColor Darker(const QColor& c, int nPercent) { return c.darker(nPercent); }

// A rectangular push key, 24-bit. The pressed image is darker and its face
// sits one pixel lower, as a key pushed into the case.
QImage PushKey(int nWidth, int nHeight, const KeyStyle& style, bool bPressed,
               const std::function<void(QPainter&, const QRectF&)>& drawLabel)
{
    QImage image(nWidth, nHeight, QImage::Format_RGB888);
    image.fill(QColor(58, 58, 62));  // the well the key stands in
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int nShift = bPressed ? 1 : 0;
    const QRectF outer(0.5, 0.5 + nShift, nWidth - 1.0, nHeight - 1.0 - nShift);
    QLinearGradient face(0, 0, 0, nHeight);
    face.setColorAt(0, bPressed ? Darker(style.top, 135) : style.top);
    face.setColorAt(1, bPressed ? Darker(style.bottom, 135) : style.bottom);
    p.setPen(QPen(QColor(28, 28, 30), 1));
    p.setBrush(face);
    p.drawRoundedRect(outer, 4, 4);
    if (!bPressed) {
        // the lit key shows a highlight along its upper edge
        p.setPen(QPen(QColor(255, 255, 255, 150), 1));
        p.drawLine(QPointF(4, 1.5), QPointF(nWidth - 5, 1.5));
    }
    p.setPen(bPressed ? Darker(style.text, 120) : style.text);
    drawLabel(p, outer.translated(0, nShift));
    return image;
}

void TextLabel(QPainter& p, const QRectF& r, const QString& sText, int nPixels)
{
    p.setFont(LabelFont(nPixels, true));
    p.drawText(r, Qt::AlignCenter, sText);
}

void PowerSymbol(QPainter& p, const QRectF& r, bool bLit)
{
    const QPointF c = r.center();
    const double dRadius = 7.0;
    QColor colour = bLit ? QColor(40, 170, 60) : QColor(60, 80, 60);
    p.setPen(QPen(colour, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QRectF ring(c.x() - dRadius, c.y() - dRadius + 1, 2 * dRadius, 2 * dRadius);
    p.drawArc(ring, 120 * 16, -240 * 16);  // open at the top
    p.drawLine(QPointF(c.x(), c.y() - dRadius - 1), QPointF(c.x(), c.y() + 1));
}

// An arrow key: the sector of the rounded cluster that belongs to the key,
// magenta outside it, with a bevelled edge and an arrow pointing away from
// the centre.
QImage ArrowKey(const panel::KeyLayout& key, bool bPressed)
{
    QImage image(key.nWidth, key.nHeight, QImage::Format_RGB888);
    auto inside = [&](int i, int j) {
        if (i < 0 || j < 0 || i >= key.nWidth || j >= key.nHeight)
            return false;
        return panel::OnArrowFace(key.bCode, key.x + i + 0.5, key.y + j + 0.5);
    };
    const QColor top = bPressed ? QColor(150, 152, 158) : QColor(226, 228, 232);
    const QColor bottom = bPressed ? QColor(112, 114, 120) : QColor(182, 185, 192);
    const QColor light = bPressed ? QColor(170, 172, 178) : QColor(255, 255, 255);
    const QColor shadow(70, 72, 78);
    for (int j = 0; j < key.nHeight; j++) {
        for (int i = 0; i < key.nWidth; i++) {
            if (!inside(i, j)) {
                image.setPixelColor(i, j, MAGENTA);
                continue;
            }
            QColor c;
            if (!inside(i, j + 1) || !inside(i + 1, j))
                c = shadow;
            else if (!inside(i, j - 1) || !inside(i - 1, j))
                c = light;
            else {
                // face: vertical gradient over the whole cluster height
                const double t = (key.y + j - (panel::CLUSTER_Y - 34)) / 68.0;
                c = QColor::fromRgbF(top.redF() + (bottom.redF() - top.redF()) * t,
                                     top.greenF() + (bottom.greenF() - top.greenF()) * t,
                                     top.blueF() + (bottom.blueF() - top.blueF()) * t);
            }
            image.setPixelColor(i, j, c);
        }
    }
    // The arrow, drawn without antialiasing so that no blend of the face
    // colour ever turns into magenta or out of it.
    const double dx = key.bCode == 6 ? -1 : key.bCode == 7 ? 1 : 0;
    const double dy = key.bCode == 2 ? -1 : key.bCode == 3 ? 1 : 0;
    const double dDistance = (dx != 0) ? 30.0 : 21.0;
    const QPointF tip(panel::CLUSTER_X + dx * (dDistance + 7) - key.x, panel::CLUSTER_Y + dy * (dDistance + 7) - key.y);
    const QPointF base(panel::CLUSTER_X + dx * (dDistance - 5) - key.x, panel::CLUSTER_Y + dy * (dDistance - 5) - key.y);
    const QPointF side(dy * 7, dx * 7);
    QPolygonF arrow{tip, base + side, base - side};
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(bPressed ? QColor(34, 36, 40) : QColor(48, 52, 60));
    p.drawPolygon(arrow.translated(bPressed ? 0 : 0, bPressed ? 1 : 0));
    return image;
}

// The moulded case with the display bezel, the key wells, the sample lid and
// the maker's lettering. Coordinates are panel pixels (view minus ORIGIN).
QImage Panel()
{
    using namespace panel;
    QImage image(PANEL_WIDTH, PANEL_HEIGHT, QImage::Format_RGB888);
    image.fill(QColor(96, 98, 100));  // the bench behind the rounded case corners
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Case: a vertical gradient with a dark rim and a lighter inner moulding.
    QLinearGradient caseFill(0, 0, 0, PANEL_HEIGHT);
    caseFill.setColorAt(0, QColor(226, 223, 214));
    caseFill.setColorAt(1, QColor(190, 186, 176));
    p.setPen(QPen(QColor(70, 68, 62), 2));
    p.setBrush(caseFill);
    p.drawRoundedRect(QRectF(1.5, 1.5, PANEL_WIDTH - 3, PANEL_HEIGHT - 3), 18, 18);
    p.setPen(QPen(QColor(246, 244, 238), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(6.5, 6.5, PANEL_WIDTH - 13, PANEL_HEIGHT - 13), 14, 14);

    // Maker's lettering.
    p.setPen(QColor(40, 52, 92));
    p.setFont(LabelFont(20, true));
    p.drawText(QPointF(20, 36), QStringLiteral("HALDEN"));
    p.setPen(QColor(70, 70, 72));
    p.setFont(LabelFont(9, false));
    p.drawText(QPointF(128, 26), QStringLiteral("VISIBLE DIODE-ARRAY"));
    p.drawText(QPointF(128, 38), QStringLiteral("SPECTROPHOTOMETER  330 - 830 nm"));

    // Display bezel: a dark frame with a bevel round the glass.
    const QRectF lcd(LCD_LEFT - ORIGIN, LCD_TOP - ORIGIN, 240, 128);
    QLinearGradient bezel(0, lcd.top() - 12, 0, lcd.bottom() + 12);
    bezel.setColorAt(0, QColor(54, 56, 62));
    bezel.setColorAt(1, QColor(30, 31, 35));
    p.setPen(QPen(QColor(250, 250, 246), 1));
    p.setBrush(bezel);
    p.drawRoundedRect(lcd.adjusted(-11, -11, 11, 11), 6, 6);
    p.setPen(QPen(QColor(14, 14, 16), 2));
    p.setBrush(QColor(70, 110, 110));
    p.drawRect(lcd.adjusted(-2, -2, 2, 2));

    // Sample compartment lid to the right of the display.
    const QRectF lid(panel::LID_X, panel::LID_Y, panel::LID_WIDTH, panel::LID_HEIGHT);
    QLinearGradient lidFill(lid.left(), 0, lid.right(), 0);
    lidFill.setColorAt(0, QColor(150, 150, 146));
    lidFill.setColorAt(0.5, QColor(200, 200, 194));
    lidFill.setColorAt(1, QColor(140, 140, 136));
    p.setPen(QPen(QColor(80, 80, 76), 1));
    p.setBrush(lidFill);
    p.drawRoundedRect(lid, 6, 6);
    p.setBrush(QColor(90, 90, 88));
    p.drawRoundedRect(QRectF(lid.left() + 14, lid.top() + 60, 20, 28), 4, 4);
    p.setPen(QColor(60, 60, 62));
    p.setFont(LabelFont(7, true));
    p.drawText(QRectF(lid.left(), lid.bottom() - 18, lid.width(), 12), Qt::AlignCenter, QStringLiteral("SAMPLE"));

    // Wells behind the push keys, a little larger than the keys.
    p.setPen(QPen(QColor(250, 250, 244), 1));
    p.setBrush(QColor(64, 64, 68));
    for (const KeyLayout& key : KEYS) {
        if (key.bShaped)
            continue;
        p.drawRoundedRect(QRectF(key.x - ORIGIN - 2.5, key.y - ORIGIN - 2.5, key.nWidth + 5, key.nHeight + 5), 6, 6);
    }

    // The arrow cluster's well: the rounded cluster, grown by three pixels.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int j = 0; j < PANEL_HEIGHT; j++) {
        for (int i = 0; i < PANEL_WIDTH; i++) {
            const double dx = (i + ORIGIN + 0.5 - CLUSTER_X) / 57.0;
            const double dy = (j + ORIGIN + 0.5 - CLUSTER_Y) / 37.0;
            const double r = dx * dx * dx * dx + dy * dy * dy * dy;
            if (r <= 1.0)
                image.setPixelColor(i, j, r > 0.86 ? QColor(246, 244, 238) : QColor(52, 52, 56));
        }
    }
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient hub(CLUSTER_X - ORIGIN, CLUSTER_Y - ORIGIN, 8);
    hub.setColorAt(0, QColor(150, 150, 156));
    hub.setColorAt(1, QColor(90, 90, 96));
    p.setPen(Qt::NoPen);
    p.setBrush(hub);
    p.drawEllipse(QPointF(CLUSTER_X - ORIGIN, CLUSTER_Y - ORIGIN), 6.5, 6.5);

    // Key legends printed on the case.
    p.setPen(QColor(60, 60, 64));
    p.setFont(LabelFont(7, true));
    p.drawText(QRectF(340, 280, 58, 10), Qt::AlignCenter, QStringLiteral("STANDBY"));

    // Ventilation slots and the model plate.
    p.setPen(QPen(QColor(150, 146, 138), 2.0, Qt::SolidLine, Qt::RoundCap));
    for (int n = 0; n < 7; n++)
        p.drawLine(QPointF(22, 226 + 10 * n), QPointF(112, 226 + 10 * n));
    p.setPen(QPen(QColor(120, 118, 110), 1));
    p.setBrush(QColor(210, 208, 200));
    p.drawRoundedRect(QRectF(20, 302, 96, 18), 3, 3);
    p.setPen(QColor(50, 50, 54));
    p.setFont(LabelFont(8, true));
    p.drawText(QRectF(20, 302, 96, 18), Qt::AlignCenter, QStringLiteral("HALDEN  DA-830"));
    return image;
}

// Toolbar strip: a blank page, a light bulb and a question mark, 16 x 15 each.
QImage ToolbarStrip()
{
    using namespace panel;
    QImage image(TOOLBAR_IMAGE_WIDTH * TOOLBAR_IMAGES, TOOLBAR_IMAGE_HEIGHT, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // blank page with a folded corner
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 13.5);
    page.lineTo(3.5, 13.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
    // light bulb
    p.translate(16, 0);
    QRadialGradient glass(7.5, 5.5, 6);
    glass.setColorAt(0, QColor(255, 255, 200));
    glass.setColorAt(1, QColor(240, 200, 30));
    p.setBrush(glass);
    p.setPen(QPen(QColor(120, 90, 10), 1));
    p.drawEllipse(QRectF(3, 0.5, 9, 9));
    p.setBrush(QColor(150, 150, 150));
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.drawRect(QRectF(5.5, 9.5, 4, 4));
    // question mark
    p.translate(16, 0);
    p.setPen(QColor(20, 50, 170));
    p.setFont(LabelFont(14, true));
    p.drawText(QRectF(0, 0, 16, 15), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

// Application icon: the instrument seen from the front, drawn on a 32 x 32
// grid and scaled to nSize pixels (the desktop menu's sizes).
QImage Icon(int nSize = 32)
{
    QImage image(nSize, nSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(nSize / 32.0, nSize / 32.0);
    p.setPen(QPen(QColor(70, 68, 62), 1));
    p.setBrush(QColor(214, 210, 200));
    p.drawRoundedRect(QRectF(1.5, 4.5, 29, 23), 4, 4);
    p.setBrush(QColor(30, 31, 35));
    p.drawRect(QRectF(7.5, 8.5, 17, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(102, 255, 255));
    p.drawRect(QRectF(9, 10, 14, 8));
    p.setBrush(QColor(36, 150, 52));
    p.drawRect(QRectF(22, 22, 5, 3));
    p.setBrush(QColor(186, 34, 30));
    p.drawRect(QRectF(15, 22, 5, 3));
    return image;
}

bool Save(const QImage& image, const QDir& dir, const QString& sName)
{
    const QString sPath = dir.filePath(sName);
    if (!image.save(sPath, "PNG")) {
        std::fprintf(stderr, "halden-artwork: cannot write %s\n", qPrintable(sPath));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: halden-artwork OUTPUT_DIR\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "halden-artwork: cannot create %s\n", argv[1]);
        return 1;
    }

    bool bOk = Save(Panel(), dir, QStringLiteral("139.png"));
    bOk = Save(ToolbarStrip(), dir, QStringLiteral("2.png")) && bOk;
    bOk = Save(Icon(), dir, QStringLiteral("icon.png")) && bOk;
    for (int nSize : {48, 64, 128, 256})
        bOk = Save(Icon(nSize), dir, QStringLiteral("icon-%1.png").arg(nSize)) && bOk;

    for (const panel::KeyLayout& key : panel::KEYS) {
        for (bool bPressed : {false, true}) {
            QImage image;
            if (key.bShaped) {
                image = ArrowKey(key, bPressed);
            } else {
                const bool bLit = !bPressed;
                switch (key.bCode) {
                case 12:
                    image = PushKey(key.nWidth, key.nHeight, GREY_KEY, bPressed,
                                    [bLit](QPainter& p, const QRectF& r) { PowerSymbol(p, r, bLit); });
                    break;
                case 5:
                    image = PushKey(key.nWidth, key.nHeight, GREEN_KEY, bPressed,
                                    [](QPainter& p, const QRectF& r) { TextLabel(p, r, QStringLiteral("TEST"), 9); });
                    break;
                case 4:
                    image = PushKey(key.nWidth, key.nHeight, RED_KEY, bPressed,
                                    [](QPainter& p, const QRectF& r) { TextLabel(p, r, QStringLiteral("ESC"), 9); });
                    break;
                case 1:
                    image = PushKey(key.nWidth, key.nHeight, BLUE_KEY, bPressed, [](QPainter& p, const QRectF& r) {
                        p.setFont(LabelFont(8, true));
                        p.drawText(r.adjusted(0, 1, 0, -r.height() / 2), Qt::AlignHCenter | Qt::AlignBottom,
                                   QStringLiteral("0A"));
                        p.drawText(r.adjusted(0, r.height() / 2, 0, -1), Qt::AlignHCenter | Qt::AlignTop,
                                   QStringLiteral("100%T"));
                    });
                    break;
                default: {
                    const QString sLabel = QStringLiteral("F%1").arg(key.bCode - 7);
                    image = PushKey(key.nWidth, key.nHeight, GREY_KEY, bPressed,
                                    [sLabel](QPainter& p, const QRectF& r) { TextLabel(p, r, sLabel, 11); });
                    break;
                }
                }
            }
            bOk = Save(image, dir, QStringLiteral("%1.png").arg(bPressed ? key.nDownImage : key.nUpImage)) && bOk;
        }
    }
    return bOk ? 0 : 1;
}
