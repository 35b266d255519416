// Xolib: requests between programs over Unix domain sockets.
//
// Wire format: the client sends a 4-byte big-endian length and that many
// bytes of text; the listener answers one byte, '1' when a handler took the
// request and returned true, else '0', and closes. A connection that ends
// before sending anything is a liveness probe and is dropped quietly.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

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
    std::mutex mutex;  // guards stopping and the status and result of every Call
    std::condition_variable changed;
    bool stopping = false;
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
        Abandoned,  // the client got its answer already; never run
    };

    PipeHandler handler;
    String text;
    std::shared_ptr<Dispatch> dispatch;
    Status status = Waiting;
    bool result = false;

    /// Runs the handler unless the request was abandoned; true when it ran.
    bool Run();
};

namespace
{
typedef std::chrono::steady_clock Clock;

// How long a client may take to send its request, and how long a request may
// wait for the main thread. Both below SendRequest's default timeout so that
// the client hears a '0' rather than timing out itself.
const std::chrono::milliseconds k_ReadTimeout(2000);
const std::chrono::milliseconds k_DispatchTimeout(2000);
const size_t k_MaxNameLength = 64;
// Connections served at once; more are refused so that a flood of clients
// cannot exhaust threads.
const size_t k_MaxWorkers = 16;
const int k_Backlog = 16;
const char* const k_SocketSuffix = ".sock";
const char* const k_LockSuffix = ".lock";

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

int RemainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > INT_MAX ? INT_MAX : int(left);
}

