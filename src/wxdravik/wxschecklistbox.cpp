// The check list box.
#include "wxdravik/wxschecklistbox.h"

#include <wx/menu.h>
#include <wx/renderer.h>

wxBEGIN_EVENT_TABLE(wxsCheckListBox, wxScrolled<wxWindow>)
    EVT_LEFT_DOWN(wxsCheckListBox::OnLeftClick)
    EVT_KEY_DOWN(wxsCheckListBox::OnKeyDown)
    EVT_SET_FOCUS(wxsCheckListBox::OnFocus)
    EVT_KILL_FOCUS(wxsCheckListBox::OnFocus)
    EVT_RIGHT_DOWN(wxsCheckListBox::OnRMouse)
    EVT_MENU(wxsCheckListBox::ID_CHECK_ALL, wxsCheckListBox::OnAll)
    EVT_MENU(wxsCheckListBox::ID_CHECK_NONE, wxsCheckListBox::OnNone)
    EVT_SYS_COLOUR_CHANGED(wxsCheckListBox::OnSysColorChange)
wxEND_EVENT_TABLE()

wxsCheckListBox::wxsCheckListBox(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, int n,
                                 const wxString choices[], long style, const wxValidator& validator,
                                 const wxString& name)
    : m_itemHeight(0), m_selection(-1)
{
    _Create(parent, id, pos, size, style, validator, name);
    for (int i = 0; i < n && choices; ++i)
        Append(choices[i]);
}

wxsCheckListBox::wxsCheckListBox(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                                 const wxArrayString& choices, long style, const wxValidator& validator,
                                 const wxString& name)
    : m_itemHeight(0), m_selection(-1)
{
    _Create(parent, id, pos, size, style, validator, name);
    if (!choices.empty())
        Append(choices);
}

void wxsCheckListBox::_Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                              const wxValidator& validator, const wxString& name)
{
    Create(parent, id, pos, size, (style & ~wxHSCROLL) | wxVSCROLL, name);
    Manage(this);
    SetValidator(validator);
    SetFGColor(COLOR_TEXT, 0);
    SetBGColor(COLOR_FIELD, 0);
    // Disabled, the list fades into the window background like a disabled field.
    SetDisabledFGColor(COLOR_TEXT_DISABLED, 0);
    SetDisabledBGColor(COLOR_BACKGROUND, 0);
    m_itemHeight = wxRendererNative::Get().GetCheckBoxSize(this).y + 4;
    int xUnit = 0;
    int yUnit = 0;
    GetScrollPixelsPerUnit(&xUnit, &yUnit);
    SetScrollRate(xUnit, m_itemHeight);
}

// ---------------------------------------------------------------- checking

void wxsCheckListBox::_SendEvent(int value)
{
    wxCommandEvent event(wxEVT_CHECKLISTBOX, GetId());
    event.SetInt(value);
    event.SetEventObject(this);
    HandleWindowEvent(event);
}

void wxsCheckListBox::Check(unsigned int index, bool check)
{
    m_items[index].checked = check;
    _SendEvent(check ? 1 : 0);
}

void wxsCheckListBox::Toggle(unsigned int index)
{
    Item& item = m_items[index];
    item.checked = !item.checked;
    _SendEvent(item.checked ? 1 : 0);
}

bool wxsCheckListBox::IsChecked(unsigned int index) const
{
    return index < m_items.size() && m_items[index].checked;
}

bool wxsCheckListBox::IsAnyChecked() const
{
    for (const Item& item : m_items)
        if (item.checked)
            return true;
    return false;
}

unsigned int wxsCheckListBox::GetCheckedItems(wxArrayInt& checked) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].checked)
            checked.push_back(int(i));
    return unsigned(checked.size());
}

void wxsCheckListBox::CheckAll()
{
    for (unsigned int i = 0; i < m_items.size(); ++i)
        Check(i, true);
    Refresh();
    _SendEvent(-1);
}

