// Colour schemes: the named colours, the colour table, "Colors.ini" and the
// colour helpers.
#pragma once

#include <wx/colour.h>

#include "wxdravik/wxdravikdefs.h"

/// The named colours of a scheme; the value is the column of the table.
enum ColorName
{
    COLOR_BACKGROUND = 0,
    COLOR_BACKGROUND_LIGHT = 1,
    COLOR_FIELD = 2,
    COLOR_TEXT = 3,
    COLOR_RED = 4,
    COLOR_ORANGE = 5,
    COLOR_YELLOW = 6,
    COLOR_GREEN = 7,
    COLOR_CYAN = 8,
    COLOR_BLUE = 9,
    COLOR_PURPLE = 10,
    COLOR_MAGENTA = 11,
    COLOR_DARK_RED = 12,
    COLOR_DARK_ORANGE = 13,
    COLOR_DARK_YELLOW = 14,
    COLOR_DARK_GREEN = 15,
    COLOR_DARK_CYAN = 16,
    COLOR_DARK_BLUE = 17,
    COLOR_DARK_PURPLE = 18,
    COLOR_DARK_MAGENTA = 19,
    COLOR_TEXT_DISABLED = 20,
    COLOR_EDGE_LIGHT = 21,
    COLOR_EDGE_DARK = 22,
    COLOR_CONTROL = 23,
    COLOR_GLYPH = 24,
    COLOR_HIGHLIGHT = 25,
    COLOR_HEADER = 26,
};

/// Number of named colours in a scheme.
const int k_ColorNameCount = 27;

enum ColorScheme
{
    SCHEME_GREY = 0,
    SCHEME_LIGHT = 1,
    SCHEME_DARK = 2,
    SCHEME_BLACK = 3,
    SCHEME_CUSTOM = 4,
    /// Only for wxsSetColorScheme: change nothing, return the current scheme.
    SCHEME_QUERY = 6,
};

/// Number of schemes in the table.
const int k_ColorSchemeCount = 5;

/// The table entry of a scheme (0..4) and name (0..26); no range check.
/// Writing through the reference changes the table for the rest of the process.
WXDRAVIK_API wxColour& wxsGetColor(ColorScheme scheme, ColorName name);
/// A copy of the current scheme's entry.
WXDRAVIK_API wxColour wxsGetColor(ColorName name);
/// Sets a colour of the custom scheme; saved at the next scheme change.
WXDRAVIK_API void wxsSetCustomColor(ColorName name, const wxColour& colour);
/// Makes a scheme current (out-of-range values fall back to SCHEME_DARK),
/// saves "Colors.ini", repaints this program and tells the others. With
/// SCHEME_QUERY only returns the current scheme.
WXDRAVIK_API ColorScheme wxsSetColorScheme(ColorScheme scheme);
/// Reads "Colors.ini" into the current scheme and the custom colours.
WXDRAVIK_API void wxsLoadColorScheme();
/// Path of "Colors.ini" in the user's settings folder.
WXDRAVIK_API wxString wxsGetColorSchemePath();

/// c plus dr, dg, db per channel, each clamped to 0..255; alpha 255.
WXDRAVIK_API wxColour AdjustColour(const wxColour& c, int dr, int dg, int db);
/// a * (1 - t) + b * t per channel, t clamped to [0, 1], truncated; alpha 255.
WXDRAVIK_API wxColour BlendColour(const wxColour& a, const wxColour& b, double t);
