#pragma once
// A private D-Bus session (dbus-daemon started for the test) and a small
// notification server on it that records what it is sent and can report a
// click on a notification.

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    // Empty when dbus-daemon could not be started.
    QString Address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

struct ReceivedNotice
{
    QString app;
    uint replaces;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    uint id;
    qint64 nArrivalNs; // steady clock
};

class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    // False when the service name could not be taken.
    bool Start(const QString& address);
    ~NotificationServer() override;
    // Sends ActionInvoked(id, action) as a desktop does on a click.
    void Click(uint id, const QString& action = QStringLiteral("default"));

    QList<ReceivedNotice> received;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout);
    QStringList GetCapabilities();
    QString GetServerInformation(QString& vendor, QString& version, QString& protocol);
    void CloseNotification(uint id);

private:
    QString m_name = QStringLiteral("test-notification-server");
    bool m_bConnected = false;
    uint m_nNext = 1;
};
