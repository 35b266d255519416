#include "wxdravik/wxdravikdlg.h"

#include <utility>
#include <vector>

#include <wx/settings.h>

#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikapp.h"
#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxsbutton.h"
#include "wxdravik/wxswrappers.h"

std::set<wxDravikDlg*> wxDravikDlg::s_Dialogs;
std::mutex wxDravikDlg::s_DialogsMutex;
uint64_t wxDravikDlg::s_NextSerial = 1;
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

namespace
{
const long k_FixedDialogStyle = wxCAPTION | wxTAB_TRAVERSAL | wxCLOSE_BOX | wxSYSTEM_MENU | wxFRAME_FLOAT_ON_PARENT;
const long k_ModalNamedStyle = k_FixedDialogStyle | wxRESIZE_BORDER;
const long k_ModelessNamedStyle = k_ModalNamedStyle | wxMINIMIZE_BOX | wxMAXIMIZE_BOX;
/// Cascade step where the system does not tell its caption height.
const int k_DefaultCaptionHeight = 20;
const int k_ButtonBorder = 5;
const int k_StaticLineGap = 5;

/// Shown itself and inside shown parents, up to (not including) top.
bool ShownWithin(const wxWindow* window, const wxWindow* top)
{
    for (; window && window != top; window = window->GetParent())
        if (!window->IsShown())
            return false;
    return true;
}

/// Sends a click to a library button that the user could click now.
bool ClickIfUsable(wxWindow* window, const wxWindow* dialog)
{
    wxsButton* button = dynamic_cast<wxsButton*>(window);
    if (!button || !button->IsEnabled() || !ShownWithin(button, dialog))
        return false;
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
    return true;
}
}

wxDravikDlg::wxDravikDlg(const String& name, bool modal)
{
    _Register(name, modal);
    // The colours are applied by Create (or at the latest when the dialog is
    // first shown): before the window exists the toolkit cannot take them.
    SetExtraStyle(GetExtraStyle() & ~wxWS_EX_BLOCK_EVENTS);
}

wxDravikDlg::wxDravikDlg(wxWindow* parent, const wxString& title, const String& name, bool modal)
{
    _Register(name, modal);

    if (!parent)
        parent = wxDravikFrame::s_Frame;
    SetExtraStyle(GetExtraStyle() | wxWS_EX_THEMED_BACKGROUND);

    // Only named dialogs, whose size is remembered, can be resized.
    long style = k_FixedDialogStyle;
    if (!name.Empty())
        style = modal ? k_ModalNamedStyle : k_ModelessNamedStyle;

    const bool created =
        wxDialog::Create(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style, wxFrameNameStr);
    if (created && (style & wxRESIZE_BORDER))
        SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));

    _ManageColours();
    // Command events no handler of the dialog takes travel on to its parent.
    SetExtraStyle(GetExtraStyle() & ~wxWS_EX_BLOCK_EVENTS);
}

bool wxDravikDlg::Create(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                         const wxSize& size, long style, const wxString& name)
{
    if (!wxDialog::Create(parent, id, title, pos, size, style, name))
        return false;
    _ManageColours();
    SetExtraStyle(GetExtraStyle() & ~wxWS_EX_BLOCK_EVENTS);
    return true;
}

void wxDravikDlg::_ManageColours()
{
    if (m_ColoursManaged || !GetHandle())
        return;
    m_ColoursManaged = true;
    Manage(this);
}

wxDravikDlg::~wxDravikDlg()
{
    std::vector<wxDravikDlg*> others;
    {
        std::lock_guard<std::mutex> lock(s_DialogsMutex);
        s_Dialogs.erase(this);
        others.assign(s_Dialogs.begin(), s_Dialogs.end());
    }

    auto count = s_NameCounts.find(m_Name);
    if (count != s_NameCounts.end() && --count->second <= 0)
        s_NameCounts.erase(count);

    s_DlgClosed.Emit();

    // Only the GUI thread destroys dialogs, so the copy stays valid here.
    for (wxDravikDlg* dialog : others)
        dialog->Refresh(true);
}

void wxDravikDlg::_Register(const String& name, bool modal)
{
    m_Name = name;
    {
        std::lock_guard<std::mutex> lock(s_DialogsMutex);
        m_Serial = s_NextSerial++;
        s_Dialogs.insert(this);
    }
    int& count = s_NameCounts[name];
    m_Cascade = count;
    ++count;
    m_Modal = modal;
    m_HandleEscapeKey = true;
}

bool wxDravikDlg::_IsRegistered(const wxDravikDlg* dialog, uint64_t serial)
{
    std::lock_guard<std::mutex> lock(s_DialogsMutex);
    // A registered dialog is alive, so reading its serial is safe.
    return s_Dialogs.count(const_cast<wxDravikDlg*>(dialog)) != 0 && dialog->m_Serial == serial;
}

