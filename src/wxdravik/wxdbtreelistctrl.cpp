#include "wxdravik/wxdbtreelistctrl.h"

#include <algorithm>

#include <wx/bitmap.h>
#include <wx/dc.h>

#include "wxdravik/wxcolorscheme.h"
#include "xolib/core.h"

namespace
{
// clang-format off
const char* const k_CollapsedButton[] = {
    "11 11 6 1", " \tc #ffffff", ".\tc #f3f3f3", ":\tc #ebebeb", "-\tc #e3e3e3", "=\tc #dadada", "X\tc #646464",
    "XXXXXXXXXXX", "X         X", "X....X....X", "X....X....X", "X::::X::::X", "X:XXXXXXX:X",
    "X----X----X", "X----X----X", "X====X====X", "X=========X", "XXXXXXXXXXX"};
const char* const k_ExpandedButton[] = {
    "11 11 6 1", " \tc #ffffff", ".\tc #fbfbfb", ":\tc #f3f3f3", "-\tc #e7e7e7", "=\tc #dfdfdf", "X\tc #646464",
    "XXXXXXXXXXX", "X=========X", "X---------X", "X---------X", "X:::::::::X", "X:XXXXXXX:X",
    "X.........X", "X.........X", "X         X", "X         X", "XXXXXXXXXXX"};
// clang-format on
const int k_ButtonGap = 4;

/// What every tree list shares, made by the first one and kept.
struct TreeResources
{
    wxBitmap m_Collapsed{k_CollapsedButton};
    wxBitmap m_Expanded{k_ExpandedButton};
    wxCursor m_ButtonCursor{wxCURSOR_RIGHT_ARROW};

    static const TreeResources& Get()
    {
        static const TreeResources resources;
        return resources;
    }
};
}  // namespace

// --- wxDBTreeListItem -------------------------------------------------------

wxDBTreeListItem::wxDBTreeListItem(const wxDBTreeListItem& other)
    : m_TextFunc(other.m_TextFunc), m_ColorFunc(other.m_ColorFunc), m_Name(other.m_Name), m_Parent(other.m_Parent),
      m_Expanded(other.m_Expanded)
{
}

wxDBTreeListItem& wxDBTreeListItem::operator=(const wxDBTreeListItem& other)
{
    if (this != &other)
    {
        m_TextFunc = other.m_TextFunc;
        m_ColorFunc = other.m_ColorFunc;
        m_Name = other.m_Name;
        m_Parent = other.m_Parent;
        m_Expanded = other.m_Expanded;
    }
    return *this;
}

void wxDBTreeListItem::_AddVisibleLines(int delta)
{
    // An item counts its children's lines only while expanded: the change
    // climbs as far as the first collapsed ancestor, which hides it.
    for (wxDBTreeListItem* item = this; item && delta != 0; item = item->m_Parent)
    {
        item->m_VisibleLines += delta;
        if (!item->m_Parent || !item->m_Parent->m_Expanded)
            break;
    }
}

void wxDBTreeListItem::Expand(bool expand)
{
    if (expand == m_Expanded)
        return;
    int children = 0;
    for (const wxDBTreeListItem* child : m_Children)
        children += child->m_VisibleLines;
    m_Expanded = expand;
    _AddVisibleLines(expand ? children : -children);
}

namespace
{
/// Sibling lists up to this long are searched by name directly; longer ones
/// keep a hash table of child indices, so that appending stays cheap.
const size_t k_LinearNameSearch = 8;

size_t NameHash(const String& name)
{
    size_t hash = 1469598103934665603ull;  // FNV-1a
    for (size_t i = 0; i < name.Length(); ++i)
        hash = (hash ^ static_cast<unsigned char>(name[i])) * 1099511628211ull;
    return hash;
}
}  // namespace

