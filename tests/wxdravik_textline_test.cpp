// The text line viewer and its search bar: storage, mouse and keys, the
// clipboard, the colours of the rendered bitmap, saving, and searching.
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/frame.h>
#include <wx/panel.h>

#include "draviklib/draviklib.h"
#include "harness/gui_harness.h"
#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxsbutton.h"
#include "wxdravik/wxtextlinectrl.h"
#include "wxdravik/wxtextlinesearchpanel.h"

using namespace dravik_test;
using Ints = std::vector<int>;
using Strings = std::vector<std::string>;
using Colours = std::vector<wxColour>;

namespace
{
/// Opens the viewer's protected state to the tests and renders on demand.
class ProbeViewer : public wxTextLineCtrl
{
public:
    using wxTextLineCtrl::wxTextLineCtrl;
    using wxTextLineCtrl::m_SearchPanel;
    using wxTextLineCtrl::m_VisibleLines;
    /// The picture DrawBitmap paints for the current state.
    wxImage Render()
    {
        m_Bitmap = std::make_unique<wxBitmap>(GetClientSize().x, GetClientSize().y, -1);
        DrawBitmap();
        return m_Bitmap->ConvertToImage();
    }
    /// No refresh pending: the scroll bars have caught up with the lines.
    bool Settled() const { return !m_Timer.IsRunning(); }
    int Pos(int orient = wxVERTICAL) const { return GetScrollPos(orient); }
    int Last(int orient = wxVERTICAL) const { return GetScrollRange(orient) - GetScrollThumb(orient); }
};

/// Collects the core log's lines while it lives.
class LogLines
{
public:
    LogLines() : m_Id(Log::s_GlobalLog.AddObserver([this](LogLevel level, const String& text) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Lines.emplace_back(level, text.Str());
    })) {}
    ~LogLines() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    int Count(LogLevel level, const std::string& part)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return int(std::count_if(m_Lines.begin(), m_Lines.end(), [&](const auto& line) {
            return line.first == level && line.second.find(part) != std::string::npos;
        }));
    }

private:
    std::mutex m_Mutex;
    std::vector<std::pair<LogLevel, std::string>> m_Lines;
    const int m_Id;  // last: the observer needs the members above
};

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

/// Key down as the toolkit delivers it; true when a handler used it up.
bool Key(wxWindow* target, int code, bool control = false)
{
    wxKeyEvent event(wxEVT_KEY_DOWN);
    event.m_keyCode = code;
    event.SetControlDown(control);
    event.SetEventObject(target);
    return target->HandleWindowEvent(event);
}

void Mouse(wxWindow* target, wxEventType type, int y, bool leftDown = false)
{
    wxMouseEvent event(type);
    event.SetPosition(wxPoint(20, y));
    event.SetLeftDown(leftDown || type == wxEVT_LEFT_DOWN);
    event.SetEventObject(target);
    target->HandleWindowEvent(event);
}

void SendCommand(wxWindow* target, wxEventType type, int id)
{
    wxCommandEvent event(type, id);
    event.SetEventObject(target);
    target->ProcessWindowEvent(event);
}

