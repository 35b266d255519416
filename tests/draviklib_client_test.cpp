// The client application against the simulated master and raw test servers:
// start-up, the message queue and its exactly-once hand-off, link events,
// malformed input and shutdown requests.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <boost/make_shared.hpp>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "draviklib/draviklib.h"
#include "draviklib/simulated_master.h"
#include "net.h"

using namespace draviklib_detail;

static void PrintTo(const String& text, std::ostream* out)
{
    *out << '"' << text.Str() << '"';
}

namespace
{
namespace fs = std::filesystem;

/// Private settings and runtime folders for the whole run.
class PrivateFolders : public ::testing::Environment
{
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/draviklib-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        s_Root = pattern;
        fs::create_directories(s_Root / "config");
        fs::create_directories(s_Root / "runtime");
        fs::permissions(s_Root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        ::setenv("XDG_CONFIG_HOME", (s_Root / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (s_Root / "runtime").c_str(), 1);
    }
    void TearDown() override { std::error_code ignored; fs::remove_all(s_Root, ignored); }
    static fs::path s_Root;
};
fs::path PrivateFolders::s_Root;
::testing::Environment* const s_Folders = ::testing::AddGlobalTestEnvironment(new PrivateFolders);

/// Counts what the client library signals and lets the test wait for it.
class LinkWatcher : public HasSlots<ThreadPolicy::LocalThreaded>
{
public:
    LinkWatcher()
    {
        MessageReceivedEvt::Signal().Connect(this, &LinkWatcher::OnReceived);
        MessengerConnectedEvt::Signal().Connect(this, &LinkWatcher::OnConnected);
        MessengerDisconnectedEvt::Signal().Connect(this, &LinkWatcher::OnDisconnected);
        ShutdownMsg::s_Signal.Connect(this, &LinkWatcher::OnShutdown);
    }
    ~LinkWatcher() override { DisconnectAll(); }

    void OnReceived(MessageReceivedEvt& event)
    {
        std::function<void(MessageReceivedEvt&)> hook;
        {
            std::lock_guard<std::mutex> lock(m_HookMutex);
            hook = m_OnReceived;
        }
        if (hook)
            hook(event);
        Bump(m_Received);
    }
    /// Sets what runs on the messenger thread for every event, before counting.
    void SetOnReceived(std::function<void(MessageReceivedEvt&)> hook)
    {
        std::lock_guard<std::mutex> lock(m_HookMutex);
        m_OnReceived = std::move(hook);
    }
    void OnConnected(MessengerConnectedEvt&) { Bump(m_Connected); }
    void OnDisconnected(MessengerDisconnectedEvt&) { Bump(m_Disconnected); }
    // Written before the count goes up; read once a wait has seen it.
    void OnShutdown(const boost::shared_ptr<ShutdownMsg>& message)
    {
        m_ShutdownReason = message->GetText();
        m_ShutdownThread = std::this_thread::get_id();
        Bump(m_Shutdowns);
    }

    /// Waits until the condition holds (re-checked after every signal).
    bool Wait(const std::function<bool()>& condition, int timeoutMs = 10000)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        return m_Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), condition);
    }
    void Notify() { Bump(m_Notified); }

    std::atomic<int> m_Received{0}, m_Connected{0}, m_Disconnected{0}, m_Shutdowns{0}, m_Notified{0};
    String m_ShutdownReason;
    std::thread::id m_ShutdownThread;

private:
    std::mutex m_HookMutex;
    std::function<void(MessageReceivedEvt&)> m_OnReceived;

    void Bump(std::atomic<int>& counter)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        ++counter;
        m_Changed.notify_all();
    }

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
};

/// Watches the core log while it lives.
struct LogObserver
{
    explicit LogObserver(Log::Observer observer) : m_Id(Log::s_GlobalLog.AddObserver(std::move(observer))) {}
    ~LogObserver() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    const int m_Id;
};

