#include "wxdravik/wxdblistctrl.h"

#include <algorithm>

#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/settings.h>
#include <wx/sizer.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikdlg.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxsrenderer.h"
#include "wxdravik/wxstextctrl.h"
#include "xolib/log.h"

namespace
{
const int k_TipTimerId = 200;
const int k_TipDelayMs = 1500;
const int k_MinColumnWidth = 20;
// Wider than any screen, small enough that the sum of many columns stays an
// int: a restored or dragged width is never taken beyond it.
const int k_MaxColumnWidth = 100000;
const int k_BorderGrip = 3;
const long k_StyleNoHeader = 0x0200;

int s_LiveLists = 0;
wxDBListShared s_Shared;

void _MakeSharedValues()
{
    s_Shared.m_Font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    wxBitmap scratch(100, 100, 1);
    wxMemoryDC dc(scratch);
    dc.SetFont(s_Shared.m_Font);
    wxCoord width = 0, height = 0;
    dc.GetTextExtent("M", &width, &height);
    s_Shared.m_CharWidth = width < 2 ? 1 : width;
    s_Shared.m_CharHeight = height < 2 ? 1 : height;
    s_Shared.m_ResizeCursor = wxCursor(wxCURSOR_SIZEWE);
}

wxString _Modifiers(const wxMouseEvent& event)
{
    wxString modifiers;
    if (event.ShiftDown())
        modifiers += "S";
    if (event.ControlDown())
        modifiers += "C";
    if (event.AltDown())
        modifiers += "A";
    return modifiers;
}

int _ClampWidth(int width)
{
    return std::min(std::max(width, k_MinColumnWidth), k_MaxColumnWidth);
}

/// The text cut in its middle by cut characters, as FitText shows it.
wxString _CutMiddle(const wxString& text, size_t cut)
{
    if (cut == 0)
        return text;
    const long length = long(text.length());
    const long keep = std::max(0L, (length - long(cut)) / 2 + 1);
    const size_t tail = size_t(keep) + cut;
    wxString result = text.Left(size_t(keep)) + "...";
    if (tail < text.length())
        result += text.Mid(tail);
    return result;
}

}  // namespace

wxSize _TextExtentCache::Measure(wxDC& dc, const wxString& text)
{
    const size_t k_MostTexts = 16384;
    wxSize extent;
    if (m_Drawer && m_Drawer->Serves(dc) && m_Drawer->Measure(text, extent))
        return extent;  // cheaper than a look-up
    if (!(dc.GetFont() == m_Font))
    {
        m_Extents.clear();
        m_Font = dc.GetFont();
    }
    const auto found = m_Extents.find(text);
    if (found != m_Extents.end())
        return found->second;
    if (m_Extents.size() >= k_MostTexts)
        m_Extents.clear();  // a list scrolled through many texts: start over
    wxCoord width = 0, height = 0;
    dc.GetTextExtent(text, &width, &height);
    return m_Extents.emplace(text, wxSize(width, height)).first->second;
}

const wxDBListShared& wxDBListShared::Get()
{
    return s_Shared;
}

// --- wxDBListBase -----------------------------------------------------------

wxBEGIN_EVENT_TABLE(wxDBListBase, wxDoubleBufferedWindow)
    EVT_MOUSE_CAPTURE_LOST(wxDBListBase::OnCaptureLost)
wxEND_EVENT_TABLE()

wxDBListBase::wxDBListBase(wxDBListCtrl* list, long style) : wxDoubleBufferedWindow(list, wxID_ANY, style)
{
    // Asking the X server where the pointer is takes round trips in every
    // repaint, each waiting for everything queued before it; the window's
    // own mouse events tell the same. Bound, so that they run before the
    // subclasses' handlers.
    Bind(wxEVT_MOTION, &wxDBListBase::TrackPointer, this);
    Bind(wxEVT_ENTER_WINDOW, &wxDBListBase::TrackPointer, this);
    Bind(wxEVT_LEAVE_WINDOW, &wxDBListBase::TrackPointer, this);
}

void wxDBListBase::TrackPointer(wxMouseEvent& event)
{
    m_Pointer = event.GetEventType() == wxEVT_LEAVE_WINDOW ? wxPoint(-1, -1) : event.GetPosition();
    event.Skip();
}

wxDBListCtrl* wxDBListBase::List() const
{
    return static_cast<wxDBListCtrl*>(GetParent());
}

void wxDBListBase::OnCaptureLost(wxMouseCaptureLostEvent&)
{
}

// --- wxDBListCtrl -----------------------------------------------------------

wxDBListCtrl::wxDBListCtrl(wxWindow* parent, int id, long style, long rowSpacing)
    : wxsPanel(parent, id, wxDefaultPosition, wxDefaultSize, wxWANTS_CHARS, "dblist"), m_Style(int(style))
{
    if (s_LiveLists++ == 0)
        _MakeSharedValues();
    const int padding = GetCellPadding();

    m_Header = new wxDBListHeader(this);
    wxFont headerFont = s_Shared.m_Font.Italic();
    headerFont.SetPointSize(headerFont.GetPointSize() + 1);
    m_Header->SetFont(headerFont);
    m_Header->m_CharWidth = s_Shared.m_CharWidth;
    m_Header->m_LineHeight = s_Shared.m_CharHeight + 3 * padding;
    m_Header->SetInitialSize(wxSize(-1, m_Header->m_LineHeight));

    m_Body = new wxDBListBody(this, 0);
    m_Body->SetFont(s_Shared.m_Font);
    m_Body->m_CharWidth = s_Shared.m_CharWidth;
    m_Body->m_LineHeight =
        std::max(1L, (s_Shared.m_CharHeight + 2 * padding) * (100 + std::max(rowSpacing, -99L)) / 100);
    m_Body->m_TotalWidth = 2;
    m_Body->SetScrollbar(wxHORIZONTAL, 0, 0, 0);
    m_Body->SetScrollbar(wxVERTICAL, 0, 0, 0);
    m_Body->CoScrollWindow(m_Header);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    if (m_Style & k_StyleNoHeader)
        m_Header->Hide();  // left out of the layout, so it must not show at (0, 0)
    else
        sizer->Add(m_Header, 0, wxEXPAND);
    sizer->Add(m_Body, 1, wxEXPAND);
    SetSizer(sizer);
}

wxDBListCtrl::~wxDBListCtrl()
{
    // The children call back into this object while they go.
    DestroyChildren();
    --s_LiveLists;
}

void wxDBListCtrl::PrepareToDraw(int)
{
}

