// The demo host program: a small farm monitor built on the library. It runs
// against the embedded simulated master unless "--master HOST:PORT" is given.
//
// The main window shows a summary board above a notebook of two pages: every
// message received, and the jobs (filter words, the job's commands on a right
// click, a job and a product to pick). It remembers its placement, column
// widths and the notebook's arrangement between runs; Farm > Jobs window opens a secondary window with the jobs and their tasks in
// a tree, and the Window menu lists the open windows.
//
// "--screenshots DIR": once a few messages have arrived, save the main window
// (its messages page, then its jobs page filtered), the jobs window and the
// log window as PNG files into DIR, then ask the master to shut this
// program down, which ends it through the same orderly path as a real
// shutdown request.
#include <algorithm>

#include <wx/dcmemory.h>
#include <wx/dcclient.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/weakref.h>


#include "draviklib/simulated_master.h"
#include "farm_lists.h"
#include "farm_views.h"
#include "jobs_page.h"
#include "jobs_window.h"
#include "message_board.h"
#include "screen_read.h"
#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxsnotebook.h"
#include "wxdravik/wxstextctrl.h"
#include "wxdravik/wxtextlinectrl.h"

namespace
{
const int k_ShotTimerId = 100;
const int k_JobsWindowId = 101;
const int k_LogWindowId = 102;
const int k_MessagesBeforeShots = 12;
const int k_ShotDeadlineTicks = 60;  // ticks of 250 ms: give up waiting after 15 s

/// The window as it stands on the screen, menu and status bar included;
/// false when the screen cannot be read.
bool SaveWindowShot(wxWindow& window, const wxString& path)
{
    const wxRect rect = window.GetScreenRect();
    if (rect.IsEmpty() || !window.IsShownOnScreen())
        return false;
    const wxBitmap bitmap = ReadScreen(rect);
    return bitmap.IsOk() && bitmap.ConvertToImage().SaveFile(path, wxBITMAP_TYPE_PNG);
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

/// A status bar in the scheme's colours: the toolkit's own keeps the
/// desktop's, where the scheme's text colour may not show.
class SchemeStatusBar : public wxStatusBar, public wxsColorManaged
{
public:
    explicit SchemeStatusBar(wxWindow* parent) : wxStatusBar(parent, wxID_ANY)
    {
        Manage(this);
        SetBGColor(COLOR_BACKGROUND_LIGHT);
        RefreshColors();
    }
};

/// The menu bar owns its menus and the library owns the open-windows menu,
/// so the Window menu takes a copy of its items each time it opens.
void CopyOpenWindowsMenu(wxMenu& target)
{
    while (target.GetMenuItemCount() > 0)
        target.Destroy(target.FindItemByPosition(0));
    for (const wxMenuItem* item : wxGetOpenWindowMenu()->GetMenuItems())
    {
        if (item->IsSeparator())
        {
            target.AppendSeparator();
            continue;
        }
        wxMenuItem* copy = target.Append(item->GetId(), item->GetItemLabel(), item->GetHelp(), item->GetKind());
        copy->Enable(item->IsEnabled());
    }
}
}

class DemoFrame : public wxDravikFrame
{
public:
    DemoFrame(const wxString& screenshots)
        : wxDravikFrame("wxDravik demo", wxDefaultPosition, wxSize(900, 720)),
          m_Screenshots(screenshots), m_ShotTimer(this, k_ShotTimerId)
    {
        auto* farm = new wxMenu;  // owned by the menu bar
        farm->Append(k_JobsWindowId, "&Jobs window\tCtrl+J", "Show the farm's jobs in a window of their own");
        farm->Append(k_LogWindowId, "&Log window\tCtrl+L", "Show every message as a searchable log");
        farm->AppendSeparator();
        farm->Append(wxID_EXIT, "E&xit");
        m_WindowMenu = new wxMenu;  // owned by the menu bar
        CopyOpenWindowsMenu(*m_WindowMenu);
        auto* bar = new wxMenuBar;  // owned by the frame
        bar->Append(farm, "&Farm");
        bar->Append(m_WindowMenu, "&Window");
        SetMenuBar(bar);

        m_Board = new MessageBoard(this);     // owned by the frame
        m_Engines = new EnginePanel(this);   // owned by the frame
        // The pages: the user may drag them into groups side by side, which
        // the notebook remembers.
        m_Book = new wxsNotebook(this, wxID_ANY, "DemoMainNotebook");  // owned by the frame
        m_Messages = new MessageList(m_Book);                          // owned by the notebook
        m_JobsPage = new JobsPage(m_Book);                             // owned by the notebook
        m_Book->AddPage(m_Messages, "Messages", true);
        m_Book->AddPage(m_JobsPage, "Jobs");
        m_Book->LoadLayout();
        auto* top = new wxBoxSizer(wxHORIZONTAL);
        top->Add(m_Board, 1, wxEXPAND);
        top->Add(m_Engines, 0, wxEXPAND);
        auto* sizer = new wxBoxSizer(wxVERTICAL);
        sizer->Add(top, 0, wxEXPAND);
        sizer->Add(m_Book, 1, wxEXPAND);
        SetSizer(sizer);
        SetStatusBar(new SchemeStatusBar(this));  // owned by the frame
        // The message count on the left, what the user did on the right.
        const int widths[] = {-1, -2};
        GetStatusBar()->SetFieldsCount(2, widths);
        // The link may have come up before this window existed.
        const bool connected = wxGetDravikApp()->IsConnected();
        m_Board->SetConnected(connected);
        SetStatusText(connected ? "Connected" : "Waiting for the master");
        if (!m_Screenshots.empty())
            m_ShotTimer.Start(250);
        m_HandlerId = wxGetDravikApp()->AddMessageHandler(
            [this](const boost::shared_ptr<Message>& message) { OnFarmMessage(message); });
        FinishedBuilding();
        // Where the user left the window last time, on a screen that still exists.
        LoadWindowPosition();
    }

