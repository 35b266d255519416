#include "wxdravik/wxsbutton.h"

#include <algorithm>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/renderer.h>
#include <wx/toplevel.h>
#include <wx/weakref.h>
#include <wx/wupdlock.h>

namespace
{
/// Added to both modifiers while the pointer is over a button or it has the focus.
const int k_HilightStep = 25;
const int k_DefaultBGModifier = 20;
const int k_DefaultFGModifier = -20;
/// Buttons with this style never take the default on focus (toolbar-like use).
const long k_NoDefaultOnFocus = 0x0002;

// The fonts of every button of the process, made by the first button.
wxFont& NormalFont()
{
    static wxFont font;
    return font;
}

wxFont& BoldFont()
{
    static wxFont font;
    return font;
}

wxTopLevelWindow* TopLevelOf(wxWindow* window)
{
    return dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(window));
}

/// A slot's colour in the current scheme, falling back like the mixin does
/// when a custom colour did not parse.
wxColour SchemeColour(ColorName name, ColorName fallback, int modifier = 0)
{
    wxColour colour = wxsGetColor(name);
    if (!colour.IsOk())
        colour = wxsGetColor(fallback);
    return AdjustColour(colour, modifier, modifier, modifier);
}

void FillClient(wxDC& dc, const wxSize& size, const wxColour& colour)
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(0, 0, size.x, size.y);
}
}

// ---------------------------------------------------------------- wxsButton

// clang-format off
wxBEGIN_EVENT_TABLE(wxsButton, wxControl)
    EVT_SET_FOCUS(wxsButton::Focus)
    EVT_KILL_FOCUS(wxsButton::Focus)
    EVT_ENTER_WINDOW(wxsButton::Mouse)
    EVT_LEAVE_WINDOW(wxsButton::Mouse)
    EVT_LEFT_UP(wxsButton::Click)
    EVT_LEFT_DCLICK(wxsButton::Click)
    EVT_PAINT(wxsButton::Paint)
    EVT_KEY_UP(wxsButton::Key)
    EVT_MOVE(wxsButton::Move)
    EVT_SIZE(wxsButton::Size)
wxEND_EVENT_TABLE()
// clang-format on

wxsButton::wxsButton(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                     const wxSize& size, long style, const wxValidator& validator,
                     const wxString& name)
    : m_focusHandled(false), m_defaultWhenDisabled(false), m_hilight(false), m_secondRelease(false)
{
    if (!(style & wxBORDER_MASK))
        style |= wxBORDER_NONE;
    Create(parent, id, pos, size, style, validator, name);

    Manage(this);
    SetDisabledFGColor(COLOR_TEXT_DISABLED, 0);
    SetDisabledBGColor(COLOR_FIELD, 0);

    SetLabel(label);
    SetBackgroundStyle(wxBG_STYLE_PAINT);

    if (!NormalFont().IsOk())
    {
        NormalFont() = GetFont();
        NormalFont().SetPointSize(NormalFont().GetPointSize() + 1);
    }
    if (!BoldFont().IsOk())
    {
        BoldFont() = NormalFont();
        BoldFont().SetNumericWeight(wxFONTWEIGHT_BOLD);
    }

    SetNormal();

    // Measured in bold so that the label fits when the button becomes the default.
    wxMemoryDC dc;
    dc.SetFont(BoldFont());
    const wxSize text = dc.GetTextExtent(GetLabelText());
    const int charWidth = dc.GetCharWidth();
    const int charHeight = dc.GetCharHeight();
    wxSize minimum;
    if (style & wxBU_EXACTFIT)
        minimum = wxSize(std::max(text.x, (3 * charWidth) / 2), text.y);
    else
    {
        const wxSize standard = wxButton::GetDefaultSize();
        minimum = wxSize(std::max(text.x, standard.x), standard.y);
    }
    minimum.x += charWidth;
    minimum.y += charHeight / 8;
    SetSizeHints(minimum);

    // Without an explicit size the button starts at its minimum.
    wxSize initial = size;
    if (initial.x == wxDefaultCoord)
        initial.x = minimum.x;
    if (initial.y == wxDefaultCoord)
        initial.y = minimum.y;
    SetSize(initial);
}

wxWindow* wxsButton::SetDefault()
{
    wxWindowUpdateLocker freeze(this);
    wxTopLevelWindow* top = TopLevelOf(this);
    wxCHECK_MSG(top, nullptr, "button without top level window?");

    wxWindow* previous = top->SetDefaultItem(this);
    const int hilight = m_hilight ? k_HilightStep : 0;
    SetFont(BoldFont());
    SetBGColor(COLOR_HIGHLIGHT, k_DefaultBGModifier + hilight);
    SetFGColor(COLOR_EDGE_DARK, k_DefaultFGModifier + hilight);
    RefreshColors();
    return previous;
}

