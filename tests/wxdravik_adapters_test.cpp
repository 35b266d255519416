// The list box and list control on the database list: list-box notifications
// translated from the list's selection events, programmatic selection kept
// quiet, sorted insertion, client objects owned, and the list control's
// selection order with its status lines.
#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/listbox.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxslistbox.h"
#include "wxdravik/wxstextctrl.h"
#include "xolib/log.h"

using namespace dravik_test;

namespace
{
void Click(wxDBListCtrl* list, int row, wxEventType type = wxEVT_LEFT_DOWN)
{
    const wxRect cell = list->GetCellRect(row, 0);
    for (wxEventType step : std::vector<wxEventType>{type, wxEVT_LEFT_UP})
    {
        wxMouseEvent event(step);
        event.SetPosition(wxPoint(cell.x + 10, cell.y + cell.height / 2));
        event.SetEventObject(list->_GetBody());
        list->_GetBody()->HandleWindowEvent(event);
    }
}

/// Counts its own destruction, to show who owns client objects.
struct CountedData : wxClientData
{
    explicit CountedData(int& deleted) : m_Deleted(deleted) {}
    ~CountedData() override { ++m_Deleted; }
    int& m_Deleted;
};

/// The status lines written while it lives.
class StatusLines
{
public:
    StatusLines()
        : m_Id(Log::s_GlobalLog.AddObserver([this](LogLevel level, const String& text) {
              if (level == LOG_STATUS)
                  m_Lines.push_back(text.Str());
          }))
    {
    }
    ~StatusLines() { Log::s_GlobalLog.RemoveObserver(m_Id); }
    std::vector<std::string> m_Lines;

private:
    int m_Id;
};

class AdapterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Frame = new wxFrame(nullptr, wxID_ANY, "adapters", wxPoint(10, 10), wxSize(400, 300));
        m_Frame->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) {
            m_Events.push_back(event.GetInt());
            m_CountAtEvent.push_back(m_Box ? int(m_Box->GetCount()) : -1);
            EXPECT_EQ(m_Box, event.GetEventObject());
            EXPECT_EQ(m_Box->GetId(), event.GetId());
        });
        m_Frame->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent& event) { m_DoubleClicks.push_back(event.GetInt()); });
    }
    void TearDown() override
    {
        delete m_Frame;
        FlushEvents();
    }
    wxsListBox* NewBox(const std::vector<const char*>& texts, long style)
    {
        wxArrayString choices;
        for (const char* text : texts)
            choices.push_back(text);
        m_Box = new wxsListBox(m_Frame, wxID_ANY, choices, style);
        m_Frame->Show();
        m_Frame->SendSizeEvent();
        FlushEvents();
        return m_Box;
    }
    static std::vector<std::string> Texts(wxsListBox* box)
    {
        std::vector<std::string> texts;
        for (const wxString& text : box->GetStrings())
            texts.push_back(text.ToStdString());
        return texts;
    }

    wxFrame* m_Frame = nullptr;
    wxsListBox* m_Box = nullptr;
    std::vector<int> m_Events;
    std::vector<int> m_CountAtEvent;
    std::vector<int> m_DoubleClicks;
};
}  // namespace

TEST_F(AdapterTest, SingleSelectionListBoxTranslatesClicksAndKeepsProgrammaticSelectionQuiet)
{
    wxsListBox* box = NewBox({"a", "b", "c", "d", "e"}, wxLB_SINGLE);
    ASSERT_EQ(5, box->GetItemCount());
    EXPECT_EQ(box->GetClientSize().x, box->GetColumnWidth(0));  // the one column fills the width

    Click(box, 1);
    EXPECT_EQ(std::vector<int>({1}), m_Events);
    Click(box, 3);
    EXPECT_EQ(std::vector<int>({1, -1, 3}), m_Events);
    EXPECT_EQ(xolib::vector<int>({3}), box->GetSelection());
    EXPECT_EQ("d", box->GetStringSelection());

    m_Events.clear();
    box->SetSelection(0);
    EXPECT_TRUE(box->SetStringSelection("c"));
    EXPECT_FALSE(box->SetStringSelection("C"));
    EXPECT_TRUE(m_Events.empty());
    EXPECT_EQ(2, box->GetSingleSelection());
    EXPECT_FALSE(box->IsSelected(0));

    Click(box, 4, wxEVT_LEFT_DCLICK);
    EXPECT_EQ(std::vector<int>({4}), m_DoubleClicks);
}

