// The gallery's sheet of dialogs: a confirmation and a text prompt as they
// appear on the screen in the current scheme.
#pragma once

#include <wx/bitmap.h>
#include <wx/string.h>

/// Shows a confirmation dialog and a text prompt, reads them back and lays
/// them out side by side under the heading; invalid when a dialog cannot be
/// read.
wxBitmap CaptureDialogsSheet(const wxString& heading);