    void ShowLogWindow()
    {
        if (!m_Log)
        {
            m_Log = new LogWindow;  // a secondary frame: destroyed with this one
            // What arrived before the window opened, as far as the list keeps it.
            for (int row = 0; row < m_Messages->GetRowCount(); ++row)
                m_Log->AddMessage(m_Messages->GetMessageAt(row));
        }
        m_Log->Show();
        m_Log->Raise();
    }

    void ShowJobsWindow()
    {
        if (!m_Jobs)
            m_Jobs = new JobsWindow;  // a secondary frame: destroyed with this one
        m_Jobs->Show();
        m_Jobs->Raise();
    }

    ~DemoFrame() override { wxGetDravikApp()->RemoveMessageHandler(m_HandlerId); }

    void OnFarmMessage(const boost::shared_ptr<Message>& message)
    {
        m_Board->AddMessage(*message);
        m_Messages->AddMessage(*message);
        if (message->GetKind() == Message::KIND_ENGINE)
            m_Engines->AddMessage(*message);
        if (m_Log)
            m_Log->AddMessage(*message);
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
        SaveWindowPosition();
        Destroy();
    }
    void OnJobsWindow(wxCommandEvent&) { ShowJobsWindow(); }
    void OnLogWindow(wxCommandEvent&) { ShowLogWindow(); }
    void OnExit(wxCommandEvent&) { Close(); }
    void OnMenuOpen(wxMenuEvent& event)
    {
        event.Skip();
        if (event.GetMenu() == m_WindowMenu)
            CopyOpenWindowsMenu(*m_WindowMenu);
    }
    /// Beside the main window rather than over it, on the screen.
    void PlaceBeside(wxWindow& window)
    {
        const int right = wxGetDisplaySize().x - window.GetSize().x;
        window.Move(std::max(0, std::min(GetScreenRect().GetRight() + 12, right)), GetScreenRect().GetTop());
    }