bool wxsButton::IsDefault() const
{
    const wxTopLevelWindow* top = TopLevelOf(const_cast<wxsButton*>(this));
    return top && top->GetDefaultItem() == this;
}

void wxsButton::SetNormal()
{
    wxWindowUpdateLocker freeze(this);
    const int hilight = m_hilight ? k_HilightStep : 0;
    SetFGColor(COLOR_GLYPH, hilight);
    SetBGColor(COLOR_CONTROL, hilight);
    SetFont(NormalFont());
    RefreshColors();
}

void wxsButton::Hilight(bool on)
{
    if (m_hilight == on)
        return;
    m_hilight = on;
    const int step = on ? k_HilightStep : -k_HilightStep;
    int modifier = 0;
    const ColorName background = GetBGColor(&modifier);
    SetBGColor(background, modifier + step);
    const ColorName foreground = GetFGColor(&modifier);
    SetFGColor(foreground, modifier + step);
}

void wxsButton::EmulateClick()
{
    wxCommandEvent event(wxEVT_BUTTON, GetId());
    event.SetEventObject(this);
    // A handler may destroy the button (closing its panel, say).
    wxWeakRef<wxsButton> self(this);
    GetEventHandler()->ProcessEvent(event);
    if (self)
        RefreshColors();
}

bool wxsButton::Enable(bool enable)
{
    if (IsThisEnabled() == enable)
        return false;
    wxWindowUpdateLocker freeze(this);
    if (!enable)
    {
        wxTopLevelWindow* top = TopLevelOf(this);
        wxCHECK_MSG(top, false, "button without top level window?");
        if (top->GetDefaultItem() == this)
        {
            top->SetDefaultItem(nullptr);
            m_defaultWhenDisabled = true;
        }
    }
    if (!wxControl::Enable(enable))
        return false;
    if (enable)
    {
        const bool wasDefault = m_defaultWhenDisabled;
        m_defaultWhenDisabled = false;
        // When another item became the default meanwhile, that choice is newer
        // and stays; otherwise the button takes its default back.
        wxTopLevelWindow* top = TopLevelOf(this);
        if (wasDefault && top && !top->GetDefaultItem())
            SetDefault();
        else
            SetNormal();
    }
    RefreshColors();
    return true;
}

void wxsButton::Focus(wxFocusEvent& event)
{
    event.Skip();
    if (HasFlag(k_NoDefaultOnFocus))
        return;

    if (event.GetEventType() == wxEVT_SET_FOCUS)
    {
        wxTopLevelWindow* top = TopLevelOf(this);
        const bool hasDefault = top && top->GetDefaultItem();
        wxWindow* previous = hasDefault ? SetDefault() : this;
        m_oldDefault = previous;
        m_focusHandled = true;
        if (previous == this)
            Hilight(true);
        else if (wxsButton* button = dynamic_cast<wxsButton*>(previous))
            button->SetNormal();
        return;
    }

    // A focus loss without a gain before it has nothing to hand back.
    if (!m_focusHandled)
        return;
    m_focusHandled = false;
    wxWindow* const previous = m_oldDefault.get();
    m_oldDefault = nullptr;
    if (previous == this)
    {
        Hilight(false);
        return;
    }
    SetNormal();
    // A default chosen elsewhere while this button had the focus is newer and
    // stays. Otherwise the default goes back, or, when the earlier default
    // was destroyed meanwhile, the window is left without one.
    wxTopLevelWindow* top = TopLevelOf(this);
    wxWindow* const current = top ? top->GetDefaultItem() : nullptr;
    if (!top || (current && current != this))
        return;
    if (wxsButton* button = dynamic_cast<wxsButton*>(previous))
        button->SetDefault();
    else
        top->SetDefaultItem(previous);
}

void wxsButton::Mouse(wxMouseEvent& event)
{
    if (event.GetEventType() == wxEVT_ENTER_WINDOW)
        Hilight(true);
    else if (event.GetEventType() == wxEVT_LEAVE_WINDOW)
        Hilight(false);
    event.Skip();
}

void wxsButton::Click(wxMouseEvent& event)
{
    // GTK does not count clicks on a release, so the double click itself marks
    // the release that follows it as the second one.
    if (event.GetEventType() == wxEVT_LEFT_DCLICK)
    {
        m_secondRelease = true;
        event.Skip();
        return;
    }
    const bool second = m_secondRelease || event.GetClickCount() >= 2;
    m_secondRelease = false;
    if (!second)
        EmulateClick();
}

