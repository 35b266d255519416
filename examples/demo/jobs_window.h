// The demo's jobs window: a secondary frame listing the farm's jobs with
// their state and progress, refreshed four times a second.
#pragma once

#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxtimed.h"

class wxsStaticText;

class JobsWindow : public wxDravikFrame, public wxTimed
{
public:
    JobsWindow();

    /// The job list as the window shows it.
    wxString DescribeJobs() const;

private:
    void OnTick() override;
    void OnClose(wxCloseEvent& event);

    wxsStaticText* m_List;

    wxDECLARE_EVENT_TABLE();
};
