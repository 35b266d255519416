#include "farm_views.h"

#include <wx/sizer.h>

#include "wxdravik/wxbarhistoryctrl.h"
#include "wxdravik/wxdesktop.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxtextlinectrl.h"

namespace
{
const char* const k_PlacementKey = "DemoLogWindow";

const char* KindWord(Message::Kind kind)
{
    switch (kind)
    {
    case Message::KIND_JOB: return "JOB   ";
    case Message::KIND_ENGINE: return "ENGINE";
    case Message::KIND_SHUTDOWN: return "STOP  ";
    default: return "TEXT  ";
    }
}
}

// clang-format off
wxBEGIN_EVENT_TABLE(LogWindow, wxDravikFrame)
    EVT_CLOSE(LogWindow::OnClose)
wxEND_EVENT_TABLE()
// clang-format on

LogWindow::LogWindow() : wxDravikFrame("Farm log", wxDefaultPosition, wxSize(620, 420))
{
    auto* panel = new wxsPanel(this);    // owned by the frame
    m_Viewer = new wxTextLineCtrl(panel);  // owned by the panel, like its search bar
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_Viewer, 1, wxEXPAND);
    sizer->Add(m_Viewer->GetSearchPanel(), 0, wxEXPAND | wxTOP | wxBOTTOM, 2);
    panel->SetSizer(sizer);
    FinishedBuilding();
    wxSetWindowPos(this, k_PlacementKey, 0);
    wxOpenUserWindow(this, "Log");
}

void LogWindow::AddMessage(const Message& message)
{
    m_Viewer->Append(SFormat("%8llu  %s  ", static_cast<unsigned long long>(message.GetSequence()),
                             KindWord(message.GetKind())) +
                     message.GetText());
}

void LogWindow::OnClose(wxCloseEvent&)
{
    wxSaveWindowPos(this, k_PlacementKey);
    Destroy();
}

EnginePanel::EnginePanel(wxWindow* parent) : wxsPanel(parent)
{
    m_Grid = new wxFlexGridSizer(2, 4, 6);
    m_Grid->AddGrowableCol(1);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(m_Grid, 1, wxEXPAND | wxALL, 8);
    SetSizer(outer);
    SetMinSize(wxSize(280, -1));
}

wxBarHistoryCtrl* EnginePanel::_GraphFor(const String& engine)
{
    auto found = m_Engines.find(engine);
    if (found != m_Engines.end())
        return found->second.m_Graph;
    // Engines are listed in name order as they first report.
    auto* graph = new wxBarHistoryCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(-1, 18));  // owned by the panel
    graph->SetBounds(0, 100, false);
    graph->SetMidBound(80, false);
    graph->SetTooltipText(engine + " load (%)", String());
    auto* label = new wxsStaticText(this, wxID_ANY, wxsToWx(engine));  // owned by the panel
    m_Engines[engine] = {graph, 0};
    const size_t position = size_t(std::distance(m_Engines.begin(), m_Engines.find(engine)));
    m_Grid->Insert(position * 2, label, 0, wxALIGN_CENTER_VERTICAL);
    m_Grid->Insert(position * 2 + 1, graph, 1, wxEXPAND);
    GetParent()->Layout();
    return graph;
}

void EnginePanel::AddMessage(const Message& message)
{
    // "engine-03 load 57%"
    const String text = message.GetText();
    const int at = text.Find(" load ");
    if (at <= 0)
        return;
    const String engine = text.Left(at);
    _GraphFor(engine);
    m_Engines[engine].m_Load = unsigned(std::max(0, text.Mid(at + 6).Int(10)));
}

void EnginePanel::OnTick()
{
    for (auto& [name, engine] : m_Engines)
        engine.m_Graph->PushValue(engine.m_Load);
}
