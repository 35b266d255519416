// The gallery's sheet of fast views: the database list (enabled and
// disabled), the tree list, the list box, the text line viewer and the bar
// history graph as they appear on the screen in the current scheme.
#pragma once

#include <wx/bitmap.h>
#include <wx/string.h>

/// Shows two lists of render jobs (one with a selection, a highlighted
/// column and a cut long text; one disabled), a tree of jobs and tasks, a
/// list box, a log viewer with its search bar and a few load graphs in a
/// frame, reads the frame back and returns it under the heading; invalid
/// when it cannot be read.
wxBitmap CaptureViewsSheet(const wxString& heading);
