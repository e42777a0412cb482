#pragma once
// The splash screen: at most one, shown for five seconds after the main frame
// is created, or until the first key or mouse press, which it swallows, or
// until a dialog (a message box) opens.

#include <QPixmap>
#include <QWidget>

class CWndTimers;
class QEvent;

class CSplashWnd : public QWidget
{
    Q_OBJECT
public:
    static void EnableSplashScreen(bool bEnable = true);
    static void ShowSplashScreen(QWidget* pParentWnd);
    // True when the event removed the splash screen and must not be passed on.
    static bool PreTranslateAppMessage(QEvent* event);
    static void HideSplashScreen();
    static CSplashWnd* Current() { return c_pSplashWnd; }

    static constexpr quintptr kTimerId = 1;
    static constexpr int kShowMs = 5000;

    QPixmap m_bitmap;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent*) override;

private:
    explicit CSplashWnd(QWidget* owner);
    ~CSplashWnd() override;

    static bool c_bShowSplashWnd;
    static CSplashWnd* c_pSplashWnd;
    CWndTimers* m_timers;
    QWidget* m_owner;
};
