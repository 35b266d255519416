#include "farm_lists.h"

#include <algorithm>

#include "wxdravik/listitemfilter.h"
#include "wxdravik/wxcolorscheme.h"

namespace
{
const size_t k_MaxMessages = 100000;
const size_t k_DropAtOnce = 10000;
const char* const k_ColumnsSection = "DemoColumns";

const char* KindName(Message::Kind kind)
{
    switch (kind)
    {
    case Message::KIND_TEXT: return "log";
    case Message::KIND_JOB: return "job";
    case Message::KIND_ENGINE: return "engine";
    default: return "other";
    }
}

const char* StateName(Job::State state)
{
    switch (state)
    {
    case Job::STATE_RUNNING: return "running";
    case Job::STATE_FINISHED: return "finished";
    default: return "waiting";
    }
}
}

SelectionList::SelectionList(wxWindow* parent, long style) : wxDBListCtrl(parent, wxID_ANY, style)
{
    Bind(wxEVT_LIST_ITEM_SELECTED, &SelectionList::OnSelected, this);
    Bind(wxEVT_LIST_ITEM_DESELECTED, &SelectionList::OnDeselected, this);
}

void SelectionList::OnSelected(wxListEvent& event)
{
    event.Skip();
    if (event.GetIndex() >= 0 && event.GetIndex() < GetItemCount())
        m_Selected.insert(int(event.GetIndex()));
    RedrawItem(int(event.GetIndex()));
}

void SelectionList::OnDeselected(wxListEvent& event)
{
    event.Skip();
    m_Selected.erase(int(event.GetIndex()));
    RedrawItem(int(event.GetIndex()));
}

void SelectionList::DropFirstRows(int count)
{
    std::set<int> kept;
    for (int row : m_Selected)
        if (row >= count)
            kept.insert(row - count);
    m_Selected.swap(kept);
}

MessageList::MessageList(wxWindow* parent) : SelectionList(parent, 0)
{
    AddColumn(0, "#", 70, Align::Right);
    AddColumn(1, "Kind", 70);
    AddColumn(2, "Text", 420);
    RestoreColumnSizes(k_ColumnsSection, "Messages");
}

MessageList::~MessageList()
{
    SaveColumnSizes(k_ColumnsSection, "Messages");
}

void MessageList::AddMessage(const Message& message)
{
    if (m_Rows.size() >= k_MaxMessages)
    {
        // The selection learns about the rows that go before they are gone.
        Remove(0, k_DropAtOnce);
        DropFirstRows(int(k_DropAtOnce));
        m_Rows.erase(m_Rows.begin(), m_Rows.begin() + k_DropAtOnce);
    }
    const bool atEnd = LastVisibleItem() >= GetItemCount() - 1;
    m_Rows.push_back({message.GetSequence(), message.GetKind(), message.GetText()});
    Insert(GetItemCount());
    if (atEnd)
        EnsureVisible(GetItemCount() - 1);
}

Message MessageList::GetMessageAt(int row) const
{
    const Row& shown = m_Rows[size_t(row)];
    return Message(shown.m_Kind, shown.m_Sequence, shown.m_Text);
}

String MessageList::GetDisplayText(int row, int column)
{
    const Row& shown = m_Rows[size_t(row)];
    switch (column)
    {
    case 0: return String::FromInt(int64_t(shown.m_Sequence));
    case 1: return KindName(shown.m_Kind);
    default: return shown.m_Text;
    }
}

wxColour MessageList::GetRowColor(int row)
{
    if (row < int(m_Rows.size()) && m_Rows[size_t(row)].m_Kind == Message::KIND_ENGINE)
        return wxsGetColor(COLOR_CYAN);
    return wxDBListCtrl::GetRowColor(row);
}

JobTree::JobTree(wxWindow* parent) : wxDBTreeListCtrl(parent, wxID_ANY, wxLC_SINGLE_SEL)
{
    AddColumn(0, "Job", 190);
    AddColumn(1, "State", 80);
    AddColumn(2, "Progress", 80, Align::Right);
    RestoreColumnSizes(k_ColumnsSection, "Jobs");
    Reload();
}

JobTree::~JobTree()
{
    SaveColumnSizes(k_ColumnsSection, "Jobs");
}

