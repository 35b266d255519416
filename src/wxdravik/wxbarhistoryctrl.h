// A small graph of a value's recent history (a load, a count, a rate) with a
// level bar for the newest reading and a statistics tooltip.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>

#include <wx/bitmap.h>
#include <wx/control.h>

#include "wxdravik/wxdravikdefs.h"
#include "xolib/xolib.h"

class wxDC;

/// Shows unsigned readings as a filled line graph, newest at the right edge,
/// one reading per pixel column, under a segmented level bar for the newest
/// reading that changes colour at the middle bound. The tooltip gives the
/// current value, the bounds, the peak and how long ago it was reached, and
/// the average of the readings held. GUI thread only.
class WXDRAVIK_API wxBarHistoryCtrl : public wxControl
{
public:
    /// Two-step creation: Create follows.
    wxBarHistoryCtrl();
    wxBarHistoryCtrl(wxWindow* parent, int id, const wxPoint& pos = wxDefaultPosition,
                     const wxSize& size = wxDefaultSize, unsigned int style = 0);
    ~wxBarHistoryCtrl() override;

    /// Creates the window, always without a border; returns wxControl::Create's result.
    bool Create(wxWindow* parent, int id, const wxPoint& pos = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, unsigned int style = 0);

    /// Adds the newest reading, updates peak and average, repaints and
    /// rebuilds the tooltip.
    void PushValue(unsigned int value);
    /// Keeps at most limit readings, dropping the oldest. A limit below the
    /// control's width is raised again at the next size event.
    void LimitHistory(unsigned int limit, bool refresh = true);
    /// The range the graph and the level bar span; the tooltip shows the new
    /// bounds from the next PushValue or SetTooltipText on.
    void SetBounds(unsigned int lower, unsigned int upper, bool refresh = true);
    /// The level bar turns from green to yellow at this reading.
    void SetMidBound(unsigned int middle, bool refresh = true);
    /// Drops every reading and shows the empty look; the peak, its time and
    /// the tooltip stay until the next push.
    void Clear(bool refresh = true);
    /// Text above and below the statistics in the tooltip; rebuilds it.
    void SetTooltipText(const String& title, const String& footer);

    /// When the peak reading was reached (zero before any peak).
    Time GetPeakTime() const { return m_PeakTime; }

protected:
    /// value between the control's bounds, mapped to 0..range.
    unsigned int Scale(unsigned int value, int range) const;
    /// value between lower and upper, mapped to 0..range and truncated.
    static unsigned int Scale(unsigned int value, unsigned int lower, unsigned int upper, int range);

    /// Draws the current state into a new client-sized bitmap.
    void Render();
    /// The rendered picture; null before the first rendering.
    const wxBitmap* GetRenderedBitmap() const { return m_Bitmap.get(); }

    void _SetTooltip();
    void _Init();

    void OnEraseBackground(wxEraseEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    /// A new colour scheme: render again with its colours.
    void OnSysColourChanged(wxSysColourChangedEvent& event);

private:
    /// Drops the oldest readings above the limit, keeping the running sum.
    void _DropAboveLimit();
    void _MarkChanged(bool refresh);
    /// Paints the background and, with data, the history graph.
    void _DrawGraph(wxDC& dc, int w, int h) const;

    std::deque<uint32_t> m_History;  // front: newest
    uint32_t m_HistoryLimit;
    uint32_t m_UpperBound;
    uint32_t m_LowerBound;
    uint32_t m_MidBound;
    bool m_NoData;
    std::atomic<bool> m_Changed;
    std::unique_ptr<wxBitmap> m_Bitmap;
    String m_TooltipTitle;
    String m_TooltipFooter;
    uint32_t m_Peak;
    uint32_t m_LastValue;
    Time m_PeakTime;
    uint64_t m_Sum;  // always the sum of m_History

    wxDECLARE_EVENT_TABLE();
    wxDECLARE_NO_COPY_CLASS(wxBarHistoryCtrl);
};
