// The mixin that gives a window its colours by name from the current scheme.
#pragma once

#include <wx/event.h>
#include <wx/window.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdravikdefs.h"

/// Ties one window to four ColorNames (foreground and background, enabled
/// and disabled), each with a brightness modifier, and re-reads them whenever
/// the window gets a system-colour-changed event and, when the program next
/// goes idle, after the window's effective enabled state changed (its own flag
/// or a parent's). A window whose parent is colour-managed starts with its
/// parent's names.
class WXDRAVIK_API wxsColorManaged
{
public:
    /// Leaves the fields unset: call Manage before anything else.
    wxsColorManaged();
    explicit wxsColorManaged(wxWindow* window);
    wxsColorManaged(const wxsColorManaged&) = default;
    wxsColorManaged& operator=(const wxsColorManaged&) = default;
    wxsColorManaged& operator=(wxsColorManaged&&) = default;
    // Not virtual by design: the mixin is never deleted through its own type.
    ~wxsColorManaged() = default;

    void Manage(wxWindow* window);

    void SetFGColor(ColorName name, int modifier = 0);
    void SetBGColor(ColorName name, int modifier = 0);
    void SetDisabledFGColor(ColorName name, int modifier = 0);
    void SetDisabledBGColor(ColorName name, int modifier = 0);

    ColorName GetFGColor(int* modifier = nullptr) const;
    ColorName GetBGColor(int* modifier = nullptr) const;
    ColorName GetDisabledFGColor(int* modifier = nullptr) const;
    ColorName GetDisabledBGColor(int* modifier = nullptr) const;

    /// Applies the colours of the window's current enabled state.
    void RefreshColors() const;

    /// The foreground colour of the window's current effective enabled state
    /// (parents included), as RefreshColors applies it. Drawing code reads
    /// this rather than the window's colour, which lags behind a parent's
    /// change until the next idle time.
    wxColour CurrentFGColour() const;

private:
    void wxsHandleSysColorChanged(wxSysColourChangedEvent& event);
    void wxsHandleIdle(wxIdleEvent& event);
    /// The slot colour for the given state, with the fallback of an invalid
    /// custom colour and the slot's modifier applied.
    wxColour Colour(bool foreground, bool enabled) const;

    ColorName m_FG;
    ColorName m_BG;
    ColorName m_DisabledFG;
    ColorName m_DisabledBG;
    int m_FGModifier;
    int m_BGModifier;
    int m_DisabledFGModifier;
    int m_DisabledBGModifier;
    wxWindow* m_Window;  // not owned
    /// The enabled state the window's colours were last applied for.
    mutable bool m_AppliedEnabled;
};
