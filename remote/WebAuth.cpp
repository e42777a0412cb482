#include "remote/WebAuth.h"

#include <QRandomGenerator>

QByteArray CWebSessions::Create(qint64 nowMs)
{
    DropExpired(nowMs);
    if (m_expiry.size() >= kMaxSessions) {
        auto oldest = m_expiry.begin();
        for (auto it = m_expiry.begin(); it != m_expiry.end(); ++it) {
            if (it.value() < oldest.value())
                oldest = it;
        }
        m_expiry.erase(oldest);
    }
    QByteArray raw(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(raw.begin(), raw.end());
    const QByteArray token = raw.toHex();
    m_expiry.insert(token, nowMs + kLifetimeMs);
    return token;
}

bool CWebSessions::IsValid(const QByteArray& token, qint64 nowMs)
{
    const auto it = m_expiry.find(token);
    if (it == m_expiry.end())
        return false;
    if (it.value() <= nowMs) {
        m_expiry.erase(it);
        return false;
    }
    return true;
}

void CWebSessions::Remove(const QByteArray& token)
{
    m_expiry.remove(token);
}

void CWebSessions::DropExpired(qint64 nowMs)
{
    for (auto it = m_expiry.begin(); it != m_expiry.end();) {
        if (it.value() <= nowMs)
            it = m_expiry.erase(it);
        else
            ++it;
    }
}

bool CLoginLimiter::MayTry(const QHostAddress& address, qint64 nowMs, int nRunning)
{
    auto it = m_failures.find(address);
    if (it == m_failures.end())
        return nRunning < kMaxFailures;
    QList<qint64>& times = it.value();
    while (!times.isEmpty() && times.first() <= nowMs - kWindowMs)
        times.removeFirst();
    if (times.isEmpty()) {
        m_failures.erase(it);
        return nRunning < kMaxFailures;
    }
    return times.size() + nRunning < kMaxFailures;
}

void CLoginLimiter::RecordFailure(const QHostAddress& address, qint64 nowMs)
{
    if (!m_failures.contains(address) && m_failures.size() >= kMaxAddresses) {
        DropOld(nowMs);
        // Still full: an address flood; the one with the oldest last failure goes.
        if (m_failures.size() >= kMaxAddresses) {
            auto oldest = m_failures.begin();
            for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
                if (it.value().last() < oldest.value().last())
                    oldest = it;
            }
            m_failures.erase(oldest);
        }
    }
    QList<qint64>& times = m_failures[address];
    times.append(nowMs);
    while (times.size() > kMaxFailures)
        times.removeFirst();
}

void CLoginLimiter::DropOld(qint64 nowMs)
{
    for (auto it = m_failures.begin(); it != m_failures.end();) {
        if (it.value().isEmpty() || it.value().last() <= nowMs - kWindowMs)
            it = m_failures.erase(it);
        else
            ++it;
    }
}
