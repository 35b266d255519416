// Custom-drawn buttons: push button, check box, radio button and the
// scheme-coloured bitmap button.
#pragma once

#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/control.h>
#include <wx/dc.h>
#include <wx/radiobut.h>
#include <wx/validate.h>
#include <wx/weakref.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxscolormanaged.h"
#include "wxdravik/wxdravikdefs.h"

/// A label on a flat, scheme-coloured rectangle. Brightens under the pointer
/// and while focused, acts on Return, Space and keypad Enter, and while it has
/// the focus it is the default button of its top-level window.
class WXDRAVIK_API wxsButton : public wxControl, public wxsColorManaged
{
public:
    wxsButton(wxWindow* parent, wxWindowID id, const wxString& label = wxEmptyString,
              const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
              long style = 0, const wxValidator& validator = wxDefaultValidator,
              const wxString& name = wxButtonNameStr);

    /// Makes this button the top-level window's default item with the default
    /// look; returns the previous default item (null without a top-level window).
    wxWindow* SetDefault();
    /// True when the top-level parent's default item is this button.
    bool IsDefault() const;
    /// Sends this button's wxEVT_BUTTON synchronously.
    void EmulateClick();
    /// A disabled default button gives up the default and takes it back when
    /// enabled again. Returns whether the state changed.
    bool Enable(bool enable = true) override;

protected:
    /// Normal (not default) look; keeps the hover brightening.
    void SetNormal();
    void Hilight(bool on);
    /// Draws the whole button into dc; the paint handler only calls this.
    void Render(wxDC& dc);

    void Focus(wxFocusEvent& event);
    void Mouse(wxMouseEvent& event);
    void Click(wxMouseEvent& event);
    void Paint(wxPaintEvent& event);
    void Key(wxKeyEvent& event);
    void Move(wxMoveEvent& event);
    void Size(wxSizeEvent& event);

    /// The default item this button took over on getting the focus (itself
    /// when there was none to take), handed back when the focus leaves. Weak:
    /// a window destroyed meanwhile is simply forgotten.
    wxWeakRef<wxWindow> m_oldDefault;
    /// Between a focus gain that was handled and its loss.
    bool m_focusHandled;
    /// The button gave the default up when it was disabled.
    bool m_defaultWhenDisabled;
    bool m_hilight;
    /// The next left-button release ends a double click and sends nothing.
    bool m_secondRelease;

private:
    wxDECLARE_EVENT_TABLE();
};

/// A check box drawn through the renderer, with a label that turns orange
/// under the pointer.
class WXDRAVIK_API wxsCheckBox : public wxCheckBoxBase, public wxsColorManaged
{
public:
    wxsCheckBox(wxWindow* parent, wxWindowID id, const wxString& label = wxEmptyString,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = 0, const wxValidator& validator = wxDefaultValidator,
                const wxString& name = wxCheckBoxNameStr);

    bool GetValue() const override;
    void SetValue(bool value) override;
    /// Repaints when the state changes; returns whether it changed.
    bool Enable(bool enable = true) override;
    bool HasTransparentBackground() override { return false; }

protected:
    wxSize DoGetBestClientSize() const override;

    virtual void DrawButton(wxDC& dc, const wxRect& rect, int flags);
    virtual wxEventType ClickEventType() const;
    virtual void HandleClick();

    /// Draws the whole control into dc; the paint handler only calls this.
    void Render(wxDC& dc);

    void Paint(wxPaintEvent& event);
    void Click(wxMouseEvent& event);
    void Hover(wxMouseEvent& event);
    void Focus(wxFocusEvent& event);
    void Press(wxKeyEvent& event);
    void Size(wxSizeEvent& event);

    bool m_value;
    bool m_hover;
    wxString m_label;

private:
    wxDECLARE_EVENT_TABLE();
};

/// A radio button: selecting it clears the other buttons of its group. A
/// group starts at a button with wxRB_GROUP; wxRB_SINGLE buttons stand alone.
class WXDRAVIK_API wxsRadioButton : public wxsCheckBox
{
public:
    wxsRadioButton(wxWindow* parent, wxWindowID id, const wxString& label = wxEmptyString,
                   const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                   long style = 0, const wxValidator& validator = wxDefaultValidator,
                   const wxString& name = wxRadioButtonNameStr);

    void SetValue(bool value) override;

protected:
    void DrawButton(wxDC& dc, const wxRect& rect, int flags) override;
    wxEventType ClickEventType() const override;
    void HandleClick() override;
};

/// A borderless native bitmap button on the scheme's background.
class WXDRAVIK_API wxsBitmapButton : public wxBitmapButton, public wxsColorManaged
{
public:
    wxsBitmapButton(wxWindow* parent, wxWindowID id, const wxBitmap& bitmap);
};
