// The bar history graph: the level bar, the graph and the frame read back from
// the rendered bitmap, the peak rule, the running average under limits and
// size events, the empty look and the tooltip.
#include <string>
#include <utility>
#include <vector>

#include <wx/frame.h>
#include <wx/numformatter.h>
#include <wx/tokenzr.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxbarhistoryctrl.h"
#include "wxdravik/wxcolorscheme.h"

using namespace dravik_test;

namespace
{
/// Renders on demand so that the picture can be read without a paint.
class ProbeBarHistory : public wxBarHistoryCtrl
{
public:
    using wxBarHistoryCtrl::wxBarHistoryCtrl;
    using wxBarHistoryCtrl::GetRenderedBitmap;
    wxImage Snapshot()
    {
        Render();
        return GetRenderedBitmap()->ConvertToImage();
    }
};

using Legend = std::vector<std::pair<wxColour, char>>;

/// Row y of the picture, one letter per pixel by the legend ('?': any other colour).
std::string Row(const wxImage& image, int y, const Legend& legend)
{
    std::string row;
    for (int x = 0; x < image.GetWidth(); ++x)
    {
        const wxColour pixel(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
        row += '?';
        for (const auto& entry : legend)
            row.back() = entry.first == pixel ? entry.second : row.back();
    }
    return row;
}

std::string Repeat(const std::string& text, int count)
{
    return count > 0 ? text + Repeat(text, count - 1) : std::string();
}

wxColour Xor(const wxColour& a, const wxColour& b)
{
    return wxColour(a.Red() ^ b.Red(), a.Green() ^ b.Green(), a.Blue() ^ b.Blue());
}

/// The tooltip line after "label:\t"; "<none>" when there is no such line.
std::string Line(wxWindow* window, const std::string& label)
{
    wxStringTokenizer lines(window->GetToolTipText(), "\n");
    while (lines.HasMoreTokens())
    {
        wxString rest;
        if (lines.GetNextToken().StartsWith(wxString(label) + ":\t", &rest))
            return rest.ToStdString();
    }
    return "<none>";
}

/// Runs the event loop until the core clock has moved on, so that two
/// pushes cannot share one time stamp.
void AdvanceClock()
{
    const Time before = Time::CurrentTime();
    ASSERT_TRUE(WaitUntil([before] { return Time::CurrentTime() > before; }));
}

class BarGraphTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Frame = new wxFrame(nullptr, wxID_ANY, "bars", wxDefaultPosition, wxSize(300, 200));
        m_Frame->Show();
    }
    void TearDown() override { delete m_Frame; }

    /// A graph of the given size that has handled its size events.
    ProbeBarHistory* Make(int w, int h)
    {
        auto* bar = new ProbeBarHistory(m_Frame, wxID_ANY, wxPoint(0, 0), wxSize(w - 1, h));
        CountSizeEvents(bar);
        Resize(bar, w, h);
        return bar;
    }
    void CountSizeEvents(wxWindow* window)
    {
        window->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) { ++m_SizeEvents, event.Skip(); });
    }
    /// Asks for a repaint and waits until the paint handler has run.
    bool Paint(wxWindow* window)
    {
        const int before = m_Paints;
        window->Refresh(false);
        return WaitUntil([&] { return window->Update(), m_Paints > before; });
    }
    void Resize(wxWindow* window, int w, int h)
    {
        const int before = m_SizeEvents;
        window->SetSize(w, h);
        EXPECT_TRUE(WaitUntil([&] { return m_SizeEvents > before && window->GetClientSize() == wxSize(w, h); }));
    }

    wxFrame* m_Frame = nullptr;
    int m_SizeEvents = 0;
    int m_Paints = 0;
};
}  // namespace

