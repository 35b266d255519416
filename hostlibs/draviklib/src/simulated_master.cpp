#include "draviklib/simulated_master.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "draviklib/draviklib.h"
#include "net.h"
#include "protocol.h"

using namespace draviklib_detail;

namespace
{
typedef std::chrono::steady_clock Clock;

// The stream passes a slow client by, so only what is sent on request can
// pile up this far; a client that reads none of it is dropped.
const size_t k_MaxPendingBytes = 256u * 1024u * 1024u;
const int k_EngineCount = 6;
// Submissions pause while this many jobs wait, so the farm keeps some
// finished jobs to show rather than filling up with a queue.
const int k_MaxWaitingJobs = 10;

struct CommandSpec
{
    const char* name;
    int32_t flags;
    const char* help;
    const char* items;
};

struct ProductSpec
{
    const char* name;
    const char* identifier;
    // Each parameter: name, then its choices, ';'-separated.
    xolib::vector<std::pair<const char*, const char*>> params;
    xolib::vector<CommandSpec> commands;
};

const int32_t k_Separator = int32_t(Command::SEPARATOR | Command::APPLIES_ALL);
const int32_t k_Active = Command::APPLIES_RUNNING | Command::APPLIES_WAITING;

const xolib::vector<ProductSpec>& Products()
{
    static const xolib::vector<ProductSpec> products = {
        {"Blender",
         "blender",
         {{"Priority", "Low;Normal;High;Urgent"}, {"Device", "CPU;GPU;Hybrid"}, {"Samples", "64;128;256;1024"}},
         {{"Explore Output", Command::APPLIES_ALL, "Show the job's output folder", ""},
          {"Render Frames", k_Active, "Render single frames first", "Frame 1;Frame 2;DISABLED:Frame 3"},
          {"-", k_Separator, "", ""},
          {"Suspend", Command::APPLIES_RUNNING, "Stop handing out frames", ""},
          {"Resume", Command::APPLIES_WAITING, "Hand out frames again", ""},
          {"Resubmit", Command::APPLIES_FINISHED, "Render the job again", ""},
          {"DISABLED:Archive", Command::APPLIES_ALL, "Archiving is not set up on this farm", ""}}},
        {"Maya",
         "maya",
         {{"Renderer", "Arnold;V-Ray;Redshift;RenderMan"}, {"Camera", "persp;renderCam;shotCam"}},
         {{"Explore Output", Command::APPLIES_ALL, "Show the job's output folder", ""},
          {"Render Layer", k_Active, "Render one layer first", "masterLayer;beauty;DISABLED:shadow"},
          {"-", k_Separator, "", ""},
          {"Suspend", Command::APPLIES_RUNNING, "Stop handing out frames", ""},
          {"DISABLED:Rebuild Cache", Command::APPLIES_ALL, "Needs a cache server", ""},
          {"Resubmit", Command::APPLIES_FINISHED, "Render the job again", ""}}},
        {"Nuke",
         "nuke",
         {{"Write Node", "Write1;Write2;WriteProxy"}, {"Proxy", "On;Off"}, {"Views", "left;right;main"}},
         {{"Explore Output", Command::APPLIES_ALL, "Show the job's output folder", ""},
          {"Execute Write", k_Active, "Execute one write node", "Write1;Write2"},
          {"Abort", Command::APPLIES_RUNNING, "Stop the job now", ""},
          {"-", k_Separator, "", ""},
          {"Resubmit", Command::APPLIES_FINISHED, "Render the job again", ""}}},
        {"Houdini",
         "houdini",
         {{"ROP", "mantra1;karma1;geometry1"}, {"Threads", "1;4;8;16;All"}},
         {{"Explore Output", Command::APPLIES_ALL, "Show the job's output folder", ""},
          {"Cook", k_Active, "Cook one network", "geo;DISABLED:sim;render"},
          {"-", k_Separator, "", ""},
          {"Suspend", Command::APPLIES_RUNNING, "Stop handing out frames", ""},
          {"Resume", Command::APPLIES_WAITING, "Hand out frames again", ""},
          {"DISABLED:Flush Cache", Command::APPLIES_ALL, "Needs a cache server", ""}}},
    };
    return products;
}

// Fixed identifiers, so every run and every client sees the same objects.
UID MakeID(unsigned family, unsigned number)
{
    return UID::FromString(SFormat("%08x-0000-4000-8000-%012x", family, number));
}

const char* StateWord(Job::State state)
{
    switch (state)
    {
    case Job::STATE_RUNNING: return "RUNNING";
    case Job::STATE_FINISHED: return "FINISHED";
    default: return "WAITING";
    }
}

struct SimJob
{
    unsigned number;  // of its identifier, counted from 1 in creation order
    UID id;
    String name;
    int product;
    Job::State state;
    int progress;
    String outputFolder;  // empty: not a render job
};

struct SimEngine
{
    UID id;
    String name;
    int load;
};

struct Client
{
    FileHandle socket;
    std::string pending;  // bytes not yet written
    size_t written = 0;   // of pending
    uint64_t sequence = 0;
    // Behind: stream output passes the client by until its backlog drains.
    bool skipping = false;
    uint64_t skipped = 0;  // stream messages missed in this spell
    // Jobs the client was last told of as live, so that a resync can retire
    // those it missed the end of.
    xolib::set<unsigned> toldJobs;

