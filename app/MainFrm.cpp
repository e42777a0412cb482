#include "app/MainFrm.h"

#include "app/Splash.h"
#include "framework/Resources.h"
#include "res/resource.h"

#include <QEvent>
#include <QLabel>
#include <QToolBar>
#include <cstdio>
#include <ctime>

namespace {
const int kIndicators[] = {ID_SEPARATOR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
}

CMainFrame::CMainFrame() : m_wndStatusBar(StatusBar()), m_wndToolBar(m_toolBarRef)
{
    // Before creation the frame sits at 0,0 with its fixed size.
    move(0, 0);
    resize(kOuterSize);
    OnUpdateCommand(ID_INDICATOR_DATE,
                    [this](CCmdUI* ui) { updateClockPane(ui, m_nDatePaneNo, "%x"); });
    OnUpdateCommand(ID_INDICATOR_TIME,
                    [this](CCmdUI* ui) { updateClockPane(ui, m_nTimePaneNo, "%X"); });
}

int CMainFrame::OnCreate()
{
    if (!LoadToolBar(IDR_MAINFRAME, BitmapPath(IDB_TOOLBAR))) {
        std::fputs("Symbolleiste konnte nicht erstellt werden\n", stderr);
        return -1;
    }
    m_toolBarRef = ToolBar();
    m_toolBarRef->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBarRef->setAllowedAreas(Qt::AllToolBarAreas);

    if (!m_wndStatusBar.SetIndicators(kIndicators, 4)) {
        std::fputs("Statusleiste konnte nicht erstellt werden\n", stderr);
        return -1;
    }

    // Room for six panes: the four indicators, then date and time.
    int indicators[6];
    std::copy(std::begin(kIndicators), std::end(kIndicators), indicators);
    m_nDatePaneNo = 4;
    indicators[m_nDatePaneNo] = ID_INDICATOR_DATE;
    m_nTimePaneNo = 5;
    indicators[m_nTimePaneNo] = ID_INDICATOR_TIME;
    SetTimer(kStatusTimerId, 1000);
    if (!m_wndStatusBar.SetIndicators(indicators, 6)) {
        std::fputs("Failed to initialize Status Bar\n", stderr);
        return -1;
    }
    UpdateCmdUI();
    CSplashWnd::ShowSplashScreen(this);
    return 0;
}

bool CMainFrame::event(QEvent* e)
{
    const bool result = CMDIFrameWnd::event(e);
    switch (e->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        FitOuterSize();
        break;
    default:
        break;
    }
    return result;
}

// The fixed size is the whole window's, title bar and borders included. Once
// the window system reports its decorations, the inside gives them room.
void CMainFrame::FitOuterSize()
{
    if (m_bOuterSized || !isVisible() || (windowState() & ~Qt::WindowActive) != Qt::WindowNoState)
        return;
    const QSize decorations = frameGeometry().size() - size();
    if (decorations.isEmpty())
        return;
    m_bOuterSized = true;
    resize(kOuterSize - decorations);
    move(0, 0);
}

void CMainFrame::OnTimer(quintptr nIDEvent)
{
    // Only wakes the idle update, which refreshes the date and time panes.
    if (nIDEvent == kStatusTimerId)
        UpdateCmdUI();
}

QString CMainFrame::FormatNow(const char* format)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[128];
    const size_t n = std::strftime(buf, sizeof buf, format, &local);
    return QString::fromLocal8Bit(buf, qsizetype(n));
}

void CMainFrame::updateClockPane(CCmdUI* pCmdUI, int paneNo, const char* format)
{
    const QString text = FormatNow(format);
    m_wndStatusBar.SetPaneWidth(paneNo, m_wndStatusBar.TextWidth(text));
    pCmdUI->SetText(text);
    pCmdUI->Enable(true);
}