wxDBTreeListItem* wxDBTreeListItem::FindChild(const String& name) const
{
    if (m_NameTable.empty())
    {
        for (wxDBTreeListItem* child : m_Children)
            if (child->m_Name == name)
                return child;
        return nullptr;
    }
    const size_t mask = m_NameTable.size() - 1;
    for (size_t slot = NameHash(name) & mask; m_NameTable[slot] != 0; slot = (slot + 1) & mask)
    {
        wxDBTreeListItem* child = m_Children[m_NameTable[slot] - 1];
        if (child->m_Name == name)
            return child;
    }
    return nullptr;
}

void wxDBTreeListItem::_IndexName(size_t index)
{
    if (m_Children.size() <= k_LinearNameSearch)
        return;
    // Open addressing, at most half full; a slot holds the child's index + 1.
    if (m_NameTable.size() < 2 * m_Children.size())
    {
        m_NameTable.assign(std::max<size_t>(64, 2 * m_NameTable.size()), 0);
        for (size_t i = 0; i < index; ++i)
            _PutName(i);
    }
    _PutName(index);
}

void wxDBTreeListItem::_PutName(size_t index)
{
    const size_t mask = m_NameTable.size() - 1;
    size_t slot = NameHash(m_Children[index]->m_Name) & mask;
    while (m_NameTable[slot] != 0)
        slot = (slot + 1) & mask;
    m_NameTable[slot] = uint32_t(index + 1);
}

int wxDBTreeListItem::AppendChild(wxDBTreeListItem* child)
{
    if (FindChild(child->m_Name))
        return int(m_Children.size()) - 1;  // a sibling has that name
    return _LinkChild(child);
}

int wxDBTreeListItem::_LinkChild(wxDBTreeListItem* child)
{
    child->m_Parent = this;
    child->m_IndexInParent = m_Children.size();
    m_Children.push_back(child);
    _IndexName(m_Children.size() - 1);
    if (m_Expanded)
        _AddVisibleLines(child->m_VisibleLines);
    return int(m_Children.size()) - 1;
}

String wxDBTreeListItem::GetDisplayText(wxDBTreeListCtrl* ctrl, int column) const
{
    return m_TextFunc ? m_TextFunc(ctrl, this, column) : String();
}

wxColour wxDBTreeListItem::GetColor(wxDBTreeListCtrl* ctrl) const
{
    return m_ColorFunc ? m_ColorFunc(ctrl, this) : wxsGetColor(COLOR_FIELD);
}

bool wxDBTreeListItem::IsVisible(wxDBTreeListCtrl*) const
{
    for (const wxDBTreeListItem* item = m_Parent; item; item = item->m_Parent)
        if (!item->m_Expanded)
            return false;
    return true;
}

wxDBTreeListItem* wxDBTreeListItem::ItemAtIndex(size_t index) const
{
    // Every item walked into is expanded, so its children's lines add up to
    // its own count less one: the search among siblings can start from
    // whichever end is nearer, which keeps long sibling lists cheap.
    const wxDBTreeListItem* item = this;
    while (true)
    {
        const size_t total = size_t(std::max(item->m_VisibleLines - 1, 0));
        if (index >= total)
            return nullptr;
        const wxDBTreeListItem* inside = nullptr;
        if (index < total / 2)
        {
            size_t position = 0;
            for (const wxDBTreeListItem* child : item->m_Children)
            {
                const size_t lines = size_t(child->m_VisibleLines);
                if (index < position + lines)
                {
                    inside = child;
                    index -= position;
                    break;
                }
                position += lines;
            }
        }
        else
        {
            size_t end = total;
            for (auto it = item->m_Children.rbegin(); it != item->m_Children.rend(); ++it)
            {
                const size_t start = end - size_t((*it)->m_VisibleLines);
                if (index >= start)
                {
                    inside = *it;
                    index -= start;
                    break;
                }
                end = start;
            }
        }
        if (!inside)
            return nullptr;
        if (index == 0)
            return const_cast<wxDBTreeListItem*>(inside);
        index -= 1;
        item = inside;
    }
}

