#pragma once
// The MDI main frame and child frame on QMainWindow / QMdiSubWindow, with
// command routing, menus, toolbar and status bar made from the resource tables.

#include "framework/CmdTarget.h"

#include <QHash>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QVector>
#include <memory>

class QLabel;
class QMimeData;
class QMdiArea;
class QToolBar;
class CView;
class CWndTimers;

class CStatusBar
{
public:
    explicit CStatusBar(QMainWindow* frame) : m_frame(frame) {}
    // Pane 0 (ID_SEPARATOR) is the prompt; the others are indicators.
    bool SetIndicators(const int* ids, int count);
    int GetCount() const { return m_ids.size(); }
    int GetItemID(int index) const { return m_ids.value(index, -1); }
    int CommandToIndex(int id) const { return m_ids.indexOf(id); }
    void SetPaneWidth(int index, int width);
    void SetPaneText(int index, const QString& text);
    QString GetPaneText(int index) const;
    QLabel* Pane(int index) const { return m_panes.value(index, nullptr); }
    // Width of a text in the status bar's font.
    int TextWidth(const QString& text) const;
    QWidget* Widget() const;

private:
    QMainWindow* m_frame;
    QVector<int> m_ids;
    QVector<QLabel*> m_panes;
};

class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CMDIChildWnd(QWidget* parent = nullptr);
    // nIDIcon: the document type whose icon the child shows (0: none).
    void SetView(CView* view, int nIDIcon = 0);
    CView* GetActiveView() const { return m_view; }
    void ShowChild();
    // Fits the frame to the view's form (shrinking only, when asked).
    void RecalcLayoutToView(bool bShrinkOnly);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    CView* m_view = nullptr;
};

class CMDIFrameWnd : public QMainWindow, public CCmdTarget
{
    Q_OBJECT
public:
    explicit CMDIFrameWnd(QWidget* parent = nullptr);
    ~CMDIFrameWnd() override;

    // Menus, accelerators, icon and title of the resource id.
    bool LoadFrame(int nIDResource, int nIDDocMenu);
    bool LoadToolBar(int nIDResource, const QString& stripPath);

    void AddChild(CMDIChildWnd* child);
    CMDIChildWnd* MDIGetActive() const;
    CView* GetActiveView() const;
    QMdiArea* MdiArea() const { return m_mdiArea; }
    QToolBar* ToolBar() const { return m_toolBar; }
    CStatusBar& StatusBar() { return m_statusBar; }

    // The action of a command id (made on first use, with prompt and tooltip).
    QAction* Action(int nID);
    // Route a command: active view, its document, the child frame, this frame, the application.
    bool RouteCommand(int nID);
    // Further targets asked after the application (add-on windows of the program).
    void AddCommandTarget(CCmdTarget* target) { m_extraTargets.append(target); }
    bool CanRoute(int nID) const;
    // Enable/check/rename every action and status pane from the command targets.
    void UpdateCmdUI();
    void DragAcceptFiles(bool bAccept = true) { setAcceptDrops(bAccept); }
    // Opens the local files of a drop, each as a document.
    void OpenDroppedFiles(const QMimeData* mime);

    void SetTimer(quintptr nIDEvent, quint64 nElapse);
    bool KillTimer(quintptr nIDEvent);
    virtual void OnTimer(quintptr nIDEvent);

    bool OnCmdMsg(int nID) override;
    bool HasCmdHandler(int nID) const override;
    bool OnUpdateCmdUI(CCmdUI* pCmdUI) override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void buildMenuBar(int nIDMenu);
    void addMenuItems(QMenu* menu, const struct MenuItemTemplate& item);
    void updateAction(int id, QAction* action);
    void updateMenus();
    void updateTitle();
    QList<CCmdTarget*> routeTargets() const;

    QMdiArea* m_mdiArea;
    QToolBar* m_toolBar = nullptr;
    CStatusBar m_statusBar;
    QLabel* m_idleLabel = nullptr;
    QHash<int, QAction*> m_actions;
    QList<CCmdTarget*> m_extraTargets;
    int m_nIDMenu = 0, m_nIDDocMenu = 0, m_nCurrentMenu = -1;
    QString m_strTitle;
    CWndTimers* m_timers;
    // Context of the child windows' callbacks: it goes before the children,
    // which die with the base class, so they cannot call into a dead frame.
    std::unique_ptr<QObject> m_callbacks;
};
