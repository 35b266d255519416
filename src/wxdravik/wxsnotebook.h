// The tabbed notebook whose tab groups the user can drag and split, drawn in
// the scheme's colours, with its arrangement saved in the program's options.
#pragma once

#include <memory>

#include <wx/aui/auibook.h>
#include <wx/aui/dockart.h>
#include <wx/aui/tabart.h>
#include <wx/splitter.h>

#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxscolormanaged.h"
#include "xolib/xolib.h"

/// The generic tab art in the scheme's colours: a graded strip behind the
/// tabs and graded tabs, the active one in the highlight colour.
class WXDRAVIK_API wxsTabArt : public wxAuiGenericTabArt
{
public:
    wxAuiTabArt* Clone() override;
    void DrawBackground(wxDC& dc, wxWindow* window, const wxRect& rect) override;
    void DrawTab(wxDC& dc, wxWindow* window, const wxAuiNotebookPage& page, const wxRect& rect,
                 int closeButtonState, wxRect* outTabRect, wxRect* outButtonRect, int* xExtent) override;
};

/// The default dock art with flat sashes and pane borders in the scheme's
/// colours.
class WXDRAVIK_API wxsDockArt : public wxAuiDefaultDockArt
{
public:
    ~wxsDockArt() override;
    void DrawSash(wxDC& dc, wxWindow* window, int orientation, const wxRect& rect) override;
    void DrawBorder(wxDC& dc, wxWindow* window, const wxRect& rect, wxAuiPaneInfo& pane) override;
    /// The docking manager calls this on a system colour change; the scheme's
    /// colours are put back afterwards so that they survive it.
    void UpdateColoursFromSystem() override;
    /// Sets the background and border colours from the current scheme.
    void ApplySchemeColours();
};

/// A wxAuiNotebook in the scheme's colours whose arrangement of tabs and tab
/// groups is stored in section "Window" of the program's options under the
/// layout key after every tab drag and sash move, and restored by LoadLayout.
/// An empty key means the notebook never touches the options. GUI thread only.
class WXDRAVIK_API wxsNotebook : public wxAuiNotebook, public wxsColorManaged
{
public:
    /// Does not load the layout: add the pages first, then call LoadLayout.
    wxsNotebook(wxWindow* parent, int id, const String& layoutKey);
    ~wxsNotebook() override;

    /// The tab groups as "name=pages|name=pages" (a page is its index, with
    /// "*" when it is the current page, "+" when it is its group's active
    /// page), "@", and the docking manager's perspective.
    wxString SavePerspective();
    /// Rebuilds the tab groups from a text of SavePerspective's format. False,
    /// with nothing changed, for a text that is empty, has no "@" or names no
    /// page of this notebook. Unknown indices and repeats are ignored, pages
    /// the text leaves out join the last group, and every group shows a page.
    bool LoadPerspective(const wxString& text);
    /// Stores SavePerspective() under the layout key; nothing without a key.
    void SaveLayout();
    /// LoadPerspective on the stored text; false without a key or stored text.
    bool LoadLayout();

    const String& GetLayoutKey() const { return m_LayoutKey; }

private:
    class _SashWatcher;

    void TabDrag(wxAuiNotebookEvent& event);
    void SashDrag(wxSplitterEvent& event);
    void ChildFocusEvent(wxChildFocusEvent& event);
    /// The tab control shown in the given docking pane, or null.
    wxAuiTabCtrl* _TabCtrlOfPane(const wxAuiPaneInfo& pane);

    String m_LayoutKey;
    wxsDockArt* m_DockArt;  // owned by the docking manager
    std::unique_ptr<_SashWatcher> m_SashWatcher;

    wxDECLARE_EVENT_TABLE();
};