int wxDBTreeListItem::IndexOfItem(const wxDBTreeListItem* child) const
{
    const size_t index = std::min(child->m_IndexInParent, m_Children.size());
    int rows = 0;
    // An expanded item's count holds all its children's lines, so the rows
    // after child tell the rows before it: count from the nearer end.
    if (m_Expanded && index > m_Children.size() / 2)
    {
        for (size_t i = index; i < m_Children.size(); ++i)
            rows += m_Children[i]->m_VisibleLines;
        return m_VisibleLines - 1 - rows;
    }
    for (size_t i = 0; i < index; ++i)
        rows += m_Children[i]->m_VisibleLines;
    return rows;
}

wxDBTreeListItem* wxDBTreeListItem::PreviousVisible() const
{
    if (!m_Parent)
        return nullptr;
    if (m_IndexInParent == 0)
        return m_Parent->m_Parent ? m_Parent : nullptr;  // the root has no row
    // The last visible descendant of the previous sibling.
    wxDBTreeListItem* item = m_Parent->m_Children[m_IndexInParent - 1];
    while (item->m_Expanded && !item->m_Children.empty())
        item = item->m_Children.back();
    return item;
}

wxDBTreeListItem* wxDBTreeListItem::NextVisible() const
{
    if (m_Expanded && !m_Children.empty())
        return m_Children.front();
    for (const wxDBTreeListItem* item = this; item->m_Parent; item = item->m_Parent)
    {
        const std::vector<wxDBTreeListItem*>& siblings = item->m_Parent->m_Children;
        if (item->m_IndexInParent + 1 < siblings.size())
            return siblings[item->m_IndexInParent + 1];
    }
    return nullptr;
}

void wxDBTreeListItem::Clear()
{
    if (m_Expanded)
        _AddVisibleLines(1 - m_VisibleLines);
    m_Children.clear();
    m_NameTable.clear();
}

int wxDBTreeListItem::GetDepth() const
{
    int depth = -1;  // the root is not an ancestor that counts
    for (const wxDBTreeListItem* item = m_Parent; item; item = item->m_Parent)
        ++depth;
    return std::max(depth, 0);
}

// --- wxDBTreeListCtrl -------------------------------------------------------

// clang-format off
wxBEGIN_EVENT_TABLE(wxDBTreeListCtrl, wxDBListCtrl)
    EVT_LIST_ITEM_SELECTED(wxID_ANY, wxDBTreeListCtrl::OnItemSelected)
    EVT_LIST_ITEM_DESELECTED(wxID_ANY, wxDBTreeListCtrl::OnItemDeselected)
    EVT_LIST_ITEM_ACTIVATED(wxID_ANY, wxDBTreeListCtrl::OnItemSelected)
wxEND_EVENT_TABLE()
// clang-format on

wxDBTreeListCtrl::wxDBTreeListCtrl(wxWindow* parent, int id, long style, long rowSpacing)
    : wxDBListCtrl(parent, id, style, rowSpacing)
{
    TreeResources::Get();
    m_Body->Bind(wxEVT_LEFT_DOWN, &wxDBTreeListCtrl::OnBodyLeftDown, this);
}

wxDBTreeListCtrl::~wxDBTreeListCtrl()
{
    // The children call back into this object while they go.
    DestroyChildren();
}

int wxDBTreeListCtrl::IndentMargin()
{
    return k_ButtonGap + TreeResources::Get().m_Collapsed.GetWidth();
}

void wxDBTreeListCtrl::FlushLastFound()
{
    m_LastFoundRow = -1;
    m_LastFoundItem = nullptr;
    m_AppendParent = nullptr;
}

wxDBTreeListItem* _TreeItemStore::Add(const wxDBTreeListItem& item)
{
    // Blocks double from 16 items up to 4096: small trees stay small.
    if (m_Blocks.empty() || m_Blocks.back().size() == m_Blocks.back().capacity())
    {
        const size_t items = m_Blocks.empty() ? 16 : std::min<size_t>(4096, 2 * m_Blocks.back().capacity());
        m_Blocks.emplace_back();
        m_Blocks.back().reserve(items);
    }
    m_Blocks.back().push_back(item);
    return &m_Blocks.back().back();
}

