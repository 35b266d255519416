// The dialog base of the library.
#pragma once

#include <wx/dialog.h>

#include "wxdravik/wxdravikdefs.h"

class WXDRAVIK_API wxDravikDlg : public wxDialog
{
public:
    /// Closes every open dialog of the program on the GUI thread; callable
    /// from any thread.
    static void CloseAllFromNonGuiThread();
};
