// The double-buffered window and the database list: redraws, scrolling,
// columns, rows, selection, the header, text fitting, the editor, colours.
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/frame.h>

#include "draviklib/draviklib.h"
#include "harness/gui_harness.h"
#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdblistctrl.h"
#include "wxdravik/wxdesktop.h"

using namespace dravik_test;
using Lines = std::vector<std::string>;
using Ints = std::vector<int>;

namespace
{
/// The bitmap a view painted, which is otherwise its own business.
struct BitmapOf : wxDoubleBufferedWindow
{
    static wxImage Image(wxDoubleBufferedWindow* window)
    {
        const std::unique_ptr<wxBitmap>& bitmap = window->*(&BitmapOf::m_Bitmap);
        return bitmap ? bitmap->ConvertToImage() : wxImage(1, 1);
    }
};

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

/// Counts timer events, paints and DrawBitmap calls, keeps the area painted.
class Canvas : public wxDoubleBufferedWindow
{
public:
    explicit Canvas(wxWindow* parent) : wxDoubleBufferedWindow(parent, wxID_ANY, 0)
    {
        Bind(wxEVT_PAINT, [this](wxPaintEvent& event) { ++m_Paints, m_Updated.Union(GetUpdateRegion()), event.Skip(); });
        Bind(wxEVT_TIMER, [this](wxTimerEvent& event) { ++m_Timeouts, event.Skip(); });
    }
    bool Quiet() const { return !m_Timer.IsRunning() && !m_Dirty; }  // nothing pending, nothing unpainted
    using wxDoubleBufferedWindow::AdjustScrollbars;
    using wxDoubleBufferedWindow::m_LineCount;
    using wxDoubleBufferedWindow::m_RefreshRect;
    using wxDoubleBufferedWindow::m_Timer;
    using wxDoubleBufferedWindow::m_StickToEnd;
    int m_Paints = 0, m_Timeouts = 0, m_Draws = 0, m_Throws = 0;
    wxRegion m_Updated;

protected:
    void DrawBitmap() override
    {
        ++m_Draws;
        if (m_Throws > 0 && m_Throws--)
            throw std::runtime_error("a bad frame");
        wxMemoryDC dc(*m_Bitmap);
        dc.SetBackground(*wxBLUE_BRUSH);
        dc.Clear();
    }
};

/// A list whose selection is a set kept by the list's own events. Events are
/// recorded as "name row/column [modifiers]", column events as "name cN".
class TestList : public wxDBListCtrl
{
public:
    TestList(wxWindow* parent, long style) : wxDBListCtrl(parent, wxID_ANY, style)
    {
        const std::pair<wxEventType, const char*> names[] = {
            {wxEVT_LIST_ITEM_SELECTED, "sel"}, {wxEVT_LIST_ITEM_DESELECTED, "desel"}, {wxEVT_LIST_ITEM_ACTIVATED, "act"},
            {wxEVT_LIST_ITEM_RIGHT_CLICK, "right"}, {wxEVT_LIST_END_LABEL_EDIT, "edit"}, {wxEVT_LIST_COL_CLICK, "colclick"},
            {wxEVT_LIST_COL_BEGIN_DRAG, "begin"}, {wxEVT_LIST_COL_END_DRAG, "end"}};
        for (const auto& [type, name] : names)
            Bind(wxEventTypeTag<wxListEvent>(type), [this, name = std::string(name)](wxListEvent& e) { Record(name, e); });
    }
    bool IsRowSelected(int row) override { return m_Selected.count(row) > 0; }
    xolib::vector<int> GetSelection() override { return xolib::vector<int>(m_Selected.begin(), m_Selected.end()); }
    String GetDisplayText(int row, int column) override { return SFormat("r%dc%d", row, column); }
    void PrepareToDraw(int row) override { m_Paints += row == _GetBody()->GetViewStart(wxVERTICAL); }
    void DrawCell(wxDC& dc, int row, int column, wxRect rect, bool hover) override
    {
        m_DrawnRows.insert(row);
        if (hover)
            m_HoverRows.insert(row);
        wxDBListCtrl::DrawCell(dc, row, column, rect, hover);
    }
    void CommitCellEdit() override { m_Committed.push_back(GetEditCtrl()->GetValue().ToStdString()); }
    using wxDBListCtrl::EnableEditOverlay;
    using wxDBListCtrl::SetLastSelect;
    Lines Take() { return std::exchange(m_Events, Lines()); }