wxDBTreeListItem* wxDBTreeListCtrl::InsertRawItem(const wxDBTreeListItem& item)
{
    return m_Items.Add(item);
}

wxDBTreeListItem* wxDBTreeListCtrl::AppendItem(const wxDBTreeListItem& item, bool redraw)
{
    wxDBTreeListItem* parent = item.GetParent() ? item.GetParent() : &m_Root;
    // A name that a sibling has already would link nothing while its rows
    // were announced: the item is refused instead.
    if (parent->FindChild(item.m_Name))
        return nullptr;
    wxDBTreeListItem* stored = InsertRawItem(item);
    parent->_LinkChild(stored);
    InsertOrRedraw(parent, stored, redraw, -1);
    return stored;
}

void wxDBTreeListCtrl::InsertOrRedraw(wxDBTreeListItem* parent, wxDBTreeListItem* item, bool redraw, int row)
{
    // The rows below the parent change; the parent's own row does not.
    m_LastFoundRow = -1;
    m_LastFoundItem = nullptr;
    if (!m_ShowAll)
        for (const wxDBTreeListItem* ancestor = parent; ancestor; ancestor = ancestor->GetParent())
            if (!ancestor->IsExpanded())
            {
                // No rows come: the nearest shown item may gain its button.
                if (redraw)
                    RedrawItem(_AppendRow(_FirstShown(parent)));
                return;
            }
    int position = row;
    if (position < 0)  // after the parent's row and its earlier visible descendants
        position = _AppendRow(parent) + 1 + parent->IndexOfItem(item);
    else
        m_AppendParent = nullptr;  // rows placed by the caller may lie above it
    Insert(position, size_t(item->GetVisibleLineCount()), redraw);
}

int wxDBTreeListCtrl::RowWithItem(const wxDBTreeListItem* item) const
{
    if (!item || item == &m_Root)
        return -1;
    int row = -1;
    for (const wxDBTreeListItem* link = item; link && link->GetParent(); link = link->GetParent())
    {
        const wxDBTreeListItem* parent = link->GetParent();
        if (!parent->IsExpanded())
            return -1;  // not shown
        row += 1 + parent->IndexOfItem(link);
    }
    return row;
}

int wxDBTreeListCtrl::FirstVisibleParent(const wxDBTreeListItem* item) const
{
    return item ? RowWithItem(_FirstShown(item)) : -1;
}

const wxDBTreeListItem* wxDBTreeListCtrl::_FirstShown(const wxDBTreeListItem* item)
{
    // The highest item below the topmost collapsed ancestor, or the item
    // itself when nothing above it is collapsed.
    const wxDBTreeListItem* shown = item;
    for (const wxDBTreeListItem* link = item; link->GetParent(); link = link->GetParent())
        if (!link->GetParent()->IsExpanded())
            shown = link->GetParent();
    return shown;
}

int wxDBTreeListCtrl::_AppendRow(const wxDBTreeListItem* item)
{
    // Appends come in runs under one parent and add rows only below it: its
    // row is looked up once per run.
    if (item != m_AppendParent)
    {
        m_AppendParentRow = RowWithItem(item);
        m_AppendParent = item;
    }
    return m_AppendParentRow;
}

wxDBTreeListItem* wxDBTreeListCtrl::ItemAtRow(int row)
{
    if (row < 0)
        return nullptr;
    if (row == m_LastFoundRow)
        return m_LastFoundItem;
    // A repaint asks for the rows in order, a removal in reverse order: the
    // neighbouring row is one step away.
    if (row == m_LastFoundRow + 1 && m_LastFoundItem)
        m_LastFoundItem = m_LastFoundItem->NextVisible();
    else if (row == m_LastFoundRow - 1 && m_LastFoundItem)
        m_LastFoundItem = m_LastFoundItem->PreviousVisible();
    else
        m_LastFoundItem = m_Root.ItemAtIndex(size_t(row));
    m_LastFoundRow = row;
    return m_LastFoundItem;
}