TEST_F(BarGraphTest, LevelBarGraphAndFrameFollowTheBoundsPixelByPixel)
{
    ProbeBarHistory* bar = Make(102, 20);
    bar->SetBounds(100, 200, false);
    bar->SetMidBound(180, false);
    const wxColour field = AdjustColour(wxsGetColor(COLOR_FIELD), -32, -32, -32);
    // Segments show XORed over the graph (Y over the line, Z over the area);
    // tips are opaque.
    const Legend legend = {{field, '.'}, {Xor(field, wxColour(0, 160, 0)), 'x'},
                           {Xor(field, wxColour(160, 160, 0)), 'y'}, {wxColour(0, 255, 0), 't'},
                           {wxColour(255, 255, 0), 'u'}, {wxColour(0, 0, 127), 'a'}, {wxColour(0, 0, 255), 'l'},
                           {wxsGetColor(COLOR_EDGE_DARK), 'D'}, {wxsGetColor(COLOR_EDGE_LIGHT), 'L'},
                           {Xor(wxColour(0, 0, 255), wxColour(160, 160, 0)), 'Y'},
                           {Xor(wxColour(0, 0, 127), wxColour(160, 160, 0)), 'Z'}};

    // 150 of 100..200 over 100 pixels: 17 segments at x = 1, 4, ..., 49, the
    // last one under the tip, 3 pixels wide at x = 49.
    bar->PushValue(150);
    wxImage image = bar->Snapshot();
    const std::string bar150 = "D" + Repeat("xx.", 16) + "ttt" + Repeat(".", 49) + "L";
    EXPECT_EQ(Row(image, 1, legend), bar150);
    EXPECT_EQ(Row(image, 10, legend), bar150);
    EXPECT_EQ(Row(image, 18, legend), bar150);
    EXPECT_EQ(Row(image, 0, legend), Repeat("D", 101) + "L");
    EXPECT_EQ(Row(image, 19, legend), "D" + Repeat("L", 101));

    // 151 still ends at 51 pixels; 150 has moved one column left, its point
    // at row 10 joined to the newest one.
    bar->PushValue(151);
    image = bar->Snapshot();
    EXPECT_EQ(Row(image, 10, legend), "D" + Repeat("xx.", 16) + "ttt" + Repeat(".", 48) + "lL");

    // At the middle bound the bar turns yellow: 180 gives 80 pixels, tip at 79.
    bar->PushValue(180);
    EXPECT_EQ(Row(bar->Snapshot(), 1, legend), "D" + Repeat("yy.", 26) + "uuu" + Repeat(".", 19) + "L");

    // 250 is clamped to the full length of 100: the last segment and the tip
    // at x = 100; the segment at x = 97 lies over 150's point and area.
    bar->PushValue(250);
    image = bar->Snapshot();
    EXPECT_EQ(Row(image, 10, legend), "D" + Repeat("yy.", 32) + "yYl" + "uL");
    EXPECT_EQ(Row(image, 15, legend), "D" + Repeat("yy.", 32) + "yZa" + "uL");

    // Below the lower bound: no segment, the tip hidden under the frame.
    bar->PushValue(50);
    image = bar->Snapshot();
    EXPECT_EQ(Row(image, 10, legend).substr(0, 97), "D" + Repeat(".", 96));
    EXPECT_EQ(Row(image, 15, legend), "D" + Repeat(".", 96) + "aaaaL");
}

TEST_F(BarGraphTest, PaintingRendersAgainOnlyAfterAChange)
{
    ProbeBarHistory* bar = Make(60, 12);
    bar->Bind(wxEVT_PAINT, [this](wxPaintEvent& event) { ++m_Paints, event.Skip(); });
    ASSERT_TRUE(Paint(bar));
    const wxBitmap* first = bar->GetRenderedBitmap();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(Paint(bar));
    EXPECT_EQ(bar->GetRenderedBitmap(), first);
    bar->PushValue(3);
    ASSERT_TRUE(Paint(bar));
    EXPECT_NE(bar->GetRenderedBitmap(), first);
}

TEST_F(BarGraphTest, PeakTimeKeepsTheFirstOfARunAndMovesWhenReachedAgain)
{
    ProbeBarHistory* run = Make(60, 12);
    run->PushValue(5);
    run->PushValue(7);
    const Time first = run->GetPeakTime();
    AdvanceClock();
    run->PushValue(7);
    EXPECT_EQ(run->GetPeakTime(), first);

    ProbeBarHistory* again = Make(60, 12);
    for (unsigned int value : {5u, 7u, 6u})
        again->PushValue(value);
    const Time before = again->GetPeakTime();
    AdvanceClock();
    again->PushValue(7);
    EXPECT_GT(again->GetPeakTime(), before);
    const std::string peak = Line(again, "Peak");
    EXPECT_EQ(peak.substr(0, 3), "7, ") << peak;
    EXPECT_EQ(peak.substr(peak.size() - 4), " ago") << peak;
}

