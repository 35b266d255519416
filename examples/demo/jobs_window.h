// The demo's jobs window: a secondary frame showing the farm's jobs and their
// tasks with state and progress, read again four times a second.
#pragma once

#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxtimed.h"

class JobTree;

class JobsWindow : public wxDravikFrame, public wxTimed
{
public:
    JobsWindow();

    JobTree* GetList() const { return m_List; }

private:
    void OnTick() override;
    void OnClose(wxCloseEvent& event);

    JobTree* m_List;

    wxDECLARE_EVENT_TABLE();
};
