// The owner-drawn choice and combo box.
#include "wxdravik/wxschoice.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/dcscreen.h>
#include <wx/renderer.h>
#include <wx/settings.h>

#include "wxdravik/wxsrenderer.h"
#include "wxdravik/wxstextctrl.h"

namespace
{
/// Margins around the widest text in the preferred size.
const int k_TextMarginX = 10;
const int k_TextMarginY = 6;
/// Left indent of item texts, in the list and on the face.
const int k_TextIndent = 6;

/// Adds the borderless look unless the caller chose a border.
long WithBorder(long style)
{
    if (!(style & wxBORDER_MASK))
        style |= wxBORDER_NONE;
    return style;
}

/// The height of a list row: the default font's character height plus 4.
wxCoord MeasureItemHeight()
{
    wxScreenDC dc;
    dc.SetFont(*wxNORMAL_FONT);
    return dc.GetCharHeight() + 4;
}

wxSize TextExtentOfM()
{
    wxScreenDC dc;
    dc.SetFont(*wxNORMAL_FONT);
    return dc.GetTextExtent(wxS("M"));
}

/// A graded fill, the colour in the middle and lightness added at the top
/// and bottom.
void DrawShadedRectangle(wxDC& dc, const wxRect& rect, const wxColour& colour, double lightness,
                         float exponent, bool shrinkTop)
{
    const int step = int(lightness);
    DrawGradedRectangle(dc, rect, colour, AdjustColour(colour, step, step, step), exponent, true, shrinkTop);
}

/// A selected list row: highlight in the middle, darker at the edges.
void DrawSelectedRow(wxDC& dc, const wxRect& rect)
{
    DrawShadedRectangle(dc, rect, wxsGetColor(COLOR_HIGHLIGHT), -25, 2.2f, true);
}

void FillWithoutOutline(wxDC& dc, const wxRect& rect, const wxColour& colour)
{
    const wxPen oldPen = dc.GetPen();
    const wxBrush oldBrush = dc.GetBrush();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(rect);
    dc.SetPen(oldPen);
    dc.SetBrush(oldBrush);
}

int Brightness(const wxColour& colour)
{
    return colour.Red() * 299 + colour.Green() * 587 + colour.Blue() * 114;
}

/// Dark text for the highlight: the field colour of the dark schemes, the
/// text colour of the light ones (their field colour is nearly white).
wxColour SelectedTextColour()
{
    const wxColour field = wxsGetColor(COLOR_FIELD);
    const wxColour text = wxsGetColor(COLOR_TEXT);
    return Brightness(field) <= Brightness(text) ? field : text;
}

/// An item's text, indented and vertically centred: dark on the highlight
/// of a selected row, else in the given colour.
void DrawItemText(wxDC& dc, const wxRect& rect, const wxString& text, int flags, const wxColour& normal)
{
    dc.SetTextForeground((flags & wxODCB_PAINTING_SELECTED) ? SelectedTextColour() : normal);
    const int height = dc.GetCharHeight();
    dc.DrawText(text, rect.x + k_TextIndent, rect.y + (rect.height - height) / 2);
}

/// The list window of an open drop-down shows the lighter background below
/// its rows.
void ColourPopupList(wxComboPopup* popup)
{
    if (!popup || !popup->GetControl())
        return;
    popup->GetControl()->SetBackgroundColour(wxsGetColor(COLOR_BACKGROUND_LIGHT));
}

/// Re-entrancy flags of the size handlers: set while no handler runs.
bool s_ChoiceSizeFlag = true;
bool s_ComboSizeFlag = true;
}

// ---------------------------------------------------------------- client data

_ClientDataComboBox::~_ClientDataComboBox()
{
    // The toolkit's destructor frees only the client objects of its own store.
    if (HasClientObjectData())
        for (void* data : m_ClientData)
            delete static_cast<wxClientData*>(data);
}

int _ClientDataComboBox::DoInsertItems(const wxArrayStringsAdapter& items, unsigned int pos, void** clientData,
                                       wxClientDataType type)
{
    int last = wxNOT_FOUND;
    for (unsigned int i = 0; i < items.GetCount(); ++i)
    {
        // One at a time: a sorted list decides each item's place itself.
        const wxString text = items[i];
        last = wxOwnerDrawnComboBox::DoInsertItems(wxArrayStringsAdapter(text), pos, nullptr, wxClientData_None);
        const size_t at = std::min(size_t(std::max(last, 0)), m_ClientData.size());
        m_ClientData.insert(m_ClientData.begin() + at, nullptr);
        if (clientData)
            AssignNewItemClientData(unsigned(at), clientData, i, type);
        pos = unsigned(last) + 1;
    }
    InvalidateBestSize();
    return last;
}

