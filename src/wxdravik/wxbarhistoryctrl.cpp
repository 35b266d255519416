#include "wxdravik/wxbarhistoryctrl.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/numformatter.h>
#include <wx/rawbmp.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdravikstring.h"

namespace
{
const wxColour k_HistoryLineColour(0, 0, 255);
const wxColour k_HistoryAreaColour(0, 0, 127);
const wxColour k_SegmentLowColour(0, 160, 0);
const wxColour k_SegmentHighColour(160, 160, 0);
const wxColour k_TipLowColour(0, 255, 0);
const wxColour k_TipHighColour(255, 255, 0);

const wxSize k_MinSize(50, 10);

// The peak's age reads in seconds to hours, two parts; past a day it reads
// "> 24 h", which also covers the zero time of a peak never reached.
const int64_t k_PeakAgeCapMicroseconds = 86400000000LL;

/// Turns anti-aliasing off while it lives, for DCs drawn through a graphics
/// context: the graph, the bar and the frame sit on whole pixels.
class CrispDrawing
{
public:
    explicit CrispDrawing(wxDC& dc) : m_Context(dc.GetGraphicsContext())
    {
        if (m_Context)
            m_Context->SetAntialiasMode(wxANTIALIAS_NONE);
    }
    CrispDrawing(const CrispDrawing&) = delete;
    CrispDrawing& operator=(const CrispDrawing&) = delete;

private:
    wxGraphicsContext* m_Context;
};

/// X of the last level-bar segment for a bar length: segments are 2 pixels
/// wide at x = 1, 4, 7, ... while x <= length; -2 when there is none.
int LastSegmentX(int length)
{
    return length >= 1 ? 1 + (length - 1) / 3 * 3 : -2;
}

/// XORs the segments up to lastX (rows 1 to h - 2) with colour. Graphics
/// contexts (GTK 3, macOS) take wxXOR for an alpha composition that paints
/// opaque sources black, so the bitwise XOR is done on the raw pixels
/// wherever they can be reached, and by the DC's logical function elsewhere.
void XorSegments(wxBitmap& bitmap, int lastX, int h, const wxColour& colour)
{
    const wxRect area = wxRect(1, 1, lastX + 1, h - 2).Intersect(wxRect(bitmap.GetSize()));
    if (lastX < 1 || area.IsEmpty())
        return;
    wxNativePixelData data(bitmap, area);
    if (!data)
    {
        wxMemoryDC dc(bitmap);
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(colour));
        dc.SetLogicalFunction(wxXOR);
        for (int x = 1; x <= lastX; x += 3)
            dc.DrawRectangle(x, 1, 2, h - 2);
        return;
    }
    wxNativePixelData::Iterator row(data);
    for (int y = 0; y < area.height; ++y)
    {
        wxNativePixelData::Iterator pixel = row;
        for (int x = area.x; x < area.GetRight() + 1; ++x, ++pixel)
        {
            if ((x - 1) % 3 == 2)
                continue;  // the gap between two segments
            pixel.Red() ^= colour.Red();
            pixel.Green() ^= colour.Green();
            pixel.Blue() ^= colour.Blue();
        }
        row.OffsetY(data, 1);
    }
}

wxPen FramePen(ColorName name)
{
    wxPen pen(wxsGetColor(name), 1);
    pen.SetJoin(wxJOIN_MITER);
    pen.SetCap(wxCAP_BUTT);
    return pen;
}
}  // namespace

wxBEGIN_EVENT_TABLE(wxBarHistoryCtrl, wxControl)
    EVT_ERASE_BACKGROUND(wxBarHistoryCtrl::OnEraseBackground)
    EVT_PAINT(wxBarHistoryCtrl::OnPaint)
    EVT_SIZE(wxBarHistoryCtrl::OnSize)
    EVT_SYS_COLOUR_CHANGED(wxBarHistoryCtrl::OnSysColourChanged)
wxEND_EVENT_TABLE()

wxBarHistoryCtrl::wxBarHistoryCtrl()
{
    _Init();
}

wxBarHistoryCtrl::wxBarHistoryCtrl(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                                   unsigned int style)
{
    _Init();
    Create(parent, id, pos, size, style);
}

wxBarHistoryCtrl::~wxBarHistoryCtrl() = default;

