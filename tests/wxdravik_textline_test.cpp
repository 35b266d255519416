// The text line viewer and its search bar: storage (tabs, sorted insertion,
// indices that stay put), mouse selection and drag-scrolling, keys, the
// clipboard, the line colours read back from the rendered bitmap, saving, and
// the search walk with its scrolling band, messages and remembered option.
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
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

// Readable values in failure messages.
void PrintTo(const wxColour& colour, std::ostream* out)
{
    *out << colour.GetAsString(wxC2S_CSS_SYNTAX).utf8_str();
}

namespace
{
/// Opens the viewer's protected state to the tests and renders on demand.
class ProbeViewer : public wxTextLineCtrl
{
public:
    using wxTextLineCtrl::wxTextLineCtrl;

    /// The picture DrawBitmap paints for the current state.
    wxImage Render()
    {
        const wxSize size = GetClientSize();
        m_Bitmap = std::make_unique<wxBitmap>(size.x, size.y, -1);
        DrawBitmap();
        return m_Bitmap->ConvertToImage();
    }
    /// No refresh pending: the scroll bars have caught up with the lines.
    bool Settled() const { return !m_Timer.IsRunning(); }
    int Pos(int orient = wxVERTICAL) const { return GetScrollPos(orient); }
    int Last(int orient = wxVERTICAL) const { return GetScrollRange(orient) - GetScrollThumb(orient); }
    int VisibleLines() const { return m_VisibleLines; }
    wxTextLineSearchPanel* Panel() const { return m_SearchPanel; }
};

/// Collects the core log's lines while it lives.
class LogLines
{
public:
    LogLines()
    {
        m_Id = Log::s_GlobalLog.AddObserver([this](LogLevel level, const String& text) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Lines.emplace_back(level, text.Str());
        });
    }
    ~LogLines() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    int Count(LogLevel level, const std::string& part)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        int count = 0;
        for (const auto& line : m_Lines)
            count += line.first == level && line.second.find(part) != std::string::npos;
        return count;
    }

private:
    int m_Id;
    std::mutex m_Mutex;
    std::vector<std::pair<LogLevel, std::string>> m_Lines;
};

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

wxColour Lighter(const wxColour& colour, int amount)
{
    return AdjustColour(colour, amount, amount, amount);
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
    event.m_x = 20;
    event.m_y = y;
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
    std::string text = "<unreadable>";
    if (wxTheClipboard->Open())
    {
        wxTextDataObject data;
        if (wxTheClipboard->GetData(data))
            text = data.GetText().utf8_string();
        wxTheClipboard->Close();
    }
    return text;
}

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
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
        DravikApp::GetOptions().SetValue("Confirm", "TextLineSearchNotFound", true);
        DravikApp::GetOptions().SetValue("Confirm", "TextLineSaveFailed", true);
    }
    void TearDown() override
    {
        delete m_Frame;
        FlushEvents();
        DravikApp::GetOptions().RemoveKey("Confirm", "TextLineSearchNotFound");
        DravikApp::GetOptions().RemoveKey("Confirm", "TextLineSaveFailed");
    }

    /// A viewer holding lines whose client area is rows lines high, with
    /// every refresh done. Overlay scroll bars that come and go change the
    /// client height without a size event: a viewer with a horizontal one
    /// cannot be held to an exact height (exact false).
    ProbeViewer* Make(const std::vector<std::string>& lines, int rows = 38, bool exact = true)
    {
        auto* viewer = new ProbeViewer(m_Parent);
        const int lh = viewer->GetLineHeight(), height = rows * lh;
        // Sized before the lines arrive, so that scroll bars never have to
        // squeeze into the default size.
        viewer->SetSize(420, height + 20);
        for (const std::string& line : lines)
            viewer->Append(line);
        EXPECT_TRUE(WaitUntil([&] { return viewer->Settled(); }));
        // Scroll bars take their room from the client area; overlay scroll
        // bars may give it back later, which stays within the last line.
        const auto fits = [&] {
            const int y = viewer->GetClientSize().y;
            return y >= height && y < height + lh;
        };
        for (int round = 0; round < 3 && !fits(); ++round)
        {
            viewer->SetSize(viewer->GetSize() + wxSize(0, height - viewer->GetClientSize().y));
            WaitUntil(fits, 1000);
        }
        if (exact)
        {
            EXPECT_TRUE(WaitUntil([&] { return fits() && viewer->VisibleLines() == rows + 2 && viewer->Settled(); }));
        }
        return viewer;
    }

    static std::vector<std::string> Numbered(int count)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < count; ++i)
            lines.push_back(SFormat("line %03d", i).Str());
        return lines;
    }

    /// Client y of the middle of a line while the view is at the top.
    static int Y(ProbeViewer* viewer, int line) { return line * viewer->GetLineHeight() + viewer->GetLineHeight() / 2; }

    wxFrame* m_Frame = nullptr;
    wxPanel* m_Parent = nullptr;
};
}

