// Small colour-managed wrappers of toolkit windows, and three composites built
// from them: a separator line, a collapsible panel that remembers its state and
// a date-and-time editor with a "Never" choice.
#pragma once

#include <utility>

#include <wx/datectrl.h>
#include <wx/dc.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/timectrl.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxscolormanaged.h"
#include "wxdravik/wxdravikdefs.h"
#include "xolib/xolib.h"

class wxsBitmapButton;
class wxsButton;
class wxsCheckBox;

/// A panel in the scheme's colours.
class WXDRAVIK_API wxsPanel : public wxPanel, public wxsColorManaged
{
public:
    wxsPanel(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
             const wxSize& size = wxDefaultSize, long style = wxTAB_TRAVERSAL,
             const wxString& name = wxPanelNameStr);
};

/// A static text in the scheme's colours.
class WXDRAVIK_API wxsStaticText : public wxStaticText, public wxsColorManaged
{
public:
    wxsStaticText(wxWindow* parent, wxWindowID id, const wxString& label,
                  const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                  long style = 0, const wxString& name = wxStaticTextNameStr);
};

/// A static box in the scheme's colours.
class WXDRAVIK_API wxsStaticBox : public wxStaticBox, public wxsColorManaged
{
public:
    wxsStaticBox(wxWindow* parent, wxWindowID id, const wxString& label,
                 const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                 long style = 0, const wxString& name = wxStaticBoxNameStr);
};

/// A static box sizer whose box window follows the scheme.
class WXDRAVIK_API wxsStaticBoxSizer : public wxStaticBoxSizer, public wxsColorManaged
{
public:
    wxsStaticBoxSizer(wxStaticBox* box, int orientation);
    wxsStaticBoxSizer(int orientation, wxWindow* parent, const wxString& label = wxEmptyString);
};

/// A scrolled window in the scheme's colours.
class WXDRAVIK_API wxsScrolledWindow : public wxScrolledWindow, public wxsColorManaged
{
public:
    /// For two-step creation: call Create and then Manage(this).
    wxsScrolledWindow();
    wxsScrolledWindow(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                      const wxSize& size = wxDefaultSize, long style = wxScrolledWindowStyle,
                      const wxString& name = wxPanelNameStr);
};

/// A splitter on the lighter background.
class WXDRAVIK_API wxsSplitterWindow : public wxSplitterWindow, public wxsColorManaged
{
public:
    wxsSplitterWindow(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& pos = wxDefaultPosition,
                      const wxSize& size = wxDefaultSize, long style = wxSP_3D,
                      const wxString& name = wxT("splitter"));
};

/// Gives every inner window of a composite control the same colour.
WXDRAVIK_API void _ColourInnerWindows(wxWindow* window, const wxColour& colour, bool foreground);

/// A toolkit picker in the scheme's colours. The picker is built from inner
/// windows that keep the platform's colours unless they are told too, and
/// their explicit colours hide the platform's disabled look, so the disabled
/// colours are applied on every change of the enabled state: at once for the
/// picker's own, at the next idle time for a parent's (through the mixin).
template <class Picker>
class _SchemePicker : public Picker, public wxsColorManaged
{
public:
    bool SetForegroundColour(const wxColour& colour) override
    {
        _ColourInnerWindows(this, colour, true);
        return Picker::SetForegroundColour(colour);
    }
    bool SetBackgroundColour(const wxColour& colour) override
    {
        _ColourInnerWindows(this, colour, false);
        return Picker::SetBackgroundColour(colour);
    }

protected:
    template <class... Args>
    explicit _SchemePicker(Args&&... args) : Picker(std::forward<Args>(args)...)
    {
        Manage(this);
        SetBGColor(COLOR_BACKGROUND, 0);
        SetFGColor(COLOR_TEXT, 0);
    }

    void DoEnable(bool enable) override
    {
        Picker::DoEnable(enable);
        RefreshColors();
    }
};