    std::set<int> m_Selected, m_DrawnRows, m_HoverRows;
    Lines m_Events, m_Committed;
    int m_Paints = 0;

private:
    void Record(const std::string& name, wxListEvent& event)
    {
        if (name == "sel")
            m_Selected.insert(int(event.GetIndex()));
        if (name == "desel")
            m_Selected.erase(int(event.GetIndex()));
        const bool column = name.compare(0, 3, "col") == 0 || name == "begin" || name == "end";
        std::string line = name + (column ? " c" : " " + std::to_string(event.GetIndex()) + "/");
        line += std::to_string(event.GetColumn());
        m_Events.push_back(line + (event.GetString().empty() ? "" : " " + event.GetString().ToStdString()));
    }
};

/// Shift and Control as "S" and "C" in keys; true when the window used the event.
template <class Event>
bool Deliver(wxWindow* window, Event& event, const char* keys)
{
    event.SetShiftDown(std::string(keys).find('S') != std::string::npos);
    event.SetControlDown(std::string(keys).find('C') != std::string::npos);
    event.SetEventObject(window);
    return window->HandleWindowEvent(event);
}

void Mouse(wxWindow* window, wxEventType type, int x, int y, const char* keys = "")
{
    wxMouseEvent event(type);
    event.SetPosition(wxPoint(x, y));
    Deliver(window, event, keys);
}

bool Key(wxWindow* window, int code, const char* keys = "", wxEventType type = wxEVT_KEY_DOWN)
{
    wxKeyEvent event(type);
    event.m_keyCode = code;
    return Deliver(window, event, keys);
}

/// A frame away from the pointer, which Xvfb leaves mid-screen: no row is hovered.
class ViewTest : public ::testing::Test
{
protected:
    void SetUp() override { m_Frame = new wxFrame(nullptr, wxID_ANY, "views", wxPoint(10, 10), wxSize(520, 420)); }
    void TearDown() override
    {
        delete m_Frame;
        FlushEvents();
    }

    /// A shown list filling the frame: three columns of 100 pixels.
    TestList* NewList(int rows, long style = 0)
    {
        auto* list = new TestList(m_Frame, style);
        for (int i = 0; i < 3; ++i)
            list->AddColumn(i, SFormat("Column %d", i), 100);
        list->Insert(0, size_t(rows));
        m_Frame->Show();
        m_Frame->SendSizeEvent();
        EXPECT_TRUE(WaitUntil([&] { return list->m_Paints > 0 && list->_GetBody()->GetClientSize().y > 300; }));
        FlushEvents();
        return list;
    }
    /// Asks for a repaint and runs the loop until the body has drawn it.
    static bool Repaint(TestList* list)
    {
        const int before = list->m_Paints;
        list->Redraw();
        return WaitUntil([&] { return list->m_Paints > before; });
    }
    static int RowY(TestList* list, int row) { return list->GetCellRect(row, 0).y + list->GetRowHeight() / 2; }
    static void Click(TestList* list, int row, const char* keys = "")
    {
        Mouse(list->_GetBody(), wxEVT_LEFT_DOWN, 50, RowY(list, row), keys);
        Mouse(list->_GetBody(), wxEVT_LEFT_UP, 50, RowY(list, row), keys);
    }

    wxFrame* m_Frame = nullptr;
};
}

