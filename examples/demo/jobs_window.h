// The demo's jobs window: a secondary frame listing the farm's jobs with
// their state and progress, read again four times a second.
#pragma once

#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxtimed.h"

class JobList;

class JobsWindow : public wxDravikFrame, public wxTimed
{
public:
    JobsWindow();

    JobList* GetList() const { return m_List; }

private:
    void OnTick() override;
    void OnClose(wxCloseEvent& event);

    JobList* m_List;

    wxDECLARE_EVENT_TABLE();
};