std::string ClipboardText()
{
    wxClipboardLocker lock;
    wxTextDataObject data;
    return !!lock && wxTheClipboard->GetData(data) ? data.GetText().utf8_string() : "<unreadable>";
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int FileCount(const std::string& folder)
{
    const std::filesystem::directory_iterator entries(folder);
    return int(std::distance(begin(entries), end(entries)));
}

class TextLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Away from the pointer, which Xvfb keeps in the middle of the screen.
        m_Frame = new wxFrame(nullptr, wxID_ANY, "lines", wxPoint(0, 0), wxSize(520, 900));
        m_Parent = new wxPanel(m_Frame);
        m_Frame->Show();
        // Reports would wait for a user: they go to the log only.
        for (const char* key : {"TextLineSearchNotFound", "TextLineSaveFailed"})
            DravikApp::GetOptions().SetValue("Confirm", key, true);
    }
    void TearDown() override
    {
        delete m_Frame;
        FlushEvents();
        for (const char* key : {"TextLineSearchNotFound", "TextLineSaveFailed"})
            DravikApp::GetOptions().RemoveKey("Confirm", key);
    }

    /// A viewer of lines whose client area is rows lines high, all refreshes done. Overlay
    /// scroll bars change the height without a size event: with a horizontal one it is not exact.
    ProbeViewer* Make(const Strings& lines, int rows = 38, bool exact = true)
    {
        auto* viewer = new ProbeViewer(m_Parent);
        const int lh = viewer->GetLineHeight(), height = rows * lh;
        viewer->SetSize(420, height + 20);  // before the lines, so that scroll bars need not squeeze in
        for (const std::string& line : lines)
            viewer->Append(line);
        EXPECT_TRUE(WaitUntil([&] { return viewer->Settled(); }));
        const auto fits = [&] {
            const int y = viewer->GetClientSize().y;
            return y >= height && y < height + lh;
        };
        for (int round = 0; round < 3 && !fits(); ++round)
        {
            viewer->SetSize(viewer->GetSize() + wxSize(0, height - viewer->GetClientSize().y));
            WaitUntil(fits, 1000);
        }
        EXPECT_TRUE(!exact || WaitUntil([&] { return fits() && viewer->m_VisibleLines == rows + 2 && viewer->Settled(); }));
        return viewer;
    }

    static Strings Numbered(int count)
    {
        Strings lines;
        for (int i = 0; i < count; ++i)
            lines.push_back(SFormat("line %03d", i).Str());
        return lines;
    }

    /// Client y of the middle of a line while the view is at the top.
    static int Y(ProbeViewer* viewer, int line) { return line * viewer->GetLineHeight() + viewer->GetLineHeight() / 2; }
    static void Drag(ProbeViewer* viewer, int from, int to)
    {
        Mouse(viewer, wxEVT_LEFT_DOWN, Y(viewer, from));
        Mouse(viewer, wxEVT_MOTION, Y(viewer, to), true);
        Mouse(viewer, wxEVT_LEFT_UP, Y(viewer, to));
    }
    static Ints Selection(ProbeViewer* viewer) { return {viewer->GetSelectStart(), viewer->GetSelectEnd()}; }

    wxFrame* m_Frame = nullptr;
    wxPanel* m_Parent = nullptr;
};
}

