#include "wxdravik/wxdesktop.h"

#include <vector>

namespace
{
struct OpenWindowEntry
{
    wxTopLevelWindow* window;  // not owned
    String label;
};

std::vector<OpenWindowEntry> s_OpenWindows;

void RemoveOpenWindow(wxTopLevelWindow* window)
{
    for (auto it = s_OpenWindows.begin(); it != s_OpenWindows.end(); ++it)
        if (it->window == window)
        {
            s_OpenWindows.erase(it);
            return;
        }
}
}

void wxOpenUserWindow(wxTopLevelWindow* window, const String& group)
{
    if (!window)
        return;
    window->Bind(wxEVT_CLOSE_WINDOW, [window](wxCloseEvent& event) {
        RemoveOpenWindow(window);
        event.Skip();
    });
    s_OpenWindows.push_back({window, group.Empty() ? String() : String("   ") + group});
}

// Stubs until the desktop helpers are built.
void wxSetWindowPos(wxWindow* window, const String&, int)
{
    if (window)
        window->CenterOnParent(wxBOTH);
}

void wxSaveWindowPos(wxWindow*, const String&) {}

wxMenu* wxGetOpenWindowMenu()
{
    static wxMenu* s_Menu = new wxMenu;
    return s_Menu;
}

bool wxCopyTextToClipboard(const String&)
{
    return false;
}

bool ParentIsActive(wxWindow*)
{
    return false;
}

bool _ParseWindowPos(const String&, wxRect&)
{
    return false;
}

void wxExploreFolder(const Path& path)
{
    (void)path;
    // Opening folders on the desktop comes with the desktop helpers.
}

void _ClearOpenWindows()
{
    s_OpenWindows.clear();
}

size_t _OpenWindowCount()
{
    return s_OpenWindows.size();
}
