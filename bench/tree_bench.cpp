// The tree list on a tree of 200,000 items (1,000 top-level items with 200
// children each, every other one expanded): a full repaint against the flat
// list showing the same page, expanding and collapsing 200 and 100,000
// children, and building the tree against the toolkit's wxTreeListCtrl.
// Prints "BENCH <name> <value> <unit>" lines; notes go to standard error.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/sizer.h>
#include <wx/timer.h>
#include <wx/treelist.h>

#include "bench_util.h"
#include "gui_bench_util.h"
#include "wxdravik/wxdbtreelistctrl.h"

namespace
{
using namespace dravik_bench;

const int k_Columns = 10;
const int k_TopItems = 1000;
const int k_Children = 200;
const int k_BigChildren = 100000;
const int k_ViewWidth = 1600;
const int k_ViewHeight = 1000;
const int k_ColumnWidth = k_ViewWidth / k_Columns;
const int k_RefreshTimerId = 1;  // the double-buffered window's refresh timer
const int k_Repeats = 15;

String ItemName(int top, int child)
{
    return child < 0 ? SFormat("job %04d", top) : SFormat("task %04d.%03d", top, child);
}

/// The text of a cell right of the names, the same in the tree and flat.
String CellText(const String& name, int column)
{
    return SFormat("%s c%d word", name.c_str(), column);
}

/// Counts what the list draws and when its refresh timers fire, so that a
/// repaint can be forced and timed alone.
template <class List>
class Counted : public List
{
public:
    explicit Counted(wxWindow* parent) : List(parent, wxID_ANY, 0, 0)
    {
        for (int column = 0; column < k_Columns; ++column)
            this->AddColumn(column, SFormat("Column %d", column), k_ColumnWidth);
        for (wxDoubleBufferedWindow* window : {static_cast<wxDoubleBufferedWindow*>(this->_GetHeader()),
                                               static_cast<wxDoubleBufferedWindow*>(this->_GetBody())})
            window->Bind(
                wxEVT_TIMER,
                [this](wxTimerEvent& event) {
                    ++m_TimersFired;
                    event.Skip();
                },
                k_RefreshTimerId);
    }
    void PrepareToDraw(int row) override
    {
        if (row == this->FirstVisibleItem())
            ++m_BodyDraws;
        List::PrepareToDraw(row);
    }

    long m_BodyDraws = 0;
    int m_TimersFired = 0;
};

/// The flat list: the tree's visible rows given as plain rows.
class FlatList : public wxDBListCtrl
{
public:
    FlatList(wxWindow* parent, int id, long style, long spacing) : wxDBListCtrl(parent, id, style, spacing) {}
    bool IsRowSelected(int) override { return false; }
    xolib::vector<int> GetSelection() override { return {}; }
    String GetDisplayText(int row, int column) override
    {
        const String& name = m_Names[size_t(row) % m_Names.size()];
        return column > 0 ? CellText(name, column) : name;
    }
    std::vector<String> m_Names;
};

typedef Counted<wxDBTreeListCtrl> BenchTree;
typedef Counted<FlatList> BenchFlat;

wxDBTreeListItem::TextFunc TreeText()
{
    return [](wxDBTreeListCtrl*, const wxDBTreeListItem* item, int column) {
        return column == 0 ? item->m_Name : CellText(item->m_Name, column);
    };
}

/// Builds the benchmark's tree: every even top-level item expanded.
void BuildTree(wxDBTreeListCtrl* tree)
{
    wxDBTreeListItem item;
    item.m_TextFunc = TreeText();
    for (int top = 0; top < k_TopItems; ++top)
    {
        item.SetParent(nullptr);
        item.m_Name = ItemName(top, -1);
        wxDBTreeListItem* parent = tree->AppendItem(item);
        parent->Expand(top % 2 == 0);
        item.SetParent(parent);
        for (int child = 0; child < k_Children; ++child)
        {
            item.m_Name = ItemName(top, child);
            tree->AppendItem(item);
        }
    }
}

/// The same items in the toolkit's tree list: names in the first column.
void BuildToolkitTree(wxTreeListCtrl* tree)
{
    const wxTreeListItem root = tree->GetRootItem();
    for (int top = 0; top < k_TopItems; ++top)
    {
        const wxTreeListItem parent = tree->AppendItem(root, wxString::FromUTF8(ItemName(top, -1).c_str()));
        for (int child = 0; child < k_Children; ++child)
            tree->AppendItem(parent, wxString::FromUTF8(ItemName(top, child).c_str()));
        if (top % 2 == 0)
            tree->Expand(parent);
    }
}

/// A frame of the view's size holding one window.
wxFrame* NewFrame(const char* title)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, title, wxPoint(0, 0), wxDefaultSize);
    frame->SetSizer(new wxBoxSizer(wxVERTICAL));
    return frame;
}

