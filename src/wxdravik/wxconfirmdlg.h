// Confirmation dialogs whose answer can be remembered, the library's message
// box, and a one-line text prompt.
#pragma once

#include <wx/string.h>
#include <wx/window.h>

#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxdravikdlg.h"
#include "xolib/string.h"

class wxsCheckBox;

/// A message with OK (and optionally Cancel) whose answer the user can make
/// permanent: section "Confirm" of the options file holds one bool per key.
class WXDRAVIK_API wxConfirmDlg : public wxDravikDlg
{
public:
    wxConfirmDlg(wxWindow* parent, const wxString& message, const String& key, bool allowCancel);
    virtual ~wxConfirmDlg();

    /// True when the answer is remembered; else shows the dialog and returns
    /// whether it ended with OK.
    bool Confirm();
    /// Forgets every remembered answer.
    static void ResetAll();
    /// Relabel this dialog's OK and Cancel buttons.
    void SetOK(const String& label);
    void SetCancel(const String& label);

protected:
    /// OK remembers the check box's value under the key.
    bool TransferDataFromWindow() override;
    void CreateControls(wxWindow* parent, const wxString& message, bool allowCancel);

private:
    String m_Key;
    bool m_Confirmed = false;
    wxsCheckBox* m_CheckBox = nullptr;  // owned by the dialog; null when confirmed
};

/// Shows a message the user can switch off under key; the text always goes to
/// the core log. True when confirmed (or remembered as confirmed).
WXDRAVIK_API bool wxDravikMessageBox(wxString message, String key, wxWindow* parent);
/// A one-line text prompt; the typed text after OK, empty after Cancel,
/// Escape or the close box.
WXDRAVIK_API wxString wxsGetTextFromUser(const wxString& message, const wxString& caption,
                                         const wxString& defaultValue = wxString(),
                                         wxWindow* parent = nullptr);
