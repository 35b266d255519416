// Peer program of the two-process colour test: a program of the suite with
// one colour-managed window. It reports on stdout when it is ready and each
// time its window takes new colours, and ends when stdin closes (or after a
// minute, should the test die first).
//
// The request "BUSY" keeps its GUI thread busy until the line "FREE" arrives
// on stdin (at most 30 s), saying "BUSY" and "FREE" on stdout as it starts and
// ends. While busy, requests whose client stopped waiting are reported as
// "WAITING <log line>".
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <wx/panel.h>
#include <wx/thread.h>
#include <wx/timer.h>

#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxdravikframe.h"

namespace
{
/// The main frame: it loads "Colors.ini" and answers "COLORS" itself.
class PeerFrame : public wxDravikFrame
{
public:
    PeerFrame() : wxDravikFrame("colors peer", wxDefaultPosition, wxSize(300, 200)) {}
};

class PeerPanel : public wxPanel, public wxsColorManaged
{
public:
    explicit PeerPanel(wxWindow* parent) : wxPanel(parent) { Manage(this); }
};

void Report(const char* what, const wxWindow* window)
{
    const wxColour background = window->GetBackgroundColour();
    std::printf("%s scheme %d BG %d %d %d\n", what, int(wxsSetColorScheme(SCHEME_QUERY)), background.Red(),
                background.Green(), background.Blue());
    std::fflush(stdout);
}

/// Blocks the calling (GUI) thread until "FREE" arrives on stdin, stdin ends
/// or 30 s pass.
bool BeBusy(const String&)
{
    std::printf("BUSY\n");
    std::fflush(stdout);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string input;
    while (input.find("FREE") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    {
        pollfd ready = {STDIN_FILENO, POLLIN, 0};
        if (poll(&ready, 1, 100) != 1)
            continue;
        char buffer[64];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0)
            break;
        input.append(buffer, size_t(got));
    }
    std::printf("FREE\n");
    std::fflush(stdout);
    return true;
}

/// True once stdin has reached its end (or failed).
bool StdinClosed()
{
    pollfd input = {STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0)
        return false;
    char buffer[256];
    return read(STDIN_FILENO, buffer, sizeof buffer) <= 0;
}

class PeerApp : public wxDravikApp
{
public:
    bool OnInit() override
    {
        m_ShowStartupError = false;
        if (!wxDravikApp::OnInit())
        {
            std::printf("FAILED\n");
            std::fflush(stdout);
            return false;
        }
        AddPipeHandler("BUSY", &BeBusy);
        Log::s_GlobalLog.SetLevel(LOG_DEBUG);
        m_LogObserver = Log::s_GlobalLog.AddObserver([](LogLevel, const String& text) {
            if (text.Find("stopped waiting") >= 0)
            {
                std::printf("WAITING %s\n", text.c_str());
                std::fflush(stdout);
            }
        });

        PeerFrame* frame = new PeerFrame;  // top-level: the toolkit owns it
        m_Panel = new PeerPanel(frame);
        // Reported once the whole change is through, from the GUI thread's
        // queue, so the line shows the colours the change left behind.
        m_Panel->Bind(wxEVT_SYS_COLOUR_CHANGED, [this](wxSysColourChangedEvent& event) {
            event.Skip();
            const char* what = wxThread::IsMain() ? "CHANGED gui" : "CHANGED other";
            CallAfter([this, what] { Report(what, m_Panel); });
        });
        Report("READY", m_Panel);

        m_Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        m_Watch.SetOwner(this);
        Bind(wxEVT_TIMER, &PeerApp::OnWatch, this);
        m_Watch.Start(20);
        return true;
    }

    int OnExit() override
    {
        Log::s_GlobalLog.RemoveObserver(m_LogObserver);
        return wxDravikApp::OnExit();
    }

private:
    void OnWatch(wxTimerEvent&)
    {
        if (!StdinClosed() && std::chrono::steady_clock::now() < m_Deadline)
            return;
        m_Watch.Stop();
        if (wxWindow* top = GetTopWindow())
            top->Destroy();  // the last frame gone ends the main loop
        else
            ExitMainLoop();
    }

    wxWindow* m_Panel = nullptr;
    int m_LogObserver = 0;
    wxTimer m_Watch;
    std::chrono::steady_clock::time_point m_Deadline;
};
}

wxIMPLEMENT_APP(PeerApp);