void _ClientDataComboBox::DoDeleteOneItem(unsigned int index)
{
    wxOwnerDrawnComboBox::DoDeleteOneItem(index);
    if (index < m_ClientData.size())
        m_ClientData.erase(m_ClientData.begin() + index);
    InvalidateBestSize();
}

void _ClientDataComboBox::DoClear()
{
    wxOwnerDrawnComboBox::DoClear();
    m_ClientData.clear();
    InvalidateBestSize();
}

void _ClientDataComboBox::DoSetItemClientData(unsigned int index, void* clientData)
{
    if (index < m_ClientData.size())
        m_ClientData[index] = clientData;
}

void* _ClientDataComboBox::DoGetItemClientData(unsigned int index) const
{
    return index < m_ClientData.size() ? m_ClientData[index] : nullptr;
}

// ---------------------------------------------------------------- wxsChoice

wxBEGIN_EVENT_TABLE(wxsChoice, _ClientDataComboBox)
    EVT_KEY_DOWN(wxsChoice::OnKeyDown)
    EVT_SIZE(wxsChoice::Size)
    EVT_KILL_FOCUS(wxsChoice::KeepFocus)
wxEND_EVENT_TABLE()

wxsChoice::wxsChoice(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, int n,
                     const wxString choices[], long style, const wxValidator& validator, const wxString& name)
    : _ClientDataComboBox(parent, id, wxEmptyString, pos, size, n, choices, WithBorder(style) | wxCB_READONLY,
                           validator, name),
      m_keepFocus(false)
{
    _Init(size);
}

wxsChoice::wxsChoice(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                     const wxArrayString& choices, long style, const wxValidator& validator, const wxString& name)
    : _ClientDataComboBox(parent, id, wxEmptyString, pos, size, choices, WithBorder(style) | wxCB_READONLY,
                           validator, name),
      m_keepFocus(false)
{
    _Init(size);
}

void wxsChoice::_Init(const wxSize& size)
{
    // The toolkit measured the control before this class could answer.
    InvalidateBestSize();
    SetInitialSize(size);
    Bind(wxEVT_COMBOBOX_CLOSEUP, &wxsChoice::ClosedUp, this);
    Manage(this);
    SetFGColor(COLOR_TEXT, 0);
    SetBGColor(COLOR_BACKGROUND_LIGHT, 0);
}

void wxsChoice::Popup()
{
    m_keepFocus = true;
    _ClientDataComboBox::Popup();
}

void wxsChoice::Dismiss()
{
    m_keepFocus = false;
    _ClientDataComboBox::Dismiss();
}

void wxsChoice::HidePopup(bool generateEvent)
{
    // A pick in the list closes it without going through Dismiss; the guard
    // must not outlive the list, or focus loss would never be reported again.
    // (The toolkit also calls this for a list that is not shown yet, while it
    // builds it on the way to opening it.)
    if (!IsPopupWindowState(Hidden))
        m_keepFocus = false;
    _ClientDataComboBox::HidePopup(generateEvent);
}

void wxsChoice::ClosedUp(wxCommandEvent& event)
{
    // A click outside closes the list without HidePopup.
    event.Skip();
    m_keepFocus = false;
}

wxString wxsChoice::GetStringSelection() const
{
    const int selection = GetSelection();
    return selection == wxNOT_FOUND ? wxString() : GetString(selection);
}

void wxsChoice::DoShowPopup(const wxRect& rect, int flags)
{
    ColourPopupList(GetPopupControl());
    wxOwnerDrawnComboBox::DoShowPopup(rect, flags);
}

