// The application object: start-up, the message bridge between the messenger
// thread and the GUI thread, the stop path, the main loop and the log sink.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <wx/frame.h>
#include <wx/timer.h>

#include "draviklib/simulated_master.h"
#include "harness/gui_harness.h"
#include "wxdravik/wxdravikapp.h"

using namespace dravik_test;

namespace
{
/// Records the core log lines written while it lives.
class LogRecorder
{
public:
    LogRecorder()
    {
        m_Id = Log::s_GlobalLog.AddObserver([this](LogLevel level, const String& text) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Lines.emplace_back(level, text);
        });
    }
    ~LogRecorder() { Log::s_GlobalLog.RemoveObserver(m_Id); }

    bool Saw(const String& text, LogLevel* level = nullptr) const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        for (const auto& line : m_Lines)
            if (line.second == text)
            {
                if (level)
                    *level = line.first;
                return true;
            }
        return false;
    }

    int CountStartingWith(const String& prefix) const
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        int count = 0;
        for (const auto& line : m_Lines)
            count += line.second.StartsWith(prefix);
        return count;
    }

private:
    int m_Id = 0;
    mutable std::mutex m_Mutex;
    std::vector<std::pair<LogLevel, String>> m_Lines;
};

/// Resident memory of this process, in bytes.
size_t ResidentBytes()
{
    size_t pages = 0, resident = 0;
    if (FILE* statm = fopen("/proc/self/statm", "r"))
    {
        if (fscanf(statm, "%zu %zu", &pages, &resident) != 2)
            resident = 0;
        fclose(statm);
    }
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

/// Counts how often each burst message reached the handlers, and where.
class MessageTally
{
public:
    explicit MessageTally(size_t capacity) : m_Counts(capacity) {}

    void Handle(const boost::shared_ptr<Message>& message)
    {
        // The master numbers a burst from 1.
        const int index = message->GetText().RightFirst("Burst ", "0").Int() - 1;
        if (index < 0 || size_t(index) >= m_Counts.size())
            return;
        m_Counts[index].fetch_add(1);
        m_Total.fetch_add(1);
        if (std::this_thread::get_id() != m_GuiThread)
            m_OffGuiThread.fetch_add(1);
    }

    int Total() const { return m_Total.load(); }
    int OffGuiThread() const { return m_OffGuiThread.load(); }
    /// Indexes below n handled other than exactly once.
    std::vector<int> NotOnce(size_t n) const
    {
        std::vector<int> wrong;
        for (size_t i = 0; i < n; ++i)
            if (m_Counts[i].load() != 1)
                wrong.push_back(int(i));
        return wrong;
    }

private:
    std::vector<std::atomic<int>> m_Counts;
    std::atomic<int> m_Total{0};
    std::atomic<int> m_OffGuiThread{0};
    std::thread::id m_GuiThread = std::this_thread::get_id();
};

/// Runs the application's start-up against the embedded simulated master with
/// its periodic stream switched off, and undoes it afterwards.
class BridgeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApp& app = GetTestApp();
        app.SetShowStartupError(false);
        app.SetCommandLine({"bridge-test", "--options", m_Folder.File("options.ini"), "--component",
                            "BridgeTest", "--stream-rate", "0"});
        ASSERT_TRUE(app.OnInit());
        ASSERT_NE(app.GetSimulatedMaster(), nullptr);
        // A burst only reaches clients already connected.
        ASSERT_TRUE(WaitUntil([&] { return app.IsConnected() && app.GetSimulatedMaster()->GetClientCount() == 1; }));
        // The master greets every client; start each test with an empty queue.
        ASSERT_TRUE(WaitUntil([&] { return app.GetWaitingMessageCount() >= 1; }));
        DrainWaiting();
        app.EnableMessageProcessing();
        m_HandlerId = app.AddMessageHandler([this](const boost::shared_ptr<Message>& message) {
            if (m_Tally)
                m_Tally->Handle(message);
        });
    }

    void TearDown() override
    {
        TestApp& app = GetTestApp();
        // The messenger thread must never have asked the toolkit for windows.
        EXPECT_EQ(app.GetTopWindowCallsOffGuiThread(), 0);
        app.RemoveMessageHandler(m_HandlerId);
        DestroyFrame();
        ThreadPool::Stop();
        app.OnExit();
        app.EnableMessageProcessing();
        FlushEvents();
    }

    wxFrame* CreateFrame()
    {
        m_Frame = new wxFrame(nullptr, wxID_ANY, "main");  // owned by the toolkit
        GetTestApp().SetTopWindow(m_Frame);
        GetTestApp().ProcessIdle();  // as the main loop would, once the frame exists
        m_Frame->Bind(wxEventTypeTag<wxCommandEvent>(wxDRAVIK_MESSAGE_EVENT), [this](wxCommandEvent& event) {
            ++m_MessageEvents;
            event.Skip();
        });
        return m_Frame;
    }

    void DestroyFrame()
    {
        if (!m_Frame)
            return;
        GetTestApp().SetTopWindow(nullptr);
        delete m_Frame;
        m_Frame = nullptr;
    }

    /// Waits until the messenger has received everything sent so far.
    void DrainWaiting()
    {
        TestApp& app = GetTestApp();
        while (app.GetWaitingMessageCount() > 0)
            app.ProcessNextMessage();
    }

    TempFolder m_Folder;
    wxFrame* m_Frame = nullptr;
    int m_HandlerId = 0;
    int m_MessageEvents = 0;
    std::unique_ptr<MessageTally> m_Tally;
};
}

