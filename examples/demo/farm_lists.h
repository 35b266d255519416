// The demo's fast lists: every message the farm sent, and the farm's jobs.
// Both keep their rows in the host's own model and tell the list only how
// many there are and which changed.
#pragma once

#include <set>
#include <vector>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdblistctrl.h"
#include "wxdravik/wxdbtreelistctrl.h"

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

/// The farm's jobs, each with its tasks (the frame ranges it renders, as
/// far as its progress tells), refreshed from the client library's model.
/// Jobs that are expanded stay expanded when the tree is built again.
class JobTree : public wxDBTreeListCtrl
{
public:
    static const int k_TasksPerJob = 10;

    explicit JobTree(wxWindow* parent);
    ~JobTree() override;

    /// Reads the jobs again: the tree is built anew when jobs came or went,
    /// otherwise only the rows whose text changed are redrawn.
    void Reload();
    /// The job shown on a row, or on the job row above a task row; an empty
    /// UID for no row.
    UID GetJobAtRow(int row);
    /// The row of a job, -1 when it is not shown.
    int GetRowOfJob(const UID& job);
    /// Shows only the jobs whose name, state or progress passes the words.
    void SetFilter(const xolib::vector<String>& words);

    wxColour GetRowColor(int row) override;

private:
    struct Shown
    {
        UID m_ID;
        String m_Name;
        Job::State m_State;
        int m_Progress;
    };

    void _Rebuild();
    String _JobText(size_t job, int column) const;
    String _TaskText(size_t job, int task, int column) const;
    /// 0 waiting, 1 rendering, 2 done.
    int _TaskState(size_t job, int task) const;

    std::vector<Shown> m_Jobs;  // in the model's order; items refer to them by index
    xolib::vector<String> m_Filter;
    bool m_RebuildDue = false;
};