String wxDBListCtrl::GetCellToolTip(int row, int column)
{
    return GetDisplayText(row, column);
}

wxColour wxDBListCtrl::GetRowColor(int)
{
    return wxsGetColor(COLOR_TEXT);
}

wxColour wxDBListCtrl::GetRowBGColor(int row)
{
    const wxColour field = wxsGetColor(COLOR_FIELD);
    return row % 2 ? AdjustColour(field, -2, -2, -2) : field;
}

void wxDBListCtrl::PrepareColors(int row, int endRow, int hoverRow, wxColour& fg, wxColour& bg)
{
    fg = GetRowColor(row);
    if (row < endRow && IsRowSelected(row))
        bg = BlendColour(wxsGetColor(COLOR_FIELD), wxsGetColor(COLOR_HIGHLIGHT), 0.33);
    else
        bg = GetRowBGColor(row);
    if (row == hoverRow)
    {
        fg = AdjustColour(fg, 10, 9, 8);
        bg = AdjustColour(bg, 6, 5, 4);
    }
    if (!IsEnabled())
    {
        const wxColour grey(128, 128, 128);
        fg = BlendColour(fg, grey, 0.33);
        bg = BlendColour(bg, grey, 0.33);
    }
}

void wxDBListCtrl::CleanupAfterDraw(int)
{
}

void wxDBListCtrl::DrawCell(wxDC& dc, int row, int column, wxRect rect, bool)
{
    DrawText(dc, GetDisplayText(row, column), rect, m_Columns[column].m_Align);
}

int wxDBListCtrl::DrawText(wxDC& dc, const String& text, wxRect& rect, Align::Mode mode)
{
    const int padding = GetCellPadding();
    rect.Deflate(padding);
    int width = rect.width, height = 0;
    const wxString shown = FitText(wxsToWx(text), width, height, dc, m_Body->GetExtents());
    const int align = (mode == Align::Right ? wxALIGN_RIGHT : wxALIGN_LEFT) | wxALIGN_CENTER_VERTICAL;
    if (shown.find('\n') != wxString::npos)
        dc.DrawLabel(shown, rect, align);
    else
    {
        // One line: the position DrawLabel would choose, from the extent
        // already measured.
        const int x = mode == Align::Right ? rect.GetRight() + 1 - width : rect.x;
        const int y = rect.y + (rect.height - height) / 2;
        _FastTextDrawer& drawer = m_Body->GetTextDrawer();
        if (drawer.Serves(dc))
            drawer.Draw(shown, x, y);
        else
            dc.DrawText(shown, x, y);
    }
    return width;
}

String wxDBListCtrl::FitText(const String& text, int& width, wxDC& dc)
{
    int height = 0;
    _TextExtentCache extents;
    return wxsFromWx(FitText(wxsToWx(text), width, height, dc, extents));
}

wxString wxDBListCtrl::FitText(const wxString& text, int& width, int& height, wxDC& dc, _TextExtentCache& extents)
{
    const int allowed = width;
    wxSize extent = extents.Measure(dc, text);
    // Text that fits, or is too short to be cut, is shown whole (the cell
    // clip cuts an overflow): cutting four characters would only replace it.
    if (extent.x <= allowed || text.length() < 5)
    {
        width = extent.x;
        height = extent.y;
        return text;
    }
    // Every further cut drops one more character of the same text, so widths
    // and lengths only shrink as the cut grows: the first cut that fits (or
    // leaves fewer than five characters) is found by bisection instead of
    // one measurement per character.
    auto done = [&](size_t cut) {
        const wxString s = _CutMiddle(text, cut);
        return extents.Measure(dc, s).x <= allowed || s.length() < 5;
    };
    // Past length + 2 the text is cut down to "..." alone, which is done.
    size_t low = 4, high = std::max<size_t>(text.length() + 2, 4);
    while (low < high)
    {
        const size_t middle = low + (high - low) / 2;
        if (done(middle))
            high = middle;
        else
            low = middle + 1;
    }
    const wxString shown = _CutMiddle(text, low);
    extent = extents.Measure(dc, shown);
    width = extent.x;
    height = extent.y;
    return shown;
}

const wxCursor* wxDBListCtrl::CustomizeCursor(int, int, int, int)
{
    return wxSTANDARD_CURSOR;
}

void wxDBListCtrl::DoClear()
{
}

void wxDBListCtrl::CommitCellEdit()
{
}

bool wxDBListCtrl::Enable(bool enable)
{
    const bool changed = wxsPanel::Enable(enable);
    Redraw();
    return changed;
}

int wxDBListCtrl::GetScrollPos(int orient) const
{
    return m_Body->GetScrollPos(orient);
}

int wxDBListCtrl::GetScrollThumb(int orient) const
{
    return m_Body->GetScrollThumb(orient);
}

int wxDBListCtrl::GetScrollRange(int orient) const
{
    return m_Body->GetScrollRange(orient);
}

void wxDBListCtrl::SetScrollPos(int orient, int pos, bool refresh)
{
    m_Body->SetScrollPos(orient, pos, refresh);
}

void wxDBListCtrl::SetFocus()
{
    m_Body->SetFocus();
}

// Columns

void wxDBListCtrl::_ColumnsChanged(int widthChange)
{
    m_Body->m_TotalWidth += widthChange;
    m_Body->AdjustScrollbars();
    Redraw();
}

void wxDBListCtrl::AddColumn(int type, const String& label, int width, Align::Mode align)
{
    ColumnHeader column;
    column.m_Label = label;
    column.m_Width = width == -1 ? 150 : width;
    column.m_Type = type;
    column.m_Align = align;
    AddColumn(column);
}

void wxDBListCtrl::AddColumn(const ColumnHeader& column)
{
    m_Columns.push_back(column);
    m_Columns.back().m_Flag = true;
    _ColumnsChanged(column.m_Width);
}

void wxDBListCtrl::InsertColumn(int pos, int type, const String& label, const String& custom, int width)
{
    ColumnHeader column;
    column.m_Label = label;
    column.m_Width = width < 0 ? 100 : width;
    column.m_Type = type;
    column.m_Custom = custom;
    pos = std::max(0, std::min(pos, int(m_Columns.size())));
    m_Columns.insert(m_Columns.begin() + pos, column);
    _ColumnsChanged(column.m_Width);
}

void wxDBListCtrl::InsertColumn(int pos, const wxString& label, int format, int width)
{
    InsertColumn(pos, format, wxsFromWx(label), String(), width);
}

