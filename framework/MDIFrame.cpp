#include "framework/MDIFrame.h"

#include "framework/Document.h"
#include "framework/Resources.h"
#include "framework/View.h"
#include "framework/WinApp.h"
#include "framework/WndTimers.h"
#include "framework/FrameworkIds.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>

// ---- status bar

bool CStatusBar::SetIndicators(const int* ids, int count)
{
    QStatusBar* bar = m_frame->statusBar();
    for (QLabel* l : std::as_const(m_panes))
        if (l)
            bar->removeWidget(l), delete l;
    m_panes.clear();
    m_ids.clear();
    for (int i = 0; i < count; ++i) {
        m_ids.append(ids[i]);
        if (ids[i] == ID_SEPARATOR) {
            m_panes.append(nullptr);
            continue;
        }
        auto* l = new QLabel(bar);
        l->setObjectName(QString::number(ids[i]));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        const QString text = LoadResString(ids[i]);
        l->setMinimumWidth(TextWidth(text) + 8);
        l->setText(text);
        bar->addPermanentWidget(l);
        m_panes.append(l);
    }
    return true;
}

void CStatusBar::SetPaneWidth(int index, int width)
{
    if (QLabel* l = Pane(index))
        l->setFixedWidth(width + 8);
}

void CStatusBar::SetPaneText(int index, const QString& text)
{
    if (QLabel* l = Pane(index); l && l->text() != text)
        l->setText(text);
}

QString CStatusBar::GetPaneText(int index) const
{
    QLabel* l = Pane(index);
    return l ? l->text() : QString();
}

int CStatusBar::TextWidth(const QString& text) const
{
    return QFontMetrics(m_frame->statusBar()->font()).horizontalAdvance(text);
}

QWidget* CStatusBar::Widget() const { return m_frame->statusBar(); }

// ---- child frame

CMDIChildWnd::CMDIChildWnd(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void CMDIChildWnd::SetView(CView* view, int nIDIcon)
{
    m_view = view;
    setWidget(view);
    if (nIDIcon)
        setWindowIcon(QIcon(QStringLiteral(":/res/icons/%1-32.png").arg(nIDIcon)));
}

void CMDIChildWnd::ShowChild()
{
    show();
    if (m_view)
        m_view->setFocus();
}

void CMDIChildWnd::RecalcLayoutToView(bool bShrinkOnly)
{
    if (!m_view)
        return;
    const QSize margins = size() - contentsRect().size();
    QSize want = m_view->sizeHint() + margins + QSize(0, 0);
    if (bShrinkOnly && isVisible())
        want = want.boundedTo(size());
    resize(want);
}

void CMDIChildWnd::closeEvent(QCloseEvent* e)
{
    if (property("korvaForceClose").toBool()) {
        QMdiSubWindow::closeEvent(e);
        return;
    }
    CDocument* doc = m_view ? m_view->GetDocumentBase() : nullptr;
    if (!doc) {
        if (m_view)
            m_view->OnDestroy();
        QMdiSubWindow::closeEvent(e);
        return;
    }
    // Closing the last window of a document closes the document. The
    // document closes its windows itself; this one is already closing, so it
    // finishes here (a nested close() would be ignored by Qt).
    if (doc->Views().size() == 1 && !doc->SaveModified()) {
        e->ignore();
        return;
    }
    setProperty("korvaForceClose", true);
    if (doc->Views().size() > 1)
        m_view->CloseFrame();
    else
        doc->OnCloseDocument();
    QMdiSubWindow::closeEvent(e);
}

// ---- main frame

CMDIFrameWnd::CMDIFrameWnd(QWidget* parent)
    : QMainWindow(parent), m_mdiArea(new QMdiArea(this)), m_statusBar(this),
      m_timers(new CWndTimers([this](quintptr id) { OnTimer(id); }, this)),
      m_callbacks(std::make_unique<QObject>())
{
    InitResources();
    setCentralWidget(m_mdiArea);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, m_callbacks.get(), [this] {
        updateMenus();
        updateTitle();
        UpdateCmdUI();
    });
    m_idleLabel = new QLabel(LoadResString(AFX_IDS_IDLEMESSAGE), statusBar());
    m_idleLabel->setObjectName(QString::number(AFX_IDS_IDLEMESSAGE));
    statusBar()->addWidget(m_idleLabel, 1);
    // A temporary message takes the idle text's place. QStatusBar hides it
    // only when it is visible at that moment, so a message shown before the
    // frame would have "Bereit" painted beneath it.
    connect(
        statusBar(), &QStatusBar::messageChanged, m_idleLabel,
        [label = m_idleLabel](const QString& message) { label->setVisible(message.isEmpty()); });
    OnCommand(ID_VIEW_TOOLBAR, [this] {
        if (m_toolBar)
            m_toolBar->setVisible(!m_toolBar->isVisible());
    });
    OnUpdateCommand(ID_VIEW_TOOLBAR, [this](CCmdUI* ui) { ui->SetCheck(m_toolBar && m_toolBar->isVisible()); });
    OnCommand(ID_VIEW_STATUS_BAR, [this] { statusBar()->setVisible(!statusBar()->isVisible()); });
    OnUpdateCommand(ID_VIEW_STATUS_BAR, [this](CCmdUI* ui) { ui->SetCheck(statusBar()->isVisible()); });
    OnCommand(ID_NEXT_PANE, [this] { m_mdiArea->activateNextSubWindow(); });
    OnCommand(ID_PREV_PANE, [this] { m_mdiArea->activatePreviousSubWindow(); });
}