TEST_F(TextLineTest, AppendExpandsTabsSortsAndLeavesIndicesWhereTheyWere)
{
    ProbeViewer* viewer = Make({});
    const int cw = viewer->GetCharWidth();
    EXPECT_EQ(0, viewer->Append("a\tb"));
    EXPECT_EQ("a    b", viewer->GetLine(0).Str());
    EXPECT_EQ(cw * 7, viewer->GetTotalWidth());
    viewer->Append("\t\t");
    EXPECT_EQ(cw * 9, viewer->GetTotalWidth());
    viewer->Append("abc");  // shorter: the width stays
    EXPECT_EQ(cw * 9, viewer->GetTotalWidth());

    // Sorted insertion goes before equal lines, by case-sensitive byte order.
    viewer->Clear();
    EXPECT_EQ(0u, viewer->GetLineCount());
    EXPECT_EQ(0, viewer->Append("b", true));
    EXPECT_EQ(0, viewer->Append("a", true));
    EXPECT_EQ(0, viewer->Append("a", true));
    EXPECT_EQ(2, viewer->Append("ab", true));
    EXPECT_EQ(0, viewer->Append("B", true));
    EXPECT_EQ(5, viewer->Append("c", true));
    std::string all;
    for (int i = 0; i < int(viewer->GetLineCount()); ++i)
        all += viewer->GetLine(i).Str() + ",";
    EXPECT_EQ("B,a,a,ab,b,c,", all);

    // Selection, hover and search hit keep their numbers across insertions
    // and erasures, though they now name other lines.
    viewer->Clear();
    for (const std::string& line : Numbered(8))
        viewer->Append(line);
    Mouse(viewer, wxEVT_LEFT_DOWN, Y(viewer, 3));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 5), true);
    Mouse(viewer, wxEVT_LEFT_UP, Y(viewer, 5));
    viewer->Search("line 004", true, true);
    ASSERT_EQ(4, viewer->GetSearchLine());
    EXPECT_EQ(0, viewer->Append("0 first", true));
    EXPECT_EQ("line 002", viewer->GetLine(3).Str());
    viewer->Erase(7);
    viewer->Erase(0);
    viewer->Erase(0);
    EXPECT_EQ("line 004", viewer->GetLine(3).Str());
    EXPECT_EQ(3, viewer->GetSelectStart());
    EXPECT_EQ(5, viewer->GetSelectEnd());
    EXPECT_EQ(5, viewer->GetHighlightLine());
    EXPECT_EQ(4, viewer->GetSearchLine());
    viewer->Erase(0);
    viewer->Erase(0);
    viewer->Render();  // hit and selection now partly past the last line: drawn quietly

    // Erasing the widest line never narrows the horizontal range.
    viewer->Append(std::string(70, 'w'));
    const int widest = cw * 71;
    EXPECT_EQ(widest, viewer->GetTotalWidth());
    viewer->Erase(int(viewer->GetLineCount()) - 1);
    EXPECT_EQ(widest, viewer->GetTotalWidth());
    ASSERT_TRUE(WaitUntil([&] { return viewer->Settled(); }));
    EXPECT_EQ(widest, viewer->GetScrollRange(wxHORIZONTAL));
}