void wxDravikDlg::CloseAll()
{
    std::vector<wxDravikDlg*> dialogs;
    {
        std::lock_guard<std::mutex> lock(s_DialogsMutex);
        dialogs.assign(s_Dialogs.begin(), s_Dialogs.end());
        s_Dialogs.clear();
    }
    for (wxDravikDlg* dialog : dialogs)
    {
        // A dialog in its modal loop belongs to the code in ShowModal (often
        // on its stack): deleting it at the next idle time would pull it from
        // under that code. Its loop ends and its owner deletes it.
        if (dialog->IsModal())
            dialog->EndModal(wxID_CANCEL);
        else
            dialog->Destroy();
    }
}

void wxDravikDlg::CloseAllFromNonGuiThread()
{
    std::vector<std::pair<wxDravikDlg*, uint64_t>> targets;
    {
        std::lock_guard<std::mutex> lock(s_DialogsMutex);
        for (wxDravikDlg* dialog : s_Dialogs)
            targets.emplace_back(dialog, dialog->m_Serial);
    }
    wxAppConsole* app = wxTheApp;
    if (!app)
        return;
    // Queued on the application, not on the dialogs: a dialog may be gone
    // before the call runs, and the GUI thread checks that the very same
    // dialog is still there before touching it.
    for (const auto& target : targets)
    {
        wxDravikDlg* dialog = target.first;
        const uint64_t serial = target.second;
        app->CallAfter([dialog, serial] {
            if (_IsRegistered(dialog, serial))
                dialog->DeferredClose();
        });
    }
}

void wxDravikDlg::RefreshAll()
{
    std::vector<wxDravikDlg*> dialogs;
    {
        std::lock_guard<std::mutex> lock(s_DialogsMutex);
        dialogs.assign(s_Dialogs.begin(), s_Dialogs.end());
    }
    for (wxDravikDlg* dialog : dialogs)
    {
        wxSysColourChangedEvent event;
        event.SetEventObject(dialog);
        dialog->HandleWindowEvent(event);
        dialog->Refresh(true);
    }
}

