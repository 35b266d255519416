// The frame base: main and secondary frames, the tracked size and position,
// the saved placement, the frame-menu state and the colour-change walk.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/weakref.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxdravikframe.h"

using namespace dravik_test;
using Lines = std::vector<std::string>;

namespace
{
/// A frame whose window-manager states the test sets (under Xvfb without a
/// window manager nothing is ever maximized, full-screen or minimized); it
/// records the changes it is told about.
class TestFrame : public wxDravikFrame
{
public:
    explicit TestFrame(const wxString& title) : wxDravikFrame(title, wxPoint(50, 60), wxSize(400, 300)) {}

    bool IsMaximized() const override { return m_Maximized; }
    void Maximize(bool maximize) override { m_Maximized = maximize; }
    bool IsFullScreen() const override { return m_FullScreen; }
    bool ShowFullScreen(bool show, long) override
    {
        m_FullScreen = show;
        return true;
    }
    bool IsIconized() const override { return m_Iconized; }
    void Iconize(bool iconize) override { m_Iconized = iconize; }

    void SendSize(int x, int y)
    {
        wxSizeEvent event(wxSize(x, y), GetId());
        HandleWindowEvent(event);
    }

    void MoveTo(int x, int y)
    {
        Move(x, y);
        wxMoveEvent event(GetPosition(), GetId());
        HandleWindowEvent(event);
    }

    bool m_Maximized = false;
    bool m_FullScreen = false;
    bool m_Iconized = false;
    Lines m_Changes;

protected:
    void SizeHasChanged(const wxSize& to, const wxSize& from, bool restoring) override
    {
        m_Changes.push_back(wxString::Format("size %dx%d from %dx%d%s", to.x, to.y, from.x, from.y,
                                             restoring ? " restoring" : "").ToStdString());
    }
    void PositionHasChanged(const wxPoint& to, const wxPoint& from) override
    {
        m_Changes.push_back(wxString::Format("move %d,%d from %d,%d", to.x, to.y, from.x, from.y).ToStdString());
    }
};

/// How often the frame logs at debug level that it ignored a size event for the reason while action runs.
int Ignored(const std::string& reason, const std::function<void()>& action)
{
    ScopedLogLevel debug(LOG_DEBUG);
    const std::string line = "Size event ignored because " + reason;
    std::atomic<int> count{0};
    const int observer = Log::s_GlobalLog.AddObserver(
        [&](LogLevel level, const String& text) { count += level == LOG_DEBUG && line == text.c_str(); });
    action();
    Log::s_GlobalLog.RemoveObserver(observer);
    return count;
}

struct ClosedCounter : HasSlots<ThreadPolicy::LocalThreaded>
{
    int closed = 0;
    void OnClosed() { ++closed; }
};

/// Every test starts without a main frame and leaves none behind.
class FrameTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(nullptr, wxDravikFrame::s_Frame); }
    void TearDown() override
    {
        delete wxDravikFrame::s_Frame;
        FlushEvents();
    }
};
}

TEST_F(FrameTest, MainFrameTakesSecondaryFramesWithItAndSignalsEachOnce)
{
    ClosedCounter counter;
    wxDravikFrame::s_WinClosed.Connect(&counter, &ClosedCounter::OnClosed);
    // A tool frame built first never becomes the main frame.
    std::unique_ptr<wxDravikFrame> tool(new wxDravikFrame(nullptr, "tool", wxRESIZE_BORDER));
    EXPECT_EQ(nullptr, wxDravikFrame::s_Frame);
    const long toolStyle = wxCAPTION | wxFRAME_FLOAT_ON_PARENT | wxFRAME_TOOL_WINDOW | wxRESIZE_BORDER;
    EXPECT_EQ(toolStyle, tool->GetWindowStyleFlag() & toolStyle);

    auto* main = new TestFrame("main");
    EXPECT_FALSE(wxDravikFrame::SIsGuiBuilt());
    main->FinishedBuilding();
    EXPECT_TRUE(wxDravikFrame::SIsGuiBuilt());
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(wxImage(16, 16)));
    main->SetIcon(icon);
    wxWeakRef<wxDravikFrame> second(new TestFrame("second")), third(new TestFrame("third"));
    auto* early = new TestFrame("early");
    EXPECT_EQ(main, wxDravikFrame::s_Frame);
    EXPECT_EQ(main, second->GetParent());
    EXPECT_EQ(1u, second->GetIcons().GetIconCount());

    delete early;  // a secondary frame that goes first leaves the set for good
    EXPECT_EQ(1, counter.closed);
    delete main;
    EXPECT_FALSE(second || third || wxDravikFrame::SIsGuiBuilt());
    EXPECT_EQ(4, counter.closed);
    auto* next = new TestFrame("next");  // the next frame built with a position is the new main frame
    EXPECT_EQ(next, wxDravikFrame::s_Frame);
    tool.reset();
    EXPECT_EQ(5, counter.closed);
    wxDravikFrame::s_WinClosed.Disconnect(&counter);
}

