// The theme renderer and the gradient fill, checked by reading back the pixels
// they draw into a memory bitmap in the dark scheme.
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include <wx/dcmemory.h>
// After the DC headers: it needs their configuration.
#include <wx/dcgraph.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxdravikcolors.h"

using namespace dravik_test;

namespace
{
const wxColour k_Sentinel(10, 200, 30);

/// A 24-bit bitmap cleared to the sentinel, drawn into once, read back.
class Canvas
{
public:
    Canvas(int width, int height, const std::function<void(wxDC&)>& draw)
    {
        wxBitmap bitmap(width, height, 24);
        {
            wxMemoryDC dc(bitmap);
            dc.SetBackground(wxBrush(k_Sentinel));
            dc.Clear();
            draw(dc);
        }
        m_Image = bitmap.ConvertToImage();
    }
    wxColour At(int x, int y) const
    {
        return wxColour(m_Image.GetRed(x, y), m_Image.GetGreen(x, y), m_Image.GetBlue(x, y));
    }
    int Width() const { return m_Image.GetWidth(); }
    int Height() const { return m_Image.GetHeight(); }

private:
    wxImage m_Image;
};

std::string Rgb(const wxColour& c)
{
    return std::to_string(c.Red()) + "," + std::to_string(c.Green()) + "," + std::to_string(c.Blue());
}

bool Near(const wxColour& a, const wxColour& b, int tolerance)
{
    return std::abs(a.Red() - b.Red()) <= tolerance && std::abs(a.Green() - b.Green()) <= tolerance &&
           std::abs(a.Blue() - b.Blue()) <= tolerance;
}

#define EXPECT_PIXEL(canvas, x, y, colour) \
    EXPECT_EQ(Rgb((canvas).At(x, y)), Rgb(colour)) << "at " << (x) << "," << (y)
#define EXPECT_PIXEL_NEAR(canvas, x, y, colour, tol) \
    EXPECT_TRUE(Near((canvas).At(x, y), colour, tol)) << Rgb((canvas).At(x, y)) << " at " << (x) << "," << (y)

wxColour Dark(ColorName name)
{
    return wxsGetColor(SCHEME_DARK, name);
}

wxColour Mix(const wxColour& a, const wxColour& b, double t)
{
    const auto channel = [t](int x, int y) { return (unsigned char)(x * (1 - t) + y * t); };
    return wxColour(channel(a.Red(), b.Red()), channel(a.Green(), b.Green()), channel(a.Blue(), b.Blue()));
}

wxColour Plus(const wxColour& c, int amount)
{
    const auto channel = [amount](int v) { return (unsigned char)std::min(255, std::max(0, v + amount)); };
    return wxColour(channel(c.Red()), channel(c.Green()), channel(c.Blue()));
}

/// The colour of gradient band i of n, worked out on paper: t = ((n - i) / n)^e.
wxColour Band(const wxColour& inner, const wxColour& outer, float exponent, int i, int n)
{
    const float t = n == 1 ? 0.0f : std::pow(float(n - i) / float(n), exponent);
    const auto channel = [t](int a, int b) { return (unsigned char)(a * (1.0f - t) + b * t); };
    return wxColour(channel(inner.Red(), outer.Red()), channel(inner.Green(), outer.Green()),
                    channel(inner.Blue(), outer.Blue()));
}

wxRendererNative& Renderer()
{
    return wxRendererNative::Get();
}

const wxColour k_Inner(200, 100, 40);
const wxColour k_Outer(20, 60, 240);
}

TEST(RendererTest, TheApplicationInstallsTheRendererWithItsParameters)
{
    ASSERT_EQ(wxsSetColorScheme(SCHEME_QUERY), SCHEME_DARK);
    ASSERT_NE(dynamic_cast<wxsRenderer*>(&Renderer()), nullptr);
    const wxSplitterRenderParams params = Renderer().GetSplitterParams(nullptr);
    EXPECT_EQ(params.widthSash, 5);
    EXPECT_EQ(params.border, 0);
    EXPECT_TRUE(params.isHotSensitive);
    EXPECT_TRUE(wxRendererVersion::IsCompatible(Renderer().GetVersion()));
}