TEST_F(ViewTest, DoubleBufferedWindowCoalescesRedrawsAndScrolls)
{
    auto* canvas = new Canvas(m_Frame);
    m_Frame->Show();
    ASSERT_TRUE(WaitUntil([&] { return canvas->m_Draws > 0 && canvas->Quiet(); }));
    canvas->m_Paints = canvas->m_Timeouts = canvas->m_Draws = 0;
    canvas->m_Updated.Clear();
    // A burst of ten: nothing drawn now; one timer event, one DrawBitmap, one
    // box invalidated that also covers the gaps between the rectangles.
    for (const wxRect& rect : {wxRect(10, 10, 20, 20), wxRect(100, 50, 30, 10), wxRect(40, 120, 5, 5)})
        canvas->Redraw(rect);
    for (int i = 0; i < 7; ++i)
        canvas->Redraw(wxRect(20 + 9 * i, 30 + 8 * i, 4, 4));
    EXPECT_EQ(0, canvas->m_Draws);
    ASSERT_TRUE(WaitUntil([&] { return canvas->m_Paints > 0; }));
    FlushEvents();
    EXPECT_EQ((Ints{1, 1}), (Ints{canvas->m_Timeouts, canvas->m_Draws}));
    EXPECT_EQ(wxRect(10, 10, 120, 115), canvas->m_Updated.GetBox());
    EXPECT_EQ(wxInRegion, canvas->m_Updated.Contains(wxPoint(70, 90)));
    // A steady stream of requests does not put the repaint off.
    EXPECT_TRUE(WaitUntil([&] { return canvas->Redraw(wxRect(0, 0, 8, 8)), canvas->m_Draws > 1; }));
    ASSERT_TRUE(WaitUntil([&] { return canvas->Quiet(); }));
    canvas->m_Paints = canvas->m_Draws = 0;
    canvas->Refresh(false);  // exposure only: the stored bitmap is copied
    ASSERT_TRUE(WaitUntil([&] { return canvas->m_Paints > 0; }));
    EXPECT_EQ(0, canvas->m_Draws);
    canvas->m_Throws = 1;  // a paint that throws is swallowed and drawn again after the delay
    canvas->Redraw();
    EXPECT_TRUE(WaitUntil([&] { return canvas->m_Draws == 2 && canvas->Quiet(); }));
    m_Frame->SetClientSize(300, 200);  // a resize drops the bitmap
    EXPECT_TRUE(WaitUntil([&] { return BitmapOf::Image(canvas).GetSize() == wxSize(300, 200) && canvas->Quiet(); }));
    EXPECT_EQ(*wxBLUE, Pixel(BitmapOf::Image(canvas), 299, 199));
    // A whole-area request made before the window grew still covers all of it.
    const int delay = canvas->SetRefreshDelay(60000);
    canvas->Redraw();
    m_Frame->SetClientSize(340, 230);
    ASSERT_TRUE(WaitUntil([&] { return canvas->GetClientSize() == wxSize(340, 230); }));
    canvas->Redraw();
    EXPECT_EQ(wxRect(0, 0, 340, 230), canvas->m_RefreshRect);
    canvas->SetRefreshDelay(delay);
    canvas->m_Timer.StartOnce(1);
    ASSERT_TRUE(WaitUntil([&] { return canvas->Quiet(); }));
    canvas->m_LineCount = 100;  // 1000 pixels high
    canvas->AdjustScrollbars();
    canvas->SendSizeEvent();  // overlay scroll bars take room without a size event
    ASSERT_TRUE(WaitUntil([&] { return canvas->GetScrollThumb(wxVERTICAL) == canvas->GetClientSize().y; }));
    const int height = canvas->GetClientSize().y;
    const auto at = [&](bool used) { return used ? canvas->GetScrollPos(wxVERTICAL) : -1; };
    EXPECT_EQ((Ints{50, 0, height, 1000 - height}), (Ints{at(canvas->ScrollLines(5)), at(canvas->ScrollLines(-1000)),
                                                         at(canvas->ScrollPages(1)), at(canvas->ScrollPages(1000))}));
    // 40 of 120 per wheel event: one notch (3 lines) on the third; a reversal
    // cancels the partial turn; what is left over counts towards the next.
    canvas->ScrollPages(-1000);
    const auto wheel = [&](int rotation) {
        wxMouseEvent event(wxEVT_MOUSEWHEEL);
        event.m_wheelRotation = rotation;
        event.m_wheelDelta = 120;
        event.m_linesPerAction = 3;
        canvas->HandleWindowEvent(event);
        return canvas->GetScrollPos(wxVERTICAL);
    };
    EXPECT_EQ((Ints{0, 0, 30, 30, 30, 30, 30, 60, 0, 30, 60}),
              (Ints{wheel(-40), wheel(-40), wheel(-40), wheel(-40), wheel(40), wheel(-40), wheel(-40), wheel(-40),
                    wheel(360), wheel(-200), wheel(-40)}));
    // Stuck to the end, the bottom follows new lines; a view scrolled up stays.
    const auto addLines = [&] { canvas->m_LineCount += 50, canvas->AdjustScrollbars(); };
    canvas->m_StickToEnd = true;
    canvas->ScrollPages(1000);
    addLines();
    EXPECT_EQ(1500 - height, canvas->GetScrollPos(wxVERTICAL));
    canvas->ScrollLines(-3);
    addLines();
    EXPECT_EQ(1500 - height - 30, canvas->GetScrollPos(wxVERTICAL));
}

