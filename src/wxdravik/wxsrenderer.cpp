#include "wxdravik/wxsrenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include <wx/dcclient.h>
#include <wx/dcgraph.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>

#include "wxdravik/wxdravikcolors.h"

namespace
{
/// The one-pixel line pen every bevel and outline uses.
wxPen LinePen(const wxColour& colour, wxPenStyle style = wxPENSTYLE_SOLID)
{
    return wxPen(wxPenInfo(colour, 1, style).Join(wxJOIN_MITER).Cap(wxCAP_BUTT));
}

/// Hover and focus lift a colour by a fixed amount; AdjustColour caps at 255.
wxColour Lighten(const wxColour& colour)
{
    return AdjustColour(colour, 25, 25, 25);
}

wxColour Fade(const wxColour& colour)
{
    return BlendColour(colour, wxsGetColor(COLOR_BACKGROUND), 0.3);
}

void FillRect(wxDC& dc, const wxRect& rect, const wxColour& colour)
{
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(rect);
}

/// Turns anti-aliasing off while it lives, for DCs drawn through a graphics
/// context: bevels, dots and arrows are meant to sit on whole pixels.
class CrispDrawing
{
public:
    explicit CrispDrawing(wxDC& dc) : m_Context(dc.GetGraphicsContext())
    {
        if (m_Context)
        {
            m_OldMode = m_Context->GetAntialiasMode();
            m_Context->SetAntialiasMode(wxANTIALIAS_NONE);
        }
    }
    ~CrispDrawing()
    {
        if (m_Context)
            m_Context->SetAntialiasMode(m_OldMode);
    }
    CrispDrawing(const CrispDrawing&) = delete;
    CrispDrawing& operator=(const CrispDrawing&) = delete;

private:
    wxGraphicsContext* m_Context;
    wxAntialiasMode m_OldMode = wxANTIALIAS_DEFAULT;
};

/// The down arrow of drop buttons, eight pixels wide against the right edge.
void DrawArrowTriangle(wxDC& dc, const wxRect& rect)
{
    CrispDrawing crisp(dc);
    wxRect r = rect;
    r.Deflate(2, 6);
    const wxPoint corners[] = {
        wxPoint(r.x + r.width - 9, r.y),
        wxPoint(r.x + r.width - 1, r.y),
        wxPoint(r.x + r.width - 5, r.y + r.height - 1),
    };
    dc.DrawPolygon(3, corners, 0, 0, wxODDEVEN_RULE);
}

/// The colours of one ring of the radio mark.
struct RadioRing
{
    wxColour ring;
    wxColour lightHalf;
    wxColour mid;
};

void DrawSector(wxDC& dc, const wxRect& r, double start, double end, const wxColour& colour)
{
    dc.SetBrush(wxBrush(colour));
    dc.DrawEllipticArc(r.x, r.y, r.width, r.height, start, end);
}

void DrawRadioRing(wxDC& dc, const wxRect& r, const RadioRing& colours)
{
    dc.SetBrush(wxBrush(colours.ring));
    dc.DrawEllipse(r);
    DrawSector(dc, r, 35, 215, colours.lightHalf);
    DrawSector(dc, r, 25, 45, colours.mid);
    DrawSector(dc, r, 205, 225, colours.mid);
}

RadioRing BlendRing(const RadioRing& colours, const wxColour& face, double t)
{
    return {BlendColour(colours.ring, face, t), BlendColour(colours.lightHalf, face, t),
            BlendColour(colours.mid, face, t)};
}

void DrawRadioShapes(wxDC& dc, const wxRect& rect, int flags)
{
    const bool checked = (flags & wxCONTROL_CHECKED) != 0;
    wxColour outer = wxsGetColor(COLOR_FIELD);
    wxColour face = wxsGetColor(checked ? COLOR_HIGHLIGHT : COLOR_CONTROL);
    RadioRing colours;
    colours.ring = wxsGetColor(checked ? COLOR_EDGE_LIGHT : COLOR_EDGE_DARK);
    colours.lightHalf = wxsGetColor(checked ? COLOR_EDGE_DARK : COLOR_EDGE_LIGHT);

    if (flags & wxCONTROL_DISABLED)
    {
        face = Fade(face);
        colours.ring = Fade(colours.ring);
        colours.lightHalf = Fade(colours.lightHalf);
        outer = Fade(outer);
    }
    else
    {
        if (flags & wxCONTROL_FOCUSED)
        {
            colours.ring = Lighten(colours.ring);
            colours.lightHalf = Lighten(colours.lightHalf);
            outer = wxsGetColor(COLOR_BACKGROUND);
        }
        if (flags & wxCONTROL_CURRENT)
        {
            face = Lighten(face);
            outer = Lighten(outer);
        }
    }
    colours.mid = BlendColour(colours.ring, colours.lightHalf, 0.5);

    dc.SetPen(*wxTRANSPARENT_PEN);
    // The anti-aliased ellipse covers one pixel less than its rectangle.
    wxRect r(rect.x, rect.y, rect.width + 1, rect.height + 1);
    dc.SetBrush(wxBrush(outer));
    dc.DrawEllipse(r);
    r.Deflate(1);
    DrawRadioRing(dc, r, colours);
    r.Deflate(1);
    DrawRadioRing(dc, r, BlendRing(colours, face, 0.33));
    r.Deflate(1);
    DrawRadioRing(dc, r, BlendRing(colours, face, 0.67));
    r.Deflate(1);
    dc.SetBrush(wxBrush(face));
    dc.DrawEllipse(r);
}

/// An anti-aliasing context on top of dc, or null for device contexts that
/// cannot give one.
// dynamic_cast rather than wxDynamicCast: the latter casts statically first,
// which is undefined for a device context of another type.
std::unique_ptr<wxGraphicsContext> CreateSmoothContext(wxDC& dc)
{
    std::unique_ptr<wxGraphicsContext> context;
    if (auto* memoryDC = dynamic_cast<wxMemoryDC*>(&dc))
        context.reset(wxGraphicsContext::Create(*memoryDC));
    else if (auto* windowDC = dynamic_cast<wxWindowDC*>(&dc))  // paint and client DCs too
        context.reset(wxGraphicsContext::Create(*windowDC));
    if (context)
        context->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    return context;
}
}