    size_t Backlog() const { return pending.size() - written; }
};
}

// ---------------------------------------------------------------- pacer

void StreamPacer::SetRate(double perSecond, Clock::time_point now)
{
    m_Rate = perSecond > 0 ? perSecond : 0;
    double perWake = m_Rate * std::chrono::duration<double>(k_MaxCatchUp).count();
    m_MaxPerWake = perWake < 1 ? 1 : perWake > 1e6 ? 1000000 : int(perWake);
    Restart(now);
}

void StreamPacer::Restart(Clock::time_point now)
{
    m_Start = now;
    m_Sent = 0;
    m_LastWake = Clock::time_point::min();
}

StreamPacer::Clock::time_point StreamPacer::_DueTime(uint64_t index) const
{
    // Rounded up so that no message is early; TakeDue and NextWake both
    // use this, so a wake-up at the time given always finds a message due.
    double nanoseconds = std::ceil(double(index) * 1e9 / m_Rate);
    return m_Start + std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(int64_t(nanoseconds)));
}

int StreamPacer::TakeDue(Clock::time_point now)
{
    m_LastWake = now;
    if (m_Rate <= 0)
        return 0;
    int due = 0;
    while (due < m_MaxPerWake && _DueTime(m_Sent) <= now)
    {
        ++m_Sent;
        ++due;
    }
    if (due == m_MaxPerWake && _DueTime(m_Sent) <= now)
    {
        // A stall: drop the rest, and count the last message taken as the
        // start of a new schedule.
        m_Start = now;
        m_Sent = 1;
    }
    return due;
}

StreamPacer::Clock::time_point StreamPacer::NextWake() const
{
    if (m_Rate <= 0)
        return Clock::time_point::max();
    return std::max(_DueTime(m_Sent), m_LastWake + k_MinWakeInterval);
}

// ---------------------------------------------------------------- master

class SimulatedMaster::Impl
{
public:
    Impl(uint32_t seed, double rate) : m_Random(seed)
    {
        m_Pacer.SetRate(rate, Clock::now());
        _BuildModel();
    }
    ~Impl() { Stop(); }

    bool Start();
    void Stop();
    /// Runs task on the master's thread.
    void Post(std::function<void()> task);

    std::atomic<int> m_ListenPort{0};
    std::atomic<int> m_Port{0};
    std::atomic<bool> m_Running{false};
    std::atomic<int> m_ClientCount{0};
    std::atomic<int> m_Accepted{0};
    std::atomic<uint64_t> m_SkippedTotal{0};
    std::atomic<uint64_t> m_PeakBacklog{0};  // written on the master's thread only

