// The demo's main view: what the farm has said so far, drawn by hand so that
// the same drawing serves the screen and the screenshots.
#pragma once

#include <deque>
#include <map>

#include <wx/panel.h>

#include "draviklib/draviklib.h"

class MessageBoard : public wxPanel
{
public:
    explicit MessageBoard(wxWindow* parent);

    /// Takes one message from the farm (GUI thread).
    void AddMessage(const Message& message);
    void SetConnected(bool connected);

    int GetMessageCount() const { return m_Total; }
    /// Draws the board into any device context of the given size.
    void Draw(wxDC& dc, const wxSize& size) const;

private:
    void OnPaint(wxPaintEvent& event);

    int m_Total = 0;
    bool m_Connected = false;
    std::map<int, int> m_ByKind;
    std::deque<wxString> m_Recent;

    wxDECLARE_EVENT_TABLE();
};
