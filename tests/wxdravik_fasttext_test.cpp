// Text drawn from the glyph cache must be the text the toolkit draws, to the
// pixel, wherever it lands and whatever clips it.
#include <functional>
#include <string>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/region.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxfasttext.h"

using namespace dravik_test;

namespace
{
const wxSize k_Size(420, 120);

/// Texts worth comparing: cell-like texts, every printable character, pairs
/// that fonts kern or join, text with characters the cache leaves to Pango.
std::vector<wxString> Samples()
{
    wxString printable;
    for (char c = 0x20; c < 0x7f; ++c)
        printable += c;
    return {"r0000123 c3 word 000",
            printable.Mid(0, 48),
            printable.Mid(48),
            "AVAST Toyota WAVE To. Ty, LT yo",
            "fi fl ffi ft -> == != www.Example.com/Ta/Vo",
            "2026-12-07 01:23:45 INFO engine-012 frame 1234",
            wxString::FromUTF8("caf\xc3\xa9 \xe2\x80\x94 na\xc3\xafve"),
            " leading and trailing  ",
            "x"};
}

/// Draws the samples at awkward places (partly outside, negative) in three
/// colours over two backgrounds, through draw, under the clip clip sets up.
wxImage Picture(const wxFont& font, const std::function<void(wxMemoryDC&, const wxString&, int, int)>& draw,
                const std::function<void(wxMemoryDC&)>& clip = {})
{
    wxBitmap bitmap(k_Size.x, k_Size.y, -1);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(wxColour(30, 60, 250)));
        dc.Clear();
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxColour(240, 240, 232)));
        dc.DrawRectangle(0, 60, k_Size.x, 60);
        dc.SetFont(font);
        if (clip)
            clip(dc);
        const wxColour colours[] = {wxColour(0, 0, 0), wxColour(200, 40, 90), wxColour(255, 255, 255)};
        const std::vector<wxString> samples = Samples();
        for (size_t i = 0; i < samples.size(); ++i)
        {
            dc.SetTextForeground(colours[i % 3]);
            const int x = int(i % 3) * 150 - 20, y = int(i) * 14 - 8;
            draw(dc, samples[i], x, y);
        }
    }
    return bitmap.ConvertToImage();
}

/// Pixels that differ between two pictures of the same size.
int Differences(const wxImage& a, const wxImage& b)
{
    int count = 0;
    const unsigned char *p = a.GetData(), *q = b.GetData();
    for (int i = 0; i < a.GetWidth() * a.GetHeight() * 3; i += 3)
        count += p[i] != q[i] || p[i + 1] != q[i + 1] || p[i + 2] != q[i + 2];
    return count;
}

std::vector<wxFont> Fonts()
{
    return {*wxNORMAL_FONT, wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE)),
            wxFont(wxFontInfo(13).Bold().Italic())};
}

void ThroughToolkit(wxMemoryDC& dc, const wxString& text, int x, int y)
{
    dc.DrawText(text, x, y);
}
}  // namespace

TEST(FastText, CachedGlyphsGiveTheToolkitsPixelsAndExtents)
{
    _FastTextDrawer drawer;
    for (const wxFont& font : Fonts())
    {
        SCOPED_TRACE(font.GetNativeFontInfoUserDesc().utf8_str().data());
        const wxImage expected = Picture(font, ThroughToolkit);
        const wxImage drawn = Picture(font, [&](wxMemoryDC& dc, const wxString& text, int x, int y) {
            _FastTextDrawer::Session session(drawer, dc);
            drawer.Draw(text, x, y);
        });
        EXPECT_EQ(Differences(expected, drawn), 0);

        wxBitmap bitmap(10, 10, -1);
        wxMemoryDC dc(bitmap);
        dc.SetFont(font);
        _FastTextDrawer::Session session(drawer, dc);
        int measured = 0;
        for (const wxString& text : Samples())
        {
            wxSize extent;
            if (!drawer.Measure(text, extent))
                continue;
            ++measured;
            EXPECT_EQ(extent, dc.GetTextExtent(text)) << text;
        }
        EXPECT_GE(measured, 5) << "the cache measures plain texts";
    }
}

TEST(FastText, TheCacheServesPlainTextAndLeavesTheRestToPango)
{
    wxBitmap bitmap(200, 40, -1);
    wxMemoryDC dc(bitmap);
    dc.SetFont(*wxNORMAL_FONT);
    void* cairo = dc.GetGraphicsContext()->GetNativeContext();
    _GlyphCache cache(cairo, *wxNORMAL_FONT);
    ASSERT_TRUE(cache.IsUsable());
    EXPECT_TRUE(cache.Draw(cairo, "r0000123 c3 word 000", 2, 2, *wxBLACK));
    EXPECT_FALSE(cache.Draw(cairo, wxString::FromUTF8("caf\xc3\xa9"), 2, 2, *wxBLACK));
    EXPECT_FALSE(cache.Draw(cairo, "tab\there", 2, 2, *wxBLACK));
    EXPECT_FALSE(cache.Draw(cairo, "half", 2, 2, wxColour(0, 0, 0, 128))) << "translucent text is Pango's";
    wxSize extent;
    EXPECT_FALSE(cache.Measure(wxString(), extent));
}

TEST(FastText, ClippedTextMatchesTheToolkitUnderOneOrSeveralRectangles)
{
    const wxFont font = *wxNORMAL_FONT;
    _FastTextDrawer drawer;
    const std::function<void(wxMemoryDC&)> clips[] = {
        [](wxMemoryDC& dc) { dc.GetGraphicsContext()->Clip(33, 5, 150, 80); },
        [](wxMemoryDC& dc) {
            wxRegion region(wxRect(10, 0, 60, 120));
            region.Union(wxRect(200, 30, 90, 25));
            dc.GetGraphicsContext()->Clip(region);
        },
        [](wxMemoryDC& dc) { dc.GetGraphicsContext()->Clip(500, 500, 10, 10); },  // nothing visible
    };
    for (const auto& clip : clips)
    {
        const wxImage expected = Picture(font, ThroughToolkit, clip);
        const wxImage drawn = Picture(
            font,
            [&](wxMemoryDC& dc, const wxString& text, int x, int y) {
                _FastTextDrawer::Session session(drawer, dc);
                drawer.Draw(text, x, y);
            },
            clip);
        EXPECT_EQ(Differences(expected, drawn), 0);
        EXPECT_NE(Differences(expected, Picture(font, ThroughToolkit)), 0) << "the clip must cut something";
    }
}
