// A tree of items shown as rows of the database list: children indented
// under their parents, expand buttons, expansion kept across rebuilds.
#pragma once

#include <cstdint>
#include <set>
#include <stack>
#include <vector>

#include <boost/function.hpp>

#include "wxdravik/wxdblistctrl.h"
#include "wxdravik/wxdravikdefs.h"

class wxDBTreeListCtrl;

/// One item: callbacks for its cell texts and colour, a name unique among
/// its siblings, and its children. Each item keeps its visible line count
/// (1, plus its children's when expanded) up to date as the tree changes, so
/// finding a row costs the depth times the search among siblings, never the
/// size of the tree.
class WXDRAVIK_API wxDBTreeListItem
{
public:
    typedef boost::function<String(wxDBTreeListCtrl*, const wxDBTreeListItem*, int)> TextFunc;
    typedef boost::function<wxColour(wxDBTreeListCtrl*, const wxDBTreeListItem*)> ColorFunc;

    wxDBTreeListItem() = default;
    /// Copies carry the callbacks, the name, the expanded flag and the
    /// parent link, not the children.
    wxDBTreeListItem(const wxDBTreeListItem& other);
    wxDBTreeListItem& operator=(const wxDBTreeListItem& other);

    TextFunc m_TextFunc;
    ColorFunc m_ColorFunc;
    String m_Name;

    /// Expands or collapses; the visible line counts of the ancestors follow.
    void Expand(bool expand);
    bool IsExpanded() const { return m_Expanded; }
    bool HasChildren() const { return !m_Children.empty(); }
    size_t ChildCount() const { return m_Children.size(); }
    wxDBTreeListItem* GetParent() const { return m_Parent; }
    void SetParent(wxDBTreeListItem* parent) { m_Parent = parent; }
    wxDBTreeListItem* operator[](size_t i) const { return m_Children[i]; }
    wxDBTreeListItem* FindChild(const String& name) const;
    /// Links child at the end; a child whose name a sibling has already is
    /// not linked. Returns the index of the last child.
    int AppendChild(wxDBTreeListItem* child);
    String GetDisplayText(wxDBTreeListCtrl* ctrl, int column) const;
    wxColour GetColor(wxDBTreeListCtrl* ctrl) const;
    int GetVisibleLineCount() const { return m_VisibleLines; }
    /// Whether every ancestor is expanded.
    bool IsVisible(wxDBTreeListCtrl* ctrl) const;
    /// The item at index rows below this one (0 is the first child), or null.
    wxDBTreeListItem* ItemAtIndex(size_t index) const;
    /// Rows before child among this item's visible descendants.
    int IndexOfItem(const wxDBTreeListItem* child) const;
    /// The item on the row after this one's, or null at the end.
    wxDBTreeListItem* NextVisible() const;
    /// The item on the row before this one's, or null at the top.
    wxDBTreeListItem* PreviousVisible() const;
    /// Forgets every child (they stay in the control's storage).
    void Clear();
    /// Ancestors below the root.
    int GetDepth() const;

private:
    friend class wxDBTreeListCtrl;
    /// Adds delta to this item's count and to every ancestor that shows it.
    void _AddVisibleLines(int delta);
    /// Enters child index into the name table, building it when due.
    void _IndexName(size_t index);
    void _PutName(size_t index);
    /// AppendChild for a child whose name is known to be free.
    int _LinkChild(wxDBTreeListItem* child);

    wxDBTreeListItem* m_Parent = nullptr;
    std::vector<wxDBTreeListItem*> m_Children;
    /// Child indices + 1 by name hash (0: free), once there are many children.
    std::vector<uint32_t> m_NameTable;
    size_t m_IndexInParent = 0;
    bool m_Expanded = true;
    int m_VisibleLines = 1;
};

/// The tree's items in blocks that never move: items keep their addresses,
/// and a large tree costs a few allocations rather than one per item.
class WXDRAVIK_API _TreeItemStore
{
public:
    wxDBTreeListItem* Add(const wxDBTreeListItem& item);
    void Clear() { m_Blocks.clear(); }