void wxDBTreeListCtrl::_Recount(bool redraw)
{
    // Children come after their parents in the storage: counting backwards
    // finishes every item before its parent adds it.
    m_Items.ForEach([](wxDBTreeListItem& item) { item.m_VisibleLines = 1; });
    m_Root.m_VisibleLines = 1;
    m_Items.ForEachBackwards([](wxDBTreeListItem& item) {
        wxDBTreeListItem* parent = item.GetParent();
        if (parent && parent->IsExpanded() && parent->FindChild(item.m_Name) == &item)
            parent->m_VisibleLines += item.m_VisibleLines;
    });
    FlushLastFound();
    SetRowCount(m_Root.m_VisibleLines - 1);
    if (redraw)
        Redraw();
}

void wxDBTreeListCtrl::ExpandAll()
{
    m_Items.ForEach([](wxDBTreeListItem& item) { item.m_Expanded = true; });
    _Recount(true);
}

void wxDBTreeListCtrl::ContractAll()
{
    m_Items.ForEach([](wxDBTreeListItem& item) { item.m_Expanded = false; });
    _Recount(true);
}

void wxDBTreeListCtrl::PushExpandState()
{
    std::vector<String> expanded;
    m_Items.ForEach([&expanded](const wxDBTreeListItem& item) {
        if (item.HasChildren() && item.IsExpanded())
            expanded.push_back(item.m_Name);
    });
    m_ExpandStack.push(std::move(expanded));
}

void wxDBTreeListCtrl::PopExpandState(bool redraw)
{
    if (m_ExpandStack.empty())
        return;
    std::vector<String>& names = m_ExpandStack.top();
    std::sort(names.begin(), names.end());
    m_Items.ForEach([&names](wxDBTreeListItem& item) {
        if (item.HasChildren())
            item.m_Expanded = std::binary_search(names.begin(), names.end(), item.m_Name);
    });
    m_ExpandStack.pop();
    _Recount(redraw);
}

String wxDBTreeListCtrl::TryGetDisplayText(const wxDBTreeListItem* item, int column)
{
    if (!item)
        return String();
    try
    {
        return item->GetDisplayText(this, column);
    }
    catch (Exception* exception)
    {
        delete exception;
    }
    catch (...)
    {
    }
    // A failing callback costs its cell, never the painting of the list.
    return String();
}

bool wxDBTreeListCtrl::IsRowSelected(int row)
{
    if (m_SelectedItems.empty())
        return false;  // spares the row lookups of a collapse that asks for every row it removes
    wxDBTreeListItem* item = ItemAtRow(row);
    return item && m_SelectedItems.count(item) > 0;
}

xolib::vector<int> wxDBTreeListCtrl::GetSelection()
{
    // A selected item that a collapse hid has no row: reporting -1 would have
    // the list deselect whatever row a point at the top falls on.
    xolib::vector<int> rows;
    for (const wxDBTreeListItem* item : m_SelectedItems)
        if (const int row = RowWithItem(item); row >= 0)
            rows.push_back(row);
    return rows;
}

String wxDBTreeListCtrl::GetDisplayText(int row, int column)
{
    return TryGetDisplayText(ItemAtRow(row), column);
}

wxColour wxDBTreeListCtrl::GetRowBGColor(int row)
{
    const wxColour plain = wxDBListCtrl::GetRowBGColor(row);
    const wxDBTreeListItem* item = ItemAtRow(row);
    switch (item ? item->GetDepth() : 0)
    {
    case 1: return AdjustColour(plain, 3, 10, 12);
    case 2: return AdjustColour(plain, 12, 10, 3);
    default: return plain;
    }
}

