#include "wxdravik/wxdravikframe.h"

#include <vector>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxdravikdlg.h"

// Stub until the frame base is built.
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
    : wxFrame(s_Frame, wxID_ANY, title, position, size, style)
{
    Manage(this);
}

wxDravikFrame::~wxDravikFrame()
{
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

void wxDravikFrame::SaveWindowPosition() const {}
void wxDravikFrame::LoadWindowPosition() {}

bool wxDravikFrame::IsMenuOpen()
{
    return s_MenuOpen;
}

void wxDravikFrame::SizeHasChanged(const wxSize&, const wxSize&, bool) {}
void wxDravikFrame::PositionHasChanged(const wxPoint&, const wxPoint&) {}

void wxDravikFrame::OnSize(wxSizeEvent& event)
{
    event.Skip();
}

void wxDravikFrame::OnMove(wxMoveEvent& event)
{
    event.Skip();
}

void wxDravikFrame::OnMenuOpen(wxMenuEvent& event)
{
    event.Skip();
}

void wxDravikFrame::OnMenuClose(wxMenuEvent& event)
{
    event.Skip();
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
    // A handler may close windows: work on a snapshot and skip any window
    // that has left the list or is on its way out by the time it is reached.
    const std::vector<wxWindow*> windows(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    wxSysColourChangedEvent event;
    for (wxWindow* window : windows)
    {
        if (!wxTopLevelWindows.Find(window) || window->IsBeingDeleted())
            continue;
        event.SetEventObject(window);
        window->GetEventHandler()->ProcessEvent(event);
    }
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
