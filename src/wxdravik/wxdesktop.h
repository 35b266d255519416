// Window placement and desktop helpers: the saved-position format, the
// registry of user windows with its "open windows" menu, opening a folder in
// the desktop's file browser, the clipboard, and whether a window's top-level
// parent is active.
#pragma once

#include <wx/gdicmn.h>
#include <wx/menu.h>
#include <wx/toplevel.h>

#include "wxdravik/wxdravikdefs.h"
#include "xolib/file.h"
#include "xolib/string.h"

/// Ids of the open-windows menu: "Main Window", the registered windows
/// (first + index, at most 100), "Close All" and "Collect All".
enum
{
    wxID_OPEN_WINDOWS_MAIN = 24000,
    wxID_OPEN_WINDOWS_FIRST = 24001,
    wxID_OPEN_WINDOWS_LAST = 24100,
    wxID_OPEN_WINDOWS_CLOSE_ALL = 24101,
    wxID_OPEN_WINDOWS_COLLECT_ALL = 24102,
};

/// Restores the position saved under name (section "Window"), moved right
/// and down by offset, the size at most the desktop's; centres the window on
/// its parent when there is none, it is malformed, or it would put a shown
/// window on no display. Then raises the window if it is shown (raising maps
/// a hidden one on GTK).
WXDRAVIK_API void wxSetWindowPos(wxWindow* window, const String& name, int offset);
/// Saves the window's position and size under name (section "Window") as
/// "left, top, width, height".
WXDRAVIK_API void wxSaveWindowPos(wxWindow* window, const String& name);

/// Registers a window for the open-windows menu, under a group (empty: none);
/// it leaves the registry when it is closed (its first entry) or destroyed
/// (all of them). A visible window smaller than 100 pixels either way is
/// collected over the main window.
WXDRAVIK_API void wxOpenUserWindow(wxTopLevelWindow* window, const String& group);
/// The open-windows menu, rebuilt from the registry on every call. The
/// library owns it: show it, never delete it.
WXDRAVIK_API wxMenu* wxGetOpenWindowMenu();

/// Shows a folder in the desktop's file browser: the path itself when it is
/// a folder, else its folder; a path whose folder does not exist is reported
/// (key "ExploreFolder").
WXDRAVIK_API void wxExploreFolder(const Path& path);
/// Puts text on the clipboard, where it stays after the program ends; false
/// when the clipboard cannot be opened.
WXDRAVIK_API bool wxCopyTextToClipboard(const String& text);
/// Whether the window's top-level parent is active and no frame menu is in
/// use.
WXDRAVIK_API bool ParentIsActive(wxWindow* window);

/// Reads a saved position "left, top, width, height": true when at least
/// four numbers were read (a fifth and more are ignored); a field without
/// digits makes the value malformed. Values are clamped to what a window
/// system can take: left and top to +-32767, width and height to at most
/// 32767, and a width or height below 1 becomes -1 (the toolkit chooses).
WXDRAVIK_API bool _ParseWindowPos(const String& text, wxRect& rect);
/// The program wxExploreFolder starts with the folder as its only argument
/// (default "xdg-open", looked up in PATH); returns the previous one. For
/// tests, which must not open a real file browser.
WXDRAVIK_API String _SetFolderOpener(const String& program);
/// Forgets every registered window (the windows themselves stay).
WXDRAVIK_API void _ClearOpenWindows();
/// Number of windows in the open-windows registry.
WXDRAVIK_API size_t _OpenWindowCount();
