// The tree list: rows as the visible items in depth-first order, expansion by
// activation (all at once with Alt), the saved expand state, and visible line
// counts that stay right however the tree changes.
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <wx/frame.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdbtreelistctrl.h"

using namespace dravik_test;

namespace
{
/// Every item's visible line count, counted from scratch.
int CountLines(const wxDBTreeListItem* item)
{
    int lines = 1;
    if (item->IsExpanded())
        for (size_t i = 0; i < item->ChildCount(); ++i)
            lines += CountLines((*item)[i]);
    return lines;
}

class TreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Frame = new wxFrame(nullptr, wxID_ANY, "tree", wxPoint(10, 10), wxSize(400, 300));
        m_Tree = new wxDBTreeListCtrl(m_Frame, wxID_ANY);  // owned by the frame
        m_Tree->AddColumn(0, "Name", 150);
        m_Frame->Show();
    }
    void TearDown() override
    {
        delete m_Frame;
        FlushEvents();
    }

    wxDBTreeListItem* Add(const String& name, wxDBTreeListItem* parent = nullptr)
    {
        wxDBTreeListItem item;
        item.m_Name = name;
        item.m_TextFunc = [](wxDBTreeListCtrl*, const wxDBTreeListItem* self, int) { return self->m_Name; };
        item.SetParent(parent);
        return m_Tree->AppendItem(item);
    }
    /// The names on the rows, top to bottom; the row count must match.
    std::vector<std::string> Rows()
    {
        std::vector<std::string> names;
        for (int row = 0; row < m_Tree->GetItemCount(); ++row)
        {
            wxDBTreeListItem* item = m_Tree->ItemAtRow(row);
            names.push_back(item ? item->m_Name.Str() : "?");
            EXPECT_EQ(row, m_Tree->RowWithItem(item));
        }
        EXPECT_EQ(nullptr, m_Tree->ItemAtRow(m_Tree->GetItemCount()));
        return names;
    }
    void Activate(int row, const char* modifiers = "")
    {
        wxListEvent event(wxEVT_LIST_ITEM_ACTIVATED, m_Tree->GetId());
        event.SetEventObject(m_Tree);
        event.SetIndex(row);
        event.SetString(modifiers);
        m_Tree->ProcessWindowEvent(event);
    }

    wxFrame* m_Frame = nullptr;
    wxDBTreeListCtrl* m_Tree = nullptr;
};
}  // namespace

TEST_F(TreeTest, RowsFollowAppendsActivationAndAlt)
{
    wxDBTreeListItem* a = Add("A");
    Add("a1", a);
    wxDBTreeListItem* a2 = Add("a2", a);
    Add("x", a2);
    wxDBTreeListItem* b = Add("B");
    Add("b1", b);
    EXPECT_EQ(nullptr, Add("b1", b));  // a sibling's name: refused, no rows announced
    EXPECT_EQ((std::vector<std::string>{"A", "a1", "a2", "x", "B", "b1"}), Rows());

    m_Tree->Select(3);  // x, a descendant that the collapse hides
    Activate(0);        // collapses A: its three rows go, the hidden selection with them
    EXPECT_EQ((std::vector<std::string>{"A", "B", "b1"}), Rows());
    EXPECT_EQ((std::set<wxDBTreeListItem*>{a}), m_Tree->GetSelectedItems());
    Add("a3", a);  // under a collapsed parent: no rows
    EXPECT_EQ(3, m_Tree->GetItemCount());
    Activate(0);
    EXPECT_EQ((std::vector<std::string>{"A", "a1", "a2", "x", "a3", "B", "b1"}), Rows());
    m_Tree->Select(4);  // a3
    Activate(0, "A");   // Alt: every item at once
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), Rows());
    EXPECT_EQ((xolib::vector<int>{0}), m_Tree->GetSelection());  // the hidden a3 has no row
    m_Tree->DeselectAll();
    EXPECT_EQ(1u, m_Tree->GetSelectedItems().count(m_Tree->GetRoot()->FindChild("A")->FindChild("a3")));
    EXPECT_EQ(0u, m_Tree->GetSelectedItems().count(m_Tree->GetRoot()->FindChild("A")));
    Activate(1, "A");
    EXPECT_EQ(7, m_Tree->GetItemCount());
    EXPECT_EQ(8, CountLines(m_Tree->GetRoot()));
    EXPECT_EQ(8, m_Tree->GetRoot()->GetVisibleLineCount());
}