TEST_F(ViewTest, ColumnsResizeMoveHitTestAndKeepTheirWidths)
{
    TestList* list = NewList(0);
    wxDBListHeader* header = list->_GetHeader();
    const auto widths = [&] {
        Ints result;
        for (size_t c = 0; c < list->GetColumnCount(); ++c)
            result.push_back(list->GetColumnWidth(c));
        return result;
    };
    // The grip of a border reaches 3 pixels to each side; a drag stops at 20.
    Mouse(header, wxEVT_LEFT_DOWN, 104, 5);
    Mouse(header, wxEVT_LEFT_UP, 104, 5);
    Mouse(header, wxEVT_LEFT_DOWN, 103, 5);
    Mouse(header, wxEVT_MOTION, 103 - 500, 5);
    Mouse(header, wxEVT_LEFT_UP, 103 - 500, 5);
    EXPECT_EQ(20 + 100 + 100 + 2, list->GetScrollRange(wxHORIZONTAL));  // the widths and the margin
    // Columns now span 0-20, 20-120 and 120-220; a click is where the button goes up.
    Mouse(header, wxEVT_LEFT_DOWN, 60, 5);
    Mouse(header, wxEVT_LEFT_UP, 170, 5);
    EXPECT_EQ((Lines{"colclick c1", "begin c0", "end c0", "colclick c2"}), list->Take());
    list->AddColumn(7, "Wide", -1);
    list->InsertColumn(0, 8, "First", "custom", -5);
    EXPECT_EQ((Ints{100, 20, 100, 100, 150}), widths());
    list->RemoveColumn(4);
    list->RemoveColumn(0);
    // Restored defensively: widths of at least 20, unreadable or missing
    // tokens count as too narrow or leave the width, extra ones are ignored.
    OptionsFile& options = DravikApp::GetOptions();
    list->SetColumnWidth(0, 120);
    list->SaveColumnSizes("ListTest", "Widths");
    EXPECT_EQ("120, 100, 100", options.GetValue("ListTest", "Widths", String()).Str());
    const auto restored = [&](const String& value) {
        options.SetValue("ListTest", "Widths", value);
        list->RestoreColumnSizes("ListTest", "Widths");
        return widths();
    };
    EXPECT_EQ((Ints{20, 20, 200}), restored("15, abc, 200, 999"));
    EXPECT_EQ(2 + 20 + 20 + 200, list->GetScrollRange(wxHORIZONTAL));
    String many;
    for (int i = 0; i < 5000; ++i)
        many += "40,";
    EXPECT_EQ((Ints{40, 40, 40}), restored(many));
    for (int width : restored("99999999999, -2147483648, 2147483647"))
        EXPECT_GE(width, 20);
    options.ClearSection("ListTest");
    // A boundary belongs to the column on its right; the last column keeps its right edge.
    list->RemoveAllColumns();
    list->AddColumn(0, "A", 100);
    list->AddColumn(1, "B", 50);
    EXPECT_EQ((Ints{0, 0, 1, 1, -1}), (Ints{list->GetColumnAt(0), list->GetColumnAt(99), list->GetColumnAt(100),
                                            list->GetColumnAt(150), list->GetColumnAt(151)}));
    // Moves clamp to the ends; the highlight stays on its column.
    list->AddColumn(2, "C", 70);
    const auto moved = [&](int highlight, int col, int offset) {
        list->SetHighlightColumn(highlight);
        list->MoveColumn(col, offset);
        std::string result;
        for (size_t c = 0; c < list->GetColumnCount(); ++c)
            result += list->GetColumnName(int(c)).Str();
        return result + " " + std::to_string(list->GetHighlightColumn());
    };
    EXPECT_EQ((Lines{"BCA 1", "BAC 1", "CBA 1"}), (Lines{moved(2, 0, 5), moved(2, 2, -1), moved(0, 2, -5)}));
    EXPECT_EQ((Ints{70, 50, 100}), widths());
}

