#include "wxdravik/wxconfirmdlg.h"

#include <wx/sizer.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxsbutton.h"
#include "wxdravik/wxstextctrl.h"
#include "wxdravik/wxswrappers.h"
#include "xolib/log.h"

namespace
{
const char* const k_ConfirmSection = "Confirm";
const int k_MessageBorder = 20;
const int k_RowBorder = 10;
const int k_RowGap = 10;
const int k_ButtonGap = 5;
const int k_PromptGap = 8;

wxString ApplicationTitle()
{
    return Application::the_Application ? wxsToWx(Application::the_Application->GetName()) : wxString();
}

/// Relabels a button and widens it when the new label needs more room.
void RelabelButton(wxDialog* dialog, int id, const String& label)
{
    // The dialog's own search, not the toolkit's global one, which would take
    // the first such button of any top-level window; it also stays out of
    // dialogs opened over this one.
    wxsButton* button = dynamic_cast<wxsButton*>(dialog->FindWindow(id));
    if (!button)
        return;
    const wxString text = wxsToWx(label);
    button->SetLabel(text);
    const int needed = button->GetTextExtent(wxControl::RemoveMnemonics(text)).x + 2 * button->GetCharWidth();
    if (needed > button->GetMinSize().x)
    {
        button->SetMinSize(wxSize(needed, button->GetMinSize().y));
        dialog->Fit();
    }
    button->Refresh();
}

/// The one-line prompt of wxsGetTextFromUser.
class wxsTextDlg : public wxDravikDlg
{
public:
    wxsTextDlg(wxWindow* parent, const wxString& message, const wxString& caption, const wxString& value)
        : wxDravikDlg(parent, caption, wxsFromWx(caption), true)
    {
        wxBoxSizer* sizer = StartControls();
        sizer->AddSpacer(k_PromptGap);
        sizer->Add(new wxsStaticText(this, wxID_ANY, message, wxDefaultPosition, wxDefaultSize, 0,
                                     wxStaticTextNameStr),
                   0, wxEXPAND | wxLEFT | wxRIGHT, k_PromptGap);
        sizer->AddSpacer(k_PromptGap);
        m_Text = new wxsTextCtrl(this, wxID_ANY, value);
        sizer->Add(m_Text, 0, wxEXPAND | wxLEFT | wxRIGHT, k_PromptGap);
        sizer->AddSpacer(k_PromptGap);
        AddButtons(sizer, true);

        Layout();
        // Wider is useful for long texts; taller only adds empty space.
        const wxSize minimum = sizer->GetMinSize();
        SetMinClientSize(minimum);
        SetMaxClientSize(wxSize(wxDefaultCoord, minimum.y));
    }
    ~wxsTextDlg() override {}

    wxString GetText() const { return m_Text->GetValue(); }

private:
    wxsTextCtrl* m_Text;  // child window
};
}

wxConfirmDlg::wxConfirmDlg(wxWindow* parent, const wxString& message, const String& key, bool allowCancel)
    : wxDravikDlg(parent, ApplicationTitle(), String(), true), m_Key(key)
{
    SetBGColor(COLOR_FIELD, 0);
    RefreshColors();
    m_Confirmed = DravikApp::GetOptions().GetValue(k_ConfirmSection, m_Key, false);
    if (m_Confirmed)
        return;  // never shown: no controls
    CreateControls(parent, message, allowCancel);
}

wxConfirmDlg::~wxConfirmDlg() {}

bool wxConfirmDlg::Confirm()
{
    if (m_Confirmed)
        return true;
    return ShowModal() == wxID_OK;
}

void wxConfirmDlg::ResetAll()
{
    DravikApp::GetOptions().ClearSection(k_ConfirmSection);
}

void wxConfirmDlg::SetOK(const String& label)
{
    RelabelButton(this, wxID_OK, label);
}

void wxConfirmDlg::SetCancel(const String& label)
{
    RelabelButton(this, wxID_CANCEL, label);
}

bool wxConfirmDlg::TransferDataFromWindow()
{
    if (m_CheckBox)
        DravikApp::GetOptions().SetValue(k_ConfirmSection, m_Key, m_CheckBox->GetValue());
    return true;
}

void wxConfirmDlg::CreateControls(wxWindow*, const wxString& message, bool allowCancel)
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    SetSizer(sizer);
    sizer->Add(new wxsStaticText(this, wxID_ANY, message, wxDefaultPosition, wxDefaultSize, 0,
                                 wxStaticTextNameStr),
               0, wxALL | wxEXPAND, k_MessageBorder);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, k_RowBorder);
    row->AddSpacer(k_RowGap);
    // The check box draws the label it was built with, so it gets its final
    // one at once.
    const wxString label = allowCancel ? _("This is always OK") : _("Don't tell me again");
    m_CheckBox = new wxsCheckBox(this, wxID_ANY, label, wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                                 wxCheckBoxNameStr);
    row->Add(m_CheckBox, 0, wxALIGN_CENTER_VERTICAL);
    row->AddStretchSpacer(1);
    row->AddSpacer(k_RowGap);
    auto* ok = new wxsButton(this, wxID_OK, _("OK"));
    row->Add(ok, 0, 0);
    ok->SetDefault();
    if (allowCancel)
    {
        row->AddSpacer(k_ButtonGap);
        row->Add(new wxsButton(this, wxID_CANCEL, _("Cancel")), 0, 0);
    }
    row->AddSpacer(k_RowGap);

    Fit();
    CentreOnParent(wxBOTH);
}

bool wxDravikMessageBox(wxString message, String key, wxWindow* parent)
{
    LogInfo(wxsFromWx(message));
    wxConfirmDlg dialog(parent, message, key, false);
    return dialog.Confirm();
}

wxString wxsGetTextFromUser(const wxString& message, const wxString& caption, const wxString& defaultValue,
                            wxWindow* parent)
{
    wxsTextDlg dialog(parent, message, caption, defaultValue);
    if (dialog.ShowModal() == wxID_OK)
        return dialog.GetText();
    return wxString();
}