TEST_F(BarGraphTest, LimitsKeepTheNewestAndTheAverageFollowsEveryEviction)
{
    ProbeBarHistory* bar = Make(102, 20);
    bar->LimitHistory(3, false);
    for (unsigned int value : {10u, 20u, 30u, 40u})
        bar->PushValue(value);
    EXPECT_EQ(Line(bar, "Current"), "40");
    EXPECT_EQ(Line(bar, "Average"), "30");  // 40, 30, 20

    bar->LimitHistory(2, false);
    bar->SetTooltipText("Engine", "");
    EXPECT_EQ(bar->GetToolTipText().BeforeFirst('\n'), "Engine");
    EXPECT_EQ(Line(bar, "Average"), "35");  // 40, 30
    bar->PushValue(50);
    EXPECT_EQ(Line(bar, "Average"), "45");  // 50, 40

    // A size event raises the limit to the width again.
    Resize(bar, 120, 20);
    bar->PushValue(60);
    EXPECT_EQ(Line(bar, "Average"), "50");  // 60, 50, 40
}

TEST_F(BarGraphTest, NothingIsHeldBeforeTheFirstSizeEvent)
{
    auto* bar = new ProbeBarHistory();
    CountSizeEvents(bar);
    ASSERT_TRUE(bar->Create(m_Frame, wxID_ANY, wxPoint(0, 0), wxSize(80, 16)));
    ASSERT_EQ(m_SizeEvents, 0);
    EXPECT_EQ(bar->GetMinSize(), wxSize(50, 10));

    bar->PushValue(1234567);
    EXPECT_EQ(Line(bar, "Current"), "0");
    EXPECT_EQ(Line(bar, "Average"), "<none>");
    const std::string peak = (wxNumberFormatter::ToString(1234567L) + ", ").ToStdString();
    EXPECT_EQ(Line(bar, "Peak").substr(0, peak.size()), peak);

    // The bar still shows the last reading: full length with both bounds 0.
    const Legend tip = {{wxColour(255, 255, 0), 'u'}};
    EXPECT_EQ(Row(bar->Snapshot(), 8, tip).substr(76, 3), "uuu");
}

TEST_F(BarGraphTest, ClearShowsTheHatchedLookAndKeepsPeakAndTooltip)
{
    ProbeBarHistory* bar = Make(60, 20);
    for (unsigned int value : {10u, 30u, 20u})
        bar->PushValue(value);
    const wxString tooltip = bar->GetToolTipText();

    bar->Clear(true);
    // Inside the frame only the light background and the darker grey hatch.
    const wxImage image = bar->Snapshot();
    const wxColour light = wxsGetColor(COLOR_BACKGROUND_LIGHT);
    int lightPixels = 0, hatchPixels = 0;
    for (int y = 1; y < 19; ++y)
        for (int x = 1; x < 59; ++x)
        {
            const int r = image.GetRed(x, y), g = image.GetGreen(x, y), b = image.GetBlue(x, y);
            lightPixels += wxColour(r, g, b) == light;
            hatchPixels += r < light.Red() && r == g && r == b;
        }
    EXPECT_GT(lightPixels, 0);
    EXPECT_GT(hatchPixels, 0);
    EXPECT_EQ(lightPixels + hatchPixels, 18 * 58);
    EXPECT_EQ(bar->GetToolTipText(), tooltip);

    bar->PushValue(5);
    EXPECT_EQ(Line(bar, "Peak").substr(0, 4), "30, ");
    EXPECT_EQ(Line(bar, "Current"), "5");
    EXPECT_EQ(Line(bar, "Average"), "5");
}

TEST_F(BarGraphTest, BoundsReachTheRangeLineAtTheNextPush)
{
    ProbeBarHistory* bar = Make(60, 12);
    bar->SetTooltipText("", "per second");
    EXPECT_EQ(Line(bar, "Range"), "0 / 0 / 0");
    EXPECT_EQ(bar->GetToolTipText().AfterLast('\n'), "per second");
    EXPECT_TRUE(bar->GetToolTipText().StartsWith("Current:\t"));  // no title line

    bar->SetBounds(1000, 2000000, true);
    bar->SetMidBound(150000, true);
    EXPECT_EQ(Line(bar, "Range"), "0 / 0 / 0");
    bar->PushValue(120);
    const wxString range = wxNumberFormatter::ToString(1000L) + " / " + wxNumberFormatter::ToString(150000L) +
                           " / " + wxNumberFormatter::ToString(2000000L);
    EXPECT_EQ(Line(bar, "Range"), range.ToStdString());
}
