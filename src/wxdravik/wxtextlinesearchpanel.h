// The one-row search bar of a text line viewer: a close button, the search
// field, Up and Down, and Match Case (remembered in the options).
#pragma once

#include <memory>

#include <wx/bitmap.h>

#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxstextctrl.h"
#include "wxdravik/wxswrappers.h"

class wxTextLineCtrl;
class wxsCheckBox;

/// The search field: Escape or Control+F hides the bar, every other key
/// edits.
class WXDRAVIK_API _SearchTextCtrl : public wxsTextCtrl
{
public:
    explicit _SearchTextCtrl(wxWindow* parent);
    wxString GetHint() const override;

private:
    void OnKeyDown(wxKeyEvent& event);

    wxDECLARE_EVENT_TABLE();
};

/// Starts hidden; the viewer's Control+F or Search command shows it. Built
/// as a sibling of the viewer, in the viewer's parent, for the host to lay
/// out next to it.
class WXDRAVIK_API wxTextLineSearchPanel : public wxsPanel
{
public:
    enum
    {
        ID_CLOSE = 0,
        ID_UP = 1,
        ID_DOWN = 2,
    };

    wxTextLineSearchPanel(wxTextLineCtrl* viewer, wxWindow* parent);
    ~wxTextLineSearchPanel() override;

    /// Shows the bar (the field takes the focus) or hides it, and lays the
    /// parent out again.
    void Toggle();

    _SearchTextCtrl* GetSearchField() const { return m_SearchField; }
    wxsCheckBox* GetMatchCase() const { return m_MatchCase; }

private:
    void OnClose(wxCommandEvent& event);
    void OnSearch(wxCommandEvent& event);
    void OnMatchCase(wxCommandEvent& event);

    wxTextLineCtrl* m_Viewer;  // not owned
    _SearchTextCtrl* m_SearchField;
    wxsCheckBox* m_MatchCase;
    std::unique_ptr<wxBitmap> m_CloseBitmap;

    wxDECLARE_EVENT_TABLE();
};
