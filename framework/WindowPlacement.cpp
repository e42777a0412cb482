#include "framework/WindowPlacement.h"

#include "framework/WinApp.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <algorithm>

namespace {

// Before a window manager has framed a window once, its frame is unknown:
// room for a usual title bar and borders.
const QMargins kAssumedFrame(4, 32, 4, 4);

QString SettingsKey(const QString& key)
{
    return QStringLiteral("Fenster/") + key;
}

template <typename Fn> void WithSettings(Fn fn)
{
    if (CWinApp* app = CWinApp::Instance()) {
        fn(app->Settings());
    } else {
        QSettings settings;
        fn(settings);
    }
}

class CPlacementKeeper : public QObject
{
public:
    CPlacementKeeper(QWidget* window, const QString& key)
        : QObject(window), m_window(window), m_key(SettingsKey(key))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show && !m_bPlaced)
            Place();
        else if (event->type() == QEvent::Hide && m_bPlaced)
            Store();
        return false;
    }

private:
    QScreen* TargetScreen() const
    {
        if (QWidget* parent = m_window->parentWidget())
            if (QScreen* s = parent->window()->screen())
                return s;
        return m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    }

    void Place()
    {
        m_bPlaced = true;
        QScreen* screen = TargetScreen();
        if (!screen)
            return;
        QRect client = m_window->geometry();
        bool bStored = false;
        WithSettings([&](QSettings& s) {
            const QRect stored = s.value(m_key).toRect();
            if (stored.isValid()) {
                client = stored;
                bStored = true;
            }
        });
        QMargins frame = kAssumedFrame;
        const QRect framed = m_window->frameGeometry();
        const QRect inner = m_window->geometry();
        if (framed != inner)
            frame = QMargins(inner.left() - framed.left(), inner.top() - framed.top(),
                             framed.right() - inner.right(), framed.bottom() - inner.bottom());
        QWidget* parent = m_window->parentWidget();
        const QRect anchor = parent && parent->isVisible() ? parent->window()->frameGeometry()
                                                           : screen->availableGeometry();
        const QRect fitted =
            FitIntoArea(client, frame, screen->availableGeometry(), anchor, bStored);
        // The client rectangle: move() would place the frame.
        m_window->setGeometry(QRect(fitted.topLeft(), fitted.size().expandedTo(m_window->minimumSize())));
    }

    void Store()
    {
        const QRect client = m_window->geometry();
        WithSettings([&](QSettings& s) { s.setValue(m_key, client); });
    }

    QWidget* m_window;
    QString m_key;
    bool m_bPlaced = false;
};

} // namespace

void KeepWindowPlacement(QWidget* window, const QString& key)
{
    new CPlacementKeeper(window, key);
}

QRect FitIntoArea(QRect client, const QMargins& frame, const QRect& area, const QRect& anchor,
                  bool bPlaced)
{
    const QSize room = area.size().shrunkBy(frame);
    client.setSize(client.size().boundedTo(room).expandedTo(QSize(1, 1)));
    QRect outer = client.marginsAdded(frame);
    if (!bPlaced)
        outer.moveCenter(anchor.center());
    outer.moveLeft(std::clamp(outer.left(), area.left(), area.right() + 1 - outer.width()));
    outer.moveTop(std::clamp(outer.top(), area.top(), area.bottom() + 1 - outer.height()));
    return outer.marginsRemoved(frame);
}
