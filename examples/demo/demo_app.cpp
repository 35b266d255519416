// The demo host program: a small farm monitor built on the library. It runs
// against the embedded simulated master unless "--master HOST:PORT" is given.
//
// "--screenshots DIR": once a few messages have arrived, save the main window
// as PNG files into DIR, then ask the master to shut this program down, which
// ends it through the same orderly path as a real shutdown request.
#include <wx/dcmemory.h>
#include <wx/dcclient.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/timer.h>

#include "draviklib/simulated_master.h"
#include "message_board.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikstring.h"

namespace
{
const int k_ShotTimerId = 100;
const int k_MessagesBeforeShots = 12;
const int k_ShotDeadlineTicks = 60;  // ticks of 250 ms: give up waiting after 15 s

/// The window as it stands on the screen; false when the screen cannot be read.
bool SaveWindowShot(wxWindow& window, const wxString& path)
{
    const wxRect rect = window.GetScreenRect();
    if (rect.IsEmpty() || !window.IsShownOnScreen())
        return false;
    wxBitmap bitmap(rect.GetSize());
    {
        wxWindowDC source(&window);
        wxMemoryDC dc(bitmap);
        if (!dc.Blit(0, 0, rect.width, rect.height, &source, 0, 0))
            return false;
    }
    return bitmap.ConvertToImage().SaveFile(path, wxBITMAP_TYPE_PNG);
}

/// The board's own drawing, for when the screen cannot be read.
bool SaveBoardShot(const MessageBoard& board, const wxString& path)
{
    const wxSize size = board.GetClientSize().x > 0 ? board.GetClientSize() : board.GetMinSize();
    wxBitmap bitmap(size);
    {
        wxMemoryDC dc(bitmap);
        board.Draw(dc, size);
    }
    return bitmap.ConvertToImage().SaveFile(path, wxBITMAP_TYPE_PNG);
}
}

class DemoFrame : public wxFrame
{
public:
    DemoFrame(const wxString& screenshots)
        : wxFrame(nullptr, wxID_ANY, "wxDravik demo", wxDefaultPosition, wxSize(640, 520)),
          m_Screenshots(screenshots), m_ShotTimer(this, k_ShotTimerId)
    {
        m_Board = new MessageBoard(this);  // owned by the frame
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(m_Board, 1, wxEXPAND);
        SetSizer(sizer);
        CreateStatusBar();
        // The link may have come up before this window existed.
        const bool connected = wxGetDravikApp()->IsConnected();
        m_Board->SetConnected(connected);
        SetStatusText(connected ? "Connected" : "Waiting for the master");
        if (!m_Screenshots.empty())
            m_ShotTimer.Start(250);
        m_HandlerId = wxGetDravikApp()->AddMessageHandler(
            [this](const boost::shared_ptr<Message>& message) { OnFarmMessage(message); });
    }

    ~DemoFrame() override { wxGetDravikApp()->RemoveMessageHandler(m_HandlerId); }

    void OnFarmMessage(const boost::shared_ptr<Message>& message)
    {
        m_Board->AddMessage(*message);
        SetStatusText(wxString::Format("%d messages", m_Board->GetMessageCount()));
    }

private:
    void OnConnect(wxCommandEvent&)
    {
        m_Board->SetConnected(true);
        SetStatusText("Connected");
    }
    void OnDisconnect(wxCommandEvent&)
    {
        m_Board->SetConnected(false);
        SetStatusText("Disconnected");
    }
    void OnClose(wxCloseEvent&)
    {
        LogSystem("Demo main window closing");
        m_ShotTimer.Stop();
        Destroy();
    }
    void OnShotTimer(wxTimerEvent&)
    {
        ++m_ShotTicks;
        if (m_Board->GetMessageCount() < k_MessagesBeforeShots && m_ShotTicks < k_ShotDeadlineTicks)
            return;
        m_ShotTimer.Stop();
        const wxString path = wxFileName(m_Screenshots, "demo-main.png").GetFullPath();
        if (SaveWindowShot(*this, path) || SaveBoardShot(*m_Board, path))
            LogSystem(String("Demo screenshot saved: ") + wxsFromWx(path));
        else
            LogWarning(String("Demo screenshot could not be saved: ") + wxsFromWx(path));
        // End through the master's shutdown request, as a farm operator would.
        if (SimulatedMaster* master = wxGetDravikApp()->GetSimulatedMaster())
            master->SendShutdown("demo finished");
        else
            Close();
    }

    wxString m_Screenshots;
    MessageBoard* m_Board;
    wxTimer m_ShotTimer;
    int m_ShotTicks = 0;
    int m_HandlerId = 0;

    wxDECLARE_EVENT_TABLE();
};

// clang-format off
wxBEGIN_EVENT_TABLE(DemoFrame, wxFrame)
    EVT_COMMAND(wxID_ANY, wxDRAVIK_CONNECT_EVENT, DemoFrame::OnConnect)
    EVT_COMMAND(wxID_ANY, wxDRAVIK_DISCONNECT_EVENT, DemoFrame::OnDisconnect)
    EVT_CLOSE(DemoFrame::OnClose)
    EVT_TIMER(k_ShotTimerId, DemoFrame::OnShotTimer)
wxEND_EVENT_TABLE()
// clang-format on

class DemoApp : public wxDravikApp
{
public:
    // The demo is the suite's "DravikDemo": its options, log and request
    // socket carry that name, and colour changes of the other programs reach it.
    DemoApp() { SetAppName("DravikDemo"); }

    bool OnInit() override
    {
        if (!wxDravikApp::OnInit())
            return false;
        if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
            wxImage::AddHandler(new wxPNGHandler);  // the toolkit owns its handlers
        wxString screenshots;
        for (int i = 1; i + 1 < argc; ++i)
            if (argv[i] == "--screenshots")
                screenshots = argv[i + 1];
        if (!screenshots.empty() && !wxFileName::DirExists(screenshots))
            wxFileName::Mkdir(screenshots, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);

        auto* frame = new DemoFrame(screenshots);  // owned by the toolkit
        SetTopWindow(frame);
        frame->Show();
        return true;
    }
};

wxIMPLEMENT_APP(DemoApp);
