// Small colour-managed wrappers and the line, expandable panel and date-time
// composites.
#include "wxdravik/wxswrappers.h"

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/pen.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxsbutton.h"

// ---------------------------------------------------------------- wrappers

wxsPanel::wxsPanel(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                   const wxString& name)
    : wxPanel(parent, id, pos, size, style, name)
{
    Manage(this);
}

wxsStaticText::wxsStaticText(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                             const wxSize& size, long style, const wxString& name)
    : wxStaticText(parent, id, label, pos, size, style, name)
{
    Manage(this);
}

wxsStaticBox::wxsStaticBox(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                           const wxSize& size, long style, const wxString& name)
    : wxStaticBox(parent, id, label, pos, size, style, name)
{
    Manage(this);
}

wxsStaticBoxSizer::wxsStaticBoxSizer(wxStaticBox* box, int orientation) : wxStaticBoxSizer(box, orientation)
{
    Manage(GetStaticBox());
}

wxsStaticBoxSizer::wxsStaticBoxSizer(int orientation, wxWindow* parent, const wxString& label)
    : wxStaticBoxSizer(orientation, parent, label)
{
    Manage(GetStaticBox());
}

wxsScrolledWindow::wxsScrolledWindow() {}

wxsScrolledWindow::wxsScrolledWindow(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                                     long style, const wxString& name)
    : wxScrolledWindow(parent, id, pos, size, style, name)
{
    Manage(this);
}

wxsSplitterWindow::wxsSplitterWindow(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                                     long style, const wxString& name)
    : wxSplitterWindow(parent, id, pos, size, style, name)
{
    Manage(this);
    SetBGColor(COLOR_BACKGROUND_LIGHT, 0);
}

void _ColourInnerWindows(wxWindow* window, const wxColour& colour, bool foreground)
{
    for (wxWindow* child : window->GetChildren())
    {
        if (foreground)
            child->SetForegroundColour(colour);
        else
            child->SetBackgroundColour(colour);
        _ColourInnerWindows(child, colour, foreground);
    }
}

wxsDatePickerCtrl::wxsDatePickerCtrl(wxWindow* parent, wxWindowID id)
    : _SchemePicker(parent, id, wxDefaultDateTime, wxDefaultPosition, wxDefaultSize, wxDP_SHOWCENTURY,
                    wxDefaultValidator, wxT("datectrl"))
{
}

wxsTimePickerCtrl::wxsTimePickerCtrl(wxWindow* parent, wxWindowID id)
    : _SchemePicker(parent, id, wxDefaultDateTime, wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                    wxT("timectrl"))
{
}

// ---------------------------------------------------------------- line

wxsLine::wxsLine(wxWindow* parent) : wxsPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, wxT("panel"))
{
    SetMinSize(wxSize(-1, 25));
    Bind(wxEVT_PAINT, &wxsLine::Paint, this);
}

void wxsLine::Render(wxDC& dc) const
{
    const wxSize size = GetClientSize();
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    wxPen pen(wxsGetColor(COLOR_TEXT_DISABLED), 1);
    pen.SetJoin(wxJOIN_MITER);
    pen.SetCap(wxCAP_BUTT);
    dc.SetPen(pen);
    const int y = (3 * size.y) / 5;
    dc.DrawLine(0, y, size.x, y);
}

void wxsLine::Paint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    Render(dc);
}

// ---------------------------------------------------------------- expandable panel

namespace
{
// 11 x 11 markers: a box shaded from top to bottom, with a plus (closed) or a
// minus (open) in the outline colour.
const char* const k_ClosedMarker[] = {
    "11 11 6 1",
    "  c #FFFFFF",
    "o c #646464",
    "a c #F3F3F3",
    "b c #EAEAEA",
    "c c #E2E2E2",
    "d c #DADADA",
    " ooooooooo ",
    "oaaaaaaaaao",
    "oaaaaoaaaao",
    "obbbbobbbbo",
    "obbbbobbbbo",
    "ocoooooooco",
    "occccocccco",
    "occccocccco",
    "oddddoddddo",
    "odddddddddo",
    " ooooooooo ",
};

const char* const k_OpenMarker[] = {
    "11 11 6 1",
    "  c #FFFFFF",
    "o c #646464",
    "a c #FBFBFB",
    "b c #F1F1F1",
    "c c #E8E8E8",
    "d c #DFDFDF",
    " ooooooooo ",
    "oaaaaaaaaao",
    "oaaaaaaaaao",
    "obbbbbbbbbo",
    "obbbbbbbbbo",
    "ocoooooooco",
    "occccccccco",
    "occccccccco",
    "odddddddddo",
    "odddddddddo",
    " ooooooooo ",
};

// Shared by every panel of the process; made by the first one that needs them.
wxBitmap s_ClosedMarker;
wxBitmap s_OpenMarker;

const wxBitmap& Marker(bool open)
{
    return open ? s_OpenMarker : s_ClosedMarker;
}
}

