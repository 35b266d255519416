// A read-only viewer for long, growing lists of text lines (logs, job
// output): whole-line selection, hover, a search hit, copy and save.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <wx/font.h>
#include <wx/menu.h>

#include "wxdravik/wxdoublebufferedwindow.h"
#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxfasttext.h"
#include "wxdravik/wxscolormanaged.h"
#include "xolib/string.h"

class wxTextLineSearchPanel;

/// The lines of a viewer, kept compactly: their bytes in large append-only
/// blocks and one small record per line in display order, so a line costs
/// its text and sixteen bytes. Space of erased lines is reclaimed once it
/// outweighs the lines still held.
class WXDRAVIK_API _TextLineStore
{
public:
    size_t Size() const { return m_Entries.size(); }
    bool Empty() const { return m_Entries.empty(); }
    /// The bytes of line index and their number.
    const char* Data(size_t index, size_t& length) const;
    String Get(size_t index) const;
    /// Characters (UTF-8 code points) of line index.
    size_t Characters(size_t index) const { return m_Entries[index].m_Characters; }
    void Insert(size_t index, const char* text, size_t length, size_t characters);
    void Erase(size_t index);
    void Clear();
    /// The first line not less than text by byte order.
    size_t LowerBound(const char* text, size_t length) const;

private:
    struct Entry
    {
        uint32_t m_Block;
        uint32_t m_Offset;
        uint32_t m_Length;
        uint32_t m_Characters;
    };
    char* _Reserve(size_t length, uint32_t& block, uint32_t& offset);
    void _Compact();

    std::vector<std::unique_ptr<char[]>> m_Blocks;
    std::vector<size_t> m_BlockSizes;
    size_t m_Used = 0;  // bytes used of the last block
    size_t m_LiveBytes = 0;
    size_t m_DeadBytes = 0;
    std::vector<Entry> m_Entries;
};

/// Lines of a fixed-pitch font, appended cheaply (appending never paints; the
/// view catches up once per refresh), selected as whole lines by dragging,
/// searched, copied and saved. The search bar is a sibling window the host
/// lays out next to the viewer (GetSearchPanel).
class WXDRAVIK_API wxTextLineCtrl : public wxDoubleBufferedWindow, public wxsColorManaged
{
public:
    enum
    {
        ID_SELECT_ALL = 7301,
        ID_SELECT_NONE = 7302,
        ID_COPY = 7303,
        ID_SCROLL_TOP = 7304,
        ID_SCROLL_BOTTOM = 7305,
        ID_SAVE_AS = 7306,
        ID_SEARCH = 7307,
    };

    explicit wxTextLineCtrl(wxWindow* parent);
    ~wxTextLineCtrl() override;

    /// Stores a line (tabs become four spaces) at the end, or before the
    /// first line not less than it when sorted; returns its index.
    int Append(const String& line, bool sorted = false);
    void Erase(int index);
    void Clear();
    size_t GetLineCount() const { return m_Lines.Size(); }
    String GetLine(int index) const { return m_Lines.Get(size_t(index)); }

    /// Moves the search hit to the next line holding text; reports a miss.
    void Search(const String& text, bool down, bool caseSensitive);
    void ToggleSearch();
    /// Asks for a file name and saves every line into it.
    void SaveAs();
    /// Saves every line into path through a temporary file renamed over it,
    /// so an existing file is never left half-written; false (reported to
    /// the user) when it cannot be written.
    bool SaveTo(const wxString& path);
    void CopySelectionToClipboard();
    void SelectAll();
    void SelectNone();
    wxWindow* GetSearchPanel() const;

    int GetSelectStart() const { return m_SelectStart; }
    int GetSelectEnd() const { return m_SelectEnd; }
    int GetHighlightLine() const { return m_HighlightLine; }
    int GetSearchLine() const { return m_SearchLine; }
    int GetSearchColumn() const { return m_SearchColumn; }
    int GetLineHeight() const { return m_LineHeight; }
    int GetCharWidth() const { return m_CharWidth; }
    int GetTotalWidth() const { return m_TotalWidth; }

protected:
    void HandleContextMenu(wxMenu& menu, bool addItems);
    void SetHighlightLine(int line);
    void StopSelecting();

    void DrawBitmap() override;

    void OnKey(wxKeyEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnMouseLeave(wxMouseEvent& event);
    void OnLeftClick(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLoss(wxMouseCaptureLostEvent& event);
    void OnRightClick(wxMouseEvent& event);
    void OnMenu(wxCommandEvent& event);

    _TextLineStore m_Lines;
    wxTextLineSearchPanel* m_SearchPanel;  // a sibling, owned by the parent
    int m_SearchLine = -1;
    int m_SearchColumn = -1;
    int m_SearchLength = 0;
    int m_SelectStart = -1;
    int m_SelectEnd = -1;
    bool m_Selecting = false;
    int m_HighlightLine = -1;

private:
    _FastTextDrawer m_TextDrawer;  // keeps its glyphs between repaints

    /// Runs the base's scroll handler with an event built here.
    void _Scroll(wxEventType type, int orient, int position = 0);
    int _LineAt(int y) const;
    void _LinesChanged();

    wxDECLARE_EVENT_TABLE();
};