TEST_F(TextLineTest, AppendExpandsTabsSortsKeepsIndicesAndTakesBrokenText)
{
    ProbeViewer* viewer = Make({});
    const int cw = viewer->GetCharWidth();
    EXPECT_EQ(0, viewer->Append("a\tb"));
    EXPECT_EQ("a    b", viewer->GetLine(0).Str());
    EXPECT_EQ(cw * 7, viewer->GetTotalWidth());
    viewer->Append("\t\t");
    viewer->Append("abc");  // shorter: the width stays
    EXPECT_EQ(cw * 9, viewer->GetTotalWidth());
    // Sorted insertion goes before equal lines, by case-sensitive byte order.
    viewer->Clear();
    EXPECT_EQ((Ints{0, 0, 0, 2, 0, 5}), (Ints{viewer->Append("b", true), viewer->Append("a", true),
                                              viewer->Append("a", true), viewer->Append("ab", true),
                                              viewer->Append("B", true), viewer->Append("c", true)}));
    std::string all;
    for (int i = 0; i < int(viewer->GetLineCount()); ++i)
        all += viewer->GetLine(i).Str() + ",";
    EXPECT_EQ("B,a,a,ab,b,c,", all);
    // Selection, hover and search hit keep their numbers across insertions
    // and erasures, though they now name other lines.
    viewer = Make(Numbered(8));
    Drag(viewer, 3, 5);
    viewer->Search("line 004", true, true);
    ASSERT_EQ(4, viewer->GetSearchLine());
    EXPECT_EQ(0, viewer->Append("0 first", true));
    EXPECT_EQ("line 002", viewer->GetLine(3).Str());
    for (int line : {7, 0, 0})
        viewer->Erase(line);
    EXPECT_EQ("line 004", viewer->GetLine(3).Str());
    EXPECT_EQ((Ints{3, 5, 5, 4}), (Ints{viewer->GetSelectStart(), viewer->GetSelectEnd(),
                                        viewer->GetHighlightLine(), viewer->GetSearchLine()}));
    viewer->Erase(0);
    viewer->Erase(0);
    viewer->Render();  // hit and selection now partly past the last line: drawn quietly
    // Erasing the widest line never narrows the horizontal range.
    viewer->Append(std::string(70, 'w'));
    viewer->Erase(int(viewer->GetLineCount()) - 1);
    ASSERT_TRUE(WaitUntil([&] { return viewer->Settled(); }));
    EXPECT_EQ((Ints{cw * 71, cw * 71}), (Ints{viewer->GetTotalWidth(), viewer->GetScrollRange(wxHORIZONTAL)}));

    // Control characters draw as '?', bytes that are not UTF-8 as Latin-1:
    // line 1 looks exactly like its stand-in, line 4 (empty lines hold what
    // glyphs spill); search hits count one character per byte.
    const Strings broken = {"", "a\x01" "b\x1b[0m\x7f\r caf\xe9 \xff\x80|", "", "", "a?b?[0m?? caf\xc3\xa9 \xc3\xbf?|",
                            "", std::string("nul\0in", 6), "\x80\x80 foo|", "\xc3"};
    viewer = Make(broken);
    EXPECT_EQ(broken[6], viewer->GetLine(6).Str());  // stored as given
    const wxImage image = viewer->Render();
    const int lh = viewer->GetLineHeight();
    bool same = true;
    for (int y = 0; y < 3 * lh; ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            same = same && Pixel(image, x, y) == Pixel(image, x, 3 * lh + y);
    EXPECT_TRUE(same);
    viewer->Search("\xff", true, true);
    EXPECT_EQ((Ints{1, 15}), (Ints{viewer->GetSearchLine(), viewer->GetSearchColumn()}));
    viewer->Search("foo", true, true);
    EXPECT_EQ((Ints{7, 3}), (Ints{viewer->GetSearchLine(), viewer->GetSearchColumn()}));
}

TEST_F(TextLineTest, MouseSelectsWholeLinesAndDragsTheViewAlong)
{
    ProbeViewer* viewer = Make(Numbered(5));
    const int lh = viewer->GetLineHeight();
    // Below the last line: a click selects nothing, a drag from there
    // anchors at the first line it reaches.
    Drag(viewer, 20, 20);
    EXPECT_EQ((Ints{-1, -1}), Selection(viewer));
    Mouse(viewer, wxEVT_LEFT_DOWN, Y(viewer, 20));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 12), true);
    EXPECT_EQ((Ints{-1, -1}), (Ints{viewer->GetSelectStart(), viewer->GetHighlightLine()}));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 4), true);
    EXPECT_EQ((Ints{4, 4}), Selection(viewer));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 1), true);
    Mouse(viewer, wxEVT_LEFT_UP, Y(viewer, 1));
    EXPECT_FALSE(viewer->HasCapture());
    EXPECT_EQ((Ints{4, 1}), Selection(viewer));
    EXPECT_FALSE(Key(viewer, WXK_ESCAPE));  // used, and passed on
    EXPECT_EQ((Ints{-1, -1}), Selection(viewer));
    // Dragging above the window scrolls one line per move until the top, the
    // selection following up to line 0; below the window it scrolls down.
    for (int i = 5; i < 100; ++i)
        viewer->Append(SFormat("line %03d", i));
    viewer->ScrollLines(-1000);
    viewer->ScrollLines(10);
    ASSERT_EQ(10 * lh, viewer->Pos());
    Mouse(viewer, wxEVT_LEFT_DOWN, 2 * lh + lh / 2);
    EXPECT_EQ(12, viewer->GetSelectStart());
    Ints positions;  // the first line shown after each move
    for (int move = 0; move < 12; ++move)
        positions.push_back((Mouse(viewer, wxEVT_MOTION, -3, true), viewer->Pos() / lh));
    EXPECT_EQ((Ints{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0}), positions);
    EXPECT_EQ((Ints{12, 0}), Selection(viewer));
    Mouse(viewer, wxEVT_MOTION, viewer->GetClientSize().y + 3, true);
    EXPECT_EQ(lh, viewer->Pos());
    Mouse(viewer, wxEVT_LEFT_UP, 0);
    EXPECT_FALSE(viewer->HasCapture());
}

