// The list-box and list-control interfaces on the database list, so that code
// written against them gets the fast list with the system's colours. Both
// store their rows and their selection themselves and answer the list's
// questions from that storage.
#pragma once

#include <memory>
#include <vector>

#include <wx/arrstr.h>
#include <wx/clntdata.h>
#include <wx/listbase.h>

#include "wxdravik/wxdblistctrl.h"
#include "wxdravik/wxdravikdefs.h"

/// One column of strings with client objects; selection changes by the user
/// arrive as wxEVT_LISTBOX and activations as wxEVT_LISTBOX_DCLICK.
class WXDRAVIK_API wxsListBox : public wxDBListCtrl
{
public:
    enum EventType
    {
        Selected = 0,
        Deselected = 1,
        Activated = 2
    };

    wxsListBox(wxWindow* parent, int id, const wxArrayString& choices = wxArrayString(), long style = 0);
    ~wxsListBox() override;

    int Append(const wxString& text);
    /// Takes ownership of data; with wxLB_SORT the entry goes to its sorted place.
    int Append(const wxString& text, wxClientData* data);
    void Delete(unsigned int n);

    unsigned int GetCount() const { return unsigned(m_Entries.size()); }
    wxString GetString(unsigned int n) const;
    void SetString(unsigned int n, const wxString& text);
    int FindString(const wxString& text) const;
    wxArrayString GetStrings() const;
    wxClientData* GetClientObject(unsigned int n) const;

    xolib::vector<int> GetSelection() override;
    int GetSingleSelection() const;
    bool IsSelected(unsigned int n) { return IsRowSelected(int(n)); }
    wxString GetStringSelection() const;
    /// Programmatic selection: no wxEVT_LISTBOX is sent.
    void SetSelection(int n);
    bool SetStringSelection(const char* text);

    bool IsRowSelected(int row) override;
    String GetDisplayText(int row, int column) override;
    void DoClear() override;
    void CommitCellEdit() override;

private:
    struct Entry
    {
        wxString m_Text;
        std::unique_ptr<wxClientData> m_Data;
        bool m_Selected = false;
    };

    bool _Exists(int row) const { return row >= 0 && row < int(m_Entries.size()); }
    void _SelectQuietly(int n);
    void Sized(wxSizeEvent& event);
    void ListCtrlEventToListBoxEvent(wxListEvent& event, EventType type);

    std::vector<Entry> m_Entries;
    bool m_Quiet = false;
};

/// Rows of cells with the list events of the database list; the selection
/// keeps the order in which rows were selected.
class WXDRAVIK_API wxsListCtrl : public wxDBListCtrl
{
public:
    wxsListCtrl(wxWindow* parent, int id, long style = 0);

    int InsertItem(int pos, const String& text, int image = -1);
    int InsertItem(int pos, int image) { return InsertItem(pos, String(), image); }
    void DeleteItem(int row);
    void SetItem(int row, int col, const String& text);
    void SetItemText(int row, const wxString& text);
    void SetItemFont(int row, const wxFont& font);
    void SetItemTextColour(int row, const wxColour& colour);
    /// The first selected row after item in selection order; -1 when none.
    /// geometry and state are accepted for the familiar signature only.
    int GetNextItem(int item, int geometry = wxLIST_NEXT_ALL, int state = wxLIST_STATE_SELECTED) const;
    int GetSelectedItemCount() const { return int(m_Selected.size()); }
    String GetItemText(int row, int col = 0) const;
    wxFont GetItemFont(int row) const;
    wxColour GetItemTextColour(int row) const;
    int GetItemImage(int row) const;

    bool IsRowSelected(int row) override;
    xolib::vector<int> GetSelection() override;
    String GetDisplayText(int row, int column) override;
    void DoClear() override;
    void CommitCellEdit() override;

private:
    struct Row
    {
        std::vector<String> m_Cells;
        wxFont m_Font;
        wxColour m_TextColour;
        int m_Image = -1;
    };

    bool _Exists(int row) const { return row >= 0 && row < int(m_Rows.size()); }
    void OnItemSelect(wxListEvent& event);
    void OnItemDeselect(wxListEvent& event);
    void OnItemEdit(wxListEvent& event);

    std::vector<Row> m_Rows;
    std::vector<int> m_Selected;

    wxDECLARE_EVENT_TABLE();
};
