// Requests between programs, the application object and its small helpers.
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "xolib/app.h"
#include "xolib/core.h"
#include "xolib/log.h"

namespace
{
typedef std::chrono::steady_clock Clock;
const std::chrono::seconds k_WaitLimit(10);

struct ScopedFd
{
    explicit ScopedFd(int fd) : fd(fd) {}
    ~ScopedFd() { close(fd); }  // EBADF for -1 is harmless
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    const int fd;
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

/// Connects, sends bytes (then ends its side when asked) and returns the
/// listener's one-byte answer, or -1 when the connection ends without one.
int RawRequest(const String& name, const std::string& bytes, bool endWriting = false)
{
    ScopedFd client(ConnectRaw(name));
    if (client.fd < 0)
        return -1;
    // A refusal may come (and the listener hang up) before all is sent.
    send(client.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (endWriting)
        shutdown(client.fd, SHUT_WR);
    pollfd p = {client.fd, POLLIN, 0};
    char c;
    return poll(&p, 1, 10000) == 1 && recv(client.fd, &c, 1, 0) == 1 ? c : -1;
}

/// Collects the warning and error lines of the core log while it lives.
class WarningLines
{
public:
    WarningLines()
        : m_Id(Log::s_GlobalLog.AddObserver([this](LogLevel level, const String& text) {
              std::lock_guard<std::mutex> lock(m_Mutex);
              if (level <= LOG_WARNING)
                  m_Lines += std::string(text.c_str()) + "\n";
          }))
    {
    }
    ~WarningLines() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    std::string Get()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Lines;
    }

private:
    std::mutex m_Mutex;
    std::string m_Lines;
    int m_Id;
};

/// Sends from a helper thread while this thread plays main thread and runs
/// the queued requests.
bool SendPumping(Application& app, const String& to, const String& text)
{
    auto answer = std::async(std::launch::async, [to, text] { return Application::SendRequest(Path(to), text); });
    const Clock::time_point deadline = Clock::now() + k_WaitLimit;
    while (answer.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready && Clock::now() < deadline)
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
        setenv("XDG_RUNTIME_DIR", m_Root.c_str(), 1);
        unsetenv("TMPDIR");
        ThreadPool::Start(1);
    }
    void TearDown() override
    {
        ThreadPool::Stop();
        unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(m_Root, ignored);
    }
    /// The pool's one worker stands in for a GUI main loop.
    static void OnMainLoop(const boost::function<void()>& work) { ThreadPool::Post(work); }

    std::string m_Root;
};
}  // namespace

TEST(IpcApplication, CurrentObjectCommandLineAndEnvironment)
{
    {
        auto first = std::make_unique<Application>("First");
        Application second("Second");
        EXPECT_EQ(&second, Application::the_Application);
        first.reset();  // not the current one: must leave the pointer alone
        EXPECT_EQ(&second, Application::the_Application);
    }
    EXPECT_EQ(nullptr, Application::the_Application);

    const char* argv[] = {"prog", "--port", "4000", "--name=x=y", "--flag", "--last", nullptr};
    CommandLine line(6, const_cast<char**>(argv));
    EXPECT_EQ(String("4000"), line.GetOption("port"));
    EXPECT_EQ(String("x=y"), line.GetOption("--name"));
    EXPECT_EQ(String(), line.GetOption("flag"));  // the next word is an option
    EXPECT_TRUE(line.HasOption("flag") && line.HasOption("last"));
    EXPECT_FALSE(line.HasOption("4000"));  // a value is not an option
    EXPECT_EQ(String(), CommandLine(xolib::vector<String>()).GetProgram());

    setenv("XOLIB_IPC_LIVE_ENV", "1", 1);
    auto names = Platform::GetLiveEnv();
    EXPECT_NE(names.end(), std::find(names.begin(), names.end(), String("XOLIB_IPC_LIVE_ENV")));
    unsetenv("XOLIB_IPC_LIVE_ENV");
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
        WarningLines warnings;
        ASSERT_EQ(0, chmod(folder.c_str(), 0755));
        EXPECT_TRUE(Application::GetRuntimeFolder().Empty());
        Application app("Open");
        EXPECT_FALSE(app.StartListening("Open"));
        EXPECT_FALSE(Application::SendRequest(Path("Open"), "PING"));
        EXPECT_FALSE(warnings.Get().empty());
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
        WarningLines warnings;
        EXPECT_FALSE(Application::SendRequest(Path("Queue"), "ECHOX prefix is not a name"));
        EXPECT_FALSE(Application::SendRequest(Path("Queue"), "echo case matters"));
        EXPECT_NE(std::string::npos, warnings.Get().find("ECHOX"));
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
        Application app("Invoked");
        app.SetMainThreadInvoker(&OnMainLoop);
        app.AddPipeHandler("ECHO", echo.Handler());
        ASSERT_TRUE(app.StartListening("Invoked"));
        EXPECT_TRUE(Application::SendRequest(Path("Invoked"), "ECHO via invoker"));
        std::promise<std::thread::id> loopThread;
        OnMainLoop([&loopThread] { loopThread.set_value(std::this_thread::get_id()); });
        ASSERT_EQ(1u, echo.Count());
        EXPECT_EQ(loopThread.get_future().get(), echo.threads[0]);
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
    HandlerLog echo;
    Application app("Robust");
    app.SetMainThreadInvoker(&OnMainLoop);
    app.AddPipeHandler("ECHO", echo.Handler());
    ASSERT_TRUE(app.StartListening("Robust"));

    // Clients that connect and then hang, with nothing or half a header.
    ScopedFd silent(ConnectRaw("Robust"));
    ScopedFd halfHeader(ConnectRaw("Robust"));
    ASSERT_GE(silent.fd, 0);
    ASSERT_EQ(2, send(halfHeader.fd, "\0\0", 2, MSG_NOSIGNAL));
    EXPECT_TRUE(Application::SendRequest(Path("Robust"), "ECHO past the hanging clients"));

    const size_t max = Application::k_MaxRequestSize;
    EXPECT_EQ('0', RawRequest("Robust", Header(0xffffffffu)));  // absurd length
    EXPECT_EQ('0', RawRequest("Robust", Header(uint32_t(max + 1)) + "ECHO " + std::string(max - 4, 'z')));
    EXPECT_EQ('0', RawRequest("Robust", Header(0)));
    EXPECT_EQ('0', RawRequest("Robust", Header(7) + std::string("ECHO\0x!", 7)));  // embedded NUL
    EXPECT_EQ('0', RawRequest("Robust", Header(10) + "ECHO", true));  // fewer bytes than announced

    EXPECT_FALSE(Application::SendRequest(Path("Robust"), String(max + 1, 'x')));
    EXPECT_TRUE(Application::SendRequest(Path("Robust"), String("ECHO " + std::string(max - 5, 'y'))));
    EXPECT_TRUE(Application::SendRequest(Path("Robust"), "ECHO still answering"));
    ASSERT_EQ(3u, echo.Count());
    EXPECT_EQ(max, echo.texts[1].size());
}