TEST_F(TextLineTest, KeysAndMenuScrollSelectAndCopy)
{
    Strings lines = Numbered(100);
    lines[50] += std::string(150, '=');
    ProbeViewer* viewer = Make(lines, 38, false);
    const int lh = viewer->GetLineHeight();
    // The view followed the lines to the end; scrolled up, it stays put.
    EXPECT_TRUE(viewer->Pos() > 0 && viewer->Pos() == viewer->Last()) << viewer->Pos();
    EXPECT_FALSE(Key(viewer, WXK_PAGEUP, true));
    viewer->Append("one more");
    ASSERT_TRUE(WaitUntil([&] { return viewer->Settled(); }));
    EXPECT_EQ((Ints{0, 101 * lh}), (Ints{viewer->Pos(), viewer->GetScrollRange(wxVERTICAL)}));
    // From here on the loop does not run: sizes and ranges hold still.
    const int last = viewer->Last(), page = (viewer->m_VisibleLines - 2) * lh, lastColumn = viewer->Last(wxHORIZONTAL);
    ASSERT_TRUE(last > lh + page && lastColumn > 0);
    const auto after = [&](int code, bool control = false, int orient = wxVERTICAL) {
        Key(viewer, code, control);
        return viewer->Pos(orient);
    };
    // Home and End are horizontal, with or without Control; pages are the
    // visible lines - 2; Control+Page goes to the ends.
    EXPECT_EQ((Ints{lh, lastColumn, 0, lastColumn, 0, lh}),
              (Ints{after(WXK_DOWN), after(WXK_END, false, wxHORIZONTAL), after(WXK_HOME, false, wxHORIZONTAL),
                    after(WXK_END, true, wxHORIZONTAL), after(WXK_HOME, true, wxHORIZONTAL), viewer->Pos()}));
    EXPECT_EQ((Ints{lh + page, last, last - page, last - page - lh, 0}),
              (Ints{after(WXK_PAGEDOWN), after(WXK_PAGEDOWN, true), after(WXK_PAGEUP), after(WXK_UP),
                    after(WXK_PAGEUP, true)}));
    Key(viewer, 'A');  // letters act only with Control
    EXPECT_EQ(-1, viewer->GetSelectStart());
    Key(viewer, 'A', true);
    EXPECT_EQ((Ints{0, 100}), Selection(viewer));
    // Copy: the selected lines each with a newline; no selection, nothing.
    Drag(viewer, 2, 1);
    Key(viewer, 'C', true);
    EXPECT_EQ("line 001\nline 002\n", ClipboardText());
    Key(viewer, WXK_ESCAPE);
    SendCommand(viewer, wxEVT_MENU, wxTextLineCtrl::ID_COPY);
    EXPECT_EQ("", ClipboardText());
}

