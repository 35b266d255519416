// The notebook with saved layout: the text, other page counts, the stored
// layout, malformed texts, focus and the art by pixels.
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/regex.h>
#include <wx/splitter.h>

#include "draviklib/draviklib.h"
#include "harness/gui_harness.h"
#include "wxdravik/wxcolorscheme.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxsnotebook.h"

using namespace dravik_test;

namespace
{
wxAuiManager& Manager(wxsNotebook* book)
{
    return const_cast<wxAuiManager&>(book->GetAuiManager());
}

/// The groups of the notebook's text without pane names and marks, e.g. "0,1|2".
std::string Groups(wxsNotebook* book)
{
    wxString groups;
    for (const wxString& group : wxSplit(book->SavePerspective().BeforeFirst('@'), '|', '\0'))
    {
        wxString pages = group.AfterFirst('=');
        pages.Replace("*", "");
        pages.Replace("+", "");
        groups += (groups.empty() ? "" : "|") + pages;
    }
    return groups.ToStdString();
}

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

/// What draw paints on a fresh bitmap of the given size.
wxImage Render(int width, int height, const std::function<void(wxDC&)>& draw)
{
    wxBitmap bitmap(width, height, 24);
    {
        wxMemoryDC dc(bitmap);
        draw(dc);
    }
    return bitmap.ConvertToImage();
}

class NotebookTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Frame = new wxFrame(nullptr, wxID_ANY, "notebook", wxDefaultPosition, wxSize(640, 420));
        m_Frame->Show();
    }
    void TearDown() override { delete m_Frame; }

    /// A notebook filling the frame with pageCount pages, each holding a button.
    wxsNotebook* Make(const String& key, size_t pageCount)
    {
        delete m_Book;
        m_Book = new wxsNotebook(m_Frame, wxID_ANY, key);
        m_Book->SetSize(m_Frame->GetClientSize());
        for (size_t i = 0; i < pageCount; ++i)
        {
            auto* page = new wxPanel(m_Book);
            new wxButton(page, wxID_ANY, "Button", wxPoint(10, 10));
            m_Book->AddPage(page, wxString::Format("Page %zu", i), i == 0);
        }
        FlushEvents();
        return m_Book;
    }

    /// What the toolkit sends after a tab drag, and a page's splitter after a sash move.
    static void DragDone(wxsNotebook* book)
    {
        wxAuiNotebookEvent done(wxEVT_AUINOTEBOOK_DRAG_DONE, book->GetId());
        book->GetEventHandler()->ProcessEvent(done);
    }
    static void SashMoved(wxsNotebook* book)
    {
        auto* splitter = new wxSplitterWindow(book->GetPage(0));  // owned by the page
        wxSplitterEvent moved(wxEVT_SPLITTER_SASH_POS_CHANGED, splitter);
        splitter->GetEventHandler()->ProcessEvent(moved);
    }

    /// The text a notebook of pageCount pages saves after page `split` moved
    /// into a second group to the right.
    std::string SavedWithSplit(size_t pageCount, size_t split)
    {
        wxsNotebook* other = Make("", pageCount);
        other->Split(split, wxRIGHT);
        const std::string text = other->SavePerspective().ToStdString();
        m_Book = nullptr;
        other->Destroy();
        return text;
    }

    /// Every page sits in exactly one tab group, each group shows exactly one
    /// of its pages inside the notebook, and every group's pane is shown.
    void ExpectEveryPageShown(const std::string& context)
    {
        SCOPED_TRACE(context);
        FlushEvents();
        ASSERT_EQ(3u, m_Book->GetPageCount());
        std::set<wxAuiTabCtrl*> ctrls;
        for (size_t i = 0; i < m_Book->GetPageCount(); ++i)
        {
            wxAuiTabCtrl* ctrl = nullptr;
            int index;
            EXPECT_TRUE(m_Book->FindTab(m_Book->GetPage(i), &ctrl, &index)) << "page " << i;
            ctrls.insert(ctrl);
        }
        wxString groups(Groups(m_Book));
        groups.Replace(",", "|");
        wxArrayString listed = wxSplit(groups, '|', '\0');
        listed.Sort();
        EXPECT_EQ("0|1|2", wxJoin(listed, '|', '\0'));
        const wxRect area(wxPoint(0, 0), m_Book->GetClientSize());
        for (wxAuiTabCtrl* ctrl : ctrls)
        {
            if (!ctrl)
                continue;
            EXPECT_TRUE(ctrl->IsShown());
            int shown = 0;
            for (size_t j = 0; j < ctrl->GetPageCount(); ++j)
            {
                wxWindow* page = ctrl->GetWindowFromIdx(j);
                if (!page->IsShown())
                    continue;
                ++shown;
                EXPECT_TRUE(area.Contains(page->GetRect())) << "page rect outside the notebook";
                EXPECT_GT(page->GetSize().x * page->GetSize().y, 0);
            }
            EXPECT_EQ(1, shown);
        }
        wxAuiPaneInfoArray& panes = Manager(m_Book).GetAllPanes();
        for (size_t i = 0; i < panes.GetCount(); ++i)
            EXPECT_EQ(panes[i].name != "dummy", panes[i].IsShown() && panes[i].IsDocked()) << panes[i].name;
    }

    wxFrame* m_Frame = nullptr;
    wxsNotebook* m_Book = nullptr;
};
}  // namespace

