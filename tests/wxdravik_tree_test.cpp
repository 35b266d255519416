// The tree list: rows as the visible items in depth-first order, expansion by
// activation (all at once with Alt), the saved expand state, and visible line
// counts that stay right however the tree changes.
#include <algorithm>
#include <functional>
#include <memory>
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

/// The items on the rows, found by walking the whole tree depth-first.
void WalkVisible(const wxDBTreeListItem* item, std::vector<const wxDBTreeListItem*>& rows)
{
    for (size_t i = 0; i < item->ChildCount(); ++i)
    {
        rows.push_back((*item)[i]);
        if ((*item)[i]->IsExpanded())
            WalkVisible((*item)[i], rows);
    }
}

/// The bitmap the tree's body painted.
struct BitmapOf : wxDoubleBufferedWindow
{
    static wxImage Image(wxDoubleBufferedWindow* window)
    {
        const std::unique_ptr<wxBitmap>& bitmap = window->*(&BitmapOf::m_Bitmap);
        return bitmap ? bitmap->ConvertToImage() : wxImage(1, 1);
    }
};

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

    /// A press and release on the body at (x, y), after the pointer moved
    /// there (the cursor it sets tells a button from the rest of the row).
    void Click(int x, int y)
    {
        for (wxEventType type : std::vector<wxEventType>{wxEVT_MOTION, wxEVT_LEFT_DOWN, wxEVT_LEFT_UP})
        {
            wxMouseEvent event(type);
            event.SetPosition(wxPoint(x, y));
            event.SetEventObject(m_Tree->_GetBody());
            m_Tree->_GetBody()->HandleWindowEvent(event);
        }
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

TEST_F(TreeTest, ButtonClickTogglesTheRowsBelowAndTintsShowByDepth)
{
    wxDBTreeListItem* a = Add("A");
    wxDBTreeListItem* a1 = Add("a1", a);
    Add("x", a1);
    Add("a2", a);
    Add("B");
    ASSERT_EQ(5, m_Tree->GetItemCount());
    const int h = m_Tree->GetRowHeight(), indent = wxDBTreeListCtrl::IndentMargin();
    const int buttonX = indent / 2 + 2;

    Click(60, h / 2);  // on the text: a selection, no toggle
    EXPECT_EQ(5, m_Tree->GetItemCount());
    Click(buttonX, h / 2);  // on A's button: its three rows go
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), Rows());
    Click(buttonX, h / 2);  // and come back in their places
    EXPECT_EQ((std::vector<std::string>{"A", "a1", "x", "a2", "B"}), Rows());

    // The rows as painted: depth 1 and 2 tinted apart from the top level.
    // The pointer leaves first, or the row it rests on would be lit.
    wxMouseEvent leave(wxEVT_LEAVE_WINDOW);
    m_Tree->_GetBody()->HandleWindowEvent(leave);
    m_Tree->DeselectAll();
    m_Tree->Redraw();
    wxDoubleBufferedWindow* body = m_Tree->_GetBody();
    ASSERT_TRUE(WaitUntil([&] { return BitmapOf::Image(body).GetWidth() > 300; }));
    FlushEvents();
    const wxImage image = BitmapOf::Image(body);
    const auto at = [&](int row) {  // past the last column: only the row's background
        const int y = row * h + 1;
        return wxColour(image.GetRed(300, y), image.GetGreen(300, y), image.GetBlue(300, y))
            .GetAsString(wxC2S_HTML_SYNTAX)
            .ToStdString();
    };
    const bool focused = body->HasFocus();  // the click may have focused it: rows lift then
    const auto html = [focused](const wxColour& colour) {
        return (focused ? AdjustColour(colour, 8, 8, 8) : colour).GetAsString(wxC2S_HTML_SYNTAX).ToStdString();
    };
    const wxColour field = wxsGetColor(COLOR_FIELD), odd = AdjustColour(field, -2, -2, -2);
    const std::string depth1 = html(AdjustColour(odd, 3, 10, 12));
    EXPECT_EQ((std::vector<std::string>{html(field), depth1, html(AdjustColour(field, 12, 10, 3)), depth1, html(field)}),
              (std::vector<std::string>{at(0), at(1), at(2), at(3), at(4)}));
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

TEST_F(TreeTest, ThrowingTextsAndButtonAreas)
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
    // The button of a depth-1 item sits one indent in; leaf items have none.
    const int h = m_Tree->GetRowHeight(), indent = wxDBTreeListCtrl::IndentMargin();
    EXPECT_NE(wxSTANDARD_CURSOR, m_Tree->CustomizeCursor(1, 0, indent + 3, h / 2));
    EXPECT_EQ(wxSTANDARD_CURSOR, m_Tree->CustomizeCursor(1, 0, 3, h / 2));
    EXPECT_EQ(wxSTANDARD_CURSOR, m_Tree->CustomizeCursor(2, 0, 2 * indent + 3, h / 2));
}

// Appends, expansions, collapses and clears in any order keep every item's
// count equal to a recount, and the fast row lookup equal to a plain walk.
TEST_F(TreeTest, RowLookupMatchesAPlainWalkUnderRandomChanges)
{
    std::mt19937 random(7);
    std::vector<wxDBTreeListItem*> items;
    const auto check = [&](int step) {
        std::vector<const wxDBTreeListItem*> walked;
        WalkVisible(m_Tree->GetRoot(), walked);
        ASSERT_EQ(int(walked.size()), m_Tree->GetItemCount()) << "step " << step;
        for (size_t row = 0; row < walked.size(); ++row)  // in order, as a repaint asks
            ASSERT_EQ(walked[row], m_Tree->ItemAtRow(int(row))) << "step " << step << ", row " << row;
        ASSERT_EQ(nullptr, m_Tree->ItemAtRow(int(walked.size())));
        for (size_t row = walked.size(); row-- > 0;)  // in reverse, as a removal asks
            ASSERT_EQ(walked[row], m_Tree->ItemAtRow(int(row))) << "step " << step << ", row " << row;
        // Rows in a shuffled order, so that the one-entry cache is no help.
        std::vector<int> rows(walked.size());
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = int(i);
        std::shuffle(rows.begin(), rows.end(), random);
        for (int row : rows)
        {
            ASSERT_EQ(walked[size_t(row)], m_Tree->ItemAtRow(row)) << "step " << step << ", row " << row;
            ASSERT_EQ(row, m_Tree->RowWithItem(walked[size_t(row)])) << "step " << step;
        }
    };
    for (int i = 0; i < 3000; ++i)
    {
        const int choice = int(random() % 100);
        if (choice < 70 || items.empty())
        {
            wxDBTreeListItem* parent = items.empty() || random() % 5 == 0 ? nullptr : items[random() % items.size()];
            if (wxDBTreeListItem* item = Add(SFormat("item %d", int(random() % 400)), parent))
                items.push_back(item);
        }
        else if (choice < 99)
        {
            const int row = int(random() % std::max(1, m_Tree->GetItemCount()));
            Activate(row, random() % 20 == 0 ? "A" : "");
        }
        else
        {
            m_Tree->Clear();
            items.clear();
        }
        ASSERT_EQ(CountLines(m_Tree->GetRoot()), m_Tree->GetRoot()->GetVisibleLineCount()) << "step " << i;
        if (i % 50 == 0)
            check(i);
    }
    for (wxDBTreeListItem* item : items)
        ASSERT_EQ(CountLines(item), item->GetVisibleLineCount());
    check(3000);
}
