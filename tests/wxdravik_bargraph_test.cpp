// The bar history graph: the level bar, graph, frame and empty look read back
// from the rendered bitmap; the peak rule and the running average in the tooltip.
#include <string>
#include <utility>
#include <vector>

#include <wx/frame.h>
#include <wx/numformatter.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxbarhistoryctrl.h"
#include "wxdravik/wxcolorscheme.h"

using namespace dravik_test;

namespace
{
class ProbeBarHistory : public wxBarHistoryCtrl
{
public:
    using wxBarHistoryCtrl::wxBarHistoryCtrl;
    /// Renders without a paint so that the picture can be read at once.
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
    std::string row(image.GetWidth(), '?');
    for (int x = 0; x < image.GetWidth(); ++x)
        for (const auto& entry : legend)
            if (entry.first == wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)))
                row[x] = entry.second;
    return row;
}

std::string Repeat(const std::string& text, int count)
{
    return count > 0 ? text + Repeat(text, count - 1) : "";
}

wxColour Xor(const wxColour& a, const wxColour& b)
{
    return wxColour(a.Red() ^ b.Red(), a.Green() ^ b.Green(), a.Blue() ^ b.Blue());
}

/// The tooltip line after "label:\t"; "<none>" when there is no such line.
std::string Line(wxWindow* window, const std::string& label)
{
    for (const wxString& line : wxSplit(window->GetToolTipText(), '\n', '\0'))
        if (line.StartsWith(label + ":\t"))
            return line.AfterFirst('\t').ToStdString();
    return "<none>";
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

    /// A graph of the given size that has handled its size event.
    ProbeBarHistory* Make(int w, int h)
    {
        auto* bar = new ProbeBarHistory(m_Frame, wxID_ANY, wxPoint(0, 0), wxSize(w - 1, h));
        bar->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) { ++m_SizeEvents, event.Skip(); });
        Resize(bar, w, h);
        return bar;
    }
    void Resize(wxWindow* window, int w, int h)
    {
        const int before = m_SizeEvents;
        window->SetSize(w, h);
        EXPECT_TRUE(WaitUntil([&] { return m_SizeEvents > before && window->GetClientSize() == wxSize(w, h); }));
    }
    wxFrame* m_Frame = nullptr;
    int m_SizeEvents = 0;
};
}  // namespace

TEST_F(BarGraphTest, LevelBarGraphFrameAndTheHatchedLookPixelByPixel)
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
    // last one under the 3-pixel tip; rows 1 to 18 inside the frame.
    bar->PushValue(150);
    wxImage image = bar->Snapshot();
    const std::string bar150 = "D" + Repeat("xx.", 16) + "ttt" + Repeat(".", 49) + "L";
    EXPECT_EQ((std::vector<std::string>{Repeat("D", 101) + "L", bar150, bar150, "D" + Repeat("L", 101)}),
              (std::vector<std::string>{Row(image, 0, legend), Row(image, 1, legend), Row(image, 18, legend),
                                        Row(image, 19, legend)}));
    // 150 has moved one column left, its point at row 10 joined to the newest.
    bar->PushValue(151);
    EXPECT_EQ(Row(bar->Snapshot(), 10, legend), "D" + Repeat("xx.", 16) + "ttt" + Repeat(".", 48) + "lL");
    // At the middle bound the bar turns yellow: 180 gives 80 pixels, tip at 79.
    bar->PushValue(180);
    EXPECT_EQ(Row(bar->Snapshot(), 1, legend), "D" + Repeat("yy.", 26) + "uuu" + Repeat(".", 19) + "L");
    // 250 is clamped to the full 100; the segment at x = 97 lies over 150's point and area.
    bar->PushValue(250);
    image = bar->Snapshot();
    EXPECT_EQ(Row(image, 10, legend), "D" + Repeat("yy.", 32) + "yYl" + "uL");
    EXPECT_EQ(Row(image, 15, legend), "D" + Repeat("yy.", 32) + "yZa" + "uL");
    // Below the lower bound: no segment, the tip hidden under the frame.
    bar->PushValue(50);
    image = bar->Snapshot();
    EXPECT_EQ(Row(image, 10, legend).substr(0, 97), "D" + Repeat(".", 96));
    EXPECT_EQ(Row(image, 15, legend), "D" + Repeat(".", 96) + "aaaaL");
    // Cleared: the light, hatched background; the tooltip stays until the next push, the peak for good.
    const wxString tooltip = bar->GetToolTipText();
    bar->Clear(true);
    EXPECT_EQ(bar->GetToolTipText(), tooltip);
    const std::string cleared = Row(bar->Snapshot(), 10, {{wxsGetColor(COLOR_BACKGROUND_LIGHT), '.'}, {field, 'f'}});
    EXPECT_TRUE(cleared.find('.') != std::string::npos && cleared.find('f') == std::string::npos) << cleared;
    bar->PushValue(5);
    EXPECT_EQ((std::vector<std::string>{"250, ", "5", "5"}),
              (std::vector<std::string>{Line(bar, "Peak").substr(0, 5), Line(bar, "Current"), Line(bar, "Average")}));
}