void wxsCheckListBox::CheckNone()
{
    for (unsigned int i = 0; i < m_items.size(); ++i)
        Check(i, false);
    Refresh();
    _SendEvent(-1);
}

// ---------------------------------------------------------------- item container

unsigned int wxsCheckListBox::GetCount() const
{
    return unsigned(m_items.size());
}

wxString wxsCheckListBox::GetString(unsigned int index) const
{
    return index < m_items.size() ? m_items[index].text : wxString();
}

void wxsCheckListBox::SetString(unsigned int index, const wxString& text)
{
    if (index >= m_items.size())
        return;
    m_items[index].text = text;
    Refresh();
}

int wxsCheckListBox::GetSelection() const
{
    return m_selection;
}

void wxsCheckListBox::SetSelection(int index)
{
    m_selection = index;
    Refresh();
}

int wxsCheckListBox::DoInsertItems(const wxArrayStringsAdapter& items, unsigned int pos, void** clientData,
                                   wxClientDataType type)
{
    int last = wxNOT_FOUND;
    for (unsigned int i = 0; i < items.GetCount(); ++i, ++pos)
    {
        const Item item{items[i], false, nullptr};
        if (pos < m_items.size())
        {
            m_items.insert(m_items.begin() + pos, item);
            last = int(pos);
        }
        else
        {
            m_items.push_back(item);
            last = int(m_items.size()) - 1;
        }
        // Through the container, which keeps track of the kind of data.
        if (clientData)
            AssignNewItemClientData(unsigned(last), clientData, i, type);
    }
    _UpdateVirtualHeight();
    return last;
}

void wxsCheckListBox::DoDeleteOneItem(unsigned int index)
{
    if (index >= m_items.size())
        return;
    m_items.erase(m_items.begin() + index);
    _UpdateVirtualHeight();
}

void wxsCheckListBox::DoClear()
{
    m_items.clear();
    _UpdateVirtualHeight();
}

void* wxsCheckListBox::DoGetItemClientData(unsigned int index) const
{
    return index < m_items.size() ? m_items[index].clientData : nullptr;
}

void wxsCheckListBox::DoSetItemClientData(unsigned int index, void* clientData)
{
    if (index < m_items.size())
        m_items[index].clientData = clientData;
}

void wxsCheckListBox::_UpdateVirtualHeight()
{
    SetVirtualSize(GetVirtualSize().x, int(m_items.size()) * m_itemHeight);
    Refresh();
}

// ---------------------------------------------------------------- drawing

void wxsCheckListBox::OnDraw(wxDC& dc)
{
    wxRendererNative& renderer = wxRendererNative::Get();
    const int h = m_itemHeight;
    const int width = GetClientSize().x;
    // The state of the moment, parents included: the window's own colours
    // catch up with a parent's change only at the next idle time.
    const bool enabled = IsEnabled();
    const wxColour background = wxsGetColor(COLOR_BACKGROUND);
    const wxColour highlight = enabled ? wxsGetColor(COLOR_HIGHLIGHT)
                                       : BlendColour(wxsGetColor(COLOR_HIGHLIGHT), background, 0.3);
    const wxColour selectedText = enabled ? *wxWHITE : BlendColour(*wxWHITE, background, 0.3);
    const wxColour foreground = CurrentFGColour();
    dc.SetFont(GetFont());
    dc.SetTextForeground(foreground);
    dc.SetTextBackground(GetBackgroundColour());
    for (size_t i = 0; i < m_items.size(); ++i)
    {
        const int y = int(i) * h;
        int flags = m_items[i].checked ? int(wxCONTROL_CHECKED) : 0;
        if (!enabled)
            flags |= wxCONTROL_DISABLED;
        renderer.DrawCheckBox(this, dc, wxRect(1, y + 1, h - 2, h - 2), flags);
        const bool selected = int(i) == m_selection;
        if (selected)
        {
            dc.SetTextForeground(selectedText);
            dc.SetTextBackground(highlight);
            const wxRect row(h, y + 1, width - h, h - 2);
            dc.SetPen(wxPen(highlight));
            dc.SetBrush(wxBrush(highlight));
            dc.DrawRectangle(row);
            if (HasFocus())
                renderer.DrawFocusRect(this, dc, row, wxCONTROL_FOCUSED);
        }
        dc.DrawText(m_items[i].text, h + 2, y);
        if (selected)
        {
            dc.SetTextForeground(foreground);
            dc.SetTextBackground(GetBackgroundColour());
        }
    }
}