bool IsPrivateFolder(const struct stat& info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

enum class WaitResult
{
    Ready,
    Timeout,
    Stopped,
    Failed,
};

/// Waits until fd is ready for events, the stop event fires (stopFd >= 0) or
/// the deadline passes.
WaitResult WaitFor(int fd, short events, int stopFd, Clock::time_point deadline)
{
    for (;;)
    {
        pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int count = poll(fds, stopFd >= 0 ? 2 : 1, RemainingMs(deadline));
        if (count < 0)
        {
            if (errno == EINTR)
                continue;
            return WaitResult::Failed;
        }
        if (count == 0)
            return WaitResult::Timeout;
        if (stopFd >= 0 && fds[1].revents != 0)
            return WaitResult::Stopped;
        // Errors and hang-ups count as ready: the next read or write reports them.
        if (fds[0].revents != 0)
            return WaitResult::Ready;
    }
}

enum class ReadResult
{
    Complete,
    EndOfStream,
    Timeout,
    Stopped,
    Failed,
};

const char* Describe(ReadResult result)
{
    switch (result)
    {
    case ReadResult::Complete: return "complete";
    case ReadResult::EndOfStream: return "connection closed early";
    case ReadResult::Timeout: return "timed out";
    case ReadResult::Stopped: return "listener stopping";
    case ReadResult::Failed: return "read error";
    }
    return "?";
}

/// Reads exactly size bytes from a non-blocking socket; got tells how many
/// arrived.
ReadResult ReadFully(int fd, char* data, size_t size, size_t& got, int stopFd,
                     Clock::time_point deadline)
{
    got = 0;
    while (got < size)
    {
        const ssize_t count = recv(fd, data + got, size - got, 0);
        if (count > 0)
        {
            got += size_t(count);
            continue;
        }
        if (count == 0)
            return ReadResult::EndOfStream;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return ReadResult::Failed;
        switch (WaitFor(fd, POLLIN, stopFd, deadline))
        {
        case WaitResult::Ready: break;
        case WaitResult::Timeout: return ReadResult::Timeout;
        case WaitResult::Stopped: return ReadResult::Stopped;
        case WaitResult::Failed: return ReadResult::Failed;
        }
    }
    return ReadResult::Complete;
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
            if (WaitFor(fd, POLLOUT, -1, deadline) != WaitResult::Ready)
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

void Answer(int fd, bool yes)
{
    // The socket's send buffer is empty, so one byte never blocks.
    const char reply = yes ? '1' : '0';
    if (send(fd, &reply, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1)
        LogDebug("Request answer not delivered: " + ErrorText(errno));
}
}

// ---------------------------------------------------------------------------
// Call

bool Application::Listener::Call::Run()
{
    {
        std::lock_guard<std::mutex> lock(dispatch->mutex);
        if (status != Waiting)
            return false;
        status = Running;
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
    {
        std::lock_guard<std::mutex> lock(dispatch->mutex);
        result = handled;
        status = Done;
    }
    dispatch->changed.notify_all();
    return true;
}

// ---------------------------------------------------------------------------
// Listener

Application::Listener::Listener() = default;

Application::Listener::~Listener()
{
    Stop();
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
    const Clock::time_point lockDeadline = Clock::now() + k_ReadTimeout;
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
    if (listen(socketFd.Get(), k_Backlog) != 0 || lstat(socketPath.c_str(), &info) != 0 ||
        !stopEvent.Valid())
    {
        LogWarning("Cannot listen on " + socketPath.GetString() + ": " + ErrorText(errno));
        unlink(socketPath.c_str());
        return false;
    }

    auto dispatch = std::make_shared<Dispatch>();
    try
    {
        m_Thread = std::thread(&Listener::AcceptLoop, this, socketFd.Get(), stopEvent.Get(), dispatch);
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
        std::lock_guard<std::mutex> lock(m_Dispatch->mutex);
        m_Dispatch->stopping = true;
    }
    m_Dispatch->changed.notify_all();
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

void Application::Listener::AcceptLoop(int listenFd, int stopFd,
                                       const std::shared_ptr<Dispatch>& dispatch)
{
    for (;;)
    {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            LogWarning("Request listener failed: " + ErrorText(errno));
            break;
        }
        if (fds[1].revents != 0)
            break;
        ReapWorkers(false);
        if ((fds[0].revents & POLLIN) == 0)
        {
            if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0)
            {
                LogWarning("Request listener socket failed");
                break;
            }
            continue;
        }
        UniqueFd connection(accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!connection.Valid())
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
                continue;
            LogWarning("Cannot accept a request: " + ErrorText(errno));
            // Out of descriptors: back off instead of spinning on the waiting
            // connection, but stay responsive to stop.
            pollfd stop = {stopFd, POLLIN, 0};
            poll(&stop, 1, 100);
            continue;
        }
        if (m_Workers.size() >= k_MaxWorkers)
        {
            LogWarning("Too many requests at once; one refused");
            Answer(connection.Get(), false);
            continue;
        }
        Worker worker;
        worker.finished = std::make_shared<std::atomic<bool>>(false);
        try
        {
            std::shared_ptr<std::atomic<bool>> finished = worker.finished;
            worker.thread = std::thread(
                [this, finished, stopFd, dispatch, fd = std::move(connection)]() mutable {
                    Serve(std::move(fd), stopFd, dispatch);
                    *finished = true;
                });
            m_Workers.push_back(std::move(worker));
        }
        catch (const std::system_error& e)
        {
            LogWarning(String("Cannot serve a request: ") + e.what());
        }
    }
    ReapWorkers(true);
}

void Application::Listener::ReapWorkers(bool all)
{
    for (auto it = m_Workers.begin(); it != m_Workers.end();)
    {
        if (all || *it->finished)
        {
            it->thread.join();
            it = m_Workers.erase(it);
        }
        else
            ++it;
    }
}

void Application::Listener::Serve(UniqueFd connection, int stopFd,
                                  const std::shared_ptr<Dispatch>& dispatch)
{
    const int fd = connection.Get();
    try
    {
        if (!PeerIsSameUser(fd))
        {
            LogWarning("Refused a request from another user");
            Answer(fd, false);
            return;
        }
        const Clock::time_point deadline = Clock::now() + k_ReadTimeout;
        unsigned char header[4];
        size_t got = 0;
        ReadResult read = ReadFully(fd, reinterpret_cast<char*>(header), sizeof(header), got,
                                    stopFd, deadline);
        if (read == ReadResult::Stopped || (read == ReadResult::EndOfStream && got == 0))
            return;  // stopping, or a liveness probe
        if (read != ReadResult::Complete)
        {
            LogWarning(SFormat("Malformed request: %s after %zu header bytes", Describe(read), got));
            Answer(fd, false);
            return;
        }
        const uint32_t length = (uint32_t(header[0]) << 24) | (uint32_t(header[1]) << 16) |
                                (uint32_t(header[2]) << 8) | uint32_t(header[3]);
        if (length == 0 || length > k_MaxRequestSize)
        {
            LogWarning(SFormat("Refused a request of %u bytes (limit %zu)", unsigned(length),
                               size_t(k_MaxRequestSize)));
            Answer(fd, false);
            return;
        }
        std::string body(length, '\0');
        read = ReadFully(fd, &body[0], length, got, stopFd, deadline);
        if (read == ReadResult::Stopped)
            return;
        if (read != ReadResult::Complete)
        {
            LogWarning(SFormat("Malformed request: %s after %zu of %u bytes", Describe(read), got,
                               unsigned(length)));
            Answer(fd, false);
            return;
        }
        // Handlers take the text as a C string as often as not.
        if (body.find('\0') != std::string::npos)
        {
            LogWarning("Refused a request containing a NUL byte: " + Printable(body));
            Answer(fd, false);
            return;
        }
        Answer(fd, ServeRequest(String(std::move(body)), dispatch));
    }
    catch (Exception* e)
    {
        LogWarning("Request failed: " + e->GetText());
        delete e;
        Answer(fd, false);
    }
    catch (const std::exception& e)
    {
        LogWarning(String("Request failed: ") + e.what());
        Answer(fd, false);
    }
    catch (...)
    {
        LogWarning("Request failed");
        Answer(fd, false);
    }
}

bool Application::Listener::ServeRequest(const String& text,
                                         const std::shared_ptr<Dispatch>& dispatch)
{
    const std::string& raw = text.Str();
    const String name(raw.substr(0, raw.find_first_of(" \t\r\n")));
    auto call = std::make_shared<Call>();
    MainThreadInvoker invoker;
    {
        std::lock_guard<std::mutex> lock(m_HandlerMutex);
        auto found = m_Handlers.find(name);
        if (found == m_Handlers.end() || found->second.empty())
        {
            LogWarning("No handler for the request \"" + Printable(name.Str()) + "\"");
            return false;
        }
        call->handler = found->second;
        invoker = m_Invoker;
    }
    call->text = text;
    call->dispatch = dispatch;

    if (invoker)
    {
        try
        {
            invoker(boost::function<void()>([call]() { call->Run(); }));
        }
        catch (...)
        {
            std::lock_guard<std::mutex> lock(dispatch->mutex);
            if (call->status == Call::Waiting)
                call->status = Call::Abandoned;
            LogWarning("Cannot hand the request \"" + Printable(name.Str()) +
                       "\" to the main thread");
            return false;
        }
    }
    else
    {
        std::lock_guard<std::mutex> lock(m_QueueMutex);
        m_Pending.push_back(call);
    }

    std::unique_lock<std::mutex> lock(dispatch->mutex);
    dispatch->changed.wait_until(lock, Clock::now() + k_DispatchTimeout, [&] {
        return call->status == Call::Done || dispatch->stopping;
    });
    if (call->status == Call::Done)
        return call->result;
    if (call->status == Call::Waiting)
        call->status = Call::Abandoned;
    if (!dispatch->stopping)
        LogWarning("The main thread did not take the request \"" + Printable(name.Str()) +
                   "\" in time");
    return false;
}

// ---------------------------------------------------------------------------
// Application: the static side

Path Application::GetRuntimeFolder()
{
    try
    {
        struct stat info;
        Path folder;
        const char* runtime = getenv("XDG_RUNTIME_DIR");
        if (runtime && runtime[0] == '/' && lstat(runtime, &info) == 0 && IsPrivateFolder(info))
            folder = Path(runtime) / Path("dravik");
        else
        {
            const char* temporary = getenv("TMPDIR");
            const String base = (temporary && temporary[0] == '/') ? temporary : "/tmp";
            folder = Path(base) / Path(SFormat("dravik-%u", unsigned(geteuid())));
        }
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        {
            LogWarning("Cannot create the runtime folder " + folder.GetString() + ": " +
                       ErrorText(errno));
            return Path();
        }
        // Someone else's folder, a symlink or open permissions would let
        // other users plant or read sockets.
        if (lstat(folder.c_str(), &info) != 0 || !IsPrivateFolder(info))
        {
            LogWarning("The runtime folder " + folder.GetString() +
                       " is not a private folder of this user; requests disabled");
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
        if (!IsValidProgramName(name))
        {
            LogWarning("Cannot send a request to the invalid program name \"" +
                       Printable(name.Str()) + "\"");
            return false;
        }
        if (text.Length() > UINT32_MAX)
            return false;
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        const Path folder = GetRuntimeFolder();
        if (folder.Empty())
            return false;
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
                return false;
            }
            // A full backlog clears as the listener accepts.
            poll(nullptr, 0, std::min(10, RemainingMs(deadline)));
        }
        if (!PeerIsSameUser(fd.Get()))
        {
            LogWarning("The program listening as " + name + " belongs to another user");
            return false;
        }
        const uint32_t length = uint32_t(text.Length());
        const char header[4] = {char(length >> 24), char(length >> 16), char(length >> 8),
                                char(length)};
        if (!WriteFully(fd.Get(), header, sizeof(header), deadline) ||
            !WriteFully(fd.Get(), text.c_str(), text.Length(), deadline))
            return false;
        char reply = 0;
        size_t got = 0;
        if (ReadFully(fd.Get(), &reply, 1, got, -1, deadline) != ReadResult::Complete)
        {
            LogDebug("No answer to a request from " + name);
            return false;
        }
        return reply == '1';
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
