// The frame base: the main frame and the frames that die with it, the
// tracked size and position (maximize and restore, duplicates, moves while
// minimized), the saved placement, the frame-menu state and the colour
// change that walks the frames.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <wx/weakref.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxdravikframe.h"

using namespace dravik_test;

namespace
{
std::string SizeText(const wxSize& size)
{
    return std::to_string(size.x) + "x" + std::to_string(size.y);
}

/// A frame whose window-manager states the test sets: under Xvfb without a
/// window manager nothing is ever maximized, full-screen or minimized. It
/// records the changes it is told about.
class TestFrame : public wxDravikFrame
{
public:
    using wxDravikFrame::wxDravikFrame;

    bool IsMaximized() const override { return m_Maximized; }
    void Maximize(bool maximize) override { m_Maximized = maximize; }
    bool IsFullScreen() const override { return m_FullScreen; }
    bool ShowFullScreen(bool show, long) override
    {
        m_FullScreen = show;
        return true;
    }
    bool IsIconized() const override { return m_Iconized; }

    void SendSize(const wxSize& size)
    {
        wxSizeEvent event(size, GetId());
        event.SetEventObject(this);
        HandleWindowEvent(event);
    }

    void SendMove()
    {
        wxMoveEvent event(GetPosition(), GetId());
        event.SetEventObject(this);
        HandleWindowEvent(event);
    }

    bool m_Maximized = false;
    bool m_FullScreen = false;
    bool m_Iconized = false;
    std::vector<std::string> m_Changes;

protected:
    void SizeHasChanged(const wxSize& newSize, const wxSize& oldSize, bool restoring) override
    {
        m_Changes.push_back("size " + SizeText(newSize) + " from " + SizeText(oldSize) +
                            (restoring ? " restoring" : ""));
    }
    void PositionHasChanged(const wxPoint& newPosition, const wxPoint& oldPosition) override
    {
        m_Changes.push_back("move " + std::to_string(newPosition.x) + "," + std::to_string(newPosition.y) +
                            " from " + std::to_string(oldPosition.x) + "," + std::to_string(oldPosition.y));
    }
};

/// The debug lines of the core log while it lives.
class DebugLines
{
public:
    DebugLines()
    {
        m_Observer = Log::s_GlobalLog.AddObserver([this](LogLevel level, const String& text) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            if (level == LOG_DEBUG)
                m_Lines.push_back(text.c_str());
        });
    }
    ~DebugLines() { Log::s_GlobalLog.RemoveObserver(m_Observer); }

    /// How often the line was logged since the last call.
    int Take(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        int count = 0;
        for (const std::string& logged : m_Lines)
            count += logged == line;
        m_Lines.clear();
        return count;
    }

private:
    ScopedLogLevel m_Level{LOG_DEBUG};
    std::mutex m_Mutex;
    std::vector<std::string> m_Lines;
    int m_Observer = 0;
};

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

    /// The main frame, built and finished, tracking 400 x 300 at 50, 60.
    TestFrame* NewMainFrame()
    {
        auto* frame = new TestFrame("main", wxPoint(50, 60), wxSize(400, 300));  // deleted by TearDown
        frame->FinishedBuilding();
        frame->SendSize(frame->GetSize());
        frame->SendMove();
        frame->m_Changes.clear();
        return frame;
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
    EXPECT_FALSE(wxDravikFrame::SIsGuiBuilt());

    auto* main = new TestFrame("main", wxPoint(10, 10), wxSize(300, 200));
    EXPECT_EQ(main, wxDravikFrame::s_Frame);
    EXPECT_EQ(nullptr, main->GetParent());
    EXPECT_FALSE(wxDravikFrame::SIsGuiBuilt());
    main->FinishedBuilding();
    EXPECT_TRUE(wxDravikFrame::SIsGuiBuilt());
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(wxImage(16, 16)));
    main->SetIcon(icon);

    wxWeakRef<wxDravikFrame> second(new TestFrame("second", wxPoint(20, 20), wxSize(200, 100)));
    wxWeakRef<wxDravikFrame> third(new TestFrame("third", wxPoint(30, 30), wxSize(200, 100)));
    auto* early = new TestFrame("early", wxPoint(40, 40), wxSize(200, 100));
    EXPECT_EQ(main, wxDravikFrame::s_Frame);
    EXPECT_EQ(main, second->GetParent());
    ASSERT_EQ(1u, second->GetIcons().GetIconCount());
    EXPECT_EQ(16, second->GetIcons().GetIconByIndex(0).GetWidth());

    // A secondary frame that goes first leaves the set for good.
    delete early;
    EXPECT_EQ(1, counter.closed);

    delete main;
    EXPECT_EQ(nullptr, wxDravikFrame::s_Frame);
    EXPECT_FALSE(second);
    EXPECT_FALSE(third);
    EXPECT_EQ(4, counter.closed);
    EXPECT_FALSE(wxDravikFrame::SIsGuiBuilt());

    // The next frame built with a position is the new main frame.
    auto* next = new TestFrame("next", wxPoint(10, 10), wxSize(300, 200));
    EXPECT_EQ(next, wxDravikFrame::s_Frame);
    EXPECT_EQ(nullptr, next->GetParent());
    tool.reset();
    EXPECT_EQ(5, counter.closed);
    wxDravikFrame::s_WinClosed.Disconnect(&counter);
}

