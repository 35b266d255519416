// The gallery's sheet of drop-downs and numeric entry: choices and combo boxes
// open and closed, check list boxes, number selectors and sliders, enabled and
// disabled, as they appear on the screen in the current scheme.
#pragma once

#include <wx/bitmap.h>
#include <wx/string.h>

/// Shows the controls in a frame, opens a choice's list and then a combo
/// box's, reads the frame back each time and returns the two shots combined
/// under the heading; invalid when the screen cannot be read.
wxBitmap CaptureDropdownsSheet(const wxString& heading);
