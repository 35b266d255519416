// The gallery's sheet of the notebook: tab groups split side by side as they
// appear on the screen in the current scheme.
#pragma once

#include <wx/bitmap.h>
#include <wx/string.h>

/// Shows a notebook of four pages in two tab groups (one page dragged off to
/// the right) in a frame, reads the frame back and returns it under the
/// heading; invalid when it cannot be read.
wxBitmap CaptureNotebookSheet(const wxString& heading);