TEST(RendererTest, CheckBoxIsANestedBevelRaisedWhenUncheckedAndSunkenWhenChecked)
{
    // Offset by (3, 2) so that a box drawn at the origin would be caught.
    const auto box = [](int flags) {
        return Canvas(18, 16, [flags](wxDC& dc) {
            Renderer().DrawCheckBox(nullptr, dc, wxRect(3, 2, 13, 13), flags);
        });
    };
    const Canvas plain = box(0);
    // Across the middle row and down the middle column, from the sentinel
    // outside through ring, bevel, half-blended bevel and centre (-1: sentinel).
    const int greys[] = {-1, 56, 165, 136, 108, 108, 108, 108, 108, 108, 108, 88, 69, 56, -1};
    for (int i = 0; i < 15; ++i)
    {
        const wxColour expected = greys[i] < 0 ? k_Sentinel : wxColour(greys[i], greys[i], greys[i]);
        EXPECT_PIXEL(plain, 2 + i, 8, expected);
        EXPECT_PIXEL(plain, 9, 1 + i, expected);
    }

    const Canvas checked = box(wxCONTROL_CHECKED);
    EXPECT_PIXEL(checked, 9, 8, wxColour(224, 145, 61));
    EXPECT_PIXEL(checked, 4, 8, Dark(COLOR_EDGE_DARK));
    EXPECT_PIXEL(checked, 14, 8, Dark(COLOR_EDGE_LIGHT));
    EXPECT_PIXEL(checked, 9, 13, Dark(COLOR_EDGE_LIGHT));
    EXPECT_PIXEL(checked, 13, 8, Mix(Dark(COLOR_EDGE_LIGHT), Dark(COLOR_HIGHLIGHT), 0.5));

    // Disabled wins over focus; focus and hover both lift every colour.
    const Canvas disabled = box(wxCONTROL_DISABLED | wxCONTROL_FOCUSED);
    EXPECT_PIXEL(disabled, 9, 8, Mix(Dark(COLOR_CONTROL), Dark(COLOR_BACKGROUND), 0.3));
    EXPECT_PIXEL(disabled, 3, 8, Mix(Dark(COLOR_FIELD), Dark(COLOR_BACKGROUND), 0.3));
    for (int flags : {int(wxCONTROL_FOCUSED), int(wxCONTROL_CURRENT)})
    {
        const Canvas lifted = box(flags);
        EXPECT_PIXEL(lifted, 9, 8, Plus(Dark(COLOR_CONTROL), 25));
        EXPECT_PIXEL(lifted, 3, 8, Plus(Dark(COLOR_FIELD), 25));
        EXPECT_PIXEL(lifted, 4, 8, Plus(Dark(COLOR_EDGE_LIGHT), 25));
    }
}

TEST(RendererTest, GradedRectangleBandsCloseInFromTheFlaggedSides)
{
    const auto graded = [](int height, float exponent, bool bottom, bool top) {
        return Canvas(8, height + 2, [=](wxDC& dc) {
            DrawGradedRectangle(dc, wxRect(1, 1, 6, height), k_Inner, k_Outer, exponent, bottom, top);
        });
    };
    for (float exponent : {1.4f, 2.75f})
    {
        SCOPED_TRACE(exponent);
        const Canvas even = graded(20, exponent, true, true);  // n = 10; rows 1..20
        EXPECT_PIXEL(even, 3, 0, k_Sentinel);
        EXPECT_PIXEL(even, 0, 5, k_Sentinel);
        EXPECT_PIXEL(even, 3, 1, k_Outer);
        EXPECT_PIXEL(even, 3, 20, k_Outer);
        EXPECT_PIXEL(even, 3, 4, Band(k_Inner, k_Outer, exponent, 3, 10));
        EXPECT_PIXEL(even, 3, 17, Band(k_Inner, k_Outer, exponent, 3, 10));
        EXPECT_PIXEL(even, 3, 10, Band(k_Inner, k_Outer, exponent, 9, 10));
        EXPECT_PIXEL(even, 3, 11, Band(k_Inner, k_Outer, exponent, 9, 10));
        EXPECT_PIXEL(even, 3, 21, k_Sentinel);
        const Canvas odd = graded(21, exponent, true, true);
        EXPECT_PIXEL(odd, 3, 11, Band(k_Inner, k_Outer, exponent, 9, 10));
        EXPECT_PIXEL(odd, 3, 21, k_Outer);
    }

    // Bands shrink towards the unflagged side, which ends in the inner band.
    const Canvas bottomOnly = graded(10, 1.7f, true, false);  // n = 5
    EXPECT_PIXEL(bottomOnly, 3, 1, Band(k_Inner, k_Outer, 1.7f, 4, 5));
    EXPECT_PIXEL(bottomOnly, 3, 6, Band(k_Inner, k_Outer, 1.7f, 4, 5));
    EXPECT_PIXEL(bottomOnly, 3, 9, Band(k_Inner, k_Outer, 1.7f, 1, 5));
    EXPECT_PIXEL(bottomOnly, 3, 10, k_Outer);
    const Canvas topOnly = graded(10, 1.7f, false, true);
    EXPECT_PIXEL(topOnly, 3, 1, k_Outer);
    EXPECT_PIXEL(topOnly, 3, 10, Band(k_Inner, k_Outer, 1.7f, 4, 5));

    const Canvas flat = graded(7, 2.75f, false, false);
    for (int y = 1; y <= 7; ++y)
        EXPECT_PIXEL(flat, 3, y, k_Inner);

    for (const auto& [bottom, top] : {std::pair{true, true}, {true, false}, {false, true}})
        EXPECT_PIXEL(graded(1, 1.4f, bottom, top), 3, 1, k_Sentinel);
}

