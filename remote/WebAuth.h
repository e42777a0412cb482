#pragma once
// Logins of the web panel: sessions that expire, and a limit on failed
// logins per client address. Both tables stay bounded whatever clients do.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>

class CWebSessions
{
public:
    static constexpr int kMaxSessions = 64;
    static constexpr qint64 kLifetimeMs = 12 * 3600 * 1000;

    // A new random token (64 hex digits); the oldest session goes when full.
    QByteArray Create(qint64 nowMs);
    bool IsValid(const QByteArray& token, qint64 nowMs);
    void Remove(const QByteArray& token);
    int Count() const { return int(m_expiry.size()); }

private:
    void DropExpired(qint64 nowMs);
    QHash<QByteArray, qint64> m_expiry;
};

class CLoginLimiter
{
public:
    static constexpr int kMaxFailures = 5;     // per address and window
    static constexpr qint64 kWindowMs = 60000; // one minute
    static constexpr int kMaxAddresses = 1024;

    // False while the address has used up its failed attempts; nRunning
    // checks not decided yet count as failures.
    bool MayTry(const QHostAddress& address, qint64 nowMs, int nRunning = 0);
    void RecordFailure(const QHostAddress& address, qint64 nowMs);
    int Addresses() const { return int(m_failures.size()); }

private:
    void DropOld(qint64 nowMs);
    QHash<QHostAddress, QList<qint64>> m_failures; // times of the recent failures
};