CommandLine MakeCommandLine(const xolib::vector<String>& options)
{
    xolib::vector<String> arguments = {"draviklib_test"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return CommandLine(arguments);
}

String OptionsPath(const char* name)
{
    return (PrivateFolders::s_Root / (String(name) + ".ini").c_str()).c_str();
}

/// Dispatches everything waiting; returns the messages in dispatch order.
xolib::vector<boost::shared_ptr<Message>> DispatchAll(DravikClientApp& app)
{
    xolib::vector<boost::shared_ptr<Message>> seen;
    int id = app.AddMessageHandler([&](const boost::shared_ptr<Message>& m) { seen.push_back(m); });
    while (app.DispatchMessage())
    {
    }
    app.RemoveMessageHandler(id);
    return seen;
}

/// A client connected to a test-owned simulated master with its stream off.
class ClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_Master.Start());
        CommandLine commandLine = MakeCommandLine(
            {"--master", m_Master.GetAddress(), "--options", OptionsPath("client"), "--component", "DravikClientTest"});
        ASSERT_TRUE(m_App.Startup(commandLine));
        // The greeting comes after the model, so the model is complete then.
        ASSERT_TRUE(m_Watcher.Wait([&] { return m_Watcher.m_Received >= 1 && m_Watcher.m_Connected >= 1; }));
    }
    void TearDown() override { m_App.Cleanup(); }

    SimulatedMaster m_Master{7, 0};
    LinkWatcher m_Watcher;
    DravikClientApp m_App{"DravikClientTest"};
};
}  // namespace

TEST(ClientStartupTest, EmbeddedMasterFillsJobsAndProducts)
{
    JobFactory::s_JobFactory.Clear();
    LinkWatcher watcher;
    DravikClientApp app("DravikStartupTest");
    CommandLine commandLine = MakeCommandLine({"--options", OptionsPath("startup")});
    ASSERT_TRUE(app.Startup(commandLine));
    ASSERT_NE(app.GetSimulatedMaster(), nullptr);
    EXPECT_EQ(DravikApp::GetOptions().GetPath().GetString(), OptionsPath("startup"));
    EXPECT_TRUE(Components::DidStart("DravikStartupTest"));
    ASSERT_TRUE(watcher.Wait([&] { return watcher.m_Connected == 1 && watcher.m_Received >= 1; }));
    EXPECT_TRUE(app.IsConnected());

    xolib::vector<String> identifiers;
    bool someChoices = false, someItems = false, someSeparator = false;
    for (const UID& id : JobFactory::s_JobFactory.ListProducts())
    {
        boost::shared_ptr<const Product> product = JobFactory::s_JobFactory.GetProduct(id);
        identifiers.push_back(product->GetIdentifier());
        for (int i = 0; i < product->GetParamCount(); ++i)
            someChoices = someChoices || product->GetParam(i)->GetChoicesCount() > 1;
        for (int i = 0; i < product->GetCommandCount(); ++i)
        {
            someItems = someItems || product->GetCommand(i)->GetItems().Find("DISABLED:") >= 0;
            someSeparator = someSeparator || product->GetCommand(i)->GetFlags() < 0;
        }
    }
    EXPECT_EQ(identifiers, (xolib::vector<String>{"blender", "maya", "nuke", "houdini"}));
    EXPECT_TRUE(someChoices && someItems && someSeparator);

    xolib::vector<UID> jobs = app.GetAllJobs();
    EXPECT_GE(jobs.size(), size_t(SimulatedMaster::k_InitialJobCount));
    int finished = 0, renders = 0;
    for (const UID& id : jobs)
    {
        boost::shared_ptr<Job> job = app.GetJobByID(id);
        ASSERT_TRUE(job);
        EXPECT_TRUE(JobFactory::s_JobFactory.GetProduct(job->Type()));
        finished += job->IsFinished();
        renders += boost::dynamic_pointer_cast<RenderJob>(job) != nullptr;
    }
    EXPECT_GE(finished, 1);
    EXPECT_GE(renders, 1);

    app.Cleanup();
    EXPECT_FALSE(Components::DidStart("DravikStartupTest"));
    app.Cleanup();  // a second clean-up is harmless
    EXPECT_EQ(watcher.m_Disconnected, 0);  // a deliberate stop is not a lost link
}

