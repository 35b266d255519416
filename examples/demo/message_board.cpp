#include "message_board.h"

#include <wx/dcbuffer.h>

#include "wxdravik/wxdravikstring.h"

namespace
{
const size_t k_RecentLines = 14;
// The demo keeps to a dark look until the colour schemes take over.
const wxColour k_Background(72, 72, 72);
const wxColour k_Text(235, 235, 235);
const wxColour k_Dim(160, 170, 190);
const wxColour k_Good(0, 255, 0);
const wxColour k_Bad(255, 60, 33);
const wxColour k_Bar(222, 163, 62);

const char* KindName(int kind)
{
    switch (kind)
    {
    case Message::KIND_TEXT:
        return "log";
    case Message::KIND_JOB:
        return "job";
    case Message::KIND_ENGINE:
        return "engine";
    default:
        return "other";
    }
}
}

wxBEGIN_EVENT_TABLE(MessageBoard, wxPanel)
    EVT_PAINT(MessageBoard::OnPaint)
wxEND_EVENT_TABLE()

MessageBoard::MessageBoard(wxWindow* parent) : wxPanel(parent, wxID_ANY)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetMinSize(wxSize(560, 420));
}

void MessageBoard::AddMessage(const Message& message)
{
    ++m_Total;
    ++m_ByKind[message.GetKind()];
    m_Recent.push_front(wxString::Format("#%llu  %-6s  %s", (unsigned long long)message.GetSequence(),
                                         KindName(message.GetKind()), wxsToWx(message.GetText())));
    if (m_Recent.size() > k_RecentLines)
        m_Recent.pop_back();
    Refresh(false);
}

void MessageBoard::SetConnected(bool connected)
{
    m_Connected = connected;
    Refresh(false);
}

void MessageBoard::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    Draw(dc, GetClientSize());
}

void MessageBoard::Draw(wxDC& dc, const wxSize& size) const
{
    dc.SetBackground(wxBrush(k_Background));
    dc.Clear();
    wxFont font = GetFont();
    const int line = dc.GetCharHeight() + 6;
    int y = 10;

    font.SetPointSize(font.GetPointSize() + 4);
    font.MakeBold();
    dc.SetFont(font);
    dc.SetTextForeground(k_Text);
    dc.DrawText("Farm messages", 12, y);
    y += dc.GetCharHeight() + 10;
    dc.SetFont(GetFont());

    dc.SetTextForeground(m_Connected ? k_Good : k_Bad);
    dc.DrawText(m_Connected ? "Connected to the master" : "Not connected", 12, y);
    y += line;
    dc.SetTextForeground(k_Text);
    dc.DrawText(wxString::Format("Messages received: %d", m_Total), 12, y);
    y += line;

    // One bar per kind of message, scaled to the largest count.
    int largest = 1;
    for (const auto& kind : m_ByKind)
        largest = std::max(largest, kind.second);
    for (int kind : {int(Message::KIND_JOB), int(Message::KIND_ENGINE), int(Message::KIND_TEXT)})
    {
        const auto found = m_ByKind.find(kind);
        const int count = found == m_ByKind.end() ? 0 : found->second;
        dc.SetTextForeground(k_Dim);
        dc.DrawText(KindName(kind), 12, y);
        const int width = (size.x - 160) * count / largest;
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(k_Bar));
        dc.DrawRectangle(80, y + 2, std::max(width, 1), line - 8);
        dc.SetTextForeground(k_Text);
        dc.DrawText(wxString::Format("%d", count), 90 + std::max(width, 1), y);
        y += line;
    }

    y += 6;
    dc.SetPen(wxPen(k_Dim));
    dc.DrawLine(12, y, size.x - 12, y);
    y += 8;
    dc.SetTextForeground(k_Text);
    for (const wxString& text : m_Recent)
    {
        if (y + line > size.y)
            break;
        dc.DrawText(text, 12, y);
        y += line;
    }
}