TEST_F(TextLineTest, MouseSelectsWholeLinesAndDragsTheViewAlong)
{
    ProbeViewer* viewer = Make(Numbered(5));
    const int lh = viewer->GetLineHeight();

    // Below the last line: a click selects nothing, a drag from there
    // anchors at the first line it reaches.
    Mouse(viewer, wxEVT_LEFT_DOWN, Y(viewer, 20));
    Mouse(viewer, wxEVT_LEFT_UP, Y(viewer, 20));
    EXPECT_EQ(-1, viewer->GetSelectStart());
    EXPECT_EQ(-1, viewer->GetSelectEnd());
    Mouse(viewer, wxEVT_LEFT_DOWN, Y(viewer, 20));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 12), true);
    EXPECT_EQ(-1, viewer->GetSelectStart());
    EXPECT_EQ(-1, viewer->GetHighlightLine());
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 4), true);
    EXPECT_EQ(4, viewer->GetSelectStart());
    EXPECT_EQ(4, viewer->GetSelectEnd());
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 1), true);
    Mouse(viewer, wxEVT_LEFT_UP, Y(viewer, 1));
    EXPECT_FALSE(viewer->HasCapture());
    // Moving after the release only hovers.
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 0));
    EXPECT_EQ(4, viewer->GetSelectStart());
    EXPECT_EQ(1, viewer->GetSelectEnd());
    EXPECT_EQ(0, viewer->GetHighlightLine());
    Mouse(viewer, wxEVT_LEAVE_WINDOW, -5);
    EXPECT_EQ(-1, viewer->GetHighlightLine());
    EXPECT_FALSE(Key(viewer, WXK_ESCAPE));  // used, and passed on
    EXPECT_EQ(-1, viewer->GetSelectStart());
    EXPECT_EQ(-1, viewer->GetSelectEnd());

    // Dragging above the window scrolls one line per move until the top,
    // and the selection follows up to line 0.
    for (int i = 5; i < 100; ++i)
        viewer->Append(SFormat("line %03d", i));
    viewer->ScrollLines(-1000);
    viewer->ScrollLines(10);
    ASSERT_EQ(10 * lh, viewer->Pos());
    Mouse(viewer, wxEVT_LEFT_DOWN, 2 * lh + lh / 2);
    EXPECT_EQ(12, viewer->GetSelectStart());
    std::vector<int> positions, expected;
    for (int move = 0; move < 12; ++move)
    {
        Mouse(viewer, wxEVT_MOTION, -3, true);
        positions.push_back(viewer->Pos() / lh);
        expected.push_back(std::max(9 - move, 0));
    }
    EXPECT_EQ(expected, positions);
    EXPECT_EQ(12, viewer->GetSelectStart());
    EXPECT_EQ(0, viewer->GetSelectEnd());
    // Below the window it scrolls down the same way.
    Mouse(viewer, wxEVT_MOTION, viewer->GetClientSize().y + 3, true);
    EXPECT_EQ(lh, viewer->Pos());
    Mouse(viewer, wxEVT_LEFT_UP, 0);
    EXPECT_FALSE(viewer->HasCapture());
}

