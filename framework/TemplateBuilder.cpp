#include "framework/TemplateBuilder.h"

#include "framework/ProgressCtrl.h"
#include "framework/Resources.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>
#include <cmath>

void CPictureCtrl::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(e);
}

QRect CGroupFrame::FrameRect() const
{
    const int top = fontMetrics().height() / 2;
    return rect().adjusted(0, top, -1, -1);
}

void CGroupFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect frame = FrameRect();
    // Etched: a dark line with a light one beside it.
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(frame.adjusted(1, 1, 0, 0));
    const QString text = title();
    if (text.isEmpty())
        return;
    const QFontMetrics fm = fontMetrics();
    const QRect label(6, 0, fm.horizontalAdvance(text) + 4, fm.height());
    p.fillRect(label, palette().window());
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(label, Qt::AlignCenter, text);
}

void CPushRadio::paintEvent(QPaintEvent* e)
{
    QStyleOptionButton opt;
    initStyleOption(&opt);
    // Every style draws a sunken button as pressed; some draw "on" barely.
    if (isChecked())
        opt.state |= QStyle::State_Sunken;
    QStylePainter p(this);
    p.drawControl(QStyle::CE_PushButton, opt);
    Q_UNUSED(e);
    if (!isChecked())
        return;
    QColor fill = palette().color(QPalette::Highlight);
    fill.setAlpha(60);
    p.fillRect(rect().adjusted(3, 3, -3, -3), fill);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(2, 2, -2, -2));
}

namespace {

// Families with the widths of the ones the templates were laid out in:
// any other fallback makes a dialog larger and look different.
const QHash<QString, QStringList>& CompatibleFamilies()
{
    static const QStringList kArialMetrics{QStringLiteral("Liberation Sans"),
                                           QStringLiteral("Arimo")};
    static const QHash<QString, QStringList> kCompatible{
        {QStringLiteral("Arial"), kArialMetrics},
        {QStringLiteral("MS Sans Serif"), kArialMetrics},
        {QStringLiteral("Microsoft Sans Serif"), kArialMetrics},
        {QStringLiteral("MS Shell Dlg"), kArialMetrics},
    };
    return kCompatible;
}

const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

// Arial's advance of the alphabet and its line height, per 100 pixels of size.
constexpr double kArialAlphabet = 3034.0;
constexpr double kArialHeight = 112.0;

} // namespace

QString TemplateFontFamily(const QString& fontName)
{
    if (QFontDatabase::hasFamily(fontName))
        return fontName;
    for (const QString& family : CompatibleFamilies().value(fontName))
        if (QFontDatabase::hasFamily(family))
            return family;
    return fontName;
}

QFont ArialSizedFont(const QString& family, int pointSize)
{
    QFont font(family, pointSize);
    font.setStyleHint(QFont::SansSerif);
    const double pixels = QFontInfo(font).pixelSize();
    const QFontMetricsF fm(font);
    if (pixels <= 0 || fm.height() <= 0)
        return font;
    // Never taller than Arial, then narrowed to its widths; measured at the
    // size in use, since hinting makes small sizes anything but linear.
    const double size = std::min(1.0, kArialHeight * pixels / 100.0 / fm.height());
    font.setPointSizeF(pointSize * size);
    const double want = kArialAlphabet * pixels / 100.0;
    int stretch = 100;
    for (int round = 0; round < 3; ++round) {
        const double width = QFontMetricsF(font).horizontalAdvance(kAlphabet);
        if (width <= 0)
            break;
        stretch = std::clamp(int(std::lround(stretch * want / width)), 50, 200);
        font.setStretch(stretch);
    }
    return font;
}

