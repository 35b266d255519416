// Requests between programs, the application object and its small helpers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "xolib/app.h"
#include "xolib/log.h"

namespace
{
typedef std::chrono::steady_clock Clock;
const std::chrono::seconds k_WaitLimit(10);

class ScopedFd
{
public:
    explicit ScopedFd(int fd) : m_Fd(fd) {}
    ~ScopedFd() { if (m_Fd >= 0) close(m_Fd); }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return m_Fd; }

private:
    int m_Fd;
};

std::string SocketFile(const String& name)
{
    return std::string(Application::GetRuntimeFolder().c_str()) + "/" + name.c_str() + ".sock";
}

sockaddr_un AddressOf(const String& name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, SocketFile(name).c_str(), sizeof(address.sun_path) - 1);
    return address;
}

int ConnectRaw(const String& name)
{
    const sockaddr_un address = AddressOf(name);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
    {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Header(uint32_t length)
{
    return std::string{char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
}

void SendRaw(int fd, const std::string& bytes)
{
    ASSERT_EQ(ssize_t(bytes.size()), send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL));
}

/// Waits (bounded) until fd is readable; false on timeout.
bool WaitReadable(int fd, Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p = {fd, POLLIN, 0};
    return left.count() > 0 && poll(&p, 1, int(left.count())) == 1;
}

/// The listener's one-byte answer, or -1 when the connection ends without one.
int ReadAnswer(int fd)
{
    char c;
    return WaitReadable(fd, Clock::now() + k_WaitLimit) && recv(fd, &c, 1, 0) == 1 ? c : -1;
}

/// Collects the warning lines of the core log while it lives.
class WarningCounter
{
public:
    WarningCounter()
        : m_Id(Log::s_GlobalLog.AddObserver([this](LogLevel level, const String& text) {
              std::lock_guard<std::mutex> lock(m_Mutex);
              if (level == LOG_WARNING || level <= LOG_ERROR)
                  m_Lines += std::string(text.c_str()) + "\n";
          }))
    {
    }
    ~WarningCounter() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    std::string Lines() const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Lines;
    }

private:
    mutable std::mutex m_Mutex;
    std::string m_Lines;
    int m_Id;
};

/// A stand-in for a GUI main loop on its own thread.
class MainLoop
{
public:
    ~MainLoop()
    {
        Post(boost::function<void()>());  // an empty work item ends the loop
        m_Thread.join();
    }
    void Post(const boost::function<void()>& work)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Work.push_back(work);
        m_Wake.notify_all();
    }
    MainThreadInvoker Invoker()
    {
        return [this](const boost::function<void()>& work) { Post(work); };
    }
    std::thread::id Id() const { return m_Thread.get_id(); }

private:
    void Run()
    {
        for (;;)
        {
            std::unique_lock<std::mutex> lock(m_Mutex);
            m_Wake.wait(lock, [this] { return !m_Work.empty(); });
            boost::function<void()> work = m_Work.front();
            m_Work.pop_front();
            lock.unlock();
            if (work.empty())
                return;
            work();
        }
    }

    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::deque<boost::function<void()>> m_Work;
    std::thread m_Thread{[this] { Run(); }};
};

/// Sends from a helper thread while this thread plays main thread and runs
/// the queued requests.
bool SendPumping(Application& app, const String& to, const String& text)
{
    auto answer = std::async(std::launch::async,
                             [to, text] { return Application::SendRequest(Path(to), text); });
    const Clock::time_point deadline = Clock::now() + k_WaitLimit;
    while (answer.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready &&
           Clock::now() < deadline)
        app.RunPendingRequests();
    return answer.get();
}

/// Records what a handler saw.
struct HandlerLog
{
    std::mutex mutex;
    std::vector<std::string> texts;
    std::vector<std::thread::id> threads;

    PipeHandler Handler(bool answer = true)
    {
        return [this, answer](const String& text) {
            std::lock_guard<std::mutex> lock(mutex);
            texts.push_back(text.c_str());
            threads.push_back(std::this_thread::get_id());
            return answer;
        };
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return texts.size();
    }
};