void wxDBTreeListCtrl::DrawCell(wxDC& dc, int row, int column, wxRect rect, bool hover)
{
    const wxDBTreeListItem* item = column == 0 ? ItemAtRow(row) : nullptr;
    if (!item)
    {
        wxDBListCtrl::DrawCell(dc, row, column, rect, hover);
        return;
    }
    const bool right = GetColumnAlign(0) == Align::Right;
    const int unit = right ? IndentMargin() / 2 : IndentMargin();
    const int indent = unit * item->GetDepth();
    rect.width -= indent;
    if (!right)
        rect.x += indent;
    if (item->HasChildren())
    {
        const TreeResources& resources = TreeResources::Get();
        const wxBitmap& button = item->IsExpanded() ? resources.m_Expanded : resources.m_Collapsed;
        dc.DrawBitmap(button, rect.x + k_ButtonGap / 2, rect.y + (rect.height - button.GetHeight()) / 2, true);
        rect.width -= unit;
        rect.x += unit;
    }
    wxDBListCtrl::DrawCell(dc, row, column, rect, hover);
}

const wxCursor* wxDBTreeListCtrl::CustomizeCursor(int row, int column, int x, int y)
{
    const wxDBTreeListItem* item = column == 0 ? ItemAtRow(row) : nullptr;
    if (item && item->HasChildren())
    {
        const wxSize button = TreeResources::Get().m_Collapsed.GetSize();
        const int left = item->GetDepth() * IndentMargin() + k_ButtonGap / 2;
        const int top = (GetRowHeight() - button.y) / 2;
        if (x >= left && x < left + button.x && y >= top && y < top + button.y)
            return &TreeResources::Get().m_ButtonCursor;
    }
    return wxSTANDARD_CURSOR;
}

void wxDBTreeListCtrl::DoClear()
{
    m_LastSelected = nullptr;
    m_SelectedItems.clear();
    m_Root.Clear();
    m_Items.Clear();
    FlushLastFound();
}

void wxDBTreeListCtrl::OnItemSelected(wxListEvent& event)
{
    const int row = int(event.GetIndex());
    wxDBTreeListItem* item = ItemAtRow(row);
    m_LastSelected = item;
    if (item)
        m_SelectedItems.insert(item);
    const bool onButton = GetCurrentCursor() == &TreeResources::Get().m_ButtonCursor;
    if ((onButton || event.GetEventType() == wxEVT_LIST_ITEM_ACTIVATED) && item && item->HasChildren())
        _Toggle(item, row, event.GetString().Find('A') >= 0);
    RedrawItem(row);
}

void wxDBTreeListCtrl::_Toggle(wxDBTreeListItem* item, int row, bool all)
{
    if (all)
    {
        if (item->IsExpanded())
            ContractAll();
        else
            ExpandAll();
    }
    else if (item->IsExpanded())
    {
        // The rows go while they still show the descendants, so that the
        // selected ones among them are reported, not the items after.
        Remove(row + 1, size_t(item->GetVisibleLineCount() - 1));
        item->Expand(false);
        FlushLastFound();
    }
    else
    {
        item->Expand(true);
        FlushLastFound();
        Insert(row + 1, size_t(item->GetVisibleLineCount() - 1), true);
    }
}

void wxDBTreeListCtrl::OnBodyLeftDown(wxMouseEvent& event)
{
    event.Skip();
    // A click on a row that is already selected keeps the selection and so
    // sends no selection event; its button must still work.
    const int row = m_Body->MouseToLine(event.GetY());
    if (row < 0 || row >= GetItemCount() || !IsRowSelected(row) || GetColumnAt(event.GetX()) != 0)
        return;
    wxDBTreeListItem* item = ItemAtRow(row);
    const wxCursor* cursor =
        CustomizeCursor(row, 0, event.GetX() - GetColumnX(0), event.GetY() - m_Body->LineToMouse(row));
    if (item && item->HasChildren() && cursor == &TreeResources::Get().m_ButtonCursor)
    {
        _Toggle(item, row, event.AltDown());
        RedrawItem(row);
    }
}

void wxDBTreeListCtrl::OnItemDeselected(wxListEvent& event)
{
    const int row = int(event.GetIndex());
    wxDBTreeListItem* item = ItemAtRow(row);
    if (item)
        m_SelectedItems.erase(item);
    RedrawItem(row);
    m_LastSelected = nullptr;
}