TEST(ClientStartupTest, BadCommandLinesFailStartup)
{
    DravikClientApp app("DravikBadStartTest");
    const xolib::vector<xolib::vector<String>> bad = {
        {"--fail-startup"},   {"--master", "no-port-here"}, {"--master", "127.0.0.1:99999"},
        {"--master", ":4000"}, {"--master"},                 {"--options", PrivateFolders::s_Root.c_str()},
    };
    for (const auto& options : bad)
    {
        CommandLine commandLine = MakeCommandLine(options);
        EXPECT_FALSE(app.Startup(commandLine)) << options[0].c_str();
        EXPECT_FALSE(app.IsStarted());
        app.Cleanup();
    }

    // Without --options the file sits in the user's settings branch.
    CommandLine commandLine = MakeCommandLine({"--master", "127.0.0.1:1"});
    ASSERT_TRUE(app.Startup(commandLine));
    Path expected = File::GetUserDir() / Path::Branch(true, true) / Path("DravikBadStartTest.ini");
    EXPECT_EQ(DravikApp::GetOptions().GetPath().GetString(), expected.GetString());
    EXPECT_FALSE(app.IsConnected());  // nobody listens on port 1; the messenger keeps trying
    app.Cleanup();
}

TEST_F(ClientTest, QueueKeepsArrivalOrderAndTakenMessagesLeaveIt)
{
    DispatchAll(m_App);  // the greeting
    // The receiver of the events takes "Burst 2" out of the queue.
    std::mutex mutex;
    bool queuedBeforeEvent = true, emptyAfterTake = true;
    size_t untaken = 0;
    m_Watcher.SetOnReceived([&](MessageReceivedEvt& event) {
        std::lock_guard<std::mutex> lock(mutex);
        // A receiver that answers the event by dispatching must find the message.
        queuedBeforeEvent = queuedBeforeEvent && m_App.GetWaitingMessageCount() == untaken + 1;
        if (event.GetMessage()->GetText() != "Burst 2")
        {
            ++untaken;
            return;
        }
        event.TakeMessage();
        emptyAfterTake = !event.TakeMessage() && !event.HasMessage() && !event.GetMessage();
    });
    m_Master.SendBurst(20);
    ASSERT_TRUE(m_Watcher.Wait([&] { return m_Watcher.m_Received == 21; }));
    m_Watcher.SetOnReceived(nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_TRUE(queuedBeforeEvent);
        EXPECT_TRUE(emptyAfterTake);
    }
    EXPECT_EQ(m_App.GetWaitingMessageCount(), 19u);

    // Handlers run in registration order.
    xolib::vector<String> calls;
    auto handler = [&calls](const char* name) {
        return [&calls, name](const boost::shared_ptr<Message>& m) { calls.push_back(name + m->GetText()); };
    };
    int first = m_App.AddMessageHandler(handler("a "));
    int second = m_App.AddMessageHandler(handler("b "));
    ASSERT_TRUE(m_App.DispatchMessage());
    m_App.RemoveMessageHandler(first);
    ASSERT_TRUE(m_App.DispatchMessage());
    EXPECT_EQ(calls, (xolib::vector<String>{"a Burst 1", "b Burst 1", "b Burst 3"}));
    m_App.RemoveMessageHandler(second);

    xolib::vector<boost::shared_ptr<Message>> rest = DispatchAll(m_App);
    ASSERT_EQ(rest.size(), 17u);
    for (size_t i = 0; i < rest.size(); ++i)
    {
        EXPECT_EQ(rest[i]->GetSequence(), i + 5);  // after the greeting and bursts 1 to 3
        EXPECT_EQ(rest[i]->GetText(), SFormat("Burst %d", int(i) + 4));
    }

    // A message put back goes before those still waiting.
    m_Master.SendBurst(1);
    ASSERT_TRUE(m_Watcher.Wait([&] { return m_Watcher.m_Received == 22; }));
    auto putBack = boost::make_shared<Message>(Message::KIND_TEXT, 99, "again");
    m_App.RequeueMessage(putBack);
    xolib::vector<boost::shared_ptr<Message>> order = DispatchAll(m_App);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], putBack);
    EXPECT_EQ(order[1]->GetText(), "Burst 1");
}