TEST_F(TextLineTest, KeysAndMenuScrollSelectAndCopy)
{
    std::vector<std::string> lines = Numbered(100);
    lines[50] += std::string(150, '=');
    ProbeViewer* viewer = Make(lines, 38, false);
    const int lh = viewer->GetLineHeight();

    // The view followed the lines to the end; scrolled up, it stays put.
    EXPECT_GT(viewer->Pos(), 0);
    EXPECT_EQ(viewer->Last(), viewer->Pos());
    EXPECT_EQ(100 * lh, viewer->GetScrollRange(wxVERTICAL));
    EXPECT_FALSE(Key(viewer, WXK_PAGEUP, true));
    EXPECT_EQ(0, viewer->Pos());
    viewer->Append("one more");
    ASSERT_TRUE(WaitUntil([&] { return viewer->Settled(); }));
    EXPECT_EQ(0, viewer->Pos());
    EXPECT_EQ(101 * lh, viewer->GetScrollRange(wxVERTICAL));
    // From here on the loop does not run: sizes and ranges hold still.
    const int last = viewer->Last(), page = (viewer->VisibleLines() - 2) * lh;
    ASSERT_GT(last, lh + page);

    // Home and End are horizontal, with or without Control.
    const int lastColumn = viewer->Last(wxHORIZONTAL);
    ASSERT_GT(lastColumn, 0);
    Key(viewer, WXK_DOWN);
    EXPECT_EQ(lh, viewer->Pos());
    Key(viewer, WXK_END);
    EXPECT_EQ(lastColumn, viewer->Pos(wxHORIZONTAL));
    Key(viewer, WXK_HOME);
    EXPECT_EQ(0, viewer->Pos(wxHORIZONTAL));
    Key(viewer, WXK_END, true);
    EXPECT_EQ(lastColumn, viewer->Pos(wxHORIZONTAL));
    Key(viewer, WXK_HOME, true);
    EXPECT_EQ(0, viewer->Pos(wxHORIZONTAL));
    EXPECT_EQ(lh, viewer->Pos());

    // Pages of visible lines - 2; Control+Page to the ends.
    Key(viewer, WXK_PAGEDOWN);
    EXPECT_EQ(lh + page, viewer->Pos());
    Key(viewer, WXK_PAGEDOWN, true);
    EXPECT_EQ(last, viewer->Pos());
    Key(viewer, WXK_PAGEUP);
    EXPECT_EQ(last - page, viewer->Pos());
    Key(viewer, WXK_UP);
    EXPECT_EQ(last - page - lh, viewer->Pos());
    Key(viewer, WXK_PAGEUP, true);
    EXPECT_EQ(0, viewer->Pos());
    SendCommand(viewer, wxEVT_MENU, wxTextLineCtrl::ID_SCROLL_BOTTOM);
    EXPECT_EQ(last, viewer->Pos());
    SendCommand(viewer, wxEVT_MENU, wxTextLineCtrl::ID_SCROLL_TOP);
    EXPECT_EQ(0, viewer->Pos());

    // Letters act only with Control.
    Key(viewer, 'A');
    EXPECT_EQ(-1, viewer->GetSelectStart());
    Key(viewer, 'A', true);
    EXPECT_EQ(0, viewer->GetSelectStart());
    EXPECT_EQ(100, viewer->GetSelectEnd());

    // Copy: the selected lines each with a newline; no selection, nothing.
    Mouse(viewer, wxEVT_LEFT_DOWN, Y(viewer, 2));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 1), true);
    Mouse(viewer, wxEVT_LEFT_UP, Y(viewer, 1));
    Key(viewer, 'C', true);
    EXPECT_EQ("line 001\nline 002\n", ClipboardText());
    Key(viewer, WXK_ESCAPE);
    SendCommand(viewer, wxEVT_MENU, wxTextLineCtrl::ID_COPY);
    EXPECT_EQ("", ClipboardText());
    viewer->Clear();
    viewer->SelectAll();
    wxCopyTextToClipboard("stale");
    viewer->CopySelectionToClipboard();
    EXPECT_EQ("", ClipboardText());
}

