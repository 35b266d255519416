#include "wxdravik/wxdravikframe.h"

#include <vector>

#include <wx/image.h>
#include <wx/weakref.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxdravikdlg.h"
#include "xolib/log.h"

namespace
{
const char* const k_WindowSection = "Window";
}

wxDravikFrame* wxDravikFrame::s_Frame = nullptr;
Signal0<ThreadPolicy::LocalThreaded> wxDravikFrame::s_WinClosed;
std::set<wxDravikFrame*> wxDravikFrame::s_Frames;
bool wxDravikFrame::s_MenuOpen = false;

// clang-format off
wxBEGIN_EVENT_TABLE(wxDravikFrame, wxFrame)
    EVT_MOVE(wxDravikFrame::OnMove)
    EVT_SIZE(wxDravikFrame::OnSize)
    EVT_MENU_HIGHLIGHT_ALL(wxDravikFrame::OnMenuOpen)
    EVT_MENU_CLOSE(wxDravikFrame::OnMenuClose)
    EVT_ACTIVATE(wxDravikFrame::OnActivate)
wxEND_EVENT_TABLE()
// clang-format on

wxDravikFrame::wxDravikFrame(wxWindow* parent, const wxString& title, long style)
    : wxFrame(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
              style | wxCAPTION | wxFRAME_FLOAT_ON_PARENT | wxFRAME_TOOL_WINDOW)
{
    Manage(this);
}

wxDravikFrame::wxDravikFrame(const wxString& title, const wxPoint& position, const wxSize& size, long style)
    : wxFrame(s_Frame, wxID_ANY, title, position, size, style)  // no parent for the main frame
{
    if (!s_Frame)
    {
        s_Frame = this;
        static bool s_ProgramSetUp = false;
        if (!s_ProgramSetUp)
        {
            s_ProgramSetUp = true;
            // The host may have installed every handler already; a second PNG
            // handler would only be refused.
            if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
                wxImage::AddHandler(new wxPNGHandler);  // owned by the toolkit's handler list
            wxsLoadColorScheme();
        }
        RegisterColorRequestHandler();
    }
    else
    {
        s_Frames.insert(this);
        // All of the main frame's icons: GetIcon() alone answers only an
        // icon of the system's size.
        const wxIconBundle& icons = s_Frame->GetIcons();
        if (!icons.IsEmpty())
            SetIcons(icons);
    }
    Manage(this);
}

wxDravikFrame::~wxDravikFrame()
{
    if (s_Frame == this)
    {
        s_Frame = nullptr;
        // One at a time: a destructor may delete other frames of the set.
        while (!s_Frames.empty())
        {
            wxDravikFrame* frame = *s_Frames.begin();
            s_Frames.erase(s_Frames.begin());
            delete frame;
        }
    }
    else
    {
        s_Frames.erase(this);
    }
    s_WinClosed.Emit();
}

void wxDravikFrame::FinishedBuilding()
{
    m_FinishedBuilding = true;
}

bool wxDravikFrame::SIsGuiBuilt()
{
    return s_Frame && s_Frame->IsFinishedBuilding();
}

void wxDravikFrame::SaveWindowPosition() const
{
    OptionsFile& options = DravikApp::GetOptions();
    OptionsFile::PauseAutoWrite pause(options);
    options.InsertSection(k_WindowSection);
    // The normal size, so that a maximized frame comes back at its own size.
    options.SetValue(k_WindowSection, "Window",
                     SFormat("%d, %d, %d, %d", m_CurrentPosition.x, m_CurrentPosition.y, m_RestoredSize.x,
                             m_RestoredSize.y));
    options.SetValue(k_WindowSection, "IsMinimized", IsIconized());
    options.SetValue(k_WindowSection, "IsMaximized", m_IsMaximized);
    options.SetValue(k_WindowSection, "IsFullScreen", m_IsFullScreen);
}