void wxsChoice::OnDrawBackground(wxDC& dc, const wxRect& rect, int, int flags) const
{
    if (flags & wxODCB_PAINTING_CONTROL)
    {
        wxRect face(wxPoint(0, 0), GetClientSize());
        // A control partly scrolled out of its parent is painted only where
        // the parent shows it.
        if (const wxWindow* parent = GetParent())
        {
            const wxPoint at = GetPosition();
            face.Intersect(wxRect(wxPoint(-at.x, -at.y), parent->GetClientSize()));
        }
        dc.DestroyClippingRegion();
        dc.SetClippingRegion(face);
        // The painting flag doubles as the renderer's disabled bit, so the
        // face is always drawn faded towards the background.
        int rendererFlags = flags;
        if (!IsPopupWindowState(Hidden))
            rendererFlags |= wxCONTROL_SPECIAL;
        wxRendererNative& renderer = wxRendererNative::Get();
        const wxRect whole(wxPoint(0, 0), GetClientSize());
        renderer.DrawChoice(const_cast<wxsChoice*>(this), dc, whole, rendererFlags);
        if (HasFocus() || (flags & wxODCB_PAINTING_SELECTED))
            renderer.DrawFocusRect(const_cast<wxsChoice*>(this), dc, wxRect(whole).Deflate(2), wxCONTROL_FOCUSED);
    }
    else if (flags & wxODCB_PAINTING_SELECTED)
    {
        DrawSelectedRow(dc, rect);
    }
    else
    {
        FillWithoutOutline(dc, rect, wxsGetColor(COLOR_BACKGROUND_LIGHT));
    }
}

void wxsChoice::OnDrawItem(wxDC& dc, const wxRect& rect, int item, int flags) const
{
    if (item == wxNOT_FOUND)
        return;
    // The face keeps its colours when disabled, so only its text tells.
    const bool disabledFace = (flags & wxODCB_PAINTING_CONTROL) && !IsEnabled();
    DrawItemText(dc, rect, GetString(item), flags, wxsGetColor(disabledFace ? COLOR_TEXT_DISABLED : COLOR_TEXT));
}

wxCoord wxsChoice::OnMeasureItem(size_t) const
{
    static const wxCoord height = MeasureItemHeight();
    return height;
}

wxSize wxsChoice::DoGetBestSize() const
{
    if (GetCount() == 0)
        return TextExtentOfM() + wxSize(k_TextMarginX, k_TextMarginY);
    wxScreenDC dc;
    dc.SetFont(*wxNORMAL_FONT);
    wxSize largest(0, 0);
    for (unsigned int i = 0; i < GetCount(); ++i)
    {
        const wxSize extent = dc.GetTextExtent(GetString(i));
        largest.x = std::max(largest.x, extent.x);
        largest.y = std::max(largest.y, extent.y);
    }
    return largest + wxSize(k_TextMarginX, k_TextMarginY);
}

wxSize wxsChoice::GetMinClientSize() const
{
    // The static's initialisation is safe against concurrent first use.
    static const wxSize size = TextExtentOfM() + wxSize(k_TextMarginX, k_TextMarginY);
    return size;
}

void wxsChoice::Size(wxSizeEvent& event)
{
    event.Skip();
    if (!s_ChoiceSizeFlag)
        return;
    s_ChoiceSizeFlag = false;
    // The owner-drawn face covers the whole control.
    SetCustomPaintWidth(event.GetSize().x);
    s_ChoiceSizeFlag = true;
}

void wxsChoice::OnKeyDown(wxKeyEvent& event)
{
    const int code = event.GetKeyCode();
    // Arrows, page keys and the like keep their usual meaning, and so do
    // shortcuts: Ctrl+S must reach the window's menu, not pick an "S" item.
    if (code < 32 || code > 126 || event.ControlDown() || event.AltDown() || event.MetaDown())
    {
        event.Skip();
        return;
    }
    const wxChar key = wxChar(wxToupper(code));
    for (unsigned int i = 0; i < GetCount(); ++i)
    {
        const wxString text = GetString(i);
        if (text.empty() || wxChar(wxToupper(text[0])) != key)
            continue;
        SetSelection(int(i));
        wxCommandEvent changed(wxEVT_COMBOBOX, GetId());
        changed.SetInt(int(i));
        changed.SetString(text);
        changed.SetEventObject(this);
        HandleWindowEvent(changed);
        return;
    }
    // No item starts with the key: consumed, nothing changes.
}

void wxsChoice::KeepFocus(wxFocusEvent& event)
{
    // The list taking the focus is not the control losing it.
    if (!m_keepFocus)
        event.Skip();
}

// ---------------------------------------------------------------- wxsComboBox

wxBEGIN_EVENT_TABLE(wxsComboBox, _ClientDataComboBox)
    EVT_PAINT(wxsComboBox::Paint)
    EVT_SIZE(wxsComboBox::Size)
    EVT_SYS_COLOUR_CHANGED(wxsComboBox::OnSysColorChange)
