// The frame base of the library.
#pragma once

#include <wx/frame.h>

#include "wxdravik/wxdravikdefs.h"

class WXDRAVIK_API wxDravikFrame : public wxFrame
{
public:
    /// Makes every window of the program re-read its colours, synchronously.
    static void ProcessColorChange();
    /// Lets the other programs of the suite make this one reload the colour
    /// scheme (request "COLORS"); registers once per program.
    static void RegisterColorRequestHandler();
};
