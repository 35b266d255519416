// Xolib: requests between programs over Unix domain sockets.
//
// Wire format: the client sends a 4-byte big-endian length and that many
// bytes of text right after connecting; the listener answers one byte and
// closes:
//   '1'  a handler took the request and returned true;
//   '0'  refused (malformed, unknown, too many at once), the handler
//        returned false, or the program stopped listening before it ran;
//   'Q'  accepted, but the receiver's main thread has not got to it within
//        the answer timeout: it stays queued and runs when that thread is
//        free; its result is not sent.
// A connection that ends before sending anything is a liveness probe and is
// dropped quietly. A client that does not want the answer may close as soon
// as its request is written: a complete request is served all the same.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include "app_listener.h"
#include "xolib/log.h"

using xolib_detail::UniqueFd;

void UniqueFd::Reset(int fd)
{
    if (m_Fd >= 0)
        ::close(m_Fd);
    m_Fd = fd;
}

struct Application::Listener::Dispatch
{
    std::mutex mutex;  // guards stopping, finished and waiting
    bool stopping = false;
    /// Handlers that ran and are not answered yet: connection id and result.
    std::vector<std::pair<uint64_t, bool>> finished;
    /// Requests handed to the main thread that have not started.
    size_t waiting = 0;
    /// Wakes the listener thread when finished grows.
    UniqueFd wake;
};

/// One request on its way to the main thread. Holds no pointer to the
/// listener, so an invoker may run it after the listener is gone.
struct Application::Listener::Call
{
    enum Status
    {
        Waiting,
        Running,
        Done,
        Cancelled,  // never handed over, or its listener stopped first
    };

    PipeHandler handler;
    String text;
    std::shared_ptr<Dispatch> dispatch;
    uint64_t connection = 0;
    Status status = Waiting;

    /// Runs the handler unless the request was cancelled; true when it ran.
    /// However late it runs, the handler runs while the listener lives.
    bool Run();
    void Cancel();
};

namespace
{
typedef std::chrono::steady_clock Clock;

// A real client sends its whole request right after connecting, so the
// header has little time to arrive and the body a bounded time after it.
const std::chrono::milliseconds k_HeaderTimeout(500);
const std::chrono::milliseconds k_BodyTimeout(1000);
// How long a client hears nothing while its request waits for the main
// thread; below SendRequest's default timeout so that it hears 'Q' rather
// than timing out itself.
const std::chrono::milliseconds k_AnswerTimeout(2000);
const std::chrono::milliseconds k_LockTimeout(2000);
// After a failed accept (out of descriptors) the listener stops accepting
// for this long instead of spinning on the waiting connection.
const std::chrono::milliseconds k_AcceptPause(100);
// Requests waiting for a main thread that does not run them; beyond this
// more are refused so that a flood cannot grow memory without bound.
const size_t k_MaxWaitingCalls = 256;
const int k_MaxAcceptsPerRound = 64;
const size_t k_MaxNameLength = 64;
const int k_Backlog = 64;
const char* const k_SocketSuffix = ".sock";
const char* const k_LockSuffix = ".lock";

const char k_AnswerYes = '1';
const char k_AnswerNo = '0';
const char k_AnswerQueued = 'Q';

// How long one posted request may take to go out, and how long the queue
// may take to drain when the application or the process ends.
const std::chrono::milliseconds k_PostTimeout(1000);
const std::chrono::milliseconds k_PostDrainTimeout(2000);

bool IsValidProgramName(const String& name)
{
    if (name.Empty() || name.Length() > k_MaxNameLength)
        return false;
    for (size_t i = 0; i < name.Length(); ++i)
    {
        const char c = name[i];
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!allowed)
            return false;
    }
    return true;
}

/// Text from outside, made safe for one log line.
String Printable(const std::string& text, size_t maxLength = 64)
{
    String out;
    for (size_t i = 0; i < text.size() && i < maxLength; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c >= 0x20 && c < 0x7f) ? char(c) : '?';
    }
    if (text.size() > maxLength)
        out += "...";
    return out;
}

String ErrorText(int error)
{
    return String(std::strerror(error));
}

/// Milliseconds until the deadline, rounded up so that a poll does not wake
/// just before it; 0 once it has passed.
int RemainingMs(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : int(ms);
}

String UserText(uid_t uid)
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return SFormat("%s (uid %u)", found->pw_name, unsigned(uid));
    return SFormat("uid %u", unsigned(uid));
}

/// Says why requests between programs are off, once per folder and process
/// rather than on every request.
void ReportUnusableFolder(const Path& folder, const String& problem)
{
    static std::mutex s_Mutex;  // guards s_Reported
    static std::set<std::string> s_Reported;
    {
        std::lock_guard<std::mutex> lock(s_Mutex);
        if (s_Reported.size() >= 32 || !s_Reported.insert(folder.GetString().Str()).second)
            return;
    }
    LogWarning("Requests between programs are off: the runtime folder " + folder.GetString() + " " +
               problem +
               ". Setting XDG_RUNTIME_DIR to a folder of this user that others cannot write to "
               "fixes it.");
}

