#include "wxdravik/wxdoublebufferedwindow.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <wx/dcclient.h>

#include "xolib/log.h"
#include "xolib/string.h"

namespace
{
const int k_RefreshTimerId = 1;
}

std::set<wxDoubleBufferedWindow*> wxDoubleBufferedWindow::s_Windows;

// clang-format off
wxBEGIN_EVENT_TABLE(wxDoubleBufferedWindow, wxWindow)
    EVT_PAINT(wxDoubleBufferedWindow::Paint)
    EVT_SIZE(wxDoubleBufferedWindow::Resize)
    EVT_ERASE_BACKGROUND(wxDoubleBufferedWindow::Erase)
    EVT_SYS_COLOUR_CHANGED(wxDoubleBufferedWindow::OnSysColorChange)
    EVT_SCROLLWIN_TOP(wxDoubleBufferedWindow::Scroll)
    EVT_SCROLLWIN_BOTTOM(wxDoubleBufferedWindow::Scroll)
    EVT_SCROLLWIN_LINEUP(wxDoubleBufferedWindow::Scroll)
    EVT_SCROLLWIN_LINEDOWN(wxDoubleBufferedWindow::Scroll)
    EVT_SCROLLWIN_PAGEUP(wxDoubleBufferedWindow::Scroll)
    EVT_SCROLLWIN_PAGEDOWN(wxDoubleBufferedWindow::Scroll)
    EVT_SCROLLWIN_THUMBTRACK(wxDoubleBufferedWindow::Scroll)
    EVT_SCROLLWIN_THUMBRELEASE(wxDoubleBufferedWindow::Scroll)
    EVT_MOUSEWHEEL(wxDoubleBufferedWindow::OnMouseWheel)
    EVT_TIMER(k_RefreshTimerId, wxDoubleBufferedWindow::Timeout)
    EVT_SET_FOCUS(wxDoubleBufferedWindow::Focus)
    EVT_KILL_FOCUS(wxDoubleBufferedWindow::Focus)
wxEND_EVENT_TABLE()
// clang-format on

wxDoubleBufferedWindow::wxDoubleBufferedWindow(wxWindow* parent, int id, long style)
    : wxWindow(parent, id, wxDefaultPosition, wxDefaultSize, style | wxVSCROLL | wxHSCROLL | wxWANTS_CHARS,
               wxPanelNameStr),
      m_Timer(this, k_RefreshTimerId)
{
    // Everything is painted from the bitmap: nothing to erase underneath.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    s_Windows.insert(this);
}

wxDoubleBufferedWindow::~wxDoubleBufferedWindow()
{
    s_Windows.erase(this);
    // A refresh pending at destruction must never reach the dying window.
    m_Timer.Stop();
    m_Timer.SetOwner(nullptr, -1);
}

void wxDoubleBufferedWindow::Redraw()
{
    // Views that append thousands of lines a second ask this for every line:
    // once the whole area waits, there is nothing to add.
    if (m_FullRedrawPending && m_Timer.IsRunning())
        return;
    m_FullRedrawPending = true;
    Redraw(wxRect(GetClientSize()));
}

void wxDoubleBufferedWindow::Redraw(const wxRect& rect)
{
    if (m_RefreshRect.IsEmpty())
        m_RefreshRect = rect;
    else if (!rect.IsEmpty())
        m_RefreshRect.Union(rect);
    if (!m_Timer.IsRunning())
        m_Timer.StartOnce(m_RefreshDelay);
}

void wxDoubleBufferedWindow::RedrawAll()
{
    for (wxDoubleBufferedWindow* window : s_Windows)
        window->Redraw();
}

int wxDoubleBufferedWindow::SetRefreshDelay(int ms)
{
    std::swap(ms, m_RefreshDelay);
    return ms;
}

void wxDoubleBufferedWindow::Timeout(wxTimerEvent&)
{
    SyncScrollbars();
    m_FullRedrawPending = false;
    if (m_RefreshRect.IsEmpty())
        return;  // only the scroll bars were due (an empty dirty area would mean all of it)
    if (m_Bitmap && !m_Dirty && !RedrawShowsChange())
    {
        m_RefreshRect = wxRect();
        return;  // the window shows this already
    }
    // A refresh that has not been drawn yet still counts: the paint after it
    // draws both.
    if (!m_Dirty || m_DirtyRect.IsEmpty())
        m_DirtyRect = m_RefreshRect;
    else if (!m_RefreshRect.IsEmpty())
        m_DirtyRect.Union(m_RefreshRect);
    m_Dirty = true;
    RefreshRect(m_RefreshRect, false);
    m_RefreshRect = wxRect();
}