// However many messages wait, one toolkit event announces them; the GUI
// thread then works through them in batches.
TEST_F(BridgeTest, OneEventAnnouncesAnyNumberOfMessagesDispatchedOnTheGuiThread)
{
    TestApp& app = GetTestApp();
    CreateFrame();
    m_Tally = std::make_unique<MessageTally>(1000);
    app.GetSimulatedMaster()->SendBurst(1000);
    // Let every message arrive before this thread looks at its events.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (app.GetWaitingMessageCount() < 1000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_EQ(app.GetWaitingMessageCount(), 1000u);
    ASSERT_TRUE(WaitUntil([&] { return m_Tally->Total() == 1000; }, 20000));
    EXPECT_TRUE(m_Tally->NotOnce(1000).empty());
    EXPECT_EQ(m_Tally->OffGuiThread(), 0);
    EXPECT_EQ(m_MessageEvents, 1);
}

TEST_F(BridgeTest, WithThreadPoolReadyHandlersRunOnTheMessengerThreadAndNothingIsPosted)
{
    CreateFrame();
    ThreadPool::Start(1);
    ASSERT_TRUE(ThreadPool::IsReady());
    m_Tally = std::make_unique<MessageTally>(500);
    GetTestApp().GetSimulatedMaster()->SendBurst(500);
    ASSERT_TRUE(WaitUntil([&] { return m_Tally->Total() == 500; }, 20000));
    FlushEvents();
    EXPECT_EQ(m_Tally->OffGuiThread(), 500);
    EXPECT_EQ(m_MessageEvents, 0);
    EXPECT_EQ(GetTestApp().GetWaitingMessageCount(), 0u);
}

TEST_F(BridgeTest, DisabledProcessingDispatchesNothingUntilEnabledThenEverything)
{
    TestApp& app = GetTestApp();
    CreateFrame();
    ThreadPool::Start(1);
    app.DisableMessageProcessing();
    EXPECT_FALSE(app.IsMessageProcessingEnabled());
    m_Tally = std::make_unique<MessageTally>(50);
    app.GetSimulatedMaster()->SendBurst(50);
    ASSERT_TRUE(WaitUntil([&] { return m_MessageEvents >= 1 && app.GetWaitingMessageCount() == 50; }, 20000));
    FlushEvents();
    EXPECT_EQ(m_Tally->Total(), 0);
    EXPECT_EQ(app.GetWaitingMessageCount(), 50u);

    app.EnableMessageProcessing();
    EXPECT_TRUE(app.IsMessageProcessingEnabled());
    app.ProcessNextMessage();
    EXPECT_EQ(m_Tally->Total(), 1);
    // Enabling announced the rest: nobody has to wait for another message.
    ASSERT_TRUE(WaitUntil([&] { return m_Tally->Total() == 50; }));
    EXPECT_TRUE(m_Tally->NotOnce(50).empty());
}