TEST_F(FrameTest, MaximizeAndRestoreBringBackTheRememberedSize)
{
    TestFrame* frame = NewMainFrame();
    DebugLines log;

    frame->m_Maximized = true;
    frame->SendSize(wxSize(1200, 1000));
    EXPECT_EQ(wxSize(1200, 1000), frame->GetCurrentSize());
    EXPECT_EQ(wxSize(400, 300), frame->GetRestoredSize());  // unchanged while maximized

    // Saved while maximized: the current position with the normal size.
    frame->SaveWindowPosition();
    const OptionsFile& options = DravikApp::GetOptions();
    EXPECT_EQ(String("50, 60, 400, 300"), options.GetValue("Window", "Window", String()));
    EXPECT_TRUE(options.GetValue("Window", "IsMaximized", false));
    EXPECT_FALSE(options.GetValue("Window", "IsFullScreen", true));
    EXPECT_FALSE(options.GetValue("Window", "IsMinimized", true));

    // The toolkit restores to another size: the frame takes its own back.
    frame->m_Maximized = false;
    frame->SendSize(wxSize(900, 700));
    EXPECT_EQ(wxSize(400, 300), frame->GetSize());
    EXPECT_EQ(1, log.Take("Size event ignored because we're restoring the correct size"));
    frame->SendSize(frame->GetSize());  // its own size event, should the toolkit not have sent it yet
    EXPECT_EQ(wxSize(400, 300), frame->GetCurrentSize());
    EXPECT_EQ(wxSize(400, 300), frame->GetRestoredSize());

    // Full screen likewise.
    frame->m_FullScreen = true;
    frame->SendSize(wxSize(1280, 1024));
    EXPECT_EQ(wxSize(400, 300), frame->GetRestoredSize());
    frame->m_FullScreen = false;
    frame->SendSize(wxSize(1000, 800));
    EXPECT_EQ(wxSize(400, 300), frame->GetSize());
    EXPECT_EQ(1, log.Take("Size event ignored because we're restoring the correct size"));
    frame->SendSize(frame->GetSize());

    const std::vector<std::string> expected = {"size 1200x1000 from 400x300", "size 400x300 from 900x700",
                                               "size 1280x1024 from 400x300", "size 400x300 from 1000x800"};
    EXPECT_EQ(expected, frame->m_Changes);
}

TEST_F(FrameTest, ARestoreWithoutAKnownNormalSizeKeepsTheToolkitsSize)
{
    auto* frame = new TestFrame("main", wxPoint(50, 60), wxSize(400, 300));
    frame->m_Maximized = true;
    frame->FinishedBuilding();
    frame->SendSize(wxSize(1200, 1000));  // first seen maximized
    frame->m_Maximized = false;
    frame->SendSize(wxSize(500, 350));
    EXPECT_EQ(wxSize(500, 350), frame->GetRestoredSize());
    EXPECT_EQ(wxSize(400, 300), frame->GetSize());  // never resized to nothing
    EXPECT_EQ((std::vector<std::string>{"size 1200x1000 from 0x0", "size 500x350 from 1200x1000 restoring"}),
              frame->m_Changes);
}

TEST_F(FrameTest, EarlyAndDuplicateSizeEventsAreIgnored)
{
    DebugLines log;
    auto* frame = new TestFrame("main", wxPoint(50, 60), wxSize(400, 300));
    frame->SendSize(wxSize(410, 310));
    EXPECT_GE(log.Take("Size event ignored because gui is not finished building"), 1);
    EXPECT_EQ(wxSize(0, 0), frame->GetCurrentSize());

    frame->FinishedBuilding();
    frame->SendSize(wxSize(420, 320));
    frame->SendSize(wxSize(420, 320));
    EXPECT_EQ(1, log.Take("Size event ignored because it is a duplicate event"));
    EXPECT_EQ(std::vector<std::string>{"size 420x320 from 0x0"}, frame->m_Changes);
}