wxEND_EVENT_TABLE()

wxsComboBox::wxsComboBox(wxWindow* parent, wxWindowID id, const wxString& value, const wxPoint& pos,
                         const wxSize& size, int n, const wxString choices[], long style,
                         const wxValidator& validator, const wxString& name)
    : _ClientDataComboBox(parent, id, value, pos, size, n, choices, WithBorder(style), validator, name)
{
    _Init();
}

wxsComboBox::wxsComboBox(wxWindow* parent, wxWindowID id, const wxString& value, const wxPoint& pos,
                         const wxSize& size, const wxArrayString& choices, long style,
                         const wxValidator& validator, const wxString& name)
    : _ClientDataComboBox(parent, id, value, pos, size, choices, WithBorder(style), validator, name)
{
    _Init();
}

void wxsComboBox::_Init()
{
    Manage(this);
    SetFGColor(COLOR_TEXT, 0);
    SetBGColor(COLOR_FIELD, 0);
    CreateColoredTextCtrl();
    // Clicks open the list over the whole painted button.
    SetButtonPosition(GetArrowButtonWidth(), -1, wxRIGHT, 0);
    _PlaceTextField();
}

void wxsComboBox::OnResize()
{
    _ClientDataComboBox::OnResize();
    _PlaceTextField();
}

void wxsComboBox::Paint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    dc.SetFont(GetFont());
    const wxRect face(GetClientSize());
    OnDrawBackground(dc, face, GetSelection(), wxODCB_PAINTING_CONTROL);
    if (m_text)
        return;
    // Read-only: the selected item on the face, left of the button.
    wxRect text = face;
    text.width = std::max(0, text.width - GetArrowButtonWidth());
    dc.SetClippingRegion(text);
    OnDrawItem(dc, text, GetSelection(), wxODCB_PAINTING_CONTROL);
}

void wxsComboBox::CreateColoredTextCtrl()
{
    if (HasFlag(wxCB_READONLY))
        return;
    const wxString value = GetValue();
    wxWindow* const old = m_text;
    if (m_text)
    {
        m_text->Destroy();
        m_text = nullptr;
    }
    long style = m_textCtrlStyle;
    if (HasFlag(wxTE_PROCESS_ENTER))
        style |= wxTE_PROCESS_ENTER;
    // A child of the combo box, which destroys it with itself.
    auto* field = new wxsTextCtrl(this, wxID_ANY, value, wxDefaultPosition, wxSize(10, -1), style,
                                  wxDefaultValidator, wxTextCtrlNameStr);
    m_text = field;
    // The toolkit keeps the field under other names too (it enables and
    // focuses it through them); none may point at the destroyed one.
    if (m_mainWindow == old)
        m_mainWindow = field;
    if (m_mainCtrlWnd == old)
        m_mainCtrlWnd = field;
    field->Bind(wxEVT_TEXT, &wxsComboBox::OnColoredTextCtrlEvent, this, field->GetId());
    if (style & wxTE_PROCESS_ENTER)
        field->Bind(wxEVT_TEXT_ENTER, &wxsComboBox::OnColoredTextCtrlEvent, this, field->GetId());
    _PlaceTextField();
}

void wxsComboBox::OnColoredTextCtrlEvent(wxCommandEvent& event)
{
    if (event.GetEventObject() == this)
    {
        event.Skip();
        return;
    }
    wxCommandEvent own(event);
    own.SetId(GetId());
    own.SetEventObject(this);
    HandleWindowEvent(own);
    event.StopPropagation();
}

bool wxsComboBox::Enable(bool enable)
{
    if (!_ClientDataComboBox::Enable(enable))
        return false;
    // A wxsTextCtrl recolours itself for its new state.
    if (m_text)
        m_text->Enable(enable);
    RefreshColors();
    Refresh();
    return true;
}

bool wxsComboBox::SetForegroundColour(const wxColour& colour)
{
    return wxControl::SetForegroundColour(colour);
}

bool wxsComboBox::SetBackgroundColour(const wxColour& colour)
{
    return wxControl::SetBackgroundColour(colour);
}

int wxsComboBox::GetArrowButtonWidth() const
{
    wxClientDC dc(const_cast<wxsComboBox*>(this));
    dc.SetFont(GetFont());
    return 3 * dc.GetCharWidth();
}