TEST_F(BridgeTest, MessagesBeforeTheMainWindowAreAnnouncedOnceItExists)
{
    ScopedLogLevel debug(LOG_DEBUG);
    LogRecorder log;
    TestApp& app = GetTestApp();
    ASSERT_EQ(app.GetTopWindow(), nullptr);
    m_Tally = std::make_unique<MessageTally>(3);
    app.GetSimulatedMaster()->SendBurst(3);
    ASSERT_TRUE(WaitUntil([&] { return app.GetWaitingMessageCount() == 3; }));
    FlushEvents();
    EXPECT_TRUE(log.Saw("... Ignoring MessageReceivedEvt because app has no top window"));
    EXPECT_EQ(m_Tally->Total(), 0);

    // No new message arrives: the window alone is enough.
    m_Frame = new wxFrame(nullptr, wxID_ANY, "main");  // owned by the toolkit
    app.SetTopWindow(m_Frame);
    ASSERT_TRUE(WaitUntil([&] { return m_Tally->Total() == 3; }));
    EXPECT_TRUE(m_Tally->NotOnce(3).empty());
}

TEST_F(BridgeTest, PerMessageLinesAreLoggedOnlyWithDebugLogging)
{
    TestApp& app = GetTestApp();
    CreateFrame();
    LogRecorder log;
    ASSERT_FALSE(Log::s_GlobalLog.IsEnabled(LOG_DEBUG)) << "debug logging is on by default";
    m_Tally = std::make_unique<MessageTally>(200);
    app.GetSimulatedMaster()->SendBurst(200);
    ASSERT_TRUE(WaitUntil([&] { return m_Tally->Total() == 200; }, 20000));
    EXPECT_EQ(log.CountStartingWith("... "), 0);

    ScopedLogLevel debug(LOG_DEBUG);
    m_Tally = std::make_unique<MessageTally>(1);
    app.GetSimulatedMaster()->SendBurst(1);
    ASSERT_TRUE(WaitUntil([&] { return m_Tally->Total() == 1; }));
    EXPECT_TRUE(log.Saw("... Received message: translating to wxDRAVIK_MESSAGE_EVENT"));
}

// A stream far faster than the host's handlers: timers keep firing, the
// backlog stays bounded, and every message is handled once, in order.
TEST_F(BridgeTest, LoadOfFiftyThousandMessagesASecondKeepsTheGuiAliveAndMemoryBounded)
{
    TestApp& app = GetTestApp();
    wxFrame* frame = CreateFrame();
    uint64_t lastSequence = 0;
    int outOfOrder = 0, handled = 0;
    const int handler = app.AddMessageHandler([&](const boost::shared_ptr<Message>& message) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(100);
        while (std::chrono::steady_clock::now() < until)
        {
        }
        outOfOrder += lastSequence != 0 && message->GetSequence() != lastSequence + 1;
        lastSequence = message->GetSequence();
        ++handled;
    });
    int ticks = 0;
    wxTimer ticker(frame);
    frame->Bind(wxEVT_TIMER, [&](wxTimerEvent&) { ++ticks; });
    ticker.Start(50);

    const size_t residentBefore = ResidentBytes();
    size_t mostWaiting = 0, mostResident = residentBefore;
    app.GetSimulatedMaster()->SetStreamRate(50000);
    WaitUntil(
        [&] {
            mostWaiting = std::max(mostWaiting, app.GetWaitingMessageCount());
            mostResident = std::max(mostResident, ResidentBytes());
            return false;
        },
        10000);
    app.GetSimulatedMaster()->SetStreamRate(0);
    const int ticksUnderLoad = ticks;
    ASSERT_TRUE(WaitUntil([&] { return app.GetWaitingMessageCount() == 0; }, 60000));
    ticker.Stop();
    app.RemoveMessageHandler(handler);

    EXPECT_GE(ticksUnderLoad, 50) << "a 50 ms timer fired " << ticksUnderLoad << " times in 10 s";
    // The two places a backlog could pile up: the client's queue and the
    // master's output for this client.
    EXPECT_LE(mostWaiting, app.GetMaxWaitingMessages());
    EXPECT_LE(app.GetSimulatedMaster()->GetPeakBacklog(), SimulatedMaster::k_SkipBacklog + (size_t(64) << 10));