TEST_F(NotebookTest, TextMarksTheCurrentPageOnceAndEndsWithTheManagersPart)
{
    wxsNotebook* book = Make("Book", 3);
    book->SetSelection(1);
    const wxString text = book->SavePerspective();
    wxRegEx form("^([0-9a-zA-Z]+)=0,\\*1,2@(layout2\\|.*)$", wxRE_ADVANCED);
    ASSERT_TRUE(form.Matches(text)) << text;
    EXPECT_TRUE(form.GetMatch(text, 2).Contains("|name=" + form.GetMatch(text, 1) + ";")) << text;
    EXPECT_EQ(Manager(book).SavePerspective(), form.GetMatch(text, 2));

    // In a split, the group without the current page marks its active page.
    book->Split(2, wxRIGHT);
    book->SetSelection(0);
    wxRegEx split("^[0-9a-zA-Z]+=\\*0,1\\|[0-9a-zA-Z]+=\\+2@", wxRE_ADVANCED);
    EXPECT_TRUE(split.Matches(book->SavePerspective())) << book->SavePerspective();

    // Focus moving into the other group's page keeps the current tab.
    wxWindow* button = book->GetPage(2)->GetChildren().front();
    wxChildFocusEvent focus(button);
    button->GetEventHandler()->ProcessEvent(focus);
    EXPECT_EQ(0, book->GetSelection());
}

TEST_F(NotebookTest, SplitLayoutIsStoredAfterATabDragAndRestoredWithTheSameGroups)
{
    wxsNotebook* book = Make("SplitBook", 3);
    book->Split(1, wxRIGHT);
    book->SetSelection(2);
    DragDone(book);
    const wxString saved = book->SavePerspective();
    EXPECT_EQ(wxsFromWx(saved), DravikApp::GetOptions().GetValue("Window", "SplitBook", String()));
    ASSERT_EQ("0,2|1", Groups(book));

    ASSERT_TRUE(book->LoadPerspective("one=0,1,2@"));
    EXPECT_EQ("0,1,2", Groups(book));
    ASSERT_TRUE(book->LoadLayout());
    EXPECT_EQ(saved.BeforeFirst('@'), book->SavePerspective().BeforeFirst('@'));
    EXPECT_EQ(2, book->GetSelection());
    ExpectEveryPageShown("restored split");
    // The groups stand side by side again.
    wxAuiTabCtrl *left, *right;
    int index;
    ASSERT_TRUE(book->FindTab(book->GetPage(0), &left, &index));
    ASSERT_TRUE(book->FindTab(book->GetPage(1), &right, &index));
    EXPECT_LT(left->GetPosition().x + left->GetSize().x, right->GetPosition().x + 10);

    // A sash moved in a page's splitter stores the layout, and so does the
    // sash between the groups, which the docking manager handles by itself.
    DravikApp::GetOptions().SetValue("Window", "SplitBook", String("stale"));
    SashMoved(book);
    EXPECT_EQ(wxsFromWx(book->SavePerspective()), DravikApp::GetOptions().GetValue("Window", "SplitBook", String()));

    DravikApp::GetOptions().SetValue("Window", "SplitBook", String("stale"));
    const wxString beforeDrag = book->SavePerspective();
    auto mouse = [book](wxEventType type, int x) {
        wxMouseEvent event(type);
        event.SetEventObject(book);
        event.SetPosition(wxPoint(x, 150));
        event.SetLeftDown(type != wxEVT_LEFT_UP);
        book->GetEventHandler()->ProcessEvent(event);
    };
    const int sashX = right->GetPosition().x - 4;
    mouse(wxEVT_LEFT_DOWN, sashX);
    ASSERT_TRUE(book->HasCapture());
    mouse(wxEVT_MOTION, sashX - 60);
    mouse(wxEVT_LEFT_UP, sashX - 60);
    EXPECT_TRUE(WaitUntil([&] {
        return DravikApp::GetOptions().GetValue("Window", "SplitBook", String()) == wxsFromWx(book->SavePerspective());
    }));
    EXPECT_NE(beforeDrag, book->SavePerspective());
}

