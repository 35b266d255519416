#include "wxdravik/wxtextlinesearchpanel.h"

#include <wx/bmpbuttn.h>
#include <wx/intl.h>
#include <wx/scrolwin.h>
#include <wx/sizer.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxsbutton.h"
#include "wxdravik/wxtextlinectrl.h"

namespace
{
const char* const k_Section = "Search";
const char* const k_CaseSensitiveKey = "CaseSensitive";

// A square frame with a diagonal cross.
const char* const k_CloseImage[] = {
    "11 11 2 1", "  c #ffffff", "X c #000000",
    "XXXXXXXXXXX",
    "XX       XX",
    "X X     X X",
    "X  X   X  X",
    "X   X X   X",
    "X    X    X",
    "X   X X   X",
    "X  X   X  X",
    "X X     X X",
    "XX       XX",
    "XXXXXXXXXXX",
};
}  // namespace

// --- _SearchTextCtrl --------------------------------------------------------

wxBEGIN_EVENT_TABLE(_SearchTextCtrl, wxsTextCtrl)
    EVT_KEY_DOWN(_SearchTextCtrl::OnKeyDown)
wxEND_EVENT_TABLE()

_SearchTextCtrl::_SearchTextCtrl(wxWindow* parent)
    : wxsTextCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                  wxBORDER_NONE | wxTE_PROCESS_ENTER)
{
}

wxString _SearchTextCtrl::GetHint() const
{
    return _("Search for");
}

void _SearchTextCtrl::OnKeyDown(wxKeyEvent& event)
{
    const bool hide =
        event.GetKeyCode() == WXK_ESCAPE || (event.GetKeyCode() == 'F' && event.ControlDown());
    auto* panel = dynamic_cast<wxTextLineSearchPanel*>(GetParent());
    if (hide && panel)
        panel->Toggle();
    else
        event.Skip();
}

// --- wxTextLineSearchPanel --------------------------------------------------

// clang-format off
wxBEGIN_EVENT_TABLE(wxTextLineSearchPanel, wxsPanel)
    EVT_BUTTON(wxTextLineSearchPanel::ID_CLOSE, wxTextLineSearchPanel::OnClose)
    EVT_BUTTON(wxTextLineSearchPanel::ID_UP, wxTextLineSearchPanel::OnSearch)
    EVT_BUTTON(wxTextLineSearchPanel::ID_DOWN, wxTextLineSearchPanel::OnSearch)
    EVT_TEXT_ENTER(wxID_ANY, wxTextLineSearchPanel::OnSearch)
    EVT_CHECKBOX(wxID_ANY, wxTextLineSearchPanel::OnMatchCase)
wxEND_EVENT_TABLE()
// clang-format on

wxTextLineSearchPanel::wxTextLineSearchPanel(wxTextLineCtrl* viewer, wxWindow* parent)
    : wxsPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE, "panel"), m_Viewer(viewer),
      m_CloseBitmap(std::make_unique<wxBitmap>(k_CloseImage))
{
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    auto* close = new wxBitmapButton(this, ID_CLOSE, *m_CloseBitmap, wxDefaultPosition, wxDefaultSize,
                                     wxBORDER_NONE | wxBU_EXACTFIT);
    auto* label = new wxsStaticText(this, wxID_ANY, _("Search for:"), wxDefaultPosition, wxDefaultSize, 0,
                                    "staticText");
    m_SearchField = new _SearchTextCtrl(this);
    auto* up = new wxsButton(this, ID_UP, _("Up"), wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    auto* down = new wxsButton(this, ID_DOWN, _("Down"), wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    up->SetMinSize(down->GetMinSize());  // both equally wide
    m_MatchCase = new wxsCheckBox(this, wxID_ANY, _("Match Case"), wxDefaultPosition, wxDefaultSize, 0,
                                  wxDefaultValidator, "checkBox");
    m_MatchCase->SetValue(DravikApp::GetOptions().GetValue(k_Section, k_CaseSensitiveKey, true));

    sizer->AddSpacer(5);
    sizer->Add(close, 0, wxALIGN_CENTER_VERTICAL);
    sizer->AddSpacer(10);
    sizer->Add(label, 0, wxALIGN_CENTER_VERTICAL);
    sizer->AddSpacer(5);
    sizer->Add(m_SearchField, 1, wxEXPAND | wxTOP | wxBOTTOM, 1);
    sizer->AddSpacer(10);
    sizer->Add(up, 0, wxEXPAND | wxTOP | wxBOTTOM, 1);
    sizer->AddSpacer(5);
    sizer->Add(down, 0, wxEXPAND | wxTOP | wxBOTTOM, 1);
    sizer->AddSpacer(10);
    sizer->Add(m_MatchCase, 0, wxEXPAND);
    sizer->AddSpacer(5);
    SetSizer(sizer);
    sizer->Layout();
    Fit();
    Show();
    Toggle();  // starts hidden
}

wxTextLineSearchPanel::~wxTextLineSearchPanel() = default;

void wxTextLineSearchPanel::Toggle()
{
    const bool show = !IsShown();
    wxWindow* parent = GetParent();
    parent->Freeze();
    Show(show);
    GetSizer()->ShowItems(show);
    if (auto* scrolled = dynamic_cast<wxScrolledWindow*>(parent))
        scrolled->FitInside();
    parent->Layout();
    if (show)
        m_SearchField->SetFocus();
    else
        SetFocus();
    parent->Thaw();
}

void wxTextLineSearchPanel::OnClose(wxCommandEvent&)
{
    Toggle();
}

void wxTextLineSearchPanel::OnSearch(wxCommandEvent& event)
{
    const wxString text = m_SearchField->GetValue();
    if (text.empty())
        return;
    m_Viewer->Search(wxsFromWx(text), event.GetId() != ID_UP, m_MatchCase->GetValue());
}

void wxTextLineSearchPanel::OnMatchCase(wxCommandEvent&)
{
    DravikApp::GetOptions().SetValue(k_Section, k_CaseSensitiveKey, m_MatchCase->GetValue());
}