/// A date picker (with century) in the scheme's colours.
class WXDRAVIK_API wxsDatePickerCtrl : public _SchemePicker<wxDatePickerCtrl>
{
public:
    wxsDatePickerCtrl(wxWindow* parent, wxWindowID id);
};

/// A time picker in the scheme's colours.
class WXDRAVIK_API wxsTimePickerCtrl : public _SchemePicker<wxTimePickerCtrl>
{
public:
    wxsTimePickerCtrl(wxWindow* parent, wxWindowID id);
};

/// A horizontal separator line, drawn three fifths of the way down.
class WXDRAVIK_API wxsLine : public wxsPanel
{
public:
    explicit wxsLine(wxWindow* parent);

    /// Draws the line for the current client size; the paint handler only
    /// calls this.
    void Render(wxDC& dc) const;

private:
    void Paint(wxPaintEvent& event);
};

class _ClickStatic;

/// A header (expand button and label) over content that can be shown or
/// hidden; the expanded state is kept in the program's options.
class WXDRAVIK_API wxExpandablePanel : public wxsPanel
{
public:
    /// Window ids of the header's button and label.
    enum
    {
        EXPAND_BUTTON_ID = 8313,
        HEADER_LABEL_ID = 8314
    };

    wxExpandablePanel(wxWindow* parent, wxOrientation orientation);

    /// Builds the header and the expandable sizer. Set the labels and the
    /// options section and key first. A panel that is not collapsible is always
    /// expanded and has no button.
    void CreateInfrastructure(const wxString& tooltip, bool collapsible);

    /// Where the host puts the content that is shown only when expanded.
    wxSizer* ExpandableSizer() { return m_ExpandableSizer; }
    bool IsExpanded() const { return m_Expanded; }
    /// Shows the current expanded state on the screen.
    void Expand();
    /// Label texts; shown at the next Expand.
    void SetOpenLabel(const wxString& label) { m_OpenLabel = label; }
    void SetClosedLabel(const wxString& label) { m_ClosedLabel = label; }

    /// Options section and key of the remembered expanded state.
    String m_OptionsSection;
    String m_OptionsKey;

protected:
    void OnExpand(wxCommandEvent& event);

private:
    bool m_Expanded;
    wxOrientation m_Orientation;
    wxString m_ClosedLabel;
    wxString m_OpenLabel;
    wxsBitmapButton* m_ExpandButton;  // child window; null when not collapsible
    _ClickStatic* m_HeaderLabel;      // child window
    wxBoxSizer* m_ExpandableSizer;    // owned by the panel's sizer

    wxDECLARE_EVENT_TABLE();
};

/// The header label of wxExpandablePanel: releasing the left button on it acts
/// as a click on the expand button.
class WXDRAVIK_API _ClickStatic : public wxsStaticText
{
public:
    _ClickStatic(wxWindow* parent, wxWindowID id, const wxString& label,
                 const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                 long style = 0, const wxString& name = wxStaticTextNameStr);

private:
    void OnLeftUp(wxMouseEvent& event);

    wxDECLARE_EVENT_TABLE();
};

/// A moment in time, or "Never": a check box, a date picker, a time picker and
/// a "Now" button. The pickers show local time; values are universal time.
class WXDRAVIK_API wxsDateTimeCtrl : public wxsPanel
{
public:
    wxsDateTimeCtrl(wxWindow* parent, int id);

    /// Zero when "Never" is checked; otherwise the moment shown, to the second.
    Time GetValue() const;
    /// A zero time checks "Never" and disables the pickers.
    void SetValue(const Time& value);

protected:
    // The platform greys the pickers out by itself when this control is
    // disabled, but their explicit colours would hide that: refresh them.
    void DoEnable(bool enable) override;

private:
    void Clicked(wxCommandEvent& event);
    void _EnablePickers();

    wxsCheckBox* m_Never;         // child windows
    wxsDatePickerCtrl* m_Date;
    wxsTimePickerCtrl* m_Time;
    wxsButton* m_Now;
};