wxsStaticText* wxDravikDlg::_NewStatic(wxWindow* parent, const wxString& label, bool bold, bool italic,
                                       int sizeDelta, long style)
{
    wxCHECK_MSG(parent, nullptr, "a static text needs a parent");
    auto* text = new wxsStaticText(parent, wxID_ANY, label, wxDefaultPosition, wxDefaultSize, style,
                                   wxStaticTextNameStr);
    if (bold || italic || sizeDelta)
    {
        wxFont font = text->GetFont();
        if (bold)
            font.SetWeight(wxFONTWEIGHT_BOLD);
        if (italic)
            font.SetStyle(wxFONTSTYLE_ITALIC);
        if (sizeDelta)
            font.SetPointSize(font.GetPointSize() + sizeDelta);
        text->SetFont(font);
    }
    return text;
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

void wxDravikDlg::AddButtons(wxBoxSizer* sizer, bool alignRight)
{
    wxCHECK_RET(sizer, "AddButtons needs a sizer");
    wxBoxSizer* row = sizer;
    if (sizer->GetOrientation() == wxVERTICAL && alignRight)
    {
        row = new wxBoxSizer(wxHORIZONTAL);
        sizer->Add(row, 0, wxALIGN_RIGHT);
    }
    else if (sizer->GetOrientation() == wxHORIZONTAL)
    {
        sizer->AddStretchSpacer(1);
    }

    // A vertical row ignores vertical centring, and the toolkit reports the
    // flag there as a mistake.
    const int flags = row->GetOrientation() == wxHORIZONTAL ? wxALL | wxALIGN_CENTER_VERTICAL : wxALL;
    auto* ok = new wxsButton(this, wxID_OK, _("OK"));
    row->Add(ok, 0, flags, k_ButtonBorder);
    ok->SetDefault();
    auto* cancel = new wxsButton(this, wxID_CANCEL, _("Cancel"));
    row->Add(cancel, 0, flags, k_ButtonBorder);
}

wxsStaticText* wxDravikDlg::NewStatic(const wxString& label, wxWindow* parent)
{
    return new wxsStaticText(parent ? parent : this, wxID_ANY, label, wxDefaultPosition, wxDefaultSize, 0,
                             wxStaticTextNameStr);
}

wxsStaticText* wxDravikDlg::NewStatic(const wxString& label, wxWindow* parent, ColorName colour)
{
    wxsStaticText* text = NewStatic(label, parent);
    text->SetFGColor(colour, 0);
    text->RefreshColors();
    return text;
}

wxsStaticText* wxDravikDlg::NewStatic(const wxString& label, bool bold, bool italic, int sizeDelta, long style,
                                      wxWindow* parent)
{
    return _NewStatic(parent ? parent : this, label, bold, italic, sizeDelta, style);
}

wxWindow* wxDravikDlg::NewLine(wxWindow* parent)
{
    auto* line = new wxsPanel(parent ? parent : this, wxID_ANY, wxDefaultPosition, wxSize(-1, 1), wxTAB_TRAVERSAL,
                              wxPanelNameStr);
    line->SetBGColor(COLOR_TEXT_DISABLED, 0);
    return line;
}

wxSizer* wxDravikDlg::NewStaticLine(const wxString& label, wxWindow* parent, wxsStaticText** labelOut)
{
    wxWindow* owner = parent ? parent : this;
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    wxsStaticText* text = _NewStatic(owner, label, false, true, 0, 0);
    text->SetFGColor(COLOR_TEXT_DISABLED, 0);
    sizer->Add(text, 0, wxALIGN_CENTER_VERTICAL);
    // No gap before the rule when there is no label now and none can come.
    if (!label.empty() || labelOut)
        sizer->AddSpacer(k_StaticLineGap);
    sizer->Add(NewLine(owner), 1, wxALIGN_CENTER_VERTICAL);
    if (labelOut)
        *labelOut = text;
    return sizer;
}

bool wxDravikDlg::EmulateDefaultButton()
{
    wxWindow* item = GetDefaultItem();
    return item && ClickIfUsable(item, this);
}

bool wxDravikDlg::EmulateCancelButton()
{
    int id = GetEscapeId();
    if (id == wxID_NONE)
        return false;
    if (id == wxID_ANY)
    {
        if (EmulateWxsButtonClickIfPresent(wxID_CANCEL))
            return true;
        id = GetAffirmativeId();
    }
    return EmulateWxsButtonClickIfPresent(id);
}

bool wxDravikDlg::EmulateWxsButtonClickIfPresent(int id)
{
    // The toolkit's search stays out of dialogs opened over this one.
    return ClickIfUsable(FindWindow(id), this);
}

void wxDravikDlg::DeferredClose()
{
    Close(false);
}

void wxDravikDlg::_EndDialog(int code)
{
    if (IsModal())
        EndModal(code);
    else if (IsShown())
    {
        SetReturnCode(code);
        Hide();
    }
}

void wxDravikDlg::OnOK(wxCommandEvent&)
{
    if (!Validate() || !TransferDataFromWindow())
        return;
    if (m_Modal)
    {
        if (!m_Name.Empty())
            wxSaveWindowPos(this, m_Name);
        _EndDialog(wxID_OK);
    }
    else
    {
        SetReturnCode(wxID_OK);
        Close(true);
    }
}

void wxDravikDlg::OnCancel(wxCommandEvent&)
{
    if (m_Modal)
    {
        if (!m_Name.Empty())
            wxSaveWindowPos(this, m_Name);
        _EndDialog(0);
    }
    else
    {
        SetReturnCode(0);
        Close(true);
    }
}

void wxDravikDlg::OnClose(wxCloseEvent& event)
{
    if (!m_Name.Empty())
        wxSaveWindowPos(this, m_Name);
    if (!m_Modal)
    {
        Destroy();
        return;
    }
    // The toolkit's own handling runs next: it clicks a toolkit button with
    // the escape id, or ends the dialog with wxID_CANCEL.
    event.Skip();
    s_ModalFinished.Emit();
}

void wxDravikDlg::OnKey(wxKeyEvent& event)
{
    switch (event.GetKeyCode())
    {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            if (!m_HandleEscapeKey)
            {
                event.Skip();
                return;
            }
            EmulateDefaultButton();
            return;
        case WXK_ESCAPE:
            if (!m_HandleEscapeKey)
            {
                event.Skip();
                return;
            }
            EmulateCancelButton();
            return;
        default:
            event.Skip();
    }
}

void wxDravikDlg::OnInit(wxInitDialogEvent& event)
{
    // A subclass that created the window through wxDialog::Create directly.
    _ManageColours();
    Layout();
    Fit();
    if (!m_Name.Empty())
    {
        int captionHeight = wxSystemSettings::GetMetric(wxSYS_CAPTION_Y);
        if (captionHeight < 1)
            captionHeight = k_DefaultCaptionHeight;
        wxSetWindowPos(this, m_Name, m_Cascade * captionHeight);
    }
    // The toolkit then transfers data to the controls.
    event.Skip();
    if (m_Modal)
        s_ModalStarted.Emit();
}

void wxDravikDlg::OnActivate(wxActivateEvent& event)
{
    if (wxDravikApp* app = wxGetDravikApp())
        app->ActivateEvent(event);
    else
        event.Skip();
}
