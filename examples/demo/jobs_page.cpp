#include "jobs_page.h"

#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/statusbr.h>

#include "farm_lists.h"
#include "wxdravik/farmchoosers.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxstextctrl.h"

namespace
{
/// The commands a job's state lets the user run.
int CommandMask(Job::State state)
{
    switch (state)
    {
    case Job::STATE_RUNNING: return Command::APPLIES_RUNNING;
    case Job::STATE_FINISHED: return Command::APPLIES_FINISHED;
    default: return Command::APPLIES_WAITING;
    }
}

/// The filter words typed: separated by blanks, a quoted phrase is one word.
xolib::vector<String> Words(const wxString& text)
{
    xolib::vector<String> words;
    StringTokenizer tokens(wxsFromWx(text), ' ', false, '"', '\0');
    while (tokens.HasMore())
        words.push_back(tokens.GetNext());
    return words;
}
}  // namespace

void ReportingCommandMenu::PostProcessCommand(const String& name, const String& item)
{
    JobCommandMenu::PostProcessCommand(name, item);
    if (m_Report && GetJob())
        m_Report(wxsToWx(item.Empty() ? name : name + " " + item) + " sent to " + wxsToWx(GetJob()->Name()));
}

JobsPage::JobsPage(wxWindow* parent) : wxsPanel(parent)
{
    m_Filter = new wxsTextCtrl(this, wxID_ANY);  // owned by the page
    m_Filter->SetHint("Filter: words, -word to leave out");
    m_JobSelector = new JobSelector(this, wxID_ANY);  // owned by the page
    m_Tree = new JobTree(this);                     // owned by the page

    m_Pickers = new wxBoxSizer(wxHORIZONTAL);
    m_Pickers->Add(m_Filter, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 12);
    m_Pickers->Add(new wxsStaticText(this, wxID_ANY, "Job:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    m_Pickers->Add(m_JobSelector, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 12);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_Pickers, 0, wxEXPAND | wxALL, 6);
    sizer->Add(m_Tree, 1, wxEXPAND);
    SetSizer(sizer);

    m_Filter->Bind(wxEVT_TEXT, &JobsPage::OnFilterText, this);
    m_Tree->Bind(wxEVT_LIST_ITEM_RIGHT_CLICK, &JobsPage::OnRightClick, this);
    m_JobSelector->Bind(wxEVT_COMBOBOX, &JobsPage::OnJobPicked, this);
    Bind(wxEVT_MENU, &JobsPage::OnMenu, this);
    m_Menu.m_Report = [this](const wxString& text) { _Report(text); };
    OnTick();
}

void JobsPage::OnTick()
{
    m_Tree->Reload();
    DravikApp* app = DravikApp::GetInstance();
    const size_t jobs = app ? app->GetAllJobs().size() : 0;
    if (jobs != m_JobsListed)
    {
        // Jobs came or went: list them again, keeping the user's pick.
        const UID picked = m_JobSelector->GetSelectedJob();
        m_JobSelector->Fill(UID(false));
        m_JobSelector->SelectJob(picked);
        m_JobsListed = jobs;
        Layout();
    }
    _AddProductChoiceWhenReady();
}

void JobsPage::_AddProductChoiceWhenReady()
{
    // Made before the farm has listed its products, the drop-down would
    // tell the user that none are installed.
    if (m_Products || JobFactory::s_JobFactory.ListProducts().empty())
        return;
    m_Products = new ProductChoice(this, wxID_ANY);  // owned by the page
    m_Products->Bind(wxEVT_COMBOBOX, &JobsPage::OnProductPicked, this);
    m_Pickers->Add(new wxsStaticText(this, wxID_ANY, "Product:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    m_Pickers->Add(m_Products, 0, wxALIGN_CENTER_VERTICAL);
    Layout();
}

void JobsPage::OnFilterText(wxCommandEvent& event)
{
    event.Skip();
    m_Tree->SetFilter(Words(m_Filter->GetValue()));
}

void JobsPage::OnRightClick(wxListEvent& event)
{
    ShowCommandsOf(int(event.GetIndex()), event.GetPoint());
}

void JobsPage::ShowCommandsOf(int row, const wxPoint& where)
{
    DravikApp* app = DravikApp::GetInstance();
    boost::shared_ptr<Job> job = app ? app->GetJobByID(m_Tree->GetJobAtRow(row)) : boost::shared_ptr<Job>();
    if (!job)
        return;
    m_Menu.Fill(job, CommandMask(job->GetState()));
    if (m_Menu.GetMenuItemCount() == 0)
    {
        _Report("No commands for " + wxsToWx(job->Name()));
        return;
    }
    // The point is in the tree body's coordinates.
    PopupMenu(&m_Menu, ScreenToClient(m_Tree->_GetBody()->ClientToScreen(where)));
}

void JobsPage::OnMenu(wxCommandEvent& event)
{
    if (!m_Menu.TryCommand(event.GetId()))
        event.Skip();
}

void JobsPage::OnJobPicked(wxCommandEvent& event)
{
    event.Skip();
    const int row = m_Tree->GetRowOfJob(m_JobSelector->GetSelectedJob());
    if (row >= 0)
    {
        m_Tree->DeselectAll();
        m_Tree->Select(row);
        m_Tree->EnsureVisible(row);
    }
    _Report("Picked job " + m_JobSelector->GetStringSelection());
}

void JobsPage::OnProductPicked(wxCommandEvent& event)
{
    event.Skip();
    _Report("Picked product " + m_Products->GetStringSelection());
}

void JobsPage::_Report(const wxString& text)
{
    if (auto* frame = dynamic_cast<wxFrame*>(wxGetTopLevelParent(this)))
        frame->SetStatusText(text, frame->GetStatusBar() && frame->GetStatusBar()->GetFieldsCount() > 1 ? 1 : 0);
}
