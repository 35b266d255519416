// Confirmation dialogs and the library's message box.
#pragma once

#include <wx/string.h>
#include <wx/window.h>

#include "wxdravik/wxdravikdefs.h"
#include "xolib/string.h"

/// Shows a message the user can switch off under key; the text always goes to
/// the core log. True when confirmed (or remembered as confirmed).
WXDRAVIK_API bool wxDravikMessageBox(wxString message, String key, wxWindow* parent);