void wxBarHistoryCtrl::_Init()
{
    m_History.clear();
    m_HistoryLimit = 0;
    m_UpperBound = 0;
    m_LowerBound = 0;
    m_MidBound = 0;
    m_NoData = true;
    m_Changed.store(true);
    m_Bitmap.reset();
    m_TooltipTitle = String();
    m_TooltipFooter = String();
    m_Peak = 0;
    m_LastValue = 0;
    m_PeakTime = Time();
    m_Sum = 0;
    SetMinSize(k_MinSize);
}

bool wxBarHistoryCtrl::Create(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                              unsigned int style)
{
    const bool created = wxControl::Create(parent, id, pos, size, long(style) | wxBORDER_NONE, wxDefaultValidator,
                                           wxControlNameStr);
    // Create's initial sizing replaced the minimum by the size given.
    SetMinSize(k_MinSize);
    return created;
}

void wxBarHistoryCtrl::PushValue(unsigned int value)
{
    m_History.push_front(value);
    uint32_t evicted = 0;
    if (m_History.size() > m_HistoryLimit)
    {
        evicted = m_History.back();
        m_History.pop_back();
    }

    // A run of equal readings at the peak keeps the time of its first one;
    // reaching the peak again after a lower reading restarts it.
    const bool newPeak = m_LastValue == m_Peak ? value > m_Peak : value >= m_Peak;
    if (newPeak)
    {
        m_Peak = value;
        m_PeakTime = Time::CurrentTime();
    }
    m_LastValue = value;

    m_Sum += value;
    m_Sum -= evicted;
    m_NoData = false;
    m_Changed.exchange(true);
    Refresh(false);
    _SetTooltip();
}

void wxBarHistoryCtrl::LimitHistory(unsigned int limit, bool refresh)
{
    m_HistoryLimit = limit;
    _DropAboveLimit();
    _MarkChanged(refresh);
}

void wxBarHistoryCtrl::SetBounds(unsigned int lower, unsigned int upper, bool refresh)
{
    m_LowerBound = lower;
    m_UpperBound = upper;
    _MarkChanged(refresh);
}

void wxBarHistoryCtrl::SetMidBound(unsigned int middle, bool refresh)
{
    m_MidBound = middle;
    _MarkChanged(refresh);
}

void wxBarHistoryCtrl::Clear(bool refresh)
{
    m_History.clear();
    m_Sum = 0;
    m_NoData = true;
    _MarkChanged(refresh);
}

void wxBarHistoryCtrl::SetTooltipText(const String& title, const String& footer)
{
    m_TooltipTitle = title;
    m_TooltipFooter = footer;
    _SetTooltip();
}

unsigned int wxBarHistoryCtrl::Scale(unsigned int value, int range) const
{
    return Scale(value, m_LowerBound, m_UpperBound, range);
}

unsigned int wxBarHistoryCtrl::Scale(unsigned int value, unsigned int lower, unsigned int upper, int range)
{
    if (range <= 0)
        return 0;
    double t;
    if (upper == lower)
        t = value > lower ? 1.0 : 0.0;  // avoids 0 / 0
    else
        t = (double(value) - double(lower)) / (double(upper) - double(lower));
    t = std::min(std::max(t, 0.0), 1.0);
    return (unsigned int)(range * t);
}

void wxBarHistoryCtrl::_DropAboveLimit()
{
    while (m_History.size() > m_HistoryLimit)
    {
        m_Sum -= m_History.back();
        m_History.pop_back();
    }
}

void wxBarHistoryCtrl::OnSysColourChanged(wxSysColourChangedEvent& event)
{
    event.Skip();
    _MarkChanged(true);
}

void wxBarHistoryCtrl::_MarkChanged(bool refresh)
{
    m_Changed.exchange(true);
    if (refresh)
        Refresh(false);
}

void wxBarHistoryCtrl::_SetTooltip()
{
    const auto number = [](uint64_t value) { return wxNumberFormatter::ToString(static_cast<wxULongLong_t>(value)); };

    wxString text;
    if (!m_TooltipTitle.Empty())
        text << wxsToWx(m_TooltipTitle) << "\n";
    text << "Current:\t" << number(m_History.empty() ? 0 : m_History.front()) << "\n";
    text << "Range:\t" << number(m_LowerBound) << " / " << number(m_MidBound) << " / " << number(m_UpperBound)
         << "\n";
    const Time age = Time::CurrentTime() - m_PeakTime;
    const String ageText = Time::FormatDuration(age, Time::UNIT_SECOND, Time::UNIT_HOUR, 2, true, 0, ' ',
                                                Time(k_PeakAgeCapMicroseconds));
    text << "Peak:\t" << number(m_Peak) << ", " << wxsToWx(ageText) << " ago";
    if (!m_History.empty())
        text << "\nAverage:\t" << number(m_Sum / m_History.size());
    if (!m_TooltipFooter.Empty())
        text << "\n" << wxsToWx(m_TooltipFooter);
    SetToolTip(text);
}

