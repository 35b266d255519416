// The family header first: it brings the mixin in before the classes built on it.
#include "wxdravik/wxdravikcolors.h"

namespace
{
const int k_DisabledBackgroundModifier = 50;
}

wxsColorManaged::wxsColorManaged()
    : m_FG(COLOR_TEXT),
      m_BG(COLOR_BACKGROUND),
      m_DisabledFG(COLOR_TEXT_DISABLED),
      m_DisabledBG(COLOR_BACKGROUND_LIGHT),
      m_FGModifier(0),
      m_BGModifier(0),
      m_DisabledFGModifier(0),
      m_DisabledBGModifier(k_DisabledBackgroundModifier),
      m_Window(nullptr),
      m_AppliedEnabled(true)
{
}

wxsColorManaged::wxsColorManaged(wxWindow* window) : wxsColorManaged()
{
    Manage(window);
}

void wxsColorManaged::Manage(wxWindow* window)
{
    m_Window = window;
    if (!window)
        return;
    window->Bind(wxEVT_SYS_COLOUR_CHANGED, &wxsColorManaged::wxsHandleSysColorChanged, this);
    window->Bind(wxEVT_IDLE, &wxsColorManaged::wxsHandleIdle, this);

    // The cross-cast also finds the mixin part of a dialog of the dialog base.
    const wxsColorManaged* source = dynamic_cast<const wxsColorManaged*>(window->GetParent());
    if (source)
    {
        m_FG = source->m_FG;
        m_BG = source->m_BG;
        m_DisabledFG = source->m_DisabledFG;
        m_DisabledBG = source->m_DisabledBG;
        m_FGModifier = source->m_FGModifier;
        m_BGModifier = source->m_BGModifier;
        m_DisabledFGModifier = source->m_DisabledFGModifier;
        m_DisabledBGModifier = source->m_DisabledBGModifier;
    }
    else
    {
        m_FG = COLOR_TEXT;
        m_BG = COLOR_BACKGROUND;
        m_DisabledFG = COLOR_TEXT_DISABLED;
        m_DisabledBG = COLOR_BACKGROUND_LIGHT;
        m_FGModifier = 0;
        m_BGModifier = 0;
        m_DisabledFGModifier = 0;
        m_DisabledBGModifier = k_DisabledBackgroundModifier;
    }
    RefreshColors();
}

void wxsColorManaged::SetFGColor(ColorName name, int modifier)
{
    m_FG = name;
    m_FGModifier = modifier;
    RefreshColors();
}

void wxsColorManaged::SetBGColor(ColorName name, int modifier)
{
    m_BG = name;
    m_BGModifier = modifier;
    RefreshColors();
}

void wxsColorManaged::SetDisabledFGColor(ColorName name, int modifier)
{
    m_DisabledFG = name;
    m_DisabledFGModifier = modifier;
    RefreshColors();
}

void wxsColorManaged::SetDisabledBGColor(ColorName name, int modifier)
{
    m_DisabledBG = name;
    m_DisabledBGModifier = modifier;
    RefreshColors();
}

namespace
{
ColorName Slot(ColorName name, int slotModifier, int* modifier)
{
    if (modifier)
        *modifier = slotModifier;
    return name;
}
}

ColorName wxsColorManaged::GetFGColor(int* modifier) const
{
    return Slot(m_FG, m_FGModifier, modifier);
}

ColorName wxsColorManaged::GetBGColor(int* modifier) const
{
    return Slot(m_BG, m_BGModifier, modifier);
}

ColorName wxsColorManaged::GetDisabledFGColor(int* modifier) const
{
    return Slot(m_DisabledFG, m_DisabledFGModifier, modifier);
}

ColorName wxsColorManaged::GetDisabledBGColor(int* modifier) const
{
    return Slot(m_DisabledBG, m_DisabledBGModifier, modifier);
}

wxColour wxsColorManaged::Colour(bool foreground, bool enabled) const
{
    ColorName name;
    int modifier;
    if (foreground)
    {
        name = enabled ? m_FG : m_DisabledFG;
        modifier = enabled ? m_FGModifier : m_DisabledFGModifier;
    }
    else
    {
        name = enabled ? m_BG : m_DisabledBG;
        modifier = enabled ? m_BGModifier : m_DisabledBGModifier;
    }
    wxColour colour = wxsGetColor(name);
    // Only a custom colour read from a bad text can be invalid.
    if (!colour.IsOk())
    {
        if (foreground)
            colour = wxsGetColor(enabled ? COLOR_TEXT : COLOR_TEXT_DISABLED);
        else
            colour = wxsGetColor(enabled ? COLOR_BACKGROUND : COLOR_BACKGROUND_LIGHT);
    }
    return AdjustColour(colour, modifier, modifier, modifier);
}

wxColour wxsColorManaged::CurrentFGColour() const
{
    return Colour(true, !m_Window || m_Window->IsEnabled());
}

void wxsColorManaged::RefreshColors() const
{
    if (!m_Window)
        return;
    // IsEnabled, not IsThisEnabled: inside a disabled parent the window looks
    // disabled too, as the toolkit's own controls do.
    const bool enabled = m_Window->IsEnabled();
    m_AppliedEnabled = enabled;
    m_Window->Freeze();
    m_Window->SetForegroundColour(Colour(true, enabled));
    m_Window->SetBackgroundColour(Colour(false, enabled));
    m_Window->Thaw();
}

void wxsColorManaged::wxsHandleSysColorChanged(wxSysColourChangedEvent& event)
{
    // Skipped so that the toolkit's own handling passes the event on to the
    // children.
    event.Skip();
    RefreshColors();
}

void wxsColorManaged::wxsHandleIdle(wxIdleEvent& event)
{
    event.Skip();
    // A parent's change of state reaches no code of its children (GTK passes
    // it on natively), so the state is compared once the program is idle.
    if (m_Window && m_Window->IsEnabled() != m_AppliedEnabled)
    {
        RefreshColors();
        m_Window->Refresh();
    }
}
