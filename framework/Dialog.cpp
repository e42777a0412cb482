#include "framework/Dialog.h"

#include "framework/Messages.h"

#include "framework/WndTimers.h"
#include "framework/FrameworkIds.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

CDialog::CDialog(int nIDTemplate, QWidget* pParent)
    : QDialog(pParent), m_nIDTemplate(nIDTemplate),
      m_timers(new CWndTimers([this](quintptr id) { OnTimer(id); }, this))
{
}

CDialog::~CDialog() = default;

int CDialog::CaptionWidth(const QString& caption)
{
    // Title bars commonly use a bold face somewhat larger than the desktop
    // font, and many window managers draw minimise, maximise and close
    // buttons whatever a dialog asks for.
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    constexpr int kIconAndMargins = 40, kButton = 26;
    return QFontMetrics(font).horizontalAdvance(caption) + kIconAndMargins + 3 * kButton;
}

bool CDialog::createWindow()
{
    if (!m_bBuilt) {
        const DialogTemplate* tpl = FindDialogTemplate(m_nIDTemplate);
        if (!tpl)
            return false;
        m_built = BuildTemplate(*tpl, this, [this](int id) { OnCmdMsg(id); });
        setWindowTitle(tpl->caption);
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (tpl->style & DS_SysMenu)
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (tpl->style & DS_MinimizeBox)
            flags |= Qt::WindowMinimizeButtonHint;
        if (tpl->style & DS_ToolWindow)
            flags |= Qt::Tool;
        setWindowFlags(flags);
        // Window managers cut a caption wider than the window; the controls
        // keep their places and the window gets the room.
        const QSize size(qMax(m_built.clientSize.width(), CaptionWidth(tpl->caption)),
                         m_built.clientSize.height());
        if (tpl->style & DS_SizingFrame) {
            resize(size);
            setMinimumWidth(size.width());
            setSizeGripEnabled(true);
        } else {
            setFixedSize(size);
        }
        m_bBuilt = true;
    }
    return OnCreate() != -1;
}

void CDialog::placeWindow()
{
    const DialogTemplate* tpl = FindDialogTemplate(m_nIDTemplate);
    // A dialog without a parent still belongs over the window the user works in.
    QWidget* owner = DialogOwner(parentWidget());
    if (owner == this)
        owner = nullptr;
    if (owner) {
        if (!parentWidget()) {
            winId();
            if (QWindow* w = windowHandle())
                w->setTransientParent(owner->windowHandle());
        }
        move(owner->frameGeometry().center() - rect().center());
    }
    if (tpl && (tpl->style & DS_AtMouse)) {
        QPoint p = QCursor::pos();
        if (QScreen* s = QApplication::screenAt(p)) {
            const QRect avail = s->availableGeometry();
            p.setX(qBound(avail.left(), p.x(), qMax(avail.left(), avail.right() - width())));
            p.setY(qBound(avail.top(), p.y(), qMax(avail.top(), avail.bottom() - height())));
        }
        move(p);
    }
    if (tpl && (tpl->style & DS_SetForeground)) {
        raise();
        activateWindow();
    }
}

int CDialog::DoModal()
{
    if (!createWindow())
        return -1;
    OnInitDialog();
    placeWindow();
    m_bInModal = true;
    const int result = exec();
    m_bInModal = false;
    OnDestroy();
    return result;
}

bool CDialog::Create()
{
    if (!createWindow())
        return false;
    OnInitDialog();
    placeWindow();
    show();
    return true;
}

void CDialog::EndDialog(int nResult)
{
    done(nResult);
    if (!m_bInModal)
        OnDestroy();
}

bool CDialog::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate, &m_built.controls);
    return RunDataExchange(dx, [this](CDataExchange* pDX) { DoDataExchange(pDX); });
}

QWidget* CDialog::GetDlgItem(int nID) const { return m_built.controls.value(nID, nullptr); }

void CDialog::SetTimer(quintptr nIDEvent, quint64 nElapse) { m_timers->SetTimer(nIDEvent, nElapse); }
bool CDialog::KillTimer(quintptr nIDEvent) { return m_timers->KillTimer(nIDEvent); }
bool CDialog::IsTimerRunning(quintptr nIDEvent) const { return m_timers->IsRunning(nIDEvent); }
int CDialog::TimerInterval(quintptr nIDEvent) const { return m_timers->Interval(nIDEvent); }
void CDialog::OnTimer(quintptr) {}

bool CDialog::OnCmdMsg(int nID)
{
    if (CCmdTarget::OnCmdMsg(nID))
        return true;
    if (nID == IDOK) {
        OnOK();
        return true;
    }
    if (nID == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::HasCmdHandler(int nID) const
{
    return nID == IDOK || nID == IDCANCEL || CCmdTarget::HasCmdHandler(nID);
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    if (!UpdateData(true))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

int CDialog::OnCreate() { return 0; }

void CDialog::OnDestroy() { m_timers->KillAll(); }

void CDialog::keyPressEvent(QKeyEvent* e)
{
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            // Enter presses the focused button, otherwise it means OK, even
            // where the OK button is not drawn as default.
            if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && !b->isCheckable())
                b->click();
            else
                OnCmdMsg(IDOK);
            return;
        }
        if (e->key() == Qt::Key_Escape) {
            OnCmdMsg(IDCANCEL);
            return;
        }
    }
    QDialog::keyPressEvent(e);
}

void CDialog::closeEvent(QCloseEvent* e)
{
    e->ignore();
    OnCmdMsg(IDCANCEL);
}

void CDialog::reject() { OnCmdMsg(IDCANCEL); }
void CDialog::accept() { OnCmdMsg(IDOK); }
