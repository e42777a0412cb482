#include "journal/JournalWriter.h"

CJournalWriter::CJournalWriter(const QString& path, std::function<void(bool)> onState)
    : m_file(path), m_onState(std::move(onState)), m_thread([this] { Run(); })
{
}

CJournalWriter::~CJournalWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CJournalWriter::Post(const JournalEvent& ev)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= kMaxQueued) {
            ++m_nDropped;
        } else {
            wake = m_queue.empty();
            m_queue.push_back(ev);
        }
    }
    if (wake)
        m_wake.notify_one();
}

void CJournalWriter::Drain()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_bBusy; });
}

// Only changes are reported: a full disk fails every line until it has room.
void CJournalWriter::Report(bool bOk)
{
    if (m_bFailed == !bOk)
        return;
    m_bFailed = !bOk;
    if (m_onState)
        m_onState(bOk);
}

void CJournalWriter::Run()
{
    std::vector<JournalEvent> batch;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_queue.empty() || m_nDropped > 0; });
        if (m_queue.empty() && m_nDropped == 0) {
            if (m_bStop)
                return;
            continue;
        }
        batch.swap(m_queue);
        const size_t dropped = std::exchange(m_nDropped, 0);
        m_bBusy = true;
        lock.unlock();

        if (dropped > 0)
            Report(false);
        for (const JournalEvent& ev : batch)
            Report(m_file.Append(ev));
        batch.clear();

        lock.lock();
        m_bBusy = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}
