// The simulated master on the wire: the stream's pacing, a farm that keeps
// changing within its bounds, listening on a given port, and clients that
// cannot keep up.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "draviklib/simulated_master.h"
#include "net.h"
#include "protocol.h"

using namespace draviklib_detail;
using namespace std::chrono_literals;

static void PrintTo(const String& text, std::ostream* out)
{
    *out << '"' << text.Str() << '"';
}

namespace
{
/// A raw protocol client on a blocking socket.
class RawClient
{
public:
    /// receiveBuffer > 0 shrinks the socket's receive buffer, so that a
    /// client that stops reading holds the master up sooner.
    explicit RawClient(int port, int receiveBuffer = 0) : m_Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        if (receiveBuffer > 0)
            ::setsockopt(m_Socket.Get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
        sockaddr_in addr;
        std::memset(&addr, 0, sizeof(addr));
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(uint16_t(port));
        if (::connect(m_Socket.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0)
            m_Socket.Reset();
    }
    bool Connected() const { return m_Socket.Valid(); }

    /// The next record; false on end of stream or after timeoutMs without one.
    bool Next(xolib::vector<String>& fields, int timeoutMs = 10000)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        String line;
        while (!m_Reader.NextLine(line))
        {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd fd = {m_Socket.Get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) <= 0)
                return false;
            char chunk[64 * 1024];
            ssize_t got = ::read(m_Socket.Get(), chunk, sizeof(chunk));
            if (got <= 0)
                return false;
            m_Reader.Append(chunk, size_t(got));
        }
        return ParseRecord(line, fields);
    }

private:
    FileHandle m_Socket;
    LineReader m_Reader;
};

unsigned JobNumber(const String& uid)
{
    return unsigned(uid.Mid(24).Int(16));
}

/// What a client knows after applying the records it got, and what it noticed
/// on the way.
struct FarmView
{
    xolib::map<String, xolib::vector<String>> jobs;  // JOB fields by uid
    size_t mostJobs = 0;
    unsigned highestJob = 0;
    int retired = 0;
    bool retiredOnlyFinished = true;
    uint64_t lastSequence = 0;
    bool consecutive = true;
    uint64_t messages = 0;
    uint64_t skippedReported = 0;
    int resyncs = 0;
    String lastText;

    void Apply(const xolib::vector<String>& fields)
    {
        if (fields[0] == "JOB" && fields.size() == 7)
        {
            jobs[fields[1]] = fields;
            highestJob = std::max(highestJob, JobNumber(fields[1]));
        }
        else if (fields[0] == "GONE" && fields.size() == 2)
        {
            // Only a client that missed part of the stream may hear of the
            // end of a job it last saw unfinished.
            auto job = jobs.find(fields[1]);
            retiredOnlyFinished = retiredOnlyFinished && job != jobs.end() && job->second[4] == "FINISHED";
            if (job != jobs.end())
                jobs.erase(job);
            ++retired;
        }
        else if (fields[0] == "MSG" && fields.size() == 5)
        {
            uint64_t sequence = uint64_t(fields[1].Int64());
            consecutive = consecutive && sequence == lastSequence + 1;
            lastSequence = sequence;
            ++messages;
            lastText = fields[4];
            const String skipped = "Skipped ";
            if (fields[4].StartsWith(skipped) && fields[4].EndsWith(" messages while the client was busy"))
            {
                skippedReported += uint64_t(fields[4].Mid(int(skipped.Length())).Int64());
                ++resyncs;
            }
        }
        mostJobs = std::max(mostJobs, jobs.size());
    }
    /// Reads and applies records until the condition holds; false on timeout.
    bool ReadUntil(RawClient& client, const std::function<bool()>& condition)
    {
        xolib::vector<String> fields;
        while (!condition())
        {
            if (!client.Next(fields))
                return false;
            Apply(fields);
        }
        return true;
    }
};

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}
}  // namespace

TEST(StreamPacerTest, DeliversTheRateInSpacedBatchesWithoutCatchUpBursts)
{
    typedef StreamPacer::Clock Clock;
    const Clock::time_point t0 = Clock::time_point() + 1h;
    StreamPacer pacer;
    EXPECT_EQ(pacer.TakeDue(t0), 0);
    EXPECT_EQ(pacer.NextWake(), Clock::time_point::max());

    // A low rate: one at the start, then one per interval.
    pacer.SetRate(4, t0);
    EXPECT_EQ(pacer.TakeDue(t0), 1);
    EXPECT_EQ(pacer.NextWake(), t0 + 250ms);
    EXPECT_EQ(pacer.TakeDue(t0 + 249ms), 0);
    EXPECT_EQ(pacer.TakeDue(t0 + 250ms), 1);

    // High rates over one second, waking when asked: the exact count, each
    // wake-up finds work, and wake-ups are at least a millisecond apart.
    for (double rate : {1000.0, 10000.0, 50000.0})
    {
        pacer.SetRate(rate, t0);
        Clock::time_point now = t0;
        int64_t sent = pacer.TakeDue(now);
        int wakes = 1, idleWakes = 0;
        Clock::duration shortestGap = 1h;
        for (;;)
        {
            Clock::time_point next = pacer.NextWake();
            if (next > t0 + 1s)
                break;
            shortestGap = std::min(shortestGap, next - now);
            now = next;
            int due = pacer.TakeDue(now);
            sent += due;
            idleWakes += due == 0;
            ++wakes;
        }
        EXPECT_EQ(sent, int64_t(rate) + 1) << rate;
        EXPECT_EQ(idleWakes, 0) << rate;
        EXPECT_GE(shortestGap, StreamPacer::k_MinWakeInterval) << rate;
        EXPECT_LE(wakes, 1001) << rate;
    }

    // After a stall, at most the catch-up window's worth, then the plain rate.
    pacer.SetRate(1000, t0);
    EXPECT_EQ(pacer.TakeDue(t0), 1);
    Clock::time_point late = t0 + 10s;
    EXPECT_EQ(pacer.TakeDue(late), 20);
    EXPECT_EQ(pacer.NextWake(), late + 1ms);
    EXPECT_EQ(pacer.TakeDue(late + 1ms), 1);
    pacer.SetRate(4, t0);
    EXPECT_EQ(pacer.TakeDue(t0), 1);
    EXPECT_EQ(pacer.TakeDue(late), 1);
    EXPECT_EQ(pacer.NextWake(), late + 250ms);

    // A rate change restarts the schedule; rate 0 stops it.
    pacer.SetRate(10, late);
    EXPECT_EQ(pacer.TakeDue(late), 1);
    EXPECT_EQ(pacer.TakeDue(late + 50ms), 0);
    EXPECT_EQ(pacer.NextWake(), late + 100ms);
    pacer.SetRate(0, late);
    EXPECT_EQ(pacer.TakeDue(late + 1h), 0);
    EXPECT_EQ(pacer.NextWake(), Clock::time_point::max());
}