/// Why the folder cannot hold our sockets; empty when it is a private folder
/// of this user.
String FolderProblem(const Path& folder)
{
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0)
        return "cannot be examined: " + ErrorText(errno);
    if (S_ISLNK(info.st_mode))
        return "is a symbolic link, not a folder";
    if (!S_ISDIR(info.st_mode))
        return "is not a folder";
    if (info.st_uid != geteuid())
        return "belongs to " + UserText(info.st_uid) + ", not to this user, " + UserText(geteuid());
    if ((info.st_mode & 077) != 0)
        return SFormat("is open to other users (mode %04o, must be 0700)", unsigned(info.st_mode & 07777));
    return String();
}

/// A base for our folder: a directory of this user that nobody else can
/// write to (others may look in; they cannot plant or swap anything).
bool IsSafeBase(const char* folder)
{
    struct stat info;
    return folder && folder[0] == '/' && lstat(folder, &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && (info.st_mode & 022) == 0;
}

enum class WaitResult
{
    Ready,
    Timeout,
    Failed,
};

/// Waits until fd is ready for events or the deadline passes.
WaitResult WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;)
    {
        pollfd ready = {fd, events, 0};
        const int count = poll(&ready, 1, RemainingMs(deadline));
        if (count < 0)
        {
            if (errno == EINTR)
                continue;
            return WaitResult::Failed;
        }
        if (count == 0)
            return WaitResult::Timeout;
        // Errors and hang-ups count as ready: the next read or write reports them.
        if (ready.revents != 0)
            return WaitResult::Ready;
    }
}

/// Reads one byte from a non-blocking socket; false on timeout, end or error.
bool ReadByte(int fd, char& byte, Clock::time_point deadline)
{
    for (;;)
    {
        const ssize_t count = recv(fd, &byte, 1, 0);
        if (count == 1)
            return true;
        if (count == 0)
            return false;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        if (WaitFor(fd, POLLIN, deadline) != WaitResult::Ready)
            return false;
    }
}

