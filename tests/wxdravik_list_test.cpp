// The double-buffered window and the database list: coalesced redraws,
// scrolling, columns and their saved widths, rows as a count, selection by
// mouse and keys, the header, text fitting, the cell editor, row colours.
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/sizer.h>

#include "draviklib/draviklib.h"
#include "harness/gui_harness.h"
#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdblistctrl.h"
#include "wxdravik/wxdravikdlg.h"

using namespace dravik_test;
using Lines = std::vector<std::string>;
using Ints = std::vector<int>;

void PrintTo(const wxColour& colour, std::ostream* out)
{
    *out << colour.GetAsString(wxC2S_CSS_SYNTAX).utf8_str();
}

namespace
{
/// The bitmap a view painted, which is otherwise its own business.
struct BitmapOf : wxDoubleBufferedWindow
{
    static wxImage Image(wxDoubleBufferedWindow* window)
    {
        const std::unique_ptr<wxBitmap>& bitmap = window->*(&BitmapOf::m_Bitmap);
        return bitmap ? bitmap->ConvertToImage() : wxImage();
    }
};

/// Counts timer events, paints and DrawBitmap calls, keeps the area painted.
class Canvas : public wxDoubleBufferedWindow
{
public:
    explicit Canvas(wxWindow* parent) : wxDoubleBufferedWindow(parent, wxID_ANY, 0)
    {
        Bind(wxEVT_PAINT, [this](wxPaintEvent& event) {
            ++m_Paints;
            m_Updated.Union(GetUpdateRegion());
            event.Skip();
        });
        Bind(wxEVT_TIMER, [this](wxTimerEvent& event) {
            ++m_Timeouts;
            event.Skip();
        });
    }
    void AddLines(int lines, int totalWidth = -1)
    {
        m_LineCount += lines;
        m_TotalWidth = totalWidth < 0 ? m_TotalWidth : totalWidth;
        m_CharWidth = 8;
        AdjustScrollbars();
    }
    void Link(wxDoubleBufferedWindow* other) { CoScrollWindow(other); }
    bool Idle() const { return !m_Timer.IsRunning(); }
    /// No refresh pending and none waiting for its paint.
    bool Quiet() const { return Idle() && !m_Dirty; }
    int Last() const { return GetScrollRange(wxVERTICAL) - GetScrollThumb(wxVERTICAL); }
    void Reset()
    {
        m_Paints = m_Timeouts = m_Draws = 0;
        m_Updated.Clear();
        m_Scrolls.clear();
    }
    int Send(wxEventType type, int orient, int position = 0)
    {
        wxScrollWinEvent event(type, position, orient);
        HandleWindowEvent(event);
        return GetScrollPos(orient);
    }
    int Wheel(int rotation)
    {
        wxMouseEvent event(wxEVT_MOUSEWHEEL);
        event.m_wheelRotation = rotation;
        event.m_wheelDelta = 120;
        event.m_linesPerAction = 3;
        HandleWindowEvent(event);
        return GetScrollPos(wxVERTICAL);
    }