TEST_F(FrameTest, MovesWhileMinimizedOrMaximizedAreNotTracked)
{
    TestFrame* frame = NewMainFrame();
    EXPECT_EQ(wxPoint(50, 60), frame->GetCurrontPosition());

    frame->m_Iconized = true;
    frame->Move(300, 200);
    frame->SendMove();
    frame->m_Iconized = false;
    frame->m_Maximized = true;
    frame->Move(0, 0);
    frame->SendMove();
    EXPECT_EQ(wxPoint(50, 60), frame->GetCurrontPosition());
    EXPECT_TRUE(frame->m_Changes.empty());

    frame->m_Maximized = false;
    frame->Move(120, 130);
    frame->SendMove();
    EXPECT_EQ(wxPoint(120, 130), frame->GetCurrontPosition());
    ASSERT_FALSE(frame->m_Changes.empty());
    EXPECT_EQ("move 120,130 from 50,60", frame->m_Changes.front());
}

TEST_F(FrameTest, LoadRestoresPlacementAndStatesButNeverMinimized)
{
    OptionsFile& options = DravikApp::GetOptions();
    options.SetValue("Window", "Window", "30, 40, 500, 350");
    options.SetValue("Window", "IsMaximized", true);
    options.SetValue("Window", "IsFullScreen", false);
    options.SetValue("Window", "IsMinimized", true);

    auto* frame = new TestFrame("main", wxPoint(50, 60), wxSize(400, 300));
    frame->LoadWindowPosition();
    frame->FinishedBuilding();
    EXPECT_EQ(wxPoint(30, 40), frame->GetPosition());
    EXPECT_EQ(wxPoint(30, 40), frame->GetCurrontPosition());
    EXPECT_EQ(wxSize(500, 350), frame->GetRestoredSize());
    EXPECT_TRUE(frame->m_Maximized);
    EXPECT_FALSE(frame->m_FullScreen);
    EXPECT_FALSE(frame->m_Iconized);

    // Maximized from the start: the normal size is still the saved one.
    frame->SendSize(wxSize(1280, 1000));
    frame->SaveWindowPosition();
    EXPECT_EQ(String("30, 40, 500, 350"), options.GetValue("Window", "Window", String()));
    EXPECT_FALSE(options.GetValue("Window", "IsMinimized", true));
    options.ClearSection("Window");
}

TEST_F(FrameTest, FrameMenusMakeNoParentActive)
{
    TestFrame* frame = NewMainFrame();
    EXPECT_FALSE(wxDravikFrame::IsMenuOpen());
    EXPECT_TRUE(ParentIsActive(nullptr));

    wxMenuEvent highlight(wxEVT_MENU_HIGHLIGHT, 5);
    frame->HandleWindowEvent(highlight);
    EXPECT_TRUE(wxDravikFrame::IsMenuOpen());
    EXPECT_FALSE(ParentIsActive(nullptr));

    wxMenuEvent close(wxEVT_MENU_CLOSE);
    frame->HandleWindowEvent(close);
    EXPECT_FALSE(wxDravikFrame::IsMenuOpen());
    EXPECT_TRUE(ParentIsActive(nullptr));
}

TEST_F(FrameTest, ColourChangeSkipsFramesAHandlerDestroyed)
{
    TestFrame* main = NewMainFrame();
    std::vector<wxWeakRef<wxDravikFrame>> secondaries;
    for (int i = 0; i < 4; ++i)
        secondaries.emplace_back(new TestFrame("second", wxPoint(20, 20), wxSize(200, 100)));
    std::vector<std::string> reached;
    for (const auto& frame : secondaries)
        frame->Bind(wxEVT_SYS_COLOUR_CHANGED, [&reached](wxSysColourChangedEvent& event) {
            event.Skip();
            reached.push_back("second");
        });
    // The main frame's handler takes every secondary frame but one with it.
    main->Bind(wxEVT_SYS_COLOUR_CHANGED, [&](wxSysColourChangedEvent& event) {
        event.Skip();
        reached.push_back("main");
        for (size_t i = 1; i < secondaries.size(); ++i)
            delete secondaries[i].get();
    });

    wxDravikFrame::ProcessColorChange();
    EXPECT_EQ((std::vector<std::string>{"main", "second"}), reached);
    EXPECT_TRUE(secondaries[0]);
}
