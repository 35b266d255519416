#include "wxdravik/wxslistbox.h"

#include <algorithm>

#include <wx/listbox.h>

#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxstextctrl.h"
#include "xolib/log.h"

namespace
{
const long k_ListNoHeader = 0x0200;

long ListStyleForListBox(long style)
{
    if (style & wxLB_SINGLE)
        style = (style & ~wxLB_SINGLE) | wxLC_SINGLE_SEL;
    return style | k_ListNoHeader;
}
}  // namespace

// wxsListBox

wxsListBox::wxsListBox(wxWindow* parent, int id, const wxArrayString& choices, long style)
    : wxDBListCtrl(parent, id, ListStyleForListBox(style), 0)
{
    AddColumn(0, String(), -1, Align::Left);
    m_Entries.resize(choices.size());
    for (size_t i = 0; i < choices.size(); ++i)
        m_Entries[i].m_Text = choices[i];
    SetRowCount(int(m_Entries.size()));

    Bind(wxEVT_SIZE, &wxsListBox::Sized, this);
    Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent& event) { ListCtrlEventToListBoxEvent(event, Selected); });
    Bind(wxEVT_LIST_ITEM_DESELECTED,
         [this](wxListEvent& event) { ListCtrlEventToListBoxEvent(event, Deselected); });
    Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& event) { ListCtrlEventToListBoxEvent(event, Activated); });
}

wxsListBox::~wxsListBox() = default;

int wxsListBox::Append(const wxString& text)
{
    return Append(text, nullptr);
}

int wxsListBox::Append(const wxString& text, wxClientData* data)
{
    Entry entry;
    entry.m_Text = text;
    entry.m_Data.reset(data);
    auto where = m_Entries.end();
    if (m_Style & wxLB_SORT)
        where = std::lower_bound(m_Entries.begin(), m_Entries.end(), text,
                                 [](const Entry& e, const wxString& t) { return e.m_Text.Cmp(t) < 0; });
    const int index = int(where - m_Entries.begin());
    m_Entries.insert(where, std::move(entry));
    Insert(index);
    return index;
}

void wxsListBox::Delete(unsigned int n)
{
    if (n >= m_Entries.size())
        return;
    // The entry still exists while the list reports its deselection.
    Remove(int(n));
    m_Entries.erase(m_Entries.begin() + n);
}

wxString wxsListBox::GetString(unsigned int n) const
{
    return n < m_Entries.size() ? m_Entries[n].m_Text : wxString();
}

void wxsListBox::SetString(unsigned int n, const wxString& text)
{
    if (n >= m_Entries.size())
        return;
    m_Entries[n].m_Text = text;
    RedrawItem(int(n));
}

int wxsListBox::FindString(const wxString& text) const
{
    for (size_t i = 0; i < m_Entries.size(); ++i)
        if (m_Entries[i].m_Text.IsSameAs(text))
            return int(i);
    return -1;
}

wxArrayString wxsListBox::GetStrings() const
{
    wxArrayString texts;
    texts.reserve(m_Entries.size());
    for (const Entry& entry : m_Entries)
        texts.push_back(entry.m_Text);
    return texts;
}

wxClientData* wxsListBox::GetClientObject(unsigned int n) const
{
    return n < m_Entries.size() ? m_Entries[n].m_Data.get() : nullptr;
}

xolib::vector<int> wxsListBox::GetSelection()
{
    xolib::vector<int> selected;
    for (size_t i = 0; i < m_Entries.size(); ++i)
        if (m_Entries[i].m_Selected)
            selected.push_back(int(i));
    return selected;
}

int wxsListBox::GetSingleSelection() const
{
    for (size_t i = 0; i < m_Entries.size(); ++i)
        if (m_Entries[i].m_Selected)
            return int(i);
    return -1;
}

wxString wxsListBox::GetStringSelection() const
{
    const int n = GetSingleSelection();
    return n >= 0 ? m_Entries[n].m_Text : wxString();
}

void wxsListBox::SetSelection(int n)
{
    _SelectQuietly(n);
}