wxsRenderer::wxsRenderer() : wxDelegateRendererNative(wxRendererNative::Get()) {}

void wxsRenderer::DrawSplitterBorder(wxWindow*, wxDC&, const wxRect&, int)
{
    // The panes meet the sash directly.
}

void wxsRenderer::DrawSplitterSash(wxWindow*, wxDC& dc, const wxSize& size, wxCoord, wxOrientation,
                                   int)
{
    // The panes cover everything but the gap, so filling the whole window is
    // cheaper than working out where the sash is.
    dc.SetPen(*wxTRANSPARENT_PEN);
    FillRect(dc, wxRect(wxPoint(0, 0), size), wxsGetColor(COLOR_CONTROL));
}

void wxsRenderer::DrawComboBoxDropButton(wxWindow*, wxDC& dc, const wxRect& rect, int)
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    FillRect(dc, rect, wxsGetColor(COLOR_CONTROL));
    const wxColour glyph = wxsGetColor(COLOR_GLYPH);
    dc.SetPen(LinePen(glyph));
    dc.SetBrush(wxBrush(glyph));
    DrawArrowTriangle(dc, rect);
}

void wxsRenderer::DrawDropArrow(wxWindow*, wxDC& dc, const wxRect& rect, int)
{
    const wxColour glyph = wxsGetColor(COLOR_GLYPH);
    dc.SetPen(LinePen(glyph));
    dc.SetBrush(wxBrush(glyph));
    DrawArrowTriangle(dc, rect);
}

void wxsRenderer::DrawCheckBox(wxWindow*, wxDC& dc, const wxRect& rect, int flags)
{
    const bool checked = (flags & wxCONTROL_CHECKED) != 0;
    wxColour outer = wxsGetColor(COLOR_FIELD);
    wxColour fill = wxsGetColor(checked ? COLOR_HIGHLIGHT : COLOR_CONTROL);
    // Raised when unchecked, sunken when checked.
    wxColour firstEdge = wxsGetColor(checked ? COLOR_EDGE_DARK : COLOR_EDGE_LIGHT);
    wxColour secondEdge = wxsGetColor(checked ? COLOR_EDGE_LIGHT : COLOR_EDGE_DARK);

    if (flags & wxCONTROL_DISABLED)
    {
        fill = Fade(fill);
        firstEdge = Fade(firstEdge);
        secondEdge = Fade(secondEdge);
        outer = Fade(outer);
    }
    else if (flags & (wxCONTROL_FOCUSED | wxCONTROL_CURRENT))
    {
        fill = Lighten(fill);
        firstEdge = Lighten(firstEdge);
        secondEdge = Lighten(secondEdge);
        outer = Lighten(outer);
    }

    dc.SetPen(*wxTRANSPARENT_PEN);
    wxRect r = rect;
    FillRect(dc, r, outer);

    const auto bevel = [&dc](const wxRect& area, const wxColour& first, const wxColour& second) {
        FillRect(dc, area, second);
        FillRect(dc, wxRect(area.x, area.y, 1, area.height), first);
        FillRect(dc, wxRect(area.x, area.y, area.width, 1), first);
    };
    r.Deflate(1);
    bevel(r, firstEdge, secondEdge);
    r.Deflate(1);
    bevel(r, BlendColour(firstEdge, fill, 0.5), BlendColour(secondEdge, fill, 0.5));
    r.Deflate(1);
    FillRect(dc, r, fill);
}

