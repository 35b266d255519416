#include "jobs_window.h"

#include <wx/sizer.h>

#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxswrappers.h"

namespace
{
const char* const k_PlacementKey = "DemoJobsWindow";

const char* StateText(Job::State state)
{
    switch (state)
    {
    case Job::STATE_RUNNING: return "running";
    case Job::STATE_FINISHED: return "finished";
    default: return "waiting";
    }
}
}

// clang-format off
wxBEGIN_EVENT_TABLE(JobsWindow, wxDravikFrame)
    EVT_CLOSE(JobsWindow::OnClose)
wxEND_EVENT_TABLE()
// clang-format on

JobsWindow::JobsWindow() : wxDravikFrame("Jobs", wxDefaultPosition, wxSize(360, 420))
{
    auto* panel = new wxsPanel(this);  // owned by the frame
    m_List = new wxsStaticText(panel, wxID_ANY, wxString());
    m_List->SetFont(wxFontInfo().Family(wxFONTFAMILY_TELETYPE));  // the columns line up
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_List, 1, wxEXPAND | wxALL, 12);
    panel->SetSizer(sizer);
    OnTick();
    FinishedBuilding();
    wxSetWindowPos(this, k_PlacementKey, 0);
    wxOpenUserWindow(this, "Jobs");
}

wxString JobsWindow::DescribeJobs() const
{
    wxString text;
    DravikApp* app = DravikApp::GetInstance();
    if (!app)
        return text;
    for (const UID& id : app->GetAllJobs())
        if (boost::shared_ptr<Job> job = app->GetJobByID(id))
            text += wxString::Format("%-22s %-9s %3d%%\n", wxsToWx(job->Name()), StateText(job->GetState()),
                                     job->GetProgress());
    return text;
}

void JobsWindow::OnTick()
{
    const wxString text = DescribeJobs();
    if (text != m_List->GetLabel())
        m_List->SetLabel(text);
}

void JobsWindow::OnClose(wxCloseEvent&)
{
    wxSaveWindowPos(this, k_PlacementKey);
    Destroy();
}
