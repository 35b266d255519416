#include "wxdravik/wxdesktop.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <vector>

#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/display.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxconfirmdlg.h"
#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxdravikstring.h"
#include "xolib/log.h"

namespace
{
const char* const k_WindowSection = "Window";

/// X11 keeps window coordinates and sizes in 16 bits.
constexpr int k_MaxCoordinate = 32767;
/// The menu lists at most this many windows (ids 24001 to 24100).
constexpr size_t k_MaxListedWindows = wxID_OPEN_WINDOWS_LAST - wxID_OPEN_WINDOWS_FIRST + 1;
/// Windows smaller than this either way are collected when registered.
constexpr int k_MinUsableExtent = 100;

int ClampCoordinate(int64_t value)
{
    return int(std::clamp<int64_t>(value, -k_MaxCoordinate, k_MaxCoordinate));
}

int ClampExtent(int value)
{
    return value < 1 ? wxDefaultCoord : std::min(value, k_MaxCoordinate);
}

/// The field's number; false when it holds no digits at all.
bool ReadNumber(const String& field, int& value)
{
    // Text without digits gives the default, so two different defaults
    // tell it apart from a number.
    value = field.Int(10, INT_MIN);
    return value != INT_MIN || field.Int(10, INT_MAX) == INT_MIN;
}

/// The bounding box of every display: no saved size may exceed it.
wxRect DesktopBounds()
{
    wxRect bounds;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        bounds.Union(wxDisplay(i).GetGeometry());
    return bounds;
}

/// Whether any part of the window lies on a display. The toolkit's own
/// look-up answers the nearest display on GTK, never "none".
bool IsOnSomeDisplay(const wxWindow* window)
{
    const wxRect rect = window->GetScreenRect();
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        if (wxDisplay(i).GetGeometry().Intersects(rect))
            return true;
    return false;
}

/// Raises a shown window. On GTK raising a hidden top-level window maps it
/// behind the toolkit's back; a hidden window comes up on top when shown.
void RaiseIfShown(wxWindow* window)
{
    if (window->IsShown())
        window->Raise();
}

wxWindow* MainWindow()
{
    return wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
}

/// Menu text shows the title as it is: '&' would be a mnemonic and a tab
/// would start an accelerator.
wxString MenuText(const wxString& title)
{
    wxString text(title);
    text.Replace("&", "&&");
    text.Replace("\t", " ");
    return text;
}

/// Centres the window on the work area of the main window's display, at
/// least half the main window's size.
void CollectWindow(wxTopLevelWindow* window)
{
    const wxWindow* main = MainWindow();
    const wxRect area = wxDisplay(main).GetClientArea();  // the primary display without one
    const wxSize mainSize = main ? main->GetSize() : wxSize(0, 0);
    const wxSize size = window->GetSize();
    const int width = std::max(size.x, mainSize.x / 2);
    const int height = std::max(size.y, mainSize.y / 2);
    window->Freeze();
    window->Move(area.x + (area.width - width) / 2, area.y + (area.height - height) / 2);
    window->SetSize(width, height);
    RaiseIfShown(window);
    window->Thaw();
}

struct OpenWindowEntry
{
    wxTopLevelWindow* window;  // not owned
    String label;              // empty, or three blanks and the group
};

/// The registry of user windows and its menu. Entries leave on the window's
/// close event (the first one only) and on its destruction (all of them),
/// so no entry outlives its window.
class OpenWindows : public wxEvtHandler
{
public:
    void Register(wxTopLevelWindow* window, const String& group)
    {
        // Connected once per window, however often it is registered: two
        // close handlers would remove two entries.
        window->Unbind(wxEVT_CLOSE_WINDOW, &OpenWindows::OnClose, this);
        window->Bind(wxEVT_CLOSE_WINDOW, &OpenWindows::OnClose, this);
        window->Unbind(wxEVT_DESTROY, &OpenWindows::OnDestroy, this);
        window->Bind(wxEVT_DESTROY, &OpenWindows::OnDestroy, this);
        m_Entries.push_back({window, group.Empty() ? String() : String("   ") + group});
    }

    void Clear() { m_Entries.clear(); }
    size_t Count() const { return m_Entries.size(); }