TEST_F(TreeTest, ExpandStateSurvivesARebuild)
{
    const auto build = [&] {
        wxDBTreeListItem* a = Add("A");
        Add("a1", a);
        wxDBTreeListItem* b = Add("B");
        Add("b1", b);
        Add("C");
    };
    build();
    Activate(2);  // B collapses
    ASSERT_EQ((std::vector<std::string>{"A", "a1", "B", "C"}), Rows());
    m_Tree->PushExpandState();
    m_Tree->Clear();
    EXPECT_EQ(0, m_Tree->GetItemCount());
    build();  // new items start expanded
    EXPECT_EQ(5, m_Tree->GetItemCount());
    m_Tree->PopExpandState(true);
    EXPECT_FALSE(m_Tree->HaveSavedExpandState());
    EXPECT_EQ((std::vector<std::string>{"A", "a1", "B", "C"}), Rows());
}

TEST_F(TreeTest, TextsTintsAndButtons)
{
    wxDBTreeListItem* a = Add("A");
    wxDBTreeListItem* a1 = Add("a1", a);
    Add("x", a1);
    wxDBTreeListItem broken;
    broken.m_Name = "broken";
    broken.m_TextFunc = [](wxDBTreeListCtrl*, const wxDBTreeListItem*, int) -> String {
        throw std::runtime_error("no text");
    };
    m_Tree->AppendItem(broken);
    EXPECT_EQ("a1", m_Tree->GetDisplayText(1, 0).Str());
    EXPECT_EQ("", m_Tree->GetDisplayText(3, 0).Str());  // the callback threw
    EXPECT_EQ("", m_Tree->GetDisplayText(40, 0).Str());  // no item
    const wxColour field = wxsGetColor(COLOR_FIELD), odd = AdjustColour(field, -2, -2, -2);
    EXPECT_EQ((std::vector<wxColour>{field, AdjustColour(odd, 3, 10, 12), AdjustColour(field, 12, 10, 3)}),
              (std::vector<wxColour>{m_Tree->GetRowBGColor(0), m_Tree->GetRowBGColor(1), m_Tree->GetRowBGColor(2)}));
    // The button of a depth-1 item sits one indent in; leaf items have none.
    const int h = m_Tree->GetRowHeight(), indent = wxDBTreeListCtrl::IndentMargin();
    EXPECT_NE(wxSTANDARD_CURSOR, m_Tree->CustomizeCursor(1, 0, indent + 3, h / 2));
    EXPECT_EQ(wxSTANDARD_CURSOR, m_Tree->CustomizeCursor(1, 0, 3, h / 2));
    EXPECT_EQ(wxSTANDARD_CURSOR, m_Tree->CustomizeCursor(2, 0, 2 * indent + 3, h / 2));
}

// Appends, expansions and collapses in any order keep every item's count
// equal to a recount and the rows equal to the root's count less one.
TEST_F(TreeTest, VisibleLineCountsStayRightUnderRandomChanges)
{
    std::mt19937 random(7);
    std::vector<wxDBTreeListItem*> items;
    for (int i = 0; i < 400; ++i)
    {
        const int choice = int(random() % 4);
        if (choice < 3 || items.empty())
        {
            wxDBTreeListItem* parent = items.empty() || random() % 5 == 0 ? nullptr : items[random() % items.size()];
            if (wxDBTreeListItem* item = Add(SFormat("item %d", i), parent))
                items.push_back(item);
        }
        else
        {
            const int row = int(random() % std::max(1, m_Tree->GetItemCount()));
            Activate(row, random() % 20 == 0 ? "A" : "");
        }
        ASSERT_EQ(CountLines(m_Tree->GetRoot()), m_Tree->GetRoot()->GetVisibleLineCount()) << "step " << i;
        ASSERT_EQ(m_Tree->GetRoot()->GetVisibleLineCount() - 1, m_Tree->GetItemCount()) << "step " << i;
    }
    for (wxDBTreeListItem* item : items)
        ASSERT_EQ(CountLines(item), item->GetVisibleLineCount());
    Rows();  // every row maps to an item and back
}