TEST_F(TextLineTest, HoverSearchHitAndSelectionColoursCombine)
{
    ProbeViewer* viewer = Make({"zero", "the hit", "two", "three", "four"});
    const wxColour back = viewer->GetBackgroundColour(), blue = wxsGetColor(COLOR_BLUE);
    const wxColour selected = wxsGetColor(COLOR_HIGHLIGHT), tinted = BlendColour(selected, blue, 0.25);
    const wxColour hitBack = BlendColour(back, blue, 0.25);
    EXPECT_EQ(wxsGetColor(COLOR_BACKGROUND_LIGHT), back);
    const int blank = viewer->GetClientSize().x - 5;  // right of every text: only the line's strip
    wxImage image;
    const auto at = [&](int line) { return Pixel(image, blank, Y(viewer, line)); };
    const auto hover = [&](int line) {
        Mouse(viewer, wxEVT_MOTION, Y(viewer, line));
        image = viewer->Render();
    };
    viewer->Search("hit", true, true);
    ASSERT_EQ(1, viewer->GetSearchLine());
    hover(1);  // a hovered hit is lighter, not tinted
    EXPECT_EQ((Colours{back, AdjustColour(back, 20, 20, 20)}), (Colours{at(0), at(1)}));
    hover(2);
    EXPECT_EQ((Colours{hitBack, AdjustColour(back, 10, 10, 10), back}), (Colours{at(1), at(2), at(3)}));
    // The matched characters show in the inverse of the line's colours.
    const int cw = viewer->GetCharWidth(), lh = viewer->GetLineHeight(), hitX = cw / 2 + 4 * cw;
    const wxColour inverse(255 - hitBack.Red(), 255 - hitBack.Green(), 255 - hitBack.Blue());
    int inverted = 0;
    for (int x = hitX; x < hitX + 3 * cw; ++x)
        for (int y = lh; y < 2 * lh; ++y)
            inverted += Pixel(image, x, y) == inverse;
    EXPECT_GT(inverted, 3 * cw * lh / 2);
    EXPECT_EQ(hitBack, Pixel(image, hitX - cw / 2, lh + lh / 2));  // the space before it
    // Selected lines 0 to 2, hovered in turn; below the lines the plain background.
    Drag(viewer, 2, 0);
    image = viewer->Render();
    EXPECT_EQ((Colours{AdjustColour(selected, 10, 10, 10), tinted, selected, back}), (Colours{at(0), at(1), at(2), at(3)}));
    hover(1);
    EXPECT_EQ((Colours{selected, AdjustColour(tinted, 10, 10, 10), back}), (Colours{at(0), at(1), at(5)}));
}

