#include "messenger.h"

#include <boost/make_shared.hpp>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

using namespace draviklib_detail;

namespace
{
// Past this many malformed lines per connection only a count is logged, so
// a confused master cannot flood the log.
const int k_MaxWarningsPerSession = 20;
const int k_ConnectTimeoutMs = 2000;

bool ParseSequence(const String& text, uint64_t& value)
{
    if (text.Empty() || text.Length() > 19)
        return false;
    value = 0;
    for (size_t i = 0; i < text.Length(); ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + uint64_t(text[i] - '0');
    }
    return value > 0;
}

bool ParseInt32(const String& text, int32_t& value)
{
    size_t start = text.StartsWith("-") ? 1 : 0;
    if (text.Length() <= start || text.Length() > start + 10)
        return false;
    for (size_t i = start; i < text.Length(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    int64_t wide = text.Int64();
    if (wide < INT32_MIN || wide > INT32_MAX)
        return false;
    value = int32_t(wide);
    return true;
}

// An empty text is the null subject; anything else must parse.
bool ParseSubject(const String& text, UID& id)
{
    if (text.Empty())
    {
        id = UID::Null;
        return true;
    }
    id = UID::FromString(text);
    return bool(id);
}

bool ParseKind(const String& text, Message::Kind& kind)
{
    static const struct
    {
        const char* word;
        Message::Kind kind = Message::KIND_TEXT;
    } k_Kinds[] = {{"TEXT", Message::KIND_TEXT},
                   {"JOB", Message::KIND_JOB},
                   {"ENGINE", Message::KIND_ENGINE},
                   {"SHUTDOWN", Message::KIND_SHUTDOWN}};
    for (const auto& known : k_Kinds)
        if (text == known.word)
        {
            kind = known.kind;
            return true;
        }
    return false;
}

bool ParseState(const String& text, Job::State& state)
{
    if (text == "WAITING")
        state = Job::STATE_WAITING;
    else if (text == "RUNNING")
        state = Job::STATE_RUNNING;
    else if (text == "FINISHED")
        state = Job::STATE_FINISHED;
    else
        return false;
    return true;
}
}

Messenger::Messenger(DravikClientApp& app, const String& host, int port)
    : m_App(app), m_Host(host), m_Port(port), m_Address(host + ":" + String::FromInt(port))
{
}

Messenger::~Messenger()
{
    Stop();
}

bool Messenger::Start()
{
    if (m_Thread.joinable())
        return true;
    if (!m_Wake.Valid())
    {
        LogError("Messenger: cannot create its wake-up event");
        return false;
    }
    m_Wake.Drain();
    m_Running = true;
    m_Thread = std::thread([this] { _Run(); });
    return true;
}

void Messenger::Stop()
{
    if (!m_Thread.joinable())
        return;
    m_Running = false;
    m_Wake.Notify();
    m_App._WakeReceiver();
    m_Thread.join();
}

void Messenger::_Run()
{
    LogStatus("Messenger: connecting to the master at " + m_Address);
    int retryMs = k_FirstRetryMs;
    bool reportFailure = true;  // once per run of failed attempts
    while (m_Running)
    {
        FileHandle socket = ConnectTcp(m_Host, m_Port, m_Wake.Fd(), k_ConnectTimeoutMs);
        if (!m_Running)
            break;
        if (!socket.Valid())
        {
            if (reportFailure)
                LogStatus("Messenger: cannot reach the master at " + m_Address + "; retrying");
            reportFailure = false;
            if (WaitForWake(m_Wake.Fd(), retryMs))
                break;
            retryMs = std::min(retryMs * 2, k_MaxRetryMs);
            continue;
        }
        retryMs = k_FirstRetryMs;
        reportFailure = true;
        m_Reader.Clear();
        m_Building.clear();
        m_WarningsThisSession = 0;
        m_Connected = true;
        LogStatus("Messenger: connected to " + m_Address);
        {
            MessengerConnectedEvt event(m_Address);
            MessengerConnectedEvt::Signal().Emit(event);
        }
        bool stopping = _Session(socket);
        socket.Reset();
        m_Connected = false;
        if (stopping || !m_Running)
            break;
        LogStatus("Messenger: lost the link to " + m_Address);
        {
            MessengerDisconnectedEvt event(m_Address);
            MessengerDisconnectedEvt::Signal().Emit(event);
        }
        if (WaitForWake(m_Wake.Fd(), retryMs))
            break;
    }
    m_Connected = false;
}

bool Messenger::_Session(FileHandle& socket)
{
    char chunk[64 * 1024];
    pollfd fds[2] = {{socket.Get(), POLLIN, 0}, {m_Wake.Fd(), POLLIN, 0}};
    for (;;)
    {
        fds[0].revents = fds[1].revents = 0;
        int ready = ::poll(fds, 2, -1);
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (fds[1].revents & POLLIN)
            return true;
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        ssize_t got = ::read(socket.Get(), chunk, sizeof(chunk));
        if (got == 0)
            return false;
        if (got < 0)
        {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return false;
        }
        m_Reader.Append(chunk, size_t(got));
        String line;
        while (m_Running)
        {
            bool complete = m_Reader.NextLine(line);
            // Reported before the next good line, so the log keeps stream order.
            if (int overlong = m_Reader.TakeOverlongCount())
                LogWarning(SFormat("Messenger: dropped %d overlong line(s) from %s", overlong, m_Address.c_str()));
            if (!complete)
                break;
            _HandleLine(line);
        }
        if (!m_Running)
            return true;
    }
}

void Messenger::_Malformed(const String& line, const char* why)
{
    ++m_WarningsThisSession;
    if (m_WarningsThisSession > k_MaxWarningsPerSession)
        return;
    String shown = EscapeField(line.Left(80));
    LogWarning(SFormat("Messenger: dropped a malformed line from %s (%s): %s", m_Address.c_str(), why,
                       shown.c_str()));
    if (m_WarningsThisSession == k_MaxWarningsPerSession)
        LogWarning("Messenger: further malformed lines from " + m_Address + " are dropped silently");
}

void Messenger::_HandleLine(const String& line)
{
    if (line.Empty())
        return;
    xolib::vector<String> fields;
    if (!ParseRecord(line, fields))
        _Malformed(line, "bad escape");
    else if (!_HandleRecord(fields))
        _Malformed(line, "bad record");
}

bool Messenger::_HandleRecord(const xolib::vector<String>& fields)
{
    const String& type = fields[0];
    if (type == "MSG")
    {
        uint64_t sequence = 0;
        Message::Kind kind = Message::KIND_TEXT;
        UID subject(false);
        if (fields.size() != 5 || !ParseSequence(fields[1], sequence) || !ParseKind(fields[2], kind) ||
            !ParseSubject(fields[3], subject))
            return false;
        if (kind == Message::KIND_SHUTDOWN)
        {
            LogSystem("Messenger: the master asks the program to end: " + fields[4]);
            ShutdownMsg::s_Signal.Emit(boost::make_shared<ShutdownMsg>(sequence, fields[4]));
        }
        else
            m_App._Received(boost::make_shared<Message>(kind, sequence, fields[4], subject), m_Running);
        return true;
    }
    if (type == "PRODUCT")
    {
        UID id(false);
        if (fields.size() != 4 || !ParseSubject(fields[1], id) || !id || fields[2].Empty())
            return false;
        m_Building[id] = boost::make_shared<Product>(id, fields[2], fields[3]);
        return true;
    }
    if (type == "PARAM" || type == "COMMAND" || type == "END")
    {
        UID id(false);
        if (fields.size() < 2 || !ParseSubject(fields[1], id) || !id)
            return false;
        auto building = m_Building.find(id);
        if (building == m_Building.end())
            return false;
        if (type == "END")
        {
            if (fields.size() != 2)
                return false;
            JobFactory::s_JobFactory.AddProduct(building->second);
            m_Building.erase(building);
        }
        else if (type == "PARAM")
        {
            if (fields.size() < 3 || fields[2].Empty())
                return false;
            xolib::vector<String> choices(fields.begin() + 3, fields.end());
            building->second->AddParam(boost::make_shared<Parameter>(fields[2], choices));
        }
        else
        {
            int32_t flags = 0;
            if (fields.size() != 6 || fields[2].Empty() || !ParseInt32(fields[3], flags))
                return false;
            building->second->AddCommand(boost::make_shared<Command>(fields[2], flags, fields[4], fields[5]));
        }
        return true;
    }
    if (type == "GONE")
    {
        UID id(false);
        if (fields.size() != 2 || !ParseSubject(fields[1], id) || !id)
            return false;
        m_App.RemoveJob(id);
        return true;
    }
    if (type == "JOB")
    {
        UID id(false), product(false);
        Job::State state = Job::STATE_WAITING;
        if (fields.size() != 7 || !ParseSubject(fields[1], id) || !id || !ParseSubject(fields[3], product) ||
            !ParseState(fields[4], state))
            return false;
        int progress = fields[5].Int(10, -1);
        if (progress < 0 || progress > 100)
            return false;
        boost::shared_ptr<Job> job = m_App.GetJobByID(id);
        if (!job)
        {
            if (fields[6].Empty())
                job = boost::make_shared<Job>(id, fields[2], product);
            else
                job = boost::make_shared<RenderJob>(id, fields[2], product, Path(fields[6]));
            job->SetState(state);
            job->SetProgress(progress);
            m_App.AddJob(job);
        }
        else
        {
            job->SetName(fields[2]);
            job->SetState(state);
            job->SetProgress(progress);
        }
        return true;
    }
    return false;
}