/// Writes all bytes to a non-blocking socket; never raises SIGPIPE.
bool WriteFully(int fd, const char* data, size_t size, Clock::time_point deadline)
{
    while (size > 0)
    {
        const ssize_t count = send(fd, data, size, MSG_NOSIGNAL);
        if (count > 0)
        {
            data += count;
            size -= size_t(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            if (WaitFor(fd, POLLOUT, deadline) != WaitResult::Ready)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

bool PeerIsSameUser(int fd)
{
    struct ucred credentials;
    socklen_t length = sizeof(credentials);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
        length != sizeof(credentials))
        return false;
    return credentials.uid == geteuid();
}

bool MakeAddress(const Path& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    const String& text = path.GetString();
    if (text.Empty() || text.Length() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, text.c_str(), text.Length());
    return true;
}

enum class ConnectResult
{
    Connected,
    Busy,     // a listener exists but its backlog is full
    Refused,  // a socket file without a listener, or not a socket at all
    Failed,
};

UniqueFd ConnectTo(const Path& path, ConnectResult& result)
{
    result = ConnectResult::Failed;
    sockaddr_un address;
    if (!MakeAddress(path, address))
        return UniqueFd();
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.Valid())
        return UniqueFd();
    int status;
    do
        status = connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    while (status != 0 && errno == EINTR);
    if (status == 0)
    {
        result = ConnectResult::Connected;
        return fd;
    }
    if (errno == EAGAIN)
        result = ConnectResult::Busy;
    else if (errno == ECONNREFUSED)
        result = ConnectResult::Refused;
    return UniqueFd();
}

Path SocketPath(const Path& folder, const String& programName)
{
    return folder / Path(programName + k_SocketSuffix);
}

void Answer(int fd, char reply)
{
    // Nothing else was ever sent on the socket, so one byte never blocks.
    if (send(fd, &reply, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1)
        LogDebug("Request answer not delivered: " + ErrorText(errno));
}

/// The checks both senders make before anything goes out; false (logged)
/// when the request cannot be sent.
bool CanSend(const String& name, const String& text)
{
    if (!IsValidProgramName(name))
    {
        LogWarning("Cannot send a request to the invalid program name \"" + Printable(name.Str()) +
                   "\"");
        return false;
    }
    if (text.Empty() || text.Length() > Application::k_MaxRequestSize)
    {
        LogWarning(SFormat("Cannot send a request of %zu bytes to %s (1 to %zu bytes allowed)",
                           text.Length(), name.c_str(), size_t(Application::k_MaxRequestSize)));
        return false;
    }
    return true;
}

/// Connects to the program listening as name in the runtime folder, checks
/// its user and writes the request; the connection, or an invalid one when
/// that failed (logged).
UniqueFd DeliverRequest(const Path& folder, const String& name, const String& text,
                        Clock::time_point deadline)
{
    const Path socketPath = SocketPath(folder, name);
    UniqueFd fd;
    for (;;)
    {
        ConnectResult state;
        fd = ConnectTo(socketPath, state);
        if (state == ConnectResult::Connected)
            break;
        if (state != ConnectResult::Busy || Clock::now() >= deadline)
        {
            LogDebug("No program listens as " + name);
            return UniqueFd();
        }
        // A full backlog clears as the listener accepts.
        poll(nullptr, 0, std::min(10, RemainingMs(deadline)));
    }
    if (!PeerIsSameUser(fd.Get()))
    {
        LogWarning("The program listening as " + name + " belongs to another user");
        return UniqueFd();
    }
    const uint32_t length = uint32_t(text.Length());
    const char header[4] = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    if (!WriteFully(fd.Get(), header, sizeof(header), deadline) ||
        !WriteFully(fd.Get(), text.c_str(), text.Length(), deadline))
    {
        LogDebug("Cannot send a request to " + name);
        return UniqueFd();
    }
    return fd;
}

// ---------------------------------------------------------------------------
// RequestPoster: the sending side of PostRequest

/// One thread per process that sends posted requests in order, without
/// waiting for their answers. Started on first use; ended when an
/// application ends (after sending what is queued, within a bound) and at
/// process exit.
class RequestPoster
{
public:
    static RequestPoster& Instance();
    /// The poster if one was ever made; never makes one.
    static RequestPoster* Existing() { return s_Instance.load(); }

    /// False when the request was dropped (logged).
    bool Post(const Path& folder, const String& name, const String& text);
    /// Sends what is queued within k_PostDrainTimeout, drops the rest and
    /// joins the thread. Posts made meanwhile start a new thread afterwards.
    void Finish();

private:
    RequestPoster() = default;
    static void AtExit();
    static void BeforeFork();
    static void AfterForkInParent();
    static void AfterForkInChild();
    /// Called with m_Mutex held.
    bool StartLocked();
    void Run();

    static std::atomic<RequestPoster*> s_Instance;

    struct Posted
    {
        Path folder;
        String name;
        String text;
    };

    std::mutex m_Mutex;  // guards everything below
    // Both held by pointer so that a forked child, where the thread does not
    // exist, can abandon them.
    std::unique_ptr<std::condition_variable> m_Changed = std::make_unique<std::condition_variable>();
    std::unique_ptr<std::thread> m_Thread;
    std::deque<Posted> m_Queue;
    size_t m_QueuedBytes = 0;
    bool m_Finishing = false;
    bool m_Exiting = false;
    Clock::time_point m_DrainDeadline;
    LogLimiter m_DroppedLog;
};

std::atomic<RequestPoster*> RequestPoster::s_Instance{nullptr};

RequestPoster& RequestPoster::Instance()
{
    // Never destroyed: an application object may end during static
    // destruction and still ask it to finish. The exit handler, registered
    // after the log was made and so run before the log ends, joins the thread.
    static RequestPoster* const s_Poster = [] {
        RequestPoster* const poster = new RequestPoster;  // immortal; see above
        s_Instance.store(poster);
        std::atexit(&RequestPoster::AtExit);
        pthread_atfork(&RequestPoster::BeforeFork, &RequestPoster::AfterForkInParent,
                       &RequestPoster::AfterForkInChild);
        return poster;
    }();
    return *s_Poster;
}

void RequestPoster::AtExit()
{
    RequestPoster* poster = Existing();
    {
        std::lock_guard<std::mutex> lock(poster->m_Mutex);
        poster->m_Exiting = true;
    }
    poster->Finish();
}

// The queue's lock is taken across fork so that the child never inherits it
// held by the sending thread, which does not exist there.
void RequestPoster::BeforeFork()
{
    Existing()->m_Mutex.lock();
}

void RequestPoster::AfterForkInParent()
{
    Existing()->m_Mutex.unlock();
}

void RequestPoster::AfterForkInChild()
{
    RequestPoster* poster = Existing();
    // The parent's thread and its waits are gone: abandon their objects
    // (joining or signalling them would hang) and the parent's requests.
    static_cast<void>(poster->m_Thread.release());
    static_cast<void>(poster->m_Changed.release());
    poster->m_Changed = std::make_unique<std::condition_variable>();
    poster->m_Queue.clear();
    poster->m_QueuedBytes = 0;
    poster->m_Finishing = false;
    poster->m_Mutex.unlock();
}

bool RequestPoster::StartLocked()
{
    if (m_Thread)
        return true;
    try
    {
        m_Thread = std::make_unique<std::thread>(&RequestPoster::Run, this);
        return true;
    }
    catch (const std::system_error&)
    {
        return false;
    }
}

bool RequestPoster::Post(const Path& folder, const String& name, const String& text)
{
    enum
    {
        Queued,
        Full,
        Ending,
        NoThread,
    } outcome = Queued;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_Exiting)
            outcome = Ending;
        else if (m_Queue.size() >= Application::k_MaxPostedRequests ||
                 m_QueuedBytes + text.Length() > Application::k_MaxPostedBytes)
            outcome = Full;
        else
        {
            m_Queue.push_back(Posted{folder, name, text});
            m_QueuedBytes += text.Length();
            // While finishing, the draining thread takes it.
            if (!m_Finishing && !StartLocked())
                outcome = NoThread;
            m_Changed->notify_one();
        }
    }
    if (outcome == Full)
        m_DroppedLog.Write(LOG_WARNING, "Too many requests waiting to be sent; one to " + name +
                                            " dropped");
    else if (outcome == Ending)
        LogDebug("The program is ending; a request to " + name + " was not sent");
    else if (outcome == NoThread)
        m_DroppedLog.Write(LOG_WARNING, "Cannot start the thread that sends requests");
    return outcome == Queued;
}

void RequestPoster::Finish()
{
    std::unique_ptr<std::thread> thread;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        if (m_Finishing || !m_Thread || m_Thread->get_id() == std::this_thread::get_id())
            return;
        m_Finishing = true;
        m_DrainDeadline = Clock::now() + k_PostDrainTimeout;
        thread = std::move(m_Thread);
        m_Changed->notify_all();
    }
    thread->join();
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Finishing = false;
    // Posted after the draining thread left: they still go out.
    if (!m_Queue.empty() && !m_Exiting)
        StartLocked();
}

