// Reading live windows back for the gallery's sheets.
#pragma once

#include <wx/bitmap.h>
#include <wx/window.h>

/// Runs the event loop for a moment (bounded), so that shown windows have
/// been mapped and painted before they are read back.
void Settle();

/// What a shown window shows on the screen; invalid when it cannot be read.
wxBitmap CaptureShownWindow(wxWindow& window);