/// Every test gets its own runtime folder, so no real user state is touched.
class IpcTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/xolib-ipc-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_Root = pattern;
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"})
            if (const char* value = getenv(name))
                m_Saved.emplace_back(name, value);
        setenv("XDG_RUNTIME_DIR", m_Root.c_str(), 1);
        unsetenv("TMPDIR");
    }
    void TearDown() override
    {
        unsetenv("TMPDIR");
        unsetenv("XDG_RUNTIME_DIR");
        for (const auto& saved : m_Saved)
            setenv(saved.first.c_str(), saved.second.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(m_Root, ignored);
    }

    std::string m_Root;
    std::vector<std::pair<std::string, std::string>> m_Saved;
};

/// A started child process; killed and reaped if the test leaves early.
class ChildProcess
{
public:
    ChildProcess(const std::string& program, const std::string& argument)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_Pid = fork();
        if (m_Pid == 0)
        {
            dup2(fds[1], STDOUT_FILENO);
            execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        m_Output = fds[0];
    }
    ~ChildProcess()
    {
        if (m_Pid > 0)
        {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
        if (m_Output >= 0)
            close(m_Output);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_Pid > 0 && m_Output >= 0; }

    /// The next line of the child's output; what arrived so far on timeout.
    std::string ReadLine()
    {
        const Clock::time_point deadline = Clock::now() + k_WaitLimit;
        std::string line;
        char c;
        while (WaitReadable(m_Output, deadline) && read(m_Output, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    /// The exit status once the child has ended within the time limit, else -1.
    int WaitForExit()
    {
        const Clock::time_point deadline = Clock::now() + k_WaitLimit;
        // The child's end closes its output; read to the end, then reap.
        char c;
        while (WaitReadable(m_Output, deadline) && read(m_Output, &c, 1) == 1)
        {
        }
        int status = 0;
        for (; Clock::now() < deadline; poll(nullptr, 0, 5))
            if (waitpid(m_Pid, &status, WNOHANG) == m_Pid)
            {
                m_Pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        return -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Output = -1;
};
}

TEST(IpcApplication, ObjectsCommandLineAndPlatform)
{
    {
        auto first = std::make_unique<Application>("First");
        EXPECT_EQ(first.get(), Application::the_Application);
        EXPECT_EQ(String("First"), first->GetName());
        Application second("Second");
        EXPECT_EQ(&second, Application::the_Application);
        first.reset();  // not the current one: must leave the pointer alone
        EXPECT_EQ(&second, Application::the_Application);
        second.SetLogFolder(Path("/var/log/x"));
        EXPECT_EQ(String("/var/log/x"), second.GetLogFolder().GetString());

        Executable executable(&second);
        EXPECT_EQ(&second, executable.GetApplication());
        EXPECT_FALSE(executable.IsStarted());
        executable.SetStarted(true);
        EXPECT_TRUE(executable.IsStarted());
        EXPECT_EQ(0, executable.Signal(0));
        EXPECT_EQ(0, executable.Signal(0));
        EXPECT_EQ(2, executable.GetSignalCount());
    }
    EXPECT_EQ(nullptr, Application::the_Application);

    const char* argv[] = {"prog", "--port", "4000", "--name=x=y", "--flag", "--last", nullptr};
    CommandLine line(6, const_cast<char**>(argv));
    EXPECT_EQ(String("prog"), line.GetProgram());
    EXPECT_EQ(6u, line.GetArguments().size());
    EXPECT_EQ(String("4000"), line.GetOption("port"));
    EXPECT_EQ(String("x=y"), line.GetOption("--name"));
    EXPECT_EQ(String(), line.GetOption("flag"));  // the next word is an option
    EXPECT_TRUE(line.HasOption("flag"));
    EXPECT_TRUE(line.HasOption("name"));
    EXPECT_TRUE(line.HasOption("last"));
    EXPECT_EQ(String(), line.GetOption("last"));
    EXPECT_FALSE(line.HasOption("missing"));
    EXPECT_FALSE(line.HasOption("4000"));  // a value is not an option
    EXPECT_EQ(String(), CommandLine(xolib::vector<String>()).GetProgram());

    EXPECT_EQ(int(getpid()), Platform::GetProcessId());
    EXPECT_FALSE(Platform::GetCurrentUserName().Empty());
    setenv("XOLIB_IPC_LIVE_ENV", "1", 1);
    auto names = Platform::GetLiveEnv();
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), String("XOLIB_IPC_LIVE_ENV")));
    unsetenv("XOLIB_IPC_LIVE_ENV");
    names = Platform::GetLiveEnv();
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), String("XOLIB_IPC_LIVE_ENV")));
}

