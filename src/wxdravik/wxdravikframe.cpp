#include "wxdravik/wxdravikframe.h"

#include <vector>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikcolors.h"

void wxDravikFrame::ProcessColorChange()
{
    // A handler may close windows: work on a snapshot and skip any window
    // that has left the list or is on its way out by the time it is reached.
    const std::vector<wxWindow*> windows(wxTopLevelWindows.begin(), wxTopLevelWindows.end());
    wxSysColourChangedEvent event;
    for (wxWindow* window : windows)
    {
        if (!wxTopLevelWindows.Find(window) || window->IsBeingDeleted())
            continue;
        event.SetEventObject(window);
        window->GetEventHandler()->ProcessEvent(event);
    }
}

void wxDravikFrame::RegisterColorRequestHandler()
{
    static bool s_Registered = false;
    if (s_Registered || !Application::the_Application)
        return;
    s_Registered = true;
    // The core library hands requests to the GUI thread through the
    // application's invoker, so the handler may touch windows.
    Application::the_Application->AddPipeHandler("COLORS", [](const String&) {
        wxsLoadColorScheme();
        ProcessColorChange();
        return true;
    });
}
