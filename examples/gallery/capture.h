// Reading live windows back for the gallery's sheets.
#pragma once

#include <wx/arrstr.h>
#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/window.h>

/// The layout every sheet of live windows shares.
const int k_SheetMargin = 16;
const int k_SheetTitleHeight = 30;
const int k_SheetCaptionHeight = 22;

/// Runs the event loop for a moment (bounded), so that shown windows have
/// been mapped and painted before they are read back.
void Settle();

/// Yields, idle time included, for rounds of about 10 ms: some layouts and
/// colours settle only in idle time.
void SettleIdle(int rounds);

/// What a shown window shows on the screen; invalid when it cannot be read.
wxBitmap CaptureShownWindow(wxWindow& window);

/// The window's picture, then the window destroyed and deleted.
wxBitmap CaptureAndDestroy(wxWindow* window);

/// Starts a sheet in dc: the scheme's background, the heading in bold at the
/// margin, then the plain font in the text colour. Returns the y below the
/// heading.
int DrawSheetHeading(wxDC& dc, const wxString& heading);

/// A sheet of one window's picture under the heading and caption lines.
wxBitmap CaptionedSheet(const wxString& heading, const wxArrayString& captions, const wxBitmap& shot);
