#pragma once
// Puts journal lines on disk on a thread of its own, so that a slow, busy or
// full disk never holds up the measurement tick. Each line is still written
// and flushed as soon as the thread wakes, in the order posted.

#include "journal/JournalEvent.h"
#include "journal/JournalFile.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class CJournalWriter
{
public:
    // Events waiting beyond this are dropped (and reported) rather than let a
    // hung disk eat the memory; a real panel sees a handful a minute.
    static constexpr size_t kMaxQueued = 10000;

    // onState runs on the writer thread with false at the first line that
    // could not be written or had to be dropped, and with true at the first
    // line written after that.
    CJournalWriter(const QString& path, std::function<void(bool bOk)> onState);
    // Writes what is still queued, then stops.
    ~CJournalWriter();
    CJournalWriter(const CJournalWriter&) = delete;
    CJournalWriter& operator=(const CJournalWriter&) = delete;

    void Post(const JournalEvent& ev);
    // Returns once every event posted so far has been handled.
    void Drain();

private:
    void Run();
    void Report(bool bOk);

    CJournalFile m_file; // used on the writer thread only
    std::function<void(bool)> m_onState;
    bool m_bFailed = false; // writer thread only

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<JournalEvent> m_queue;
    size_t m_nDropped = 0;
    bool m_bBusy = false;
    bool m_bStop = false;
    std::thread m_thread;
};
