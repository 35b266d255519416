// Window placement and desktop helpers.
#pragma once

#include <wx/toplevel.h>

#include "wxdravik/wxdravikdefs.h"
#include "xolib/file.h"
#include "xolib/string.h"

/// Registers a window for the open-windows menu; it leaves the registry when
/// it is closed.
WXDRAVIK_API void wxOpenUserWindow(wxTopLevelWindow* window, const String& group);
/// Shows a folder in the desktop's file browser.
WXDRAVIK_API void wxExploreFolder(const Path& path);

/// Forgets every registered window (the windows themselves stay).
WXDRAVIK_API void _ClearOpenWindows();
/// Number of windows in the open-windows registry.
WXDRAVIK_API size_t _OpenWindowCount();
