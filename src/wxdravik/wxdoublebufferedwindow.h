// The base of every fast custom-drawn view: an off-screen bitmap painted in
// one call, redraw requests coalesced by a one-shot timer, and scroll bars
// kept in pixels with a line and a character as units.
#pragma once

#include <memory>
#include <set>

#include <wx/bitmap.h>
#include <wx/event.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "wxdravik/wxdravikdefs.h"

/// A window that draws only into its bitmap, and only when asked. Redraw
/// requests widen a pending rectangle and arm a one-shot timer (75 ms by
/// default): any burst of requests within the delay costs one DrawBitmap and
/// one screen update of the united rectangle. Exposure repaints copy the
/// stored bitmap. Both scroll bars hold pixel positions; the vertical range is
/// m_LineHeight * m_LineCount, the horizontal one m_TotalWidth.
class WXDRAVIK_API wxDoubleBufferedWindow : public wxWindow
{
public:
    wxDoubleBufferedWindow(wxWindow* parent, int id, long style);
    ~wxDoubleBufferedWindow() override;

    /// Asks for a redraw of the whole client area.
    void Redraw();
    /// Asks for a redraw of rect (client coordinates).
    void Redraw(const wxRect& rect);
    /// Asks every live window for a redraw.
    static void RedrawAll();
    /// Sets the delay between the first request and the repaint; returns the
    /// previous one.
    int SetRefreshDelay(int ms);

    bool ScrollLines(int lines) override;
    bool ScrollPages(int pages) override;
    /// Range and thumb as they will be once scroll bars marked stale are
    /// brought up to date.
    int GetScrollRange(int orient) const override;
    int GetScrollThumb(int orient) const override;

    /// First visible line (wxVERTICAL) or character (any other value).
    int GetViewStart(int orient) const;
    /// Pixels of the first line (or character) hidden above (or left).
    int GetViewOffset(int orient) const;
    int LineToMouse(int line) const;
    int MouseToLine(int y) const;
    int CharToMouse(int ch) const;
    int MouseToChar(int x) const;

protected:
    /// Repaints m_Bitmap for the current scroll positions. The bitmap keeps
    /// what was drawn before: only m_DrawRect (client coordinates, the areas
    /// asked to be redrawn since the last call) must be painted, and a
    /// subclass may paint more.
    virtual void DrawBitmap() = 0;
    /// Called after every change of a scroll position by the scroll handler.
    virtual void PostScroll(wxScrollWinEvent& event);
    /// Whether a redraw due now would change what the bitmap shows; a view
    /// that can tell cheaply saves the window its repaint.
    virtual bool RedrawShowsChange() { return true; }

    /// Recomputes both scroll bars from the members.
    void AdjustScrollbars();
    /// Recomputes the scroll bars at the next refresh (or before the next
    /// scroll, or when their range or thumb is asked for), for views whose
    /// content changes faster than a native scroll bar update can follow.
    void AdjustScrollbarsLater();
    /// Brings scroll bars marked stale up to date now.
    void SyncScrollbars()
    {
        if (m_ScrollbarsStale)
            AdjustScrollbars();
    }
    /// Drops the bitmap; the next paint creates one of the client size.
    void ReleaseBitmap();
    /// The window redrawn whenever this one scrolls (null: none).
    void CoScrollWindow(wxDoubleBufferedWindow* other) { m_CoScroll = other; }

    void Paint(wxPaintEvent& event);
    void Resize(wxSizeEvent& event);
    void Erase(wxEraseEvent& event);
    void OnSysColorChange(wxSysColourChangedEvent& event);
    void Focus(wxFocusEvent& event);
    void Scroll(wxScrollWinEvent& event);
    void OnMouseWheel(wxMouseEvent& event);
    void Timeout(wxTimerEvent& event);

    std::unique_ptr<wxBitmap> m_Bitmap;
    bool m_Dirty = false;
    wxTimer m_Timer;
    int m_RefreshDelay = 75;
    wxRect m_RefreshRect;
    int m_LineHeight = 10;
    int m_CharWidth = 10;
    int m_TotalWidth = 0;
    int m_LineCount = 0;
    int m_VisibleChars = 0;
    int m_VisibleLines = 0;
    bool m_StickToEnd = false;
    int m_WheelRotation = 0;
    wxDoubleBufferedWindow* m_CoScroll = nullptr;  // not owned
    bool m_ReportScrollbars = false;
    /// What the current DrawBitmap call must repaint.
    wxRect m_DrawRect;
    /// The bitmap of the current DrawBitmap call is new: it holds nothing.
    bool m_NewBitmap = false;

    static std::set<wxDoubleBufferedWindow*> s_Windows;

private:
    bool m_ScrollbarsStale = false;
    /// Union of the refreshed areas not drawn yet; empty means all of it.
    wxRect m_DirtyRect;
    /// The whole client area waits for the refresh timer already.
    bool m_FullRedrawPending = false;

    /// Sets both scroll bars for a client area of size.
    void _SetScrollbars(const wxSize& size);
    /// Delivers an absolute vertical position through the scroll handler.
    void _ScrollVerticallyTo(int position);
    /// Shared body of the focus and colour-change handlers.
    void _SkipAndRedraw(wxEvent& event);

    wxDECLARE_EVENT_TABLE();
};
