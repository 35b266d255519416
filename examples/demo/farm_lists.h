// The demo's fast lists: every message the farm sent, and the farm's jobs.
// Both keep their rows in the host's own model and tell the list only how
// many there are and which changed.
#pragma once

#include <set>
#include <vector>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdblistctrl.h"

/// A list whose selection is a set of rows, kept from the list's own events.
class SelectionList : public wxDBListCtrl
{
public:
    SelectionList(wxWindow* parent, long style);

    bool IsRowSelected(int row) override { return m_Selected.count(row) > 0; }
    xolib::vector<int> GetSelection() override { return {m_Selected.begin(), m_Selected.end()}; }

protected:
    void DoClear() override { m_Selected.clear(); }
    /// Renumbers the selection after count rows went from the top.
    void DropFirstRows(int count);

private:
    void OnSelected(wxListEvent& event);
    void OnDeselected(wxListEvent& event);

    std::set<int> m_Selected;
};

/// Every message received, newest at the bottom; the view follows the end
/// while it is at the end. The oldest rows go once there are too many.
class MessageList : public SelectionList
{
public:
    explicit MessageList(wxWindow* parent);
    ~MessageList() override;

    void AddMessage(const Message& message);
    int GetRowCount() const { return int(m_Rows.size()); }
    /// The message shown on a row, as it arrived.
    Message GetMessageAt(int row) const;

    String GetDisplayText(int row, int column) override;
    wxColour GetRowColor(int row) override;

private:
    struct Row
    {
        uint64_t m_Sequence;
        Message::Kind m_Kind;
        String m_Text;
    };
    std::vector<Row> m_Rows;
};

/// The farm's jobs with state and progress, refreshed from the client
/// library's model.
class JobList : public SelectionList
{
public:
    explicit JobList(wxWindow* parent);
    ~JobList() override;

    /// Reads the jobs again; only rows whose text changed are redrawn.
    void Reload();

    String GetDisplayText(int row, int column) override;
    wxColour GetRowColor(int row) override;

private:
    struct Row
    {
        String m_Name;
        Job::State m_State;
        int m_Progress;
        bool operator!=(const Row& o) const
        {
            return m_Name != o.m_Name || m_State != o.m_State || m_Progress != o.m_Progress;
        }
    };
    std::vector<Row> m_Rows;
};