TEST_F(ViewTest, TheHeaderRepaintsOnlyWhenItWouldLookDifferent)
{
    TestList* list = NewList(30);
    int headerPaints = 0;
    list->_GetHeader()->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++headerPaints;
        event.Skip();
    });
    ASSERT_TRUE(Repaint(list));
    FlushEvents();
    EXPECT_EQ(headerPaints, 0) << "a page redraw leaves a header that looks the same";

    list->SetHighlightColumn(1);
    list->Redraw();
    EXPECT_TRUE(WaitUntil([&] { return headerPaints > 0; })) << "a highlighted column shows at once";
    const int afterHighlight = headerPaints;
    list->SetColumnWidth(0, 140);
    EXPECT_TRUE(WaitUntil([&] { return headerPaints > afterHighlight; })) << "so does a new width";
}

TEST_F(ViewTest, HoverLooksFollowThePointerThroughTheWindowsOwnEvents)
{
    TestList* list = NewList(40);
    wxDBListBody* body = list->_GetBody();
    wxDBListHeader* header = list->_GetHeader();
    // Without a window manager the frame under the pointer is the active one:
    // the frame is moved under the pointer, which then lies over row 4.
    const wxPoint target(50, RowY(list, 4));
    m_Frame->Move(m_Frame->GetPosition() + wxGetMousePosition() - body->ClientToScreen(target));
    ASSERT_TRUE(WaitUntil([&] { return ParentIsActive(list) && body->GetPointer() == target; }));

    const auto hovered = [&] {
        // A partial repaint still pending may come first: wait for the page.
        list->m_HoverRows.clear();
        list->m_DrawnRows.clear();
        list->Redraw();
        EXPECT_TRUE(WaitUntil([&] { return list->m_DrawnRows.size() >= 10; }));
        return Ints(list->m_HoverRows.begin(), list->m_HoverRows.end());
    };
    EXPECT_EQ(Ints{4}, hovered()) << "the frame arrived under the pointer";
    Mouse(body, wxEVT_MOTION, 50, RowY(list, 2));
    EXPECT_EQ(Ints{2}, hovered());
    body->ScrollLines(3);  // the pointer stays put: the row under it changes
    EXPECT_EQ(Ints{5}, hovered());
    Mouse(body, wxEVT_LEAVE_WINDOW, 50, RowY(list, 2));
    EXPECT_EQ(Ints{}, hovered());

    // The header repaints when the hovered column changes, and only then.
    int headerPaints = 0;
    header->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++headerPaints;
        event.Skip();
    });
    const auto paintsAfter = [&](wxEventType type, int x) {
        FlushEvents();
        const int before = headerPaints;
        Mouse(header, type, x, 5);
        list->Redraw();
        WaitUntil([&] { return headerPaints > before; }, 500);
        return headerPaints - before;
    };
    EXPECT_EQ((Ints{1, 0, 1, 1}), (Ints{paintsAfter(wxEVT_MOTION, 150), paintsAfter(wxEVT_MOTION, 160),
                                        paintsAfter(wxEVT_MOTION, 250), paintsAfter(wxEVT_LEAVE_WINDOW, 250)}))
        << "into column 1, within it, into column 2, out";
}