TEST_F(IpcTest, RuntimeFolderMustBePrivate)
{
    const std::string folder = m_Root + "/dravik";
    EXPECT_EQ(String(folder), Application::GetRuntimeFolder().GetString());
    struct stat info;
    ASSERT_EQ(0, lstat(folder.c_str(), &info));
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(0700u, info.st_mode & 0777);

    {
        WarningCounter warnings;
        ASSERT_EQ(0, chmod(folder.c_str(), 0755));
        EXPECT_TRUE(Application::GetRuntimeFolder().Empty());
        Application app("Open");
        EXPECT_FALSE(app.StartListening("Open"));
        EXPECT_FALSE(Application::SendRequest(Path("Open"), "PING"));
        EXPECT_FALSE(warnings.Lines().empty());
    }

    // A symlink to a private folder is still refused: it could be swapped.
    ASSERT_EQ(0, rmdir(folder.c_str()));
    ASSERT_EQ(0, mkdir((m_Root + "/elsewhere").c_str(), 0700));
    ASSERT_EQ(0, symlink((m_Root + "/elsewhere").c_str(), folder.c_str()));
    EXPECT_TRUE(Application::GetRuntimeFolder().Empty());

    // An unsafe XDG_RUNTIME_DIR itself is passed over for the temporary folder.
    const std::string temporary = m_Root + "/tmp";
    ASSERT_EQ(0, mkdir(temporary.c_str(), 0700));
    setenv("TMPDIR", temporary.c_str(), 1);
    ASSERT_EQ(0, chmod(m_Root.c_str(), 0755));
    EXPECT_EQ(String(temporary + "/dravik-" + std::to_string(geteuid())),
              Application::GetRuntimeFolder().GetString());
    ASSERT_EQ(0, chmod(m_Root.c_str(), 0700));
}

TEST_F(IpcTest, HandlersRunOnMainThreadFromQueue)
{
    HandlerLog echo;
    Application app("Queue");
    app.AddPipeHandler("ECHO", echo.Handler(true));
    app.AddPipeHandler("FAIL", echo.Handler(false));
    ASSERT_TRUE(app.StartListening("Queue"));
    EXPECT_TRUE(app.IsListening());
    EXPECT_TRUE(Application::IsListeningProgram("Queue"));

    EXPECT_TRUE(SendPumping(app, "Queue", "ECHO hello  there"));
    EXPECT_TRUE(SendPumping(app, "Queue", "ECHO"));
    EXPECT_FALSE(SendPumping(app, "Queue", "FAIL now"));
    ASSERT_EQ(3u, echo.Count());
    EXPECT_EQ("ECHO hello  there", echo.texts[0]);
    EXPECT_EQ("ECHO", echo.texts[1]);
    for (std::thread::id id : echo.threads)
        EXPECT_EQ(std::this_thread::get_id(), id);

    {
        WarningCounter warnings;
        EXPECT_FALSE(Application::SendRequest(Path("Queue"), "ECHOX prefix is not a name"));
        EXPECT_FALSE(Application::SendRequest(Path("Queue"), "echo case matters"));
        EXPECT_NE(std::string::npos, warnings.Lines().find("ECHOX"));
    }
    app.RemovePipeHandler("ECHO");
    EXPECT_FALSE(SendPumping(app, "Queue", "ECHO gone"));
    EXPECT_EQ(3u, echo.Count());
    EXPECT_EQ(0, app.RunPendingRequests());
}