// Every message reaches exactly one receiver when events are taken on the
// messenger thread and on a pool thread while this one keeps dispatching.
TEST_F(ClientTest, BurstIsHandedOnExactlyOnce)
{
    const int count = 100000;
    std::vector<std::atomic<int>> handled(count + 1);  // [0]: anything not from the burst
    std::atomic<int> total{0}, bySlot{0}, byTaker{0}, byDispatch{0};
    auto record = [&](const boost::shared_ptr<Message>& message, std::atomic<int>& path) {
        int number = message->GetText().StartsWith("Burst ") ? message->GetText().Mid(6).Int() : 0;
        ++handled[number < 1 || number > count ? 0 : size_t(number)];
        ++path;
        if (++total == count)
            m_Watcher.Notify();
    };
    ASSERT_TRUE(m_App.DispatchMessage());  // the greeting, so only the burst is counted

    ThreadPool::Start(1);  // the second taker
    std::mt19937 random(12345);  // used on the messenger thread only
    m_Watcher.SetOnReceived([&](MessageReceivedEvt& event) {
        switch (random() % 3)
        {
        case 0:
            if (boost::shared_ptr<Message> message = event.TakeMessage())
                record(message, bySlot);
            break;
        case 1:
            ThreadPool::Post([&record, &byTaker, event]() mutable {
                if (boost::shared_ptr<Message> message = event.TakeMessage())
                    record(message, byTaker);
            });
            break;
        default: break;  // left to the dispatcher
        }
    });
    int handler = m_App.AddMessageHandler([&](const boost::shared_ptr<Message>& m) { record(m, byDispatch); });
    m_Master.SendBurst(count);
    // This thread is the dispatcher.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (total < count && std::chrono::steady_clock::now() < deadline)
        if (!m_App.DispatchMessage())
            m_Watcher.Wait([&] { return total == count || m_App.GetWaitingMessageCount() > 0; }, 20);
    const bool all = total == count;
    m_Watcher.SetOnReceived(nullptr);
    ThreadPool::Stop();
    m_App.RemoveMessageHandler(handler);

    ASSERT_TRUE(all) << "handled " << total << " of " << count;
    int wrong = handled[0];
    for (int i = 1; i <= count; ++i)
        wrong += handled[size_t(i)] != 1;
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(m_App.DispatchMessage());
    EXPECT_GT(byDispatch, 0);
    EXPECT_GT(bySlot, 0);
    EXPECT_GT(byTaker, 0);
}

// A message taken out of its event and handed back keeps its place: older
// messages still go first, younger ones after it.
TEST_F(ClientTest, RequeuedMessageKeepsItsPlaceInArrivalOrder)
{
    DispatchAll(m_App);  // the greeting
    boost::shared_ptr<Message> taken;
    m_Watcher.SetOnReceived([&](MessageReceivedEvt& event) {
        if (event.GetMessage()->GetText() == "Burst 3")
            taken = event.TakeMessage();
    });
    m_Master.SendBurst(5);
    ASSERT_TRUE(m_Watcher.Wait([&] { return m_Watcher.m_Received == 6; }));
    m_Watcher.SetOnReceived(nullptr);
    ASSERT_TRUE(taken);
    m_App.RequeueMessage(taken);
    xolib::vector<String> order;
    for (const auto& message : DispatchAll(m_App))
        order.push_back(message->GetText());
    EXPECT_EQ(order, (xolib::vector<String>{"Burst 1", "Burst 2", "Burst 3", "Burst 4", "Burst 5"}));
}

