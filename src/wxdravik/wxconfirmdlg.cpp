#include "wxdravik/wxconfirmdlg.h"

#include "wxdravik/wxsbutton.h"
#include "wxdravik/wxdravikstring.h"
#include "xolib/log.h"

// Stub until the confirmation dialogs are built.
wxConfirmDlg::wxConfirmDlg(wxWindow* parent, const wxString& message, const String& key, bool allowCancel)
    : wxDravikDlg(parent, wxString(), String(), true), m_Key(key)
{
    CreateControls(parent, message, allowCancel);
}

wxConfirmDlg::~wxConfirmDlg() {}

bool wxConfirmDlg::Confirm()
{
    return true;
}

void wxConfirmDlg::ResetAll() {}
void wxConfirmDlg::SetOK(const String&) {}
void wxConfirmDlg::SetCancel(const String&) {}

bool wxConfirmDlg::TransferDataFromWindow()
{
    return true;
}

void wxConfirmDlg::CreateControls(wxWindow*, const wxString&, bool) {}

bool wxDravikMessageBox(wxString message, String key, wxWindow* parent)
{
    (void)key;
    (void)parent;
    LogInfo(wxsFromWx(message));
    return true;
}

wxString wxsGetTextFromUser(const wxString&, const wxString&, const wxString&, wxWindow*)
{
    return wxString();
}
