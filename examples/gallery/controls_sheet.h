// The gallery's sheet of live controls: real windows of the library laid out
// in an enabled and a disabled column, shown and read back from the window.
#pragma once

#include <wx/bitmap.h>
#include <wx/string.h>

/// Builds the controls in a window in the current scheme, shows it, and
/// returns what it shows; an invalid bitmap when the window cannot be read.
wxBitmap CaptureControlsSheet(const wxString& heading);