void wxsCheckListBox::DoEnable(bool enable)
{
    wxWindowWithItems<wxScrolled<wxWindow>, wxItemContainer>::DoEnable(enable);
    RefreshColors();
    Refresh();
}

// ---------------------------------------------------------------- input

void wxsCheckListBox::OnLeftClick(wxMouseEvent& event)
{
    int firstX = 0;
    int firstRow = 0;
    GetViewStart(&firstX, &firstRow);
    const int row = event.GetY() / m_itemHeight + firstRow;
    if (row < 0 || row >= int(m_items.size()))
        return;
    SetFocus();
    // A click that could not take the focus (a handler elsewhere kept it)
    // changes nothing; with no focus anywhere in the program (its window not
    // active yet), the click still counts.
    const wxWindow* focus = FindFocus();
    if (focus != this && focus != nullptr)
        return;
    if (event.GetX() < m_itemHeight)
        Toggle(unsigned(row));
    SetSelection(row);
}

void wxsCheckListBox::OnKeyDown(wxKeyEvent& event)
{
    // Tab and shortcuts pass on: the list must not trap the keyboard.
    if (event.GetKeyCode() == WXK_TAB || event.ControlDown() || event.AltDown() || event.MetaDown())
    {
        event.Skip();
        return;
    }
    const int sel = GetSelection();
    const bool onItem = sel >= 0 && sel < int(m_items.size());
    const int code = event.GetKeyCode();
    const int unicode = event.GetUnicodeKey();
    if (code == WXK_UP)
    {
        if (sel > 0)
            SetSelection(sel - 1);
    }
    else if (code == WXK_DOWN)
    {
        if (sel < 0)
            SetSelection(0);
        else if (sel < int(m_items.size()) - 1)
            SetSelection(sel + 1);
    }
    else if (code == WXK_SPACE)
    {
        if (onItem)
            Toggle(unsigned(sel));
    }
    // On most layouts "+" is a shifted key, so its character is asked too.
    else if (code == '+' || unicode == '+' || code == WXK_NUMPAD_ADD)
    {
        if (onItem)
            Check(unsigned(sel), true);
    }
    else if (code == '-' || unicode == '-' || code == WXK_NUMPAD_SUBTRACT)
    {
        if (onItem)
            Check(unsigned(sel), false);
    }
    Refresh();
}

void wxsCheckListBox::OnFocus(wxFocusEvent& event)
{
    Refresh();
    event.Skip();
}

void wxsCheckListBox::OnRMouse(wxMouseEvent& event)
{
    wxMenu menu;
    menu.Append(ID_CHECK_ALL, wxGetTranslation("Check& All"));
    menu.Append(ID_CHECK_NONE, wxGetTranslation("Check& None"));
    PopupMenu(&menu, event.GetPosition());
}

void wxsCheckListBox::OnAll(wxCommandEvent&)
{
    CheckAll();
}

void wxsCheckListBox::OnNone(wxCommandEvent&)
{
    CheckNone();
}

void wxsCheckListBox::OnSysColorChange(wxSysColourChangedEvent& event)
{
    event.Skip();
    SetFGColor(COLOR_TEXT, 0);
    SetBGColor(COLOR_FIELD, 0);
    Refresh();
}