void wxDoubleBufferedWindow::Paint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    try
    {
        if (!m_Bitmap)
        {
            const wxSize size = GetClientSize();
            if (size.x < 1 || size.y < 1)
                return;
            m_Bitmap = std::make_unique<wxBitmap>(size.x, size.y, -1);
            m_Dirty = true;
            m_NewBitmap = true;
            m_DirtyRect = wxRect();  // a new bitmap is drawn whole
        }
        if (m_Dirty)
        {
            const wxRect whole(m_Bitmap->GetSize());
            m_DrawRect = m_DirtyRect.IsEmpty() ? whole : m_DirtyRect.Intersect(whole);
            DrawBitmap();
            m_Dirty = false;
            m_NewBitmap = false;
            m_DirtyRect = wxRect();
        }
        dc.DrawBitmap(*m_Bitmap, 0, 0, false);
    }
    catch (...)
    {
        // A view must not take the program down over one bad frame: try again
        // after the delay, all of it.
        m_Dirty = true;
        m_DirtyRect = wxRect();
        Redraw();
    }
}

void wxDoubleBufferedWindow::Resize(wxSizeEvent&)
{
    m_FullRedrawPending = false;  // what waits is the old area, a grown window has more
    const wxSize size = GetClientSize();
    m_VisibleChars = size.x / m_CharWidth + 2;
    m_VisibleLines = size.y / m_LineHeight + 2;
    AdjustScrollbars();
    ReleaseBitmap();
    Refresh(false);
}

void wxDoubleBufferedWindow::Erase(wxEraseEvent&)
{
}

void wxDoubleBufferedWindow::_SkipAndRedraw(wxEvent& event)
{
    event.Skip();
    Redraw();
}

void wxDoubleBufferedWindow::OnSysColorChange(wxSysColourChangedEvent& event)
{
    _SkipAndRedraw(event);
}

void wxDoubleBufferedWindow::Focus(wxFocusEvent& event)
{
    _SkipAndRedraw(event);
}

void wxDoubleBufferedWindow::ReleaseBitmap()
{
    m_Bitmap.reset();
}

void wxDoubleBufferedWindow::PostScroll(wxScrollWinEvent&)
{
}

void wxDoubleBufferedWindow::AdjustScrollbarsLater()
{
    m_ScrollbarsStale = true;
    if (!m_Timer.IsRunning())
        m_Timer.StartOnce(m_RefreshDelay);
}

int wxDoubleBufferedWindow::GetScrollRange(int orient) const
{
    const_cast<wxDoubleBufferedWindow*>(this)->SyncScrollbars();
    return wxWindow::GetScrollRange(orient);
}

int wxDoubleBufferedWindow::GetScrollThumb(int orient) const
{
    const_cast<wxDoubleBufferedWindow*>(this)->SyncScrollbars();
    return wxWindow::GetScrollThumb(orient);
}

void wxDoubleBufferedWindow::AdjustScrollbars()
{
    const wxSize size = GetClientSize();
    if (size.x < 1 || size.y < 1)
        return;
    _SetScrollbars(size);
    const wxSize after = GetClientSize();
    if (after == size || after.x < 1 || after.y < 1)
        return;
    // Scroll bars that appear or go take room from the client area without a
    // size event on some themes: follow the new size as a resize would.
    m_VisibleChars = after.x / m_CharWidth + 2;
    m_VisibleLines = after.y / m_LineHeight + 2;
    ReleaseBitmap();
    Refresh(false);
    _SetScrollbars(after);
}

void wxDoubleBufferedWindow::_SetScrollbars(const wxSize& size)
{
    m_ScrollbarsStale = false;
    const int hPos = GetScrollPos(wxHORIZONTAL);
    SetScrollbar(wxHORIZONTAL, hPos, std::min(m_TotalWidth, size.x), m_TotalWidth, true);

    int vPos = GetScrollPos(wxVERTICAL);
    // The content may be taller than an int of pixels holds: keep the range
    // representable rather than wrapping into negative numbers.
    const int64_t fullHeight = int64_t(m_LineHeight) * m_LineCount;
    const int range = int(std::min<int64_t>(fullHeight, INT32_MAX));
    if (m_StickToEnd && vPos >= GetScrollRange(wxVERTICAL) - GetScrollThumb(wxVERTICAL))
        vPos = std::max(0, range - size.y);
    const int thumb = std::min(range, size.y);
    SetScrollbar(wxVERTICAL, vPos, thumb, range, true);

    if (m_ReportScrollbars)
    {
        const int hThumb = GetScrollThumb(wxHORIZONTAL), hRange = GetScrollRange(wxHORIZONTAL);
        const int h = GetScrollPos(wxHORIZONTAL), v = GetScrollPos(wxVERTICAL);
        LogInfo(SFormat("wxDoubleBufferedWindow %lx    H: %d %d %d   first: %d -%d (%d / %d x %d)   V: %d %d %d   "
                        "first: %d -%d (%d / %d x %d)",
                        static_cast<unsigned long>(reinterpret_cast<uintptr_t>(this)), h, hThumb, hRange,
                        h / m_CharWidth, h % m_CharWidth, m_TotalWidth, m_VisibleChars, m_CharWidth, v, thumb,
                        range, v / m_LineHeight, v % m_LineHeight, m_LineCount, m_VisibleLines, m_LineHeight));
    }
}