TEST_F(IpcTest, SocketOwnershipAndLifecycle)
{
    HandlerLog first, second;
    Application app1("One"), app2("Two");
    app1.SetMainThreadInvoker(&OnMainLoop);
    app2.SetMainThreadInvoker(&OnMainLoop);
    app1.AddPipeHandler("WHO", first.Handler());
    app2.AddPipeHandler("WHO", second.Handler());

    for (const char* bad : {"", "../escape", "a/b", "a b", "tab\t", "ümlaut"})
    {
        EXPECT_FALSE(app1.StartListening(bad)) << bad;
        EXPECT_FALSE(Application::SendRequest(Path(bad), "WHO")) << bad;
    }
    EXPECT_FALSE(app1.StartListening(String(65, 'a')));
    EXPECT_TRUE(app1.StartListening(String(64, 'a')));

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
        WarningLines warnings;
        EXPECT_TRUE(Application::IsListeningProgram("Alpha"));
        app1.StopListening();  // waits for every connection to be served
        EXPECT_EQ("", warnings.Get());
    }
    EXPECT_FALSE(std::filesystem::exists(SocketFile("Alpha")));
    EXPECT_FALSE(Application::SendRequest(Path("Alpha"), "WHO"));

    // A socket left behind by a dead program.
    {
        const sockaddr_un address = AddressOf("Stale");
        ScopedFd dead(socket(AF_UNIX, SOCK_STREAM, 0));
        ASSERT_EQ(0, bind(dead.fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)));
    }
    EXPECT_TRUE(app1.StartListening("Stale"));
    EXPECT_TRUE(Application::SendRequest(Path("Stale"), "WHO"));
    EXPECT_EQ(2u, first.Count());
    app1.StopListening();

    // Someone replaced our socket file: stopping must leave theirs alone.
    ASSERT_TRUE(app1.StartListening("Beta"));
    ASSERT_EQ(0, unlink(SocketFile("Beta").c_str()));
    ASSERT_TRUE(app2.StartListening("Beta"));
    app1.StopListening();
    EXPECT_TRUE(Application::SendRequest(Path("Beta"), "WHO"));
    EXPECT_EQ(1u, second.Count());
}

TEST_F(IpcTest, TwoProcesses)
{
    // The peer reports each PING on its output with the thread it ran on.
    const std::string name = "IpcPeer";
    std::unique_ptr<FILE, int (*)(FILE*)> peer(popen((std::string("exec ") + XOLIB_IPC_PEER + " " + name).c_str(), "r"),
                                               &pclose);
    ASSERT_TRUE(peer);
    auto readLine = [&] {
        char line[256] = "";
        if (!fgets(line, sizeof line, peer.get()))
            return std::string("(end of output)");
        return std::string(line, strcspn(line, "\n"));
    };
    // The peer's first line says whether it listens.
    ASSERT_EQ("listening", readLine());

    EXPECT_TRUE(Application::SendRequest(Path(name), "PING one"));
    EXPECT_EQ("main PING one", readLine());
    EXPECT_FALSE(Application::SendRequest(Path(name), String(Application::k_MaxRequestSize + 1, 'z')));
    EXPECT_EQ('0', RawRequest(name, "\x7f\x01", true));
    EXPECT_FALSE(Application::SendRequest(Path(name), "NOSUCH request"));
    EXPECT_TRUE(Application::SendRequest(Path(name), "PING two"));
    EXPECT_EQ("main PING two", readLine());

    EXPECT_TRUE(Application::SendRequest(Path(name), "QUIT"));
    const int status = pclose(peer.release());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(Application::IsListeningProgram(name));
}