TEST_F(AdapterTest, SortedAppendDeleteAndClientObjects)
{
    wxsListBox* box = NewBox({}, wxLB_SORT | wxLB_MULTIPLE);
    int deleted = 0;
    EXPECT_EQ(0, box->Append("b", new CountedData(deleted)));
    EXPECT_EQ(0, box->Append("a", new CountedData(deleted)));
    EXPECT_EQ(2, box->Append("c", new CountedData(deleted)));
    EXPECT_EQ(0, box->Append("B"));  // case-sensitive: "B" sorts before "a"
    EXPECT_EQ(std::vector<std::string>({"B", "a", "b", "c"}), Texts(box));
    EXPECT_EQ(4, box->GetItemCount());
    EXPECT_EQ(2, box->FindString("b"));
    EXPECT_EQ(-1, box->FindString("A"));
    EXPECT_EQ("", box->GetString(9));
    EXPECT_EQ(nullptr, box->GetClientObject(9));

    // User selects "a" and "b"; deleting "a" reports its deselection while it
    // still exists, and "b" stays selected.
    box->Select(1);
    box->Select(2);
    EXPECT_EQ(std::vector<int>({1, 2}), m_Events);  // user-level selection notifies
    m_Events.clear();
    m_CountAtEvent.clear();
    box->Delete(1);
    EXPECT_EQ(std::vector<int>({-1}), m_Events);
    EXPECT_EQ(std::vector<int>({4}), m_CountAtEvent);
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(std::vector<std::string>({"B", "b", "c"}), Texts(box));
    EXPECT_EQ(xolib::vector<int>({1}), box->GetSelection());

    box->Delete(7);  // outside: ignored
    box->SetString(7, "x");
    EXPECT_EQ(3u, box->GetCount());
    box->Clear();
    EXPECT_EQ(3, deleted);
    EXPECT_EQ(0u, box->GetCount());
}

TEST_F(AdapterTest, ListBoxEditsLabelsInPlace)
{
    wxsListBox* box = NewBox({"first", "second"}, wxLC_EDIT_LABELS);
    box->Activate(1);
    EXPECT_EQ(std::vector<int>({1}), m_DoubleClicks);
    wxsTextCtrl* editor = box->GetEditCtrl();
    ASSERT_NE(nullptr, editor);
    editor->ChangeValue("renamed");
    wxCommandEvent enter(wxEVT_TEXT_ENTER, editor->GetId());
    enter.SetEventObject(editor);
    editor->HandleWindowEvent(enter);
    EXPECT_TRUE(WaitUntil([&] { return box->GetEditCtrl() == nullptr; }));
    EXPECT_EQ("renamed", box->GetString(1));
}

TEST_F(AdapterTest, ListControlKeepsSelectionOrderAndWritesStatusLines)
{
    auto* list = new wxsListCtrl(m_Frame, wxID_ANY);
    list->AddColumn(0, "Name", 100);
    list->AddColumn(1, "State", 100);
    for (int i = 0; i < 8; ++i)
        list->InsertItem(i, SFormat("row %d", i));
    list->AddColumn(2, "Added later", 100);
    m_Frame->Show();

    StatusLines status;
    list->Select(5);
    list->Select(2);
    list->Select(5);  // already selected: no second line
    EXPECT_EQ(std::vector<std::string>({"Selected item 5", "Selected item 2"}), status.m_Lines);
    EXPECT_EQ(5, list->GetNextItem(-1));
    EXPECT_EQ(5, list->GetNextItem(2));
    EXPECT_EQ(-1, list->GetNextItem(5));
    EXPECT_EQ(2, list->GetSelectedItemCount());

    // Inserting above moves the selection with its rows; deleting a selected
    // row reports it and closes the gap.
    list->InsertItem(0, "new");
    EXPECT_EQ(xolib::vector<int>({6, 3}), list->GetSelection());
    list->DeleteItem(3);
    EXPECT_EQ(xolib::vector<int>({5}), list->GetSelection());
    EXPECT_EQ("Deselected item 3", status.m_Lines.back());
    EXPECT_EQ("row 4", list->GetDisplayText(4, 0).Str());

    list->SetItem(1, 1, "busy");
    list->SetItem(1, 2, "grown");  // a column added after the row was inserted
    list->SetItem(99, 0, "ignored");
    EXPECT_EQ("busy", list->GetDisplayText(1, 1).Str());
    EXPECT_EQ("grown", list->GetDisplayText(1, 2).Str());
    EXPECT_EQ("", list->GetDisplayText(2, 2).Str());
    EXPECT_EQ("", list->GetDisplayText(99, 0).Str());

    list->Clear();
    EXPECT_EQ(0, list->GetSelectedItemCount());
    EXPECT_EQ(-1, list->GetNextItem(-1));
}