#ifndef __SANITIZE_ADDRESS__
    // The address sanitizer keeps freed memory in quarantine: resident size
    // says nothing there.
    EXPECT_LT(mostResident - residentBefore, size_t(128) << 20);
#endif
    EXPECT_GT(handled, 10000);
    EXPECT_EQ(outOfOrder, 0);
}

// The main window may go between the messenger thread's look-up and the
// event's delivery: the message must still be dispatched, not dropped with
// the window.
TEST_F(BridgeTest, AMessagePostedWhileTheMainWindowGoesIsStillDispatched)
{
    TestApp& app = GetTestApp();
    CreateFrame();
    m_Tally = std::make_unique<MessageTally>(1);
    // The start-up's greeting left a look for the main window queued: run it,
    // so the only event pending below is the message's.
    FlushEvents();
    ASSERT_FALSE(app.HasPendingEvents());
    app.GetSimulatedMaster()->SendBurst(1);
    // Wait for the posted event without processing it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(app.HasPendingEvents() && app.GetWaitingMessageCount() == 1) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(app.HasPendingEvents());
    ASSERT_EQ(app.GetWaitingMessageCount(), 1u);
    DestroyFrame();
    FlushEvents();
    EXPECT_EQ(m_Tally->Total(), 1);
    EXPECT_EQ(app.GetWaitingMessageCount(), 0u);
}

// A real messenger thread delivers 100,000 messages while the GUI thread
// dispatches and switches processing on and off; every message must be
// handled exactly once.
TEST_F(BridgeTest, StressEveryMessageHandledExactlyOnceWhileProcessingToggles)
{
    TestApp& app = GetTestApp();
    CreateFrame();
    const int total = 100000;
    m_Tally = std::make_unique<MessageTally>(total);
    for (bool pool : {false, true})
    {
        SCOPED_TRACE(pool ? "thread pool ready" : "thread pool not ready");
        if (pool)
            ThreadPool::Start(1);
        m_Tally = std::make_unique<MessageTally>(total / 2);
        app.GetSimulatedMaster()->SendBurst(total / 2);
        int round = 0;
        WaitUntil(
            [&] {
                // Toggle every few rounds; while disabled the posted events
                // are dropped and the messages keep waiting.
                if (++round % 7 == 0)
                {
                    if (app.IsMessageProcessingEnabled())
                        app.DisableMessageProcessing();
                    else
                        app.EnableMessageProcessing();
                }
                if (app.IsMessageProcessingEnabled() && round % 3 == 0)
                    app.ProcessNextMessage();
                return m_Tally->Total() + int(app.GetWaitingMessageCount()) >= total / 2;
            },
            60000);
        app.EnableMessageProcessing();
        ASSERT_TRUE(WaitUntil(
            [&] {
                DrainWaiting();
                return m_Tally->Total() >= total / 2;
            },
            60000));
        FlushEvents();
        DrainWaiting();
        const std::vector<int> wrong = m_Tally->NotOnce(total / 2);
        EXPECT_TRUE(wrong.empty()) << wrong.size() << " messages not handled exactly once, first "
                                   << (wrong.empty() ? -1 : wrong.front());
        EXPECT_EQ(m_Tally->Total(), total / 2);
    }
}

TEST_F(BridgeTest, LinkEventsReachTheMainWindow)
{
    wxFrame* frame = CreateFrame();
    std::vector<int> seen;
    frame->Bind(wxEventTypeTag<wxCommandEvent>(wxDRAVIK_CONNECT_EVENT), [&](wxCommandEvent&) { seen.push_back(wxDRAVIK_CONNECT_EVENT); });
    frame->Bind(wxEventTypeTag<wxCommandEvent>(wxDRAVIK_DISCONNECT_EVENT), [&](wxCommandEvent&) { seen.push_back(wxDRAVIK_DISCONNECT_EVENT); });
    GetTestApp().GetSimulatedMaster()->DropClients();
    ASSERT_TRUE(WaitUntil([&] { return seen.size() >= 2; }, 20000));
    EXPECT_EQ(seen[0], wxDRAVIK_DISCONNECT_EVENT);
    EXPECT_EQ(seen[1], wxDRAVIK_CONNECT_EVENT);
}