void wxsComboBox::DoShowPopup(const wxRect& rect, int flags)
{
    ColourPopupList(GetPopupControl());
    wxOwnerDrawnComboBox::DoShowPopup(rect, flags);
}

void wxsComboBox::OnDrawBackground(wxDC& dc, const wxRect& rect, int, int flags) const
{
    const bool control = (flags & wxODCB_PAINTING_CONTROL) != 0;
    if (!control && (flags & wxODCB_PAINTING_SELECTED))
    {
        DrawSelectedRow(dc, rect);
        return;
    }
    if (!control)
    {
        FillWithoutOutline(dc, rect, wxsGetColor(COLOR_BACKGROUND_LIGHT));
        return;
    }

    dc.DestroyClippingRegion();
    const wxRect face(wxPoint(0, 0), GetClientSize());
    const bool enabled = IsThisEnabled();
    FillWithoutOutline(dc, face, wxsGetColor(enabled ? COLOR_FIELD : COLOR_BACKGROUND));

    // The arrow button: three characters wide at the right, full height.
    const int buttonWidth = 3 * dc.GetCharWidth();
    const wxRect button(face.GetRight() + 1 - buttonWidth, 0, buttonWidth, face.height);
    const bool open = !IsPopupWindowState(Hidden);
    wxColour buttonFace = AdjustColour(wxsGetColor(open ? COLOR_HIGHLIGHT : COLOR_CONTROL), 20, 20, 20);
    wxColour arrow = AdjustColour(wxsGetColor(open ? COLOR_EDGE_DARK : COLOR_GLYPH), -20, -20, -20);
    if (!enabled)
    {
        buttonFace = BlendColour(buttonFace, wxsGetColor(COLOR_BACKGROUND), 0.3);
        arrow = BlendColour(arrow, wxsGetColor(COLOR_BACKGROUND), 0.3);
    }
    FillWithoutOutline(dc, button, buttonFace);

    const int arrowWidth = buttonWidth / 2;
    const int arrowHeight = dc.GetCharHeight() / 2;
    const int left = button.x + (buttonWidth - arrowWidth) / 2;
    const int top = (face.height - arrowHeight) / 2;
    const wxPoint corners[] = {wxPoint(left, top), wxPoint(left + arrowWidth, top),
                               wxPoint(left + arrowWidth / 2, top + arrowHeight)};
    const wxPen oldPen = dc.GetPen();
    const wxBrush oldBrush = dc.GetBrush();
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(arrow));
    dc.DrawPolygon(3, corners);
    dc.SetPen(oldPen);
    dc.SetBrush(oldBrush);

    if (HasFocus())
        wxRendererNative::Get().DrawFocusRect(const_cast<wxsComboBox*>(this), dc, face, wxCONTROL_FOCUSED);
}

void wxsComboBox::OnDrawItem(wxDC& dc, const wxRect& rect, int item, int flags) const
{
    if (item == wxNOT_FOUND)
        return;
    DrawItemText(dc, rect, GetString(item), flags, wxsGetColor(COLOR_TEXT));
}

wxCoord wxsComboBox::OnMeasureItem(size_t) const
{
    return MeasureItemHeight();
}

void wxsComboBox::Size(wxSizeEvent&)
{
    if (!s_ComboSizeFlag)
        return;
    s_ComboSizeFlag = false;
    // Lets the toolkit recompute its areas with the owner-drawn face on.
    SetCustomPaintWidth(1);
    _PlaceTextField();
    s_ComboSizeFlag = true;
}

void wxsComboBox::_PlaceTextField()
{
    if (!m_text)
        return;
    // On GTK the toolkit's own placement assumes its native button; the field
    // goes left of the painted one, inset by 2 on every side.
    const wxSize client = GetClientSize();
    wxRect area(0, 0, std::max(1, client.x - GetArrowButtonWidth()), client.y);
    area.Deflate(2);
    area.width = std::max(1, area.width);
    area.height = std::max(1, area.height);
    m_text->SetSize(area);
}

void wxsComboBox::OnSysColorChange(wxSysColourChangedEvent& event)
{
    event.Skip();
    SetFGColor(COLOR_TEXT, 0);
    SetBGColor(COLOR_FIELD, 0);
    if (m_text)
    {
        wxTextAttr style = m_text->GetDefaultStyle();
        style.SetTextColour(wxsGetColor(COLOR_TEXT));
        m_text->SetDefaultStyle(style);
    }
}
