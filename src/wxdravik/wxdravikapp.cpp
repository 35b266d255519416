#include "wxdravik/wxdravikapp.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/sysopt.h>
#include <wx/thread.h>
#include <wx/tooltip.h>
#include <wx/weakref.h>

#include "wxdravik/wxconfirmdlg.h"
#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxdravikdlg.h"
#include "wxdravik/wxdravikstring.h"

// Created when the library is loaded, in this order.
const int wxDRAVIK_MESSAGE_EVENT = wxNewEventType();
const int wxDRAVIK_CONNECT_EVENT = wxNewEventType();
const int wxDRAVIK_DISCONNECT_EVENT = wxNewEventType();

namespace
{
/// The application messages are handed to, or null while processing is off.
/// Written on the GUI thread, read on the messenger thread.
std::atomic<wxDravikApp*> s_ProcessingTarget{nullptr};

/// Whether the application has a main window, as the GUI thread last saw it.
/// The messenger thread reads this instead of asking the toolkit, whose
/// window lists belong to the GUI thread.
std::atomic<bool> s_HasMainWindow{false};

/// True from the moment waiting messages are announced (a message event
/// posted, or the next batch scheduled) until that batch has run. The
/// messenger thread posts only when it is false, so one announcement covers
/// any number of messages and a fast stream cannot flood the event queue.
std::atomic<bool> s_MessagesAnnounced{false};

/// True while a look for the main window is queued for the GUI thread.
std::atomic<bool> s_MainWindowCheckQueued{false};

/// The application's own timer: the next message batch, or the next look for
/// the main window while messages wait without one.
const int k_MessageTimerId = 24150;
const int k_NextBatchMs = 1;  // long enough for the toolkit to get its turn
const int k_MainWindowPollMs = 100;

/// Every stop request goes through it.
std::unique_ptr<wxDravikExecutable> s_Executable;

/// The top-level window that most recently reported activation. A weak
/// reference, so a window destroyed while active never leaves it dangling.
wxWeakRef<wxWindow> s_LastActivated;

const char* const k_LogPrefix = "wxWidgets 3.2.1: ";

bool IsTargetCurrent(wxDravikApp* target)
{
    return target && static_cast<Application*>(target) == Application::the_Application;
}

/// The bridge's lines come per message: they cost nothing unless debug
/// logging is on.
void BridgeDebug(const char* line)
{
    if (Log::s_GlobalLog.IsEnabled(LOG_DEBUG))
        LogDebug(line);
}
}

wxDravikApp* wxGetDravikApp()
{
    return dynamic_cast<wxDravikApp*>(wxTheApp);
}

// ---------------------------------------------------------------- wxDravikExecutable

wxDravikExecutable::wxDravikExecutable(Application* application) : Executable(application) {}

int wxDravikExecutable::Signal(int code)
{
    const int result = Executable::Signal(code);
    if (code == 0 && s_ProcessingTarget.load() && wxTheApp)
    {
        // Any thread may ask; the main window is looked for on the GUI
        // thread, when the close is delivered.
        wxTheApp->CallAfter([] {
            wxWindow* main = wxTheApp->GetTopWindow();
            if (!main)
                return;
            wxCloseEvent close(wxEVT_CLOSE_WINDOW, main->GetId());
            close.SetEventObject(main);
            close.SetCanVeto(true);
            main->GetEventHandler()->ProcessEvent(close);
        });
    }
    return result;
}

// ---------------------------------------------------------------- wxDravikLog

LogLevel wxDravikMapLogLevel(wxLogLevel level)
{
    switch (level)
    {
    case wxLOG_FatalError:
        return LogLevel(0);
    case wxLOG_Error:
        return LogLevel(1);
    case wxLOG_Warning:
        return LogLevel(3);
    case wxLOG_Message:
    case wxLOG_Status:
        return LogLevel(4);
    case wxLOG_Info:
        return LogLevel(5);
    case wxLOG_Debug:
    case wxLOG_Trace:
        return LogLevel(6);
    default:
        return LogLevel(5);
    }
}

void wxDravikLog::DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo&)
{
    GlobalLog(wxDravikMapLogLevel(level), String(k_LogPrefix) + wxsFromWx(message));
}

// ---------------------------------------------------------------- wxsTraits

wxRendererNative* wxsTraits::CreateRenderer()
{
    return new wxsRenderer;  // the toolkit owns it from here on
}

// ---------------------------------------------------------------- wxDravikApp