TEST_F(BridgeTest, StopRequestsCloseTheMainWindowOnlyWhileProcessingIsEnabled)
{
    TestApp& app = GetTestApp();
    wxFrame* frame = CreateFrame();
    int closes = 0;
    frame->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) {
        ++closes;
        EXPECT_TRUE(event.CanVeto());
        event.Veto();  // keep the frame for the rest of the test
    });
    LogRecorder log;

    app.GetSimulatedMaster()->SendShutdown("maintenance");
    ASSERT_TRUE(WaitUntil([&] { return closes == 1; }, 20000));
    LogLevel level = LOG_DEBUG;
    EXPECT_TRUE(log.Saw("Received Shutdown request", &level));
    EXPECT_EQ(level, LOG_SYSTEM);

    wxCloseEvent endSession(wxEVT_QUERY_END_SESSION);
    app.ProcessEvent(endSession);
    EXPECT_FALSE(endSession.GetVeto());
    ASSERT_TRUE(WaitUntil([&] { return closes == 2; }));
    EXPECT_TRUE(log.Saw("Notified of user request to log out or shut down the system"));

    app.DisableMessageProcessing();
    app.GetSimulatedMaster()->SendShutdown("again");
    wxCloseEvent endSession2(wxEVT_QUERY_END_SESSION);
    app.ProcessEvent(endSession2);
    WaitUntil([&] { return false; }, 300);  // give a wrongly posted close time to arrive
    EXPECT_EQ(closes, 2);
}

TEST(AppStartup, FailedStartupCleansUpAndEmitsExitedWithoutABox)
{
    struct ExitWatcher : HasSlots<ThreadPolicy::LocalThreaded>
    {
        int exited = 0;
        void OnExited() { ++exited; }
    } watcher;
    TempFolder folder;
    TestApp& app = GetTestApp();
    app.m_ExitDone.Connect(&watcher, &ExitWatcher::OnExited);
    app.SetShowStartupError(false);
    app.SetCommandLine({"failing-app", "--options", folder.File("o.ini"), "--fail-startup"});
    EXPECT_FALSE(app.OnInit());
    EXPECT_FALSE(app.IsStarted());
    EXPECT_EQ(watcher.exited, 1);
    app.OnExit();
}

TEST(AppStartup, ToolkitLogReachesTheCoreLogWithPrefixAndMappedLevel)
{
    TempFolder folder;
    TestApp& app = GetTestApp();
    LogRecorder log;
    app.SetShowStartupError(false);
    app.SetCommandLine({"log-app", "--options", folder.File("o.ini"), "--component", "LogApp"});
    ASSERT_TRUE(app.OnInit());
    LogLevel level = LOG_DEBUG;
    EXPECT_TRUE(log.Saw("wxWidgets 3.2.1: Set wxLog to use Xolib Log", &level));
    EXPECT_EQ(int(level), 4);
    // The start-up error box names the log folder: it must be the real one.
    EXPECT_FALSE(app.GetLogFolder().Empty());
    EXPECT_EQ(app.GetLogFolder().GetString(), Log::s_GlobalLog.GetPath().Parent().GetString());
    wxLogWarning("disk %d is full", 3);
    wxLog::FlushActive();
    EXPECT_TRUE(log.Saw("wxWidgets 3.2.1: disk 3 is full", &level));
    EXPECT_EQ(int(level), 3);
    app.OnExit();

    const std::pair<wxLogLevel, int> table[] = {{wxLOG_FatalError, 0}, {wxLOG_Error, 1}, {wxLOG_Warning, 3},
                                                {wxLOG_Message, 4},    {wxLOG_Status, 4}, {wxLOG_Info, 5},
                                                {wxLOG_Debug, 6},      {wxLOG_Trace, 6}, {wxLOG_Progress, 5},
                                                {wxLOG_User, 5},       {wxLOG_User + 7, 5}};
    for (const auto& row : table)
        EXPECT_EQ(int(wxDravikMapLogLevel(row.first)), row.second) << "toolkit level " << row.first;
}