TEST_F(NotebookTest, LayoutsOfOtherPageCountsKeepEveryPage)
{
    // Four pages, page 2 split off: index 3 is dropped in a three-page notebook.
    const std::string fourPages = SavedWithSplit(4, 2);
    wxsNotebook* book = Make("Book", 3);
    ASSERT_TRUE(book->LoadPerspective(fourPages));
    EXPECT_EQ("0,1|2", Groups(book));
    ExpectEveryPageShown("four-page layout");

    // Two pages, page 1 split off: the new page 2 joins the last group.
    const std::string twoPages = SavedWithSplit(2, 1);
    book = Make("Book", 3);
    ASSERT_TRUE(book->LoadPerspective(twoPages));
    EXPECT_EQ("0|1,2", Groups(book));
    ExpectEveryPageShown("two-page layout");
}

TEST_F(NotebookTest, EmptyStoredValueAndMissingKeyLeaveTabsAndOptionsAlone)
{
    wxsNotebook* book = Make("EmptyBook", 3);
    book->SetSelection(2);
    DravikApp::GetOptions().SetValue("Window", "EmptyBook", String());
    EXPECT_FALSE(book->LoadLayout());
    EXPECT_EQ("0,1,2", Groups(book));
    EXPECT_EQ(2, book->GetSelection());

    // A keyless notebook neither loads a layout stored under the empty key nor
    // stores its own after drags.
    const String split = wxsFromWx(wxString(SavedWithSplit(3, 1)));
    DravikApp::GetOptions().SetValue("Window", "", split);
    book = Make("", 3);
    const String before = DravikApp::GetOptions().ToText();
    EXPECT_FALSE(book->LoadLayout());
    EXPECT_EQ("0,1,2", Groups(book));
    book->Split(1, wxRIGHT);
    DragDone(book);
    SashMoved(book);
    book->SaveLayout();
    EXPECT_EQ(before, DravikApp::GetOptions().ToText());
}