TEST(RendererTest, GradedRectangleAndChoiceLeaveThePenAndBrushAsTheyWere)
{
    Canvas(40, 20, [](wxDC& dc) {
        const wxPen pen(wxColour(1, 2, 3), 3);
        const wxBrush brush(wxColour(4, 5, 6));
        dc.SetPen(pen);
        dc.SetBrush(brush);
        DrawGradedRectangle(dc, wxRect(0, 0, 40, 20), k_Inner, k_Outer, 1.7f, true, true);
        EXPECT_EQ(dc.GetPen(), pen);
        EXPECT_EQ(dc.GetBrush(), brush);
        Renderer().DrawChoice(nullptr, dc, wxRect(0, 0, 40, 20), 0);
        EXPECT_EQ(dc.GetPen(), pen);
    });
}

TEST(RendererTest, DropArrowAndDropButtonPointDownAgainstTheRightEdge)
{
    const wxRect rect(2, 1, 20, 20);  // triangle (11, 7), (19, 7), (15, 14)
    const Canvas arrow(24, 24, [&](wxDC& dc) { Renderer().DrawDropArrow(nullptr, dc, rect, 0); });
    for (const auto& [x, y] : {std::pair{15, 8}, {12, 7}, {18, 7}, {15, 12}})
        EXPECT_PIXEL(arrow, x, y, Dark(COLOR_GLYPH));
    for (const auto& [x, y] : {std::pair{15, 5}, {15, 16}, {9, 8}, {21, 8}, {2, 1}})
        EXPECT_PIXEL(arrow, x, y, k_Sentinel);

    const Canvas button(24, 24, [&](wxDC& dc) { Renderer().DrawComboBoxDropButton(nullptr, dc, rect, 0); });
    EXPECT_PIXEL(button, 15, 8, Dark(COLOR_GLYPH));
    for (const auto& [x, y] : {std::pair{2, 1}, {21, 20}, {15, 16}, {9, 8}})
        EXPECT_PIXEL(button, x, y, Dark(COLOR_CONTROL));
    EXPECT_PIXEL(button, 22, 21, k_Sentinel);
}

TEST(RendererTest, SplitterFillsTheWholeWindowAndDrawsNoBorder)
{
    const Canvas sash(40, 30, [](wxDC& dc) {
        Renderer().DrawSplitterSash(nullptr, dc, wxSize(32, 24), 14, wxVERTICAL, 0);
    });
    for (const auto& [x, y] : {std::pair{0, 0}, {31, 0}, {0, 23}, {31, 23}, {15, 12}})
        EXPECT_PIXEL(sash, x, y, Dark(COLOR_CONTROL));
    EXPECT_PIXEL(sash, 32, 12, k_Sentinel);
    EXPECT_PIXEL(sash, 10, 24, k_Sentinel);

    const Canvas border(20, 20, [](wxDC& dc) {
        Renderer().DrawSplitterBorder(nullptr, dc, wxRect(0, 0, 20, 20), 0);
    });
    for (int y = 0; y < border.Height(); ++y)
        for (int x = 0; x < border.Width(); ++x)
            ASSERT_EQ(Rgb(border.At(x, y)), Rgb(k_Sentinel)) << "at " << x << "," << y;
}

TEST(RendererTest, FocusRectangleIsADottedOutlineInTheLiftedLightEdge)
{
    const wxRect rect(2, 2, 14, 9);
    const Canvas focus(18, 13, [&](wxDC& dc) { Renderer().DrawFocusRect(nullptr, dc, rect, 0); });
    const wxColour dot(215, 215, 215);
    int dots = 0;
    int gaps = 0;
    for (int y = 0; y < focus.Height(); ++y)
        for (int x = 0; x < focus.Width(); ++x)
        {
            const bool outline = rect.Contains(x, y) && !wxRect(rect).Deflate(1).Contains(x, y);
            const wxColour seen = focus.At(x, y);
            if (!outline)
                EXPECT_PIXEL(focus, x, y, k_Sentinel);
            else if (seen == dot)
                ++dots;
            else if (seen == k_Sentinel)
                ++gaps;
            else
                ADD_FAILURE() << "outline pixel " << Rgb(seen) << " at " << x << "," << y;
        }
    EXPECT_GT(dots, 6);
    EXPECT_GT(gaps, 6);
}