void wxBarHistoryCtrl::Render()
{
    m_Changed.exchange(false);
    const wxSize size = GetClientSize();
    const int w = size.x;
    const int h = size.y;
    if (w < 1 || h < 1)
    {
        m_Bitmap.reset();
        return;
    }
    m_Bitmap = std::make_unique<wxBitmap>(w, h);

    {
        wxMemoryDC dc(*m_Bitmap);
        CrispDrawing crisp(dc);
        _DrawGraph(dc, w, h);
    }
    const bool showBar = !m_NoData && h > 2;
    const uint32_t newest = m_History.empty() ? m_LastValue : m_History.front();
    const bool high = newest >= m_MidBound;
    const int lastSegmentX = LastSegmentX(int(Scale(newest, w - 2)));
    if (showBar)
        XorSegments(*m_Bitmap, lastSegmentX, h, high ? k_SegmentHighColour : k_SegmentLowColour);

    wxMemoryDC dc(*m_Bitmap);
    CrispDrawing crisp(dc);
    if (showBar)
    {
        // The tip is opaque; without segments it only touches column 0,
        // which the frame covers.
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(high ? k_TipHighColour : k_TipLowColour));
        dc.DrawRectangle(lastSegmentX, 1, 3, h - 2);
    }
    // Lines leave out their end point: the dark edges own column 0 and the
    // top row but its last pixel, the light ones the right column and the
    // bottom row but its first pixel.
    dc.SetPen(FramePen(COLOR_EDGE_DARK));
    dc.DrawLine(0, 0, 0, h);
    dc.DrawLine(0, 0, w - 1, 0);
    dc.SetPen(FramePen(COLOR_EDGE_LIGHT));
    dc.DrawLine(w - 1, 0, w - 1, h);
    dc.DrawLine(1, h - 1, w, h - 1);
}

void wxBarHistoryCtrl::_DrawGraph(wxDC& dc, int w, int h) const
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    if (m_NoData)
    {
        dc.SetBrush(wxBrush(wxsGetColor(COLOR_BACKGROUND_LIGHT)));
        dc.DrawRectangle(0, 0, w, h);
        dc.SetBrush(wxBrush(wxsGetColor(COLOR_BACKGROUND), wxBRUSHSTYLE_CROSSDIAG_HATCH));
        dc.DrawRectangle(0, 0, w, h);
        return;
    }
    dc.SetBrush(wxBrush(AdjustColour(wxsGetColor(COLOR_FIELD), -32, -32, -32)));
    dc.DrawRectangle(0, 0, w, h);

    // Newest at the right edge; readings left of column 0 are not drawn.
    const wxPen areaPen(k_HistoryAreaColour, 1);
    const wxPen linePen(k_HistoryLineColour, 1);
    const size_t visible = std::min(m_History.size(), size_t(w));
    wxPoint previous;
    for (size_t i = 0; i < visible; ++i)
    {
        const int x = w - 1 - int(i);
        const int y = h - int(Scale(m_History[i], h));
        if (i > 0)
        {
            dc.SetPen(areaPen);
            dc.DrawLine(x, y + 1, x, h);
            dc.SetPen(linePen);
            dc.DrawLine(x, y, previous.x, previous.y);
        }
        previous = wxPoint(x, y);
    }
}

void wxBarHistoryCtrl::OnEraseBackground(wxEraseEvent&)
{
    // The bitmap covers the whole client area.
}

void wxBarHistoryCtrl::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_Changed.load() || !m_Bitmap)
        Render();
    if (m_Bitmap)
        dc.DrawBitmap(*m_Bitmap, 0, 0);
}

void wxBarHistoryCtrl::OnSize(wxSizeEvent& event)
{
    const int width = GetClientSize().x;
    if (width > 0)
        m_HistoryLimit = std::max(m_HistoryLimit, uint32_t(width));
    _DropAboveLimit();
    m_Changed.exchange(true);
    event.Skip();
}
