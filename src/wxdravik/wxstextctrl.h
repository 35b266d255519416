// The library's text field: scheme colours by state, a clear button and
// completion from the render farm's vocabulary.
#pragma once

#include <wx/textcompleter.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxsbutton.h"
#include "wxdravik/wxdravikdefs.h"
#include "xolib/xolib.h"

/// A text control coloured by its enabled and read-only state, with a small
/// "x" button that clears it while it holds text and the user is in it, and
/// (when the options allow) completion of the word being typed.
///
/// The clear button is a sibling laid over the control's right edge, not a
/// child: GTK text controls cannot hold child windows.
class WXDRAVIK_API wxsTextCtrl : public wxTextCtrl
{
public:
    /// Window id of the clear button.
    enum
    {
        CLEAR_BUTTON_ID = 6607
    };

    wxsTextCtrl(wxWindow* parent, wxWindowID id, const wxString& value = wxEmptyString,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = 0, const wxValidator& validator = wxDefaultValidator,
                const wxString& name = wxTextCtrlNameStr);
    ~wxsTextCtrl() override;

    /// Recolours on a change; returns whether the enabled state changed. The
    /// colours follow the effective state: inside a disabled parent the field
    /// looks disabled (from the next idle time on) whatever its own flag.
    bool Enable(bool enable = true) override;
    /// The clear button moves with the field: it is a sibling laid over it.
    bool Reparent(wxWindowBase* newParent) override;

    /// True when the constructor handed a completer to the control.
    bool HasAutoCompleter() const { return m_HasAutoCompleter; }
    /// The clear button (id CLEAR_BUTTON_ID), or null for read-only and
    /// rich-text controls.
    wxsButton* GetClearButton() const { return m_ClearButton; }

protected:
    void OnSysColorChange(wxSysColourChangedEvent& event);
    /// Recolours when a parent's change has changed the effective state.
    void Idle(wxIdleEvent& event);
    void OnClearButton(wxCommandEvent& event);
    void Mouse(wxMouseEvent& event);
    void GotFocus(wxFocusEvent& event);
    void LostFocus(wxFocusEvent& event);
    void Key(wxKeyEvent& event);
    /// Keeps the clear button over the control when it moves, resizes or hides.
    void Resized(wxSizeEvent& event);
    void Moved(wxMoveEvent& event);
    void Shown(wxShowEvent& event);

private:
    void _ApplyColors();
    void _PlaceClearButton();
    void _ShowClearButton(bool show);
    /// Applies the hover rules for a pointer at pos (client coordinates).
    void _TrackPointer(const wxPoint& pos);
    void _ButtonLeft(wxMouseEvent& event);

    wxWeakRef<wxsButton> m_ClearButton;  // owned by the parent window
    bool m_HasAutoCompleter;
    /// The enabled state the colours were last applied for.
    bool m_ColoursEnabled;

    wxDECLARE_EVENT_TABLE();
};

/// Completes the last word of the text (after a space, "(", ")", ".", ":" or
/// "|") from the process-wide vocabulary of render-farm names.
class WXDRAVIK_API wxsAutoCompleter : public wxTextCompleter
{
public:
    wxsAutoCompleter();

    bool Start(const wxString& prefix) override;
    wxString GetNext() override;

private:
    typedef xolib::set<String, String::ciless> Vocabulary;

    wxString m_Word;  // upper-cased
    wxString m_Lead;  // up to and including the last separator
    Vocabulary::const_iterator m_Position;
    Vocabulary::const_iterator m_End;
};
