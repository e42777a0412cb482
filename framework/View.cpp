#include "framework/View.h"

#include "framework/Document.h"
#include "framework/WndTimers.h"
#include "framework/FrameworkIds.h"

#include <QMdiSubWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <ctime>

CView::CView(QWidget* parent)
    : QWidget(parent), m_timers(new CWndTimers([this](quintptr id) { OnTimer(id); }, this))
{
}

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

void CView::SetDocument(CDocument* pDocument)
{
    if (m_pDocument == pDocument)
        return;
    if (m_pDocument)
        m_pDocument->RemoveView(this);
    m_pDocument = pDocument;
    if (m_pDocument)
        m_pDocument->AddView(this);
}

void CView::OnDestroy()
{
    m_bDestroyed = true;
    m_timers->KillAll();
}

void CView::OnTitleChanged()
{
    if (QMdiSubWindow* f = GetParentFrame(); f && m_pDocument)
        f->setWindowTitle(m_pDocument->GetTitle());
}

void CView::SetTimer(quintptr nIDEvent, quint64 nElapse)
{
    if (!m_bDestroyed)
        m_timers->SetTimer(nIDEvent, nElapse);
}
bool CView::KillTimer(quintptr nIDEvent) { return m_timers->KillTimer(nIDEvent); }
bool CView::IsTimerRunning(quintptr nIDEvent) const { return m_timers->IsRunning(nIDEvent); }
int CView::TimerInterval(quintptr nIDEvent) const { return m_timers->Interval(nIDEvent); }
void CView::OnTimer(quintptr) {}

QMdiSubWindow* CView::GetParentFrame() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* f = qobject_cast<QMdiSubWindow*>(w))
            return f;
    return nullptr;
}

void CView::CloseFrame()
{
    if (!m_bDestroyed)
        OnDestroy();
    SetDocument(nullptr);
    if (QMdiSubWindow* f = GetParentFrame()) {
        f->setAttribute(Qt::WA_DeleteOnClose);
        f->setProperty("korvaForceClose", true);
        f->close();
    }
}

namespace {

// Date and time as the status bar shows them, in the runtime locale.
QString PrintedAt()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[128];
    const size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return QString::fromLocal8Bit(buf, static_cast<qsizetype>(n));
}

} // namespace

bool CView::PrintPage(QPrinter* printer, const QPixmap& shot, bool bTitle) const
{
    QPainter p;
    if (!p.begin(printer))
        return false;
    QRect body = p.viewport();
    if (bTitle) {
        // Title line: the document's name left, date and time right.
        QFont font;
        font.setPointSizeF(10);
        p.setFont(font);
        const int lineHeight = QFontMetrics(font, printer).height();
        const QRect head(body.x(), body.y(), body.width(), lineHeight);
        const QString title = m_pDocument ? m_pDocument->GetTitle() : QString();
        p.drawText(head, Qt::AlignLeft | Qt::AlignVCenter, title);
        p.drawText(head, Qt::AlignRight | Qt::AlignVCenter, PrintedAt());
        body.adjust(0, lineHeight * 2, 0, 0);
    }
    // The window as it appears, scaled to fit.
    QSize size = shot.size();
    size.scale(body.size(), Qt::KeepAspectRatio);
    p.drawPixmap(QRect(body.topLeft(), size), shot);
    return p.end();
}

void CView::OnFilePrint(bool bDirect)
{
    QPrinter printer(QPrinter::HighResolution);
    if (!bDirect) {
        QPrintDialog dlg(&printer, this);
        if (dlg.exec() != QDialog::Accepted)
            return;
    }
    PrintPage(&printer, grab());
}

void CView::OnFilePrintPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    const QPixmap shot = grab();
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this, &shot](QPrinter* pr) { PrintPage(pr, shot); });
    preview.exec();
}

bool CView::OnCmdMsg(int nID) { return CCmdTarget::OnCmdMsg(nID); }
bool CView::HasCmdHandler(int nID) const { return CCmdTarget::HasCmdHandler(nID); }
bool CView::OnUpdateCmdUI(CCmdUI* pCmdUI) { return CCmdTarget::OnUpdateCmdUI(pCmdUI); }

CFormView::CFormView(int nIDTemplate, QWidget* parent) : CView(parent)
{
    if (const DialogTemplate* tpl = FindDialogTemplate(nIDTemplate)) {
        m_built = BuildTemplate(*tpl, this, [this](int id) { OnCmdMsg(id); });
        setMinimumSize(m_built.clientSize);
        resize(m_built.clientSize);
    }
}

bool CFormView::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate, &m_built.controls);
    return RunDataExchange(dx, [this](CDataExchange* pDX) { DoDataExchange(pDX); });
}

void CFormView::DoDataExchange(CDataExchange*) {}
