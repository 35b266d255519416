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
#include <functional>
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

/// A socket connected to the program's socket file, or bound there; -1 on failure.
int RawSocket(const String& name, bool bindIt = false)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, SocketFile(name).c_str(), sizeof(address.sun_path) - 1);
    const sockaddr* raw = reinterpret_cast<const sockaddr*>(&address);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && (bindIt ? bind(fd, raw, sizeof(address)) : connect(fd, raw, sizeof(address))) != 0)
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

/// The listener's one-byte answer on fd; -1 when the connection ends
/// without one, -2 when nothing comes in time.
int AnswerOn(int fd)
{
    pollfd p = {fd, POLLIN, 0};
    char c;
    if (poll(&p, 1, 10000) != 1)
        return -2;
    return recv(fd, &c, 1, 0) == 1 ? c : -1;
}

/// Connects, sends bytes (then ends its side when asked) and returns the answer.
int RawRequest(const String& name, const std::string& bytes, bool endWriting = false)
{
    ScopedFd client(RawSocket(name));
    if (client.fd < 0)
        return -1;
    // A refusal may come (and the listener hang up) before all is sent.
    send(client.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (endWriting)
        shutdown(client.fd, SHUT_WR);
    return AnswerOn(client.fd);
}

/// Polls the condition until it holds or the wait limit passes.
bool WaitFor(const std::function<bool()>& condition)
{
    for (const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10); !condition(); poll(nullptr, 0, 2))
        if (Clock::now() >= deadline)
            return false;
    return true;
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

/// Collects the warning and error lines of the core log while it lives.
struct WarningLines : HandlerLog
{
    WarningLines()
        : m_Id(Log::s_GlobalLog.AddObserver([record = Handler()](LogLevel level, const String& text) {
              if (level <= LOG_WARNING)
                  record(text);
          }))
    {
    }
    ~WarningLines() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    std::string Get()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::string lines;
        for (const std::string& text : texts)
            lines += text + "\n";
        return lines;
    }
    const int m_Id;
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

// The runtime folder must be this user's alone; one that cannot be had turns
// requests off, and is reported once.
TEST_F(IpcTest, RuntimeFolderMustBePrivate)
{
    const std::string folder = m_Root + "/dravik";
    EXPECT_EQ(String(folder), Application::GetRuntimeFolder().GetString());
    struct stat info;
    ASSERT_EQ(0, lstat(folder.c_str(), &info));
    EXPECT_EQ(S_IFDIR | 0700u, info.st_mode & (S_IFMT | 0777));
    ASSERT_EQ(0, chmod(folder.c_str(), 0755));
    EXPECT_TRUE(Application::GetRuntimeFolder().Empty());
    // A symlink to a private folder is still refused: it could be swapped.
    ASSERT_EQ(0, rmdir(folder.c_str()));
    ASSERT_EQ(0, mkdir((m_Root + "/elsewhere").c_str(), 0700));
    ASSERT_EQ(0, symlink((m_Root + "/elsewhere").c_str(), folder.c_str()));
    EXPECT_TRUE(Application::GetRuntimeFolder().Empty());
    ASSERT_EQ(0, unlink(folder.c_str()));

    // Others may look into XDG_RUNTIME_DIR, as long as they cannot write to it.
    ASSERT_EQ(0, chmod(m_Root.c_str(), 0750));
    EXPECT_EQ(String(folder), Application::GetRuntimeFolder().GetString());
    // One the group can write to is passed over for the temporary folder...
    const std::string temporary = m_Root + "/tmp";
    ASSERT_EQ(0, mkdir(temporary.c_str(), 0700));
    setenv("TMPDIR", temporary.c_str(), 1);
    ASSERT_EQ(0, chmod(m_Root.c_str(), 0770));
    const std::string fallback = temporary + "/dravik-" + std::to_string(geteuid());
    EXPECT_EQ(String(fallback), Application::GetRuntimeFolder().GetString());

    // ...where another local user was first. Without root to hand the folder
    // over, open permissions take the same path.
    const bool root = geteuid() == 0;
    ASSERT_EQ(0, root ? chown(fallback.c_str(), 4242, 4242) : chmod(fallback.c_str(), 0777));
    WarningLines warnings;
    Application app("Shut");
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        EXPECT_TRUE(Application::GetRuntimeFolder().Empty());
        EXPECT_FALSE(Application::SendRequest(Path("Anyone"), "PING"));
        EXPECT_FALSE(app.StartListening("Shut"));
    }
    const std::string lines = warnings.Get();
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), '\n')) << lines;
    for (const std::string& part : {fallback + " ", std::string(root ? "uid 4242" : "open to other users"),
                                    std::string("Requests between programs are off"), std::string("XDG_RUNTIME_DIR")})
        EXPECT_NE(std::string::npos, lines.find(part)) << part << " in " << lines;
}