TEST_F(TextLineTest, HoverSearchHitAndSelectionColoursCombine)
{
    ProbeViewer* viewer = Make({"zero", "the hit", "two", "three", "four"});
    const wxColour back = viewer->GetBackgroundColour();
    EXPECT_EQ(wxsGetColor(COLOR_BACKGROUND_LIGHT), back);
    const wxColour blue = wxsGetColor(COLOR_BLUE), selected = wxsGetColor(COLOR_HIGHLIGHT);
    const wxColour tinted = BlendColour(selected, blue, 0.25);
    const int blank = viewer->GetClientSize().x - 5;  // right of every text: only the line's strip
    wxImage image;
    const auto at = [&](int line) { return Pixel(image, blank, Y(viewer, line)); };

    viewer->Search("hit", true, true);
    ASSERT_EQ(1, viewer->GetSearchLine());
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 1));
    image = viewer->Render();
    EXPECT_EQ(back, at(0));
    EXPECT_EQ(Lighter(back, 20), at(1));  // hovered hit: lighter, not tinted
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 2));
    image = viewer->Render();
    EXPECT_EQ(BlendColour(back, blue, 0.25), at(1));
    EXPECT_EQ(Lighter(back, 10), at(2));
    EXPECT_EQ(back, at(3));

    // The matched characters show in the inverse of the line's colours.
    const int cw = viewer->GetCharWidth(), lh = viewer->GetLineHeight();
    const wxColour hitBack = BlendColour(back, blue, 0.25);
    const wxColour inverse(255 - hitBack.Red(), 255 - hitBack.Green(), 255 - hitBack.Blue());
    int inverted = 0;
    const int hitX = cw / 2 + 4 * cw;
    for (int x = hitX; x < hitX + 3 * cw; ++x)
        for (int y = lh; y < 2 * lh; ++y)
            inverted += Pixel(image, x, y) == inverse;
    EXPECT_GT(inverted, 3 * cw * lh / 2);
    EXPECT_EQ(hitBack, Pixel(image, hitX - cw / 2, lh + lh / 2));  // the space before it

    // Selected lines 0 to 2, hovered in turn.
    Mouse(viewer, wxEVT_LEFT_DOWN, Y(viewer, 2));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 0), true);
    Mouse(viewer, wxEVT_LEFT_UP, Y(viewer, 0));
    image = viewer->Render();
    EXPECT_EQ(Lighter(selected, 10), at(0));
    EXPECT_EQ(tinted, at(1));
    EXPECT_EQ(selected, at(2));
    EXPECT_EQ(back, at(3));
    Mouse(viewer, wxEVT_MOTION, Y(viewer, 1));
    image = viewer->Render();
    EXPECT_EQ(selected, at(0));
    EXPECT_EQ(Lighter(tinted, 10), at(1));
    Mouse(viewer, wxEVT_LEAVE_WINDOW, -5);
    image = viewer->Render();
    EXPECT_EQ(tinted, at(1));
    EXPECT_EQ(back, at(5));  // below the lines: the plain background
}