void RequestPoster::Run()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    for (;;)
    {
        m_Changed->wait(lock, [this] { return !m_Queue.empty() || m_Finishing; });
        if (m_Queue.empty())
            return;
        Clock::time_point deadline = Clock::now() + k_PostTimeout;
        if (m_Finishing)
        {
            if (Clock::now() >= m_DrainDeadline)
            {
                const size_t dropped = m_Queue.size();
                m_Queue.clear();
                m_QueuedBytes = 0;
                lock.unlock();
                LogWarning(SFormat("%zu request%s to other programs not sent in time", dropped,
                                   dropped == 1 ? "" : "s"));
                return;
            }
            deadline = std::min(deadline, m_DrainDeadline);
        }
        const Posted request = std::move(m_Queue.front());
        m_Queue.pop_front();
        m_QueuedBytes -= request.text.Length();
        lock.unlock();
        try
        {
            // The answer is not awaited: closing at once still delivers a
            // complete request, and a busy receiver holds up nobody here.
            DeliverRequest(request.folder, request.name, request.text, deadline);
        }
        catch (Exception* e)
        {
            delete e;
        }
        catch (...)
        {
        }
        lock.lock();
    }
}
}

void xolib_detail::FinishPostedRequests()
{
    if (RequestPoster* poster = RequestPoster::Existing())
        poster->Finish();
}

// ---------------------------------------------------------------------------
// Call

bool Application::Listener::Call::Run()
{
    {
        std::lock_guard<std::mutex> lock(dispatch->mutex);
        if (status != Waiting)
            return false;
        if (dispatch->stopping)
        {
            // The application may be gone: its handlers must not run.
            status = Cancelled;
            return false;
        }
        status = Running;
        --dispatch->waiting;
    }
    bool handled = false;
    try
    {
        handled = handler(text);
    }
    catch (Exception* e)
    {
        LogWarning("Request handler failed: " + e->GetText());
        delete e;
    }
    catch (const std::exception& e)
    {
        LogWarning(String("Request handler failed: ") + e.what());
    }
    catch (...)
    {
        LogWarning("Request handler failed");
    }
    bool report = false;
    {
        std::lock_guard<std::mutex> lock(dispatch->mutex);
        status = Done;
        if (!dispatch->stopping)
        {
            dispatch->finished.emplace_back(connection, handled);
            report = true;
        }
    }
    if (report)
    {
        const uint64_t one = 1;
        if (write(dispatch->wake.Get(), &one, sizeof(one)) != ssize_t(sizeof(one)))
            LogDebug("Cannot wake the request listener: " + ErrorText(errno));
    }
    return true;
}

void Application::Listener::Call::Cancel()
{
    std::lock_guard<std::mutex> lock(dispatch->mutex);
    if (status != Waiting)
        return;
    status = Cancelled;
    --dispatch->waiting;
}

// ---------------------------------------------------------------------------
// Connection

struct Application::Listener::Connection
{
    enum Phase
    {
        Header,
        Body,
        Answering,  // handed to the main thread; waits for the handler's result
    };

    UniqueFd fd;
    uint64_t id = 0;
    Phase phase = Header;
    unsigned char header[4] = {};
    std::string body;
    size_t got = 0;  // bytes of the current phase received
    Clock::time_point deadline;
    String name;  // the request's first word, once known

    bool Closed() const { return !fd.Valid(); }
    /// Sends the answer byte (none when 0) and hangs up.
    void Close(char answer = 0)
    {
        if (answer != 0)
            Answer(fd.Get(), answer);
        fd.Reset();
    }
    uint32_t Length() const
    {
        return (uint32_t(header[0]) << 24) | (uint32_t(header[1]) << 16) | (uint32_t(header[2]) << 8) |
               uint32_t(header[3]);
    }
};