// Handlers run on the main thread: the one that runs the pending requests,
// or the loop an invoker feeds. An accepted request runs however late that
// thread takes it, as long as the program listens.
TEST_F(IpcTest, HandlersRunOnTheMainThreadHoweverLate)
{
    HandlerLog echo;
    std::mutex heldMutex;
    std::vector<boost::function<void()>> held;
    auto heldCount = [&] {
        std::lock_guard<std::mutex> lock(heldMutex);
        return held.size();
    };
    auto app = std::make_unique<Application>("Queue");
    app->AddPipeHandler("ECHO", echo.Handler(true));
    app->AddPipeHandler("FAIL", echo.Handler(false));
    ASSERT_TRUE(app->StartListening("Queue"));

    // Without an invoker, a request waits for a thread to run the pending ones.
    auto answer = std::async(std::launch::async,
                             [] { return Application::SendRequest(Path("Queue"), "ECHO as  sent"); });
    EXPECT_TRUE(WaitFor([&] { return app->RunPendingRequests() == 1; }));
    EXPECT_TRUE(answer.get());
    // With one, requests run on the loop it feeds; the handler's answer is the client's.
    app->SetMainThreadInvoker(&OnMainLoop);
    EXPECT_TRUE(Application::SendRequest(Path("Queue"), "ECHO via invoker"));
    EXPECT_FALSE(Application::SendRequest(Path("Queue"), "FAIL now"));
    std::promise<std::thread::id> loopThread;
    OnMainLoop([&loopThread] { loopThread.set_value(std::this_thread::get_id()); });
    const std::thread::id loop = loopThread.get_future().get();
    ASSERT_EQ(3u, echo.Count());
    EXPECT_EQ(std::vector<std::thread::id>({std::this_thread::get_id(), loop, loop}), echo.threads);
    {
        WarningLines warnings;
        EXPECT_FALSE(Application::SendRequest(Path("Queue"), "ECHOX prefix is not a name"));
        EXPECT_FALSE(Application::SendRequest(Path("Queue"), "echo case matters"));
        EXPECT_NE(std::string::npos, warnings.Get().find("ECHOX"));
    }
    app->RemovePipeHandler("ECHO");
    EXPECT_FALSE(Application::SendRequest(Path("Queue"), "ECHO gone"));
    EXPECT_EQ(3u, echo.Count());
    app->AddPipeHandler("ECHO", echo.Handler());

    // A main thread that takes the work long after the client stopped waiting.
    app->SetMainThreadInvoker([&](const boost::function<void()>& work) {
        std::lock_guard<std::mutex> lock(heldMutex);
        held.push_back(work);
    });
    Application::PostRequest(Path("Queue"), "ECHO posted");
    ASSERT_TRUE(WaitFor([&] { return heldCount() == 1; }));
    // The client hears that its request is queued rather than refused.
    EXPECT_EQ('Q', RawRequest("Queue", Header(8) + "ECHO raw"));
    ASSERT_EQ(2u, heldCount());
    EXPECT_EQ(3u, echo.Count());
    held[0]();
    held[1]();
    held[0]();  // runs once only
    EXPECT_EQ(std::vector<std::string>({"ECHO as  sent", "ECHO via invoker", "FAIL now", "ECHO posted", "ECHO raw"}),
              echo.texts);

    // Held work left when the application ends never runs.
    Application::PostRequest(Path("Queue"), "ECHO after the end");
    ASSERT_TRUE(WaitFor([&] { return heldCount() == 3; }));
    app.reset();
    held[2]();
    EXPECT_EQ(5u, echo.Count());
}

TEST_F(IpcTest, PostedRequestsAreBounded)
{
    // A receiver that never accepts keeps the sending thread on one request,
    // so posts pile up; beyond the bounds they are refused, not kept. One
    // request may be sent and one on its way besides the queue.
    auto stuck = std::make_unique<ScopedFd>(RawSocket("Stuck", true));
    ASSERT_EQ(0, listen(stuck->fd, 0));
    const size_t bigSize = 60 * 1024;
    size_t big = 0, small = 0;
    for (int i = 0; i < 200; ++i)
        big += Application::PostRequest(Path("Stuck"), "ECHO " + std::string(bigSize, 'b'));
    for (int i = 0; i < 1000; ++i)
        small += Application::PostRequest(Path("Stuck"), "ECHO " + std::to_string(i));
    EXPECT_GT(big, 0u);
    EXPECT_LE(big, Application::k_MaxPostedBytes / bigSize + 2);
    EXPECT_GT(small, 0u);
    EXPECT_LE(big + small, Application::k_MaxPostedRequests + 2);
    EXPECT_FALSE(Application::PostRequest(Path("Stuck"), String(Application::k_MaxRequestSize + 1, 'x')));
    EXPECT_FALSE(Application::PostRequest(Path("no/such"), "ECHO"));

    stuck.reset();  // the rest fail fast now
    // An application that ends sends (or fails) what is queued first.
    Application("Drain").StopListening();
    EXPECT_TRUE(Application::PostRequest(Path("Stuck"), "ECHO again"));
}