TEST(RendererTest, ChoiceIsAGradientWithARaisedOrSunkenBevel)
{
    const wxRect rect(2, 3, 40, 16);  // n = 8; rows 3..18, columns 2..41
    const auto choice = [&](int flags) {
        return Canvas(44, 22, [&](wxDC& dc) { Renderer().DrawChoice(nullptr, dc, rect, flags); });
    };
    const auto expectFace = [](const Canvas& face, const wxColour& leftTop, const wxColour& rightBottom,
                               const wxColour& base, int step) {
        EXPECT_PIXEL(face, 2, 10, leftTop);
        EXPECT_PIXEL(face, 20, 3, leftTop);
        EXPECT_PIXEL(face, 41, 10, rightBottom);
        EXPECT_PIXEL(face, 20, 18, rightBottom);
        const wxColour edge = Plus(base, step);
        EXPECT_PIXEL(face, 20, 4, Band(base, edge, 1.7f, 1, 8));
        EXPECT_PIXEL(face, 20, 10, Band(base, edge, 1.7f, 7, 8));
        EXPECT_PIXEL(face, 20, 11, Band(base, edge, 1.7f, 7, 8));
        EXPECT_PIXEL(face, 20, 17, Band(base, edge, 1.7f, 1, 8));
    };
    const wxColour light = Dark(COLOR_EDGE_LIGHT);
    const wxColour dark = Dark(COLOR_EDGE_DARK);
    const wxColour raisedBase = Plus(Dark(COLOR_BACKGROUND_LIGHT), 25);
    expectFace(choice(0), light, dark, raisedBase, -22);
    expectFace(choice(wxCONTROL_SPECIAL), dark, light, Dark(COLOR_FIELD), 12);
    expectFace(choice(wxCONTROL_DISABLED), light, dark, Mix(raisedBase, Dark(COLOR_BACKGROUND), 0.3), -22);
    // A band this close to the middle is the base itself when the edge is lighter.
    EXPECT_PIXEL(choice(wxCONTROL_SPECIAL), 20, 10, Dark(COLOR_FIELD));
}

TEST(RendererTest, RadioMarkIsAShadedDiscInsideItsRectangle)
{
    const auto radio = [](int flags, bool throughGraphicsDC = false) {
        return Canvas(16, 16, [=](wxDC& dc) {
            const wxRect rect(1, 1, 13, 13);
            if (!throughGraphicsDC)
                return Renderer().DrawRadioBitmap(nullptr, dc, rect, flags);
            wxGCDC smooth(static_cast<wxMemoryDC&>(dc));
            Renderer().DrawRadioBitmap(nullptr, smooth, rect, flags);
        });
    };
    const auto expectDisc = [](const Canvas& disc, const wxColour& face, const wxColour& outer,
                               const wxColour& top, const wxColour& bottom) {
        EXPECT_PIXEL_NEAR(disc, 7, 7, face, 2);
        EXPECT_PIXEL_NEAR(disc, 1, 7, outer, 8);
        EXPECT_PIXEL_NEAR(disc, 7, 2, top, 8);
        EXPECT_PIXEL_NEAR(disc, 7, 13, bottom, 8);
        for (const auto& [x, y] : {std::pair{1, 1}, {14, 1}, {1, 14}, {14, 14}, {0, 7}, {15, 7}})
            EXPECT_PIXEL(disc, x, y, k_Sentinel);
    };
    const wxColour light = Dark(COLOR_EDGE_LIGHT);
    const wxColour dark = Dark(COLOR_EDGE_DARK);
    expectDisc(radio(0), Dark(COLOR_CONTROL), Dark(COLOR_FIELD), light, dark);
    expectDisc(radio(wxCONTROL_CHECKED), Dark(COLOR_HIGHLIGHT), Dark(COLOR_FIELD), dark, light);
    expectDisc(radio(wxCONTROL_FOCUSED), Dark(COLOR_CONTROL), Dark(COLOR_BACKGROUND), Plus(light, 25),
               Plus(dark, 25));
    expectDisc(radio(wxCONTROL_CURRENT), Plus(Dark(COLOR_CONTROL), 25), Plus(Dark(COLOR_FIELD), 25), light,
               dark);
    const wxColour background = Dark(COLOR_BACKGROUND);
    expectDisc(radio(wxCONTROL_DISABLED), Mix(Dark(COLOR_CONTROL), background, 0.3),
               Mix(Dark(COLOR_FIELD), background, 0.3), Mix(light, background, 0.3),
               Mix(dark, background, 0.3));
    // A DC that is neither a memory nor a window DC still gets the mark.
    expectDisc(radio(wxCONTROL_CHECKED, true), Dark(COLOR_HIGHLIGHT), Dark(COLOR_FIELD), dark, light);
}
