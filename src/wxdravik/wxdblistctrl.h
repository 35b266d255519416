// The report list for tables of millions of rows: a virtual list that holds
// its columns and a row count, never row data, and draws only what shows.
#pragma once

#include <algorithm>
#include <string>
#include <unordered_map>

#include <wx/cursor.h>
#include <wx/dc.h>
#include <wx/hashmap.h>
#include <wx/imaglist.h>
#include <wx/listbase.h>

#include "wxdravik/wxdoublebufferedwindow.h"
#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxfasttext.h"
#include "wxdravik/wxstextctrl.h"
#include "wxdravik/wxswrappers.h"
#include "wxdravik/wxtimed.h"
#include "xolib/string.h"

class wxDBListCtrl;

/// Cell text alignment of a list column.
struct Align
{
    enum Mode
    {
        Left = 0,
        Centre = 1,
        Right = 2,
    };
};

/// The extents of texts drawn in one font. Lists show the same texts repaint
/// after repaint, and measuring a text costs a third of drawing it: each
/// distinct text is measured once. Bounded; forgotten when the font changes.
class WXDRAVIK_API _TextExtentCache
{
public:
    /// Texts drawn through drawer are measured by it when it can.
    explicit _TextExtentCache(_FastTextDrawer* drawer = nullptr) : m_Drawer(drawer) {}

    wxSize Measure(wxDC& dc, const wxString& text);

private:
    _FastTextDrawer* m_Drawer;
    std::unordered_map<wxString, wxSize, wxStringHash, wxStringEqual> m_Extents;
    wxFont m_Font;
};

/// What the header and the body share: a lost mouse capture is of no
/// interest to either, and both know where the pointer is from their mouse
/// events.
class WXDRAVIK_API wxDBListBase : public wxDoubleBufferedWindow
{
public:
    wxDBListBase(wxDBListCtrl* list, long style);

    _TextExtentCache& GetExtents() { return m_Extents; }
    _FastTextDrawer& GetTextDrawer() { return m_TextDrawer; }
    /// The pointer in client coordinates as the last mouse event gave it;
    /// (-1, -1) before the first one and after the pointer left.
    wxPoint GetPointer() const { return m_Pointer; }

protected:
    wxDBListCtrl* List() const;

private:
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void TrackPointer(wxMouseEvent& event);

    wxPoint m_Pointer{-1, -1};
    _FastTextDrawer m_TextDrawer;
    _TextExtentCache m_Extents{&m_TextDrawer};

    wxDECLARE_EVENT_TABLE();
};

/// The column header row.
class WXDRAVIK_API wxDBListHeader : public wxDBListBase
{
public:
    explicit wxDBListHeader(wxDBListCtrl* list);

    int GetPressedColumn() const { return m_PressedColumn; }
    int GetResizeColumn() const { return m_ResizeColumn; }

protected:
    void DrawBitmap() override;
    bool RedrawShowsChange() override;

private:
    friend class wxDBListCtrl;

    void OnMotion(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void _SendColumnEvent(wxEventType type, const wxMouseEvent& mouse, int column);
    void _SetCursor(const wxCursor* cursor);

    /// Everything the last drawing showed; a redraw that would show the
    /// same keeps the bitmap (a list redraws its header with every page).
    std::string _Appearance(const wxSize& size, int hoverColumn) const;
    /// The column under the mouse while the list is active, else -1.
    int _HoverColumn(const wxSize& size) const;

    std::string m_DrawnAppearance;
    int m_PressedColumn = -1;
    const wxCursor* m_Cursor;
    int m_ResizeStartX = -1;
    int m_ResizeColumn = -1;

    wxDECLARE_EVENT_TABLE();
};

/// The rows: drawing, selection by mouse and keys, hover, tooltips and the
/// window laid over a cell.
class WXDRAVIK_API wxDBListBody : public wxDBListBase
{
public:
    wxDBListBody(wxDBListCtrl* list, long style);

    int GetAnchor() const { return m_Anchor; }
    int GetHoverRow() const { return m_HoverRow; }
    const wxCursor* GetCursorShown() const { return m_Cursor; }
    wxWindow* GetOverlay() const { return m_Overlay; }