TEST_F(TextLineTest, BrokenTextAndControlCharactersDrawAsSubstitutes)
{
    // Control characters draw as '?', bytes that are not UTF-8 as Latin-1:
    // each line must look exactly like its stand-in. Two empty lines part
    // the pairs: glyphs may reach into the next line.
    const std::vector<std::string> pairs = {"a\x01" "b\x1b[0m\x7f\r", "a?b?[0m??",
                                            "caf\xe9 \xff\x80|", "caf\xc3\xa9 \xc3\xbf?|",
                                            std::string("nul\0in", 6), "nul?in",
                                            "x\xc2\x85y\xc2\x9f|", "x?y?|",
                                            "\x80\x80 foo|", "?? foo|",
                                            std::string(40, '\x80'), std::string(40, '?'),
                                            "\xc3", ""};
    std::vector<std::string> lines;
    for (const std::string& line : pairs)
        lines.insert(lines.end(), {"", line, ""});
    ProbeViewer* viewer = Make(lines, int(lines.size()) + 1);
    EXPECT_EQ(std::string("nul\0in", 6), viewer->GetLine(13).Str());  // stored as given
    const wxImage image = viewer->Render();
    const int lh = viewer->GetLineHeight(), width = image.GetWidth();
    // Pair p's lines with what they spill into above and below.
    const auto same = [&](int p) {
        for (int y = 0; y < 3 * lh; ++y)
            for (int x = 0; x < width; ++x)
                if (Pixel(image, x, 6 * p * lh + y) != Pixel(image, x, (6 * p + 3) * lh + y))
                    return false;
        return true;
    };
    EXPECT_TRUE(same(0));
    EXPECT_TRUE(same(1));
    EXPECT_TRUE(same(2));
    EXPECT_TRUE(same(3));
    EXPECT_TRUE(same(4));
    EXPECT_TRUE(same(5));
    EXPECT_FALSE(same(6));  // a lone lead byte still shows

    // Widths and search hits count the characters as drawn: one per byte
    // where the line is not UTF-8.
    viewer->Append(std::string(50, '\x80'));
    EXPECT_EQ(viewer->GetCharWidth() * 51, viewer->GetTotalWidth());
    viewer->Search("\xff", true, true);
    EXPECT_EQ(7, viewer->GetSearchLine());
    EXPECT_EQ(5, viewer->GetSearchColumn());
    viewer->Search("foo", true, true);
    EXPECT_EQ(25, viewer->GetSearchLine());
    EXPECT_EQ(3, viewer->GetSearchColumn());
    const wxImage invalid = viewer->Render();
    viewer->Search("foo", true, true);
    EXPECT_EQ(28, viewer->GetSearchLine());
    EXPECT_EQ(3, viewer->GetSearchColumn());
    const wxImage valid = viewer->Render();
    // Both hits look alike: inverted over the same three characters.
    ASSERT_EQ(invalid.GetSize(), valid.GetSize());
    bool alike = true;
    for (int y = 0; y < lh; ++y)
        for (int x = 0; x < std::min(width, valid.GetWidth()); ++x)
            alike = alike && Pixel(invalid, x, 25 * lh + y) == Pixel(valid, x, 28 * lh + y);
    EXPECT_TRUE(alike);
}