void wxDBListCtrl::RemoveColumn(int col)
{
    const int width = m_Columns[col].m_Width;
    m_Body->m_TotalWidth -= width;
    m_Body->AdjustScrollbars();
    m_Columns.erase(m_Columns.begin() + col);
    Redraw();
}

void wxDBListCtrl::RemoveAllColumns()
{
    m_Columns.clear();
    m_Body->m_TotalWidth = 0;
    m_Body->AdjustScrollbars();
    Redraw();
}

void wxDBListCtrl::MoveColumn(int col, int offset)
{
    if (offset == 0 || m_Columns.empty())
        return;
    const int target = std::max(0, std::min(col + offset, int(m_Columns.size()) - 1));
    if (target == col)
        return;
    const ColumnHeader moved = m_Columns[col];
    m_Columns.erase(m_Columns.begin() + col);
    m_Columns.insert(m_Columns.begin() + target, moved);
    if (m_HighlightColumn == col)
        m_HighlightColumn = target;
    else if (target < col && m_HighlightColumn >= target && m_HighlightColumn < col)
        ++m_HighlightColumn;
    else if (target > col && m_HighlightColumn > col && m_HighlightColumn <= target)
        --m_HighlightColumn;
    RedrawColumns(col, target);
}

void wxDBListCtrl::SetColumnWidth(int col, int width, bool redraw)
{
    const int change = width - m_Columns[col].m_Width;
    m_Columns[col].m_Width = width;
    m_Body->m_TotalWidth += change;
    m_Body->AdjustScrollbars();
    if (redraw)
        Redraw();
}

void wxDBListCtrl::SetColumnLabel(int col, const String& label)
{
    m_Columns[col].m_Label = label;
    m_Header->Redraw();
}

void wxDBListCtrl::SetColumnImage(int col, int image)
{
    m_Columns[col].m_Image = image;
    m_Header->Redraw();
}

void wxDBListCtrl::SetHighlightColumn(int col)
{
    const int previous = m_HighlightColumn;
    m_HighlightColumn = col;
    if (previous == -1)
        RedrawColumn(col);
    else
        RedrawColumns(previous, col);
}

int wxDBListCtrl::FindColumnByType(int type) const
{
    for (size_t i = 0; i < m_Columns.size(); ++i)
        if (m_Columns[i].m_Type == type)
            return int(i);
    return -1;
}

// Rows

void wxDBListCtrl::Insert(int pos, size_t count, bool redraw)
{
    // Hosts insert rows one at a time by the thousand: the native scroll
    // bars follow once per refresh.
    m_Body->m_LineCount += int(count);
    m_Body->AdjustScrollbarsLater();
    if (m_Body->m_Anchor >= pos)
        m_Body->m_Anchor += int(count);
    if (redraw)
        RedrawItems(pos, m_Body->m_LineCount - 1);
}

void wxDBListCtrl::Remove(int pos, size_t count)
{
    // Removing more rows than there are is the caller's error; the count
    // never goes negative for it.
    const int removed = std::min(int(count), m_Body->m_LineCount);
    m_Body->m_LineCount -= removed;
    int& anchor = m_Body->m_Anchor;
    if (anchor >= pos && anchor < pos + int(count))
        anchor = pos - 1;
    m_Body->AdjustScrollbarsLater();
    for (int row = pos + int(count) - 1; row >= pos; --row)
        if (IsRowSelected(row))
            SendListEvent(wxEVT_LIST_ITEM_DESELECTED, wxPoint(0, 0), -1, row, wxString());
    m_Body->Redraw();
}

void wxDBListCtrl::Clear()
{
    // An editor or an anchor on a row that is gone would act on nothing.
    if (m_Body->m_Overlay)
        m_Body->SetOverlay(nullptr);
    m_Body->m_Anchor = -1;
    m_Body->m_HoverRow = -1;
    DoClear();
    m_Body->m_LineCount = 0;
    m_Body->AdjustScrollbars();
    m_Body->Redraw();
}

void wxDBListCtrl::SetRowCount(int count)
{
    m_Body->m_LineCount = std::max(count, 0);
    m_Body->AdjustScrollbars();
}

int wxDBListCtrl::GetItemCount() const
{
    return m_Body->m_LineCount;
}

// Geometry

int wxDBListCtrl::GetColumnX(int col) const
{
    int x = -m_Body->GetScrollPos(wxHORIZONTAL);
    for (int i = 0; i < col && i < int(m_Columns.size()); ++i)
        x += m_Columns[i].m_Width;
    return x;
}

int wxDBListCtrl::GetColumnAt(int x) const
{
    int rest = x + m_Body->GetScrollPos(wxHORIZONTAL);
    int column = -1;
    while (rest >= 0 && column + 1 < int(m_Columns.size()))
        rest -= m_Columns[++column].m_Width;
    return rest <= 0 ? column : -1;
}

wxRect wxDBListCtrl::GetCellRect(int row, int col) const
{
    // A column that does not exist (Select(row) on a list without columns)
    // is an empty cell after the last one.
    const int width = col >= 0 && col < int(m_Columns.size()) ? m_Columns[col].m_Width : 0;
    return wxRect(GetColumnX(col), m_Body->LineToMouse(row), width, m_Body->m_LineHeight);
}

int wxDBListCtrl::GetRowHeight() const
{
    return m_Body->m_LineHeight;
}

int wxDBListCtrl::FirstVisibleItem() const
{
    return m_Body->GetScrollPos(wxVERTICAL) / m_Body->m_LineHeight;
}

int wxDBListCtrl::LastVisibleItem() const
{
    return (m_Body->GetScrollPos(wxVERTICAL) + m_Body->GetSize().y) / m_Body->m_LineHeight;
}

bool wxDBListCtrl::IsScrollbarVisible(int orient) const
{
    return m_Body->GetScrollRange(orient) > 0;
}

const wxCursor* wxDBListCtrl::GetCurrentCursor() const
{
    return m_Body->m_Cursor;
}

// Redraw requests. Areas wholly outside the body ask for nothing, so changes
// to rows out of view never cause a repaint.

namespace
{
void _RedrawVisible(wxDoubleBufferedWindow* window, wxRect rect)
{
    rect.Intersect(wxRect(window->GetClientSize()));
    if (!rect.IsEmpty())
        window->Redraw(rect);
}
}  // namespace

void wxDBListCtrl::Redraw()
{
    m_Header->Redraw();
    m_Body->Redraw();
}

void wxDBListCtrl::RedrawItem(int row)
{
    RedrawItems(row, row);
}

