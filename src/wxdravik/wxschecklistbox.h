// The check list box: a scrolling list of text items with renderer-drawn
// check boxes, in scheme colours.
#pragma once

#include <vector>

#include <wx/ctrlsub.h>
#include <wx/listbox.h>
#include <wx/dc.h>
#include <wx/scrolwin.h>
#include <wx/validate.h>

#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxscolormanaged.h"
#include "wxdravik/wxdravikdefs.h"

/// A list of checkable text items with the toolkit's item-container interface
/// (strings with client data). Space toggles the current item, "+" and "-"
/// check and uncheck it, and the context menu checks all or none.
///
/// Every Check and Toggle sends one wxEVT_CHECKLISTBOX whose integer value is
/// the item's new state (1 or 0); CheckAll and CheckNone send one per item and
/// then one more with -1.
class WXDRAVIK_API wxsCheckListBox : public wxWindowWithItems<wxScrolled<wxWindow>, wxItemContainer>,
                                     public wxsColorManaged
{
public:
    /// Menu ids of the context menu.
    enum
    {
        ID_CHECK_ALL = 9601,
        ID_CHECK_NONE = 9602
    };

    wxsCheckListBox(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                    const wxSize& size = wxDefaultSize, int n = 0, const wxString choices[] = nullptr,
                    long style = 0, const wxValidator& validator = wxDefaultValidator,
                    const wxString& name = wxASCII_STR(wxListBoxNameStr));
    wxsCheckListBox(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                    const wxArrayString& choices, long style = 0, const wxValidator& validator = wxDefaultValidator,
                    const wxString& name = wxASCII_STR(wxListBoxNameStr));

    /// index must be below GetCount().
    void Check(unsigned int index, bool check = true);
    void Uncheck(unsigned int index) { Check(index, false); }
    void Toggle(unsigned int index);
    /// False for an index out of range.
    bool IsChecked(unsigned int index) const;
    bool IsAnyChecked() const;
    /// Appends the indexes of the checked items to checked (not cleared first)
    /// and returns its count afterwards.
    unsigned int GetCheckedItems(wxArrayInt& checked) const;
    void CheckAll();
    void CheckNone();

    unsigned int GetCount() const override;
    /// Empty for an index out of range.
    wxString GetString(unsigned int index) const override;
    /// Ignored for an index out of range.
    void SetString(unsigned int index, const wxString& text) override;
    /// The current item, -1 for none; may lie past the end after removals.
    int GetSelection() const override;
    void SetSelection(int index) override;

    /// Height of one row: the renderer's check box plus 4.
    int GetItemHeight() const { return m_itemHeight; }

    /// Draws the items; the DC is prepared for the scroll position.
    void OnDraw(wxDC& dc) override;

protected:
    int DoInsertItems(const wxArrayStringsAdapter& items, unsigned int pos, void** clientData,
                      wxClientDataType type) override;
    void DoDeleteOneItem(unsigned int index) override;
    void DoClear() override;
    void* DoGetItemClientData(unsigned int index) const override;
    void DoSetItemClientData(unsigned int index, void* clientData) override;

    void OnLeftClick(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnFocus(wxFocusEvent& event);
    void OnRMouse(wxMouseEvent& event);
    void OnAll(wxCommandEvent& event);
    void OnNone(wxCommandEvent& event);
    void OnSysColorChange(wxSysColourChangedEvent& event);
    /// Recolours at once: the disabled look is part of the drawing.
    void DoEnable(bool enable) override;

private:
    struct Item
    {
        wxString text;
        bool checked;
        void* clientData;  // not owned
    };

    void _Create(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                 const wxValidator& validator, const wxString& name);
    void _SendEvent(int value);
    void _UpdateVirtualHeight();

    std::vector<Item> m_items;
    int m_itemHeight;
    int m_selection;

    wxDECLARE_EVENT_TABLE();
};
