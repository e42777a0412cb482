// Fonts on a plain desktop: the templates ask for Arial, and where neither it
// nor a metric twin is installed, the family the system offers is sized and
// narrowed so that the forms keep the size they were laid out in.

#include "framework/TemplateBuilder.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QTest>

namespace {

const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

double AlphabetWidth(const QFont& font)
{
    return QFontMetricsF(font).horizontalAdvance(kAlphabet);
}

} // namespace

class TestFirstUseFonts : public QObject
{
    Q_OBJECT
private slots:
    void widerFamilyIsNarrowedToArialWidths_data();
    void widerFamilyIsNarrowedToArialWidths();
};

void TestFirstUseFonts::widerFamilyIsNarrowedToArialWidths_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    // The families a desktop without the Liberation fonts may offer instead.
    for (const char* family : {"DejaVu Sans", "DejaVu Sans Condensed", "Nimbus Sans", "Noto Sans"})
        for (int size : {5, 8})
            QTest::addRow("%s %d", family, size) << QString::fromLatin1(family) << size;
}

void TestFirstUseFonts::widerFamilyIsNarrowedToArialWidths()
{
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    if (!QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
        QSKIP("Liberation Sans (Arial's widths) is not installed to compare with");
    if (!QFontDatabase::hasFamily(family))
        QSKIP("family not installed");
    const QFont arial = TemplateFont(QStringLiteral("Arial"), pointSize);
    const QFont sized = ArialSizedFont(family, pointSize);
    const double want = AlphabetWidth(arial);
    const double got = AlphabetWidth(sized);
    QVERIFY2(qAbs(got - want) <= 0.04 * want,
             qPrintable(QStringLiteral("%1 against %2").arg(got).arg(want)));
    QVERIFY(QFontMetricsF(sized).height() <= QFontMetricsF(arial).height() + 1.0);
    // The forms are laid out in dialog units of that font.
    const DialogUnits a = DialogUnitsFor(QStringLiteral("Arial"), pointSize);
    const QFontMetrics fm(sized);
    QVERIFY(qAbs((fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2 - a.baseX) <= 1);
}

QTEST_MAIN(TestFirstUseFonts)
#include "test_first_use_fonts.moc"