TEST_F(TextLineTest, SaveWritesEveryLineAndARefusedSaveLosesNothing)
{
    TempFolder folder;
    LogLines log;
    ProbeViewer* viewer = Make({"first", "tab\there", "", "\xc3\xbcnicode", "last"});
    const std::string target = folder.File("out.txt"), saved = "first\ntab    here\n\n\xc3\xbcnicode\nlast\n";
    std::ofstream(target, std::ios::binary) << "older and longer content\n";
    EXPECT_TRUE(viewer->SaveTo(target));
    EXPECT_EQ(saved, FileText(target));
    EXPECT_EQ(1, FileCount(folder.Path()));  // no temporary left
    // A regular file in the way of the folder: refused, reported, nothing lost.
    const std::string blocker = folder.File("file.txt");
    std::ofstream(blocker, std::ios::binary) << "keep\n";
    EXPECT_FALSE(viewer->SaveTo(blocker + "/out.txt"));
    EXPECT_EQ("keep\n", FileText(blocker));
    EXPECT_EQ(1, log.Count(LOG_WARNING, "file.txt/out.txt"));
    EXPECT_EQ(1, log.Count(LOG_INFO, "file.txt/out.txt"));  // the message box's text
    // A write that fails half-way (the file size limit stands in for a full
    // disk) leaves the existing file as it was and no temporary behind.
    viewer->Append(std::string(18000, 'a'));
    rlimit old{}, small{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    small = old, small.rlim_cur = 4096;
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    const bool limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
    const bool written = limited && viewer->SaveTo(target);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(limited && !written);
    EXPECT_EQ(saved, FileText(target));
    EXPECT_EQ(2, FileCount(folder.Path()));
    EXPECT_EQ(6u, viewer->GetLineCount());  // every line still shown
}

TEST_F(TextLineTest, SearchWalksBothWaysScrollsOutsideTheBandAndTheBarRemembersMatchCase)
{
    DravikApp::GetOptions().SetValue("Search", "CaseSensitive", true);
    Strings lines = Numbered(100);
    lines[3] += " ABC";
    lines[10] += " foo";
    lines[60] += " foo";
    ProbeViewer* viewer = Make(lines);
    const int lh = viewer->GetLineHeight();
    ASSERT_EQ(40, viewer->m_VisibleLines);
    Key(viewer, WXK_PAGEUP, true);
    LogLines log;
    const auto find = [&](const char* text, bool down, bool matchCase = true) {
        viewer->Search(text, down, matchCase);
        return Ints{viewer->GetSearchLine(), viewer->Pos()};
    };
    EXPECT_EQ((Ints{-1, 0}), find("abc", true));  // the exact search misses the upper-case line
    EXPECT_EQ(1, log.Count(LOG_INFO, "'abc' not found in that direction"));
    EXPECT_EQ((Ints{3, 0}), find("abc", true, false));
    EXPECT_EQ(9, viewer->GetSearchColumn());
    // Down: line 10 is inside the band, line 60 is not; up: back to line 10,
    // five lines from the top.
    EXPECT_EQ((Ints{10, 0}), find("foo", true));
    EXPECT_EQ((Ints{60, (60 - 40 + 5) * lh}), find("foo", true));
    EXPECT_EQ((Ints{10, 5 * lh}), find("foo", false));
    // From line 10 the walk up checks lines 9 to 0, finds nothing and says
    // so; the next search starts again at the first visible line.
    EXPECT_EQ((Ints{-1, 5 * lh}), find("foo", false));
    EXPECT_EQ(1, log.Count(LOG_INFO, "'foo' not found in that direction"));
    EXPECT_EQ((Ints{10, 5 * lh}), find("foo", true));
    find("no such line", true);  // a miss: the next search starts at the first visible line
    // The bar, hidden at first: Control+F in the viewer shows it, Escape or
    // Control+F in the field hide it, other keys go on to the field.
    wxTextLineSearchPanel* panel = viewer->m_SearchPanel;
    _SearchTextCtrl* field = panel->GetSearchField();
    EXPECT_FALSE(panel->IsShown());
    Key(viewer, 'F', true);
    EXPECT_TRUE(panel->IsShown());
    EXPECT_FALSE(Key(field, 'X') || Key(field, 'F'));
    EXPECT_TRUE(Key(field, WXK_ESCAPE));
    EXPECT_FALSE(panel->IsShown());
    viewer->ToggleSearch();
    EXPECT_TRUE(Key(field, 'F', true));
    EXPECT_FALSE(panel->IsShown());
    viewer->ToggleSearch();
    // Down, Down, Up, then Enter: down again whatever came before.
    auto* up = dynamic_cast<wxsButton*>(panel->FindWindow(wxTextLineSearchPanel::ID_UP));
    auto* down = dynamic_cast<wxsButton*>(panel->FindWindow(wxTextLineSearchPanel::ID_DOWN));
    ASSERT_TRUE(up && down);
    const auto click = [&](wxsButton* button) {  // null: Enter in the field
        if (button)
            button->EmulateClick();
        else
            SendCommand(field, wxEVT_TEXT_ENTER, field->GetId());
        return viewer->GetSearchLine();
    };
    Key(viewer, WXK_PAGEUP, true);
    field->ChangeValue("foo");
    EXPECT_EQ((Ints{10, 60, 10, 60, -1}), (Ints{click(down), click(down), click(up), click(nullptr), click(nullptr)}));
    EXPECT_EQ(2, log.Count(LOG_INFO, "'foo' not found in that direction"));
    // Match Case decides, every change is stored at once, and a later bar starts as stored.
    wxsCheckBox* matchCase = panel->GetMatchCase();
    Key(viewer, WXK_PAGEUP, true);
    field->ChangeValue("abc");
    EXPECT_TRUE(matchCase->GetValue());
    EXPECT_EQ(-1, click(down));
    Mouse(matchCase, wxEVT_LEFT_UP, 2);
    EXPECT_FALSE(DravikApp::GetOptions().GetValue("Search", "CaseSensitive", true));
    EXPECT_EQ(3, click(down));
    EXPECT_FALSE(Make({})->m_SearchPanel->GetMatchCase()->GetValue());
    DravikApp::GetOptions().RemoveKey("Search", "CaseSensitive");
}