// clang-format off
wxBEGIN_EVENT_TABLE(wxDravikApp, wxApp)
    EVT_COMMAND(wxID_ANY, wxDRAVIK_MESSAGE_EVENT, wxDravikApp::OnMessage)
    EVT_QUERY_END_SESSION(wxDravikApp::_EndSession)
    EVT_CHAR_HOOK(wxDravikApp::KeyboardHook)
    EVT_ACTIVATE(wxDravikApp::ActivateEvent)
    EVT_IDLE(wxDravikApp::_OnIdle)
    EVT_TIMER(k_MessageTimerId, wxDravikApp::_OnMessageTimer)
wxEND_EVENT_TABLE()
// clang-format on

wxDravikApp::wxDravikApp() : wxApp(), DravikClientApp()
{
    s_Executable = std::make_unique<wxDravikExecutable>(static_cast<Application*>(this));
    s_ProcessingTarget.store(Application::the_Application ? this : nullptr);
    m_ShowStartupError = true;

    static std::once_flag localeOnce;
    std::call_once(localeOnce, [] {
        // A locale the system lacks is worth a line in the log, not a dialog
        // before the program has a window.
        wxLogNull quiet;
        static wxLocale locale(wxLANGUAGE_DEFAULT, wxLOCALE_LOAD_DEFAULT);
        if (!locale.IsOk())
            LogDebug("The system's default language is not available; using the built-in texts");
    });

    RenderJob::SetExploreFolder(RenderJob::ExploreFolderFunc(&wxExploreFolder));
}

wxDravikApp::~wxDravikApp()
{
    s_ProcessingTarget.store(nullptr);
    s_Executable.reset();
}

bool wxDravikApp::OnInit()
{
    const String program = argc > 0 ? wxsFromWx(argv[0]) : String();
    String logPath;
    File::Startup(program, logPath);
    SetLogFolder(Path(logPath).Parent());
    s_Executable->SetStarted(true);

    delete wxLog::SetActiveTarget(new wxDravikLog);
    wxLogStatus("Set wxLog to use Xolib Log");

    // Whatever a main loop before this one left behind, the messenger thread
    // starts with the truth about the main window.
    s_HasMainWindow = GetTopWindow() != nullptr;

    ShutdownMsg::s_Signal.Connect(this, &wxDravikApp::OnShutdownMsg);
    MessageReceivedEvt::Signal().Connect(this, &wxDravikApp::_CheckReceive);
    MessengerConnectedEvt::Signal().Connect(this, &wxDravikApp::_Connect);
    MessengerDisconnectedEvt::Signal().Connect(this, &wxDravikApp::_Disconnect);
    SetMainThreadInvoker([](const boost::function<void()>& work) {
        if (wxTheApp)
            wxTheApp->CallAfter(work);
    });

    wxSystemOptions::SetOption("msw.notebook.themed-background", 0);

    xolib::vector<String> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(wxsFromWx(argv[i]));
    CommandLine commandLine(arguments);
    // The toolkit's application name is the one the host set, else the
    // executable's: programs of the suite never share options or sockets.
    AdoptProgramName(wxsFromWx(GetAppName()));
    bool started;
    {
        OptionsFile::PauseAutoWrite pause(DravikApp::GetOptions());
        started = Startup(commandLine);
    }

    if (started)
    {
        wxToolTip::Enable(true);
        wxToolTip::SetAutoPop(10000);
        wxToolTip::SetDelay(330);
        wxToolTip::SetReshow(0);
        m_StartupDone.Emit();
        return true;
    }

    if (m_ShowStartupError)
    {
        const wxString text = wxString::Format(
            _("%s (%s) failed to start:\n\nPlease check the following:\n1. Dravik is correctly installed and "
              "all libraries and modules are accessible\n\n2. The current user '%s' has permission to create "
              "and delete log files in the folder:\n%s\n\nCheck the startup log file for more information:\n%s"),
            wxsToWx(GetName()), wxsToWx(program), wxsToWx(Platform::GetCurrentUserName()),
            wxsToWx(GetLogFolder().GetString()), wxsToWx(Log::s_GlobalLog.GetPath().GetString()));
        wxMessageBox(text, _("Startup Error"), wxOK | wxCENTRE, nullptr);
    }
    Cleanup();
    m_ExitDone.Emit();
    return false;
}

int wxDravikApp::OnRun()
{
    for (;;)
    {
        try
        {
            // Work queued before an exception ended the last loop must run
            // in the new one, so make sure idle processing is scheduled.
            WakeUpIdle();
            return wxApp::OnRun();
        }
        catch (Exception* exception)
        {
            const bool keepRunning = OnException(exception);
            delete exception;
            if (!keepRunning)
                return 0;
        }
        catch (...)
        {
            if (!OnException(nullptr))
                return 0;
        }
    }
}