TEST_F(IpcTest, BadIdleAndFloodingClientsDoNotBlockOthers)
{
    HandlerLog echo;
    Application app("Crowd");
    app.SetMainThreadInvoker(&OnMainLoop);
    app.AddPipeHandler("ECHO", echo.Handler());
    ASSERT_TRUE(app.StartListening("Crowd"));

    // Malformed requests are refused; the largest allowed one is served.
    const size_t max = Application::k_MaxRequestSize;
    EXPECT_EQ('0', RawRequest("Crowd", Header(0xffffffffu)));  // absurd length
    EXPECT_EQ('0', RawRequest("Crowd", Header(uint32_t(max + 1)) + "ECHO " + std::string(max - 4, 'z')));
    EXPECT_EQ('0', RawRequest("Crowd", Header(0)));
    EXPECT_EQ('0', RawRequest("Crowd", Header(7) + std::string("ECHO x\0", 7)));  // embedded NUL
    EXPECT_EQ('0', RawRequest("Crowd", Header(10) + "ECHO", true));  // fewer bytes than announced
    EXPECT_FALSE(Application::SendRequest(Path("Crowd"), String(max + 1, 'x')));
    EXPECT_TRUE(Application::SendRequest(Path("Crowd"), String("ECHO " + std::string(max - 5, 'y'))));
    ASSERT_EQ(1u, echo.Count());
    EXPECT_EQ(max, echo.texts[0].size());

    // More clients that hang, with nothing or half a header, than a listener
    // with a few workers could bear.
    WarningLines warnings;
    std::vector<std::unique_ptr<ScopedFd>> idle;
    for (int i = 0; i < 20; ++i)
        idle.push_back(std::make_unique<ScopedFd>(RawSocket("Crowd")));
    ASSERT_EQ(2, send(idle[0]->fd, "\0\0", 2, MSG_NOSIGNAL));
    EXPECT_TRUE(Application::SendRequest(Path("Crowd"), "ECHO past the idle clients"));
    idle.clear();

    // Liveness probes by the hundred are served quietly.
    for (int i = 0; i < 300; ++i)
        ScopedFd probe(RawSocket("Crowd"));
    EXPECT_TRUE(Application::SendRequest(Path("Crowd"), "ECHO past the probes"));

    // Beyond the bound, connections are refused at once; every idle one is
    // answered and closed in time, after which requests are served again.
    for (size_t i = 0; i < Application::k_MaxConnections + 40; ++i)
        idle.push_back(std::make_unique<ScopedFd>(RawSocket("Crowd")));
    for (const std::unique_ptr<ScopedFd>& client : idle)
        ASSERT_EQ('0', AnswerOn(client->fd));
    idle.clear();
    EXPECT_TRUE(Application::SendRequest(Path("Crowd"), "ECHO after the crowd"));
    EXPECT_EQ(4u, echo.Count());

    // A flood writes a few lines, not one per client.
    const std::string lines = warnings.Get();
    EXPECT_NE(std::string::npos, lines.find("Too many requests at once")) << lines;
    EXPECT_LT(std::count(lines.begin(), lines.end(), '\n'), 16) << lines;

    // Stopping does not wait for idle clients.
    ScopedFd waiting(RawSocket("Crowd"));
    app.StopListening();
    EXPECT_EQ(-1, AnswerOn(waiting.fd));
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

    // Probes are quiet, and stopping removes the socket.
    {
        WarningLines warnings;
        EXPECT_TRUE(Application::IsListeningProgram("Alpha"));
        app1.StopListening();  // waits for every connection to be served
        EXPECT_EQ("", warnings.Get());
    }
    EXPECT_FALSE(std::filesystem::exists(SocketFile("Alpha")));

    // A socket left behind by a dead program.
    close(RawSocket("Stale", true));
    ASSERT_TRUE(std::filesystem::exists(SocketFile("Stale")));
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
    // The peer says on its output that it listens, then each PING with the thread it ran on.
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
    ASSERT_EQ("listening", readLine());

    EXPECT_TRUE(Application::SendRequest(Path(name), "PING one"));
    EXPECT_EQ("main PING one", readLine());
    EXPECT_EQ('0', RawRequest(name, "\x7f\x01", true));  // a header cut short

    // Requests the peer posts as its application ends and as it exits still
    // go out before the process is gone.
    HandlerLog byes;
    Application self("IpcTestSide");
    self.AddPipeHandler("BYE", byes.Handler());
    ASSERT_TRUE(self.StartListening("IpcTestSide"));
    EXPECT_TRUE(Application::SendRequest(Path(name), "QUIT IpcTestSide"));
    const int status = pclose(peer.release());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(Application::IsListeningProgram(name));
    EXPECT_TRUE(WaitFor([&] {
        self.RunPendingRequests();
        return byes.Count() == 2;
    }));
    EXPECT_EQ(std::vector<std::string>({"BYE app", "BYE exit"}), byes.texts);
}