    using wxDoubleBufferedWindow::m_StickToEnd;
    using wxDoubleBufferedWindow::m_VisibleChars;
    using wxDoubleBufferedWindow::m_VisibleLines;
    int m_Paints = 0, m_Timeouts = 0, m_Draws = 0, m_ThrowNext = 0;
    wxSize m_DrawnSize;
    wxRegion m_Updated;
    Ints m_Scrolls;  // the position each PostScroll saw

protected:
    void DrawBitmap() override
    {
        ++m_Draws;
        if (m_ThrowNext > 0 && m_ThrowNext--)
            throw std::runtime_error("a frame that cannot be drawn");
        m_DrawnSize = m_Bitmap->GetSize();
        wxMemoryDC dc(*m_Bitmap);
        dc.SetBackground(*wxBLUE_BRUSH);
        dc.Clear();
    }
    void PostScroll(wxScrollWinEvent& event) override { m_Scrolls.push_back(GetScrollPos(event.GetOrientation())); }
};

/// A list whose selection is a set kept by the list's own events. Events are
/// recorded as "name row/column [modifiers]", column events as "name cN".
class TestList : public wxDBListCtrl
{
public:
    TestList(wxWindow* parent, long style) : wxDBListCtrl(parent, wxID_ANY, style)
    {
        for (const auto& [type, name] : Names())
            Bind(wxEventTypeTag<wxListEvent>(type), &TestList::OnListEvent, this);
    }
    bool IsRowSelected(int row) override { return m_Selected.count(row) > 0; }
    xolib::vector<int> GetSelection() override { return xolib::vector<int>(m_Selected.begin(), m_Selected.end()); }
    String GetDisplayText(int row, int column) override
    {
        ++m_TextCalls;
        return SFormat("r%dc%d", row, column);
    }
    void PrepareToDraw(int row) override
    {
        m_Paints += row == _GetBody()->GetViewStart(wxVERTICAL);
        m_LastPrepared = row;
    }
    void DrawCell(wxDC& dc, int row, int column, wxRect rect, bool hover) override
    {
        m_DrawnRows.insert(row);
        wxDBListCtrl::DrawCell(dc, row, column, rect, hover);
    }
    void CommitCellEdit() override { m_Committed.push_back(GetEditCtrl()->GetValue().ToStdString()); }
    using wxDBListCtrl::EnableEditOverlay;
    using wxDBListCtrl::SetLastSelect;

    Lines Take() { return std::exchange(m_Events, Lines()); }