void wxDBListCtrl::RedrawItems(int a, int b)
{
    // Called for every row a host appends: rows below the view cost nothing.
    const wxSize size = m_Body->GetClientSize();
    const int top = m_Body->LineToMouse(std::min(a, b));
    if (top >= size.y)
        return;
    const int bottom = m_Body->LineToMouse(std::max(a, b) + 1);
    wxRect rect(0, top, size.x, bottom - top);
    rect.Intersect(wxRect(size));
    if (!rect.IsEmpty())
        m_Body->Redraw(rect);
}

void wxDBListCtrl::RedrawCell(int row, int col)
{
    if (col < 0 || col >= int(m_Columns.size()))
        return;
    _RedrawVisible(m_Body, GetCellRect(row, col));
}

void wxDBListCtrl::RedrawCells(int row1, int row2, int col1, int col2)
{
    const int lastCol = std::max(col1, col2);
    if (lastCol >= int(m_Columns.size()) || std::min(col1, col2) < 0)
        return;
    const wxRect first = GetCellRect(std::min(row1, row2), std::min(col1, col2));
    const wxRect last = GetCellRect(std::max(row1, row2), lastCol);
    _RedrawVisible(m_Body, wxRect(first.GetTopLeft(), last.GetBottomRight()));
}

void wxDBListCtrl::RedrawColumn(int col)
{
    RedrawColumns(col, col);
}

void wxDBListCtrl::RedrawColumns(int a, int b)
{
    m_Header->Redraw();
    const int lastCol = std::max(a, b);
    if (lastCol >= int(m_Columns.size()) || std::min(a, b) < 0)
        return;
    const int left = GetColumnX(std::min(a, b));
    const int right = GetColumnX(lastCol) + m_Columns[lastCol].m_Width;
    _RedrawVisible(m_Body, wxRect(left, 0, right - left, m_Body->GetClientSize().y));
}

// Selection and view

void wxDBListCtrl::SendListEvent(wxEventType type, const wxPoint& point, int column, int item,
                                 const wxString& modifiers, const wxDoubleBufferedWindow* window)
{
    wxListEvent event(type, GetId());
    event.SetEventObject(this);
    event.SetPoint(point);
    event.SetColumn(column == -1 ? GetColumnAt(point.x) : column);
    if (item == -1)
    {
        const wxDoubleBufferedWindow* from = window ? window : m_Body;
        item = from->MouseToLine(point.y);
    }
    event.SetIndex(item);
    event.SetString(modifiers);
    ProcessEvent(event);
}

void wxDBListCtrl::Select(int row, int col)
{
    if (m_Body->m_SingleSel)
        m_Body->DeselectAllRows(true);
    SendListEvent(wxEVT_LIST_ITEM_SELECTED, GetCellRect(row, std::max(col, 0)).GetTopLeft(), col, row, wxString());
    m_Body->m_Anchor = row;
    Redraw();
}

void wxDBListCtrl::Activate(int row, int col)
{
    Select(row, col);
    SendListEvent(wxEVT_LIST_ITEM_ACTIVATED, GetCellRect(row, std::max(col, 0)).GetTopLeft(), col, row,
                  wxString());
    Redraw();
}

void wxDBListCtrl::DeselectAll()
{
    m_Body->DeselectAllRows(true);
    Redraw();
}

void wxDBListCtrl::SetLastSelect(int row)
{
    m_Body->m_Anchor = row;
}

int wxDBListCtrl::GetLastSelect() const
{
    return m_Body->m_Anchor;
}

void wxDBListCtrl::EnsureVisible(int row)
{
    const int first = FirstVisibleItem();
    int line;
    if (row < first)
        line = row - 2;
    // The visible line count includes two partly shown lines: a row is out of
    // view as soon as its bottom is below the body, not only past that count.
    else if (m_Body->LineToMouse(row + 1) > m_Body->GetClientSize().y)
        line = row - m_Body->m_VisibleLines + 3;
    else
        return;
    const int range = m_Body->GetScrollRange(wxVERTICAL);
    const int position = int(std::max<int64_t>(0, std::min<int64_t>(int64_t(line) * GetRowHeight(), range)));
    wxScrollWinEvent event(wxEVT_SCROLLWIN_THUMBRELEASE, position, wxVERTICAL);
    event.SetEventObject(m_Body);
    m_Body->Scroll(event);
}

void wxDBListCtrl::Overlay(wxWindow* window, int row, int col)
{
    Freeze();
    m_Body->SetOverlay(window, row, col);
    Thaw();
}

void wxDBListCtrl::ReportScrollbars()
{
    m_Body->m_ReportScrollbars = true;
}

// Column widths in the options file

void wxDBListCtrl::SaveColumnSizes(const String& section, const String& key)
{
    String value;
    for (size_t i = 0; i < m_Columns.size(); ++i)
    {
        if (i)
            value += ", ";
        value += String::FromInt(m_Columns[i].m_Width);
    }
    DravikApp::GetOptions().SetValue(section, key, value);
    LogDebug("ListCtrl SAVE: [ " + section + " ] " + key + " = " + value);
}

void wxDBListCtrl::RestoreColumnSizes(const String& section, const String& key)
{
    const String value = DravikApp::GetOptions().GetValue(section, key, String::Null);
    LogDebug("ListCtrl LOAD: [ " + section + " ] " + key + " = " + value);
    StringTokenizer tokens(value, ',', false, '"', '\\');
    for (size_t i = 0; i < m_Columns.size() && tokens.HasMore(); ++i)
    {
        const int width = _ClampWidth(tokens.GetNext().Trim().Int(10));
        m_Body->m_TotalWidth += width - m_Columns[i].m_Width;
        m_Columns[i].m_Width = width;
    }
    m_Body->AdjustScrollbars();
}

// The in-place editor

wxsTextCtrl* wxDBListCtrl::GetEditCtrl() const
{
    return m_EditCtrl.get();
}

void wxDBListCtrl::EnableEditOverlay(int row, int col)
{
    m_EditRow = row;
    if (row < 0 || row >= GetItemCount() || col < 0 || col >= int(m_Columns.size()))
        return;
    m_EditColumn = col;
    auto* editor = new wxsTextCtrl(this, wxID_ANY, wxsToWx(GetDisplayText(row, col)), wxDefaultPosition,
                                   wxDefaultSize, wxTE_PROCESS_ENTER, wxDefaultValidator,
                                   wxTextCtrlNameStr);  // owned by this window
    m_EditCtrl = editor;
    editor->Bind(wxEVT_TEXT_ENTER, &wxDBListCtrl::OnEditCommit, this);
    editor->Bind(wxEVT_KILL_FOCUS, &wxDBListCtrl::OnEditKillFocus, this);
    editor->Bind(wxEVT_KEY_DOWN, &wxDBListCtrl::OnEditKeyDown, this);
    Overlay(editor, row, col);
    editor->SetFocus();
    editor->ShowPosition(0);
    editor->SelectAll();
}