QFont TemplateFont(const QString& fontName, int pointSize)
{
    const QString family = TemplateFontFamily(fontName);
    // Neither the family nor a twin is installed: the closest by metrics.
    if (!QFontDatabase::hasFamily(family) && CompatibleFamilies().contains(fontName))
        return ArialSizedFont(QFontInfo(QFont(family)).family(), pointSize);
    QFont font(family, pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits DialogUnitsFor(const QString& fontName, int pointSize)
{
    const QFont font = TemplateFont(fontName, pointSize);
    const QFontMetrics fm(font);
    const int avg = fm.horizontalAdvance(kAlphabet);
    return DialogUnits{(avg / 26 + 1) / 2, fm.height(), font};
}

namespace {

Qt::Alignment textAlignment(unsigned style)
{
    if (style & CS_Center)
        return Qt::AlignHCenter;
    if (style & CS_Right)
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

QWidget* makeEdit(const ControlTemplate& c, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setAlignment(textAlignment(c.style) | Qt::AlignVCenter);
    e->setReadOnly(c.style & CS_ReadOnly);
    e->setFrame(c.style & CS_Border);
    if (c.style & CS_ReadOnly) {
        // Read-only fields look like the dialog, as the user expects; a
        // frameless one shows whatever lies behind it (a group frame).
        QPalette pal = e->palette();
        pal.setColor(QPalette::Base, (c.style & CS_Border) ? pal.color(QPalette::Window) : QColor(Qt::transparent));
        e->setPalette(pal);
        if (!(c.style & CS_TabStop))
            e->setFocusPolicy(Qt::NoFocus);
    }
    e->setTextMargins(0, 0, 0, 0);
    return e;
}

QWidget* makePicture(const ControlTemplate& c, QWidget* parent, const DialogUnits& u)
{
    auto* p = new CPictureCtrl(parent);
    QPixmap pix(BitmapPath(c.text.toInt()));
    if (!pix.isNull()) {
        const QSize box(u.x(c.cx), u.y(c.cy));
        if (pix.width() > box.width() || pix.height() > box.height())
            pix = pix.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        p->setPixmap(pix);
    }
    p->setAlignment(Qt::AlignCenter);
    return p;
}

} // namespace

BuiltTemplate BuildTemplate(const DialogTemplate& tpl, QWidget* parent,
                            const std::function<void(int)>& onCommand)
{
    InitResources();
    BuiltTemplate built;
    built.units = DialogUnitsFor(tpl.fontName, tpl.pointSize);
    const DialogUnits& u = built.units;
    parent->setFont(u.font);
    built.clientSize = QSize(u.x(tpl.cx), u.y(tpl.cy));

    QButtonGroup* group = nullptr;
    QList<QWidget*> groupBoxes;
    for (const ControlTemplate& c : tpl.controls) {
        QWidget* w = nullptr;
        switch (c.kind) {
        case CtlKind::Static: {
            auto* l = new QLabel(c.text, parent);
            l->setAlignment(textAlignment(c.style) | Qt::AlignTop);
            w = l;
            break;
        }
        case CtlKind::Edit: w = makeEdit(c, parent); break;
        case CtlKind::Button: {
            auto* b = new QPushButton(c.text, parent);
            b->setAutoDefault(false);
            b->setDefault(c.style & CS_DefPush);
            const int id = c.id;
            QObject::connect(b, &QPushButton::clicked, parent, [onCommand, id] { onCommand(id); });
            w = b;
            break;
        }
        case CtlKind::Radio: {
            QAbstractButton* b = nullptr;
            if (c.style & CS_PushLike) {
                auto* pb = new CPushRadio(c.text, parent);
                pb->setCheckable(true);
                pb->setAutoDefault(false);
                b = pb;
            } else {
                b = new QRadioButton(c.text, parent);
            }
            if (!group || (c.style & CS_Group))
                group = new QButtonGroup(parent);
            group->addButton(b);
            w = b;
            break;
        }
        case CtlKind::CheckBox: w = new QCheckBox(c.text, parent); break;
        case CtlKind::GroupBox: {
            auto* g = new CGroupFrame(c.text, parent);
            groupBoxes.append(g);
            w = g;
            break;
        }
        case CtlKind::Picture: {
            auto* p = static_cast<CPictureCtrl*>(makePicture(c, parent, u));
            if (c.style & CS_Notify) {
                const int id = c.id;
                QObject::connect(p, &CPictureCtrl::clicked, parent, [onCommand, id] { onCommand(id); });
            }
            w = p;
            break;
        }
        case CtlKind::Progress: w = new CProgressCtrl(parent, c.style & CS_Vertical); break;
        }
        if (c.kind != CtlKind::Radio)
            group = nullptr;
        w->setGeometry(u.x(c.x), u.y(c.y), u.x(c.cx), u.y(c.cy));
        // Font metrics differ slightly from the template's font: let a
        // left-aligned label run on rather than cut its last letters.
        if (c.kind == CtlKind::Static && !(c.style & (CS_Center | CS_Right)) &&
            w->sizeHint().width() > w->width())
            w->resize(w->sizeHint().width(), w->height());
        if (c.id >= 0) {
            w->setObjectName(QString::number(c.id));
            built.controls.insert(c.id, w);
        }
        if (c.style & CS_Disabled)
            w->setEnabled(false);
        if (c.style & CS_Hidden)
            w->hide();
        if (c.kind == CtlKind::Static || c.kind == CtlKind::GroupBox || c.kind == CtlKind::Progress)
            w->setFocusPolicy(Qt::NoFocus);
    }
    // Frames sit behind the controls they enclose.
    for (QWidget* g : groupBoxes)
        g->lower();
    return built;
}
