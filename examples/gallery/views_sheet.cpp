#include "views_sheet.h"

#include <set>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include "capture.h"
#include "wxdravik/wxbarhistoryctrl.h"
#include "wxdravik/wxdblistctrl.h"
#include "wxdravik/wxdbtreelistctrl.h"
#include "wxdravik/wxslistbox.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxswrappers.h"
#include "wxdravik/wxtextlinectrl.h"

namespace
{

/// Forty render jobs, a few rows of them selected.
class SampleList : public wxDBListCtrl
{
public:
    SampleList(wxWindow* parent, std::set<int> selected)
        : wxDBListCtrl(parent, wxID_ANY, 0), m_Selected(std::move(selected))
    {
        AddColumn(0, "Job", 190);
        AddColumn(1, "State", 80);
        AddColumn(2, "Frames", 70, Align::Right);
        AddColumn(3, "Output", 150);
        Insert(0, 40);
    }

    /// Opens the in-place editor on a cell, as a host does on activation.
    void Edit(int row, int column) { EnableEditOverlay(row, column); }

    bool IsRowSelected(int row) override { return m_Selected.count(row) > 0; }
    xolib::vector<int> GetSelection() override { return {m_Selected.begin(), m_Selected.end()}; }
    String GetDisplayText(int row, int column) override
    {
        static const char* const names[] = {"shot_010_lighting", "shot_020_fx", "char_turntable", "comp_final_v3"};
        switch (column)
        {
        case 0: return SFormat("%s_%02d", names[row % 4], row);
        case 1: return row % 3 == 0 ? "running" : row % 3 == 1 ? "waiting" : "finished";
        case 2: return SFormat("%d / 240", (row * 37) % 240);
        default: return SFormat("/farm/projects/trailer/renders/shot_%03d/beauty/v%02d", row, row % 7);
        }
    }
    wxColour GetRowColor(int row) override
    {
        return row % 3 == 0 ? wxsGetColor(COLOR_GREEN) : wxDBListCtrl::GetRowColor(row);
    }

private:
    std::set<int> m_Selected;
};
}

/// Render jobs with their tasks: two of them expanded, one task selected.
wxDBTreeListCtrl* JobTree(wxWindow* parent)
{
    auto* tree = new wxDBTreeListCtrl(parent, wxID_ANY);  // owned by the parent
    tree->AddColumn(0, "Job", 220);
    tree->AddColumn(1, "State", 90);
    tree->AddColumn(2, "Frames", 80, Align::Right);
    static const char* const jobs[] = {"shot_010_lighting", "shot_020_fx", "char_turntable", "comp_final_v3"};
    for (int job = 0; job < 4; ++job)
    {
        wxDBTreeListItem item;
        item.m_Name = jobs[job];
        item.m_TextFunc = [job](wxDBTreeListCtrl*, const wxDBTreeListItem* self, int column) -> String {
            return column == 0 ? self->m_Name : column == 1 ? String(job == 2 ? "waiting" : "running") : String("240");
        };
        item.Expand(job == 0 || job == 3);
        wxDBTreeListItem* parent = tree->AppendItem(item);
        for (int task = 0; task < 3; ++task)
        {
            wxDBTreeListItem child;
            child.SetParent(parent);
            child.m_Name = SFormat("Frames %d-%d", task * 80 + 1, task * 80 + 80);
            child.m_TextFunc = [task](wxDBTreeListCtrl*, const wxDBTreeListItem* self, int column) -> String {
                return column == 0 ? self->m_Name : column == 1 ? String(task == 0 ? "done" : "rendering") : String("80");
            };
            tree->AppendItem(child);
        }
    }
    tree->Select(2);
    return tree;
}

/// The list-box interface on the fast list, with one entry selected.
wxsListBox* EngineListBox(wxWindow* parent)
{
    wxArrayString engines;
    for (int engine = 1; engine <= 9; ++engine)
        engines.push_back(wxString::Format("engine-%02d (%s)", engine, engine % 3 ? "idle" : "rendering"));
    auto* box = new wxsListBox(parent, wxID_ANY, engines, wxLB_SINGLE);  // owned by the parent
    box->SetSelection(4);
    return box;
}

/// A job's output with its search bar open.
wxSizer* LogViewer(wxWindow* parent, wxTextLineCtrl*& viewer)
{
    viewer = new wxTextLineCtrl(parent);  // owned by the parent, like its search bar
    for (int frame = 1; frame <= 14; ++frame)
        viewer->Append(SFormat("[%02d:%02d:%02d] frame %03d\trendered in %d.%d s, %d MB peak", 10, 12 + frame / 4,
                               (frame * 17) % 60, frame, 40 + frame * 3, frame % 10, 3100 + frame * 25));
    viewer->ToggleSearch();
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(viewer, 1, wxEXPAND);
    sizer->Add(viewer->GetSearchPanel(), 0, wxEXPAND | wxTOP, 2);
    return sizer;
}