    wxMenu* BuildMenu()
    {
        if (m_Menu)
        {
            while (m_Menu->GetMenuItemCount() > 0)
                m_Menu->Destroy(m_Menu->FindItemByPosition(0));
        }
        else
        {
            // Lives for the rest of the program: the caller shows it and
            // never deletes it (held weakly, so a menu bar that took it over
            // and deleted it only makes a new one).
            m_Menu = new wxMenu;
        }
        ConnectToMainWindow();

        std::map<String, std::vector<size_t>> groups;
        for (size_t i = 0; i < m_Entries.size() && i < k_MaxListedWindows; ++i)
            groups[m_Entries[i].label].push_back(i);

        wxMenu* menu = m_Menu.get();
        if (groups.empty())
        {
            menu->Append(wxID_ANY, _("No open windows"))->Enable(false);
            return menu;
        }
        menu->Append(wxID_OPEN_WINDOWS_MAIN, _("Main Window"));
        for (const auto& group : groups)
        {
            menu->AppendSeparator();
            if (!group.first.Empty())
                menu->Append(wxID_ANY, MenuText(wxsToWx(group.first)))->Enable(false);
            for (size_t i : group.second)
                menu->Append(new wxMenuItem(menu, wxID_OPEN_WINDOWS_FIRST + int(i),
                                            MenuText(m_Entries[i].window->GetTitle()), wxString(),
                                            wxITEM_NORMAL));
        }
        menu->AppendSeparator();
        menu->Append(wxID_OPEN_WINDOWS_COLLECT_ALL, _("Collect All"),
                     _("Center all open windows over the main window"));
        menu->Append(wxID_OPEN_WINDOWS_CLOSE_ALL, _("Close All"));
        return menu;
    }

private:
    void ConnectToMainWindow()
    {
        wxWindow* main = MainWindow();
        if (!main || main == m_HandlerWindow.get())
            return;
        // A new main window takes the handler over from the old one.
        if (wxWindow* old = m_HandlerWindow.get())
            old->Unbind(wxEVT_MENU, &OpenWindows::OnMenu, this, wxID_OPEN_WINDOWS_MAIN,
                        wxID_OPEN_WINDOWS_COLLECT_ALL);
        main->Bind(wxEVT_MENU, &OpenWindows::OnMenu, this, wxID_OPEN_WINDOWS_MAIN, wxID_OPEN_WINDOWS_COLLECT_ALL);
        m_HandlerWindow = main;
    }

    /// The registered windows now; a window a handler destroys turns null.
    std::vector<wxWeakRef<wxTopLevelWindow>> Snapshot() const
    {
        std::vector<wxWeakRef<wxTopLevelWindow>> windows;
        for (const OpenWindowEntry& entry : m_Entries)
            windows.emplace_back(entry.window);
        return windows;
    }

    void OnClose(wxCloseEvent& event)
    {
        event.Skip();
        const auto found = std::find_if(m_Entries.begin(), m_Entries.end(), [&](const OpenWindowEntry& entry) {
            return static_cast<wxObject*>(entry.window) == event.GetEventObject();
        });
        if (found != m_Entries.end())
            m_Entries.erase(found);
    }

    void OnDestroy(wxWindowDestroyEvent& event)
    {
        event.Skip();
        const wxWindow* window = event.GetWindow();
        m_Entries.erase(std::remove_if(m_Entries.begin(), m_Entries.end(),
                                       [&](const OpenWindowEntry& entry) { return entry.window == window; }),
                        m_Entries.end());
    }

    void OnMenu(wxCommandEvent& event)
    {
        event.Skip();
        const int id = event.GetId();
        if (id == wxID_OPEN_WINDOWS_MAIN)
        {
            if (wxWindow* main = MainWindow())
                RaiseIfShown(main);
        }
        else if (id == wxID_OPEN_WINDOWS_CLOSE_ALL)
        {
            for (const auto& window : Snapshot())
                if (window)
                    window->Close(false);
        }
        else if (id == wxID_OPEN_WINDOWS_COLLECT_ALL)
        {
            for (const auto& window : Snapshot())
                if (window)
                    CollectWindow(window.get());
        }
        else if (id >= wxID_OPEN_WINDOWS_FIRST && size_t(id - wxID_OPEN_WINDOWS_FIRST) < m_Entries.size())
        {
            RaiseIfShown(m_Entries[size_t(id - wxID_OPEN_WINDOWS_FIRST)].window);
        }
    }

    std::vector<OpenWindowEntry> m_Entries;
    wxWeakRef<wxMenu> m_Menu;
    wxWeakRef<wxWindow> m_HandlerWindow;  // the main window the menu handler is bound to
};

OpenWindows s_OpenWindows;

String s_FolderOpener = "xdg-open";

/// Starts the folder opener with the folder as its one argument: no shell
/// ever sees the path.
void OpenFolder(const String& folder)
{
    const char* const argv[] = {s_FolderOpener.c_str(), folder.c_str(), nullptr};
    if (wxExecute(argv, wxEXEC_ASYNC) == 0)
        LogWarning("Cannot start " + s_FolderOpener + " to show the folder " + folder);
}

/// The folder a path lies in; the working folder for a bare name.
Path FolderOf(const Path& path)
{
    const Path parent = path.Parent();
    return parent.Empty() ? Path(".") : parent;
}
}

