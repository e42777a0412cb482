// Checks the committed images, the resource list and the desktop files
// against what the program and the desktop rely on.
// Usage: check_images <res dir>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <cstdio>

namespace {

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const QString& what)
{
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAIL: %s\n", qPrintable(what));
    }
}

QDir g_res;

// alias -> file, as listed under the "/res" prefix.
QMap<QString, QString> readQrc()
{
    QMap<QString, QString> entries;
    QFile f(g_res.filePath("korva.qrc"));
    check(f.open(QIODevice::ReadOnly), "korva.qrc opens");
    QXmlStreamReader xml(&f);
    QString prefix;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"qresource") {
            prefix = xml.attributes().value("prefix").toString();
        } else if (xml.name() == u"file") {
            const QString alias = xml.attributes().value("alias").toString();
            const QString file = xml.readElementText();
            check(prefix == "/res", "prefix /res for " + file);
            check(!entries.contains(alias), "alias listed once: " + alias);
            entries.insert(alias, file);
        }
    }
    check(!xml.hasError(), "korva.qrc is well-formed XML");
    return entries;
}

QImage load(const QMap<QString, QString>& qrc, const QString& alias)
{
    QImage img(g_res.filePath(qrc.value(alias)));
    check(!img.isNull(), alias + " loads");
    return img;
}

void checkQrcMatchesFiles(const QMap<QString, QString>& qrc)
{
    QStringList expected;
    for (const char* id : {"107", "128", "128@2x", "130", "167", "168", "175"})
        expected << QString("bitmaps/%1.png").arg(id);
    for (int icon : {128, 129})
        for (int size : {16, 32, 48, 64, 128, 256})
            expected << QString("icons/%1-%2.png").arg(icon).arg(size);
    for (const QString& alias : expected)
        check(qrc.contains(alias), "qrc lists " + alias);

    QSet<QString> listed;
    for (const QString& file : qrc)
        listed.insert(QFileInfo(g_res.filePath(file)).canonicalFilePath());
    for (const QString& file : qrc)
        check(QFileInfo::exists(g_res.filePath(file)), "file exists: " + file);
    // A PNG left out of the list would silently be missing at run time.
    const QDir images(g_res.filePath("images"));
    for (const QFileInfo& png : images.entryInfoList({"*.png"}, QDir::Files))
        check(listed.contains(png.canonicalFilePath()), "qrc lists " + png.fileName());
}

// Share of pixels that are not fully transparent.
double coverage(const QImage& img, const QRect& r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qAlpha(img.pixel(x, y)) > 0;
    return double(n) / (r.width() * r.height());
}

double meanLuma(const QImage& img, const QRect& r)
{
    double sum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            sum += qGray(img.pixel(x, y));
    return sum / (r.width() * r.height());
}

void checkBitmaps(const QMap<QString, QString>& qrc)
{
    const QImage splash = load(qrc, "bitmaps/107.png");
    check(splash.size() == QSize(750, 500), "splash is 750 x 500");
    check(!splash.hasAlphaChannel(), "splash is opaque 24-bit");
    check(QFileInfo(g_res.filePath(qrc.value("bitmaps/107.png"))).size() < 300 * 1024,
          "splash PNG stays under 300 KB");

    const QImage about = load(qrc, "bitmaps/130.png");
    check(about.size() == QSize(100, 43), "about picture is 100 x 43");
    check(!about.hasAlphaChannel(), "about picture is opaque 24-bit");

    // Picture control of 19 x 16 dialog units: must fit at the smallest
    // pixels-per-unit the dialog font gives (1.5 across, 1.6 down).
    const QImage peak = load(qrc, "bitmaps/175.png");
    check(peak.width() <= 28 && peak.height() <= 25 && peak.width() >= 20 && peak.height() >= 18,
          "peak picture fits its 19 x 16 unit control");
    check(coverage(peak, peak.rect()) > 0.15, "peak picture is drawn");
}

void checkSwitches(const QMap<QString, QString>& qrc)
{
    const QImage off = load(qrc, "bitmaps/167.png");
    const QImage on = load(qrc, "bitmaps/168.png");
    check(off.size() == on.size(), "both switch images have one size");
    // The panel is 59 units wide; the images sit between the current and the
    // name edit, about 14 units of height.
    check(on.width() <= 59 * 1.5 - 12 && on.height() <= 14 * 1.6, "switch fits the channel panel");
    check(on.width() >= 24 && on.height() >= 16, "switch is large enough to click");

    // The lamp is on the right: green for on (168), red for off (167).
    auto lampColour = [](const QImage& img) {
        long r = 0, g = 0;
        // The lens, inside the bezel.
        for (int y = 9; y < 14; ++y)
            for (int x = 31; x < 36; ++x) {
                r += qRed(img.pixel(x, y));
                g += qGreen(img.pixel(x, y));
            }
        return std::pair{r, g};
    };
    const auto [onR, onG] = lampColour(on);
    const auto [offR, offG] = lampColour(off);
    check(onG > onR * 1.2, "on image (168) has a green lamp");
    check(offR > offG * 1.2, "off image (167) has a red lamp");
    // Lit against dark: the lamps differ in brightness, not only in hue.
    const QRect lens(31, 9, 5, 5);
    check(meanLuma(on, lens) > meanLuma(off, lens) + 80, "on lamp is lit, off lamp is dark");

    // The rocker tilts the other way: its pressed half is the darker one.
    const int h = on.height();
    const QRect leftHalf(5, 5, 9, h - 10), rightHalf(17, 5, 9, h - 10);
    check(meanLuma(on, leftHalf) + 30 < meanLuma(on, rightHalf), "on: left half pressed");
    check(meanLuma(off, rightHalf) + 30 < meanLuma(off, leftHalf), "off: right half pressed");
    // Same body: the housing outside rocker and lamp is identical.
    bool sameBody = true;
    for (int x = 0; x < on.width(); ++x)
        sameBody &= on.pixel(x, 0) == off.pixel(x, 0) && on.pixel(x, h - 1) == off.pixel(x, h - 1);
    check(sameBody, "both switch images share the housing");
}