TEST_F(TextLineTest, SaveWritesEveryLineAndARefusedSaveLosesNothing)
{
    TempFolder folder;
    LogLines log;
    ProbeViewer* viewer = Make({"first", "tab\there", "", "\xc3\xbcnicode", "last"});
    const std::string target = folder.File("out.txt");
    WriteFile(target, "older and longer content\n");
    EXPECT_TRUE(viewer->SaveTo(target));
    EXPECT_EQ("first\ntab    here\n\n\xc3\xbcnicode\nlast\n", FileText(target));
    EXPECT_EQ(std::vector<std::string>{"out.txt"}, FolderEntries(folder.Path()));  // no temporary left

    // A regular file in the way of the folder: refused, reported, nothing lost.
    const std::string blocker = folder.File("file.txt");
    WriteFile(blocker, "keep\n");
    EXPECT_FALSE(viewer->SaveTo(blocker + "/out.txt"));
    EXPECT_EQ("keep\n", FileText(blocker));
    EXPECT_EQ(1, log.Count(LOG_WARNING, "file.txt/out.txt"));
    EXPECT_EQ(1, log.Count(LOG_INFO, "file.txt/out.txt"));  // the message box's text

    // A write that fails half-way (the file size limit stands in for a full
    // disk) leaves the existing file as it was and no temporary behind.
    for (int i = 0; i < 300; ++i)
        viewer->Append(std::string(60, char('a' + i % 26)));
    rlimit old{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    rlimit small = old;
    small.rlim_cur = 4096;
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    const bool limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
    const bool saved = limited && viewer->SaveTo(target);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(limited);
    EXPECT_FALSE(saved);
    EXPECT_EQ("first\ntab    here\n\n\xc3\xbcnicode\nlast\n", FileText(target));
    std::vector<std::string> entries = FolderEntries(folder.Path());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ((std::vector<std::string>{"file.txt", "out.txt"}), entries);

    // Every line is still shown.
    EXPECT_EQ(305u, viewer->GetLineCount());
    EXPECT_EQ("tab    here", viewer->GetLine(1).Str());
}

TEST_F(TextLineTest, SearchWalksBothWaysScrollsOutsideTheBandAndReportsMisses)
{
    std::vector<std::string> lines = Numbered(100);
    lines[0] += " zero";
    lines[3] += " ABC";
    lines[10] += " foo";
    lines[35] += " edge";
    lines[36] += " edge";
    lines[60] += " foo";
    ProbeViewer* viewer = Make(lines);
    const int lh = viewer->GetLineHeight();
    ASSERT_EQ(40, viewer->VisibleLines());
    Key(viewer, WXK_PAGEUP, true);
    ASSERT_EQ(0, viewer->Pos());
    LogLines log;

    // Case: the exact search misses the upper-case line, the other finds it.
    viewer->Search("abc", true, true);
    EXPECT_EQ(-1, viewer->GetSearchLine());
    EXPECT_EQ(1, log.Count(LOG_INFO, "'abc' not found in that direction"));
    viewer->Search("abc", true, false);
    EXPECT_EQ(3, viewer->GetSearchLine());
    EXPECT_EQ(9, viewer->GetSearchColumn());

    // Down: line 10 is inside the band, line 60 is not.
    viewer->Search("foo", true, true);
    EXPECT_EQ(10, viewer->GetSearchLine());
    EXPECT_EQ(0, viewer->Pos());
    viewer->Search("foo", true, true);
    EXPECT_EQ(60, viewer->GetSearchLine());
    EXPECT_EQ((60 - 40 + 5) * lh, viewer->Pos());

    // Up: back to line 10, five lines from the top.
    viewer->Search("foo", false, true);
    EXPECT_EQ(10, viewer->GetSearchLine());
    EXPECT_EQ(5 * lh, viewer->Pos());
    // From line 10 the walk up checks lines 9 to 0, finds nothing and says so.
    viewer->Search("foo", false, true);
    EXPECT_EQ(-1, viewer->GetSearchLine());
    EXPECT_EQ(1, log.Count(LOG_INFO, "'foo' not found in that direction"));
    EXPECT_EQ(5 * lh, viewer->Pos());
    // The next search starts again at the first visible line.
    viewer->Search("foo", true, true);
    EXPECT_EQ(10, viewer->GetSearchLine());
    EXPECT_EQ(5 * lh, viewer->Pos());
    viewer->Search("zero", false, true);
    EXPECT_EQ(0, viewer->GetSearchLine());
    EXPECT_EQ(0, viewer->Pos());
    viewer->Search("line 003", true, true);  // within the band going down
    EXPECT_EQ(3, viewer->GetSearchLine());
    EXPECT_EQ(0, viewer->Pos());

    // The edges of the band: five lines from the bottom (40 - 5 = 35 below
    // the first line) going down, five from the top going up.
    viewer->Search("edge", true, true);
    EXPECT_EQ(35, viewer->GetSearchLine());
    EXPECT_EQ(0, viewer->Pos());
    viewer->Search("edge", true, true);
    EXPECT_EQ(36, viewer->GetSearchLine());
    EXPECT_EQ(lh, viewer->Pos());
    viewer->Search("line 006", false, true);
    EXPECT_EQ(lh, viewer->Pos());
    viewer->Search("line 005", false, true);
    EXPECT_EQ(5, viewer->GetSearchLine());
    EXPECT_EQ(0, viewer->Pos());

    // A hit that erasures left below the last line: the walk up starts at
    // the last line there is.
    viewer->Search("line 099", true, true);
    ASSERT_EQ(99, viewer->GetSearchLine());
    for (int i = 0; i < 50; ++i)
        viewer->Erase(50);
    viewer->Search("foo", false, true);
    EXPECT_EQ(10, viewer->GetSearchLine());
}

TEST_F(TextLineTest, SearchBarButtonsEnterKeysAndTheRememberedMatchCase)
{
    DravikApp::GetOptions().SetValue("Search", "CaseSensitive", true);
    std::vector<std::string> lines = Numbered(100);
    lines[3] += " ABC";
    lines[10] += " foo";
    lines[60] += " foo";
    ProbeViewer* viewer = Make(lines);
    wxTextLineSearchPanel* panel = viewer->Panel();
    ASSERT_EQ(panel, viewer->GetSearchPanel());
    EXPECT_EQ(m_Parent, panel->GetParent());
    _SearchTextCtrl* field = panel->GetSearchField();
    wxsCheckBox* matchCase = panel->GetMatchCase();
    Key(viewer, WXK_PAGEUP, true);
    LogLines log;

    // Hidden at first; Control+F in the viewer shows it, Escape or Control+F
    // in the field hide it, other keys go on to the field.
    EXPECT_FALSE(panel->IsShown());
    Key(viewer, 'F', true);
    EXPECT_TRUE(panel->IsShown());
    EXPECT_FALSE(Key(field, 'X'));
    EXPECT_FALSE(Key(field, 'F'));
    EXPECT_TRUE(panel->IsShown());
    EXPECT_TRUE(Key(field, WXK_ESCAPE));
    EXPECT_FALSE(panel->IsShown());
    SendCommand(viewer, wxEVT_MENU, wxTextLineCtrl::ID_SEARCH);
    EXPECT_TRUE(panel->IsShown());
    EXPECT_TRUE(Key(field, 'F', true));
    EXPECT_FALSE(panel->IsShown());
    viewer->ToggleSearch();
    EXPECT_TRUE(panel->IsShown());
    SendCommand(panel->FindWindow(wxTextLineSearchPanel::ID_CLOSE), wxEVT_BUTTON, wxTextLineSearchPanel::ID_CLOSE);
    EXPECT_FALSE(panel->IsShown());
    viewer->ToggleSearch();

    // An empty field searches nothing.
    SendCommand(field, wxEVT_TEXT_ENTER, field->GetId());
    EXPECT_EQ(-1, viewer->GetSearchLine());
    EXPECT_EQ(0, log.Count(LOG_INFO, "not found"));

    // Down, Down, Up, then Enter: down again whatever came before.
    field->ChangeValue("foo");
    auto* up = dynamic_cast<wxsButton*>(panel->FindWindow(wxTextLineSearchPanel::ID_UP));
    auto* down = dynamic_cast<wxsButton*>(panel->FindWindow(wxTextLineSearchPanel::ID_DOWN));
    ASSERT_TRUE(up && down);
    down->EmulateClick();
    EXPECT_EQ(10, viewer->GetSearchLine());
    down->EmulateClick();
    EXPECT_EQ(60, viewer->GetSearchLine());
    up->EmulateClick();
    EXPECT_EQ(10, viewer->GetSearchLine());
    SendCommand(field, wxEVT_TEXT_ENTER, field->GetId());
    EXPECT_EQ(60, viewer->GetSearchLine());
    SendCommand(field, wxEVT_TEXT_ENTER, field->GetId());
    EXPECT_EQ(-1, viewer->GetSearchLine());
    EXPECT_EQ(1, log.Count(LOG_INFO, "'foo' not found in that direction"));

    // Match Case decides, and every change is stored at once.
    Key(viewer, WXK_PAGEUP, true);
    field->ChangeValue("abc");
    EXPECT_TRUE(matchCase->GetValue());
    down->EmulateClick();
    EXPECT_EQ(-1, viewer->GetSearchLine());
    Mouse(matchCase, wxEVT_LEFT_UP, 2);
    EXPECT_FALSE(matchCase->GetValue());
    EXPECT_FALSE(DravikApp::GetOptions().GetValue("Search", "CaseSensitive", true));
    down->EmulateClick();
    EXPECT_EQ(3, viewer->GetSearchLine());

    // A bar built later starts as stored.
    ProbeViewer* later = Make({});
    EXPECT_FALSE(later->Panel()->GetMatchCase()->GetValue());
    Mouse(later->Panel()->GetMatchCase(), wxEVT_LEFT_UP, 2);
    EXPECT_TRUE(DravikApp::GetOptions().GetValue("Search", "CaseSensitive", false));
    DravikApp::GetOptions().RemoveKey("Search", "CaseSensitive");
}
