#include "framework/DataExchange.h"

#include "framework/Messages.h"
#include "framework/Numbers.h"
#include "framework/ProgressCtrl.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>
#include <QWidget>
#include <climits>

bool RunDataExchange(CDataExchange& dx, const std::function<void(CDataExchange*)>& exchange)
{
    try {
        exchange(&dx);
    } catch (const CUserException&) {
        return false;
    }
    return true;
}

QWidget* FindControl(QWidget* window, int nIDC)
{
    if (!window)
        return nullptr;
    return window->findChild<QWidget*>(QString::number(nIDC));
}

QWidget* CDataExchange::PrepareCtrl(int nIDC)
{
    m_idLastControl = nIDC;
    m_bEditLastControl = false;
    m_pLastControl = m_pControls ? m_pControls->value(nIDC, nullptr) : nullptr;
    if (!m_pLastControl)
        m_pLastControl = FindControl(m_pDlgWnd, nIDC);
    return m_pLastControl;
}

QWidget* CDataExchange::PrepareEditCtrl(int nIDC)
{
    QWidget* w = PrepareCtrl(nIDC);
    m_bEditLastControl = true;
    return w;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate) {
        if (QWidget* w = m_pLastControl) {
            w->setFocus(Qt::OtherFocusReason);
            if (auto* e = qobject_cast<QLineEdit*>(w))
                e->selectAll();
        }
    }
    throw CUserException();
}

void SetControlText(QWidget* control, const QString& text)
{
    if (auto* e = qobject_cast<QLineEdit*>(control)) {
        if (e->text() != text) {
            e->setText(text);
            e->setCursorPosition(0);
        }
    } else if (auto* l = qobject_cast<QLabel*>(control)) {
        if (l->text() != text)
            l->setText(text);
    } else if (auto* b = qobject_cast<QAbstractButton*>(control)) {
        if (b->text() != text)
            b->setText(text);
    }
}

QString GetControlText(QWidget* control)
{
    if (auto* e = qobject_cast<QLineEdit*>(control))
        return e->text();
    if (auto* l = qobject_cast<QLabel*>(control))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(control))
        return b->text();
    return {};
}

namespace {

void failWith(CDataExchange* pDX, const QString& message)
{
    AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION, pDX->m_pDlgWnd);
    pDX->Fail();
}

} // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, QString& value)
{
    QWidget* w = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = GetControlText(w);
    else
        SetControlText(w, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value)
{
    QWidget* w = pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        SetControlText(w, FormatNumber(value));
        return;
    }
    const auto parsed = ParseNumber(GetControlText(w));
    if (!parsed)
        failWith(pDX, QStringLiteral("Bitte geben Sie eine Zahl ein."));
    value = *parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    QWidget* w = pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        SetControlText(w, FormatInteger(value));
        return;
    }
    const auto parsed = ParseInteger(GetControlText(w));
    if (!parsed || *parsed < INT_MIN || *parsed > INT_MAX)
        failWith(pDX, QStringLiteral("Bitte geben Sie eine ganze Zahl ein."));
    value = int(*parsed);
}

void DDX_Text(CDataExchange* pDX, int nIDC, quint32& value)
{
    QWidget* w = pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        SetControlText(w, FormatInteger(value));
        return;
    }
    const auto parsed = ParseInteger(GetControlText(w));
    if (!parsed || *parsed < 0 || *parsed > qint64(UINT_MAX))
        failWith(pDX, QStringLiteral("Bitte geben Sie eine positive ganze Zahl ein."));
    value = quint32(*parsed);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    auto* first = qobject_cast<QAbstractButton*>(pDX->PrepareCtrl(nIDC));
    QButtonGroup* group = first ? first->group() : nullptr;
    if (!group)
        return;
    const QList<QAbstractButton*> buttons = group->buttons();
    if (pDX->m_bSaveAndValidate) {
        value = buttons.indexOf(group->checkedButton());  // -1 when none
        return;
    }
    // An exclusive group cannot uncheck its last button; -1 shows none pressed.
    group->setExclusive(false);
    for (int i = 0; i < buttons.size(); ++i)
        buttons[i]->setChecked(i == value);
    group->setExclusive(true);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CProgressCtrl*& control)
{
    if (!control)
        control = qobject_cast<CProgressCtrl*>(pDX->PrepareCtrl(nIDC));
}

namespace {

// Limits typing only: QLineEdit::setMaxLength would also cut a longer text
// that is set from a member, and such a text must be shown whole.
class MaxCharsValidator : public QValidator
{
public:
    MaxCharsValidator(QLineEdit* edit, int n) : QValidator(edit), m_n(n), m_last(edit->text().size())
    {
        // The edit already holds the new text while validating: remember the
        // last accepted one. Read from the edit: a signal of an outer change
        // can arrive after an inner one and carry an older text.
        connect(edit, &QLineEdit::textChanged, this,
                [this, edit] { m_last = edit->text().size(); });
        // A paste keeps its first characters that fit, as a standard edit
        // does. What was inserted ends at the cursor. (textEdited comes
        // before textChanged: m_last is still the length before the paste.)
        connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& t) {
            const qsizetype excess = t.size() - qMax(qsizetype(m_n), m_last);
            const int pos = edit->cursorPosition();
            if (excess <= 0 || excess > pos)
                return;
            edit->setText(QString(t).remove(pos - excess, excess));
            edit->setCursorPosition(pos - int(excess));
        });
    }
    State validate(QString& input, int&) const override
    {
        // A typed character that does not fit is refused; a longer insertion
        // is cut to fit once it is in.
        return input.size() > m_n && input.size() == m_last + 1 ? Invalid : Acceptable;
    }
    int m_n;
    qsizetype m_last;
};

} // namespace

void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars)
{
    if (!pDX->m_bSaveAndValidate) {
        auto* e = qobject_cast<QLineEdit*>(pDX->m_pLastControl);
        if (e && !dynamic_cast<const MaxCharsValidator*>(e->validator()))
            e->setValidator(new MaxCharsValidator(e, nChars));
        return;
    }
    if (value.size() > nChars)
        failWith(pDX, QStringLiteral("Bitte geben Sie nicht mehr als %1 Zeichen ein.").arg(nChars));
}

void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minVal, double maxVal)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    failWith(pDX, QStringLiteral("Bitte geben Sie eine Zahl zwischen %1 und %2 ein.")
                      .arg(FormatNumber(minVal), FormatNumber(maxVal)));
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    failWith(pDX, QStringLiteral("Bitte geben Sie eine ganze Zahl zwischen %1 und %2 ein.")
                      .arg(FormatInteger(minVal), FormatInteger(maxVal)));
}

void DDV_MinMaxUInt(CDataExchange* pDX, quint32 value, quint32 minVal, quint32 maxVal)
{
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal))
        return;
    failWith(pDX, QStringLiteral("Bitte geben Sie eine ganze Zahl zwischen %1 und %2 ein.")
                      .arg(FormatInteger(minVal), FormatInteger(maxVal)));
}