    // Touched on the master's thread only (tasks run there).
    void SetRate(double rate) { m_Pacer.SetRate(rate, Clock::now()); }
    void Burst(int count);
    void BroadcastMessage(const char* kind, const UID& subject, const String& text);
    void BroadcastRaw(const String& line);
    void DropAll();

private:
    void _BuildModel();
    void _Run();
    bool _Streaming() const { return m_Pacer.GetRate() > 0 && !m_Clients.empty(); }
    void _Accept();
    void _SendModel(Client& client);
    void _SendMessage(Client& client, const char* kind, const UID& subject, const String& text);
    void _SendJob(Client& client, const SimJob& job);
    void _SendGone(Client& client, unsigned number);
    String _JobRecord(const SimJob& job) const;
    void _Queue(Client& client, const String& text);
    bool _Flush(Client& client);  // false: the client is gone
    void _Resync(Client& client);

    // The stream: what ticks produce goes only to clients that keep up.
    void _Tick();
    void _StreamMessage(const char* kind, const UID& subject, const String& text);
    void _StreamJob(const SimJob& job);
    void _StreamGone(unsigned number);
    void _AdvanceJobs();
    void _SubmitJob();
    int _RandomInt(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_Random); }

    FileHandle m_Listener;
    WakeEvent m_Wake;
    std::thread m_Thread;
    std::atomic<bool> m_Stopping{false};
    std::mutex m_TasksMutex;
    xolib::vector<std::function<void()>> m_Tasks;

    std::mt19937 m_Random;
    StreamPacer m_Pacer;
    xolib::vector<std::unique_ptr<Client>> m_Clients;
    xolib::vector<SimJob> m_Jobs;  // in creation order
    xolib::vector<SimEngine> m_Engines;
    unsigned m_JobsCreated = 0;
};

void SimulatedMaster::Impl::_BuildModel()
{
    static const struct
    {
        const char* name;
        int product;
        Job::State state;
        int progress;
        bool renders;
    } k_Jobs[] = {
        {"shot_010_lighting", 0, Job::STATE_RUNNING, 35, true},
        {"shot_020_fx", 3, Job::STATE_RUNNING, 60, true},
        {"char_turntable", 1, Job::STATE_RUNNING, 10, true},
        {"comp_final_v3", 2, Job::STATE_WAITING, 0, true},
        {"env_flythrough", 0, Job::STATE_WAITING, 0, true},
        {"crowd_sim_v2", 3, Job::STATE_WAITING, 0, false},
        {"trailer_titles", 2, Job::STATE_FINISHED, 100, true},
        {"layout_previz", 1, Job::STATE_FINISHED, 100, true},
    };
    static_assert(sizeof(k_Jobs) / sizeof(k_Jobs[0]) == SimulatedMaster::k_InitialJobCount, "job table");
    for (const auto& initial : k_Jobs)
    {
        String name = initial.name;
        unsigned number = ++m_JobsCreated;
        m_Jobs.push_back({number, MakeID(2, number), name, initial.product, initial.state, initial.progress,
                          initial.renders ? "/tmp/dravik-renders/" + name : String()});
    }
    for (int i = 1; i <= k_EngineCount; ++i)
        m_Engines.push_back({MakeID(3, unsigned(i)), SFormat("engine-%02d", i), _RandomInt(0, 100)});
}

bool SimulatedMaster::Impl::Start()
{
    if (m_Thread.joinable())
        return true;
    if (!m_Wake.Valid())
        return false;
    int port = m_ListenPort;
    m_Listener = ListenLoopback(port);
    if (!m_Listener.Valid())
    {
        int error = errno;
        LogWarning(SFormat("Simulated master: cannot listen on 127.0.0.1:%d: %s", int(m_ListenPort),
                           std::strerror(error)));
        return false;
    }
    m_Port = port;
    m_Stopping = false;
    m_Running = true;
    m_Thread = std::thread([this] { _Run(); });
    LogStatus(SFormat("Simulated master: listening on 127.0.0.1:%d", port));
    return true;
}