bool wxsListBox::SetStringSelection(const char* text)
{
    const wxString wanted = wxString::FromUTF8(text ? text : "");
    for (size_t i = 0; i < m_Entries.size(); ++i)
        if (m_Entries[i].m_Text.Cmp(wanted) == 0)
        {
            _SelectQuietly(int(i));
            return true;
        }
    return false;
}

void wxsListBox::_SelectQuietly(int n)
{
    // Programmatic selection must not look like the user's.
    const bool wasQuiet = m_Quiet;
    m_Quiet = true;
    Select(n);
    m_Quiet = wasQuiet;
    Redraw();
}

bool wxsListBox::IsRowSelected(int row)
{
    return _Exists(row) && m_Entries[row].m_Selected;
}

String wxsListBox::GetDisplayText(int row, int)
{
    return wxsFromWx(GetString(unsigned(row)));
}

void wxsListBox::DoClear()
{
    m_Entries.clear();
    Redraw();
}

void wxsListBox::CommitCellEdit()
{
    wxsTextCtrl* editor = GetEditCtrl();
    if (editor == nullptr || !_Exists(m_EditRow))
        return;
    m_Entries[m_EditRow].m_Text = editor->GetValue();
    RedrawItem(m_EditRow);
}

void wxsListBox::Sized(wxSizeEvent& event)
{
    event.Skip();
    if (!m_Columns.empty())
        m_Columns[0].m_Width = event.GetSize().GetWidth();
    Redraw();
}

void wxsListBox::ListCtrlEventToListBoxEvent(wxListEvent& event, EventType type)
{
    const int row = int(event.GetIndex());
    if (type == Activated)
    {
        if (row >= 0 && (m_Style & wxLC_EDIT_LABELS) && _Exists(row))
            EnableEditOverlay(row, 0);
    }
    else if (_Exists(row))
    {
        m_Entries[row].m_Selected = type == Selected;
    }
    if (m_Quiet)
        return;
    RedrawItem(row);
    wxCommandEvent notification(type == Activated ? wxEVT_LISTBOX_DCLICK : wxEVT_LISTBOX, GetId());
    notification.SetEventObject(this);
    notification.SetInt(type == Deselected ? -1 : row);
    ProcessWindowEvent(notification);
}

// wxsListCtrl

wxBEGIN_EVENT_TABLE(wxsListCtrl, wxDBListCtrl)
    EVT_LIST_ITEM_SELECTED(wxID_ANY, wxsListCtrl::OnItemSelect)
    EVT_LIST_ITEM_DESELECTED(wxID_ANY, wxsListCtrl::OnItemDeselect)
    EVT_LIST_ITEM_ACTIVATED(wxID_ANY, wxsListCtrl::OnItemEdit)
wxEND_EVENT_TABLE()

wxsListCtrl::wxsListCtrl(wxWindow* parent, int id, long style) : wxDBListCtrl(parent, id, style, 0)
{
}

int wxsListCtrl::InsertItem(int pos, const String& text, int image)
{
    pos = std::clamp(pos, 0, int(m_Rows.size()));
    Insert(pos);
    Row row;
    row.m_Cells.resize(GetColumnCount());
    if (!row.m_Cells.empty())
        row.m_Cells[0] = text;
    row.m_Image = image;
    m_Rows.insert(m_Rows.begin() + pos, std::move(row));
    for (int& selected : m_Selected)
        if (selected >= pos)
            ++selected;
    Redraw();
    return pos;
}

void wxsListCtrl::DeleteItem(int row)
{
    if (!_Exists(row))
        return;
    m_Rows.erase(m_Rows.begin() + row);
    Remove(row);
    m_Selected.erase(std::remove(m_Selected.begin(), m_Selected.end(), row), m_Selected.end());
    for (int& selected : m_Selected)
        if (selected > row)
            --selected;
    Redraw();
}

void wxsListCtrl::SetItem(int row, int col, const String& text)
{
    if (!_Exists(row) || col < 0 || col >= int(GetColumnCount()))
        return;
    // Rows inserted before a column was added grow to hold it.
    std::vector<String>& cells = m_Rows[row].m_Cells;
    if (col >= int(cells.size()))
        cells.resize(col + 1);
    cells[col] = text;
    RedrawCell(row, col);
}