TEST_F(BarGraphTest, PeakRuleAndTooltipFollowLimitsSizeEventsAndBounds)
{
    // A run of equal peaks keeps the time of its first; reached again after a
    // lower reading, the peak time moves.
    ProbeBarHistory* bar = Make(102, 20);
    bar->PushValue(5);
    bar->PushValue(7);
    const Time first = bar->GetPeakTime();
    ASSERT_TRUE(WaitUntil([&] { return Time::CurrentTime() > first; }));
    bar->PushValue(7);
    EXPECT_EQ(bar->GetPeakTime(), first);
    bar->PushValue(6);
    bar->PushValue(7);
    EXPECT_GT(bar->GetPeakTime(), first);
    const std::string peak = Line(bar, "Peak");
    EXPECT_TRUE(peak.substr(0, 3) == "7, " && peak.substr(peak.size() - 4) == " ago") << peak;

    bar->LimitHistory(3, false);
    for (unsigned int value : {10u, 20u, 30u, 40u})
        bar->PushValue(value);
    EXPECT_EQ(Line(bar, "Current") + "|" + Line(bar, "Average"), "40|30");  // 40, 30, 20
    bar->LimitHistory(2, false);
    bar->SetTooltipText("Engine", "per second");
    EXPECT_EQ(bar->GetToolTipText().BeforeFirst('\n') + "|" + bar->GetToolTipText().AfterLast('\n'),
              "Engine|per second");
    EXPECT_EQ(Line(bar, "Average"), "35");  // 40, 30
    bar->PushValue(50);
    EXPECT_EQ(Line(bar, "Average"), "45");  // 50, 40
    Resize(bar, 120, 20);  // a size event raises the limit to the width again
    bar->PushValue(60);
    EXPECT_EQ(Line(bar, "Average"), "50");  // 60, 50, 40
    // New bounds reach the Range line at the next push.
    bar->SetBounds(1000, 2000000, true);
    bar->SetMidBound(150000, true);
    EXPECT_EQ(Line(bar, "Range"), "0 / 0 / 0");
    bar->PushValue(120);
    const wxString range = wxNumberFormatter::ToString(1000L) + " / " + wxNumberFormatter::ToString(150000L) +
                           " / " + wxNumberFormatter::ToString(2000000L);
    EXPECT_EQ(Line(bar, "Range"), range.ToStdString());

    // Before the first size event the limit is 0: nothing is held, while the
    // peak and the last reading still change.
    auto* early = new ProbeBarHistory();
    ASSERT_TRUE(early->Create(m_Frame, wxID_ANY, wxPoint(0, 30), wxSize(80, 16)));
    early->PushValue(1234567);
    EXPECT_EQ(Line(early, "Current") + "|" + Line(early, "Average"), "0|<none>");
    const std::string earlyPeak = (wxNumberFormatter::ToString(1234567L) + ", ").ToStdString();
    EXPECT_EQ(Line(early, "Peak").substr(0, earlyPeak.size()), earlyPeak);
    // The bar still shows the last reading: full length with both bounds 0.
    EXPECT_EQ(Row(early->Snapshot(), 8, {{wxColour(255, 255, 0), 'u'}}).substr(76, 3), "uuu");
}
