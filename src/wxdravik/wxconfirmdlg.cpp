#include "wxdravik/wxconfirmdlg.h"

#include "xolib/log.h"

bool wxDravikMessageBox(wxString message, String key, wxWindow* parent)
{
    (void)key;
    (void)parent;
    // Until the confirmation dialog exists the report reaches the log only.
    LogInfo(String(message.utf8_str().data()));
    return true;
}
