// Draws every image of KORVA_Powermanagement with QPainter.
// Usage: gen_images <output dir>   (run with QT_QPA_PLATFORM=offscreen)
//
// Everything is drawn at its final pixel size. One-pixel strokes sit on
// half-pixel coordinates and fills on whole ones, so edges stay crisp.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QString g_outDir;

QColor rgba(int r, int g, int b, int a = 255)
{
    return QColor(r, g, b, a);
}

QImage transparentCanvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void begin(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

bool save(const QImage& img, const QString& name, bool opaque)
{
    // The splash and about pictures are plain 24-bit images; the rest keep alpha.
    const QImage out = opaque ? img.convertToFormat(QImage::Format_RGB888)
                              : img.convertToFormat(QImage::Format_ARGB32);
    const QString path = QDir(g_outDir).filePath(name);
    if (!out.save(path, "PNG", 0)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(name), out.width(), out.height());
    return true;
}

QFont sansFont(int pixelSize, int weight = QFont::Normal)
{
    QFont f;
    f.setFamilies({"Nimbus Sans", "Liberation Sans", "Arial", "DejaVu Sans"});
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

// Rectangle whose 1 px outline covers exactly the pixels x .. x+w-1, y .. y+h-1.
QRectF strokeRect(double x, double y, double w, double h)
{
    return QRectF(x + 0.5, y + 0.5, w - 1, h - 1);
}

QLinearGradient vertical(double y0, double y1, const QColor& a, const QColor& b)
{
    QLinearGradient g(0, y0, 0, y1);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

QLinearGradient horizontal(double x0, double x1, const QColor& a, const QColor& b)
{
    QLinearGradient g(x0, 0, x1, 0);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

// ---------------------------------------------------------------------------
// Colours shared by the bars everywhere (the view's green, yellow and red).

struct BarColours
{
    QColor light, mid, dark;
};

const BarColours kGreen{rgba(140, 236, 120), rgba(46, 190, 60), rgba(22, 120, 36)};
const BarColours kYellow{rgba(255, 240, 150), rgba(242, 200, 30), rgba(160, 122, 0)};
const BarColours kRed{rgba(255, 150, 130), rgba(226, 52, 40), rgba(136, 20, 14)};

// A bar lit from the left, like a rounded glass rod.
void fillBar(QPainter& p, const QRectF& r, const BarColours& c)
{
    QLinearGradient g(r.left(), 0, r.right(), 0);
    g.setColorAt(0, c.mid);
    g.setColorAt(0.3, c.light);
    g.setColorAt(1, c.dark);
    p.fillRect(r, g);
}

// ---------------------------------------------------------------------------
// The program's mark: bars rising to the right on a rail, a bolt above them.

QPainterPath boltPath(const QRectF& box)
{
    // Drawn in a 10 x 16 box: a classic zigzag with a sharp tip.
    static const QPointF pts[] = {{6.5, 0},   {0.5, 9},   {4.2, 9}, {2.6, 16},
                                  {9.5, 6.2}, {5.8, 6.2}, {8.6, 0}};
    QPainterPath path;
    const double sx = box.width() / 10.0, sy = box.height() / 16.0;
    for (int i = 0; i < 7; ++i) {
        const QPointF q(box.left() + pts[i].x() * sx, box.top() + pts[i].y() * sy);
        if (i == 0)
            path.moveTo(q);
        else
            path.lineTo(q);
    }
    path.closeSubpath();
    return path;
}

void drawBolt(QPainter& p, const QRectF& box, double outline,
              const QColor& edge = QColor(10, 30, 60, 220))
{
    const QPainterPath bolt = boltPath(box);
    if (outline > 0) {
        p.setPen(QPen(edge, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(bolt);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(box.top(), box.bottom(), rgba(255, 240, 120), rgba(255, 160, 20)));
    p.drawPath(bolt);
}

// A bolt drawn pixel by pixel for the smallest icons, 4 x 6 from (x, y).
void drawPixelBolt(QPainter& p, int x, int y)
{
    static const char* rows[] = {"..##", ".##.", "####", ".##.", "##..", "#..."};
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 4; ++c)
            if (rows[r][c] == '#')
                p.fillRect(QRect(x + c, y + r, 1, 1),
                           r < 3 ? rgba(255, 232, 100) : rgba(255, 190, 30));
}

// The mark on its rounded-square badge, filling a size x size square at origin.
// Sizes below 24 px get their own pixel layout; larger ones share a 32-unit grid
// whose coordinates are whole pixels at 32, 64, 128 and 256. At 24 and 48 a few
// edges fall between pixels, which is acceptable at those sizes.
void drawBadge(QPainter& p, int size)
{
    p.save();
    if (size < 24) {
        const double s = size / 16.0;
        p.scale(s, s);
        p.setPen(QPen(rgba(8, 30, 60), 1));
        p.setBrush(vertical(0, 16, rgba(46, 112, 182), rgba(16, 50, 94)));
        p.drawRoundedRect(strokeRect(0, 0, 16, 16), 2.5, 2.5);
        // Four rising bars, two pixels wide, standing on a one-pixel rail.
        const int tops[] = {10, 8, 6, 3};
        const BarColours* cols[] = {&kGreen, &kGreen, &kYellow, &kRed};
        for (int i = 0; i < 4; ++i) {
            const QRectF r(3 + i * 3, tops[i], 2, 12 - tops[i]);
            p.fillRect(r, cols[i]->mid);
            p.fillRect(QRectF(r.left(), r.top(), 1, r.height()), cols[i]->light);
        }
        p.fillRect(QRectF(2, 12, 12, 1), rgba(210, 220, 232));
        drawPixelBolt(p, 3, 1);
        p.restore();
        return;
    }

    const double u = size / 32.0;
    p.scale(u, u);
    const double hair = 1.0 / u; // one device pixel

    // Badge.
    QPainterPath badge;
    badge.addRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(1, 31, rgba(48, 116, 188), rgba(12, 42, 82)));
    p.drawPath(badge);
    // Soft light from the top.
    QRadialGradient sheen(16, -6, 26);
    sheen.setColorAt(0, rgba(255, 255, 255, 70));
    sheen.setColorAt(1, rgba(255, 255, 255, 0));
    p.setBrush(sheen);
    p.drawPath(badge);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rgba(6, 26, 54), hair));
    p.drawRoundedRect(QRectF(1 + hair / 2, 1 + hair / 2, 30 - hair, 30 - hair), 6, 6);
    p.setPen(QPen(rgba(255, 255, 255, 50), hair));
    p.drawRoundedRect(QRectF(1 + 1.5 * hair, 1 + 1.5 * hair, 30 - 3 * hair, 30 - 3 * hair),
                      6 - hair, 6 - hair);

    // Rail with sleepers under the bars.
    if (size >= 64) {
        for (int i = 0; i < 6; ++i)
            p.fillRect(QRectF(5 + i * 4, 25.5, 2, 1.5), rgba(6, 24, 50, 200));
    }
    p.fillRect(QRectF(4, 24, 24, 1.5),
               vertical(24, 25.5, rgba(236, 242, 248), rgba(150, 166, 186)));

    // Four bars rising to the right: green, green, yellow, red.
    const double tops[] = {18, 15, 11, 7};
    const BarColours* cols[] = {&kGreen, &kGreen, &kYellow, &kRed};
    for (int i = 0; i < 4; ++i) {
        const QRectF r(6 + i * 5.5, tops[i], 4, 24 - tops[i]);
        fillBar(p, r, *cols[i]);
        p.fillRect(QRectF(r.left(), r.top(), r.width(), hair), cols[i]->light);
    }

    // Bolt in the free corner above the low bars.
    drawBolt(p, QRectF(5, 3, 8, 13), size >= 48 ? 1.2 : hair * 1.5);
    p.restore();
}

// ---------------------------------------------------------------------------
// Application and document icons.

QImage appIcon(int size)
{
    QImage img = transparentCanvas(size, size);
    QPainter p(&img);
    begin(p);
    drawBadge(p, size);
    return img;
}

// At 16 px the page and a reduced mark are laid out pixel by pixel.
QImage documentIcon16()
{
    QImage img = transparentCanvas(16, 16);
    QPainter p(&img);
    begin(p);
    QPainterPath page;
    page.moveTo(2.5, 0.5);
    page.lineTo(9.5, 0.5);
    page.lineTo(13.5, 4.5);
    page.lineTo(13.5, 15.5);
    page.lineTo(2.5, 15.5);
    page.closeSubpath();
    p.setPen(QPen(rgba(96, 108, 124), 1));
    p.setBrush(vertical(0, 16, rgba(255, 255, 255), rgba(226, 232, 240)));
    p.drawPath(page);
    QPainterPath ear;
    ear.moveTo(9.5, 0.5);
    ear.lineTo(9.5, 4.5);
    ear.lineTo(13.5, 4.5);
    p.setBrush(rgba(200, 210, 222));
    p.drawPath(ear);

    // Data lines, then the mark's rising bars on their rail.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(4, 3, 4, 1), rgba(150, 162, 178));
    p.fillRect(QRect(4, 5, 6, 1), rgba(150, 162, 178));
    const int tops[] = {10, 8, 6};
    const BarColours* cols[] = {&kGreen, &kYellow, &kRed};
    for (int i = 0; i < 3; ++i) {
        p.fillRect(QRect(4 + i * 3, tops[i], 2, 13 - tops[i]), cols[i]->mid);
        p.fillRect(QRect(4 + i * 3, tops[i], 1, 13 - tops[i]), cols[i]->light);
    }
    p.fillRect(QRect(3, 13, 10, 1), rgba(96, 108, 124));
    return img;
}

QImage documentIcon(int size)
{
    if (size < 24)
        return documentIcon16();
    QImage img = transparentCanvas(size, size);
    QPainter p(&img);
    begin(p);
    // A page with a folded corner, laid out in whole device pixels.
    const int pen = size >= 128 ? 2 : 1;
    const double h = pen / 2.0;
    const int l = size * 5 / 32, r = size - l, t = size / 32, b = size - t;
    const int fold = size * 7 / 32;
    QPainterPath page;
    page.moveTo(l + h, t + h);
    page.lineTo(r - fold, t + h);
    page.lineTo(r - h, t + fold);
    page.lineTo(r - h, b - h);
    page.lineTo(l + h, b - h);
    page.closeSubpath();
    p.setPen(QPen(rgba(96, 108, 124), pen, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(vertical(t, b, rgba(255, 255, 255), rgba(226, 232, 240)));
    p.drawPath(page);

    QPainterPath ear;
    ear.moveTo(r - fold, t + h);
    ear.lineTo(r - fold, t + fold);
    ear.lineTo(r - h, t + fold);
    ear.closeSubpath();
    p.setBrush(vertical(t, t + fold, rgba(214, 222, 232), rgba(184, 194, 208)));
    p.drawPath(ear);

    // Text lines hint at the saved channel table.
    const int lineH = std::max(1, size / 32);
    for (int i = 0; i < 3; ++i) {
        const int w = size * ((i == 2) ? 8 : 12) / 32;
        p.fillRect(QRect(l + size * 3 / 32, size * 4 / 32 + i * size * 5 / 64, w, lineH),
                   rgba(150, 162, 178));
    }

    // The mark sits in the lower part of the page.
    const int badge = size / 2;
    p.translate((size - badge) / 2, size - badge - size * 3 / 32);
    drawBadge(p, badge);
    return img;
}

// ---------------------------------------------------------------------------
// The rocker switch of a channel (on: green lamp, off: red lamp).

constexpr int kSwitchW = 40;
constexpr int kSwitchH = 22;

void drawRocker(QPainter& p, bool leftPressed)
{
    // The well spans x 3..26, y 3..18; the rocker pivots at its middle.
    const QRect well(3, 3, 24, 16);
    p.fillRect(well, rgba(14, 16, 19));
    p.fillRect(QRect(well.left(), well.top() + well.height(), well.width(), 1),
               rgba(255, 255, 255, 40));

    p.save();
    if (!leftPressed) {
        // Mirror about the well's centre line; whole pixels stay whole.
        p.translate(2 * well.left() + well.width(), 0);
        p.scale(-1, 1);
    }
    // Pressed half: sunk, so darker and clear of the well's edges.
    p.fillRect(QRectF(5, 4, 10, 14), vertical(4, 18, rgba(100, 107, 115), rgba(64, 69, 76)));
    p.fillRect(QRectF(5, 4, 10, 1), rgba(124, 131, 139));
    // Raised half: stands up to the well's edge, lit strongest at its far end.
    QLinearGradient lit(15, 0, 27, 0);
    lit.setColorAt(0, rgba(150, 157, 166));
    lit.setColorAt(0.75, rgba(218, 223, 229));
    lit.setColorAt(1, rgba(238, 241, 245));
    p.fillRect(QRectF(15, 3, 12, 15), lit);
    p.fillRect(QRectF(15, 3, 12, 1), rgba(252, 253, 254, 210));
    // Its side face shows under the far end.
    p.fillRect(QRectF(16, 18, 11, 1), rgba(92, 98, 106));
    // The pivot ridge.
    p.fillRect(QRectF(15, 3, 1, 15), rgba(40, 44, 50));
    p.fillRect(QRectF(16, 3, 1, 15), rgba(196, 202, 210, 170));
    p.restore();

    // The marks stay in place: "I" on the left half, "O" on the right.
    const bool leftRaised = !leftPressed;
    const QColor onLight = rgba(58, 64, 72), onDark = rgba(204, 209, 216);
    p.fillRect(QRect(9, 7, 2, 8), leftRaised ? onLight : onDark);
    QPainterPath ring;
    ring.addRoundedRect(QRectF(18, 7, 6, 8), 3, 3);
    ring.addRoundedRect(QRectF(20, 9, 2, 4), 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(leftRaised ? onDark : onLight);
    p.drawPath(ring);
}

// On: a lit green lamp with its glow. Off: the lamp is dark, a dull red
// lens without light, so the two differ in brightness, not only in hue.
void drawLamp(QPainter& p, bool lit)
{
    const QPointF c(33, 11);
    p.setPen(Qt::NoPen);
    if (lit) {
        const QColor glow = rgba(120, 255, 110, 150);
        QRadialGradient halo(c, 7);
        halo.setColorAt(0.55, glow);
        halo.setColorAt(1, QColor(glow.red(), glow.green(), glow.blue(), 0));
        p.setBrush(halo);
        p.drawEllipse(c, 7, 7);
    }

    // Chrome bezel.
    p.setBrush(vertical(6, 16, rgba(238, 241, 244), rgba(92, 98, 106)));
    p.drawEllipse(c, 5, 5);
    p.setBrush(vertical(6, 16, rgba(70, 75, 82), rgba(210, 214, 220)));
    p.drawEllipse(c, 4.1, 4.1);

    QRadialGradient lens(c.x() - 0.8, c.y() - 1, 4.4);
    if (lit) {
        lens.setColorAt(0, rgba(240, 255, 232));
        lens.setColorAt(0.5, rgba(110, 240, 96));
        lens.setColorAt(1, rgba(30, 140, 36));
    } else {
        lens.setColorAt(0, rgba(120, 40, 34));
        lens.setColorAt(0.5, rgba(82, 18, 14));
        lens.setColorAt(1, rgba(40, 8, 6));
    }
    p.setBrush(lens);
    p.drawEllipse(c, 3.4, 3.4);
    // A dark lens keeps only a faint reflection.
    p.setBrush(lit ? rgba(255, 255, 255, 200) : rgba(255, 255, 255, 70));
    p.drawEllipse(QPointF(c.x() - 1.2, c.y() - 1.3), 1.0, 0.8);
}

QImage switchImage(bool on)
{
    QImage img = transparentCanvas(kSwitchW, kSwitchH);
    QPainter p(&img);
    begin(p);

    // Housing: dark plastic, rounded, lit from above.
    p.setPen(QPen(rgba(14, 16, 19), 1));
    p.setBrush(vertical(0, kSwitchH, rgba(84, 91, 100), rgba(38, 42, 47)));
    p.drawRoundedRect(strokeRect(0, 0, kSwitchW, kSwitchH), 3.5, 3.5);
    p.setPen(QPen(rgba(255, 255, 255, 60), 1));
    p.drawLine(QPointF(3, 1.5), QPointF(kSwitchW - 3, 1.5));

    drawRocker(p, on);
    drawLamp(p, on);
    return img;
}

// ---------------------------------------------------------------------------
// Peak-hold glyph: bars on an axis with their highest values marked.

struct PeakLayout
{
    int w, h;     // canvas
    int x0, barW; // first bar and bar width; bars stand barW + 2 apart
};

void drawPeakGlyph(QPainter& p, const PeakLayout& L)
{
    const QColor axis = rgba(70, 80, 92);
    const int base = L.h - 3;
    p.fillRect(QRect(2, 3, 1, base - 3), axis);
    p.fillRect(QRect(2, base, L.w - 4, 1), axis);

    // Three bars, each with a peak-hold tick; the highest peak is marked red.
    const double levels[] = {0.42, 0.62, 0.5};
    const double peaks[] = {0.66, 0.88, 0.76};
    const BarColours* cols[] = {&kGreen, &kYellow, &kGreen};
    const int span = base - 4;
    for (int i = 0; i < 3; ++i) {
        const int x = L.x0 + i * (L.barW + 2);
        const int top = base - qRound(span * levels[i]);
        fillBar(p, QRectF(x, top, L.barW, base - top), *cols[i]);
        p.fillRect(QRect(x, top, L.barW, 1), cols[i]->light);
        const int peak = base - qRound(span * peaks[i]);
        p.fillRect(QRect(x, peak, L.barW, 2), i == 1 ? kRed.mid : axis);
    }
    // A stepped arrow over the maximum, one row per pixel so it stays sharp.
    const int x1 = L.x0 + L.barW + 2;
    const int peak1 = base - qRound(span * peaks[1]);
    const int rows = (L.barW + 1) / 2;
    for (int row = 0; row < rows; ++row) {
        const int inset = rows - 1 - row;
        p.fillRect(QRect(x1 + inset, peak1 - 1 - rows + row, L.barW - 2 * inset, 1), kRed.mid);
    }
}

QImage peakPicture()
{
    QImage img = transparentCanvas(28, 25);
    QPainter p(&img);
    begin(p);
    drawPeakGlyph(p, {28, 25, 6, 5});
    return img;
}

// ---------------------------------------------------------------------------
// Toolbar: eight 24 x 24 buttons in strip order.

const QColor kOutline = rgba(70, 80, 94);

void tbNew(QPainter& p)
{
    QPainterPath page;
    page.moveTo(5.5, 2.5);
    page.lineTo(14.5, 2.5);
    page.lineTo(19.5, 7.5);
    page.lineTo(19.5, 21.5);
    page.lineTo(5.5, 21.5);
    page.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(vertical(2, 22, rgba(255, 255, 255), rgba(222, 229, 238)));
    p.drawPath(page);
    QPainterPath ear;
    ear.moveTo(14.5, 2.5);
    ear.lineTo(14.5, 7.5);
    ear.lineTo(19.5, 7.5);
    p.setBrush(rgba(200, 210, 222));
    p.drawPath(ear);

    // Sparkle: the page is new. Concave arms keep it light.
    const QPointF c(17.5, 17.5);
    const double r = 5.5;
    QPainterPath star;
    star.moveTo(c.x(), c.y() - r);
    star.quadTo(c, QPointF(c.x() + r, c.y()));
    star.quadTo(c, QPointF(c.x(), c.y() + r));
    star.quadTo(c, QPointF(c.x() - r, c.y()));
    star.quadTo(c, QPointF(c.x(), c.y() - r));
    p.setPen(QPen(rgba(176, 112, 0, 200), 0.8));
    p.setBrush(vertical(12, 23, rgba(255, 236, 110), rgba(250, 170, 10)));
    p.drawPath(star);
    p.setPen(Qt::NoPen);
    p.setBrush(rgba(255, 255, 240));
    p.drawEllipse(c, 1.2, 1.2);
}

void tbOpen(QPainter& p)
{
    const QColor edge = rgba(140, 96, 16);
    QPainterPath back;
    back.moveTo(2.5, 5.5);
    back.lineTo(8.5, 5.5);
    back.lineTo(10.5, 7.5);
    back.lineTo(19.5, 7.5);
    back.lineTo(19.5, 19.5);
    back.lineTo(2.5, 19.5);
    back.closeSubpath();
    p.setPen(QPen(edge, 1));
    p.setBrush(vertical(5, 20, rgba(236, 186, 80), rgba(206, 146, 36)));
    p.drawPath(back);

    // A sheet inside the folder.
    p.setPen(QPen(rgba(150, 160, 172), 1));
    p.setBrush(rgba(255, 255, 255));
    p.drawRect(strokeRect(5, 4, 12, 10));

    QPainterPath front;
    front.moveTo(6.5, 10.5);
    front.lineTo(22.5, 10.5);
    front.lineTo(19.5, 19.5);
    front.lineTo(2.5, 19.5);
    front.closeSubpath();
    p.setPen(QPen(edge, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(vertical(10, 20, rgba(255, 224, 130), rgba(240, 180, 56)));
    p.drawPath(front);
}

void tbSave(QPainter& p)
{
    p.setPen(QPen(rgba(22, 52, 104), 1));
    p.setBrush(vertical(3, 21, rgba(74, 130, 206), rgba(36, 82, 156)));
    QPainterPath body;
    body.moveTo(3.5, 3.5);
    body.lineTo(18.5, 3.5);
    body.lineTo(20.5, 5.5);
    body.lineTo(20.5, 20.5);
    body.lineTo(3.5, 20.5);
    body.closeSubpath();
    p.drawPath(body);

    // Metal shutter with its window.
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(7, 4, 10, 6), vertical(4, 10, rgba(236, 240, 244), rgba(176, 184, 194)));
    p.fillRect(QRect(13, 5, 2, 4), rgba(40, 60, 96));
    // Label.
    p.fillRect(QRect(6, 13, 12, 7), rgba(250, 251, 253));
    p.fillRect(QRect(8, 15, 8, 1), rgba(160, 170, 184));
    p.fillRect(QRect(8, 17, 6, 1), rgba(160, 170, 184));
}

void tbDisc(QPainter& p, const BarColours& c, const QColor& edge)
{
    QRadialGradient g(10, 8, 11);
    g.setColorAt(0, c.light);
    g.setColorAt(0.55, c.mid);
    g.setColorAt(1, c.dark);
    p.setPen(QPen(edge, 1));
    p.setBrush(g);
    p.drawEllipse(QPointF(12, 12), 9, 9);
    p.setPen(QPen(rgba(255, 255, 255, 70), 1));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 4, 16, 16), 40 * 16, 100 * 16);
}

void tbAllOff(QPainter& p)
{
    tbDisc(p, kRed, rgba(110, 16, 10));
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 12), 3.5, 4.5);
}

void tbAllOn(QPainter& p)
{
    tbDisc(p, kGreen, rgba(14, 92, 24));
    p.fillRect(QRect(11, 6, 2, 12), Qt::white);
}

void tbMonitor(QPainter& p)
{
    // A window with a title bar, showing big bars in the three colours.
    p.setPen(QPen(rgba(30, 50, 80), 1));
    p.setBrush(rgba(26, 32, 40));
    p.drawRect(strokeRect(1, 3, 22, 18));
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(2, 4, 20, 3), horizontal(2, 22, rgba(70, 128, 204), rgba(40, 86, 160)));
    p.fillRect(QRect(19, 5, 2, 1), rgba(220, 230, 245));
    const int tops[] = {12, 9, 14};
    const BarColours* cols[] = {&kGreen, &kYellow, &kRed};
    for (int i = 0; i < 3; ++i)
        fillBar(p, QRectF(4 + i * 6, tops[i], 4, 19 - tops[i]), *cols[i]);
    p.fillRect(QRect(3, 19, 18, 1), rgba(120, 132, 148));
}

void tbPeak(QPainter& p)
{
    drawPeakGlyph(p, {24, 24, 5, 4});
}

void tbConsumption(QPainter& p)
{
    // An electricity meter: housing, counter, and a bolt for the energy.
    p.setPen(QPen(rgba(80, 90, 104), 1));
    p.setBrush(vertical(1, 23, rgba(246, 248, 250), rgba(196, 204, 214)));
    p.drawRoundedRect(strokeRect(3, 1, 18, 22), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(5, 4, 14, 6), rgba(24, 28, 34));
    for (int i = 0; i < 4; ++i) {
        const int x = 6 + i * 3;
        p.fillRect(QRect(x, 5, 2, 4), i == 3 ? rgba(220, 60, 50) : rgba(230, 234, 240));
        p.fillRect(QRect(x, 7, 2, 1), rgba(24, 28, 34, 140));
    }
    drawBolt(p, QRectF(7.5, 11, 9, 11), 1, rgba(168, 100, 0));
}

void tbJournal(QPainter& p)
{
    // A log sheet: lines of entries, one of them a red trip.
    p.setPen(QPen(rgba(80, 90, 104), 1));
    p.setBrush(vertical(1, 23, rgba(255, 255, 255), rgba(222, 228, 236)));
    p.drawRect(strokeRect(4, 1, 16, 22));
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        const int y = 5 + i * 3;
        p.fillRect(QRect(7, y, 2, 2), i == 2 ? rgba(210, 40, 30) : rgba(60, 120, 200));
        p.fillRect(QRect(10, y, i % 2 ? 6 : 8, 2), i == 2 ? rgba(210, 40, 30) : rgba(150, 160, 174));
    }
    p.fillRect(QRect(7, 20, 10, 1), rgba(180, 188, 200));
}