void checkToolbar(const QMap<QString, QString>& qrc)
{
    const QImage strip = load(qrc, "bitmaps/128.png");
    check(strip.size() == QSize(192, 24), "toolbar strip is 8 x 24 by 24");
    check(strip.hasAlphaChannel(), "toolbar strip is transparent around the buttons");
    const QImage strip2 = load(qrc, "bitmaps/128@2x.png");
    check(strip2.size() == QSize(384, 48), "2x toolbar strip is twice the size");

    QList<QImage> cells;
    for (int i = 0; i < 8; ++i) {
        const QRect cell(i * 24, 0, 24, 24);
        const double c = coverage(strip, cell);
        check(c > 0.15 && c < 0.95, QString("toolbar button %1 is drawn inside its cell").arg(i));
        // The 2x button covers about the same share of its cell.
        const double c2 = coverage(strip2, QRect(i * 48, 0, 48, 48));
        check(std::abs(c2 - c) < 0.12, QString("2x toolbar button %1 matches 1x").arg(i));
        cells << strip.copy(cell);
    }
    for (int i = 0; i < 8; ++i)
        for (int j = i + 1; j < 8; ++j)
            check(cells[i] != cells[j], QString("toolbar buttons %1 and %2 differ").arg(i).arg(j));
}

void checkIcons(const QMap<QString, QString>& qrc)
{
    for (int icon : {128, 129}) {
        for (int size : {16, 32, 48, 64, 128, 256}) {
            const QString alias = QString("icons/%1-%2.png").arg(icon).arg(size);
            const QImage img = load(qrc, alias);
            check(img.size() == QSize(size, size), alias + " has its size");
            check(img.hasAlphaChannel() && qAlpha(img.pixel(0, 0)) < 255,
                  alias + " has a transparent corner");
            check(qAlpha(img.pixel(size / 2, size * 3 / 4)) == 255, alias + " is solid inside");
        }
    }
}

QString readText(const QString& name)
{
    QFile f(g_res.filePath(name));
    check(f.open(QIODevice::ReadOnly | QIODevice::Text), name + " opens");
    return QString::fromUtf8(f.readAll());
}

void checkDesktopFiles()
{
    const QStringList lines = readText("korva.desktop").split('\n');
    QMap<QString, QString> entry;
    for (const QString& line : lines) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            entry.insert(line.left(eq), line.mid(eq + 1));
    }
    check(lines.value(0) == "[Desktop Entry]", "desktop entry starts with its group");
    check(entry.value("Type") == "Application", "desktop Type");
    check(entry.value("Name") == "KORVA_Powermanagement", "desktop Name");
    check(entry.value("Exec") == "korva %f", "desktop Exec passes one file");
    check(entry.value("Icon") == "korva", "desktop Icon");
    check(entry.value("Categories") == "Utility;Electronics;", "desktop Categories");
    check(entry.value("Comment").contains(QRegularExpression(QString::fromUtf8("[äöüÄÖÜß]"))),
          "desktop Comment is German");

    const QString mime = readText("korva-mime.xml");
    QXmlStreamReader xml(mime);
    QString type, comment, glob;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"mime-type")
            type = xml.attributes().value("type").toString();
        else if (xml.name() == u"comment" && xml.attributes().value("xml:lang").isEmpty())
            comment = xml.readElementText();
        else if (xml.name() == u"glob")
            glob = xml.attributes().value("pattern").toString();
    }
    check(!xml.hasError(), "mime XML is well-formed");
    check(type == "application/x-korva-sav", "mime type name");
    check(comment == "KORVA_Powermanagement Document", "mime comment");
    check(glob == "*.sav", "mime glob");
    // The program is only offered for the files it declares.
    check(entry.value("MimeType") == type + ";", "desktop MimeType names the mime type");
}

} // namespace

int main(int argc, char** argv)
{
    // Drawing into images needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: check_images <res dir>\n");
        return 2;
    }
    g_res = QDir(QString::fromLocal8Bit(argv[1]));

    const QMap<QString, QString> qrc = readQrc();
    checkQrcMatchesFiles(qrc);
    checkBitmaps(qrc);
    checkSwitches(qrc);
    checkToolbar(qrc);
    checkIcons(qrc);
    checkDesktopFiles();

    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