// ---------------------------------------------------------------------------
// Listener

Application::Listener::Listener() = default;

Application::Listener::~Listener()
{
    Stop();
    // The listener ends with its application: what the application posted
    // goes out now rather than at process exit.
    xolib_detail::FinishPostedRequests();
}

void Application::Listener::AddHandler(const String& name, const PipeHandler& handler)
{
    std::lock_guard<std::mutex> lock(m_HandlerMutex);
    m_Handlers[name] = handler;
}

void Application::Listener::RemoveHandler(const String& name)
{
    std::lock_guard<std::mutex> lock(m_HandlerMutex);
    m_Handlers.erase(name);
}

void Application::Listener::SetInvoker(const MainThreadInvoker& invoker)
{
    std::lock_guard<std::mutex> lock(m_HandlerMutex);
    m_Invoker = invoker;
}

int Application::Listener::RunPending()
{
    std::deque<std::shared_ptr<Call>> calls;
    {
        std::lock_guard<std::mutex> lock(m_QueueMutex);
        calls.swap(m_Pending);
    }
    int ran = 0;
    for (const std::shared_ptr<Call>& call : calls)
        if (call->Run())
            ++ran;
    return ran;
}

bool Application::Listener::IsListening() const
{
    std::lock_guard<std::mutex> lock(m_StartMutex);
    return m_Socket.Valid();
}