bool _ParseWindowPos(const String& text, wxRect& rect)
{
    StringTokenizer fields(text, ',');
    int values[4];
    int count = 0;
    while (count < 4 && fields.HasMore())
        if (!ReadNumber(fields.GetNext(), values[count++]))
            return false;
    if (count < 4)
        return false;
    rect = wxRect(ClampCoordinate(values[0]), ClampCoordinate(values[1]), ClampExtent(values[2]),
                  ClampExtent(values[3]));
    return true;
}

void wxSetWindowPos(wxWindow* window, const String& name, int offset)
{
    if (!window)
        return;
    const String value = DravikApp::GetOptions().GetValue(k_WindowSection, name, String());
    wxRect saved;
    bool restored = false;
    if (!value.Empty() && _ParseWindowPos(value, saved))
    {
        const wxRect desktop = DesktopBounds();
        const int width = desktop.IsEmpty() ? saved.width : std::min(saved.width, desktop.width);
        const int height = desktop.IsEmpty() ? saved.height : std::min(saved.height, desktop.height);
        window->SetSize(ClampCoordinate(int64_t(saved.x) + offset), ClampCoordinate(int64_t(saved.y) + offset),
                        width, height, wxSIZE_AUTO);
        restored = !window->IsShown() || IsOnSomeDisplay(window);
    }
    if (!restored)
        window->CenterOnParent(wxBOTH);
    RaiseIfShown(window);
}

void wxSaveWindowPos(wxWindow* window, const String& name)
{
    if (!window)
        return;
    const wxPoint position = window->GetPosition();
    const wxSize size = window->GetSize();
    DravikApp::GetOptions().SetValue(k_WindowSection, name,
                                     SFormat("%d, %d, %d, %d", position.x, position.y, size.x, size.y));
}

void wxOpenUserWindow(wxTopLevelWindow* window, const String& group)
{
    if (!window)
        return;
    s_OpenWindows.Register(window, group);
    const wxSize size = window->GetSize();
    if (window->IsVisible() && (size.x < k_MinUsableExtent || size.y < k_MinUsableExtent))
        CollectWindow(window);
}

wxMenu* wxGetOpenWindowMenu()
{
    return s_OpenWindows.BuildMenu();
}

void wxExploreFolder(const Path& path)
{
    const String localText = path.TranslateToLocal();
    const Path local(localText);
    Path target;
    if (File::Exists(local))
    {
        target = File::IsDirectory(local) ? local : FolderOf(local);
    }
    else
    {
        const Path parent = FolderOf(local);
        if (File::Exists(parent) && File::IsDirectory(parent))
        {
            target = parent;
        }
        else
        {
            String text = localText;
            if (localText != path.GetString())
                text += "\noriginally: " + path.GetString();
            wxDravikMessageBox(_("Cannot explore to path that does not exist:\n\n") + wxsToWx(text), "ExploreFolder",
                               nullptr);
        }
    }
    if (target.Empty())
        return;
    target = target.MakeAbsolute();
    LogDebug("Browsing to folder: " + target.GetString());
    OpenFolder(target.TranslateToLocal());
}

String _SetFolderOpener(const String& program)
{
    String previous = s_FolderOpener;
    s_FolderOpener = program;
    return previous;
}

bool wxCopyTextToClipboard(const String& text)
{
    if (!wxTheClipboard->Open())
        return false;
    wxTheClipboard->SetData(new wxTextDataObject(wxsToWx(text)));  // the clipboard owns it
    // Hands the text to the clipboard manager, so it outlives the program.
    wxTheClipboard->Flush();
    wxTheClipboard->Close();
    return true;
}

bool ParentIsActive(wxWindow* window)
{
    // A pop-up window counts as top-level too but cannot be active: its
    // owner's frame or dialog decides.
    while (window && !(window->IsTopLevel() && wxDynamicCast(window, wxTopLevelWindow)))
        window = window->GetParent();
    const bool menuOpen = wxDravikFrame::IsMenuOpen();
    if (!window)
        return !menuOpen;
    return static_cast<wxTopLevelWindow*>(window)->IsActive() && !menuOpen;
}

void _ClearOpenWindows()
{
    s_OpenWindows.Clear();
}

size_t _OpenWindowCount()
{
    return s_OpenWindows.Count();
}