TEST(SimulatedMasterTest, FarmKeepsSubmittingAndRetiringWithinItsBound)
{
    SimulatedMaster master(3, 20000);
    ASSERT_TRUE(master.Start());
    RawClient client(master.Port());
    ASSERT_TRUE(client.Connected());
    FarmView view;
    ASSERT_TRUE(view.ReadUntil(client, [&] { return view.messages >= 2000; }));

    EXPECT_TRUE(view.consecutive);
    EXPECT_GT(view.highestJob, unsigned(SimulatedMaster::k_MaxLiveJobs));
    EXPECT_GT(view.retired, 0);
    EXPECT_TRUE(view.retiredOnlyFinished);
    EXPECT_LE(view.mostJobs, size_t(SimulatedMaster::k_MaxLiveJobs));
    int running = 0;
    for (const auto& job : view.jobs)
        running += job.second[4] == "RUNNING";
    EXPECT_GT(running, 0);
}

TEST(SimulatedMasterTest, ListensAgainOnTheSamePortAtOnce)
{
    xolib::vector<String> fields;
    SimulatedMaster first(5, 0);
    ASSERT_TRUE(first.Start());
    const int port = first.Port();
    {
        RawClient client(port);
        FarmView view;
        ASSERT_TRUE(view.ReadUntil(client, [&] { return view.messages == 1; }));
        // The master closes first, so its side of the link lingers on the port.
        first.Stop();
        EXPECT_FALSE(client.Next(fields));
    }

    SimulatedMaster second(5, 0);
    second.SetListenPort(port);
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(second.Port(), port);
    RawClient client(port);
    FarmView view;
    EXPECT_TRUE(view.ReadUntil(client, [&] { return view.messages == 1; }));
    EXPECT_EQ(view.lastText, "Connected to the simulated master");

    // A port in use stays refused.
    SimulatedMaster third(5, 0);
    third.SetListenPort(port);
    EXPECT_FALSE(third.Start());
}

TEST(SimulatedMasterTest, SlowClientIsPassedByThenResynced)
{
    SimulatedMaster master(11, 0);
    ASSERT_TRUE(master.Start());
    RawClient slow(master.Port(), 4096);
    FarmView view;
    ASSERT_TRUE(view.ReadUntil(slow, [&] { return view.messages == 1; }));

    // The client stops reading while the farm runs fast.
    master.SetStreamRate(50000);
    ASSERT_TRUE(WaitFor([&] { return master.GetSkippedCount() >= 20000; }));
    EXPECT_LE(master.GetPeakBacklog(), SimulatedMaster::k_SkipBacklog + 64 * 1024);

    // Reading again, it is brought up to date, told what it missed, and the
    // stream resumes.
    ASSERT_TRUE(view.ReadUntil(slow, [&] { return view.resyncs == 1; }));
    EXPECT_GT(view.skippedReported, 0u);
    const uint64_t atResync = view.messages;
    ASSERT_TRUE(view.ReadUntil(slow, [&] { return view.messages >= atResync + 200; }));

    // Stop the stream; the burst marks its end. Any later spell of skipping
    // is reported by then too.
    master.SetStreamRate(0);
    master.SendBurst(1);
    ASSERT_TRUE(view.ReadUntil(slow, [&] { return view.lastText == "Burst 1"; }));
    ASSERT_TRUE(view.ReadUntil(slow, [&] { return view.skippedReported == master.GetSkippedCount(); }));
    EXPECT_TRUE(view.consecutive);
    EXPECT_LE(view.mostJobs, size_t(SimulatedMaster::k_MaxLiveJobs));

    // It holds the same jobs as a client that connects now.
    RawClient fresh(master.Port());
    FarmView freshView;
    ASSERT_TRUE(freshView.ReadUntil(fresh, [&] { return freshView.messages == 1; }));
    EXPECT_EQ(view.jobs, freshView.jobs);
    EXPECT_GT(view.highestJob, unsigned(SimulatedMaster::k_MaxLiveJobs));
}