    /// Visits the items in the order they were added.
    template <class Visit>
    void ForEach(Visit visit)
    {
        for (std::vector<wxDBTreeListItem>& block : m_Blocks)
            for (wxDBTreeListItem& item : block)
                visit(item);
    }
    template <class Visit>
    void ForEachBackwards(Visit visit)
    {
        for (auto block = m_Blocks.rbegin(); block != m_Blocks.rend(); ++block)
            for (auto item = block->rbegin(); item != block->rend(); ++item)
                visit(*item);
    }

private:
    std::vector<std::vector<wxDBTreeListItem>> m_Blocks;  // each filled up to its capacity, never beyond
};

/// A tree list: the rows are the visible items in depth-first order. The
/// selection is a set of items, kept from the list's selection events; a
/// click on an item's button (or an activation) expands or collapses it, with
/// Alt all items at once.
class WXDRAVIK_API wxDBTreeListCtrl : public wxDBListCtrl
{
public:
    wxDBTreeListCtrl(wxWindow* parent, int id, long style = 0, long rowSpacing = 0);
    ~wxDBTreeListCtrl() override;

    /// Stores a copy under its parent (the root when it has none) and tells
    /// the list about its rows when they show. Returns the stored copy, or
    /// null when a sibling has the same name (nothing is stored then).
    wxDBTreeListItem* AppendItem(const wxDBTreeListItem& item, bool redraw = true);
    wxDBTreeListItem* ItemAtRow(int row);
    int RowWithItem(const wxDBTreeListItem* item) const;
    int FirstVisibleParent(const wxDBTreeListItem* item) const;
    void ExpandAll();
    void ContractAll();
    void PushExpandState();
    void PopExpandState(bool redraw = true);
    bool HaveSavedExpandState() const { return !m_ExpandStack.empty(); }
    wxDBTreeListItem* GetRoot() { return &m_Root; }
    wxDBTreeListItem* GetLastSelected() const { return m_LastSelected; }
    const std::set<wxDBTreeListItem*>& GetSelectedItems() const { return m_SelectedItems; }

    /// Gap plus button width: the indent of one level.
    static int IndentMargin();

    bool IsRowSelected(int row) override;
    xolib::vector<int> GetSelection() override;
    String GetDisplayText(int row, int column) override;
    wxColour GetRowBGColor(int row) override;
    void DrawCell(wxDC& dc, int row, int column, wxRect rect, bool hover) override;
    const wxCursor* CustomizeCursor(int row, int column, int x, int y) override;
    void DoClear() override;

protected:
    void InsertOrRedraw(wxDBTreeListItem* parent, wxDBTreeListItem* item, bool redraw, int row);
    wxDBTreeListItem* InsertRawItem(const wxDBTreeListItem& item);
    String TryGetDisplayText(const wxDBTreeListItem* item, int column);

    _TreeItemStore m_Items;
    wxDBTreeListItem m_Root;
    wxDBTreeListItem* m_LastSelected = nullptr;
    bool m_ShowAll = false;
    int m_LastFoundRow = -1;
    wxDBTreeListItem* m_LastFoundItem = nullptr;
    /// The item that the last append looked up and its row, valid until
    /// rows change other than by appends beneath it.
    const wxDBTreeListItem* m_AppendParent = nullptr;
    int m_AppendParentRow = -1;
    std::set<wxDBTreeListItem*> m_SelectedItems;
    std::stack<std::vector<String>> m_ExpandStack;

private:
    void OnItemSelected(wxListEvent& event);
    void OnItemDeselected(wxListEvent& event);
    void OnBodyLeftDown(wxMouseEvent& event);
    /// Expands or collapses item, which is on row; all: every item at once.
    void _Toggle(wxDBTreeListItem* item, int row, bool all);
    void FlushLastFound();
    static const wxDBTreeListItem* _FirstShown(const wxDBTreeListItem* item);
    /// RowWithItem through the append cache.
    int _AppendRow(const wxDBTreeListItem* item);
    /// Recounts every item's visible lines after flags changed in bulk, and
    /// tells the list the new row count.
    void _Recount(bool redraw);

    wxDECLARE_EVENT_TABLE();
};