void wxsListCtrl::SetItemText(int row, const wxString& text)
{
    if (!_Exists(row) || GetColumnCount() == 0)
        return;
    std::vector<String>& cells = m_Rows[row].m_Cells;
    if (cells.empty())
        cells.resize(1);
    cells[0] = wxsFromWx(text);
    RedrawCell(row, 0);
}

void wxsListCtrl::SetItemFont(int row, const wxFont& font)
{
    if (!_Exists(row))
        return;
    m_Rows[row].m_Font = font;
    RedrawItem(row);
}

void wxsListCtrl::SetItemTextColour(int row, const wxColour& colour)
{
    if (!_Exists(row))
        return;
    m_Rows[row].m_TextColour = colour;
    RedrawItem(row);
}

int wxsListCtrl::GetNextItem(int item, int, int) const
{
    if (m_Selected.empty())
        return -1;
    if (item == -1)
        return m_Selected.front();
    for (int selected : m_Selected)
        if (selected > item)
            return selected;
    return -1;
}

String wxsListCtrl::GetItemText(int row, int col) const
{
    if (!_Exists(row) || col < 0 || col >= int(m_Rows[row].m_Cells.size()))
        return String();
    return m_Rows[row].m_Cells[col];
}

wxFont wxsListCtrl::GetItemFont(int row) const
{
    return _Exists(row) ? m_Rows[row].m_Font : wxFont();
}

wxColour wxsListCtrl::GetItemTextColour(int row) const
{
    return _Exists(row) ? m_Rows[row].m_TextColour : wxColour();
}

int wxsListCtrl::GetItemImage(int row) const
{
    return _Exists(row) ? m_Rows[row].m_Image : -1;
}

bool wxsListCtrl::IsRowSelected(int row)
{
    return std::find(m_Selected.begin(), m_Selected.end(), row) != m_Selected.end();
}

xolib::vector<int> wxsListCtrl::GetSelection()
{
    return xolib::vector<int>(m_Selected.begin(), m_Selected.end());
}

String wxsListCtrl::GetDisplayText(int row, int column)
{
    return GetItemText(row, column);
}

void wxsListCtrl::DoClear()
{
    m_Rows.clear();
    m_Selected.clear();
    Redraw();
}

void wxsListCtrl::CommitCellEdit()
{
    wxsTextCtrl* editor = GetEditCtrl();
    if (editor == nullptr || !_Exists(m_EditRow) || m_EditColumn < 0 || m_EditColumn >= int(GetColumnCount()))
        return;
    std::vector<String>& cells = m_Rows[m_EditRow].m_Cells;
    if (m_EditColumn >= int(cells.size()))
        cells.resize(m_EditColumn + 1);
    cells[m_EditColumn] = wxsFromWx(editor->GetValue());
    RedrawCell(m_EditRow, m_EditColumn);
}

void wxsListCtrl::OnItemSelect(wxListEvent& event)
{
    const int row = int(event.GetIndex());
    if (!_Exists(row))
        return;
    event.Skip();  // the owner sees the selection too
    if (!IsRowSelected(row))
    {
        m_Selected.push_back(row);
        LogStatus(SFormat("Selected item %d", row));
    }
    Redraw();
}

void wxsListCtrl::OnItemDeselect(wxListEvent& event)
{
    const int row = int(event.GetIndex());
    if (!_Exists(row) || !IsRowSelected(row))
        return;
    event.Skip();
    m_Selected.erase(std::remove(m_Selected.begin(), m_Selected.end(), row), m_Selected.end());
    LogStatus(SFormat("Deselected item %d", row));
    Redraw();
}

void wxsListCtrl::OnItemEdit(wxListEvent& event)
{
    event.Skip();
    if (m_Style & wxLC_EDIT_LABELS)
        EnableEditOverlay(int(event.GetIndex()), std::max(0, event.GetColumn()));
}
