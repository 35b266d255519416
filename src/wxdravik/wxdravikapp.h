// The application object of the desktop programs, the bridge that carries the
// client library's messenger events onto the GUI thread, the toolkit log sink
// and the traits that install the library's renderer.
#pragma once

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/log.h>
#include <wx/toplevel.h>

#include <wx/timer.h>

#include <boost/shared_ptr.hpp>
#include <memory>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikdefs.h"

/// Posted (payload-free, id 0) when the master sent a message that waits to be
/// dispatched on the GUI thread.
WXDRAVIK_API extern const int wxDRAVIK_MESSAGE_EVENT;
/// Posted to the main window when the link to the master comes up.
WXDRAVIK_API extern const int wxDRAVIK_CONNECT_EVENT;
/// Posted to the main window when the link to the master goes down.
WXDRAVIK_API extern const int wxDRAVIK_DISCONNECT_EVENT;

/// The core library's stop-request handler: every stop request ends as an
/// ordinary close of the main window on the GUI thread.
class WXDRAVIK_API wxDravikExecutable : public Executable
{
public:
    explicit wxDravikExecutable(Application* application);
    int Signal(int code) override;
};

/// Routes the toolkit's log into the core log.
class WXDRAVIK_API wxDravikLog : public wxLog
{
protected:
    void DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo& info) override;
};

/// Maps a toolkit log level to the core log level the library passes on.
WXDRAVIK_API LogLevel wxDravikMapLogLevel(wxLogLevel level);

/// Traits that make the toolkit draw its native parts with the library's
/// renderer.
class WXDRAVIK_API wxsTraits : public wxGUIAppTraits
{
public:
    wxRendererNative* CreateRenderer() override;
};

/// Base of every desktop program's application object.
class WXDRAVIK_API wxDravikApp : public wxApp, public DravikClientApp
{
public:
    wxDravikApp();
    virtual ~wxDravikApp();

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;
    bool OnExceptionInMainLoop() override;
    wxAppTraits* CreateTraits() override;

    /// The toolkit's main loop replaces the client framework's: returns false.
    bool Execute() override;
    /// Shows the master's rejection to the user (switchable); returns false.
    bool RequestHasFailed(const String& text) override;

    /// Dispatches one waiting client message now, on the calling (GUI) thread.
    void ProcessNextMessage();

    /// Most messages one message event dispatches, and the time it may take
    /// them: the rest follow shortly after, once the toolkit has had its turn
    /// (timers, input, repaints), so no stream can starve the GUI.
    static constexpr int k_MessageBatchSize = 1000;
    static constexpr int k_MessageBatchMs = 8;
    bool IsMessageProcessingEnabled() const;
    void EnableMessageProcessing();
    void DisableMessageProcessing();

    /// Tracks the last activated top-level window; frames and dialogs route
    /// their own activation events here too.
    void ActivateEvent(wxActivateEvent& event);

protected:
    void OnShutdownMsg(const boost::shared_ptr<ShutdownMsg>& message);

    /// Whether a failed start-up is reported in a message box; a derived
    /// application clears it before OnInit for silent failures.
    bool m_ShowStartupError;

private:
    void _EndSession(wxCloseEvent& event);
    void _CheckReceive(MessageReceivedEvt& event);
    void _Connect(MessengerConnectedEvt& event);
    void _Disconnect(MessengerDisconnectedEvt& event);
    void KeyboardHook(wxKeyEvent& event);
    void OnMessage(wxCommandEvent& event);
    void _OnIdle(wxIdleEvent& event);
    void _OnMessageTimer(wxTimerEvent& event);

    /// Hands a bridge event to the main window on the GUI thread.
    void _PostToMainWindow(int eventType);
    /// The link to the master came up or went down.
    void _LinkChanged(int eventType, const char* postedLine, const char* ignoredLine);

    // GUI thread only.
    /// Dispatches a bounded batch of waiting messages, then lets the toolkit
    /// run before the next batch.
    void _DispatchBatch();
    /// Makes sure waiting messages get dispatched: now-ish when the main
    /// window exists and processing is enabled, else once both hold.
    void _AnnounceWaitingMessages();
    /// Re-reads whether a main window exists, for the messenger thread;
    /// announces waiting messages when one has appeared.
    void _UpdateMainWindow();
    /// Asks the GUI thread (from any thread) to look for the main window:
    /// messages are waiting that nobody announced.
    void _RequestMainWindowCheck();
    void _StartMessageTimer(int ms);

    std::unique_ptr<wxTimer> m_MessageTimer;  // made on first use, on the GUI thread
    int m_BatchCount = 0;                     // batches run, to notice a swallowed message event

    wxDECLARE_EVENT_TABLE();
};

/// The application object as wxDravikApp, or null.
WXDRAVIK_API wxDravikApp* wxGetDravikApp();