void wxsRenderer::DrawFocusRect(wxWindow*, wxDC& dc, const wxRect& rect, int)
{
    dc.SetPen(LinePen(AdjustColour(wxsGetColor(COLOR_EDGE_LIGHT), 50, 50, 50), wxPENSTYLE_DOT));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    CrispDrawing crisp(dc);
    dc.DrawRectangle(rect);
}

void wxsRenderer::DrawChoice(wxWindow*, wxDC& dc, const wxRect& rect, int flags)
{
    const bool special = (flags & wxCONTROL_SPECIAL) != 0;
    wxColour base;
    int step;
    if (special)
    {
        base = wxsGetColor(COLOR_FIELD);
        step = 12;
    }
    else
    {
        base = AdjustColour(wxsGetColor(COLOR_BACKGROUND_LIGHT), 25, 25, 25);
        step = -22;
    }
    if (flags & wxCONTROL_DISABLED)
        base = Fade(base);
    const wxColour edge = AdjustColour(base, step, step, step);
    DrawGradedRectangle(dc, rect, base, edge, 1.7f, true, true);

    const wxPen oldPen = dc.GetPen();
    CrispDrawing crisp(dc);
    const wxPen light = LinePen(wxsGetColor(COLOR_EDGE_LIGHT));
    const wxPen dark = LinePen(wxsGetColor(COLOR_EDGE_DARK));
    const int x = rect.x;
    const int y = rect.y;
    const int w = rect.width;
    const int h = rect.height;
    // An open or editable drop-down looks pressed in.
    dc.SetPen(special ? dark : light);
    dc.DrawLine(x, y, x, y + h - 1);
    dc.DrawLine(x + w - 1, y, x, y);
    dc.SetPen(special ? light : dark);
    dc.DrawLine(x + w - 1, y + h - 1, x + w - 1, y);
    dc.DrawLine(x, y + h - 1, x + w - 1, y + h - 1);
    dc.SetPen(oldPen);
}

void wxsRenderer::DrawRadioBitmap(wxWindow*, wxDC& dc, const wxRect& rect, int flags)
{
    std::unique_ptr<wxGraphicsContext> context = CreateSmoothContext(dc);
    if (!context)
    {
        // Already a graphics DC, or one that cannot give a context: its own
        // quality will have to do.
        DrawRadioShapes(dc, rect, flags);
        return;
    }
    wxGCDC smooth(context.release());  // the graphics DC owns the context
    DrawRadioShapes(smooth, rect, flags);
}

wxSplitterRenderParams wxsRenderer::GetSplitterParams(const wxWindow*)
{
    return wxSplitterRenderParams(5, 0, true);
}

wxRendererVersion wxsRenderer::GetVersion() const
{
    return wxRendererVersion(wxRendererVersion::Current_Version, wxRendererVersion::Current_Age);
}

void DrawGradedRectangle(wxDC& dc, const wxRect& rect, const wxColour& inner, const wxColour& outer,
                         float exponent, bool shrinkBottom, bool shrinkTop)
{
    const int n = (shrinkBottom || shrinkTop) ? rect.height / 2 : 1;
    if (n < 1)
        return;

    const wxBrush oldBrush = dc.GetBrush();
    const wxPen oldPen = dc.GetPen();
    dc.SetPen(*wxTRANSPARENT_PEN);

    const auto mix = [](unsigned char a, unsigned char b, float t) {
        return (unsigned char)(a * (1.0f - t) + b * t);
    };
    wxRect r = rect;
    for (int i = 0; i < n; ++i)
    {
        float t = 0.0f;
        if (n > 1)
            t = std::clamp(std::pow(float(std::abs(i - n)) / float(n), exponent), 0.0f, 1.0f);
        dc.SetBrush(wxBrush(wxColour(mix(inner.Red(), outer.Red(), t),
                                     mix(inner.Green(), outer.Green(), t),
                                     mix(inner.Blue(), outer.Blue(), t))));
        dc.DrawRectangle(r);
        if (shrinkTop)
        {
            r.y += 1;
            r.height -= 1;
        }
        if (shrinkBottom)
            r.height -= 1;
    }

    dc.SetBrush(oldBrush);
    dc.SetPen(oldPen);
}