/// Engine loads: a calm one, a busy one past the middle mark, one with no
/// readings yet.
wxSizer* LoadGraphs(wxWindow* parent)
{
    auto* grid = new wxFlexGridSizer(2, 6, 8);
    grid->AddGrowableCol(1);
    const int loads[][2] = {{35, 9}, {88, 6}, {0, 0}};
    const char* const names[] = {"engine-01", "engine-02", "engine-03 (no data)"};
    for (int i = 0; i < 3; ++i)
    {
        auto* graph = new wxBarHistoryCtrl(parent, wxID_ANY, wxDefaultPosition, wxSize(220, 22));  // owned by parent
        graph->SetBounds(0, 100, false);
        graph->SetMidBound(80, false);
        graph->LimitHistory(220, false);
        for (int reading = 0; loads[i][0] > 0 && reading < 220; ++reading)
            graph->PushValue(unsigned(loads[i][0] + (reading * 7919 % (2 * loads[i][1] + 1)) - loads[i][1]));
        grid->Add(new wxsStaticText(parent, wxID_ANY, names[i]), 0, wxALIGN_CENTER_VERTICAL);  // owned by parent
        grid->Add(graph, 1, wxEXPAND);
    }
    return grid;
}

wxBitmap CaptureViewsSheet(const wxString& heading)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Views", wxPoint(20, 20), wxSize(1040, 760));  // destroyed below
    auto* panel = new wxsPanel(frame);                                                           // owned by the frame
    auto* lists = new wxBoxSizer(wxHORIZONTAL);
    auto* active = new SampleList(panel, {2, 3, 4});  // owned by the panel
    active->SetHighlightColumn(2);
    auto* disabled = new SampleList(panel, {1});  // owned by the panel
    disabled->Enable(false);
    lists->Add(active, 1, wxEXPAND | wxRIGHT, 8);
    lists->Add(disabled, 1, wxEXPAND);
    auto* middle = new wxBoxSizer(wxHORIZONTAL);
    middle->Add(JobTree(panel), 3, wxEXPAND | wxRIGHT, 8);
    middle->Add(EngineListBox(panel), 2, wxEXPAND);
    auto* lower = new wxBoxSizer(wxHORIZONTAL);
    wxTextLineCtrl* viewer = nullptr;
    lower->Add(LogViewer(panel, viewer), 1, wxEXPAND | wxRIGHT, 8);
    lower->Add(LoadGraphs(panel), 1, wxEXPAND | wxTOP, 4);
    auto* all = new wxBoxSizer(wxVERTICAL);
    all->Add(lists, 3, wxEXPAND | wxBOTTOM, 8);
    all->Add(middle, 2, wxEXPAND | wxBOTTOM, 8);
    all->Add(lower, 2, wxEXPAND);
    panel->SetSizer(all);
    frame->Show();
    Settle();
    // A search starts at the first visible line: search once the viewer has
    // its size. The hit lands on a line below a selected one.
    viewer->Search("frame 01", true, true);
    wxMouseEvent press(wxEVT_LEFT_DOWN), release(wxEVT_LEFT_UP);
    press.SetY(viewer->GetLineHeight() * 2 + 2);
    viewer->HandleWindowEvent(press);
    viewer->HandleWindowEvent(release);
    // The pointer over row 9: the list learns where it is from its mouse
    // events. The frame lies under the real pointer, so it is the active one.
    wxMouseEvent motion(wxEVT_MOTION);
    motion.SetPosition(wxPoint(60, active->GetCellRect(9, 0).y + 4));
    active->_GetBody()->HandleWindowEvent(motion);
    active->Edit(6, 0);  // last: it closes when another window takes the focus
    SettleIdle(40);  // the editor's layout and colours settle in idle time
    const wxBitmap shot = CaptureAndDestroy(frame);
    if (!shot.IsOk())
        return wxNullBitmap;

    wxArrayString captions;
    captions.push_back("wxDBListCtrl: rows 2 to 4 selected, row 9 under the pointer, column \"Frames\" highlighted, a "
                       "cell edited; disabled at the right.");
    captions.push_back("wxDBTreeListCtrl and wxsListBox; wxTextLineCtrl with a search hit; wxBarHistoryCtrl");
    return CaptionedSheet(heading, captions, shot);
}
