// The demo's log window and engine loads: the farm's messages as a growing
// log with its search bar, and one load history graph per engine.
#pragma once

#include <map>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikframe.h"
#include "wxdravik/wxswrappers.h"
#include "wxdravik/wxtimed.h"

class wxBarHistoryCtrl;
class wxTextLineCtrl;

/// Every message as a log line; Control+F searches. The view follows the end
/// while it is at the end.
class LogWindow : public wxDravikFrame
{
public:
    LogWindow();

    void AddMessage(const Message& message);
    wxTextLineCtrl* GetViewer() const { return m_Viewer; }

private:
    void OnClose(wxCloseEvent& event);

    wxTextLineCtrl* m_Viewer;

    wxDECLARE_EVENT_TABLE();
};

/// The load of each engine over time: the newest load an engine reported is
/// taken four times a second.
class EnginePanel : public wxsPanel, public wxTimed
{
public:
    explicit EnginePanel(wxWindow* parent);

    /// Takes an engine message ("engine-03 load 57%").
    void AddMessage(const Message& message);
    size_t GetEngineCount() const { return m_Engines.size(); }

private:
    void OnTick() override;
    wxBarHistoryCtrl* _GraphFor(const String& engine);

    struct Engine
    {
        wxBarHistoryCtrl* m_Graph;
        unsigned m_Load;
    };
    std::map<String, Engine> m_Engines;
    wxFlexGridSizer* m_Grid;
};
