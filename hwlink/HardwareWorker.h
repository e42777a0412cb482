#pragma once
// The one thread that owns the bus: sets it up, reads every wired converter
// input once per sweep, trips a channel whose reading reaches its limit by
// writing its output off at once, writes the outputs it is handed and reads
// them back, shuts the bus down. The user thread only reads the published
// results and hears of trips afterwards: protection never waits for it.

#include "hwlink/HardwareConfig.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CI2CConverter;
class CI2CNode;
class CI2CPortDevice;
class CPortBackend;
class CSimLayout;
class II2CTransfer;

class CHardwareWorker
{
public:
    static constexpr int kChannels = HardwareConfig::kChannels;
    using Outputs = std::array<bool, kChannels>;
    using Limits = std::array<double, kChannels>; // A, each channel's Abschaltstrom
    using TripCounts = std::array<unsigned, kChannels>;
    using Clock = std::chrono::steady_clock;

    // One output written off because its reading reached the limit.
    struct Trip
    {
        int nChannel = 0;
        double current = 0.0; // A, the reading that tripped
        std::chrono::system_clock::time_point written; // when the output went off
        Clock::time_point seen;                        // when the input was read
        unsigned nCount = 0; // the channel's trips so far, this one included
    };
    // A wired channel's reading as the user thread sees it.
    struct Sample
    {
        bool valid = false;   // false before its first good read
        double current = 0.0; // A, the last good reading
        double peak = 0.0;    // A, the highest reading since the peak was last taken
        long long ageMs = -1; // since the last good reading; -1 before the first
        bool stale = true;    // kept from before a failed read, or too old
    };

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
        std::array<Failure, kChannels> channel{}; // each wired input's last read
        Failure output;                           // an output that could not be written
        // Per channel: the port device whose read back output bit stayed
        // wrong for three sweeps; 0 while confirmed.
        std::array<std::uint8_t, kChannels> unconfirmed{};
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

    // Sets up the bus on the thread, writes the first outputs, then sweeps
    // every config.nSweepMs, tripping at the limits given.
    void Start(const Outputs& first, const Limits& cutoff);
    // Takes effect at once, also in the middle of a long wait.
    void SetPeriod(unsigned periodMs);
    unsigned PeriodMs() const { return m_periodMs; }
    void SetLimits(const Limits& cutoff);
    // Each channel's trip delay in ms; takes effect at the next sweep.
    void SetTripDelays(const std::array<int, kChannels>& delayMs);
    // The outputs to write next (only the latest request counts). seen: per
    // channel, the trips the caller has taken; a channel tripped since stays
    // off whatever on says, so a request made before the caller heard of a
    // trip never switches the short back on.
    void SetOutputs(const Outputs& on, const TripCounts& seen);
    // Writes the last outputs, stops and joins the thread, shuts the bus down.
    void Stop(const Outputs& last);

    // The trips since the last call, oldest first.
    std::vector<Trip> TakeTrips();
    // A wired channel's latest reading: false for a channel without a
    // converter. bTakePeak starts the next peak from the present reading.
    bool GetSample(int nChannel, Sample& sample, bool bTakePeak = false);
    // Latest reading of a wired channel: current 0 and stale before its
    // first good read; false for a channel without a converter.
    bool Reading(int nChannel, double& current, bool& stale);
    // Whether the worker reads (and so protects) the channel.
    bool Reads(int nChannel) const { return m_config.channel[nChannel - 1].bConverter; }
    // A reading older than this is stale.
    long long StaleAfterMs() const;
    Status GetStatus() const;
    // The bytes last written to each port device (tests, the stop pattern).
    std::map<std::uint8_t, std::uint8_t> WrittenOutputs() const;
    long Sweeps() const { return m_nSweeps; }
    // The end of the last completed sweep (the start before the first).
    Clock::time_point LastSweep() const;
    // Time the thread spent on the processor so far, in seconds.
    double CpuSeconds() const;

    static constexpr unsigned kMinPeriodMs = HardwareConfig::kMinSweepMs;
    static constexpr unsigned kMaxPeriodMs = HardwareConfig::kMaxSweepMs;

private:
    void Run();
    void RunOn(II2CTransfer& bus);
    // Reads every wired input: a converter with all four inputs wired in one
    // write and one read, the others input by input.
    void Sweep(std::map<std::uint8_t, CI2CConverter>& converters,
               std::array<std::optional<double>, kChannels>& read, Status& swept);
    // Trips every switched-on channel at or above its limit for its delay.
    std::vector<Trip> CheckLimits(const std::array<std::optional<double>, kChannels>& read,
                     Clock::time_point at);
    Outputs Effective() const; // under m_mutex
    // Writes what differs from the device's last written byte (all with
    // bForce) and reads each written device back, rewriting once.
    void WriteOutputs(std::map<std::uint8_t, CI2CPortDevice>& ports, bool bForce, Status& status);
    // Once a sweep: every port device read back and rewritten where it
    // differs; three sweeps in a row wrong make the channel unconfirmed.
    void ConfirmOutputs(std::map<std::uint8_t, CI2CPortDevice>& ports, Status& status);
    void Publish(const Status& status);
    static Status Combined(Status status);

    HardwareConfig m_config;
    CPortBackend& m_backend;
    CSimLayout* m_layout;
    CI2CNode* m_node = nullptr;
    std::function<void()> m_notify;
    std::chrono::steady_clock::time_point m_t0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false;
    bool m_bOutputsChanged = false;
    bool m_bPeriodChanged = false;
    Outputs m_requested{};
    TripCounts m_seen{};
    TripCounts m_trips{};
    Limits m_cutoff{};
    std::array<int, kChannels> m_tripDelayMs{};
    std::atomic<unsigned> m_periodMs{20};
    struct Latest
    {
        double current = 0.0;
        double peak = 0.0;
        bool valid = false;
        bool peakValid = false;
        bool failed = false; // the last sweep could not read it
        Clock::time_point at;
    };
    std::array<Latest, kChannels> m_readings{};
    std::array<std::optional<Clock::time_point>, kChannels> m_overSince{}; // bus thread only
    std::vector<Trip> m_newTrips;
    Status m_status;
    std::map<std::uint8_t, std::uint8_t> m_written;
    std::map<std::uint8_t, int> m_wrongSweeps; // bus thread only
    Clock::time_point m_lastSweep;
    std::atomic<long> m_nSweeps{0};
    std::atomic<long long> m_cpuNs{0};

    std::thread m_thread;
};
