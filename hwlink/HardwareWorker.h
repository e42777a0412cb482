#pragma once
// The one thread that owns the bus: sets it up, reads every wired converter
// input once per period, writes the outputs it is handed, shuts the bus down.
// The user thread only reads the published results.

#include "hwlink/HardwareConfig.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class CI2CConverter;
class CI2CNode;
class CPortBackend;
class CSimLayout;
class II2CTransfer;

class CHardwareWorker
{
public:
    static constexpr int kChannels = HardwareConfig::kChannels;
    using Outputs = std::array<bool, kChannels>;

    enum class State
    {
        Connecting,
        Connected,
        Failed,
        Stopped
    };
    struct Failure
    {
        int nError = 0; // CERR number, 0: none
        std::string text;
        int nDetail = 0;
        bool operator==(const Failure& o) const
        {
            return nError == o.nError && nDetail == o.nDetail;
        }
    };
    struct Status
    {
        State state = State::Connecting;
        int nError = 0;   // CERR number of the last failure, 0: none
        std::string text; // its text
        int nDetail = 0;
        bool bAnyStale = false;                   // some channel keeps an old reading
        std::array<Failure, kChannels> channel{}; // each wired input's last read
        Failure output;                           // an output that could not be written
    };

    // layout: the simulated layout behind backend, refreshed before each
    // sweep (nullptr for real ports). notify runs on the worker thread
    // whenever the status changes.
    CHardwareWorker(const HardwareConfig& config, CPortBackend& backend, CSimLayout* layout,
                    std::function<void()> notify);
    ~CHardwareWorker();
    CHardwareWorker(const CHardwareWorker&) = delete;
    CHardwareWorker& operator=(const CHardwareWorker&) = delete;

    // The node a kernel adapter is opened on (default: the machine's own);
    // call before Start.
    void SetI2CNode(CI2CNode* node) { m_node = node; }

    // Sets up the bus on the thread, writes the first outputs, then sweeps.
    void Start(unsigned periodMs, const Outputs& first);
    void SetPeriod(unsigned periodMs);
    // The outputs to write next (only the latest request counts).
    void SetOutputs(const Outputs& on);
    // Writes the last outputs, stops and joins the thread, shuts the bus down.
    void Stop(const Outputs& last);

    // Latest reading of a wired channel; false before its first good read.
    bool Reading(int nChannel, double& current, bool& stale) const;
    Status GetStatus() const;
    // The bytes last written to each port device (tests, the stop pattern).
    std::map<std::uint8_t, std::uint8_t> WrittenOutputs() const;
    long Sweeps() const { return m_nSweeps; }

    static constexpr unsigned kMinPeriodMs = 10;

private:
    void Run();
    void RunOn(II2CTransfer& bus);
    // Reads every wired input: a converter with all four inputs wired in one
    // write and one read, the others input by input.
    void Sweep(std::map<std::uint8_t, CI2CConverter>& converters,
               std::array<std::optional<double>, kChannels>& read, Status& swept);
    void Publish(const Status& status);

    HardwareConfig m_config;
    CPortBackend& m_backend;
    CSimLayout* m_layout;
    CI2CNode* m_node = nullptr;
    std::function<void()> m_notify;
    std::chrono::steady_clock::time_point m_t0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    std::optional<Outputs> m_pendingOutputs;
    std::atomic<unsigned> m_periodMs{1000};
    struct Latest
    {
        double current = 0.0;
        bool valid = false;
        bool stale = false;
    };
    std::array<Latest, kChannels> m_readings{};
    Status m_status;
    std::map<std::uint8_t, std::uint8_t> m_written;
    std::atomic<long> m_nSweeps{0};

    std::thread m_thread;
};