wxBEGIN_EVENT_TABLE(wxExpandablePanel, wxsPanel)
    EVT_BUTTON(wxExpandablePanel::EXPAND_BUTTON_ID, wxExpandablePanel::OnExpand)
wxEND_EVENT_TABLE()

wxExpandablePanel::wxExpandablePanel(wxWindow* parent, wxOrientation orientation)
    : wxsPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, wxT("panel")),
      m_Expanded(false),
      m_Orientation(orientation),
      m_ExpandButton(nullptr),
      m_HeaderLabel(nullptr),
      m_ExpandableSizer(nullptr)
{
}

void wxExpandablePanel::CreateInfrastructure(const wxString& tooltip, bool collapsible)
{
    if (!s_ClosedMarker.IsOk())
    {
        s_ClosedMarker = wxBitmap(k_ClosedMarker);
        s_OpenMarker = wxBitmap(k_OpenMarker);
    }

    wxBoxSizer* panelSizer = new wxBoxSizer(m_Orientation);  // owned by the panel
    SetSizer(panelSizer);
    SetToolTip(tooltip);

    wxBoxSizer* header = new wxBoxSizer(wxHORIZONTAL);  // owned by panelSizer
    panelSizer->Add(header, 0);

    if (collapsible)
    {
        m_Expanded = DravikApp::GetOptions().GetValue(m_OptionsSection, m_OptionsKey, false);
        m_ExpandButton = new wxsBitmapButton(this, EXPAND_BUTTON_ID, Marker(m_Expanded));  // child window
        // The button sits on the panel, so it takes the panel's background.
        m_ExpandButton->SetBGColor(GetBGColor(), 0);
        m_ExpandButton->SetToolTip(tooltip);
        header->Add(m_ExpandButton, 0, wxALIGN_CENTER_VERTICAL);
        header->AddSpacer(5);
    }
    else
    {
        m_Expanded = true;
    }

    m_HeaderLabel = new _ClickStatic(this, HEADER_LABEL_ID, m_Expanded ? m_OpenLabel : m_ClosedLabel,
                                     wxDefaultPosition, wxDefaultSize, 0, wxT("staticText"));  // child window
    m_HeaderLabel->SetToolTip(tooltip);
    // A fixed panel's label must not react to clicks.
    m_HeaderLabel->Enable(collapsible);
    header->Add(m_HeaderLabel, 0, wxALIGN_CENTER_VERTICAL);

    panelSizer->AddSpacer(5);
    m_ExpandableSizer = new wxBoxSizer(wxVERTICAL);  // owned by panelSizer
    panelSizer->Add(m_ExpandableSizer, 1, wxEXPAND);
    panelSizer->Show(m_ExpandableSizer, m_Expanded);
    Layout();
}

void wxExpandablePanel::Expand()
{
    wxWindow* parent = GetParent();
    if (parent)
        parent->Freeze();
    if (GetSizer() && m_ExpandableSizer)
        GetSizer()->Show(m_ExpandableSizer, m_Expanded);
    if (m_ExpandButton)
        m_ExpandButton->SetBitmap(Marker(m_Expanded));
    if (m_HeaderLabel)
        m_HeaderLabel->SetLabel(m_Expanded ? m_OpenLabel : m_ClosedLabel);
    // The panel's best size changed with the content shown or hidden.
    InvalidateBestSize();
    Layout();
    if (parent)
    {
        parent->Layout();
        if (wxScrolledWindow* scrolled = dynamic_cast<wxScrolledWindow*>(parent))
            scrolled->FitInside();
        parent->Thaw();
    }
}

void wxExpandablePanel::OnExpand(wxCommandEvent&)
{
    m_Expanded = !m_Expanded;
    Expand();
    DravikApp::GetOptions().SetValue(m_OptionsSection, m_OptionsKey, m_Expanded);
}

wxBEGIN_EVENT_TABLE(_ClickStatic, wxsStaticText)
    EVT_LEFT_UP(_ClickStatic::OnLeftUp)