    void OnShotTimer(wxTimerEvent&)
    {
        ++m_ShotTicks;
        switch (m_ShotStage)
        {
        case 0:
            if (m_Board->GetMessageCount() < k_MessagesBeforeShots && m_ShotTicks < k_ShotDeadlineTicks)
                return;
            ShowJobsWindow();
            PlaceBeside(*m_Jobs);
            m_Jobs->GetList()->Activate(0);  // the first job's tasks in view
            break;
        case 1:
            if (m_ShotTicks < 4)  // a moment to paint
                return;
            if (m_Jobs)
                SaveShot(*m_Jobs, "demo-jobs.png", nullptr);
            ShowLogWindow();
            PlaceBeside(*m_Log);
            m_Log->GetViewer()->ToggleSearch();
            m_Log->GetViewer()->Search("engine", true, false);
            break;
        case 2:
            if (m_ShotTicks < 4)
                return;
            if (m_Log)
                SaveShot(*m_Log, "demo-log.png", nullptr);
            break;
        case 3:
            // The main window once a few engines have drawn some history,
            // with nothing in front of it.
            if (m_Engines->GetEngineCount() < 3 && m_ShotTicks < k_ShotDeadlineTicks)
                return;
            for (wxWindow* other : {static_cast<wxWindow*>(m_Jobs.get()), static_cast<wxWindow*>(m_Log.get())})
                if (other)
                    other->Hide();
            break;
        case 4:
            if (m_ShotTicks < 2)
                return;
            SaveShot(*this, "demo-main.png", m_Board);
            // The jobs page, narrowed to the running jobs by filter words.
            m_Book->SetSelection(m_Book->GetPageIndex(m_JobsPage));
            m_JobsPage->GetFilterField()->SetValue("running");
            break;
        default:
            if (m_ShotTicks < 4)
                return;
            SaveShot(*this, "demo-jobs-page.png", nullptr);
            m_ShotTimer.Stop();
            // End through the master's shutdown request, as a farm operator would.
            if (SimulatedMaster* master = wxGetDravikApp()->GetSimulatedMaster())
                master->SendShutdown("demo finished");
            else
                Close();
            return;
        }
        ++m_ShotStage;
        m_ShotTicks = 0;
    }

    void SaveShot(wxWindow& window, const wxString& name, const MessageBoard* fallback)
    {
        const wxString path = wxFileName(m_Screenshots, name).GetFullPath();
        if (SaveWindowShot(window, path) || (fallback && SaveBoardShot(*fallback, path)))
            LogSystem(String("Demo screenshot saved: ") + wxsFromWx(path));
        else
            LogWarning(String("Demo screenshot could not be saved: ") + wxsFromWx(path));
    }

    wxString m_Screenshots;
    MessageBoard* m_Board;
    MessageList* m_Messages;
    wxsNotebook* m_Book;
    JobsPage* m_JobsPage;
    wxMenu* m_WindowMenu;
    EnginePanel* m_Engines;
    wxWeakRef<JobsWindow> m_Jobs;  // closed by the user at any time
    wxWeakRef<LogWindow> m_Log;
    wxTimer m_ShotTimer;
    int m_ShotTicks = 0;
    int m_ShotStage = 0;
    int m_HandlerId = 0;

    wxDECLARE_EVENT_TABLE();
};

// clang-format off
wxBEGIN_EVENT_TABLE(DemoFrame, wxDravikFrame)
    EVT_COMMAND(wxID_ANY, wxDRAVIK_CONNECT_EVENT, DemoFrame::OnConnect)
    EVT_COMMAND(wxID_ANY, wxDRAVIK_DISCONNECT_EVENT, DemoFrame::OnDisconnect)
    EVT_CLOSE(DemoFrame::OnClose)
    EVT_TIMER(k_ShotTimerId, DemoFrame::OnShotTimer)
    EVT_MENU(k_JobsWindowId, DemoFrame::OnJobsWindow)
    EVT_MENU(k_LogWindowId, DemoFrame::OnLogWindow)
    EVT_MENU(wxID_EXIT, DemoFrame::OnExit)
    EVT_MENU_OPEN(DemoFrame::OnMenuOpen)
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
