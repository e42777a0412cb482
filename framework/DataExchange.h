#pragma once
// Data exchange between members and the controls of a dialog or form.
// Members -> controls when m_bSaveAndValidate is false; controls -> members
// with validation when true. A failed check shows a German message, puts the
// focus into the field and stops the exchange (Fail throws CUserException).

#include <QHash>
#include <QString>
#include <QtGlobal>
#include <functional>

class QWidget;
class CProgressCtrl;

class CUserException
{
};

class CDataExchange
{
public:
    // pControls, when given, maps ids to the window's controls: searching the
    // children by name for every field made an exchange of a form cost ~0.5 ms.
    CDataExchange(QWidget* pDlgWnd, bool bSaveAndValidate,
                  const QHash<int, QWidget*>* pControls = nullptr)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_pControls(pControls)
    {
    }

    QWidget* PrepareCtrl(int nIDC);
    QWidget* PrepareEditCtrl(int nIDC);
    [[noreturn]] void Fail();

    bool m_bSaveAndValidate;
    QWidget* m_pDlgWnd;
    const QHash<int, QWidget*>* m_pControls;
    int m_idLastControl = 0;
    QWidget* m_pLastControl = nullptr;
    bool m_bEditLastControl = false;
};

// Runs an exchange; false when a check failed (its message was shown).
bool RunDataExchange(CDataExchange& dx, const std::function<void(CDataExchange*)>& exchange);

// The control with this id in the window, or nullptr.
QWidget* FindControl(QWidget* window, int nIDC);

void DDX_Text(CDataExchange* pDX, int nIDC, QString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, quint32& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_Control(CDataExchange* pDX, int nIDC, CProgressCtrl*& control);

void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars);
void DDV_MinMaxDouble(CDataExchange* pDX, double value, double minVal, double maxVal);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, quint32 value, quint32 minVal, quint32 maxVal);

// Sets an edit's text only when it differs, so an unchanged value costs no repaint.
void SetControlText(QWidget* control, const QString& text);
QString GetControlText(QWidget* control);