void wxsButton::Paint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    Render(dc);
}

void wxsButton::Render(wxDC& dc)
{
    const wxSize size = GetClientSize();
    // The fill keeps the enabled background slot even while disabled; only the
    // text takes the disabled colour, also inside a disabled parent.
    int modifier = 0;
    const ColorName background = GetBGColor(&modifier);
    FillClient(dc, size, SchemeColour(background, COLOR_BACKGROUND, modifier));

    const wxString text = GetLabelText();
    dc.SetFont(GetFont());
    dc.SetTextForeground(CurrentFGColour());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const wxSize extent = dc.GetTextExtent(text);
    dc.DrawText(text, (size.x - extent.x) / 2, (size.y - extent.y) / 2);

    if (HasFocus())
        wxRendererNative::Get().DrawFocusRect(this, dc, wxRect(size), wxCONTROL_FOCUSED);
}

void wxsButton::Key(wxKeyEvent& event)
{
    switch (event.GetKeyCode())
    {
        case WXK_RETURN:
        case WXK_SPACE:
        case WXK_NUMPAD_ENTER:
            EmulateClick();
            break;
        default:
            event.Skip();
    }
}

void wxsButton::Move(wxMoveEvent& event)
{
    event.Skip();
    Refresh();
}

void wxsButton::Size(wxSizeEvent& event)
{
    event.Skip();
    Refresh();
}

// -------------------------------------------------------------- wxsCheckBox

// clang-format off
wxBEGIN_EVENT_TABLE(wxsCheckBox, wxCheckBoxBase)
    EVT_PAINT(wxsCheckBox::Paint)
    EVT_LEFT_UP(wxsCheckBox::Click)
    EVT_ENTER_WINDOW(wxsCheckBox::Hover)
    EVT_LEAVE_WINDOW(wxsCheckBox::Hover)
    EVT_SET_FOCUS(wxsCheckBox::Focus)
    EVT_KILL_FOCUS(wxsCheckBox::Focus)
    EVT_KEY_UP(wxsCheckBox::Press)
    EVT_SIZE(wxsCheckBox::Size)
wxEND_EVENT_TABLE()
// clang-format on

wxsCheckBox::wxsCheckBox(wxWindow* parent, wxWindowID id, const wxString& label,
                         const wxPoint& pos, const wxSize& size, long style,
                         const wxValidator& validator, const wxString& name)
    : m_value(false), m_hover(false), m_label(label)
{
    // The label is drawn here, never handed to the platform.
    Create(parent, id, pos, size, style, validator, name);
    Manage(this);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetMaxSize(wxSize(wxDefaultCoord, GetCharHeight() + 4));
    SetInitialSize(size);
}

bool wxsCheckBox::GetValue() const
{
    return m_value;
}

void wxsCheckBox::SetValue(bool value)
{
    if (value == m_value)
        return;
    m_value = value;
    Refresh();
}

bool wxsCheckBox::Enable(bool enable)
{
    if (!wxCheckBoxBase::Enable(enable))
        return false;
    Refresh();
    return true;
}

wxSize wxsCheckBox::DoGetBestClientSize() const
{
    const int height = GetMaxSize().y;
    return wxSize(GetTextExtent(m_label).x + height + 8, height);
}

void wxsCheckBox::DrawButton(wxDC& dc, const wxRect& rect, int flags)
{
    wxRendererNative::Get().DrawCheckBox(this, dc, rect, flags);
}

wxEventType wxsCheckBox::ClickEventType() const
{
    return wxEVT_CHECKBOX;
}

void wxsCheckBox::HandleClick()
{
    SetValue(!GetValue());
}

void wxsCheckBox::Paint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    Render(dc);
}

void wxsCheckBox::Render(wxDC& dc)
{
    const wxSize size = GetClientSize();
    const wxColour fill = SchemeColour(GetBGColor(), COLOR_BACKGROUND);
    FillClient(dc, size, fill);

    wxRect box(0, 0, size.y, size.y);
    box.Deflate(2);
    const bool focused = HasFocus();
    int flags = 0;
    if (m_value)
        flags |= wxCONTROL_CHECKED;
    if (focused)
        flags |= wxCONTROL_FOCUSED;
    if (!IsEnabled())
        flags |= wxCONTROL_DISABLED;
    if (m_hover)
        flags |= wxCONTROL_CURRENT;
    DrawButton(dc, box, flags);

    wxRect text(box.x + size.y + 2, box.y, size.x - size.y - 6, box.height);
    ColorName textColour = m_hover ? COLOR_ORANGE : COLOR_TEXT;
    if (!IsEnabled())
        textColour = COLOR_TEXT_DISABLED;
    dc.SetFont(GetFont());
    dc.SetTextForeground(SchemeColour(textColour, COLOR_TEXT));
    dc.SetTextBackground(fill);
    dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
    dc.DrawText(m_label, text.GetTopLeft());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);

    if (focused)
        wxRendererNative::Get().DrawFocusRect(this, dc, text.Inflate(2), wxCONTROL_FOCUSED);
}