TEST_F(ViewTest, RowsAreACountDrawnShadedSelectedAndDisabled)
{
    TestList* list = NewList(20);
    wxDBListBody* body = list->_GetBody();
    const auto anchorAfter = [&](int anchor, auto change) {
        list->SetLastSelect(anchor);
        change();
        return body->GetAnchor();
    };
    EXPECT_EQ(14, anchorAfter(4, [&] { list->Insert(0, 10); }));
    EXPECT_EQ(8, anchorAfter(5, [&] { list->Insert(5, 3); }));
    EXPECT_EQ(4, anchorAfter(4, [&] { list->Insert(5, 2); }));
    EXPECT_EQ(-1, anchorAfter(3, [&] { list->Remove(0, 5); }));
    EXPECT_EQ(8, anchorAfter(8, [&] { list->Remove(0, 5); }));
    list->m_Selected = {2, 4, 5, 9};  // selected rows that go are deselected, last first
    list->Remove(3, 3);
    EXPECT_EQ((Lines{"desel 5/0", "desel 4/0"}), list->Take());
    list->Clear();  // no cell is drawn for the empty rows below the data
    list->Insert(0, 3);
    list->m_Selected = {1, 2};
    list->SetHighlightColumn(1);
    list->m_DrawnRows.clear();
    ASSERT_TRUE(Repaint(list));
    EXPECT_EQ((std::set<int>{0, 1, 2}), list->m_DrawnRows);
    list->m_DrawnRows.clear();  // a changed row redraws that row only
    list->RedrawItem(1);
    ASSERT_TRUE(WaitUntil([&] { return !list->m_DrawnRows.empty(); }));
    EXPECT_EQ((std::set<int>{1}), list->m_DrawnRows);
    const auto at = [&](int row, int x = 400) {  // right of the columns: only the row strip
        return Pixel(BitmapOf::Image(body), x, list->GetCellRect(row, 0).y + 1);
    };
    const wxColour field = wxsGetColor(COLOR_FIELD), odd = AdjustColour(field, -2, -2, -2), grey(128, 128, 128);
    const wxColour selected = BlendColour(field, wxsGetColor(COLOR_HIGHLIGHT), 0.33);
    // Selected rows are not shaded; the shading goes on below the data; the
    // highlighted column lifts plain and selected rows alike.
    EXPECT_EQ((std::vector<wxColour>{field, selected, selected, odd, field, AdjustColour(field, 9, 9, 10),
                                     AdjustColour(selected, 9, 9, 10)}),
              (std::vector<wxColour>{at(0), at(1), at(2), at(3), at(4), at(0, 195), at(2, 195)}));
    list->Enable(false);
    ASSERT_TRUE(Repaint(list));
    EXPECT_EQ((std::vector<wxColour>{BlendColour(field, grey, 0.33), BlendColour(selected, grey, 0.33)}),
              (std::vector<wxColour>{at(0), at(2)}));
}