void wxDravikFrame::LoadWindowPosition()
{
    wxSetWindowPos(this, "Window", 0);
    m_CurrentPosition = GetPosition();
    m_CurrentSize = GetSize();
    m_RestoredSize = m_CurrentSize;
    const OptionsFile& options = DravikApp::GetOptions();
    m_IsMaximized = options.GetValue(k_WindowSection, "IsMaximized", false);
    m_IsFullScreen = options.GetValue(k_WindowSection, "IsFullScreen", false);
    // A frame never opens minimized.
    Maximize(m_IsMaximized);
    ShowFullScreen(m_IsFullScreen, wxFULLSCREEN_ALL);
}

bool wxDravikFrame::IsMenuOpen()
{
    return s_MenuOpen;
}

void wxDravikFrame::SizeHasChanged(const wxSize&, const wxSize&, bool) {}
void wxDravikFrame::PositionHasChanged(const wxPoint&, const wxPoint&) {}

void wxDravikFrame::OnSize(wxSizeEvent& event)
{
    event.Skip();  // the toolkit lays the frame out as usual
    if (!m_FinishedBuilding)
    {
        LogDebug("Size event ignored because gui is not finished building");
        return;
    }
    if (event.GetSize() == m_CurrentSize)
    {
        LogDebug("Size event ignored because it is a duplicate event");
        return;
    }
    const wxSize oldSize = m_CurrentSize;
    m_CurrentSize = event.GetSize();
    const bool maximized = IsMaximized();
    const bool fullScreen = IsFullScreen();
    const bool restoring = (m_IsMaximized && !maximized) || (m_IsFullScreen && !fullScreen);
    m_IsMaximized = maximized;
    m_IsFullScreen = fullScreen;
    // Without a normal size seen yet (built maximized, never loaded) there is
    // nothing to come back to: the toolkit's size stands.
    const bool knowsRestoredSize = m_RestoredSize.x > 0 && m_RestoredSize.y > 0;
    if (restoring && knowsRestoredSize && m_CurrentSize != m_RestoredSize)
    {
        // The resize brings a size event of its own, which finds the sizes equal.
        SetSize(m_RestoredSize);
        LogDebug("Size event ignored because we're restoring the correct size");
        return;
    }
    if (!maximized && !fullScreen)
        m_RestoredSize = m_CurrentSize;
    SizeHasChanged(m_CurrentSize, oldSize, restoring);
}

void wxDravikFrame::OnMove(wxMoveEvent& event)
{
    event.Skip();
    if (!m_FinishedBuilding || IsIconized() || IsMaximized())
        return;
    const wxPoint oldPosition = m_CurrentPosition;
    m_CurrentPosition = GetPosition();  // the frame's own position, not the event's client origin
    PositionHasChanged(m_CurrentPosition, oldPosition);
}

void wxDravikFrame::OnMenuOpen(wxMenuEvent& event)
{
    event.Skip();
    s_MenuOpen = true;
}

void wxDravikFrame::OnMenuClose(wxMenuEvent& event)
{
    event.Skip();
    s_MenuOpen = false;
}

void wxDravikFrame::OnActivate(wxActivateEvent& event)
{
    if (wxDravikApp* app = wxGetDravikApp())
        app->ActivateEvent(event);
    else
        event.Skip();
}

void wxDravikFrame::ProcessColorChange()
{
    // A handler may destroy frames, the main frame with all the others
    // among them: hold them weakly and pass over the ones gone or going.
    std::vector<wxWeakRef<wxDravikFrame>> frames;
    if (s_Frame)
        frames.emplace_back(s_Frame);
    for (wxDravikFrame* frame : s_Frames)
        frames.emplace_back(frame);
    for (const wxWeakRef<wxDravikFrame>& frame : frames)
    {
        if (!frame || frame->IsBeingDeleted())
            continue;
        wxSysColourChangedEvent event;
        event.SetEventObject(frame.get());
        frame->GetEventHandler()->ProcessEvent(event);
    }
    wxDravikDlg::RefreshAll();
}

void wxDravikFrame::RegisterColorRequestHandler()
{
    static bool s_Registered = false;
    if (s_Registered || !Application::the_Application)
        return;
    s_Registered = true;
    // The core library hands requests to the GUI thread through the
    // application's invoker, so the handler may touch windows.
    Application::the_Application->AddPipeHandler("COLORS", [](const String&) {
        wxsLoadColorScheme();
        ProcessColorChange();
        return true;
    });
}