void wxsCheckBox::Click(wxMouseEvent&)
{
    HandleClick();
    wxCommandEvent event(ClickEventType(), GetId());
    event.SetInt(m_value ? 1 : 0);
    event.SetEventObject(this);
    GetEventHandler()->ProcessEvent(event);
}

void wxsCheckBox::Hover(wxMouseEvent& event)
{
    if (event.GetEventType() == wxEVT_ENTER_WINDOW)
        m_hover = true;
    else if (event.GetEventType() == wxEVT_LEAVE_WINDOW)
        m_hover = false;
    Refresh();
    event.Skip();
}

void wxsCheckBox::Focus(wxFocusEvent& event)
{
    Refresh();
    event.Skip();
}

void wxsCheckBox::Press(wxKeyEvent& event)
{
    if (event.GetKeyCode() != WXK_SPACE)
    {
        event.Skip();
        return;
    }
    wxMouseEvent click(wxEVT_LEFT_UP);
    Click(click);
}

void wxsCheckBox::Size(wxSizeEvent& event)
{
    Refresh();
    event.Skip();
}

// ----------------------------------------------------------- wxsRadioButton

wxsRadioButton::wxsRadioButton(wxWindow* parent, wxWindowID id, const wxString& label,
                               const wxPoint& pos, const wxSize& size, long style,
                               const wxValidator& validator, const wxString& name)
    : wxsCheckBox(parent, id, label, pos, size, style, validator, name)
{
    // The first button of a group starts checked. It is the newest child and
    // starts a group, so there is nobody to clear, and building a dialog must
    // not move the focus around.
    if (style & wxRB_GROUP)
        wxsCheckBox::SetValue(true);
}

void wxsRadioButton::SetValue(bool value)
{
    wxsCheckBox::SetValue(value);
    if (!value)
        return;

    wxCHECK_RET(TopLevelOf(this), "radio button outside of TLW?");
    const wxWindowList& siblings = GetParent()->GetChildren();
    const wxWindowList::compatibility_iterator self = siblings.Find(this);
    wxCHECK_RET(self, "radio button not a child of its parent?");

    // A stand-alone button belongs to no group, so it clears nobody.
    if (!HasFlag(wxRB_SINGLE))
    {
        if (!HasFlag(wxRB_GROUP))
        {
            for (auto node = self->GetPrevious(); node; node = node->GetPrevious())
            {
                wxsRadioButton* radio = dynamic_cast<wxsRadioButton*>(node->GetData());
                if (!radio)
                    continue;
                if (radio->HasFlag(wxRB_SINGLE))
                    break;
                radio->SetValue(false);
                if (radio->HasFlag(wxRB_GROUP))
                    break;
            }
        }
        for (auto node = self->GetNext(); node; node = node->GetNext())
        {
            wxsRadioButton* radio = dynamic_cast<wxsRadioButton*>(node->GetData());
            if (!radio)
                continue;
            if (radio->HasFlag(wxRB_GROUP) || radio->HasFlag(wxRB_SINGLE))
                break;
            radio->SetValue(false);
        }
    }

    if (FindFocus() != this)
        SetFocus();
}

void wxsRadioButton::DrawButton(wxDC& dc, const wxRect& rect, int flags)
{
    wxRendererNative::Get().DrawRadioBitmap(this, dc, rect, flags);
}

wxEventType wxsRadioButton::ClickEventType() const
{
    return wxEVT_RADIOBUTTON;
}

void wxsRadioButton::HandleClick()
{
    SetValue(true);
}

// ---------------------------------------------------------- wxsBitmapButton

wxsBitmapButton::wxsBitmapButton(wxWindow* parent, wxWindowID id, const wxBitmap& bitmap)
    : wxBitmapButton(parent, id, bitmap, wxDefaultPosition, wxDefaultSize,
                     wxBORDER_NONE | wxBU_EXACTFIT, wxDefaultValidator, wxButtonNameStr)
{
    Manage(this);
    SetBGColor(COLOR_BACKGROUND, 0);
}