void SimulatedMaster::Impl::Stop()
{
    if (!m_Thread.joinable())
        return;
    m_Stopping = true;
    m_Wake.Notify();
    m_Thread.join();
    m_Listener.Reset();
    m_Running = false;
}

void SimulatedMaster::Impl::Post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(m_TasksMutex);
        m_Tasks.push_back(std::move(task));
    }
    m_Wake.Notify();
}

void SimulatedMaster::Impl::_Run()
{
    xolib::vector<pollfd> fds;
    while (!m_Stopping)
    {
        fds.clear();
        fds.push_back({m_Wake.Fd(), POLLIN, 0});
        fds.push_back({m_Listener.Get(), POLLIN, 0});
        for (const auto& client : m_Clients)
        {
            short events = POLLIN;
            if (client->Backlog() > 0)
                events |= POLLOUT;
            fds.push_back({client->socket.Get(), events, 0});
        }
        // Without a client, or at rate 0, nothing is due: wait for events only.
        timespec wait;
        timespec* timeout = nullptr;
        if (_Streaming())
        {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(m_Pacer.NextWake() - Clock::now());
            int64_t nanoseconds = std::max<int64_t>(0, left.count());
            wait.tv_sec = time_t(nanoseconds / 1000000000);
            wait.tv_nsec = long(nanoseconds % 1000000000);
            timeout = &wait;
        }
        int ready = ::ppoll(fds.data(), fds.size(), timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            break;
        if (m_Stopping)
            break;

        if (fds[0].revents & POLLIN)
        {
            m_Wake.Drain();
            xolib::vector<std::function<void()>> tasks;
            {
                std::lock_guard<std::mutex> lock(m_TasksMutex);
                tasks.swap(m_Tasks);
            }
            for (auto& task : tasks)
                task();
        }
        if (fds[1].revents & POLLIN)
            _Accept();

        // Client sockets: the fds vector was built before tasks and accepts
        // changed m_Clients, so match by descriptor.
        for (size_t i = 2; i < fds.size(); ++i)
        {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            for (auto it = m_Clients.begin(); it != m_Clients.end(); ++it)
            {
                if ((*it)->socket.Get() != fds[i].fd)
                    continue;
                char discard[4096];
                ssize_t got = ::read(fds[i].fd, discard, sizeof(discard));
                if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
                    m_Clients.erase(it);
                break;
            }
        }

        if (_Streaming())
            for (int due = m_Pacer.TakeDue(Clock::now()); due > 0; --due)
                _Tick();

        for (auto it = m_Clients.begin(); it != m_Clients.end();)
            it = _Flush(**it) ? it + 1 : m_Clients.erase(it);
        for (auto& client : m_Clients)
            if (client->skipping && client->Backlog() <= k_ResumeBacklog)
                _Resync(*client);
        m_ClientCount = int(m_Clients.size());
    }
    m_Clients.clear();
    m_ClientCount = 0;
}

void SimulatedMaster::Impl::_Accept()
{
    for (;;)
    {
        FileHandle socket(::accept4(m_Listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!socket.Valid())
            return;
        // The stream has been waiting for a listener; it starts afresh.
        if (m_Clients.empty())
            m_Pacer.Restart(Clock::now());
        auto client = std::make_unique<Client>();
        client->socket = std::move(socket);
        _SendModel(*client);
        m_Clients.push_back(std::move(client));
        ++m_Accepted;
    }
}

void SimulatedMaster::Impl::_SendModel(Client& client)
{
    const auto& products = Products();
    for (size_t p = 0; p < products.size(); ++p)
    {
        const ProductSpec& product = products[p];
        String id = MakeID(1, unsigned(p + 1)).ToString();
        _Queue(client, FormatRecord({"PRODUCT", id, product.name, product.identifier}));
        for (const auto& param : product.params)
        {
            xolib::vector<String> fields = {"PARAM", id, param.first};
            StringTokenizer choices(param.second, ';');
            while (choices.HasMore())
                fields.push_back(choices.GetNext());
            _Queue(client, FormatRecord(fields));
        }
        for (const auto& command : product.commands)
            _Queue(client, FormatRecord({"COMMAND", id, command.name, String::FromInt(command.flags), command.help,
                                         command.items}));
        _Queue(client, FormatRecord({"END", id}));
    }
    for (const SimJob& job : m_Jobs)
        _SendJob(client, job);
    _SendMessage(client, "TEXT", UID::Null, "Connected to the simulated master");
}

String SimulatedMaster::Impl::_JobRecord(const SimJob& job) const
{
    return FormatRecord({"JOB", job.id.ToString(), job.name, MakeID(1, unsigned(job.product + 1)).ToString(),
                         StateWord(job.state), String::FromInt(job.progress), job.outputFolder});
}

void SimulatedMaster::Impl::_SendMessage(Client& client, const char* kind, const UID& subject, const String& text)
{
    String subjectText = subject ? subject.ToString() : String();
    _Queue(client, FormatRecord({"MSG", String::FromInt(int64_t(++client.sequence)), kind, subjectText, text}));
}

void SimulatedMaster::Impl::_SendJob(Client& client, const SimJob& job)
{
    _Queue(client, _JobRecord(job));
    client.toldJobs.insert(job.number);
}

void SimulatedMaster::Impl::_SendGone(Client& client, unsigned number)
{
    _Queue(client, FormatRecord({"GONE", MakeID(2, number).ToString()}));
    client.toldJobs.erase(number);
}

void SimulatedMaster::Impl::_Queue(Client& client, const String& text)
{
    if (client.written > 0 && client.written >= client.pending.size() / 2)
    {
        client.pending.erase(0, client.written);
        client.written = 0;
    }
    client.pending += text.Str();
    if (client.Backlog() > m_PeakBacklog.load(std::memory_order_relaxed))
        m_PeakBacklog.store(client.Backlog(), std::memory_order_relaxed);
}

bool SimulatedMaster::Impl::_Flush(Client& client)
{
    while (client.written < client.pending.size())
    {
        ssize_t sent = ::send(client.socket.Get(), client.pending.data() + client.written,
                              client.pending.size() - client.written, MSG_NOSIGNAL);
        if (sent < 0)
        {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            return false;
        }
        client.written += size_t(sent);
    }
    if (client.written == client.pending.size())
    {
        client.pending.clear();
        client.written = 0;
    }
    return client.Backlog() <= k_MaxPendingBytes;
}

void SimulatedMaster::Impl::_Resync(Client& client)
{
    // Retired jobs first, so the client never holds more than the model does.
    xolib::set<unsigned> live;
    for (const SimJob& job : m_Jobs)
        live.insert(job.number);
    xolib::vector<unsigned> told(client.toldJobs.begin(), client.toldJobs.end());
    for (unsigned number : told)
        if (!live.count(number))
            _SendGone(client, number);
    for (const SimJob& job : m_Jobs)
        _SendJob(client, job);
    _SendMessage(client, "TEXT", UID::Null,
                 SFormat("Skipped %llu messages while the client was busy", (unsigned long long)client.skipped));
    LogInfo(SFormat("Simulated master: a client caught up after missing %llu messages",
                    (unsigned long long)client.skipped));
    client.skipping = false;
    client.skipped = 0;
}

void SimulatedMaster::Impl::BroadcastMessage(const char* kind, const UID& subject, const String& text)
{
    for (auto& client : m_Clients)
        _SendMessage(*client, kind, subject, text);
}

void SimulatedMaster::Impl::BroadcastRaw(const String& line)
{
    for (auto& client : m_Clients)
        _Queue(*client, line);
}

void SimulatedMaster::Impl::Burst(int count)
{
    for (int i = 1; i <= count; ++i)
        BroadcastMessage("TEXT", UID::Null, SFormat("Burst %d", i));
}

void SimulatedMaster::Impl::DropAll()
{
    m_Clients.clear();
    m_ClientCount = 0;
}

void SimulatedMaster::Impl::_StreamMessage(const char* kind, const UID& subject, const String& text)
{
    for (auto& client : m_Clients)
    {
        if (!client->skipping)
            _SendMessage(*client, kind, subject, text);
        else
        {
            ++client->skipped;
            ++m_SkippedTotal;
        }
    }
}

void SimulatedMaster::Impl::_StreamJob(const SimJob& job)
{
    for (auto& client : m_Clients)
        if (!client->skipping)
            _SendJob(*client, job);
}

void SimulatedMaster::Impl::_StreamGone(unsigned number)
{
    for (auto& client : m_Clients)
        if (!client->skipping)
            _SendGone(*client, number);
}

void SimulatedMaster::Impl::_Tick()
{
    static const char* const k_LogLines[] = {
        "Dispatcher: frame batch handed out",
        "Scheduler: pool 'gpu' rebalanced",
        "Storage: output volume at 71% capacity",
        "License server: 12 of 16 seats in use",
        "Dispatcher: engine heartbeat check passed",
    };
    // Decided once per tick, so a client gets all of a tick's records or none.
    for (auto& client : m_Clients)
        if (!client->skipping && client->Backlog() > k_SkipBacklog)
        {
            client->skipping = true;
            client->skipped = 0;
            LogInfo("Simulated master: a client fell behind; the stream passes it by until it catches up");
        }

    int roll = _RandomInt(0, 9);
    if (roll <= 4)
        _AdvanceJobs();
    else if (roll == 5)
        _SubmitJob();
    else if (roll <= 7)
    {
        SimEngine& engine = m_Engines[size_t(_RandomInt(0, k_EngineCount - 1))];
        engine.load = std::max(0, std::min(100, engine.load + _RandomInt(-20, 20)));
        _StreamMessage("ENGINE", engine.id, SFormat("%s load %d%%", engine.name.c_str(), engine.load));
    }
    else
        _StreamMessage("TEXT", UID::Null, k_LogLines[_RandomInt(0, int(sizeof(k_LogLines) / sizeof(*k_LogLines)) - 1)]);
}

// Each engine runs one job; the oldest waiting job starts next.
void SimulatedMaster::Impl::_AdvanceJobs()
{
    xolib::vector<size_t> running;
    size_t oldestWaiting = m_Jobs.size();
    for (size_t i = 0; i < m_Jobs.size(); ++i)
        if (m_Jobs[i].state == Job::STATE_RUNNING)
            running.push_back(i);
        else if (m_Jobs[i].state == Job::STATE_WAITING && oldestWaiting == m_Jobs.size())
            oldestWaiting = i;
    if (oldestWaiting < m_Jobs.size() && int(running.size()) < k_EngineCount &&
        (running.empty() || _RandomInt(0, 2) == 0))
    {
        SimJob& job = m_Jobs[oldestWaiting];
        job.state = Job::STATE_RUNNING;
        _StreamJob(job);
        _StreamMessage("JOB", job.id, job.name + " started");
        return;
    }
    if (running.empty())
    {
        // Every job is finished: the farm gets new work.
        _SubmitJob();
        return;
    }
    SimJob& job = m_Jobs[running[size_t(_RandomInt(0, int(running.size()) - 1))]];
    job.progress = std::min(100, job.progress + _RandomInt(3, 15));
    if (job.progress == 100)
        job.state = Job::STATE_FINISHED;
    _StreamJob(job);
    _StreamMessage("JOB", job.id,
                   job.state == Job::STATE_FINISHED ? job.name + " finished"
                                                    : SFormat("%s at %d%%", job.name.c_str(), job.progress));
}

void SimulatedMaster::Impl::_SubmitJob()
{
    static const char* const k_Names[] = {"shot", "asset", "comp", "sim", "lookdev"};
    int waiting = 0;
    for (const SimJob& job : m_Jobs)
        waiting += job.state == Job::STATE_WAITING;
    auto oldestFinished = std::find_if(m_Jobs.begin(), m_Jobs.end(),
                                       [](const SimJob& job) { return job.state == Job::STATE_FINISHED; });
    bool full = int(m_Jobs.size()) >= SimulatedMaster::k_MaxLiveJobs;
    // With a long queue (or a full farm of unfinished jobs) the engines work
    // instead; that always has something to do then.
    if (waiting >= k_MaxWaitingJobs || (full && oldestFinished == m_Jobs.end()))
    {
        _AdvanceJobs();
        return;
    }
    if (full)
    {
        unsigned retired = oldestFinished->number;
        m_Jobs.erase(oldestFinished);
        _StreamGone(retired);
    }
    unsigned number = ++m_JobsCreated;
    String name = SFormat("%s_%03u", k_Names[_RandomInt(0, 4)], number * 10);
    int product = _RandomInt(0, SimulatedMaster::k_ProductCount - 1);
    m_Jobs.push_back(
        {number, MakeID(2, number), name, product, Job::STATE_WAITING, 0, "/tmp/dravik-renders/" + name});
    _StreamJob(m_Jobs.back());
    _StreamMessage("JOB", m_Jobs.back().id, name + " submitted");
}

// ---------------------------------------------------------------- public face

SimulatedMaster::SimulatedMaster(uint32_t seed, double messagesPerSecond)
    : m_Impl(std::make_unique<Impl>(seed, messagesPerSecond < 0 ? 0 : messagesPerSecond))
{
}

SimulatedMaster::~SimulatedMaster() = default;

void SimulatedMaster::SetListenPort(int port)
{
    m_Impl->m_ListenPort = port;
}

bool SimulatedMaster::Start()
{
    return m_Impl->Start();
}

void SimulatedMaster::Stop()
{
    m_Impl->Stop();
}

bool SimulatedMaster::IsRunning() const
{
    return m_Impl->m_Running;
}

int SimulatedMaster::Port() const
{
    return m_Impl->m_Port;
}

String SimulatedMaster::GetAddress() const
{
    return SFormat("127.0.0.1:%d", Port());
}

void SimulatedMaster::SetStreamRate(double perSecond)
{
    Impl* impl = m_Impl.get();
    impl->Post([impl, perSecond] { impl->SetRate(perSecond); });
}

void SimulatedMaster::SendBurst(int count)
{
    Impl* impl = m_Impl.get();
    impl->Post([impl, count] { impl->Burst(count); });
}

void SimulatedMaster::SendShutdown(const String& reason)
{
    Impl* impl = m_Impl.get();
    impl->Post([impl, reason] { impl->BroadcastMessage("SHUTDOWN", UID::Null, reason); });
}

void SimulatedMaster::DropClients()
{
    Impl* impl = m_Impl.get();
    impl->Post([impl] { impl->DropAll(); });
}

void SimulatedMaster::SendRawLine(const String& line)
{
    Impl* impl = m_Impl.get();
    String text = line + "\n";
    impl->Post([impl, text] { impl->BroadcastRaw(text); });
}

int SimulatedMaster::GetClientCount() const
{
    return m_Impl->m_ClientCount;
}

int SimulatedMaster::GetAcceptedCount() const
{
    return m_Impl->m_Accepted;
}

uint64_t SimulatedMaster::GetSkippedCount() const
{
    return m_Impl->m_SkippedTotal;
}

uint64_t SimulatedMaster::GetPeakBacklog() const
{
    return m_Impl->m_PeakBacklog;
}