wxEND_EVENT_TABLE()

_ClickStatic::_ClickStatic(wxWindow* parent, wxWindowID id, const wxString& label, const wxPoint& pos,
                           const wxSize& size, long style, const wxString& name)
    : wxsStaticText(parent, id, label, pos, size, style, name)
{
}

void _ClickStatic::OnLeftUp(wxMouseEvent& event)
{
    // A disabled label (fixed panel) stays inert even when an event is
    // delivered to it directly.
    if (event.LeftIsDown() || !IsEnabled())
        return;
    wxCommandEvent click(wxEVT_BUTTON, wxExpandablePanel::EXPAND_BUTTON_ID);
    click.SetEventObject(this);
    ProcessWindowEvent(click);
}

// ---------------------------------------------------------------- date and time

wxsDateTimeCtrl::wxsDateTimeCtrl(wxWindow* parent, int id) : wxsPanel(parent, id)
{
    m_Never = new wxsCheckBox(this, wxID_ANY, _("Never"), wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, wxT("checkBox"));  // child windows from here on
    m_Date = new wxsDatePickerCtrl(this, wxID_ANY);
    m_Time = new wxsTimePickerCtrl(this, wxID_ANY);
    m_Now = new wxsButton(this, wxID_ANY, _("Now"), wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);

    wxBoxSizer* sizer = new wxBoxSizer(wxHORIZONTAL);  // owned by the panel
    sizer->Add(m_Never, 0, wxEXPAND);
    sizer->AddSpacer(5);
    sizer->Add(m_Date, 1, wxEXPAND);
    sizer->AddSpacer(5);
    sizer->Add(m_Time, 1, wxEXPAND);
    sizer->AddSpacer(5);
    sizer->Add(m_Now, 0, wxEXPAND);
    SetSizer(sizer);

    Bind(wxEVT_CHECKBOX, &wxsDateTimeCtrl::Clicked, this, m_Never->GetId());
    Bind(wxEVT_BUTTON, &wxsDateTimeCtrl::Clicked, this, m_Now->GetId());
}

void wxsDateTimeCtrl::DoEnable(bool enable)
{
    wxsPanel::DoEnable(enable);
    m_Date->RefreshColors();
    m_Time->RefreshColors();
}

void wxsDateTimeCtrl::Clicked(wxCommandEvent& event)
{
    if (event.GetId() == m_Now->GetId())
    {
        SetValue(Time::CurrentTime());
        return;
    }
    _EnablePickers();
}

void wxsDateTimeCtrl::_EnablePickers()
{
    const bool never = m_Never->GetValue();
    m_Date->Enable(!never);
    m_Time->Enable(!never);
    // Now rather than at the next idle time, when the mixin would.
    m_Date->RefreshColors();
    m_Time->RefreshColors();
}

void wxsDateTimeCtrl::SetValue(const Time& value)
{
    if (value.IsZero())
    {
        m_Never->SetValue(true);
    }
    else
    {
        const Time local = value.ConvertToLocal();
        int year, month, day, hour, minute, second, ms;
        local.ExtractDate(year, month, day);
        local.ExtractTime(hour, minute, second, ms);
        const wxDateTime shown(wxDateTime::wxDateTime_t(day), wxDateTime::Month(month - 1), year,
                               wxDateTime::wxDateTime_t(hour), wxDateTime::wxDateTime_t(minute),
                               wxDateTime::wxDateTime_t(second), 0);
        m_Date->SetValue(shown);
        m_Time->SetValue(shown);
        m_Never->SetValue(false);
    }
    _EnablePickers();
}

Time wxsDateTimeCtrl::GetValue() const
{
    if (m_Never->GetValue())
        return Time();
    // The pickers hold a local wall-clock reading: the date picker only the
    // day, the time picker only the time of day (on a date of its own). Join
    // the two readings in local time first, so that the universal date is
    // right also when it differs from the local one.
    const wxDateTime date = m_Date->GetValue();
    const wxDateTime time = m_Time->GetValue();
    if (!date.IsValid() || !time.IsValid())
        return Time();
    const wxDateTime joined(date.GetDay(), date.GetMonth(), date.GetYear(), time.GetHour(), time.GetMinute(),
                            time.GetSecond(), time.GetMillisecond());
    const wxDateTime::Tm utc = joined.GetTm(wxDateTime::GMT0);
    return Time(utc.year, int(utc.mon) + 1, utc.mday, utc.hour, utc.min, utc.sec, utc.msec);
}
