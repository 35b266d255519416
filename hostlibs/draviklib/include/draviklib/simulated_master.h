// An in-process stand-in for the render farm's master, for demos and tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "xolib/string.h"

/// The schedule of a message stream at a given rate, driven by the time
/// points it is fed, so it can be run against a real or a fake clock.
/// Message k of the schedule is due at start + k / rate.
class StreamPacer
{
public:
    typedef std::chrono::steady_clock Clock;

    /// Shortest time between two wake-ups: at high rates each wake-up sends a
    /// batch rather than the thread waking for every message.
    static constexpr std::chrono::microseconds k_MinWakeInterval{1000};
    /// The most stream time one wake-up catches up on after a stall; what was
    /// due beyond it is dropped, not sent as a burst.
    static constexpr std::chrono::milliseconds k_MaxCatchUp{20};

    /// Changes the rate (0 or less: nothing is ever due) and restarts the
    /// schedule at now. A new pacer has the rate 0.
    void SetRate(double perSecond, Clock::time_point now);
    double GetRate() const { return m_Rate; }
    /// Restarts the schedule: its first message is due at now.
    void Restart(Clock::time_point now);

    /// How many messages are due at now; they count as sent. At most the
    /// messages of k_MaxCatchUp (at least one); when more were due, the
    /// schedule restarts at now.
    int TakeDue(Clock::time_point now);
    /// When the caller should wake up next: when the next message is due, but
    /// not sooner than k_MinWakeInterval after the last TakeDue.
    /// Clock::time_point::max() while the rate is 0.
    Clock::time_point NextWake() const;

private:
    Clock::time_point _DueTime(uint64_t index) const;

    double m_Rate = 0;
    int m_MaxPerWake = 1;
    Clock::time_point m_Start;
    uint64_t m_Sent = 0;  // messages of the schedule taken since m_Start
    Clock::time_point m_LastWake = Clock::time_point::min();
};

/// Serves the master's line protocol on 127.0.0.1 from its own thread. Each
/// client that connects first gets the model (products with their parameters
/// and commands, and the jobs), then a steady stream of job progress, engine
/// load and log messages. The stream's content follows a seeded generator, so
/// runs with the same seed send the same records. The farm never stands still:
/// jobs finish and new ones are submitted; past k_MaxLiveJobs jobs the oldest
/// finished one is retired, and clients get "GONE <job uid>".
///
/// While no client is connected the stream waits; its schedule restarts when
/// one connects. A client with more than k_SkipBacklog bytes of output waiting
/// for it is passed by stream messages (they are never numbered for it); once
/// its backlog drops to k_ResumeBacklog it gets every live job again, GONE for
/// the jobs retired meanwhile, and a text message saying how many messages it
/// missed, then the stream resumes. What is sent on request (bursts, raw lines,
/// shutdown requests) always goes to every client.
class SimulatedMaster
{
public:
    /// messagesPerSecond: rate of the stream; 0 switches it off.
    explicit SimulatedMaster(uint32_t seed = 1, double messagesPerSecond = 4.0);
    ~SimulatedMaster();
    SimulatedMaster(const SimulatedMaster&) = delete;
    SimulatedMaster& operator=(const SimulatedMaster&) = delete;

    /// The loopback port the next Start listens on; 0 (the default): an
    /// ephemeral port. The port can be taken again at once after Stop.
    void SetListenPort(int port);
    /// Starts listening and serving; false when no socket could be had.
    bool Start();
    /// Disconnects every client and ends the thread. Idempotent.
    void Stop();
    bool IsRunning() const;

    /// The port listened on; 0 before Start.
    int Port() const;
    /// "127.0.0.1:port".
    String GetAddress() const;

    /// Rate of the stream in messages per second; 0 switches it off.
    void SetStreamRate(double perSecond);
    /// Sends count text messages "Burst 1" ... "Burst <count>" to every
    /// client at once, with consecutive sequence numbers.
    void SendBurst(int count);
    /// Asks every client to end.
    void SendShutdown(const String& reason);
    /// Closes every client connection (clients then reconnect).
    void DropClients();
    /// Sends a raw line (a line end is added) to every client, as it is.
    void SendRawLine(const String& line);

    /// Clients connected now, and connections accepted since Start.
    int GetClientCount() const;
    int GetAcceptedCount() const;
    /// Stream messages that passed clients by because they were behind.
    uint64_t GetSkippedCount() const;
    /// The most output, in bytes, that ever waited for one client.
    uint64_t GetPeakBacklog() const;

    /// Products and jobs the model starts with.
    static constexpr int k_ProductCount = 4;
    static constexpr int k_InitialJobCount = 8;
    /// Most jobs the model holds at once.
    static constexpr int k_MaxLiveJobs = 40;
    /// Waiting output above which a client is passed by the stream, and below
    /// which it is brought up to date and served again.
    static constexpr size_t k_SkipBacklog = size_t(1) << 20;
    static constexpr size_t k_ResumeBacklog = size_t(256) << 10;

private:
    class Impl;
    std::unique_ptr<Impl> m_Impl;
};
