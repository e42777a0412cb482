#pragma once
// Desktop notifications (org.freedesktop.Notifications over D-Bus). The bus
// connection and every call live on a thread of their own and all calls are
// asynchronous, so a missing or hanging notification service never holds up
// the window. Each key (a monitoring view) has one notification that later
// notices replace.

#include <QHash>
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>

struct AlarmNotice
{
    static constexpr int kNormal = 1;
    static constexpr int kCritical = 2;
    QString strSummary;
    QString strBody;
    int nUrgency = kCritical;
};

class CNotifyClient;

class CDesktopNotifier : public QObject
{
    Q_OBJECT
public:
    // An empty address is the session bus of the environment.
    explicit CDesktopNotifier(const QString& busAddress = QString());
    ~CDesktopNotifier() override;

    void Show(quint64 key, const AlarmNotice& notice);
    // Runs on this object's thread when the user clicks a key's notification.
    void SetActivated(std::function<void(quint64)> activated)
    {
        m_activated = std::move(activated);
    }

private:
    QThread m_thread;
    CNotifyClient* m_client; // lives on m_thread
    std::function<void(quint64)> m_activated;
};

// The part on the notifier's thread.
class CNotifyClient : public QObject
{
    Q_OBJECT
public:
    explicit CNotifyClient(const QString& busAddress);
    ~CNotifyClient() override;
    void Show(quint64 key, const AlarmNotice& notice);

signals:
    void Activated(quint64 key);

private slots:
    void OnActionInvoked(uint id, const QString& action);

private:
    struct Entry
    {
        uint nId = 0;          // the server's id, 0 before its answer
        bool bPending = false; // a call is out
        bool bQueued = false;  // a notice waits for that answer
        AlarmNotice queued;    // the newest one
    };
    bool Connect();
    void Send(quint64 key, Entry& entry, const AlarmNotice& notice);
    void Warn(const QString& reason);

    QString m_address;
    QString m_name; // of the connection
    bool m_bConnected = false;
    bool m_bWarned = false;
    QHash<quint64, Entry> m_entries;
};
