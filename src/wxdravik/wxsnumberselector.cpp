// The number selector and the slider with its number field.
#include "wxdravik/wxsnumberselector.h"

#include <cmath>
#include <limits>

#include <wx/sizer.h>

#include "wxdravik/wxdravikstring.h"

namespace
{
/// Style flags of the number selector.
const long k_ReadOnly = 1;
const long k_ProcessEnter = 2;

/// Decimal sliders work in thousandths.
const double k_DecimalScale = 1000.0;

/// A decimal value as a slider position, truncated toward zero. The small
/// nudge keeps a value typed with three places (0.29) from landing one
/// thousandth short through binary rounding; out-of-range and non-finite
/// values are bounded before the conversion, which could not hold them.
int DecimalPosition(double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? 0 : (value > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min());
    double scaled = value * k_DecimalScale;
    scaled += scaled >= 0 ? 1e-6 : -1e-6;
    if (scaled >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (scaled <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(std::trunc(scaled));
}

/// A composite is only a frame for its children: disabled, it keeps the
/// background it took from its parent, and the children show the state.
void KeepBackgroundWhenDisabled(wxsPanel* composite)
{
    int modifier = 0;
    const ColorName background = composite->GetBGColor(&modifier);
    composite->SetDisabledBGColor(background, modifier);
}

/// The composite reports a child's focus loss as its own.
void ReportFocusLoss(wxWindow* composite, const wxFocusEvent& event)
{
    wxFocusEvent own(event);
    own.SetId(composite->GetId());
    own.SetEventObject(composite);
    composite->GetEventHandler()->ProcessEvent(own);
}
}

// ---------------------------------------------------------------- wxsNumberSelector

wxBEGIN_EVENT_TABLE(wxsNumberSelector, wxsPanel)
    EVT_COMBOBOX(wxsNumberSelector::CHOICE_ID, wxsNumberSelector::OnChoiceChange)
    EVT_TEXT(wxsNumberSelector::TEXT_ID, wxsNumberSelector::OnValueChange)
wxEND_EVENT_TABLE()

wxsNumberSelector::wxsNumberSelector(wxWindow* parent, int id, const Values& values,
                                     const xolib::vector<String>& labels, long style)
    : wxsPanel(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, wxS("panel")),
      m_text(nullptr),
      m_choice(nullptr),
      m_values(values),
      m_customIndex(unsigned(values.size())),
      m_labels(labels)
{
    while (m_labels.size() < 4)
        m_labels.push_back(String());
    if (m_labels[0].Empty())
        m_labels[0] = "Custom:";
    KeepBackgroundWhenDisabled(this);

    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    long textStyle = wxTE_RICH2 | wxTE_RICH;
    if (style & k_ReadOnly)
        textStyle |= wxTE_READONLY;
    else if (style & k_ProcessEnter)
        textStyle |= wxTE_PROCESS_ENTER;
    m_text = new wxsTextCtrl(this, TEXT_ID, wxEmptyString, wxDefaultPosition, wxDefaultSize, textStyle,
                             wxDefaultValidator, wxTextCtrlNameStr);

    wxArrayString items;
    for (const auto& value : m_values)
        items.push_back(wxsToWx(value.second));
    items.push_back(wxsToWx(m_labels[0]));
    if (CanBeNegative())
        items.push_back(wxsToWx(m_labels[1]));
    m_choice = new wxsChoice(this, CHOICE_ID, wxDefaultPosition, wxDefaultSize, items, 0, wxDefaultValidator,
                             wxS("choice"));
    if (style & k_ReadOnly)
        m_choice->Disable();

    sizer->Add(m_choice, 1, wxEXPAND);
    sizer->Add(m_text, 1, wxEXPAND);
    SetSizer(sizer);

    m_text->Bind(wxEVT_KILL_FOCUS, &wxsNumberSelector::Focus, this);
    m_choice->Bind(wxEVT_KILL_FOCUS, &wxsNumberSelector::Focus, this);
}

wxString wxsNumberSelector::GetValue() const
{
    wxString value = m_text->GetValue();
    if (IsNegative() && !value.StartsWith(wxS("-")))
        value.Prepend(wxS("-"));
    return value;
}

void wxsNumberSelector::SetValue(const wxString& value)
{
    if (SelectValue(value))
    {
        m_text->ChangeValue(value);
    }
    else if (CanBeNegative() && value.StartsWith(wxS("-")))
    {
        SelectNegative();
        m_text->ChangeValue(value.Mid(1));
    }
    else
    {
        SelectCustom();
        m_text->ChangeValue(value);
    }
}

bool wxsNumberSelector::SelectValue(const wxString& text)
{
    const String wanted = wxsFromWx(text);
    for (const auto& value : m_values)
    {
        if (value.first.CompareNoCase(wanted) == 0 || value.second.CompareNoCase(wanted) == 0)
        {
            m_choice->SetStringSelection(wxsToWx(value.second));
            return true;
        }
    }
    return false;
}

bool wxsNumberSelector::CanBeNegative() const
{
    return !m_labels[1].Empty();
}

bool wxsNumberSelector::IsNegative() const
{
    return CanBeNegative() && m_choice->GetSelection() == int(m_customIndex + 1);
}

void wxsNumberSelector::SelectCustom()
{
    m_choice->SetSelection(int(m_customIndex));
}

void wxsNumberSelector::SelectNegative()
{
    m_choice->SetSelection(int(m_customIndex + 1));
}

void wxsNumberSelector::Focus(wxFocusEvent& event)
{
    // The choice's own list taking the focus is no loss for the host.
    if (!(event.GetEventObject() == m_choice && m_choice->KeepFocus()))
        ReportFocusLoss(this, event);
    event.Skip();
}

void wxsNumberSelector::OnChoiceChange(wxCommandEvent&)
{
    const String typed = wxsFromWx(m_text->GetValue());
    const String picked = wxsFromWx(m_choice->GetStringSelection());
    bool typedIsKey = false;
    for (const auto& value : m_values)
    {
        if (value.first.CompareNoCase(typed) == 0)
            typedIsKey = true;
        if (value.second == picked)
        {
            m_text->ChangeValue(wxsToWx(value.first));
            return;
        }
    }
    // The custom or negative entry: a named number still in the field gives
    // way to the host's starting text for that entry.
    if (typedIsKey)
    {
        if (picked == m_labels[1] && !m_labels[3].Empty())
            m_text->ChangeValue(wxsToWx(m_labels[3]));
        if (picked == m_labels[0] && !m_labels[2].Empty())
            m_text->ChangeValue(wxsToWx(m_labels[2]));
    }
    // Ready for the user to type the custom number.
    m_text->SetSelection(0, m_text->GetLastPosition());
    m_text->SetFocus();
}

void wxsNumberSelector::OnValueChange(wxCommandEvent&)
{
    const wxString value = m_text->GetValue();
    if (SelectValue(value))
        return;
    if (!CanBeNegative())
    {
        SelectCustom();
        return;
    }
    if (value.StartsWith(wxS("-")))
    {
        m_text->ChangeValue(value.Mid(1));
        SelectNegative();
    }
    else if (!IsNegative())
    {
        SelectCustom();
    }
}

// ---------------------------------------------------------------- wxsSlider

wxBEGIN_EVENT_TABLE(wxsSlider, wxsPanel)
    EVT_SLIDER(wxsSlider::SLIDER_ID, wxsSlider::OnSliderChange)
    EVT_TEXT(wxsSlider::TEXT_ID, wxsSlider::OnLabelChange)
wxEND_EVENT_TABLE()

wxsSlider::wxsSlider(wxWindow* parent, int id, int value, int min, int max)
    : wxsPanel(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, wxS("panel")),
      m_slider(nullptr),
      m_text(nullptr),
      m_decimal(false)
{
    CreateSubControls(value, min, max);
}

wxsSlider::wxsSlider(wxWindow* parent, int id, double value, double min, double max)
    : wxsPanel(parent, id, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, wxS("panel")),
      m_slider(nullptr),
      m_text(nullptr),
      m_decimal(true)
{
    CreateSubControls(DecimalPosition(value), DecimalPosition(min), DecimalPosition(max));
}

void wxsSlider::CreateSubControls(int value, int min, int max)
{
    KeepBackgroundWhenDisabled(this);
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    m_text = new wxsTextCtrl(this, TEXT_ID, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                             wxTE_RICH2 | wxTE_RICH);
    m_text->SetMinSize(wxSize(4 * m_text->GetCharWidth(), m_text->GetMinSize().y));
    m_slider = new wxSlider(this, SLIDER_ID, value, min, max, wxDefaultPosition, wxDefaultSize, wxSL_HORIZONTAL,
                            wxDefaultValidator, wxSliderNameStr);
    sizer->Add(m_text, 0, wxEXPAND);
    sizer->Add(m_slider, 1, wxALIGN_CENTER_VERTICAL);
    SetSizer(sizer);

    m_text->Bind(wxEVT_KILL_FOCUS, &wxsSlider::Focus, this);
    m_slider->Bind(wxEVT_KILL_FOCUS, &wxsSlider::Focus, this);
    m_text->ChangeValue(_Format(m_slider->GetValue()));
}

wxString wxsSlider::GetValue() const
{
    return m_text->GetValue();
}

void wxsSlider::SetValue(const wxString& value)
{
    m_text->SetValue(value);
}

wxString wxsSlider::_Format(int position) const
{
    if (m_decimal)
        return wxString::Format(wxS("%g"), position / k_DecimalScale);
    return wxString::Format(wxS("%d"), position);
}

void wxsSlider::Focus(wxFocusEvent& event)
{
    ReportFocusLoss(this, event);
    event.Skip();
}

void wxsSlider::OnSliderChange(wxCommandEvent&)
{
    m_text->ChangeValue(_Format(m_slider->GetValue()));
}

void wxsSlider::OnLabelChange(wxCommandEvent&)
{
    const wxString text = m_text->GetValue();
    int position = 0;
    bool isNumber = false;
    if (m_decimal)
    {
        double value = 0;
        isNumber = text.ToDouble(&value) && !std::isnan(value);
        if (isNumber)
            position = DecimalPosition(value);
    }
    else
    {
        long value = 0;
        isNumber = text.ToLong(&value, 10);
        if (isNumber)
            position = int(std::max<long>(std::numeric_limits<int>::min(),
                                          std::min<long>(std::numeric_limits<int>::max(), value)));
    }
    const int clamped = std::max(m_slider->GetMin(), std::min(m_slider->GetMax(), position));
    m_slider->SetValue(clamped);
    // A number inside the range stays exactly as typed; anything else shows
    // what the slider took.
    if (!isNumber || clamped != position)
        m_text->ChangeValue(_Format(clamped));
}
