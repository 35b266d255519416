// Owner-drawn drop-downs in scheme colours: the read-only choice and the
// editable combo box.
#pragma once

#include <wx/dc.h>
#include <utility>
#include <vector>

#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/odcombo.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxscolormanaged.h"
#include "wxdravik/wxdravikdefs.h"

/// The toolkit's owner-drawn combo box with the items' client data kept
/// beside the list: the toolkit's own store loses track (and indexes past its
/// end) when client data is first given after items were added without it.
class WXDRAVIK_API _ClientDataComboBox : public wxOwnerDrawnComboBox
{
public:
    ~_ClientDataComboBox() override;

protected:
    template <class... Args>
    explicit _ClientDataComboBox(Args&&... args) : wxOwnerDrawnComboBox(std::forward<Args>(args)...)
    {
        m_ClientData.resize(wxOwnerDrawnComboBox::GetCount(), nullptr);
    }

    int DoInsertItems(const wxArrayStringsAdapter& items, unsigned int pos, void** clientData,
                      wxClientDataType type) override;
    void DoDeleteOneItem(unsigned int index) override;
    void DoClear() override;
    void DoSetItemClientData(unsigned int index, void* clientData) override;
    void* DoGetItemClientData(unsigned int index) const override;

private:
    std::vector<void*> m_ClientData;  // one per item; objects owned as the item container says
};

/// A read-only choice whose face and list are painted in scheme colours.
/// Typing a letter selects the first item starting with it (and sends one
/// wxEVT_COMBOBOX); while the list is open the control ignores its own loss
/// of focus, so handlers on the choice do not see the popup taking it.
///
/// The colour mixin is a private base: a window created inside a choice does
/// not take the choice's colours.
class WXDRAVIK_API wxsChoice : public _ClientDataComboBox, private wxsColorManaged
{
public:
    wxsChoice(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize, int n = 0, const wxString choices[] = nullptr,
              long style = 0, const wxValidator& validator = wxDefaultValidator,
              const wxString& name = wxChoiceNameStr);
    wxsChoice(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
              const wxArrayString& choices, long style = 0, const wxValidator& validator = wxDefaultValidator,
              const wxString& name = wxChoiceNameStr);

    /// Opens the list; from now until it closes, focus loss is swallowed.
    void Popup() override;
    /// Closes the list and lets focus loss through again.
    void Dismiss() override;
    /// Closing the list by any road (a pick, a click outside) ends the guard.
    void HidePopup(bool generateEvent = false) override;
    /// True while the list is open (from Popup until it closes).
    bool KeepFocus() const { return m_keepFocus; }

    /// The text of the selected item, empty with none.
    wxString GetStringSelection() const override;

    /// The least client size: "M" with its margins (measured once).
    wxSize GetMinClientSize() const override;

protected:
    void OnDrawBackground(wxDC& dc, const wxRect& rect, int item, int flags) const override;
    void OnDrawItem(wxDC& dc, const wxRect& rect, int item, int flags) const override;
    wxCoord OnMeasureItem(size_t item) const override;
    wxSize DoGetBestSize() const override;
    void DoShowPopup(const wxRect& rect, int flags) override;

    void OnKeyDown(wxKeyEvent& event);
    void Size(wxSizeEvent& event);
    /// The focus guard: passes focus loss on only while the list is closed.
    void KeepFocus(wxFocusEvent& event);
    void ClosedUp(wxCommandEvent& event);

private:
    void _Init(const wxSize& size);

    bool m_keepFocus;

    wxDECLARE_EVENT_TABLE();
};

/// An editable combo box: its text field is a scheme-coloured wxsTextCtrl
/// whose wxEVT_TEXT and wxEVT_TEXT_ENTER arrive as the combo box's own (its id,
/// itself as the event object), and it paints its face and arrow button.
class WXDRAVIK_API wxsComboBox : public _ClientDataComboBox, public wxsColorManaged
{
public:
    wxsComboBox(wxWindow* parent, wxWindowID id, const wxString& value = wxEmptyString,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize, int n = 0,
                const wxString choices[] = nullptr, long style = 0,
                const wxValidator& validator = wxDefaultValidator, const wxString& name = wxComboBoxNameStr);
    wxsComboBox(wxWindow* parent, wxWindowID id, const wxString& value, const wxPoint& pos, const wxSize& size,
                const wxArrayString& choices, long style = 0, const wxValidator& validator = wxDefaultValidator,
                const wxString& name = wxComboBoxNameStr);

    /// Enables or disables the combo box and its text field; returns whether
    /// the state changed.
    bool Enable(bool enable = true) override;

    /// The combo box's own colours only: its text field keeps the looks of a
    /// wxsTextCtrl for each state.
    bool SetForegroundColour(const wxColour& colour) override;
    bool SetBackgroundColour(const wxColour& colour) override;

    /// Width of the painted arrow button at the right.
    int GetArrowButtonWidth() const;

protected:
    void OnDrawBackground(wxDC& dc, const wxRect& rect, int item, int flags) const override;
    void OnDrawItem(wxDC& dc, const wxRect& rect, int item, int flags) const override;
    wxCoord OnMeasureItem(size_t item) const override;
    void DoShowPopup(const wxRect& rect, int flags) override;
    /// Every re-layout of the toolkit's areas puts the field back left of
    /// the painted button.
    void OnResize() override;

    void Size(wxSizeEvent& event);
    void OnSysColorChange(wxSysColourChangedEvent& event);
    /// The whole face is painted here: on GTK the toolkit's own paint clips
    /// the owner-drawn part to a sliver and draws its native button.
    void Paint(wxPaintEvent& event);

private:
    void _Init();
    void CreateColoredTextCtrl();
    void OnColoredTextCtrlEvent(wxCommandEvent& event);
    /// Puts the text field left of the painted arrow button.
    void _PlaceTextField();

    wxDECLARE_EVENT_TABLE();
};