bool wxDravikApp::OnExceptionInMainLoop()
{
    // Every exception that escapes a handler ends the loop and reaches OnRun.
    throw;
}

int wxDravikApp::OnExit()
{
    try
    {
        m_ExitBegins.Emit();
        _ClearOpenWindows();
        int result;
        {
            OptionsFile::PauseAutoWrite pause(DravikApp::GetOptions());
            Cleanup();
            result = wxApp::OnExit();
        }
        HasSlots<ThreadPolicy::LocalThreaded>::DisconnectAll();
        m_MessageTimer.reset();
        s_MessagesAnnounced = false;
        m_ExitDone.Emit();
        return result;
    }
    catch (Exception* exception)
    {
        delete exception;
        return 1;
    }
    catch (...)
    {
        return 1;
    }
}

wxAppTraits* wxDravikApp::CreateTraits()
{
    return new wxsTraits;
}

bool wxDravikApp::Execute()
{
    return false;
}

bool wxDravikApp::RequestHasFailed(const String& text)
{
    wxDravikMessageBox(wxString("Master reports error:\n") + wxsToWx(text), "RequestFailed", nullptr);
    return false;
}

void wxDravikApp::ProcessNextMessage()
{
    wxDravikApp* target = s_ProcessingTarget.load();
    if (IsTargetCurrent(target))
        target->DispatchMessage();
}

void wxDravikApp::OnMessage(wxCommandEvent&)
{
    _DispatchBatch();
}

bool wxDravikApp::IsMessageProcessingEnabled() const
{
    wxDravikApp* target = s_ProcessingTarget.load();
    if (target)
        return IsTargetCurrent(target);
    return Application::the_Application == nullptr;
}

void wxDravikApp::EnableMessageProcessing()
{
    s_ProcessingTarget.store(dynamic_cast<wxDravikApp*>(Application::the_Application));
    // Messages that waited while processing was off are not left waiting for
    // the next one to arrive.
    if (wxIsMainThread())
        _AnnounceWaitingMessages();
}

void wxDravikApp::DisableMessageProcessing()
{
    s_ProcessingTarget.store(nullptr);
}

void wxDravikApp::_CheckReceive(MessageReceivedEvt& event)
{
    if (!s_HasMainWindow.load())
    {
        BridgeDebug("... Ignoring MessageReceivedEvt because app has no top window");
        _RequestMainWindowCheck();
        return;
    }
    if (ThreadPool::IsReady() && s_ProcessingTarget.load())
    {
        BridgeDebug("... Received message: initiating deferred processing");
        boost::shared_ptr<Message> message = event.TakeMessage();
        wxDravikApp* target = s_ProcessingTarget.load();
        if (!message)
            return;
        if (target)
            target->CallMessageHandlers(message);
        else
            // Processing was switched off after the message was taken: hand
            // it back so it waits like any other instead of being dropped.
            RequeueMessage(message);
        return;
    }
    if (s_MessagesAnnounced.exchange(true))
        return;  // the announcement on its way covers this message too
    BridgeDebug("... Received message: translating to wxDRAVIK_MESSAGE_EVENT");
    _PostToMainWindow(wxDRAVIK_MESSAGE_EVENT);
}

void wxDravikApp::_PostToMainWindow(int eventType)
{
    // Queued on the application, which outlives every window, and handed to
    // the main window on the GUI thread: the main window may be destroyed
    // between this thread's look-up and the event's delivery.
    CallAfter([this, eventType] {
        wxCommandEvent event(eventType, 0);
        const int batchesBefore = m_BatchCount;
        if (wxWindow* main = GetTopWindow())
        {
            event.SetEventObject(main);
            main->GetEventHandler()->ProcessEvent(event);  // reaches the application last
        }
        else
            ProcessEvent(event);
        // A host handler that swallowed the message event must not leave the
        // announcement hanging: nothing would be announced again.
        if (eventType == wxDRAVIK_MESSAGE_EVENT && m_BatchCount == batchesBefore)
            _DispatchBatch();
    });
}

void wxDravikApp::_DispatchBatch()
{
    ++m_BatchCount;
    wxDravikApp* target = s_ProcessingTarget.load();
    if (IsTargetCurrent(target))
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(k_MessageBatchMs);
        for (int dispatched = 0; dispatched < k_MessageBatchSize; ++dispatched)
        {
            if (!target->DispatchMessage() || std::chrono::steady_clock::now() >= deadline)
                break;
            // A handler may switch processing off.
            target = s_ProcessingTarget.load();
            if (!IsTargetCurrent(target))
                break;
        }
    }
    // Messages that arrived during the batch found it announced and posted
    // nothing: look again after clearing, or they would wait unannounced.
    s_MessagesAnnounced = false;
    _AnnounceWaitingMessages();
}