    std::set<int> m_Selected, m_DrawnRows;
    Lines m_Events, m_Committed;
    int m_TextCalls = 0, m_Paints = 0, m_LastPrepared = -1;

private:
    static const std::map<wxEventType, std::string>& Names()
    {
        static const std::map<wxEventType, std::string> names = {
            {wxEVT_LIST_ITEM_SELECTED, "sel"},     {wxEVT_LIST_ITEM_DESELECTED, "desel"},
            {wxEVT_LIST_ITEM_ACTIVATED, "act"},    {wxEVT_LIST_ITEM_RIGHT_CLICK, "right"},
            {wxEVT_LIST_END_LABEL_EDIT, "edit"},   {wxEVT_LIST_COL_CLICK, "colclick"},
            {wxEVT_LIST_COL_RIGHT_CLICK, "colright"}, {wxEVT_LIST_COL_BEGIN_DRAG, "begin"},
            {wxEVT_LIST_COL_END_DRAG, "end"}};
        return names;
    }
    void OnListEvent(wxListEvent& event)
    {
        const std::string& name = Names().at(event.GetEventType());
        if (name == "sel")
            m_Selected.insert(int(event.GetIndex()));
        if (name == "desel")
            m_Selected.erase(int(event.GetIndex()));
        std::string line = name + " ";
        if (name.compare(0, 3, "col") == 0 || name == "begin" || name == "end")
            line += "c" + std::to_string(event.GetColumn());
        else
            line += std::to_string(event.GetIndex()) + "/" + std::to_string(event.GetColumn());
        m_Events.push_back(line + (event.GetString().empty() ? "" : " " + event.GetString().ToStdString()));
    }
};

/// Shift and Control as "S" and "C" in keys.
template <class Event>
Event WithKeys(Event event, wxWindow* window, const char* keys)
{
    event.SetEventObject(window);
    event.SetShiftDown(strchr(keys, 'S') != nullptr);
    event.SetControlDown(strchr(keys, 'C') != nullptr);
    return event;
}

void Mouse(wxWindow* window, wxEventType type, int x, int y, const char* keys = "")
{
    wxMouseEvent event = WithKeys(wxMouseEvent(type), window, keys);
    event.SetPosition(wxPoint(x, y));
    window->HandleWindowEvent(event);
}

/// A key press; true when the window used it rather than passing it on.
bool Key(wxWindow* window, int code, const char* keys = "", wxEventType type = wxEVT_KEY_DOWN)
{
    wxKeyEvent event = WithKeys(wxKeyEvent(type), window, keys);
    event.m_keyCode = code;
    return window->HandleWindowEvent(event);
}

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

/// A frame away from the pointer, which Xvfb leaves in the middle of the
/// screen: no row is ever hovered.
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

TEST_F(ViewTest, RedrawRequestsCoalesceExposureReusesTheBitmapAndFailedFramesRetry)
{
    auto* canvas = new Canvas(m_Frame);
    m_Frame->Show();
    ASSERT_TRUE(WaitUntil([&] { return canvas->m_Draws > 0 && canvas->Quiet(); }));
    canvas->Reset();
    // A burst: nothing drawn now; one timer event, one DrawBitmap, one box
    // invalidated that also covers the gaps between the rectangles.
    for (const wxRect& rect : {wxRect(10, 10, 20, 20), wxRect(100, 50, 30, 10), wxRect(40, 120, 5, 5)})
        canvas->Redraw(rect);
    EXPECT_EQ(0, canvas->m_Draws);
    ASSERT_TRUE(WaitUntil([&] { return canvas->m_Paints > 0; }));
    FlushEvents();
    EXPECT_TRUE(canvas->Idle());
    EXPECT_EQ(1, canvas->m_Timeouts);
    EXPECT_EQ(1, canvas->m_Draws);
    EXPECT_EQ(wxRect(10, 10, 120, 115), canvas->m_Updated.GetBox());
    EXPECT_EQ(wxInRegion, canvas->m_Updated.Contains(wxPoint(70, 90)));

    // A steady stream of requests does not put the repaint off.
    EXPECT_TRUE(WaitUntil([&] {
        canvas->Redraw(wxRect(0, 0, 8, 8));
        return canvas->m_Draws > 1;
    }));
    ASSERT_TRUE(WaitUntil([&] { return canvas->Quiet(); }));

    canvas->Reset();
    canvas->Refresh(false);  // exposure only: the stored bitmap is copied
    ASSERT_TRUE(WaitUntil([&] { return canvas->m_Paints > 0; }));
    EXPECT_EQ(0, canvas->m_Draws);

    m_Frame->SetClientSize(300, 200);  // a resize drops the bitmap
    EXPECT_TRUE(WaitUntil([&] { return canvas->m_DrawnSize == wxSize(300, 200); }));
    EXPECT_EQ(*wxBLUE, Pixel(BitmapOf::Image(canvas), 299, 199));

    ASSERT_TRUE(WaitUntil([&] { return canvas->Quiet(); }));
    canvas->Reset();
    canvas->m_ThrowNext = 1;  // swallowed, and tried again after the delay
    canvas->Redraw();
    EXPECT_TRUE(WaitUntil([&] { return canvas->m_Draws == 2 && canvas->Quiet(); }));
    EXPECT_EQ(2, canvas->m_Draws);
    EXPECT_EQ(2, canvas->m_Timeouts);
}

TEST_F(ViewTest, ScrollingClampsStepsFollowsTheWheelAndRedrawsTheLinkedWindow)
{
    auto* canvas = new Canvas(m_Frame);
    auto* linked = new Canvas(m_Frame);
    linked->SetMinSize(wxSize(-1, 40));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(canvas, 1, wxEXPAND);
    sizer->Add(linked, 0, wxEXPAND);
    m_Frame->SetSizer(sizer);
    m_Frame->Show();
    ASSERT_TRUE(WaitUntil([&] { return canvas->m_Draws > 0 && linked->m_Draws > 0; }));
    canvas->AddLines(100, 2000);  // 1000 pixels high, 2000 wide
    canvas->Link(linked);
    // Overlay scroll bars take room without a size event: give the window one.
    canvas->SendSizeEvent();
    ASSERT_TRUE(WaitUntil([&] {
        const wxSize client = canvas->GetClientSize();
        return canvas->GetScrollThumb(wxVERTICAL) == client.y && canvas->GetScrollThumb(wxHORIZONTAL) == client.x &&
               canvas->m_VisibleLines == client.y / 10 + 2 && canvas->m_VisibleChars == client.x / 8 + 2;
    }));
    const wxSize client = canvas->GetClientSize();
    const int last = 1000 - client.y, lastH = 2000 - client.x;
    canvas->Reset();
    EXPECT_TRUE(canvas->ScrollLines(5));
    EXPECT_TRUE(canvas->ScrollLines(-1000));
    EXPECT_TRUE(canvas->ScrollPages(1));
    EXPECT_TRUE(canvas->ScrollPages(1000));
    EXPECT_EQ((Ints{50, 0, client.y, last}), canvas->m_Scrolls);

    // A line step is one line either way; a page keeps two lines or five characters.
    EXPECT_EQ(0, canvas->Send(wxEVT_SCROLLWIN_TOP, wxVERTICAL));
    EXPECT_EQ(0, canvas->Send(wxEVT_SCROLLWIN_LINEUP, wxVERTICAL));
    EXPECT_EQ(10, canvas->Send(wxEVT_SCROLLWIN_LINEDOWN, wxVERTICAL));
    EXPECT_EQ(10 + client.y / 10 * 10, canvas->Send(wxEVT_SCROLLWIN_PAGEDOWN, wxVERTICAL));
    EXPECT_EQ(10, canvas->Send(wxEVT_SCROLLWIN_PAGEUP, wxVERTICAL));
    EXPECT_EQ(last, canvas->Send(wxEVT_SCROLLWIN_THUMBRELEASE, wxVERTICAL, 5000));
    EXPECT_EQ(10, canvas->Send(wxEVT_SCROLLWIN_LINEDOWN, wxHORIZONTAL));
    EXPECT_EQ(10 + (client.x / 8 - 3) * 8, canvas->Send(wxEVT_SCROLLWIN_PAGEDOWN, wxHORIZONTAL));
    EXPECT_EQ(lastH, canvas->Send(wxEVT_SCROLLWIN_BOTTOM, wxHORIZONTAL));

    // Position 25 with lines of 10: line 2 with 5 pixels hidden; across likewise.
    canvas->Send(wxEVT_SCROLLWIN_THUMBTRACK, wxVERTICAL, 25);
    canvas->Send(wxEVT_SCROLLWIN_THUMBTRACK, wxHORIZONTAL, 21);
    EXPECT_EQ((Ints{2, 2, 5, 5}), (Ints{canvas->MouseToLine(0), canvas->GetViewStart(wxVERTICAL),
                                        canvas->GetViewOffset(wxVERTICAL), canvas->LineToMouse(3)}));
    EXPECT_EQ((Ints{2, 5, 3}),
              (Ints{canvas->MouseToChar(0), canvas->GetViewOffset(wxHORIZONTAL), canvas->CharToMouse(3)}));

    // 40 of 120 per wheel event: one notch (3 lines) on the third; a reversal
    // cancels the partial turn; what is left over counts towards the next.
    canvas->Send(wxEVT_SCROLLWIN_TOP, wxVERTICAL);
    canvas->Reset();
    EXPECT_EQ((Ints{0, 0}), (Ints{canvas->Wheel(-40), canvas->Wheel(-40)}));
    EXPECT_TRUE(canvas->m_Scrolls.empty());
    EXPECT_EQ(30, canvas->Wheel(-40));
    for (int rotation : {-40, 40, -40, -40})
        EXPECT_EQ(30, canvas->Wheel(rotation));
    EXPECT_EQ((Ints{60, 0, 30, 60}), (Ints{canvas->Wheel(-40), canvas->Wheel(360), canvas->Wheel(-200),
                                           canvas->Wheel(-40)}));

    // The linked window redraws, without scrolling, while the link stands.
    ASSERT_TRUE(WaitUntil([&] { return linked->Quiet(); }));
    linked->Reset();
    canvas->ScrollLines(2);
    EXPECT_TRUE(WaitUntil([&] { return linked->m_Draws == 1; }));
    EXPECT_EQ(0, linked->GetScrollPos(wxVERTICAL));
    ASSERT_TRUE(WaitUntil([&] { return linked->Idle(); }));
    canvas->Link(nullptr);
    canvas->ScrollLines(2);
    EXPECT_TRUE(linked->Idle());

    // Stuck to the end, the bottom follows new lines; a view scrolled up stays.
    canvas->m_StickToEnd = true;
    canvas->ScrollPages(1000);
    canvas->AddLines(50);
    EXPECT_EQ(1500 - client.y, canvas->GetScrollPos(wxVERTICAL));
    EXPECT_EQ(canvas->Last(), canvas->GetScrollPos(wxVERTICAL));
    canvas->ScrollLines(-3);
    canvas->AddLines(50);
    EXPECT_EQ(1500 - client.y - 30, canvas->GetScrollPos(wxVERTICAL));
}

TEST_F(ViewTest, ColumnModelHitTestsMovesAndSavedWidths)
{
    TestList* list = NewList(0);
    const auto widths = [&] {
        Ints result;
        for (size_t c = 0; c < list->GetColumnCount(); ++c)
            result.push_back(list->GetColumnWidth(c));
        return result;
    };
    // The horizontal range is the body's total width: the widths plus the margin.
    const auto totalMatches = [&](int sum) {
        for (int width : widths())
            sum += width;
        return sum == list->GetScrollRange(wxHORIZONTAL);
    };
    list->AddColumn(7, "Wide", -1, Align::Right);
    list->InsertColumn(0, 8, "First", "custom", -5);
    EXPECT_EQ((Ints{100, 100, 100, 100, 150}), widths());
    EXPECT_EQ(Align::Right, list->GetColumnAlign(4));
    EXPECT_EQ(Align::Left, list->GetColumnAlign(0));
    EXPECT_EQ(4, list->FindColumnByType(7));
    EXPECT_TRUE(totalMatches(2));
    list->RemoveColumn(4);
    list->RemoveColumn(0);
    EXPECT_TRUE(totalMatches(2));

    OptionsFile& options = DravikApp::GetOptions();
    list->SetColumnWidth(0, 120);
    list->SetColumnWidth(1, 80);
    list->SetColumnWidth(2, 300);
    list->SaveColumnSizes("ListTest", "Widths");
    EXPECT_EQ("120, 80, 300", options.GetValue("ListTest", "Widths", String()).Str());
    const auto restored = [&](const String& value) {
        options.SetValue("ListTest", "Widths", value);
        list->RestoreColumnSizes("ListTest", "Widths");
        EXPECT_TRUE(totalMatches(2)) << value.c_str();
        return widths();
    };
    EXPECT_EQ((Ints{20, 20, 200}), restored("15, abc, 200, 999"));
    EXPECT_EQ((Ints{50, 20, 200}), restored("\"50\", -7"));
    String many;
    for (int i = 0; i < 5000; ++i)
        many += "40,";
    EXPECT_EQ((Ints{40, 40, 40}), restored(many));
    for (int width : restored("99999999999, -2147483648, 2147483647"))
        EXPECT_GE(width, 20);
    restored("40, 41, 42");
    list->RestoreColumnSizes("ListTest", "Missing");
    EXPECT_EQ((Ints{40, 41, 42}), widths());
    EXPECT_EQ((Ints{40, 41, 42}), restored(""));
    options.ClearSection("ListTest");

    // A boundary belongs to the column on its right; the last column keeps its right edge.
    list->RemoveAllColumns();
    list->AddColumn(0, "A", 100);
    list->AddColumn(1, "B", 50);
    EXPECT_TRUE(totalMatches(0));
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
    EXPECT_EQ("BCA 1", moved(2, 0, 5));
    EXPECT_EQ("BAC 1", moved(2, 2, -1));
    EXPECT_EQ("CBA 1", moved(0, 2, -5));
    EXPECT_EQ("BCA 0", moved(1, 0, 1));
    EXPECT_EQ((Ints{50, 70, 100}), widths());
    EXPECT_TRUE(totalMatches(0));
}

TEST_F(ViewTest, RowsAreACountAndOnlyVisibleRowsAreDrawn)
{
    TestList* list = NewList(20);
    wxDBListBody* body = list->_GetBody();
    const auto anchorAfter = [&](int anchor, const std::function<void()>& change) {
        list->SetLastSelect(anchor);
        change();
        return body->GetAnchor();
    };
    EXPECT_EQ(14, anchorAfter(4, [&] { list->Insert(0, 10); }));
    EXPECT_EQ(8, anchorAfter(5, [&] { list->Insert(5, 3); }));
    EXPECT_EQ(4, anchorAfter(4, [&] { list->Insert(5, 2); }));
    EXPECT_EQ(-1, anchorAfter(3, [&] { list->Remove(0, 5); }));
    EXPECT_EQ(8, anchorAfter(8, [&] { list->Remove(0, 5); }));
    EXPECT_EQ(25, list->GetItemCount());

    list->m_Selected = {2, 4, 5, 9};  // selected rows that go are deselected, last first
    list->Remove(3, 3);
    EXPECT_EQ((Lines{"desel 5/0", "desel 4/0"}), list->Take());
    EXPECT_EQ((std::set<int>{2, 9}), list->m_Selected);

    list->m_Selected.clear();  // the shading goes on below three rows, the cells do not
    list->Clear();
    list->Insert(0, 3);
    list->m_DrawnRows.clear();
    ASSERT_TRUE(Repaint(list));
    EXPECT_EQ((std::set<int>{0, 1, 2}), list->m_DrawnRows);
    EXPECT_GT(list->m_LastPrepared, 2);

    // A million rows: one text request per visible cell per repaint.
    list->Insert(3, 1000000 - 3);
    body->ScrollLines(500000);
    ASSERT_TRUE(WaitUntil([&] { return body->GetViewStart(wxVERTICAL) == 500000; }));
    FlushEvents();
    list->m_DrawnRows.clear();
    list->m_TextCalls = list->m_Paints = 0;
    ASSERT_TRUE(Repaint(list));
    // At a whole-row position: the rows that reach into the window, no more.
    const int visibleRows = (body->GetClientSize().y + list->GetRowHeight() - 1) / list->GetRowHeight();
    EXPECT_EQ(list->m_Paints * visibleRows * 3, list->m_TextCalls);
    ASSERT_FALSE(list->m_DrawnRows.empty());
    EXPECT_EQ(500000, *list->m_DrawnRows.begin());
    EXPECT_EQ(500000 + visibleRows - 1, *list->m_DrawnRows.rbegin());
}

TEST_F(ViewTest, MouseAndKeysSelectThroughEvents)
{
    TestList* list = NewList(20);
    wxDBListBody* body = list->_GetBody();
    Click(list, 5);
    EXPECT_EQ((Lines{"sel 5/0"}), list->Take());
    Click(list, 8, "S");
    EXPECT_EQ((Lines{"desel 5/0", "sel 5/0 S", "sel 6/0 S", "sel 7/0 S", "sel 8/0 S"}), list->Take());
    EXPECT_EQ(5, body->GetAnchor());
    Click(list, 12, "C");
    EXPECT_EQ((Lines{"sel 12/0 C"}), list->Take());
    EXPECT_EQ(12, body->GetAnchor());
    Click(list, 6, "C");  // a selected row: the selection survives
    EXPECT_TRUE(list->Take().empty());
    Mouse(body, wxEVT_RIGHT_DOWN, 50, RowY(list, 6), "C");
    EXPECT_EQ((Lines{"desel 6/0 C", "right 6/0 C"}), list->Take());
    EXPECT_EQ(6, body->GetAnchor());
    Mouse(body, wxEVT_RIGHT_DOWN, 50, RowY(list, 7));  // on the selection: it stays
    EXPECT_EQ((Lines{"sel 7/0", "right 7/0"}), list->Take());
    EXPECT_EQ((std::set<int>{5, 7, 8, 12}), list->m_Selected);
    Mouse(body, wxEVT_LEFT_DCLICK, 150, RowY(list, 3), "SC");
    EXPECT_EQ((Lines{"act 3/1 SC"}), list->Take());
    Click(list, 10);
    EXPECT_EQ((Lines{"desel 5/0", "desel 7/0", "desel 8/0", "desel 12/0", "sel 10/0"}), list->Take());
    Click(list, 30);  // below the data: the selection goes, nothing is selected
    EXPECT_EQ((Lines{"desel 10/0"}), list->Take());
    EXPECT_EQ(-1, body->GetAnchor());

    // Keys move the anchor and Shift adds; at the ends they are used up doing nothing.
    Click(list, 10);
    list->Take();
    EXPECT_TRUE(Key(body, WXK_DOWN));
    EXPECT_TRUE(Key(body, WXK_DOWN, "S"));
    EXPECT_EQ((Lines{"desel 10/0", "sel 11/0", "sel 12/0"}), list->Take());
    EXPECT_FALSE(Key(body, 'A'));
    Click(list, 0);
    list->Take();
    EXPECT_TRUE(Key(body, WXK_UP));
    Click(list, 19);
    list->Take();
    EXPECT_TRUE(Key(body, WXK_DOWN));
    EXPECT_TRUE(list->Take().empty());
    EXPECT_EQ(19, body->GetAnchor());
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
    EXPECT_EQ((Lines{"sel 2/0", "desel 2/0", "sel 3/0", "sel 3/0", "desel 3/0", "sel 4/0", "desel 4/0", "sel 0/0",
                     "desel 0/0", "sel 1/0"}),
              list->Take());
    Click(list, 9, "C");  // Control only clears in this mode
    EXPECT_EQ((Lines{"desel 1/0"}), list->Take());
    EXPECT_EQ(9, body->GetAnchor());
}

TEST_F(ViewTest, HeaderResizesColumnsAndReportsTheColumnUnderTheMouse)
{
    TestList* list = NewList(5);
    wxDBListHeader* header = list->_GetHeader();
    // The grip of a border reaches 3 pixels to each side of it.
    Mouse(header, wxEVT_LEFT_DOWN, 104, 5);
    Mouse(header, wxEVT_LEFT_UP, 104, 5);
    Mouse(header, wxEVT_LEFT_DOWN, 103, 5);
    Mouse(header, wxEVT_MOTION, 103 - 500, 5);
    Mouse(header, wxEVT_LEFT_UP, 103 - 500, 5);
    EXPECT_EQ((Lines{"colclick c1", "begin c0", "end c0"}), list->Take());
    EXPECT_EQ(20, list->GetColumnWidth(0));
    EXPECT_EQ(20 + 100 + 100 + 2, list->GetScrollRange(wxHORIZONTAL));

    // Columns now span 0-20, 20-120 and 120-220.
    Mouse(header, wxEVT_LEFT_DOWN, 60, 5);
    EXPECT_EQ(1, header->GetPressedColumn());
    Mouse(header, wxEVT_MOTION, 170, 5);
    Mouse(header, wxEVT_LEFT_UP, 170, 5);
    EXPECT_EQ(-1, header->GetPressedColumn());
    Mouse(header, wxEVT_RIGHT_DOWN, 130, 5);
    Mouse(header, wxEVT_RIGHT_DOWN, 400, 5);
    EXPECT_EQ((Lines{"colclick c2", "colright c2", "colright c-1"}), list->Take());
    EXPECT_EQ((Ints{20, 100}), (Ints{list->GetColumnWidth(0), list->GetColumnWidth(1)}));
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
    EXPECT_EQ((Lines{"a...", "a...", "abcd", "abc", ""}),
              (Lines{fit("abcdefghij", 0), fit("abcde", 0), fit("abcd", 0), fit("abc", 0), fit("", 0)}));
}

TEST_F(ViewTest, CellEditorCommitsOnEnterOrFocusLossAndDiscardsOnEscape)
{
    TestList* list = NewList(5);
    wxDBListBody* body = list->_GetBody();
    const auto editorGone = [&] { return WaitUntil([&] { return list->GetEditCtrl() == nullptr; }); };
    list->EnableEditOverlay(2, 1);
    wxsTextCtrl* editor = list->GetEditCtrl();
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ("r2c1", editor->GetValue());
    EXPECT_EQ(editor, body->GetOverlay());
    EXPECT_EQ(list->GetCellRect(2, 1), editor->GetRect());
    EXPECT_TRUE(Key(editor, WXK_ESCAPE));
    EXPECT_EQ(nullptr, body->GetOverlay());
    EXPECT_TRUE(editorGone());
    EXPECT_TRUE(list->m_Committed.empty());
    EXPECT_TRUE(list->Take().empty());

    list->EnableEditOverlay(3, 0);
    ASSERT_NE(nullptr, editor = list->GetEditCtrl());
    editor->SetValue("entered");
    wxCommandEvent enter(wxEVT_TEXT_ENTER, editor->GetId());
    enter.SetEventObject(editor);
    editor->HandleWindowEvent(enter);
    EXPECT_TRUE(editorGone());  // and the focus it lost on the way commits nothing more
    EXPECT_EQ((Lines{"entered"}), list->m_Committed);
    EXPECT_EQ((Lines{"edit 3/0"}), list->Take());

    list->EnableEditOverlay(1, 2);
    ASSERT_NE(nullptr, editor = list->GetEditCtrl());
    wxFocusEvent lost(wxEVT_KILL_FOCUS, editor->GetId());
    lost.SetEventObject(editor);
    editor->HandleWindowEvent(lost);
    EXPECT_TRUE(editorGone());
    EXPECT_EQ((Lines{"entered", "r1c2"}), list->m_Committed);
    EXPECT_EQ((Lines{"edit 1/2"}), list->Take());

    for (int row : {5, -1})
    {
        list->EnableEditOverlay(row, 0);
        EXPECT_TRUE(list->GetEditCtrl() == nullptr && body->GetOverlay() == nullptr) << row;
    }

    // Inside a dialog, Escape belongs to the editor while it is open.
    wxDravikDlg dialog(nullptr, "Editing", "", false);
    auto* inDialog = new TestList(&dialog, 0);
    inDialog->AddColumn(0, "Name", 100);
    inDialog->Insert(0, 3);
    EXPECT_TRUE(Key(&dialog, WXK_ESCAPE, "", wxEVT_CHAR_HOOK));
    inDialog->EnableEditOverlay(1, 0);
    ASSERT_NE(nullptr, inDialog->GetEditCtrl());
    EXPECT_FALSE(Key(&dialog, WXK_ESCAPE, "", wxEVT_CHAR_HOOK));
    EXPECT_TRUE(Key(inDialog->GetEditCtrl(), WXK_ESCAPE));
    EXPECT_TRUE(Key(&dialog, WXK_ESCAPE, "", wxEVT_CHAR_HOOK));
    EXPECT_TRUE(inDialog->Take().empty());
}

TEST_F(ViewTest, RowColoursShowSelectionShadingFocusAndTheDisabledState)
{
    TestList* list = NewList(10);
    wxDBListBody* body = list->_GetBody();
    list->m_Selected = {1, 2};
    list->SetHighlightColumn(1);
    const int blank = 400;  // right of the columns: only the row strip
    const auto at = [&](int row, int x) { return Pixel(BitmapOf::Image(body), x, list->GetCellRect(row, 0).y + 1); };
    const wxColour field = wxsGetColor(COLOR_FIELD), odd = AdjustColour(field, -2, -2, -2);
    const wxColour selected = BlendColour(field, wxsGetColor(COLOR_HIGHLIGHT), 0.33);
    ASSERT_TRUE(Repaint(list));
    ASSERT_FALSE(body->HasFocus());
    EXPECT_EQ(selected, at(1, blank));  // selected rows are not shaded
    EXPECT_EQ(selected, at(2, blank));
    EXPECT_EQ(odd, at(3, blank));
    EXPECT_EQ(field, at(4, blank));
    EXPECT_EQ(odd, at(11, blank));  // the shading goes on below the data
    EXPECT_EQ(AdjustColour(field, 9, 9, 10), at(4, 195));
    EXPECT_EQ(AdjustColour(selected, 9, 9, 10), at(2, 195));

    list->Overlay(new wxPanel(list), 0, 0);  // an open overlay lifts rows as focus does
    ASSERT_TRUE(Repaint(list));
    EXPECT_EQ(AdjustColour(selected, 8, 8, 8), at(2, blank));
    EXPECT_EQ(AdjustColour(odd, 8, 8, 8), at(3, blank));
    list->Overlay(nullptr, -1, -1);

    const wxColour grey(128, 128, 128);
    list->Enable(false);
    ASSERT_TRUE(Repaint(list));
    EXPECT_EQ(BlendColour(field, grey, 0.33), at(4, blank));
    EXPECT_EQ(BlendColour(selected, grey, 0.33), at(2, blank));
}