void wxDBListCtrl::OnEditKeyDown(wxKeyEvent& event)
{
    if (event.GetKeyCode() != WXK_ESCAPE || event.GetEventObject() != m_Body->m_Overlay)
    {
        event.Skip();
        return;
    }
    Freeze();
    m_Body->SetOverlay(nullptr);
    Thaw();
}

void wxDBListCtrl::OnEditCommit(wxCommandEvent& event)
{
    // An editor already taken away (a late event) commits nothing.
    if (event.GetEventObject() == m_Body->m_Overlay)
        _CloseEditor(true);
}

void wxDBListCtrl::OnEditKillFocus(wxFocusEvent& event)
{
    event.Skip();
    if (event.GetEventObject() == m_Body->m_Overlay)
        _CloseEditor(true);
}

void wxDBListCtrl::_CloseEditor(bool commit)
{
    const bool open = m_Body->m_Overlay != nullptr;
    if (open && commit)
        CommitCellEdit();
    Freeze();
    m_Body->SetOverlay(nullptr);
    Thaw();
    if (open && commit)
    {
        const wxPoint corner = m_EditColumn >= 0 && m_EditColumn < int(m_Columns.size())
                                   ? GetCellRect(m_EditRow, m_EditColumn).GetTopLeft()
                                   : wxPoint(0, m_Body->LineToMouse(m_EditRow));
        SendListEvent(wxEVT_LIST_END_LABEL_EDIT, corner, m_EditColumn, m_EditRow, wxString());
    }
}

// --- wxDBListHeader ---------------------------------------------------------

// clang-format off
wxBEGIN_EVENT_TABLE(wxDBListHeader, wxDBListBase)
    EVT_MOTION(wxDBListHeader::OnMotion)
    EVT_LEFT_DOWN(wxDBListHeader::OnLeftDown)
    EVT_LEFT_UP(wxDBListHeader::OnLeftUp)
    EVT_RIGHT_DOWN(wxDBListHeader::OnRightDown)
    EVT_LEAVE_WINDOW(wxDBListHeader::OnLeave)
wxEND_EVENT_TABLE()
// clang-format on

wxDBListHeader::wxDBListHeader(wxDBListCtrl* list) : wxDBListBase(list, 0), m_Cursor(wxSTANDARD_CURSOR)
{
}

std::string wxDBListHeader::_Appearance(const wxSize& size, int hoverColumn) const
{
    const wxDBListCtrl* list = List();
    std::string shown;
    shown.reserve(64 + 24 * list->m_Columns.size());
    for (int number : {size.x, size.y, list->m_Body->GetScrollPos(wxHORIZONTAL), m_PressedColumn,
                       list->m_HighlightColumn, hoverColumn})
        shown += std::to_string(number) + ',';
    for (ColorName name : {COLOR_HEADER, COLOR_HIGHLIGHT, COLOR_TEXT, COLOR_TEXT_DISABLED})
        shown += std::to_string(wxsGetColor(name).GetRGB()) + ',';
    shown += GetFont().GetNativeFontInfoDesc().utf8_string() + ',';
    shown += std::to_string(reinterpret_cast<uintptr_t>(list->m_ImageList)) + ',';
    for (const auto& column : list->m_Columns)
        shown += std::to_string(column.m_Width) + ':' + std::to_string(column.m_Image) + ':' + column.m_Label.Str() +
                 '\0';
    return shown;
}

int wxDBListHeader::_HoverColumn(const wxSize& size) const
{
    wxDBListCtrl* list = List();
    if (!ParentIsActive(list))
        return -1;
    const wxPoint mouse = GetPointer();
    return mouse.x >= 0 && mouse.x < size.x && mouse.y >= 0 && mouse.y < size.y ? list->GetColumnAt(mouse.x) : -1;
}

bool wxDBListHeader::RedrawShowsChange()
{
    const wxSize size = m_Bitmap->GetSize();
    return _Appearance(size, _HoverColumn(size)) != m_DrawnAppearance;
}

void wxDBListHeader::DrawBitmap()
{
    wxDBListCtrl* list = List();
    const auto& columns = list->m_Columns;
    const int padding = wxDBListCtrl::GetCellPadding();
    const wxSize size(m_Bitmap->GetWidth(), m_Bitmap->GetHeight());
    const int hoverColumn = _HoverColumn(size);
    std::string appearance = _Appearance(size, hoverColumn);
    if (!m_NewBitmap && appearance == m_DrawnAppearance)
        return;  // the bitmap shows this already
    m_DrawnAppearance.swap(appearance);

    wxMemoryDC dc(*m_Bitmap);
    dc.SetFont(GetFont());
    dc.SetBackgroundMode(wxTRANSPARENT);

    const wxColour header = wxsGetColor(COLOR_HEADER);
    DrawGradedRectangle(dc, wxRect(size), header, AdjustColour(header, 25, 25, 25), 1.4f, true, false);

    int x = -list->m_Body->GetScrollPos(wxHORIZONTAL);
    wxSize image(0, 0);
    if (list->m_ImageList && list->m_ImageList->GetImageCount() > 0)
        list->m_ImageList->GetSize(0, image.x, image.y);
    const wxColour light = header.ChangeLightness(120), dark = header.ChangeLightness(80);

    for (size_t i = 0; i < columns.size() && x < size.x; ++i)
    {
        const auto& column = columns[i];
        const wxRect rect(x, 0, column.m_Width, size.y);
        dc.SetClippingRegion(rect);
        wxColour highlight = wxsGetColor(COLOR_HIGHLIGHT), face = header;
        if (int(i) == hoverColumn)
        {
            highlight = AdjustColour(highlight, 20, 18, 15);
            face = AdjustColour(face, 20, 18, 15);
        }
        const bool highlighted = int(i) == list->m_HighlightColumn;
        if (int(i) == m_PressedColumn)
        {
            const wxColour pressed = wxsGetColor(COLOR_TEXT_DISABLED);
            DrawGradedRectangle(dc, rect, pressed, AdjustColour(pressed, -65, -65, -65), 2.2f, true, false);
        }
        else if (highlighted)
            DrawGradedRectangle(dc, rect, highlight, AdjustColour(highlight, -65, -65, -65), 2.2f, true, false);
        else
            DrawGradedRectangle(dc, rect, face, AdjustColour(face, -25, -25, -25), 2.75f, true, false);

        const int imageIndex = list->m_ImageList ? column.m_Image : -1;
        int room = column.m_Width - 4 * padding;
        if (imageIndex >= 0)
            room -= 2 * padding + image.x;
        int labelWidth = room, labelHeight = 0;
        const wxString label = wxDBListCtrl::FitText(wxsToWx(column.m_Label), labelWidth, labelHeight, dc, GetExtents());
        dc.SetTextForeground(highlighted ? *wxBLACK : wxsGetColor(COLOR_TEXT));
        dc.DrawText(label, x + 2 * padding, padding);
        if (imageIndex >= 0 && imageIndex < list->m_ImageList->GetImageCount())
            list->m_ImageList->Draw(imageIndex, dc, x + 4 * padding + labelWidth, (m_LineHeight - image.y) / 2,
                                    wxIMAGELIST_DRAW_TRANSPARENT);

        dc.SetPen(wxPen(light, 1));
        dc.DrawLine(x, 0, x + column.m_Width, 0);
        dc.DrawLine(x, 1, x + column.m_Width, 1);
        dc.DrawLine(x, 0, x, size.y);
        dc.DrawLine(x + 1, 0, x + 1, size.y);
        x += column.m_Width;
        dc.SetPen(wxPen(dark, 1));
        dc.DrawLine(x - 1, 0, x - 1, size.y);
        dc.DestroyClippingRegion();
    }

    dc.SetPen(wxPen(dark, 1));
    dc.DrawLine(0, 0, size.x, 0);
    dc.DrawLine(0, 0, 0, size.y);
    dc.SetPen(wxPen(light, 1));
    dc.DrawLine(size.x - 1, 0, size.x - 1, size.y);
}