TEST(AppMainLoop, ExceptionsRestartTheLoopWhileOnExceptionSaysSo)
{
    TestApp& app = GetTestApp();
    std::vector<bool> seen;  // true: a core exception
    app.SetExceptionHandler([&](Exception* e) {
        seen.push_back(e != nullptr);
        return seen.size() < 3;
    });
    app.CallAfter([] { throw new Exception("first", "detail"); });
    app.CallAfter([] { throw std::runtime_error("second"); });
    app.CallAfter([] { throw new Exception("third"); });
    EXPECT_EQ(app.OnRun(), 0);
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));

    seen.clear();
    app.SetExceptionHandler([&](Exception* e) {
        seen.push_back(e != nullptr);
        return true;
    });
    app.CallAfter([] { throw new Exception("again"); });
    app.CallAfter([&app] { app.ExitMainLoop(); });
    app.OnRun();
    EXPECT_EQ(seen, (std::vector<bool>{true}));
    app.SetExceptionHandler(nullptr);
}

TEST(AppKeyboard, ControlShiftCCentresTheLastActivatedWindow)
{
    TestApp& app = GetTestApp();
    std::unique_ptr<wxFrame> mainFrame(new wxFrame(nullptr, wxID_ANY, "main", wxPoint(0, 0), wxSize(200, 100)));
    app.SetTopWindow(mainFrame.get());
    const wxRect screen(wxPoint(0, 0), wxGetDisplaySize());
    auto centred = [&](wxWindow* w) {
        const wxPoint expect((screen.width - w->GetSize().x) / 2, (screen.height - w->GetSize().y) / 2);
        return std::abs(w->GetPosition().x - expect.x) <= 1 && std::abs(w->GetPosition().y - expect.y) <= 1;
    };
    auto press = [&](bool control, bool shift, bool alt) {
        wxKeyEvent key(wxEVT_CHAR_HOOK);
        key.m_keyCode = 'C';
        key.SetControlDown(control);
        key.SetShiftDown(shift);
        key.SetAltDown(alt);
        return app.ProcessEvent(key);  // true when consumed
    };

    EXPECT_FALSE(press(true, false, false));  // Control+C is passed on
    EXPECT_FALSE(centred(mainFrame.get()));
    EXPECT_TRUE(press(true, true, true));  // other modifiers are not tested
    EXPECT_TRUE(centred(mainFrame.get()));

    {
        std::unique_ptr<wxFrame> other(new wxFrame(nullptr, wxID_ANY, "other", wxPoint(0, 0), wxSize(120, 80)));
        wxActivateEvent activate(wxEVT_ACTIVATE, true, other->GetId());
        activate.SetEventObject(other.get());
        app.ActivateEvent(activate);
        mainFrame->Move(0, 0);
        EXPECT_TRUE(press(true, true, false));
        EXPECT_TRUE(centred(other.get()));
        EXPECT_FALSE(centred(mainFrame.get()));
    }
    // The activated window is gone: the main window is centred again.
    EXPECT_TRUE(press(true, true, false));
    EXPECT_TRUE(centred(mainFrame.get()));
    app.SetTopWindow(nullptr);
}

TEST(AppRequests, ARejectedRequestIsReportedAndAnsweredAsNotHandled)
{
    LogRecorder log;
    // The user once ticked "Don't tell me again": the report is only logged.
    OptionsFile& options = DravikApp::GetOptions();
    options.SetValue("Confirm", "RequestFailed", true);
    EXPECT_FALSE(GetTestApp().RequestHasFailed("no such job"));
    options.RemoveKey("Confirm", "RequestFailed");
    LogLevel level = LOG_DEBUG;
    EXPECT_TRUE(log.Saw("Master reports error:\nno such job", &level));
    EXPECT_EQ(level, LOG_INFO);
    EXPECT_FALSE(GetTestApp().Execute());
}
