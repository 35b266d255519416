#include "wxdravik/wxdravikdlg.h"

#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxswrappers.h"

// Stub until the dialog base is built.
std::set<wxDravikDlg*> wxDravikDlg::s_Dialogs;
std::mutex wxDravikDlg::s_DialogsMutex;
std::map<String, int> wxDravikDlg::s_NameCounts;
Signal0<ThreadPolicy::LocalThreaded> wxDravikDlg::s_DlgClosed;
Signal0<ThreadPolicy::LocalThreaded> wxDravikDlg::s_ModalStarted;
Signal0<ThreadPolicy::LocalThreaded> wxDravikDlg::s_ModalFinished;

// clang-format off
wxBEGIN_EVENT_TABLE(wxDravikDlg, wxDialog)
    EVT_CLOSE(wxDravikDlg::OnClose)
    EVT_BUTTON(wxID_OK, wxDravikDlg::OnOK)
    EVT_BUTTON(wxID_CANCEL, wxDravikDlg::OnCancel)
    EVT_ACTIVATE(wxDravikDlg::OnActivate)
    EVT_INIT_DIALOG(wxDravikDlg::OnInit)
    EVT_CHAR_HOOK(wxDravikDlg::OnKey)
wxEND_EVENT_TABLE()
// clang-format on

wxDravikDlg::wxDravikDlg(const String& name, bool modal)
{
    _Register(name, modal);
    Manage(this);
}

wxDravikDlg::wxDravikDlg(wxWindow* parent, const wxString& title, const String& name, bool modal)
{
    _Register(name, modal);
    Create(parent, wxID_ANY, title);
    Manage(this);
}

wxDravikDlg::~wxDravikDlg() {}

void wxDravikDlg::_Register(const String& name, bool modal)
{
    m_Name = name;
    m_Modal = modal;
}

void wxDravikDlg::CloseAll() {}
void wxDravikDlg::CloseAllFromNonGuiThread() {}
void wxDravikDlg::RefreshAll() {}

wxsStaticText* wxDravikDlg::_NewStatic(wxWindow* parent, const wxString& label, bool, bool, int, long style)
{
    return new wxsStaticText(parent, wxID_ANY, label, wxDefaultPosition, wxDefaultSize, style);
}

void wxDravikDlg::SetWindowStyleFlag(long style)
{
    wxWindow::SetWindowStyleFlag(style);
}

wxBoxSizer* wxDravikDlg::StartControls()
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    SetSizer(sizer);
    return sizer;
}

void wxDravikDlg::AddButtons(wxBoxSizer*, bool) {}

wxsStaticText* wxDravikDlg::NewStatic(const wxString& label, wxWindow* parent)
{
    return _NewStatic(parent ? parent : this, label, false, false, 0, 0);
}

wxsStaticText* wxDravikDlg::NewStatic(const wxString& label, wxWindow* parent, ColorName)
{
    return NewStatic(label, parent);
}

wxsStaticText* wxDravikDlg::NewStatic(const wxString& label, bool bold, bool italic, int sizeDelta, long style,
                                      wxWindow* parent)
{
    return _NewStatic(parent ? parent : this, label, bold, italic, sizeDelta, style);
}

wxWindow* wxDravikDlg::NewLine(wxWindow* parent)
{
    return new wxsPanel(parent ? parent : this);
}

wxSizer* wxDravikDlg::NewStaticLine(const wxString&, wxWindow*, wxsStaticText**)
{
    return new wxBoxSizer(wxHORIZONTAL);
}

bool wxDravikDlg::EmulateDefaultButton()
{
    return false;
}

bool wxDravikDlg::EmulateCancelButton()
{
    return false;
}

bool wxDravikDlg::EmulateWxsButtonClickIfPresent(int)
{
    return false;
}

void wxDravikDlg::DeferredClose()
{
    Close(false);
}

void wxDravikDlg::OnOK(wxCommandEvent& event)
{
    event.Skip();
}

void wxDravikDlg::OnCancel(wxCommandEvent& event)
{
    event.Skip();
}

void wxDravikDlg::OnClose(wxCloseEvent& event)
{
    event.Skip();
}

void wxDravikDlg::OnKey(wxKeyEvent& event)
{
    event.Skip();
}

void wxDravikDlg::OnInit(wxInitDialogEvent& event)
{
    event.Skip();
}

void wxDravikDlg::OnActivate(wxActivateEvent& event)
{
    if (wxDravikApp* app = wxGetDravikApp())
        app->ActivateEvent(event);
    else
        event.Skip();
}