bool Application::Listener::Start(const String& programName)
{
    std::lock_guard<std::mutex> lock(m_StartMutex);
    if (m_Socket.Valid())
    {
        if (programName == m_ProgramName)
            return true;
        StopLocked();
    }
    if (!IsValidProgramName(programName))
    {
        LogWarning("Refusing to listen under the invalid program name \"" +
                   Printable(programName.Str()) + "\"");
        return false;
    }
    const Path folder = GetRuntimeFolder();
    if (folder.Empty())
        return false;
    const Path socketPath = SocketPath(folder, programName);
    sockaddr_un address;
    if (!MakeAddress(socketPath, address))
    {
        LogWarning("Socket path too long: " + socketPath.GetString());
        return false;
    }

    // Two programs starting under one name at once must not remove each
    // other's fresh socket as stale: the check-and-replace runs under a lock.
    const Path lockPath = folder / Path(programName + k_LockSuffix);
    UniqueFd lockFile(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lockFile.Valid())
    {
        LogWarning("Cannot open " + lockPath.GetString() + ": " + ErrorText(errno));
        return false;
    }
    const Clock::time_point lockDeadline = Clock::now() + k_LockTimeout;
    while (flock(lockFile.Get(), LOCK_EX | LOCK_NB) != 0)
    {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= lockDeadline)
        {
            LogWarning("Cannot lock " + lockPath.GetString() + ": " + ErrorText(errno));
            return false;
        }
        poll(nullptr, 0, 10);
    }

    struct stat info;
    if (lstat(socketPath.c_str(), &info) == 0)
    {
        if (S_ISDIR(info.st_mode))
        {
            LogWarning("A folder is in the way of the socket " + socketPath.GetString());
            return false;
        }
        ConnectResult probe = ConnectResult::Refused;
        if (S_ISSOCK(info.st_mode))
            ConnectTo(socketPath, probe);
        if (probe == ConnectResult::Connected || probe == ConnectResult::Busy)
        {
            LogWarning("Another program already listens as " + programName);
            return false;
        }
        LogInfo("Replacing the stale socket " + socketPath.GetString());
        if (unlink(socketPath.c_str()) != 0 && errno != ENOENT)
        {
            LogWarning("Cannot remove " + socketPath.GetString() + ": " + ErrorText(errno));
            return false;
        }
    }

    UniqueFd socketFd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socketFd.Valid() ||
        bind(socketFd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
    {
        LogWarning("Cannot bind " + socketPath.GetString() + ": " + ErrorText(errno));
        return false;
    }
    UniqueFd stopEvent(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    auto dispatch = std::make_shared<Dispatch>();
    dispatch->wake.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (listen(socketFd.Get(), k_Backlog) != 0 || lstat(socketPath.c_str(), &info) != 0 ||
        !stopEvent.Valid() || !dispatch->wake.Valid())
    {
        LogWarning("Cannot listen on " + socketPath.GetString() + ": " + ErrorText(errno));
        unlink(socketPath.c_str());
        return false;
    }

    try
    {
        m_Thread =
            std::thread(&Listener::ServeLoop, this, socketFd.Get(), stopEvent.Get(), dispatch);
    }
    catch (const std::system_error& e)
    {
        LogWarning(String("Cannot start the request listener: ") + e.what());
        unlink(socketPath.c_str());
        return false;
    }
    m_Socket = std::move(socketFd);
    m_StopEvent = std::move(stopEvent);
    m_SocketPath = socketPath;
    m_ProgramName = programName;
    m_SocketDevice = info.st_dev;
    m_SocketInode = info.st_ino;
    m_Dispatch = dispatch;
    LogDebug("Listening for requests as " + programName);
    return true;
}

void Application::Listener::Stop()
{
    std::lock_guard<std::mutex> lock(m_StartMutex);
    StopLocked();
}

void Application::Listener::StopLocked()
{
    if (!m_Thread.joinable())
        return;
    {
        // From here no waiting request runs: its handler may belong to an
        // application that is ending.
        std::lock_guard<std::mutex> lock(m_Dispatch->mutex);
        m_Dispatch->stopping = true;
    }
    const uint64_t one = 1;
    if (write(m_StopEvent.Get(), &one, sizeof(one)) != ssize_t(sizeof(one)))
        LogWarning("Cannot signal the request listener to stop: " + ErrorText(errno));
    m_Thread.join();

    // Another program may have replaced our socket file meanwhile; leave
    // theirs alone.
    struct stat info;
    if (lstat(m_SocketPath.c_str(), &info) == 0 && info.st_dev == m_SocketDevice &&
        info.st_ino == m_SocketInode)
        unlink(m_SocketPath.c_str());
    m_Socket.Reset();
    m_StopEvent.Reset();
    {
        std::lock_guard<std::mutex> lock(m_QueueMutex);
        m_Pending.clear();
    }
    m_Dispatch.reset();
    LogDebug("Stopped listening as " + m_ProgramName);
    m_ProgramName = String();
    m_SocketPath = Path();
}

/// Sends the answers of the handlers that finished to their clients, if
/// they still wait.
void Application::Listener::DeliverAnswers(Dispatch& dispatch, Connections& connections)
{
    std::vector<std::pair<uint64_t, bool>> finished;
    {
        std::lock_guard<std::mutex> lock(dispatch.mutex);
        finished.swap(dispatch.finished);
    }
    for (const std::pair<uint64_t, bool>& result : finished)
        for (const std::unique_ptr<Connection>& connection : connections)
            if (connection->id == result.first && !connection->Closed() &&
                connection->phase == Connection::Answering)
            {
                connection->Close(result.second ? k_AnswerYes : k_AnswerNo);
                break;
            }
}

void Application::Listener::ServeLoop(int listenFd, int stopFd,
                                      const std::shared_ptr<Dispatch>& dispatch)
{
    Connections connections;
    std::vector<pollfd> fds;
    uint64_t nextId = 1;
    Clock::time_point acceptResumes = Clock::time_point::min();
    bool stopped = false;
    for (;;)
    {
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [](const std::unique_ptr<Connection>& c) { return c->Closed(); }),
                          connections.end());
        const bool accepting = Clock::now() >= acceptResumes;
        fds.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({dispatch->wake.Get(), POLLIN, 0});
        fds.push_back({accepting ? listenFd : -1, POLLIN, 0});  // a negative fd is skipped
        Clock::time_point next = accepting ? Clock::time_point::max() : acceptResumes;
        for (const std::unique_ptr<Connection>& c : connections)
        {
            // A request with the main thread is watched for its client
            // hanging up only.
            fds.push_back({c->fd.Get(), short(c->phase == Connection::Answering ? 0 : POLLIN), 0});
            next = std::min(next, c->deadline);
        }
        const int count = poll(fds.data(), nfds_t(fds.size()),
                               next == Clock::time_point::max() ? -1 : RemainingMs(next));
        if (count < 0)
        {
            if (errno == EINTR)
                continue;
            LogWarning("Request listener failed: " + ErrorText(errno));
            break;
        }
        if (fds[1].revents != 0)
        {
            uint64_t ignored;
            if (read(dispatch->wake.Get(), &ignored, sizeof(ignored)) < 0 && errno != EAGAIN)
                LogDebug("Cannot read the request listener's wake-up: " + ErrorText(errno));
        }
        // Answers first: a handler that finished before a stop still has its
        // answer sent.
        DeliverAnswers(*dispatch, connections);
        if (fds[0].revents != 0)
        {
            stopped = true;
            break;
        }

        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < connections.size(); ++i)
        {
            Connection& connection = *connections[i];
            if (connection.Closed())
                continue;
            const short events = fds[3 + i].revents;
            if (connection.phase == Connection::Answering)
            {
                if ((events & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                {
                    LogDebug("The client of the request \"" + Printable(connection.name.Str()) +
                             "\" stopped waiting; the request runs when the main thread gets to it");
                    connection.Close();
                }
            }
            else if (events != 0)
                ReadRequest(connection, dispatch);
            if (!connection.Closed() && connection.deadline <= now)
                Expire(connection);
        }

        if (accepting && (fds[2].revents & POLLIN) != 0)
        {
            bool acceptFailed = false;
            AcceptAll(listenFd, connections, nextId, dispatch, acceptFailed);
            if (acceptFailed)
                acceptResumes = Clock::now() + k_AcceptPause;
        }
        else if (accepting && (fds[2].revents & (POLLERR | POLLNVAL)) != 0)
        {
            LogWarning("Request listener socket failed");
            break;
        }
    }
    DeliverAnswers(*dispatch, connections);
    // On a stop the requests still waiting will never run: say so.
    for (const std::unique_ptr<Connection>& c : connections)
        if (!c->Closed())
            c->Close(stopped && c->phase == Connection::Answering ? k_AnswerNo : 0);
}