void wxDoubleBufferedWindow::Scroll(wxScrollWinEvent& event)
{
    SyncScrollbars();
    const int orient = event.GetOrientation();
    const int pos = GetScrollPos(orient);
    const int last = GetScrollRange(orient) - GetScrollThumb(orient);
    const bool vertical = orient == wxVERTICAL;
    const int pageStep = vertical ? (m_VisibleLines - 2) * m_LineHeight : (m_VisibleChars - 5) * m_CharWidth;
    const wxEventType type = event.GetEventType();
    int target;
    if (type == wxEVT_SCROLLWIN_TOP)
        target = 0;
    else if (type == wxEVT_SCROLLWIN_BOTTOM)
        target = last;
    else if (type == wxEVT_SCROLLWIN_LINEUP)
        target = std::max(pos - m_LineHeight, 0);
    else if (type == wxEVT_SCROLLWIN_LINEDOWN)
        target = std::min(pos + m_LineHeight, last);
    else if (type == wxEVT_SCROLLWIN_PAGEUP)
        target = std::max(pos - pageStep, 0);
    else if (type == wxEVT_SCROLLWIN_PAGEDOWN)
        target = std::min(pos + pageStep, last);
    else
        target = event.GetPosition();
    target = std::max(std::min(target, last), 0);
    SetScrollPos(orient, target, true);
    PostScroll(event);
    Redraw();
    if (m_CoScroll)
        m_CoScroll->Redraw();
}

void wxDoubleBufferedWindow::_ScrollVerticallyTo(int position)
{
    wxScrollWinEvent event(wxEVT_SCROLLWIN_THUMBRELEASE, position, wxVERTICAL);
    event.SetEventObject(this);
    Scroll(event);
}

bool wxDoubleBufferedWindow::ScrollLines(int lines)
{
    SyncScrollbars();
    const int last = GetScrollRange(wxVERTICAL) - GetScrollThumb(wxVERTICAL);
    const int64_t target = int64_t(GetScrollPos(wxVERTICAL)) + int64_t(m_LineHeight) * lines;
    _ScrollVerticallyTo(int(std::max<int64_t>(std::min<int64_t>(target, last), 0)));
    return true;
}

bool wxDoubleBufferedWindow::ScrollPages(int pages)
{
    SyncScrollbars();
    const int last = GetScrollRange(wxVERTICAL) - GetScrollThumb(wxVERTICAL);
    const int64_t target = int64_t(GetScrollPos(wxVERTICAL)) + int64_t(GetScrollThumb(wxVERTICAL)) * pages;
    _ScrollVerticallyTo(int(std::max<int64_t>(std::min<int64_t>(target, last), 0)));
    return true;
}

void wxDoubleBufferedWindow::OnMouseWheel(wxMouseEvent& event)
{
    SyncScrollbars();
    const int delta = event.GetWheelDelta();
    m_WheelRotation -= event.GetWheelRotation();
    if (delta <= 0 || std::abs(m_WheelRotation) < delta)
        return;  // a partial turn is kept for the next event
    const int lines = m_WheelRotation / delta;
    m_WheelRotation %= delta;
    const int range = GetScrollRange(wxVERTICAL);
    const int64_t target =
        int64_t(GetScrollPos(wxVERTICAL)) + int64_t(m_LineHeight) * lines * event.GetLinesPerAction();
    _ScrollVerticallyTo(int(std::max<int64_t>(std::min<int64_t>(target, range), 0)));
}

int wxDoubleBufferedWindow::GetViewStart(int orient) const
{
    return orient == wxVERTICAL ? GetScrollPos(wxVERTICAL) / m_LineHeight : GetScrollPos(wxHORIZONTAL) / m_CharWidth;
}

int wxDoubleBufferedWindow::GetViewOffset(int orient) const
{
    return orient == wxVERTICAL ? GetScrollPos(wxVERTICAL) % m_LineHeight : GetScrollPos(wxHORIZONTAL) % m_CharWidth;
}

int wxDoubleBufferedWindow::LineToMouse(int line) const
{
    return m_LineHeight * line - GetScrollPos(wxVERTICAL);
}

int wxDoubleBufferedWindow::MouseToLine(int y) const
{
    return (y + GetScrollPos(wxVERTICAL)) / m_LineHeight;
}

int wxDoubleBufferedWindow::CharToMouse(int ch) const
{
    return m_CharWidth * ch - GetScrollPos(wxHORIZONTAL);
}

int wxDoubleBufferedWindow::MouseToChar(int x) const
{
    return (x + GetScrollPos(wxHORIZONTAL)) / m_CharWidth;
}
