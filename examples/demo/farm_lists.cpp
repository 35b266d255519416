#include "farm_lists.h"

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

JobList::JobList(wxWindow* parent) : SelectionList(parent, wxLC_SINGLE_SEL)
{
    AddColumn(0, "Job", 170);
    AddColumn(1, "State", 80);
    AddColumn(2, "Progress", 80, Align::Right);
    RestoreColumnSizes(k_ColumnsSection, "Jobs");
    Reload();
}

JobList::~JobList()
{
    SaveColumnSizes(k_ColumnsSection, "Jobs");
}

void JobList::Reload()
{
    std::vector<Row> rows;
    if (DravikApp* app = DravikApp::GetInstance())
        for (const UID& id : app->GetAllJobs())
            if (boost::shared_ptr<Job> job = app->GetJobByID(id))
                rows.push_back({job->Name(), job->GetState(), job->GetProgress()});
    const int before = int(m_Rows.size()), after = int(rows.size());
    for (int row = 0; row < std::min(before, after); ++row)
        if (rows[size_t(row)] != m_Rows[size_t(row)])
            RedrawItem(row);
    m_Rows.swap(rows);
    if (after > before)
        Insert(before, size_t(after - before));
    else if (after < before)
        Remove(after, size_t(before - after));
}

String JobList::GetDisplayText(int row, int column)
{
    const Row& shown = m_Rows[size_t(row)];
    switch (column)
    {
    case 0: return shown.m_Name;
    case 1: return StateName(shown.m_State);
    default: return String::FromInt(shown.m_Progress) + "%";
    }
}

wxColour JobList::GetRowColor(int row)
{
    if (row < int(m_Rows.size()))
    {
        if (m_Rows[size_t(row)].m_State == Job::STATE_RUNNING)
            return wxsGetColor(COLOR_GREEN);
        if (m_Rows[size_t(row)].m_State == Job::STATE_FINISHED)
            return wxsGetColor(COLOR_TEXT_DISABLED);
    }
    return wxDBListCtrl::GetRowColor(row);
}