TEST_F(ViewTest, MouseAndKeysSelectThroughEventsAndTheCellEditorCommits)
{
    TestList* list = NewList(20);
    wxDBListBody* body = list->_GetBody();
    Click(list, 5);
    Click(list, 8, "S");
    EXPECT_EQ((Lines{"sel 5/0", "desel 5/0", "sel 5/0 S", "sel 6/0 S", "sel 7/0 S", "sel 8/0 S"}), list->Take());
    EXPECT_EQ(5, body->GetAnchor());
    Click(list, 12, "C");
    EXPECT_EQ((Lines{"sel 12/0 C"}), list->Take());
    Mouse(body, wxEVT_RIGHT_DOWN, 50, RowY(list, 6), "C");
    EXPECT_EQ((Lines{"desel 6/0 C", "right 6/0 C"}), list->Take());
    EXPECT_EQ(6, body->GetAnchor());
    Mouse(body, wxEVT_RIGHT_DOWN, 50, RowY(list, 7));  // on the selection: it stays
    Mouse(body, wxEVT_LEFT_DCLICK, 150, RowY(list, 3), "SC");
    EXPECT_EQ((Lines{"sel 7/0", "right 7/0", "act 3/1 SC"}), list->Take());
    EXPECT_EQ((std::set<int>{5, 7, 8, 12}), list->m_Selected);
    Click(list, 10);
    Click(list, 30);  // below the data: the selection goes, nothing is selected
    EXPECT_EQ((Lines{"desel 5/0", "desel 7/0", "desel 8/0", "desel 12/0", "sel 10/0", "desel 10/0"}), list->Take());
    EXPECT_EQ(-1, body->GetAnchor());
    // Keys move the anchor and Shift adds; at the ends they are used up doing nothing.
    Click(list, 10);
    list->Take();
    EXPECT_TRUE(Key(body, WXK_DOWN) && Key(body, WXK_DOWN, "S"));
    EXPECT_EQ((Lines{"desel 10/0", "sel 11/0", "sel 12/0"}), list->Take());
    for (const auto& [row, key] : {std::pair<int, int>{0, WXK_UP}, {19, WXK_DOWN}})
    {
        Click(list, row);
        list->Take();
        EXPECT_TRUE(Key(body, key) && list->Take().empty()) << row;
        EXPECT_EQ(row, body->GetAnchor());
    }
    delete list;
    // Single selection: dragging moves the one selected row with the mouse.
    list = NewList(20, wxLC_SINGLE_SEL);
    body = list->_GetBody();
    Mouse(body, wxEVT_LEFT_DOWN, 50, RowY(list, 2));
    ASSERT_TRUE(body->HasCapture());
    for (const int row : {3, 3, 4, 0, 1})
        Mouse(body, wxEVT_MOTION, 50 + row, RowY(list, row) + row % 2);
    Mouse(body, wxEVT_LEFT_UP, 50, RowY(list, 1));
    EXPECT_FALSE(body->HasCapture());
    Click(list, 9, "C");  // Control only clears in this mode
    EXPECT_EQ((Lines{"sel 2/0", "desel 2/0", "sel 3/0", "sel 3/0", "desel 3/0", "sel 4/0", "desel 4/0", "sel 0/0",
                     "desel 0/0", "sel 1/0", "desel 1/0"}),
              list->Take());
    EXPECT_EQ(9, body->GetAnchor());
    // The cell editor: Escape discards, Enter and the loss of focus commit.
    const auto closedBy = [&](wxEvent&& event) {
        event.SetEventObject(list->GetEditCtrl());
        list->GetEditCtrl()->HandleWindowEvent(event);
        return WaitUntil([&] { return list->GetEditCtrl() == nullptr; });
    };
    list->EnableEditOverlay(2, 1);
    wxsTextCtrl* editor = list->GetEditCtrl();
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ("r2c1", editor->GetValue());
    // Over its cell, in the body, with the field's clear button beside it.
    EXPECT_EQ(list->GetCellRect(2, 1), editor->GetRect());
    EXPECT_EQ((std::vector<wxWindow*>{list->_GetBody(), list->_GetBody()}),
              (std::vector<wxWindow*>{editor->GetParent(), editor->GetClearButton()->GetParent()}));
    EXPECT_TRUE(Key(editor, WXK_ESCAPE));
    EXPECT_TRUE(WaitUntil([&] { return list->GetEditCtrl() == nullptr; }));
    list->EnableEditOverlay(3, 0);
    ASSERT_NE(nullptr, editor = list->GetEditCtrl());
    editor->SetValue("entered");
    EXPECT_TRUE(closedBy(wxCommandEvent(wxEVT_TEXT_ENTER, editor->GetId())));  // the focus it loses commits nothing more
    list->EnableEditOverlay(1, 2);
    ASSERT_NE(nullptr, editor = list->GetEditCtrl());
    EXPECT_TRUE(closedBy(wxFocusEvent(wxEVT_KILL_FOCUS, editor->GetId())));
    EXPECT_EQ((Lines{"entered", "r1c2"}), list->m_Committed);
    EXPECT_EQ((Lines{"edit 3/0", "edit 1/2"}), list->Take());  // none for the Escape
    list->EnableEditOverlay(20, 0);  // past the rows
    EXPECT_EQ(nullptr, list->GetEditCtrl());
}

TEST(FitText, CutsTheMiddleOneCharacterAtATimeAndStopsBelowFiveCharacters)
{
    wxBitmap bitmap(50, 20);
    wxMemoryDC dc(bitmap);
    dc.SetFont(*wxNORMAL_FONT);
    const auto extent = [&](const std::string& text) { return dc.GetTextExtent(text).x; };
    const auto fit = [&](const char* text, int width) {
        const std::string shown = wxDBListCtrl::FitText(text, width, dc).Str();
        EXPECT_EQ(extent(shown), width) << text;  // the width taken comes back
        return shown;
    };
    for (const std::string step : {"abcdefghij", "abcd...ij", "abc...ij", "abc...j", "ab...j", "ab...", "a..."})
        EXPECT_EQ(step, fit("abcdefghij", extent(step)));
    // Nothing fits: the text overflows and the cell clip cuts it.
    EXPECT_EQ((Lines{"a...", "abcd", ""}), (Lines{fit("abcde", 0), fit("abcd", 0), fit("", 0)}));
}