void ShowIn(wxFrame* frame, wxWindow* view)
{
    frame->GetSizer()->Add(view, 1, wxEXPAND);
    frame->SetClientSize(k_ViewWidth, k_ViewHeight);
    frame->Show();
    frame->Layout();
    RunUntil([view] { return view->IsShownOnScreen() && view->GetSize() == wxSize(k_ViewWidth, k_ViewHeight); },
             3000);
}

/// One full repaint of a list: the redraw asked for and the refresh timers
/// run (that wait is the coalescing delay, not drawing), then the paint
/// forced and the X server waited for.
template <class List>
double PageMs(wxFrame* frame, List* list)
{
    frame->Raise();
    RunUntilQuiet([list] { return list->m_BodyDraws; }, 50, 1000);
    list->m_TimersFired = 0;
    list->Redraw();
    RunUntil([list] { return list->m_TimersFired == 2; }, 2000, 1);
    const long draws = list->m_BodyDraws;
    const auto start = Clock::now();
    list->_GetBody()->Update();
    list->_GetHeader()->Update();
    SyncWithServer();
    const double ms = Ms(Clock::now() - start);
    if (list->m_BodyDraws - draws != 1)
        std::fprintf(stderr, "# a timed repaint drew the body %ld times\n", list->m_BodyDraws - draws);
    return ms;
}

/// Milliseconds of one activation of the row: the item expands or collapses
/// and the list is told about the rows that come or go.
double ToggleMs(wxDBTreeListCtrl* tree, int row)
{
    wxListEvent event(wxEVT_LIST_ITEM_ACTIVATED, tree->GetId());
    event.SetEventObject(tree);
    event.SetIndex(row);
    const auto start = Clock::now();
    tree->ProcessWindowEvent(event);
    return Ms(Clock::now() - start);
}

/// Expanding and collapsing row 0's item, alternately; the median of each.
void ReportToggles(wxDBTreeListCtrl* tree, const char* name)
{
    std::vector<double> expand, collapse;
    for (int i = 0; i < Repeats(k_Repeats); ++i)
    {
        const bool expanded = tree->ItemAtRow(0)->IsExpanded();
        (expanded ? collapse : expand).push_back(ToggleMs(tree, 0));
        (expanded ? expand : collapse).push_back(ToggleMs(tree, 0));
        RunFor(20);  // lets the repaint the toggles asked for happen outside the timing
    }
    Report(std::string("tree_expand_") + name + "_ms", Median(expand), "ms");
    Report(std::string("tree_collapse_") + name + "_ms", Median(collapse), "ms");
}