CMDIFrameWnd::~CMDIFrameWnd() = default;

bool CMDIFrameWnd::LoadFrame(int nIDResource, int nIDDocMenu)
{
    m_nIDMenu = nIDResource;
    m_nIDDocMenu = nIDDocMenu;
    m_strTitle = LoadResString(nIDResource);
    QIcon icon;
    for (int s : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/res/icons/%1-%2.png").arg(nIDResource).arg(s));
    setWindowIcon(icon);
    for (const AccelTemplate& a : AcceleratorTable(nIDResource)) {
        QAction* act = Action(a.id);
        QList<QKeySequence> keys = act->shortcuts();
        keys.append(QKeySequence(a.key));
        act->setShortcuts(keys);
        act->setShortcutContext(Qt::WindowShortcut);
        addAction(act);
    }
    if (!FindMenuTemplate(nIDResource))
        return false;
    updateMenus();
    updateTitle();
    return true;
}

bool CMDIFrameWnd::LoadToolBar(int nIDResource, const QString& stripPath)
{
    const ToolbarTemplate* tpl = FindToolbarTemplate(nIDResource);
    if (!tpl)
        return false;
    m_toolBar = addToolBar(QString());
    m_toolBar->setObjectName(QStringLiteral("toolbar%1").arg(nIDResource));
    m_toolBar->setIconSize(QSize(tpl->cx, tpl->cy));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    const QPixmap strip(stripPath);
    const int imageWidth = tpl->cx * qMax(1, strip.height()) / tpl->cy;
    const int stripImages = strip.isNull() ? 0 : strip.width() / imageWidth;
    int image = 0;
    for (int id : tpl->buttons) {
        if (id == ID_SEPARATOR) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* act = Action(id);
        // Buttons beyond the strip bring their own image.
        if (image < stripImages)
            act->setIcon(QIcon(strip.copy(image * imageWidth, 0, imageWidth, strip.height())));
        else
            act->setIcon(QIcon(QStringLiteral(":/res/icons/cmd-%1.png").arg(id)));
        ++image;
        m_toolBar->addAction(act);
        if (QWidget* w = m_toolBar->widgetForAction(act))
            w->setObjectName(QString::number(id));
    }
    return true;
}

QAction* CMDIFrameWnd::Action(int nID)
{
    if (QAction* a = m_actions.value(nID))
        return a;
    auto* a = new QAction(this);
    a->setObjectName(QString::number(nID));
    a->setStatusTip(CommandPrompt(nID));
    const QString tip = CommandTooltip(nID);
    if (!tip.isEmpty())
        a->setToolTip(tip);
    connect(a, &QAction::triggered, this, [this, nID] {
        RouteCommand(nID);
        UpdateCmdUI();
    });
    m_actions.insert(nID, a);
    return a;
}

void CMDIFrameWnd::addMenuItems(QMenu* menu, const MenuItemTemplate& item)
{
    for (const MenuItemTemplate& sub : item.items) {
        if (!sub.items.empty()) {
            QMenu* m = menu->addMenu(sub.text);
            addMenuItems(m, sub);
        } else if (sub.id == 0) {
            menu->addSeparator();
        } else {
            QAction* a = Action(sub.id);
            if (!a->property("korvaMenuText").isValid())
                a->setProperty("korvaMenuText", sub.text);
            // The tab separates the accelerator text, which the shortcut shows.
            a->setText(sub.text.section(QLatin1Char('\t'), 0, 0));
            menu->addAction(a);
        }
    }
    connect(menu, &QMenu::aboutToShow, this, &CMDIFrameWnd::UpdateCmdUI);
}

void CMDIFrameWnd::buildMenuBar(int nIDMenu)
{
    const MenuTemplate* tpl = FindMenuTemplate(nIDMenu);
    if (!tpl)
        return;
    menuBar()->clear();
    for (const MenuItemTemplate& top : tpl->items) {
        QMenu* m = menuBar()->addMenu(top.text);
        addMenuItems(m, top);
    }
    m_nCurrentMenu = nIDMenu;
    UpdateCmdUI();
}

void CMDIFrameWnd::updateMenus()
{
    const int want = m_mdiArea->subWindowList().isEmpty() ? m_nIDMenu : m_nIDDocMenu;
    if (want != m_nCurrentMenu)
        buildMenuBar(want);
}

void CMDIFrameWnd::updateTitle()
{
    CMDIChildWnd* child = MDIGetActive();
    CView* v = child ? child->GetActiveView() : nullptr;
    CDocument* d = v ? v->GetDocumentBase() : nullptr;
    // While the active child is maximized, QMdiSubWindow appends its name in
    // brackets to whatever the frame's title is; the frame's own part then
    // leaves the document out so the name is not shown twice.
    const bool maximized = child && child->isMaximized() && !child->windowTitle().isEmpty();
    const QString own =
        d && !maximized ? QStringLiteral("%1 - %2").arg(m_strTitle, d->GetTitle()) : m_strTitle;
    const QString shown =
        maximized ? QStringLiteral("%1 - [%2]").arg(own, child->windowTitle()) : own;
    if (windowTitle() != shown)
        setWindowTitle(own);
}

void CMDIFrameWnd::AddChild(CMDIChildWnd* child)
{
    m_mdiArea->addSubWindow(child);
    connect(child, &QObject::destroyed, m_callbacks.get(), [this] {
        updateMenus();
        updateTitle();
        UpdateCmdUI();
    });
    // The title follows a renamed document (save as) and a maximized child.
    connect(child, &QWidget::windowTitleChanged, m_callbacks.get(), [this] { updateTitle(); });
    connect(child, &QMdiSubWindow::windowStateChanged, m_callbacks.get(),
            [this] { updateTitle(); });
    child->RecalcLayoutToView(false);
    updateMenus();
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const
{
    QMdiSubWindow* w = m_mdiArea->activeSubWindow();
    if (!w && !m_mdiArea->subWindowList().isEmpty())
        w = m_mdiArea->subWindowList().constLast();
    return qobject_cast<CMDIChildWnd*>(w);
}

CView* CMDIFrameWnd::GetActiveView() const
{
    CMDIChildWnd* c = MDIGetActive();
    return c ? c->GetActiveView() : nullptr;
}

QList<CCmdTarget*> CMDIFrameWnd::routeTargets() const
{
    QList<CCmdTarget*> targets;
    if (CMDIChildWnd* child = MDIGetActive()) {
        if (CView* v = child->GetActiveView()) {
            targets.append(v);
            if (CDocument* d = v->GetDocumentBase())
                targets.append(d);
        }
        targets.append(child);
    }
    targets.append(const_cast<CMDIFrameWnd*>(this));
    if (CWinApp* app = CWinApp::Instance())
        targets.append(app);
    targets.append(m_extraTargets);
    return targets;
}

bool CMDIFrameWnd::RouteCommand(int nID)
{
    for (CCmdTarget* t : routeTargets()) {
        // The frame's own map is checked here; OnCmdMsg on the frame routes.
        const bool handled = t == this ? CCmdTarget::OnCmdMsg(nID) : t->OnCmdMsg(nID);
        if (handled)
            return true;
    }
    return false;
}

bool CMDIFrameWnd::CanRoute(int nID) const
{
    for (CCmdTarget* t : routeTargets()) {
        const bool has = t == this ? CCmdTarget::HasCmdHandler(nID) : t->HasCmdHandler(nID);
        if (has)
            return true;
    }
    return false;
}

void CMDIFrameWnd::updateAction(int id, QAction* action)
{
    CCmdUI ui(id);
    bool updated = false;
    for (CCmdTarget* t : routeTargets()) {
        updated = t == this ? CCmdTarget::OnUpdateCmdUI(&ui) : t->OnUpdateCmdUI(&ui);
        if (updated)
            break;
    }
    // A command nobody handles is shown disabled.
    if (!updated)
        ui.m_bEnabled = CanRoute(id);
    if (action->isEnabled() != ui.m_bEnabled)
        action->setEnabled(ui.m_bEnabled);
    if (ui.m_nCheck >= 0) {
        action->setCheckable(true);
        action->setChecked(ui.m_nCheck > 0);
    }
    if (ui.m_bTextSet && action->text() != ui.m_strText)
        action->setText(ui.m_strText);
}

void CMDIFrameWnd::UpdateCmdUI()
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        updateAction(it.key(), it.value());
    for (int i = 0; i < m_statusBar.GetCount(); ++i) {
        const int id = m_statusBar.GetItemID(i);
        QLabel* pane = m_statusBar.Pane(i);
        if (!pane)
            continue;
        CCmdUI ui(id);
        for (CCmdTarget* t : routeTargets())
            if (t == this ? CCmdTarget::OnUpdateCmdUI(&ui) : t->OnUpdateCmdUI(&ui))
                break;
        pane->setEnabled(ui.m_bEnabled);
        if (ui.m_bTextSet)
            m_statusBar.SetPaneText(i, ui.m_strText);
    }
}

void CMDIFrameWnd::SetTimer(quintptr nIDEvent, quint64 nElapse) { m_timers->SetTimer(nIDEvent, nElapse); }
bool CMDIFrameWnd::KillTimer(quintptr nIDEvent) { return m_timers->KillTimer(nIDEvent); }
void CMDIFrameWnd::OnTimer(quintptr) {}

bool CMDIFrameWnd::OnCmdMsg(int nID) { return RouteCommand(nID); }
bool CMDIFrameWnd::HasCmdHandler(int nID) const { return CCmdTarget::HasCmdHandler(nID); }
bool CMDIFrameWnd::OnUpdateCmdUI(CCmdUI* pCmdUI) { return CCmdTarget::OnUpdateCmdUI(pCmdUI); }

void CMDIFrameWnd::closeEvent(QCloseEvent* e)
{
    CWinApp* app = CWinApp::Instance();
    if (app && !app->SaveAllModified()) {
        e->ignore();
        return;
    }
    if (app)
        app->CloseAllDocuments();
    e->accept();
}

void CMDIFrameWnd::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMDIFrameWnd::dropEvent(QDropEvent* e)
{
    e->acceptProposedAction();
    OpenDroppedFiles(e->mimeData());
}

void CMDIFrameWnd::OpenDroppedFiles(const QMimeData* mime)
{
    // Copy first: a failed open shows a message box, which runs an event loop.
    const QList<QUrl> urls = mime->urls();
    CWinApp* app = CWinApp::Instance();
    for (const QUrl& u : urls)
        if (u.isLocalFile() && app)
            app->OpenDocumentFile(u.toLocalFile());
}
