#include "jobs_window.h"

#include <wx/sizer.h>

#include "farm_lists.h"

#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxswrappers.h"

namespace
{
const char* const k_PlacementKey = "DemoJobsWindow";
}

// clang-format off
wxBEGIN_EVENT_TABLE(JobsWindow, wxDravikFrame)
    EVT_CLOSE(JobsWindow::OnClose)
wxEND_EVENT_TABLE()
// clang-format on

JobsWindow::JobsWindow() : wxDravikFrame("Jobs", wxDefaultPosition, wxSize(400, 460))
{
    auto* panel = new wxsPanel(this);  // owned by the frame
    m_List = new JobTree(panel);      // owned by the panel
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_List, 1, wxEXPAND | wxALL, 8);
    panel->SetSizer(sizer);
    FinishedBuilding();
    wxSetWindowPos(this, k_PlacementKey, 0);
    wxOpenUserWindow(this, "Jobs");
}

void JobsWindow::OnTick()
{
    m_List->Reload();
}

void JobsWindow::OnClose(wxCloseEvent&)
{
    wxSaveWindowPos(this, k_PlacementKey);
    Destroy();
}