TEST_F(IpcTest, InvokerCarriesHandlersToMainThread)
{
    HandlerLog echo;
    {
        MainLoop loop;
        Application app("Invoked");
        app.SetMainThreadInvoker(loop.Invoker());
        app.AddPipeHandler("ECHO", echo.Handler());
        ASSERT_TRUE(app.StartListening("Invoked"));
        EXPECT_TRUE(Application::SendRequest(Path("Invoked"), "ECHO via invoker"));
        ASSERT_EQ(1u, echo.Count());
        EXPECT_EQ("ECHO via invoker", echo.texts[0]);
        EXPECT_EQ(loop.Id(), echo.threads[0]);
        EXPECT_NE(std::this_thread::get_id(), echo.threads[0]);
    }

    // A main thread that takes the work too late: the client hears no, and
    // the late run neither calls the handler nor touches the dead listener.
    std::mutex heldMutex;
    std::vector<boost::function<void()>> held;
    {
        Application app("Late");
        app.SetMainThreadInvoker([&](const boost::function<void()>& work) {
            std::lock_guard<std::mutex> lock(heldMutex);
            held.push_back(work);
        });
        app.AddPipeHandler("ECHO", echo.Handler());
        ASSERT_TRUE(app.StartListening("Late"));
        EXPECT_FALSE(Application::SendRequest(Path("Late"), "ECHO too late"));
    }
    std::lock_guard<std::mutex> lock(heldMutex);
    ASSERT_EQ(1u, held.size());
    held[0]();
    EXPECT_EQ(1u, echo.Count());
}

TEST_F(IpcTest, BadClientsAreRefusedAndDoNotBlockOthers)
{
    MainLoop loop;
    HandlerLog echo;
    Application app("Robust");
    app.SetMainThreadInvoker(loop.Invoker());
    app.AddPipeHandler("ECHO", echo.Handler());
    ASSERT_TRUE(app.StartListening("Robust"));

    // Clients that connect and then hang, with nothing or half a header.
    ScopedFd silent(ConnectRaw("Robust"));
    ScopedFd halfHeader(ConnectRaw("Robust"));
    ASSERT_GE(silent.Get(), 0);
    ASSERT_GE(halfHeader.Get(), 0);
    SendRaw(halfHeader.Get(), std::string("\0\0", 2));
    EXPECT_TRUE(Application::SendRequest(Path("Robust"), "ECHO past the hanging clients"));

    const size_t max = Application::k_MaxRequestSize;
    const std::vector<std::string> refused = {
        Header(0xffffffffu),                      // absurd length
        Header(uint32_t(max + 1)),                // one byte too many
        Header(0),                                // empty request
        Header(7) + std::string("ECHO\0x!", 7),   // embedded NUL
    };
    for (const std::string& bytes : refused)
    {
        ScopedFd client(ConnectRaw("Robust"));
        ASSERT_GE(client.Get(), 0);
        SendRaw(client.Get(), bytes);
        EXPECT_EQ('0', ReadAnswer(client.Get()));
    }
    {
        // Fewer bytes than announced, then the client gives up.
        ScopedFd client(ConnectRaw("Robust"));
        SendRaw(client.Get(), Header(10) + "ECHO");
        shutdown(client.Get(), SHUT_WR);
        EXPECT_EQ('0', ReadAnswer(client.Get()));
    }

    EXPECT_FALSE(Application::SendRequest(Path("Robust"), String(max + 1, 'x')));
    std::string largest = "ECHO " + std::string(max - 5, 'y');
    EXPECT_TRUE(Application::SendRequest(Path("Robust"), String(largest)));
    EXPECT_TRUE(Application::SendRequest(Path("Robust"), "ECHO still answering"));
    ASSERT_EQ(3u, echo.Count());
    EXPECT_EQ(max, echo.texts[1].size());
}