void wxDravikApp::_AnnounceWaitingMessages()
{
    if (GetWaitingMessageCount() == 0)
        return;
    if (!s_HasMainWindow.load())
    {
        _StartMessageTimer(k_MainWindowPollMs);
        return;
    }
    // While processing is off the messages wait; enabling it announces them.
    if (!IsTargetCurrent(s_ProcessingTarget.load()))
        return;
    if (!s_MessagesAnnounced.exchange(true))
        _StartMessageTimer(k_NextBatchMs);
}

void wxDravikApp::_UpdateMainWindow()
{
    s_HasMainWindow = GetTopWindow() != nullptr;
    if (s_HasMainWindow.load())
        _AnnounceWaitingMessages();
}

void wxDravikApp::_RequestMainWindowCheck()
{
    if (s_MainWindowCheckQueued.exchange(true))
        return;
    CallAfter([this] {
        s_MainWindowCheckQueued = false;
        _UpdateMainWindow();
        if (!s_HasMainWindow.load())
            _AnnounceWaitingMessages();  // keeps looking while messages wait
    });
}

void wxDravikApp::_StartMessageTimer(int ms)
{
    if (!m_MessageTimer)
        m_MessageTimer = std::make_unique<wxTimer>(this, k_MessageTimerId);
    // A batch due sooner is not put off by a slower look for the main window.
    if (m_MessageTimer->IsRunning() && m_MessageTimer->GetInterval() <= ms)
        return;
    m_MessageTimer->StartOnce(ms);
}

void wxDravikApp::_OnMessageTimer(wxTimerEvent&)
{
    if (s_MessagesAnnounced.load())
        _DispatchBatch();
    else
        _UpdateMainWindow();
}

void wxDravikApp::_OnIdle(wxIdleEvent& event)
{
    event.Skip();
    _UpdateMainWindow();
}

void wxDravikApp::_LinkChanged(int eventType, const char* postedLine, const char* ignoredLine)
{
    // Whether there is a main window is decided on the GUI thread, when the
    // event is delivered; this thread never looks at the toolkit's windows.
    CallAfter([this, eventType, postedLine, ignoredLine] {
        wxWindow* main = GetTopWindow();
        BridgeDebug(main ? postedLine : ignoredLine);
        if (!main)
            return;
        wxCommandEvent event(eventType, 0);
        event.SetEventObject(main);
        main->GetEventHandler()->ProcessEvent(event);
    });
    // Whichever way the link went, dialogs opened for the old state go.
    wxDravikDlg::CloseAllFromNonGuiThread();
}

void wxDravikApp::_Connect(MessengerConnectedEvt&)
{
    _LinkChanged(wxDRAVIK_CONNECT_EVENT, "... Messenger Connected: translating to wxDRAVIK_CONNECT_EVENT",
                 "... Ignoring MessageConnectedEvt because app has no top window");
}

void wxDravikApp::_Disconnect(MessengerDisconnectedEvt&)
{
    _LinkChanged(wxDRAVIK_DISCONNECT_EVENT, "... Messenger Disconnected: translating to wxDRAVIK_DISCONNECT_EVENT",
                 "... Ignoring MessageDisconnectedEvt because app has no top window");
}

void wxDravikApp::OnShutdownMsg(const boost::shared_ptr<ShutdownMsg>&)
{
    LogSystem("Received Shutdown request");
    s_Executable->Signal(0);
}

void wxDravikApp::_EndSession(wxCloseEvent&)
{
    LogSystem("Notified of user request to log out or shut down the system");
    s_Executable->Signal(0);
}

void wxDravikApp::KeyboardHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == 'C' && event.ControlDown() && event.ShiftDown())
    {
        wxWindow* window = s_LastActivated.get();
        if (!window)
            window = GetTopWindow();
        if (window)
            window->Centre(wxBOTH | wxCENTRE_ON_SCREEN);
        return;
    }
    event.Skip();
}

void wxDravikApp::ActivateEvent(wxActivateEvent& event)
{
    event.Skip();
    wxWindow* window = dynamic_cast<wxWindow*>(event.GetEventObject());
    if (event.GetActive())
        s_LastActivated = window;
    else if (window && window == s_LastActivated.get())
        s_LastActivated = nullptr;
}
