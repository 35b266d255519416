#include "wxdravik/wxdravikdlg.h"

void wxDravikDlg::CloseAllFromNonGuiThread()
{
    // No dialog registry yet: nothing is open that could be closed.
}
