#include "helpers/NotificationServer.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <chrono>

PrivateBus::PrivateBus()
{
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--print-address"),
                    QStringLiteral("--nofork")});
    if (!m_daemon.waitForStarted(5000))
        return;
    // The address is the first line it prints.
    for (int i = 0; i < 50 && !m_daemon.canReadLine(); ++i)
        m_daemon.waitForReadyRead(100);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(3000))
        m_daemon.kill();
    m_daemon.waitForFinished(1000);
}

bool NotificationServer::Start(const QString& address)
{
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_name);
    m_bConnected = bus.isConnected();
    return m_bConnected &&
           bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

NotificationServer::~NotificationServer()
{
    if (m_bConnected)
        QDBusConnection::disconnectFromBus(m_name);
}

void NotificationServer::Click(uint id, const QString& action)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << action;
    QDBusConnection(m_name).send(signal);
}

uint NotificationServer::Notify(const QString& app, uint replaces, const QString& icon,
                                const QString& summary, const QString& body,
                                const QStringList& actions, const QVariantMap& hints, int)
{
    const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    const uint id = replaces != 0 ? replaces : m_nNext++;
    received.append({app, replaces, icon, summary, body, actions, hints, id, now});
    return id;
}

QStringList NotificationServer::GetCapabilities()
{
    return {QStringLiteral("actions"), QStringLiteral("body")};
}

QString NotificationServer::GetServerInformation(QString& vendor, QString& version,
                                                 QString& protocol)
{
    vendor = QStringLiteral("test");
    version = QStringLiteral("1");
    protocol = QStringLiteral("1.2");
    return QStringLiteral("test-notification-server");
}

void NotificationServer::CloseNotification(uint) {}
