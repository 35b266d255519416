// Colour schemes, colour-managed windows, the theme renderer and the drawn
// controls.
#pragma once

#include <wx/dc.h>
#include <wx/renderer.h>
#include <wx/window.h>

#include "wxdravik/wxdravikdefs.h"

/// The toolkit's renderer with the library's flat, scheme-coloured parts;
/// everything it does not draw itself goes to the platform's renderer.
class WXDRAVIK_API wxsRenderer : public wxDelegateRendererNative
{
public:
    wxsRenderer();
};