TEST_F(FrameTest, LoadSaveAndRestoreFromMaximizedOrFullScreenKeepTheNormalSize)
{
    OptionsFile& options = DravikApp::GetOptions();
    options.SetValue("Window", "Window", "30, 40, 500, 350");
    options.SetValue("Window", "IsMaximized", true);
    options.SetValue("Window", "IsMinimized", true);
    auto* frame = new TestFrame("main");
    frame->LoadWindowPosition();
    frame->FinishedBuilding();
    EXPECT_EQ(wxPoint(30, 40), frame->GetPosition());
    EXPECT_TRUE(frame->m_Maximized && !frame->m_FullScreen && !frame->m_Iconized);  // never opens minimized

    // Saved while maximized: the current position with the normal size.
    frame->SendSize(1280, 1000);
    options.ClearSection("Window");
    frame->SaveWindowPosition();
    EXPECT_EQ(String("30, 40, 500, 350"), options.GetValue("Window", "Window", String()));
    EXPECT_TRUE(options.GetValue("Window", "IsMaximized", false));
    EXPECT_FALSE(options.GetValue("Window", "IsFullScreen", true) || options.GetValue("Window", "IsMinimized", true));
    options.ClearSection("Window");

    // The toolkit restores to another size: the frame takes its own back,
    // then gets its own size event should the toolkit not have sent it yet.
    frame->m_Maximized = false;
    EXPECT_EQ(1, Ignored("we're restoring the correct size", [&] { frame->SendSize(900, 700); }));
    EXPECT_EQ(wxSize(500, 350), frame->GetSize());
    frame->SendSize(500, 350);
    frame->m_FullScreen = true;
    frame->SendSize(1280, 1024);
    frame->m_FullScreen = false;
    frame->SendSize(1000, 800);
    EXPECT_EQ(wxSize(500, 350), frame->GetSize());
    frame->SendSize(500, 350);
    EXPECT_EQ((Lines{"size 1280x1000 from 500x350", "size 500x350 from 900x700", "size 1280x1024 from 500x350",
                     "size 500x350 from 1000x800"}),
              frame->m_Changes);
}

TEST_F(FrameTest, EarlyDuplicateAndMinimizedEventsAreIgnoredAndARestoreNeedsAKnownSize)
{
    auto* frame = new TestFrame("main");
    EXPECT_GE(Ignored("gui is not finished building", [&] { frame->SendSize(410, 310); }), 1);
    frame->FinishedBuilding();
    frame->m_Maximized = true;
    frame->SendSize(1200, 1000);  // first seen maximized
    EXPECT_EQ(1, Ignored("it is a duplicate event", [&] { frame->SendSize(1200, 1000); }));
    // Nothing to restore to: the toolkit's size stands, never resized to nothing.
    frame->m_Maximized = false;
    frame->SendSize(500, 350);
    EXPECT_EQ(wxSize(500, 350), frame->GetRestoredSize());
    EXPECT_EQ(wxSize(400, 300), frame->GetSize());

    // Moves while minimized or maximized are not tracked.
    frame->m_Iconized = true;
    frame->MoveTo(300, 200);
    frame->m_Iconized = false;
    frame->m_Maximized = true;
    frame->MoveTo(5, 5);
    frame->m_Maximized = false;
    frame->MoveTo(120, 130);  // the toolkit may report the move as well
    ASSERT_GE(frame->m_Changes.size(), 3u);
    EXPECT_EQ((Lines{"size 1200x1000 from 0x0", "size 500x350 from 1200x1000 restoring", "move 120,130 from 0,0"}),
              Lines(frame->m_Changes.begin(), frame->m_Changes.begin() + 3));
}

TEST_F(FrameTest, FrameMenusMakeNoParentActive)
{
    auto* frame = new TestFrame("main");
    wxMenuEvent highlight(wxEVT_MENU_HIGHLIGHT, 5), close(wxEVT_MENU_CLOSE);
    frame->HandleWindowEvent(highlight);
    EXPECT_TRUE(wxDravikFrame::IsMenuOpen() && !ParentIsActive(nullptr));
    frame->HandleWindowEvent(close);
    EXPECT_TRUE(!wxDravikFrame::IsMenuOpen() && ParentIsActive(nullptr));
}

TEST_F(FrameTest, ColourChangeSkipsFramesAHandlerDestroyed)
{
    std::vector<wxWeakRef<wxDravikFrame>> frames{new TestFrame("main")};
    for (int i = 0; i < 4; ++i)
        frames.emplace_back(new TestFrame("second"));
    Lines reached;
    for (const auto& frame : frames)
        frame->Bind(wxEVT_SYS_COLOUR_CHANGED, [&, frame = frame.get()](wxSysColourChangedEvent& event) {
            event.Skip();
            reached.push_back(frame->GetTitle().utf8_string());
            if (frame == wxDravikFrame::s_Frame)  // the main frame's handler takes every secondary frame but one
                for (size_t i = 2; i < frames.size(); ++i)
                    delete frames[i].get();
        });
    wxDravikFrame::ProcessColorChange();
    EXPECT_EQ((Lines{"main", "second"}), reached);
}