    /// Removes the current overlay (hidden, asked to close, its cell redrawn)
    /// and lays window, when not null, over the cell (row, col).
    void SetOverlay(wxWindow* window, int row = -1, int col = -1);
    /// Sends a deselect event for every selected row and drops any overlay.
    void DeselectAllRows(bool resetAnchor);

protected:
    void DrawBitmap() override;
    void PostScroll(wxScrollWinEvent& event) override;

private:
    friend class wxDBListCtrl;

    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnLeftDClick(wxMouseEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnTipTimer(wxTimerEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnSize(wxSizeEvent& event);

    /// Selects what a click at y selects; returns the row, or -1 below the
    /// data.
    int _ClickSelect(const wxPoint& point, bool shift, bool control, const wxString& modifiers);
    /// The clearing rule of a press on an unselected row.
    void _ClearBeforeClick(bool shift, bool control);
    void _UpdateAnchorAfterClick(int row, bool control);
    void _MoveByKey(int step, const wxKeyEvent& event);
    void _PlaceOverlay();

    int m_Anchor = -1;
    int m_HoverRow = -1;
    wxPoint m_MousePos{-1, -1};
    wxFixedTimer m_TipTimer;
    bool m_SingleSel;
    const wxCursor* m_Cursor;
    wxWindow* m_Overlay = nullptr;  // not owned
    int m_OverlayRow = -1;
    int m_OverlayColumn = -1;

    wxDECLARE_EVENT_TABLE();
};

/// A virtual report list. The subclass supplies each cell's text on demand
/// and owns the selection, which the list changes only by sending itself
/// wxListEvents. Rows exist as a count: Insert, Remove and Clear tell the list
/// about them, the redraw requests about changes, and any burst of changes
/// costs one repaint of the visible rows.
class WXDRAVIK_API wxDBListCtrl : public wxsPanel
{
public:
    struct ColumnHeader
    {
        String m_Label;
        int m_Width = 0;
        int m_DragWidth = 0;
        bool m_Flag = true;
        int m_Type = 0;
        String m_Custom;
        int m_Image = -1;
        Align::Mode m_Align = Align::Left;
    };

    /// rowSpacing adds that percentage to the row height.
    wxDBListCtrl(wxWindow* parent, int id, long style = 0, long rowSpacing = 0);
    ~wxDBListCtrl() override;

    // Selection, owned by the subclass.
    virtual bool IsRowSelected(int row) = 0;
    virtual xolib::vector<int> GetSelection() = 0;
    // Drawing hooks, called for every visible row; rows past the row count
    // reach all of them but DrawCell.
    virtual void PrepareToDraw(int row);
    virtual String GetDisplayText(int row, int column) = 0;
    virtual String GetCellToolTip(int row, int column);
    virtual wxColour GetRowColor(int row);
    virtual wxColour GetRowBGColor(int row);
    virtual void PrepareColors(int row, int endRow, int hoverRow, wxColour& fg, wxColour& bg);
    virtual void CleanupAfterDraw(int row);
    virtual void DrawCell(wxDC& dc, int row, int column, wxRect rect, bool hover);
    virtual const wxCursor* CustomizeCursor(int row, int column, int x, int y);
    /// The subclass drops its row data.
    virtual void DoClear();
    /// The subclass stores the text of the in-place editor.
    virtual void CommitCellEdit();

    bool Enable(bool enable = true) override;
    int GetScrollPos(int orient) const override;
    int GetScrollThumb(int orient) const override;
    int GetScrollRange(int orient) const override;
    void SetScrollPos(int orient, int pos, bool refresh = true) override;
    void SetFocus() override;

    // Columns.
    void AddColumn(int type, const String& label, int width = -1, Align::Mode align = Align::Left);
    void InsertColumn(int pos, int type, const String& label, const String& custom, int width = -1);
    void InsertColumn(int pos, const wxString& label, int format = 0, int width = -1);
    void RemoveColumn(int col);
    void RemoveAllColumns();
    void MoveColumn(int col, int offset);
    void SetColumnWidth(int col, int width, bool redraw = true);
    void SetColumnLabel(int col, const String& label);
    void SetColumnImage(int col, int image);
    void SetHighlightColumn(int col);
    int GetHighlightColumn() const { return m_HighlightColumn; }
    void SetImageList(wxImageList* images) { m_ImageList = images; }
    size_t GetColumnCount() const { return m_Columns.size(); }
    int GetColumnWidth(size_t col) const { return m_Columns[col].m_Width; }
    int GetColumnSize(size_t col) const { return GetColumnWidth(col); }
    int GetColumnType(size_t col) const { return m_Columns[col].m_Type; }
    String GetColumnName(int col) const { return m_Columns[col].m_Label; }
    String GetColumnCustom(int col) const { return m_Columns[col].m_Custom; }
    Align::Mode GetColumnAlign(int col) const { return m_Columns[col].m_Align; }
    int FindColumnByType(int type) const;

    // Rows, as a count.
    void Insert(int pos, size_t count, bool redraw = true);
    void Insert(int pos, bool redraw = true) { Insert(pos, size_t(1), redraw); }
    /// So that Insert(pos, 30) means 30 rows; a negative count inserts none.
    void Insert(int pos, int count, bool redraw = true) { Insert(pos, size_t(std::max(count, 0)), redraw); }
    void Remove(int pos, size_t count);
    void Remove(int pos) { Remove(pos, 1); }
    void Clear();
    int GetItemCount() const;

    // Geometry, in the body's client coordinates.
    int GetColumnX(int col) const;
    /// The column under x, -1 past the last column.
    int GetColumnAt(int x) const;
    wxRect GetCellRect(int row, int col) const;
    int GetRowHeight() const;
    static int GetCellPadding() { return 3; }
    int FirstVisibleItem() const;
    int LastVisibleItem() const;
    bool IsScrollbarVisible(int orient) const;
    const wxCursor* GetCurrentCursor() const;

    // Redraw requests, coalesced by the body's refresh timer.
    void Redraw();
    void RedrawItem(int row);
    void RedrawItems(int a, int b);
    void RedrawCell(int row, int col);
    void RedrawCells(int row1, int row2, int col1, int col2);
    void RedrawColumn(int col);
    void RedrawColumns(int a, int b);

    // Selection and view.
    void Select(int row, int col = 0);
    void Activate(int row, int col = 0);
    void DeselectAll();
    void EnsureVisible(int row);
    /// Lays window over the cell (row, col); null removes the overlay.
    void Overlay(wxWindow* window, int row, int col);

    /// Logs every scroll-bar adjustment of the body from now on.
    void ReportScrollbars();
    void SaveColumnSizes(const String& section, const String& key);
    void RestoreColumnSizes(const String& section, const String& key);

    /// Fits text into width by cutting its middle; width receives the width
    /// of the result.
    static String FitText(const String& text, int& width, wxDC& dc);
    /// FitText with the extents measured once per distinct text; height
    /// receives the height of the result.
    static wxString FitText(const wxString& text, int& width, int& height, wxDC& dc, _TextExtentCache& extents);

    wxDBListHeader* _GetHeader() const { return m_Header; }
    wxDBListBody* _GetBody() const { return m_Body; }
    int GetEditRow() const { return m_EditRow; }
    int GetEditColumn() const { return m_EditColumn; }
    wxsTextCtrl* GetEditCtrl() const;

protected:
    void AddColumn(const ColumnHeader& column);
    /// Draws text in rect (deflated in place by the padding), fitted and
    /// aligned; returns the width drawn.
    int DrawText(wxDC& dc, const String& text, wxRect& rect, Align::Mode mode);
    void SetLastSelect(int row);
    int GetLastSelect() const;
    /// Sets the row count at once, for subclasses that recount their rows
    /// after a change of many (the scroll bars follow; nothing is redrawn).
    void SetRowCount(int count);
    /// Opens the in-place editor on the cell (row, col).
    void EnableEditOverlay(int row, int col);
    /// Builds and processes one list event; a column of -1 is taken from the
    /// point's x and an item of -1 from its y in window's rows.
    void SendListEvent(wxEventType type, const wxPoint& point, int column, int item, const wxString& modifiers,
                       const wxDoubleBufferedWindow* window = nullptr);

    xolib::vector<ColumnHeader> m_Columns;
    int m_HighlightColumn = -1;
    int m_Style;
    wxImageList* m_ImageList = nullptr;  // not owned
    wxDBListHeader* m_Header;            // child window
    wxDBListBody* m_Body;                // child window
    int m_EditRow = -1;
    int m_EditColumn = -1;
    wxWeakRef<wxsTextCtrl> m_EditCtrl;  // child window

private:
    friend class wxDBListHeader;
    friend class wxDBListBody;

    void _ColumnsChanged(int widthChange);
    void OnEditKeyDown(wxKeyEvent& event);
    void OnEditCommit(wxCommandEvent& event);
    void OnEditKillFocus(wxFocusEvent& event);
    void _CloseEditor(bool commit);
};

/// Values every list shares, made when the first live list is built.
struct WXDRAVIK_API wxDBListShared
{
    wxFont m_Font;
    int m_CharWidth = 1;
    int m_CharHeight = 1;
    wxCursor m_ResizeCursor;
    static const wxDBListShared& Get();
};
