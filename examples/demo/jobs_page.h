// The demo's jobs page: the farm's jobs and their tasks in a tree that a
// field of filter words narrows, the job's product commands on a right
// click, and drop-downs to pick a job and a product.
#pragma once

#include <functional>

#include "wxdravik/jobcommandmenu.h"
#include "wxdravik/wxswrappers.h"
#include "wxdravik/wxtimed.h"

class JobTree;
class JobSelector;
class ProductChoice;
class wxListEvent;
class wxsTextCtrl;

/// The job command menu, telling the user what ran.
class ReportingCommandMenu : public JobCommandMenu
{
public:
    std::function<void(const wxString&)> m_Report;

protected:
    void PostProcessCommand(const String& name, const String& item) override;
};

class JobsPage : public wxsPanel, public wxTimed
{
public:
    explicit JobsPage(wxWindow* parent);

    JobTree* GetTree() const { return m_Tree; }
    wxsTextCtrl* GetFilterField() const { return m_Filter; }
    /// Opens the command menu of the job on a row where the pointer is.
    void ShowCommandsOf(int row, const wxPoint& where);

private:
    void OnTick() override;
    void OnFilterText(wxCommandEvent& event);
    void OnRightClick(wxListEvent& event);
    void OnMenu(wxCommandEvent& event);
    void OnJobPicked(wxCommandEvent& event);
    void OnProductPicked(wxCommandEvent& event);
    /// The product drop-down, once the farm has told us its products.
    void _AddProductChoiceWhenReady();
    void _Report(const wxString& text);

    wxsTextCtrl* m_Filter;           // child window
    JobSelector* m_JobSelector;      // child window
    ProductChoice* m_Products = nullptr;  // child window, made late
    wxSizer* m_Pickers;              // owned by the page's sizer
    JobTree* m_Tree;                 // child window
    ReportingCommandMenu m_Menu;
    size_t m_JobsListed = 0;  // jobs the selector was filled with
};
