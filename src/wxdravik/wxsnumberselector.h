// Numeric entry composites: a choice of named values beside a number field,
// and a number field beside a slider. Both exchange their value as text.
#pragma once

#include <wx/slider.h>

#include "wxdravik/wxschoice.h"
#include "wxdravik/wxstextctrl.h"
#include "wxdravik/wxswrappers.h"
#include "wxdravik/wxdravikdefs.h"
#include "xolib/xolib.h"

/// A choice of named numbers plus a "Custom:" entry (and optionally an entry
/// for negative numbers) next to a text field with the number. Picking a name
/// writes its number into the field; typing selects the matching name, or the
/// custom entry for any other text.
///
/// Style flags: 1 makes the field read-only and disables the choice; 2 (without
/// 1) makes Enter in the field send wxEVT_TEXT_ENTER.
class WXDRAVIK_API wxsNumberSelector : public wxsPanel
{
public:
    /// Window ids of the children.
    enum
    {
        TEXT_ID = 6814,
        CHOICE_ID = 6815
    };
    typedef xolib::map<String, String, String::ciless> Values;

    /// values: number text -> display name, listed in the key order.
    /// labels: [0] the custom entry ("Custom:" when empty), [1] the negative
    /// entry (empty: none), [2] the field text put in when the user picks the
    /// custom entry, [3] the same for the negative entry (empty: kept).
    wxsNumberSelector(wxWindow* parent, int id, const Values& values, const xolib::vector<String>& labels,
                      long style = 0);

    /// The field's text, with "-" in front when the negative entry is selected.
    wxString GetValue() const;
    /// Selects the matching name (or the custom or negative entry) and puts the
    /// number into the field without a text event.
    void SetValue(const wxString& value);

    wxsTextCtrl* GetTextCtrl() const { return m_text; }
    wxsChoice* GetChoice() const { return m_choice; }

protected:
    /// Selects the first named value whose key or name equals text, ignoring
    /// case; false when none does.
    bool SelectValue(const wxString& text);
    bool CanBeNegative() const;
    bool IsNegative() const;
    void SelectCustom();
    void SelectNegative();

    void Focus(wxFocusEvent& event);
    void OnValueChange(wxCommandEvent& event);
    void OnChoiceChange(wxCommandEvent& event);

private:
    wxsTextCtrl* m_text;  // children, owned by the panel
    wxsChoice* m_choice;
    Values m_values;
    unsigned int m_customIndex;
    xolib::vector<String> m_labels;

    wxDECLARE_EVENT_TABLE();
};

/// A number field next to a slider, kept in step: moving the slider writes the
/// field, typing moves the slider. Text that is no number or lies outside the
/// range is corrected to the range. The double constructor works in
/// thousandths (three decimal places).
class WXDRAVIK_API wxsSlider : public wxsPanel
{
public:
    /// Window ids of the children.
    enum
    {
        TEXT_ID = 6802,
        SLIDER_ID = 6803
    };

    wxsSlider(wxWindow* parent, int id, int value, int min, int max);
    wxsSlider(wxWindow* parent, int id, double value, double min, double max);

    /// The field's text.
    wxString GetValue() const;
    /// Sets the field's text with a text event, so the slider follows.
    void SetValue(const wxString& value);

    wxSlider* GetSlider() const { return m_slider; }
    wxsTextCtrl* GetTextCtrl() const { return m_text; }

protected:
    void CreateSubControls(int value, int min, int max);
    void Focus(wxFocusEvent& event);
    void OnSliderChange(wxCommandEvent& event);
    void OnLabelChange(wxCommandEvent& event);

private:
    /// The field's text for a slider position.
    wxString _Format(int position) const;

    wxSlider* m_slider;  // children, owned by the panel
    wxsTextCtrl* m_text;
    bool m_decimal;

    wxDECLARE_EVENT_TABLE();
};