// A host that cannot keep up holds the messenger back at the bound; every
// message still arrives, once and in order, when the host catches up.
TEST_F(ClientTest, WaitingMessagesStayBoundedAndNoneIsLost)
{
    DispatchAll(m_App);  // the greeting
    const size_t bound = 100;
    m_App.SetMaxWaitingMessages(bound);
    std::atomic<size_t> mostWaiting{0};
    m_Watcher.SetOnReceived([&](MessageReceivedEvt&) {
        mostWaiting = std::max(mostWaiting.load(), m_App.GetWaitingMessageCount());
    });
    const int count = 5000;
    m_Master.SendBurst(count);
    ASSERT_TRUE(m_Watcher.Wait([&] { return m_App.GetWaitingMessageCount() == bound; }));

    xolib::vector<int> numbers;
    int handler = m_App.AddMessageHandler(
        [&](const boost::shared_ptr<Message>& message) { numbers.push_back(message->GetText().Mid(6).Int()); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (int(numbers.size()) < count && std::chrono::steady_clock::now() < deadline)
        if (!m_App.DispatchMessage())
            m_Watcher.Wait([&] { return m_App.GetWaitingMessageCount() > 0; }, 20);
    m_App.RemoveMessageHandler(handler);
    m_Watcher.SetOnReceived(nullptr);

    EXPECT_LE(mostWaiting.load(), bound);
    ASSERT_EQ(numbers.size(), size_t(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(numbers[size_t(i)], i + 1);
}

// Without a name from the host, a program is named after its executable, so
// two programs never share an options file or a request socket; a second
// copy of one program never takes over the first one's socket.
TEST(ClientStartupTest, ProgramsAreNamedAfterTheirExecutable)
{
    DravikClientApp first;
    CommandLine firstLine(xolib::vector<String>{"/opt/farm/bin/farm view", "--stream-rate", "0"});
    ASSERT_TRUE(first.Startup(firstLine));
    EXPECT_EQ(first.GetName(), "farm_view");
    EXPECT_EQ(first.GetComponentName(), "farm_view");
    EXPECT_EQ(DravikApp::GetOptions().GetPath().GetString(),
              (File::GetUserDir() / Path::Branch(true, true) / Path("farm_view.ini")).GetString());
    EXPECT_TRUE(Components::DidStart("farm_view"));

    {
        DravikClientApp other;
        CommandLine otherLine(xolib::vector<String>{"./job-submit", "--stream-rate", "0"});
        ASSERT_TRUE(other.Startup(otherLine));
        EXPECT_EQ(other.GetName(), "job-submit");
        EXPECT_TRUE(Components::DidStart("job-submit"));
        other.Cleanup();
    }
    {
        DravikClientApp secondCopy;
        ASSERT_TRUE(secondCopy.Startup(firstLine));
        EXPECT_FALSE(secondCopy.IsListening());
        EXPECT_TRUE(first.IsListening());
        secondCopy.Cleanup();
    }
    EXPECT_TRUE(Components::DidStart("farm_view"));

    DravikClientApp named("FarmMonitor");
    named.AdoptProgramName("/usr/bin/anything");
    EXPECT_EQ(named.GetName(), "FarmMonitor");
    first.Cleanup();
}

TEST_F(ClientTest, DroppedLinkIsReportedAndRestored)
{
    size_t products = JobFactory::s_JobFactory.ListProducts().size();
    size_t jobs = m_App.GetAllJobs().size();
    m_Master.DropClients();
    ASSERT_TRUE(m_Watcher.Wait([&] { return m_Watcher.m_Disconnected == 1 && m_Watcher.m_Connected == 2; }));
    EXPECT_TRUE(m_App.IsConnected());
    // The model sent again on reconnection replaces, never duplicates.
    ASSERT_TRUE(m_Watcher.Wait([&] { return m_Watcher.m_Received >= 2; }));
    EXPECT_EQ(m_Master.GetAcceptedCount(), 2);
    EXPECT_EQ(JobFactory::s_JobFactory.ListProducts().size(), products);
    EXPECT_EQ(m_App.GetAllJobs().size(), jobs);
}

TEST_F(ClientTest, ShutdownRequestIsSignalledNotQueued)
{
    m_Master.SendShutdown("maintenance window");
    m_Master.SendBurst(1);  // arrives after the request: a fence
    ASSERT_TRUE(m_Watcher.Wait([&] { return m_Watcher.m_Received == 2; }));
    EXPECT_EQ(m_Watcher.m_Shutdowns, 1);
    EXPECT_EQ(m_Watcher.m_ShutdownReason, "maintenance window");
    EXPECT_NE(m_Watcher.m_ShutdownThread, std::this_thread::get_id());
    xolib::vector<boost::shared_ptr<Message>> waiting = DispatchAll(m_App);
    ASSERT_EQ(waiting.size(), 2u);
    for (const auto& message : waiting)
        EXPECT_NE(message->GetKind(), Message::KIND_SHUTDOWN);
}

TEST(RawServerTest, MalformedLinesAreDroppedAndTheLinkSurvives)
{
    int port = 0;
    FileHandle listener = ListenLoopback(port);
    ASSERT_TRUE(listener.Valid());
    std::atomic<int> warnings{0};
    LogObserver observer([&](LogLevel level, const String& text) {
        warnings += level == LOG_WARNING && text.Find("Messenger") >= 0;
    });

    LinkWatcher watcher;
    DravikClientApp app("DravikRawTest");
    CommandLine commandLine =
        MakeCommandLine({"--master", SFormat("127.0.0.1:%d", port), "--options", OptionsPath("raw")});
    ASSERT_TRUE(app.Startup(commandLine));
    pollfd wait = {listener.Get(), POLLIN, 0};
    ASSERT_EQ(::poll(&wait, 1, 10000), 1);
    FileHandle client(::accept(listener.Get(), nullptr, nullptr));
    ASSERT_TRUE(client.Valid());

    const std::string product = "00000001-0000-4000-8000-000000000009";
    const std::string job = "00000002-0000-4000-8000-000000000009";
    std::string garbage = "no tabs at all\n"
                          "MSG\tseven\tTEXT\t\tbad sequence\n"
                          "MSG\t0\tTEXT\t\tzero sequence\n"
                          "MSG\t1\tBOGUS\t\tbad kind\n"
                          "MSG\t1\tTEXT\tnot-a-uid\tbad subject\n"
                          "MSG\t1\tTEXT\t\tbad \\q escape\n"
                          "MSG\t1\tTEXT\t\ttoo\tmany\n"
                          "PARAM\t" + product + "\tNever defined\n"
                          "COMMAND\t" + product + "\tX\tnot-a-number\thelp\t\n"
                          "JOB\t" + product + "\tname\t" + product + "\tRUNNING\t500\t\n"
                          "UNKNOWN\trecord\n"
                          "GONE\tnot-a-uid\n"
                          // A job the master retires leaves the model.
                          "JOB\t" + job + "\tretired\t" + product + "\tFINISHED\t100\t\n"
                          "GONE\t" + job + "\n";
    garbage += std::string("\x01\x02\0\xff binary\n", 12);
    garbage += std::string(200 * 1024, 'x') + "\n";
    garbage += "MSG\t7\tTEXT\t\tsurvivor\\twith tab\n";
    ASSERT_EQ(::send(client.Get(), garbage.data(), garbage.size(), MSG_NOSIGNAL), ssize_t(garbage.size()));

    ASSERT_TRUE(watcher.Wait([&] { return watcher.m_Received == 1; }));
    xolib::vector<boost::shared_ptr<Message>> seen = DispatchAll(app);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0]->GetText(), "survivor\twith tab");
    EXPECT_EQ(seen[0]->GetSequence(), 7u);
    EXPECT_TRUE(app.GetAllJobs().empty());
    EXPECT_TRUE(app.IsConnected());
    EXPECT_GE(warnings, 14);

    // The server going away is a lost link; the messenger then retries.
    client.Reset();
    EXPECT_TRUE(watcher.Wait([&] { return watcher.m_Disconnected == 1; }));
    ASSERT_EQ(::poll(&wait, 1, 10000), 1);
    FileHandle again(::accept(listener.Get(), nullptr, nullptr));
    EXPECT_TRUE(again.Valid());
    EXPECT_TRUE(watcher.Wait([&] { return watcher.m_Connected == 2; }));
    app.Cleanup();
}