void Application::Listener::AcceptAll(int listenFd, Connections& connections, uint64_t& nextId,
                                      const std::shared_ptr<Dispatch>& dispatch, bool& acceptFailed)
{
    for (int round = 0; round < k_MaxAcceptsPerRound; ++round)
    {
        UniqueFd fd(accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd.Valid())
        {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            m_AcceptLog.Write(LOG_WARNING, "Cannot accept a request: " + ErrorText(errno));
            acceptFailed = true;
            return;
        }
        if (!PeerIsSameUser(fd.Get()))
        {
            m_RefusedLog.Write(LOG_WARNING, "Refused a request from another user");
            Answer(fd.Get(), k_AnswerNo);
            continue;
        }
        const size_t open = size_t(std::count_if(
            connections.begin(), connections.end(),
            [](const std::unique_ptr<Connection>& c) { return !c->Closed(); }));
        if (open >= k_MaxConnections)
        {
            // Refused at once rather than queued behind the others.
            m_TooManyLog.Write(LOG_WARNING,
                               SFormat("Too many requests at once (%zu); one refused", open));
            Answer(fd.Get(), k_AnswerNo);
            continue;
        }
        connections.push_back(std::make_unique<Connection>());
        Connection& connection = *connections.back();
        connection.fd = std::move(fd);
        connection.id = nextId++;
        connection.deadline = Clock::now() + k_HeaderTimeout;
        // A real client has usually sent its request already.
        ReadRequest(connection, dispatch);
    }
}