void wxDBListHeader::_SendColumnEvent(wxEventType type, const wxMouseEvent& mouse, int column)
{
    const wxPoint point(mouse.GetX(), mouse.GetY() - GetSize().y);
    List()->SendListEvent(type, point, column, -1, _Modifiers(mouse), this);
}

void wxDBListHeader::_SetCursor(const wxCursor* cursor)
{
    if (cursor == m_Cursor)
        return;
    m_Cursor = cursor;
    SetCursor(*cursor);
}

void wxDBListHeader::OnMotion(wxMouseEvent& event)
{
    wxDBListCtrl* list = List();
    auto& columns = list->m_Columns;
    if (m_ResizeStartX >= 0 && m_ResizeColumn >= 0 && m_ResizeColumn < int(columns.size()))
    {
        const int width = _ClampWidth(columns[m_ResizeColumn].m_DragWidth + event.GetX() - m_ResizeStartX);
        list->SetColumnWidth(m_ResizeColumn, width, true);
        return;
    }
    const int x = event.GetX() + list->m_Body->GetScrollPos(wxHORIZONTAL);
    bool border = false;
    int right = 0;
    m_ResizeColumn = int(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
    {
        right += columns[i].m_Width;
        if (x >= right - k_BorderGrip && x <= right + k_BorderGrip)
        {
            border = true;
            m_ResizeColumn = int(i);
            break;
        }
        if (x < right)
        {
            m_ResizeColumn = int(i);
            break;
        }
    }
    _SetCursor(border ? &s_Shared.m_ResizeCursor : wxSTANDARD_CURSOR);
    const wxString tip = m_ResizeColumn < int(columns.size()) ? wxsToWx(columns[m_ResizeColumn].m_Label) : wxString();
    if (tip != GetToolTipText())
    {
        if (tip.empty())
            UnsetToolTip();
        else
            SetToolTip(tip);
    }
    Redraw();
}

void wxDBListHeader::OnLeftDown(wxMouseEvent& event)
{
    // The border under the mouse is known from the last motion; a press with
    // none before it (a click without a move) looks at the position itself.
    if (m_ResizeStartX < 0)
        OnMotion(event);
    wxDBListCtrl* list = List();
    if (m_Cursor == &s_Shared.m_ResizeCursor && m_ResizeColumn < int(list->m_Columns.size()))
    {
        m_ResizeStartX = event.GetX();
        list->m_Columns[m_ResizeColumn].m_DragWidth = list->m_Columns[m_ResizeColumn].m_Width;
        _SendColumnEvent(wxEVT_LIST_COL_BEGIN_DRAG, event, m_ResizeColumn);
    }
    else
    {
        m_PressedColumn = list->GetColumnAt(event.GetX());
        Redraw();
        list->m_Body->SetFocus();
    }
    if (!HasCapture())
        CaptureMouse();
}

void wxDBListHeader::OnLeftUp(wxMouseEvent& event)
{
    if (HasCapture())
        ReleaseMouse();
    if (m_PressedColumn >= 0)
    {
        m_PressedColumn = -1;
        Redraw();
        _SendColumnEvent(wxEVT_LIST_COL_CLICK, event, -1);
    }
    else if (m_ResizeStartX >= 0)
    {
        m_ResizeStartX = -1;
        _SendColumnEvent(wxEVT_LIST_COL_END_DRAG, event, m_ResizeColumn);
    }
}

void wxDBListHeader::OnRightDown(wxMouseEvent& event)
{
    _SendColumnEvent(wxEVT_LIST_COL_RIGHT_CLICK, event, -1);
}

void wxDBListHeader::OnLeave(wxMouseEvent& event)
{
    event.Skip();
    Redraw();
}

// --- wxDBListBody -----------------------------------------------------------

// clang-format off
wxBEGIN_EVENT_TABLE(wxDBListBody, wxDBListBase)
    EVT_LEFT_DOWN(wxDBListBody::OnLeftDown)
    EVT_LEFT_UP(wxDBListBody::OnLeftUp)
    EVT_LEFT_DCLICK(wxDBListBody::OnLeftDClick)
    EVT_RIGHT_DOWN(wxDBListBody::OnRightDown)
    EVT_MOTION(wxDBListBody::OnMotion)
    EVT_LEAVE_WINDOW(wxDBListBody::OnLeave)
    EVT_TIMER(k_TipTimerId, wxDBListBody::OnTipTimer)
    EVT_KEY_DOWN(wxDBListBody::OnKeyDown)
    EVT_SIZE(wxDBListBody::OnSize)
wxEND_EVENT_TABLE()
// clang-format on

wxDBListBody::wxDBListBody(wxDBListCtrl* list, long style)
    : wxDBListBase(list, style), m_SingleSel(list->m_Style & wxLC_SINGLE_SEL), m_Cursor(wxSTANDARD_CURSOR)
{
    m_TipTimer.SetOwner(this, k_TipTimerId);
}

void wxDBListBody::DrawBitmap()
{
    wxDBListCtrl* list = List();
    const wxSize size(m_Bitmap->GetWidth(), m_Bitmap->GetHeight());
    wxMemoryDC dc(*m_Bitmap);
    dc.SetFont(GetFont());
    dc.SetBackgroundMode(wxTRANSPARENT);
    dc.SetPen(*wxTRANSPARENT_PEN);

    const int first = GetScrollPos(wxVERTICAL) / m_LineHeight;
    const int end = first + m_VisibleLines;
    int hoverRow = -1;
    if (ParentIsActive(list))
    {
        const wxPoint mouse = GetPointer();
        if (mouse.x > 0 && mouse.x < size.x && mouse.y > 0 && mouse.y < size.y)
            hoverRow = MouseToLine(mouse.y);
    }
    // Rows wholly outside the area asked for keep what the bitmap holds; the
    // rows of the visible count that lie below the window are not drawn.
    const int drawTop = std::max(m_DrawRect.GetTop(), 0), drawBottom = std::min(m_DrawRect.GetBottom(), size.y - 1);
    const int drawLeft = std::max(m_DrawRect.GetLeft(), 0), drawRight = std::min(m_DrawRect.GetRight(), size.x - 1);
    // Cells are clipped through the text drawer: the DC's own clipping
    // region rebuilds its state for every cell.
    _FastTextDrawer& drawer = GetTextDrawer();
    _FastTextDrawer::Session text(drawer, dc);
    const bool focused = HasFocus() || m_Overlay;
    const int rowCount = m_LineCount;
    const auto& columns = list->m_Columns;
    for (int row = first; row < end; ++row)
    {
        const int top = LineToMouse(row);
        if (top > drawBottom || top + m_LineHeight <= drawTop)
            continue;
        list->PrepareToDraw(row);
        wxColour fg, bg;
        list->PrepareColors(row, end, hoverRow, fg, bg);
        if (focused)
            bg = AdjustColour(bg, 8, 8, 8);
        dc.SetBrush(wxBrush(bg));
        dc.DrawRectangle(0, top, size.x, m_LineHeight);
        dc.SetTextForeground(fg);
        int x = -GetScrollPos(wxHORIZONTAL);
        for (size_t col = 0; col < columns.size() && x <= drawRight; ++col)
        {
            const wxRect cell(x, top, columns[col].m_Width, m_LineHeight);
            x += columns[col].m_Width;
            if (cell.GetRight() < drawLeft)
                continue;  // scrolled out to the left, or left of the area
            if (int(col) == list->m_HighlightColumn)
            {
                dc.SetBrush(wxBrush(AdjustColour(bg, 9, 9, 10)));
                dc.DrawRectangle(cell);
            }
            if (row >= rowCount)
                continue;
            drawer.PushClip(cell);
            list->DrawCell(dc, row, int(col), cell, row == hoverRow);
            drawer.PopClip();
        }
        list->CleanupAfterDraw(row);
    }
    dc.SetPen(wxPen(wxsGetColor(COLOR_EDGE_DARK), 1));
    dc.DrawLine(0, 0, 0, size.y);
}

void wxDBListBody::DeselectAllRows(bool resetAnchor)
{
    if (m_Overlay)
        SetOverlay(nullptr);
    wxDBListCtrl* list = List();
    for (int row : list->GetSelection())
        list->SendListEvent(wxEVT_LIST_ITEM_DESELECTED, wxPoint(0, 0), -1, row, wxString());
    if (resetAnchor)
        m_Anchor = -1;
}

int wxDBListBody::_ClickSelect(const wxPoint& point, bool shift, bool control, const wxString& modifiers)
{
    wxDBListCtrl* list = List();
    const int row = MouseToLine(point.y);
    if (shift && m_Anchor >= 0)
    {
        const int last = std::min(std::max(m_Anchor, row), m_LineCount - 1);
        for (int r = std::max(0, std::min(m_Anchor, row)); r <= last; ++r)
            list->SendListEvent(wxEVT_LIST_ITEM_SELECTED, point, -1, r, modifiers);
        return row;
    }
    if (row < 0 || row >= m_LineCount)
        return -1;
    if (control)
    {
        if (m_SingleSel)
            return row;
        list->SendListEvent(list->IsRowSelected(row) ? wxEVT_LIST_ITEM_DESELECTED : wxEVT_LIST_ITEM_SELECTED, point,
                            -1, row, modifiers);
        return row;
    }
    list->SendListEvent(wxEVT_LIST_ITEM_SELECTED, point, -1, row, modifiers);
    return row;
}

void wxDBListBody::_ClearBeforeClick(bool shift, bool control)
{
    if (m_SingleSel)
        DeselectAllRows(true);
    else if (!control)
        DeselectAllRows(!shift);
}

void wxDBListBody::_UpdateAnchorAfterClick(int row, bool control)
{
    if (m_SingleSel || control || m_Anchor < 0)
        m_Anchor = row;
}

void wxDBListBody::OnLeftDown(wxMouseEvent& event)
{
    SetFocus();
    if (!HasCapture())
        CaptureMouse();
    const int row = MouseToLine(event.GetY());
    if (row >= 0 && List()->IsRowSelected(row))
        return;  // a multiple selection survives a click on one of its rows
    _ClearBeforeClick(event.ShiftDown(), event.ControlDown());
    const int selected = _ClickSelect(event.GetPosition(), event.ShiftDown(), event.ControlDown(), _Modifiers(event));
    _UpdateAnchorAfterClick(selected, event.ControlDown());
}

void wxDBListBody::OnLeftUp(wxMouseEvent&)
{
    if (HasCapture())
        ReleaseMouse();
}

void wxDBListBody::OnLeftDClick(wxMouseEvent& event)
{
    List()->SendListEvent(wxEVT_LIST_ITEM_ACTIVATED, event.GetPosition(), -1, -1, _Modifiers(event));
}

void wxDBListBody::OnRightDown(wxMouseEvent& event)
{
    wxDBListCtrl* list = List();
    const int row = MouseToLine(event.GetY());
    if (!(row >= 0 && list->IsRowSelected(row)))
        _ClearBeforeClick(event.ShiftDown(), event.ControlDown());
    const wxString modifiers = _Modifiers(event);
    const int selected = _ClickSelect(event.GetPosition(), event.ShiftDown(), event.ControlDown(), modifiers);
    _UpdateAnchorAfterClick(selected, event.ControlDown());
    list->SendListEvent(wxEVT_LIST_ITEM_RIGHT_CLICK, event.GetPosition(), -1, selected, modifiers);
}

void wxDBListBody::OnMotion(wxMouseEvent& event)
{
    wxDBListCtrl* list = List();
    const wxPoint position = event.GetPosition();
    if (position != m_MousePos)
    {
        m_MousePos = position;
        if (GetToolTip())
            UnsetToolTip();
        m_TipTimer.StartOnce(k_TipDelayMs);
    }
    const int row = MouseToLine(position.y);

    if (HasCapture())
    {
        bool shift = true;
        if (m_SingleSel)
        {
            if (row != m_Anchor && m_Anchor >= 0)
            {
                list->SendListEvent(wxEVT_LIST_ITEM_DESELECTED, wxPoint(position.x, LineToMouse(m_Anchor)), -1,
                                    m_Anchor, _Modifiers(event));
                m_Anchor = -1;
            }
            shift = false;
        }
        const int selected = _ClickSelect(position, shift, false, _Modifiers(event));
        if (m_SingleSel)
            m_Anchor = selected;
        if (position.y < 0)
        {
            wxScrollWinEvent scroll(wxEVT_SCROLLWIN_LINEUP, 0, wxVERTICAL);
            Scroll(scroll);
        }
        else if (position.y > GetClientSize().y)
        {
            wxScrollWinEvent scroll(wxEVT_SCROLLWIN_LINEDOWN, 0, wxVERTICAL);
            Scroll(scroll);
        }
        return;
    }

    const int column = list->GetColumnAt(position.x);
    const int cellX = column >= 0 ? position.x - list->GetColumnX(column)
                                  : position.x - list->GetColumnX(int(list->m_Columns.size()));
    const wxCursor* cursor = list->CustomizeCursor(row, column, cellX, position.y - LineToMouse(row));
    if (cursor && cursor != m_Cursor)
    {
        m_Cursor = cursor;
        SetCursor(*cursor);
    }
    if (row != m_HoverRow)
    {
        if (m_HoverRow >= 0)
            list->RedrawItems(m_HoverRow, row);
        else
            list->RedrawItem(row);
        m_HoverRow = row;
    }
}

void wxDBListBody::OnLeave(wxMouseEvent& event)
{
    event.Skip();
    if (m_HoverRow >= 0)
    {
        List()->RedrawItems(m_HoverRow - 1, m_HoverRow + 1);
        m_HoverRow = -1;
    }
}

void wxDBListBody::OnTipTimer(wxTimerEvent&)
{
    wxDBListCtrl* list = List();
    const int row = MouseToLine(m_MousePos.y);
    const int column = list->GetColumnAt(m_MousePos.x);
    if (row < 0 || row >= m_LineCount || column < 0 || column >= int(list->m_Columns.size()))
        return;
    const wxString tip = wxsToWx(list->GetCellToolTip(row, column));
    if (tip.empty())
        UnsetToolTip();
    else
        SetToolTip(tip);
}

void wxDBListBody::_MoveByKey(int step, const wxKeyEvent& event)
{
    const bool shift = event.ShiftDown(), control = event.ControlDown();
    if (m_SingleSel || (!shift && !control))
        DeselectAllRows(false);
    m_Anchor += step;
    _ClickSelect(wxPoint(0, LineToMouse(m_Anchor)), false, false, wxString());
    const int top = LineToMouse(m_Anchor);
    if (step < 0 && top < m_LineHeight)
        ScrollLines(-1);
    else if (step > 0 && top > GetClientSize().y - m_LineHeight)
        ScrollLines(1);
}

void wxDBListBody::OnKeyDown(wxKeyEvent& event)
{
    switch (event.GetKeyCode())
    {
    case WXK_ESCAPE:
        if (m_Overlay)
            SetOverlay(nullptr);
        else
            event.Skip();
        break;
    case WXK_UP:
        if (m_Anchor > 0)
            _MoveByKey(-1, event);
        break;
    case WXK_DOWN:
        if (m_Anchor >= 0 && m_Anchor < m_LineCount - 1)
            _MoveByKey(1, event);
        break;
    default:
        event.Skip();
    }
}

void wxDBListBody::OnSize(wxSizeEvent& event)
{
    event.Skip();
    _PlaceOverlay();
}

void wxDBListBody::PostScroll(wxScrollWinEvent& event)
{
    if (!m_Overlay)
        return;
    if (event.GetEventType() == wxEVT_SCROLLWIN_THUMBTRACK)
        m_Overlay->Hide();
    else
    {
        _PlaceOverlay();
        m_Overlay->Show();
    }
}

void wxDBListBody::_PlaceOverlay()
{
    wxDBListCtrl* list = List();
    if (!m_Overlay || m_OverlayColumn < 0 || m_OverlayColumn >= int(list->m_Columns.size()))
        return;
    m_Overlay->Freeze();
    m_Overlay->SetSize(list->GetCellRect(m_OverlayRow, m_OverlayColumn));
    m_Overlay->Thaw();
}

void wxDBListBody::SetOverlay(wxWindow* window, int row, int col)
{
    wxDBListCtrl* list = List();
    if (wxWindow* old = m_Overlay)
    {
        // Forgotten first: the focus loss that hiding causes must not find it.
        m_Overlay = nullptr;
        old->Hide();
        old->Close(false);
        list->RedrawCell(m_OverlayRow, m_OverlayColumn);
        m_OverlayRow = m_OverlayColumn = -1;
        if (old == list->m_EditCtrl.get())
        {
            // An editor of our own goes once its own handlers have returned.
            wxWeakRef<wxWindow> retired(old);
            list->CallAfter([retired] {
                if (retired)
                    retired->Destroy();
            });
        }
    }
    if (window)
    {
        m_Overlay = window;
        m_OverlayRow = row;
        m_OverlayColumn = col;
        if (window->GetParent() != this)
            window->Reparent(this);
        _PlaceOverlay();
    }
    for (wxWindow* ancestor = list; ancestor; ancestor = ancestor->GetParent())
    {
        if (auto* dialog = dynamic_cast<wxDravikDlg*>(ancestor))
        {
            dialog->HandleEscapeKey(window == nullptr);
            break;
        }
        if (ancestor->IsTopLevel())
            break;
    }
    list->RedrawCell(row, col);
}