void Run()
{
    wxFrame* treeFrame = NewFrame("tree");
    auto* tree = new BenchTree(treeFrame);  // child of the frame
    std::vector<double> buildMs;
    {
        const auto start = Clock::now();
        BuildTree(tree);
        buildMs.push_back(Ms(Clock::now() - start));
    }
    ShowIn(treeFrame, tree);
    std::fprintf(stderr, "# tree: %d rows\n", tree->GetItemCount());

    // The flat list shows the tree's first page of names, row for row.
    wxFrame* flatFrame = NewFrame("flat");
    auto* flat = new BenchFlat(flatFrame);
    for (int row = 0; row < 200; ++row)
        flat->m_Names.push_back(tree->ItemAtRow(row)->m_Name);
    flat->Insert(0, size_t(tree->GetItemCount()));
    ShowIn(flatFrame, flat);

    std::vector<double> treeMs, flatMs, ratio;
    double onScreen = 1;
    for (int i = 0; i < Repeats(k_Repeats); ++i)
    {
        treeMs.push_back(PageMs(treeFrame, tree));
        onScreen = std::min(onScreen, ShareOnScreen(tree->_GetBody()));
        flatMs.push_back(PageMs(flatFrame, flat));
        ratio.push_back(treeMs.back() / flatMs.back());
    }
    Report("tree_page_ms", Median(treeMs), "ms");
    Report("tree_page_on_screen", onScreen, "share");
    Report("tree_flat_page_ms", Median(flatMs), "ms");
    Report("tree_page_over_flat", Median(ratio), "x");

    // A page far down the tree, where the rows lie past 500 top-level items.
    tree->EnsureVisible(tree->GetItemCount() / 2);
    RunFor(200);
    std::vector<double> deepMs;
    for (int i = 0; i < Repeats(k_Repeats); ++i)
        deepMs.push_back(PageMs(treeFrame, tree));
    Report("tree_page_deep_ms", Median(deepMs), "ms");
    tree->EnsureVisible(0);
    RunFor(200);

    ReportToggles(tree, "200");
    flatFrame->Destroy();
    treeFrame->Destroy();
    RunFor(100);

    // One item with 100,000 children.
    wxFrame* bigFrame = NewFrame("big");
    auto* big = new BenchTree(bigFrame);
    {
        wxDBTreeListItem item;
        item.m_TextFunc = TreeText();
        item.m_Name = "job";
        wxDBTreeListItem* parent = big->AppendItem(item);
        item.SetParent(parent);
        for (int child = 0; child < k_BigChildren; ++child)
        {
            item.m_Name = ItemName(0, child);
            big->AppendItem(item);
        }
    }
    ShowIn(bigFrame, big);
    ReportToggles(big, "100k");
    bigFrame->Destroy();
    RunFor(100);

    // Building, in turns with the toolkit's tree list building the same
    // items, each into a shown window of the view's size; the first build
    // above paid for the first allocations.
    std::vector<double> toolkitMs, buildRatio;
    for (int i = 0; i < Repeats(3); ++i)
    {
        wxFrame* frame = NewFrame("build");
        auto* again = new BenchTree(frame);
        ShowIn(frame, again);
        auto start = Clock::now();
        BuildTree(again);
        buildMs.push_back(Ms(Clock::now() - start));
        frame->Destroy();
        RunFor(50);

        wxFrame* toolkitFrame = NewFrame("wxTreeListCtrl");
        auto* toolkitTree = new wxTreeListCtrl(toolkitFrame, wxID_ANY);
        for (int column = 0; column < k_Columns; ++column)
            toolkitTree->AppendColumn(wxString::Format("Column %d", column), k_ColumnWidth);
        ShowIn(toolkitFrame, toolkitTree);
        start = Clock::now();
        BuildToolkitTree(toolkitTree);
        SyncWithServer();
        toolkitMs.push_back(Ms(Clock::now() - start));
        toolkitFrame->Destroy();
        RunFor(100);
        buildRatio.push_back(toolkitMs.back() / buildMs.back());
        std::fprintf(stderr, "# build round %d: %.1f ms, wxTreeListCtrl %.1f ms\n", i, buildMs.back(), toolkitMs.back());
    }
    buildMs.erase(buildMs.begin());  // the cold first build
    Report("tree_build_ms", Median(buildMs), "ms");
    Report("tree_build_wxtreelistctrl_ms", Median(toolkitMs), "ms");
    Report("tree_build_wxtreelistctrl_over_tree", Median(buildRatio), "x");
}
}  // namespace

int main(int argc, char** argv)
{
    return RunWithToolkit(argc, argv, Run);
}