TEST_F(IpcTest, SocketOwnershipAndLifecycle)
{
    MainLoop loop;
    HandlerLog first, second;
    Application app1("One");
    Application app2("Two");
    app1.SetMainThreadInvoker(loop.Invoker());
    app2.SetMainThreadInvoker(loop.Invoker());
    app1.AddPipeHandler("WHO", first.Handler());
    app2.AddPipeHandler("WHO", second.Handler());

    for (const char* bad : {"", "../escape", "a/b", "a b", "tab\t", "ümlaut"})
    {
        EXPECT_FALSE(app1.StartListening(bad)) << bad;
        EXPECT_FALSE(Application::IsListeningProgram(bad)) << bad;
        EXPECT_FALSE(Application::SendRequest(Path(bad), "WHO")) << bad;
    }
    EXPECT_FALSE(app1.StartListening(String(65, 'a')));
    EXPECT_TRUE(app1.StartListening(String(64, 'a')));
    EXPECT_FALSE(Application::IsListeningProgram("Alpha"));

    // A live socket is never taken over; moving to a new name drops the old.
    ASSERT_TRUE(app1.StartListening("Alpha"));
    EXPECT_FALSE(Application::IsListeningProgram(String(64, 'a')));
    EXPECT_FALSE(app2.StartListening("Alpha"));
    EXPECT_FALSE(app2.IsListening());
    EXPECT_TRUE(Application::SendRequest(Path("Alpha"), "WHO"));
    EXPECT_EQ(1u, first.Count());
    EXPECT_EQ(0u, second.Count());

    // Probes are quiet, and stopping removes the socket.
    {
        WarningCounter warnings;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(Application::IsListeningProgram("Alpha"));
        app1.StopListening();  // waits for every connection to be served
        EXPECT_EQ("", warnings.Lines());
    }
    EXPECT_FALSE(app1.IsListening());
    EXPECT_FALSE(std::filesystem::exists(SocketFile("Alpha")));
    EXPECT_FALSE(Application::IsListeningProgram("Alpha"));
    EXPECT_FALSE(Application::SendRequest(Path("Alpha"), "WHO"));

    // A socket left behind by a dead program, and a stray plain file.
    {
        const sockaddr_un address = AddressOf("Stale");
        ScopedFd dead(socket(AF_UNIX, SOCK_STREAM, 0));
        ASSERT_EQ(0, bind(dead.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)));
    }
    ASSERT_TRUE(std::filesystem::exists(SocketFile("Stale")));
    EXPECT_TRUE(app1.StartListening("Stale"));
    EXPECT_TRUE(Application::SendRequest(Path("Stale"), "WHO"));
    {
        ScopedFd plain(open(SocketFile("Plain").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
        ASSERT_GE(plain.Get(), 0);
    }
    EXPECT_TRUE(app2.StartListening("Plain"));
    EXPECT_TRUE(Application::SendRequest(Path("Plain"), "WHO"));
    EXPECT_EQ(2u, first.Count());
    EXPECT_EQ(1u, second.Count());
    app1.StopListening();
    app2.StopListening();

    // Someone replaced our socket file: stopping must leave theirs alone.
    ASSERT_TRUE(app1.StartListening("Beta"));
    ASSERT_EQ(0, unlink(SocketFile("Beta").c_str()));
    ASSERT_TRUE(app2.StartListening("Beta"));
    app1.StopListening();
    EXPECT_TRUE(Application::IsListeningProgram("Beta"));
    EXPECT_TRUE(Application::SendRequest(Path("Beta"), "WHO"));
    EXPECT_EQ(2u, second.Count());
}

TEST_F(IpcTest, TwoProcesses)
{
    const std::string name = "IpcPeer";
    ChildProcess peer(XOLIB_IPC_PEER, name);
    ASSERT_TRUE(peer.Started());
    const Clock::time_point deadline = Clock::now() + k_WaitLimit;
    while (!Application::IsListeningProgram(name) && Clock::now() < deadline)
        poll(nullptr, 0, 10);
    ASSERT_TRUE(Application::IsListeningProgram(name));

    EXPECT_TRUE(Application::SendRequest(Path(name), "PING one"));
    EXPECT_EQ("main PING one", peer.ReadLine());

    EXPECT_FALSE(Application::SendRequest(Path(name),
                                          String(Application::k_MaxRequestSize + 1, 'z')));
    {
        ScopedFd garbage(ConnectRaw(name));
        ASSERT_GE(garbage.Get(), 0);
        SendRaw(garbage.Get(), "\x7f\x01");
        shutdown(garbage.Get(), SHUT_WR);
        EXPECT_EQ('0', ReadAnswer(garbage.Get()));
    }
    EXPECT_FALSE(Application::SendRequest(Path(name), "NOSUCH request"));

    EXPECT_TRUE(Application::SendRequest(Path(name), "PING two"));
    EXPECT_EQ("main PING two", peer.ReadLine());

    EXPECT_TRUE(Application::SendRequest(Path(name), "QUIT"));
    EXPECT_EQ(0, peer.WaitForExit());
    EXPECT_FALSE(Application::IsListeningProgram(name));
}
