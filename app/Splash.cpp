#include "app/Splash.h"

#include "framework/Resources.h"
#include "framework/WndTimers.h"
#include "res/resource.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPainter>
#include <QPointer>

bool CSplashWnd::c_bShowSplashWnd = false;
CSplashWnd* CSplashWnd::c_pSplashWnd = nullptr;

void CSplashWnd::EnableSplashScreen(bool bEnable)
{
    c_bShowSplashWnd = bEnable;
}

CSplashWnd::CSplashWnd(QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_timers(new CWndTimers([](quintptr) { HideSplashScreen(); }, this)), m_owner(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::ArrowCursor);
}

CSplashWnd::~CSplashWnd()
{
    if (c_pSplashWnd == this)
        c_pSplashWnd = nullptr;
}

void CSplashWnd::ShowSplashScreen(QWidget* pParentWnd)
{
    if (!c_bShowSplashWnd || c_pSplashWnd)
        return;
    InitResources();
    QPixmap bitmap(BitmapPath(IDB_SPLASH));
    if (bitmap.isNull())
        return; // no picture, no splash
    auto* wnd = new CSplashWnd(pParentWnd);
    wnd->m_bitmap = bitmap;
    wnd->setFixedSize(bitmap.size());
    // Centred over the owner.
    const QRect owner =
        pParentWnd ? pParentWnd->frameGeometry() : QRect(QPoint(0, 0), bitmap.size());
    wnd->move(owner.center() - QPoint(bitmap.width() / 2, bitmap.height() / 2));
    c_pSplashWnd = wnd;
    wnd->m_timers->SetTimer(kTimerId, kShowMs);
    // A dialog opening now would sit behind the splash, and its first key
    // would only remove the splash: the splash makes way for it instead.
    qApp->installEventFilter(wnd);
    wnd->show();
    wnd->repaint();
}

bool CSplashWnd::PreTranslateAppMessage(QEvent* event)
{
    if (!c_pSplashWnd)
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Accepting it keeps the key from firing a shortcut; the key press follows.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        HideSplashScreen();
        return true;
    default:
        return false;
    }
}

void CSplashWnd::HideSplashScreen()
{
    CSplashWnd* wnd = c_pSplashWnd;
    if (!wnd)
        return;
    c_pSplashWnd = nullptr;
    QPointer<QWidget> owner = wnd->m_owner;
    wnd->close();
    if (owner)
        owner->update();
}

bool CSplashWnd::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && c_pSplashWnd == this && qobject_cast<QDialog*>(watched))
        HideSplashScreen();
    return QWidget::eventFilter(watched, event);
}

void CSplashWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_bitmap);
}