TEST_F(NotebookTest, MalformedTextsNeverLoseOrHideAPage)
{
    const std::string good = SavedWithSplit(3, 2);
    const std::string manager = good.substr(good.find('@'));
    const std::vector<std::string> texts = {
        "", "@", "garbage", "A=0,1,2", "|||@", "=@layout2|",
        good.substr(0, good.size() / 2),  // truncated inside the manager's part
        good.substr(0, good.find('@') - 1),  // truncated before the "@"
        "A=0,0,0,1,1@layout2|",
        "A=2,1|B=1,2,2@" + manager.substr(1),
        "A=99999999999999999999999999,-1,18446744073709551616,1@layout2|",
        "A=-5,,x,*,+@layout2|",
        "A=0|A=1|A=2@layout2|name=A;dir=4|name=A;dir=2|",
        "dummy=0,1,2@layout2|name=dummy;state=0;dir=5|",
        "A=0|B=1,2@layout2|name=A;state=4294967295;dir=99;layer=-5;row=999999999;pos=-1;prop=-7;"
        "bestw=99999999;besth=-99;minw=999999;floatw=-5|name=B;state=2;dir=0;caption=x;bogus=1|"
        "dock_size(99,0,0)=5|dock_size(3,-1,2)=99999999999|dock_size|dock_size(5)=|dock_size(a,b,c)=d|",
        "A=*1,+0|B=+*2@layout1|name=A",
        "A;B=0,1|C\\|D=2@layout2|name=A\\;B;dir=5|",
        "A=0,1|B=2@layout2|name=B;state=16385;dir=2|",  // floating and hidden
    };
    wxsNotebook* book = Make("Book", 3);
    for (const std::string& text : texts)
    {
        ASSERT_TRUE(book->LoadPerspective(good));
        book->LoadPerspective(text);
        ExpectEveryPageShown("'" + text + "'");
    }
    // Texts without "@" or without any page of this notebook change nothing.
    ASSERT_TRUE(book->LoadPerspective(good));
    const std::string groups = Groups(book);
    EXPECT_FALSE(book->LoadPerspective("A=0,1,2"));
    EXPECT_FALSE(book->LoadPerspective("A=7,8|B=@layout2|"));
    EXPECT_EQ(groups, Groups(book));
}

TEST_F(NotebookTest, TabAndDockArtDrawInTheSchemesColours)
{
    wxsSetColorScheme(SCHEME_DARK);
    wxsNotebook* book = Make("Book", 1);
    std::unique_ptr<wxAuiTabArt> art(book->GetArtProvider()->Clone());
    wxImage image = Render(120, 30, [&](wxDC& dc) { art->DrawBackground(dc, book, wxRect(0, 0, 120, 30)); });
    // The band towards the pages starts in the field colour, under the strip.
    EXPECT_EQ(wxsGetColor(COLOR_FIELD), Pixel(image, 60, 26));
    EXPECT_EQ(wxsGetColor(COLOR_BACKGROUND_LIGHT), Pixel(image, 60, 0));

    // The tab's outline in the darkened field colour.
    art->SetSizingInfo(wxSize(120, 30), 1, book);
    wxAuiNotebookPage page;
    page.caption = "Tab";
    page.active = true;
    wxRect tabRect, buttonRect;
    int extent = 0;
    image = Render(120, 30, [&](wxDC& dc) {
        art->DrawTab(dc, book, page, wxRect(0, 0, 120, 30), wxAUI_BUTTON_STATE_HIDDEN, &tabRect, &buttonRect,
                     &extent);
    });
    EXPECT_EQ(AdjustColour(wxsGetColor(COLOR_FIELD), -20, -20, -20), Pixel(image, tabRect.x, tabRect.y + 4));

    // Sash in the control colour; border 48 lighter than the dark background.
    auto* dockArt = dynamic_cast<wxsDockArt*>(Manager(book).GetArtProvider());
    ASSERT_NE(nullptr, dockArt);
    image = Render(40, 30, [&](wxDC& dc) {
        dockArt->DrawSash(dc, book, wxVERTICAL, wxRect(0, 0, 5, 30));
        dockArt->DrawBorder(dc, book, wxRect(10, 0, 20, 20), Manager(book).GetPane("dummy"));
    });
    EXPECT_EQ(wxsGetColor(COLOR_CONTROL), Pixel(image, 2, 15));
    EXPECT_EQ(AdjustColour(wxsGetColor(COLOR_BACKGROUND), 48, 48, 48), Pixel(image, 10, 10));
    // A scheme change keeps the dock background in the scheme's field colour.
    wxsSetColorScheme(SCHEME_LIGHT);
    wxSysColourChangedEvent changed;
    book->GetEventHandler()->ProcessEvent(changed);
    EXPECT_EQ(wxsGetColor(COLOR_FIELD), dockArt->GetColour(wxAUI_DOCKART_BACKGROUND_COLOUR));
    wxsSetColorScheme(SCHEME_DARK);
}
