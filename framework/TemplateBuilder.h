#pragma once
// Builds the widgets of a dialog template into a parent widget. Every control
// with an id gets its decimal id as objectName.

#include "framework/DialogTemplate.h"

#include <QFont>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QSize>
#include <functional>

class QWidget;

// A static bitmap; with the notify style a click is a command with its id.
class CPictureCtrl : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// A group frame as the templates mean it: the title sits on the frame's top
// line, half a text line below the control's top, so the frame clears the
// controls the template places inside it.
class CGroupFrame : public QGroupBox
{
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;
    // Where the frame lines run, in the widget's coordinates.
    QRect FrameRect() const;

protected:
    void paintEvent(QPaintEvent* e) override;
};

// A radio button with the push-button look. Checked, it is drawn pressed and
// framed in the highlight colour, whatever the style makes of "checked".
class CPushRadio : public QPushButton
{
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* e) override;
};

struct DialogUnits
{
    int baseX, baseY;  // pixels per 4 horizontal and 8 vertical dialog units
    QFont font;
    int x(int dlu) const { return (dlu * baseX + 2) / 4; }
    int y(int dlu) const { return (dlu * baseY + 4) / 8; }
};

// The family a template's font is drawn in: the named one when installed,
// else a metric-compatible one (Arial, "MS Sans Serif": Liberation Sans).
QString TemplateFontFamily(const QString& fontName);
// The template's font; where no metric-compatible family is installed, the
// one the system gives, sized and narrowed to Arial's height and widths.
QFont TemplateFont(const QString& fontName, int pointSize);
// Any family made as tall and as wide as Arial at that size (at most).
QFont ArialSizedFont(const QString& family, int pointSize);
DialogUnits DialogUnitsFor(const QString& fontName, int pointSize);

struct BuiltTemplate
{
    QHash<int, QWidget*> controls;
    QSize clientSize;
    DialogUnits units;
};

// onCommand receives the id of a clicked button or notifying picture.
BuiltTemplate BuildTemplate(const DialogTemplate& tpl, QWidget* parent,
                            const std::function<void(int)>& onCommand);