void Application::Listener::ReadRequest(Connection& connection,
                                        const std::shared_ptr<Dispatch>& dispatch)
{
    for (;;)
    {
        const bool inHeader = connection.phase == Connection::Header;
        char* into = inHeader ? reinterpret_cast<char*>(connection.header) + connection.got
                              : &connection.body[connection.got];
        const size_t wanted =
            (inHeader ? sizeof(connection.header) : connection.body.size()) - connection.got;
        const ssize_t count = recv(connection.fd.Get(), into, wanted, 0);
        if (count > 0)
        {
            connection.got += size_t(count);
            if (size_t(count) < wanted)
                continue;
            if (!inHeader)
            {
                CompleteRequest(connection, dispatch);
                return;
            }
            const uint32_t length = connection.Length();
            if (length == 0 || length > k_MaxRequestSize)
            {
                m_MalformedLog.Write(LOG_WARNING,
                                     SFormat("Refused a request of %u bytes (limit %zu)",
                                             unsigned(length), size_t(k_MaxRequestSize)));
                connection.Close(k_AnswerNo);
                return;
            }
            connection.body.assign(length, '\0');
            connection.got = 0;
            connection.phase = Connection::Body;
            connection.deadline = Clock::now() + k_BodyTimeout;
            continue;
        }
        if (count == 0)
        {
            if (inHeader && connection.got == 0)
                connection.Close();  // a liveness probe
            else
            {
                m_MalformedLog.Write(
                    LOG_WARNING,
                    inHeader ? SFormat("Malformed request: connection closed after %zu header bytes",
                                       connection.got)
                             : SFormat("Malformed request: connection closed after %zu of %zu bytes",
                                       connection.got, connection.body.size()));
                connection.Close(k_AnswerNo);
            }
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
        {
            LogDebug("Request connection failed: " + ErrorText(errno));
            connection.Close();
        }
        return;
    }
}

void Application::Listener::CompleteRequest(Connection& connection,
                                            const std::shared_ptr<Dispatch>& dispatch)
{
    // Handlers take the text as a C string as often as not.
    if (connection.body.find('\0') != std::string::npos)
    {
        m_MalformedLog.Write(LOG_WARNING,
                             "Refused a request containing a NUL byte: " + Printable(connection.body));
        connection.Close(k_AnswerNo);
        return;
    }
    if (!HandOver(connection, dispatch))
    {
        connection.Close(k_AnswerNo);
        return;
    }
    connection.phase = Connection::Answering;
    connection.deadline = Clock::now() + k_AnswerTimeout;
}

void Application::Listener::Expire(Connection& connection)
{
    if (connection.phase == Connection::Answering)
    {
        LogDebug("The request \"" + Printable(connection.name.Str()) +
                 "\" is still queued for the main thread; it runs when that thread is free");
        connection.Close(k_AnswerQueued);
        return;
    }
    if (connection.phase == Connection::Header && connection.got == 0)
        m_TimeoutLog.Write(LOG_WARNING, "A client sent no request in time; connection closed");
    else
        m_TimeoutLog.Write(LOG_WARNING,
                           connection.phase == Connection::Header
                               ? SFormat("Malformed request: timed out after %zu header bytes",
                                         connection.got)
                               : SFormat("Malformed request: timed out after %zu of %zu bytes",
                                         connection.got, connection.body.size()));
    connection.Close(k_AnswerNo);
}

bool Application::Listener::HandOver(Connection& connection,
                                     const std::shared_ptr<Dispatch>& dispatch)
{
    const std::string& raw = connection.body;
    connection.name = String(raw.substr(0, raw.find_first_of(" \t\r\n")));
    auto call = std::make_shared<Call>();
    MainThreadInvoker invoker;
    {
        std::lock_guard<std::mutex> lock(m_HandlerMutex);
        auto found = m_Handlers.find(connection.name);
        if (found == m_Handlers.end() || found->second.empty())
        {
            m_UnknownLog.Write(LOG_WARNING, "No handler for the request \"" +
                                                Printable(connection.name.Str()) + "\"");
            return false;
        }
        call->handler = found->second;
        invoker = m_Invoker;
    }
    bool swamped = false;
    {
        std::lock_guard<std::mutex> lock(dispatch->mutex);
        swamped = dispatch->waiting >= k_MaxWaitingCalls;
        if (!swamped)
            ++dispatch->waiting;
    }
    if (swamped)
    {
        m_TooManyLog.Write(LOG_WARNING, SFormat("%zu requests wait for the main thread; the request \"%s\" refused",
                                                k_MaxWaitingCalls, Printable(connection.name.Str()).c_str()));
        return false;
    }
    call->text = String(std::move(connection.body));
    connection.body = std::string();
    call->dispatch = dispatch;
    call->connection = connection.id;

    if (invoker)
    {
        try
        {
            invoker(boost::function<void()>([call]() { call->Run(); }));
        }
        catch (...)
        {
            call->Cancel();
            LogWarning("Cannot hand the request \"" + Printable(connection.name.Str()) +
                       "\" to the main thread");
            return false;
        }
    }
    else
    {
        std::lock_guard<std::mutex> lock(m_QueueMutex);
        m_Pending.push_back(call);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Application: the static side

Path Application::GetRuntimeFolder()
{
    try
    {
        const char* runtime = getenv("XDG_RUNTIME_DIR");
        Path folder;
        if (IsSafeBase(runtime))
            folder = Path(runtime) / Path("dravik");
        else
        {
            const char* temporary = getenv("TMPDIR");
            const String base = (temporary && temporary[0] == '/') ? temporary : "/tmp";
            folder = Path(base) / Path(SFormat("dravik-%u", unsigned(geteuid())));
        }
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        {
            ReportUnusableFolder(folder, "cannot be created: " + ErrorText(errno));
            return Path();
        }
        // Someone else's folder, a symlink or open permissions would let
        // other users plant or read sockets.
        const String problem = FolderProblem(folder);
        if (!problem.Empty())
        {
            ReportUnusableFolder(folder, problem);
            return Path();
        }
        return folder;
    }
    catch (Exception* e)
    {
        delete e;
    }
    catch (const std::exception&)
    {
    }
    return Path();
}

bool Application::SendRequest(const Path& address, const String& text, int timeoutMs)
{
    try
    {
        const String name = address.FileName();
        if (!CanSend(name, text))
            return false;
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        const Path folder = GetRuntimeFolder();
        if (folder.Empty())
            return false;
        UniqueFd fd = DeliverRequest(folder, name, text, deadline);
        if (!fd.Valid())
            return false;
        char reply = 0;
        if (!ReadByte(fd.Get(), reply, deadline))
        {
            LogDebug("No answer to a request from " + name);
            return false;
        }
        if (reply == k_AnswerQueued)
            LogDebug("The request to " + name +
                     " waits for that program's main thread; it runs when that thread is free");
        return reply == k_AnswerYes;
    }
    catch (Exception* e)
    {
        delete e;
    }
    catch (...)
    {
    }
    return false;
}

bool Application::PostRequest(const Path& address, const String& text)
{
    try
    {
        const String name = address.FileName();
        if (!CanSend(name, text))
            return false;
        // Resolved here rather than on the sending thread, which must not
        // read the environment while the program may change it.
        const Path folder = GetRuntimeFolder();
        return !folder.Empty() && RequestPoster::Instance().Post(folder, name, text);
    }
    catch (Exception* e)
    {
        delete e;
    }
    catch (...)
    {
    }
    return false;
}

bool Application::IsListeningProgram(const String& programName)
{
    try
    {
        if (!IsValidProgramName(programName))
            return false;
        const Path folder = GetRuntimeFolder();
        if (folder.Empty())
            return false;
        ConnectResult state;
        UniqueFd fd = ConnectTo(SocketPath(folder, programName), state);
        return state == ConnectResult::Connected || state == ConnectResult::Busy;
    }
    catch (Exception* e)
    {
        delete e;
    }
    catch (...)
    {
    }
    return false;
}
