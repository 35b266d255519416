#include "wxdravik/wxdravikapp.h"

#include <atomic>
#include <memory>
#include <mutex>

#include <wx/intl.h>
#include <wx/msgdlg.h>
#include <wx/sysopt.h>
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

wxWindow* MainWindow()
{
    return wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
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
    if (code == 0 && s_ProcessingTarget.load() && MainWindow())
    {
        // The close is delivered on the GUI thread, where the main window is
        // looked up again: it may have gone since this (any) thread asked.
        wxTheApp->CallAfter([] {
            wxWindow* main = MainWindow();
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
    s_Executable->SetStarted(true);

    delete wxLog::SetActiveTarget(new wxDravikLog);
    wxLogStatus("Set wxLog to use Xolib Log");

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
    ProcessNextMessage();
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
}

void wxDravikApp::DisableMessageProcessing()
{
    s_ProcessingTarget.store(nullptr);
}

void wxDravikApp::_CheckReceive(MessageReceivedEvt& event)
{
    if (!MainWindow())
    {
        LogDebug("... Ignoring MessageReceivedEvt because app has no top window");
        return;
    }
    if (ThreadPool::IsReady() && s_ProcessingTarget.load())
    {
        LogDebug("... Received message: initiating deferred processing");
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
    LogDebug("... Received message: translating to wxDRAVIK_MESSAGE_EVENT");
    _PostToMainWindow(wxDRAVIK_MESSAGE_EVENT);
}

void wxDravikApp::_PostToMainWindow(int eventType)
{
    // Queued on the application, which outlives every window, and handed to
    // the main window on the GUI thread: the main window may be destroyed
    // between this thread's look-up and the event's delivery.
    CallAfter([this, eventType] {
        wxCommandEvent event(eventType, 0);
        if (wxWindow* main = GetTopWindow())
        {
            event.SetEventObject(main);
            main->GetEventHandler()->ProcessEvent(event);  // reaches the application last
        }
        else
            ProcessEvent(event);
    });
}

void wxDravikApp::_LinkChanged(int eventType, const char* postedLine, const char* ignoredLine)
{
    if (MainWindow())
    {
        LogDebug(postedLine);
        _PostToMainWindow(eventType);
    }
    else
        LogDebug(ignoredLine);
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