void tbHistory(QPainter& p)
{
    // A strip chart: a current trace climbing to the dashed cut-off line.
    p.setPen(QPen(rgba(30, 50, 80), 1));
    p.setBrush(rgba(250, 251, 253));
    p.drawRect(strokeRect(1, 3, 22, 18));
    p.setPen(QPen(rgba(210, 40, 30), 1, Qt::DashLine));
    p.drawLine(QPointF(2, 7.5), QPointF(22, 7.5));
    p.setPen(QPen(rgba(40, 100, 200), 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath trace;
    trace.moveTo(3, 17);
    trace.lineTo(7, 15);
    trace.lineTo(10, 16);
    trace.lineTo(14, 11);
    trace.lineTo(17, 8);
    trace.lineTo(18, 18);
    trace.lineTo(21, 18);
    p.drawPath(trace);
}

QImage toolbarButton(const std::function<void(QPainter&)>& draw)
{
    QImage img = transparentCanvas(24, 24);
    QPainter p(&img);
    begin(p);
    draw(p);
    return img;
}

QImage toolbarStrip(int scale)
{
    using Draw = std::function<void(QPainter&)>;
    const Draw buttons[] = {tbNew,   tbOpen,    tbSave, tbAllOff,
                            tbAllOn, tbMonitor, tbPeak, tbConsumption};
    QImage img = transparentCanvas(8 * 24 * scale, 24 * scale);
    for (int i = 0; i < 8; ++i) {
        QPainter p(&img);
        begin(p);
        p.scale(scale, scale);
        p.translate(i * 24, 0);
        p.setClipRect(QRect(0, 0, 24, 24));
        buttons[i](p);
    }
    return img;
}

// ---------------------------------------------------------------------------
// About-box picture: the mark and the short name on a dark banner.

QImage aboutPicture()
{
    QImage img(100, 43, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    begin(p);
    p.fillRect(img.rect(), vertical(0, 43, rgba(20, 52, 92), rgba(8, 24, 46)));
    p.fillRect(QRect(0, 0, 100, 1), rgba(70, 120, 180));

    p.save();
    p.translate(4, 5);
    drawBadge(p, 32);
    p.restore();

    p.setPen(rgba(240, 246, 252));
    p.setFont(sansFont(15, QFont::Bold));
    p.drawText(QRect(41, 4, 58, 20), Qt::AlignLeft | Qt::AlignVCenter, "KORVA");
    p.setPen(rgba(150, 186, 222));
    p.setFont(sansFont(9));
    p.drawText(QRect(42, 22, 58, 13), Qt::AlignLeft | Qt::AlignVCenter, "Kalvento");
    // Rail along the bottom edge.
    p.fillRect(QRect(0, 40, 100, 1), rgba(160, 176, 196));
    return img;
}

// ---------------------------------------------------------------------------
// Splash screen, 750 x 500.

constexpr int kSplashW = 750;
constexpr int kSplashH = 500;

void splashBackground(QPainter& p)
{
    p.fillRect(QRect(0, 0, kSplashW, kSplashH),
               vertical(0, kSplashH, rgba(16, 42, 74), rgba(6, 18, 34)));
    // Faint engineering grid.
    for (int x = 25; x < kSplashW; x += 25)
        p.fillRect(QRect(x, 0, 1, 430), rgba(255, 255, 255, x % 125 == 0 ? 14 : 7));
    for (int y = 25; y < 430; y += 25)
        p.fillRect(QRect(0, y, kSplashW, 1), rgba(255, 255, 255, y % 125 == 0 ? 14 : 7));
}

void splashTitle(QPainter& p)
{
    p.save();
    p.translate(40, 40);
    drawBadge(p, 96);
    p.restore();

    p.setPen(rgba(246, 250, 255));
    p.setFont(sansFont(40, QFont::Bold));
    p.drawText(QPointF(156, 92), "KORVA_Powermanagement");
    p.setPen(rgba(150, 190, 230));
    p.setFont(sansFont(18));
    p.drawText(QPointF(158, 124),
               QString::fromUtf8("Stromüberwachung und Schaltpult für 16 Booster"));

    QLinearGradient line(40, 0, 710, 0);
    line.setColorAt(0, rgba(90, 180, 255, 200));
    line.setColorAt(1, rgba(90, 180, 255, 0));
    p.fillRect(QRect(40, 160, 670, 1), line);
}

void splashBars(QPainter& p)
{
    // Eight channels as the view shows them, with alarm and cut-off levels.
    const int left = 420, bottom = 366, height = 170, barW = 24, gap = 12;
    const double values[] = {0.42, 0.66, 0.34, 0.93, 0.55, 0.80, 0.26, 0.61};
    const double alarm = 0.75, cutoff = 0.9;
    const int width = 8 * barW + 7 * gap;
    auto xOf = [&](int i) { return left + i * (barW + gap); };

    p.setPen(QPen(rgba(70, 100, 140), 1));
    p.setBrush(rgba(8, 20, 38, 220));
    for (int i = 0; i < 8; ++i)
        p.drawRect(strokeRect(xOf(i) - 1, bottom - height - 1, barW + 2, height + 2));

    // Levels run behind the bars, so a bar that crosses one hides it.
    auto level = [&](double v, const QColor& c, int alpha) {
        const int y = bottom - qRound(height * v);
        p.setPen(QPen(QColor(c.red(), c.green(), c.blue(), alpha), 1, Qt::DashLine));
        p.drawLine(QPointF(left - 8, y + 0.5), QPointF(left + width + 8, y + 0.5));
    };
    level(alarm, kYellow.mid, 170);
    level(cutoff, kRed.mid, 190);

    p.setFont(sansFont(12));
    for (int i = 0; i < 8; ++i) {
        const BarColours& c = values[i] >= cutoff ? kRed : values[i] >= alarm ? kYellow : kGreen;
        const int h = qRound(height * values[i]);
        fillBar(p, QRectF(xOf(i), bottom - h, barW, h), c);
        p.fillRect(QRect(xOf(i), bottom - h, barW, 1), c.light);
        p.setPen(rgba(130, 160, 196));
        p.drawText(QRect(xOf(i) - 6, bottom + 6, barW + 12, 16), Qt::AlignCenter,
                   QString::number(i + 1));
    }

    // Scale in ampere, as beside the view's bars.
    const struct
    {
        double v;
        const char* text;
    } marks[] = {{1.0, "5 A"}, {0.5, "2,5 A"}, {0.0, "0 A"}};
    p.setPen(rgba(130, 160, 196));
    for (const auto& m : marks) {
        const int y = bottom - qRound(height * m.v);
        p.drawText(QRect(left - 70, y - 8, 56, 16), Qt::AlignRight | Qt::AlignVCenter, m.text);
    }
}

void splashBolt(QPainter& p)
{
    const QRectF box(176, 196, 104, 168);
    QRadialGradient glow(box.center(), 130);
    glow.setColorAt(0, rgba(255, 190, 60, 70));
    glow.setColorAt(1, rgba(255, 190, 60, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(box.center(), 130, 130);
    drawBolt(p, box, 4);
    // A thin highlight along the bolt's upper edges.
    p.setPen(QPen(rgba(255, 255, 230, 160), 1.5));
    p.setBrush(Qt::NoBrush);
    const QPainterPath path = boltPath(box);
    p.drawLine(path.elementAt(0), path.elementAt(1));
}

void splashRail(QPainter& p)
{
    // Side view of a track: sleepers, then the rail (head, web, foot).
    const int head = 404;
    for (int x = 10; x < kSplashW; x += 46)
        p.fillRect(QRect(x, head + 14, 30, 8),
                   vertical(head + 14, head + 22, rgba(74, 62, 52), rgba(44, 36, 30)));
    p.fillRect(QRect(0, head, kSplashW, 6),
               vertical(head, head + 6, rgba(238, 242, 246), rgba(140, 152, 168)));
    p.fillRect(QRect(0, head + 6, kSplashW, 5), rgba(78, 88, 102));
    p.fillRect(QRect(0, head + 11, kSplashW, 3),
               vertical(head + 11, head + 14, rgba(120, 132, 148), rgba(70, 80, 94)));
}

void splashFooter(QPainter& p)
{
    p.fillRect(QRect(0, 440, kSplashW, 60), rgba(4, 12, 24));
    p.fillRect(QRect(0, 440, kSplashW, 1), rgba(60, 110, 170));
    p.setPen(rgba(226, 236, 248));
    p.setFont(sansFont(20, QFont::DemiBold));
    p.drawText(QRect(40, 450, 670, 40), Qt::AlignRight | Qt::AlignVCenter, "Kalvento GmbH");
    p.setPen(rgba(126, 154, 186));
    p.setFont(sansFont(14));
    p.drawText(QRect(40, 450, 670, 40), Qt::AlignLeft | Qt::AlignVCenter, "Version 1.0");
}

QImage splash()
{
    QImage img(kSplashW, kSplashH, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    begin(p);
    splashBackground(p);
    splashTitle(p);
    splashBolt(p);
    splashBars(p);
    splashRail(p);
    splashFooter(p);
    return img;
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing into images needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_images <output dir>\n");
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_outDir)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    bool ok = true;
    ok &= save(splash(), "bitmap_107.png", true);
    ok &= save(toolbarStrip(1), "bitmap_128.png", false);
    ok &= save(toolbarStrip(2), "bitmap_128@2x.png", false);
    ok &= save(aboutPicture(), "bitmap_130.png", true);
    ok &= save(switchImage(false), "bitmap_167.png", false);
    ok &= save(switchImage(true), "bitmap_168.png", false);
    ok &= save(peakPicture(), "bitmap_175.png", false);
    // Buttons beyond the strip, loaded by command id.
    ok &= save(toolbarButton(tbJournal), "cmd-32840.png", false);
    ok &= save(toolbarButton(tbHistory), "cmd-32841.png", false);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        ok &= save(appIcon(size), QString("icon_128-%1.png").arg(size), false);
        ok &= save(documentIcon(size), QString("icon_129-%1.png").arg(size), false);
    }
    return ok ? 0 : 1;
}
