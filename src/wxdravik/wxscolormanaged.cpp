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
      m_Window(nullptr)
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

void wxsColorManaged::RefreshColors() const
{
    if (!m_Window)
        return;
    const bool enabled = m_Window->IsEnabled();
    wxColour foreground = wxsGetColor(enabled ? m_FG : m_DisabledFG);
    wxColour background = wxsGetColor(enabled ? m_BG : m_DisabledBG);
    // Only a custom colour read from a bad text can be invalid.
    if (!foreground.IsOk())
        foreground = wxsGetColor(enabled ? COLOR_TEXT : COLOR_TEXT_DISABLED);
    if (!background.IsOk())
        background = wxsGetColor(enabled ? COLOR_BACKGROUND : COLOR_BACKGROUND_LIGHT);
    const int fgModifier = enabled ? m_FGModifier : m_DisabledFGModifier;
    const int bgModifier = enabled ? m_BGModifier : m_DisabledBGModifier;

    m_Window->Freeze();
    m_Window->SetForegroundColour(AdjustColour(foreground, fgModifier, fgModifier, fgModifier));
    m_Window->SetBackgroundColour(AdjustColour(background, bgModifier, bgModifier, bgModifier));
    m_Window->Thaw();
}

void wxsColorManaged::wxsHandleSysColorChanged(wxSysColourChangedEvent& event)
{
    // Skipped so that the toolkit's own handling passes the event on to the
    // children.
    event.Skip();
    RefreshColors();
}