void JobTree::Reload()
{
    std::vector<Shown> jobs;
    if (DravikApp* app = DravikApp::GetInstance())
        for (const UID& id : app->GetAllJobs())
            if (boost::shared_ptr<Job> job = app->GetJobByID(id))
            {
                const Shown shown{id, job->Name(), job->GetState(), job->GetProgress()};
                const xolib::vector<String> texts{shown.m_Name, StateName(shown.m_State),
                                                  String::FromInt(shown.m_Progress) + "%"};
                if (ListItemPassesFilter(texts, m_Filter))
                    jobs.push_back(shown);
            }
    const bool sameJobs = jobs.size() == m_Jobs.size() &&
                          std::equal(jobs.begin(), jobs.end(), m_Jobs.begin(),
                                     [](const Shown& a, const Shown& b) { return a.m_ID == b.m_ID; });
    if (!sameJobs || m_RebuildDue)
    {
        m_RebuildDue = false;
        m_Jobs.swap(jobs);
        _Rebuild();
        return;
    }
    // The items read the snapshot when drawn: redraw the job's rows that changed.
    for (size_t i = 0; i < jobs.size(); ++i)
    {
        const Shown& now = jobs[i];
        Shown& shown = m_Jobs[i];
        if (now.m_Name == shown.m_Name && now.m_State == shown.m_State && now.m_Progress == shown.m_Progress)
            continue;
        shown = now;
        const wxDBTreeListItem* item = GetRoot()->FindChild(now.m_ID.ToString());
        const int row = RowWithItem(item);
        if (row >= 0)
            RedrawItems(row, row + (item->IsExpanded() ? k_TasksPerJob : 0));
    }
}

void JobTree::_Rebuild()
{
    // Items are named by job UID and task number, which the expand state
    // keeps: a job expanded before the rebuild is expanded after it.
    PushExpandState();
    Clear();
    for (size_t job = 0; job < m_Jobs.size(); ++job)
    {
        wxDBTreeListItem jobItem;
        jobItem.m_Name = m_Jobs[job].m_ID.ToString();
        jobItem.m_TextFunc = [this, job](wxDBTreeListCtrl*, const wxDBTreeListItem*, int column) {
            return _JobText(job, column);
        };
        jobItem.Expand(false);
        wxDBTreeListItem* parent = AppendItem(jobItem, false);
        for (int task = 0; parent && task < k_TasksPerJob; ++task)
        {
            wxDBTreeListItem taskItem;
            taskItem.m_Name = String::FromInt(task);
            taskItem.SetParent(parent);
            taskItem.m_TextFunc = [this, job, task](wxDBTreeListCtrl*, const wxDBTreeListItem*, int column) {
                return _TaskText(job, task, column);
            };
            AppendItem(taskItem, false);
        }
    }
    PopExpandState(false);
    Redraw();
}

String JobTree::_JobText(size_t job, int column) const
{
    const Shown& shown = m_Jobs.at(job);
    switch (column)
    {
    case 0: return shown.m_Name;
    case 1: return StateName(shown.m_State);
    default: return String::FromInt(shown.m_Progress) + "%";
    }
}

int JobTree::_TaskState(size_t job, int task) const
{
    const Shown& shown = m_Jobs.at(job);
    const int share = 100 / k_TasksPerJob;
    if (shown.m_State == Job::STATE_FINISHED || shown.m_Progress >= (task + 1) * share)
        return 2;
    if (shown.m_State == Job::STATE_RUNNING && shown.m_Progress >= task * share)
        return 1;
    return 0;
}

String JobTree::_TaskText(size_t job, int task, int column) const
{
    const int share = 100 / k_TasksPerJob;
    switch (column)
    {
    case 0: return SFormat("Frames %d-%d", task * share + 1, (task + 1) * share);
    case 1:
    {
        static const char* const k_States[] = {"waiting", "rendering", "done"};
        return k_States[_TaskState(job, task)];
    }
    default:
    {
        const int state = _TaskState(job, task);
        const int done = state == 2 ? 100 : std::clamp((m_Jobs.at(job).m_Progress - task * share) * 100 / share, 0, 100);
        return String::FromInt(state == 0 ? 0 : done) + "%";
    }
    }
}

void JobTree::SetFilter(const xolib::vector<String>& words)
{
    if (words == m_Filter)
        return;
    m_Filter = words;
    m_RebuildDue = true;
    Reload();
}

int JobTree::GetRowOfJob(const UID& job)
{
    return RowWithItem(GetRoot()->FindChild(job.ToString()));
}

UID JobTree::GetJobAtRow(int row)
{
    const wxDBTreeListItem* item = ItemAtRow(row);
    if (item && item->GetParent() != GetRoot())
        item = item->GetParent();
    for (const Shown& shown : m_Jobs)
        if (item && shown.m_ID.ToString() == item->m_Name)
            return shown.m_ID;
    return UID(false);
}

wxColour JobTree::GetRowColor(int row)
{
    const wxDBTreeListItem* item = ItemAtRow(row);
    if (item && item->GetParent() == GetRoot())
    {
        const UID id = GetJobAtRow(row);
        for (const Shown& shown : m_Jobs)
            if (shown.m_ID == id)
            {
                if (shown.m_State == Job::STATE_RUNNING)
                    return wxsGetColor(COLOR_GREEN);
                if (shown.m_State == Job::STATE_FINISHED)
                    return wxsGetColor(COLOR_TEXT_DISABLED);
            }
    }
    return wxDBTreeListCtrl::GetRowColor(row);
}
