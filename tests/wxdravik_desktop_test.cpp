// Window placement and desktop helpers: the saved-placement text, restoring
// it (or centring), the open-windows registry and its menu, opening a folder
// through the desktop, the clipboard and the active-parent test.
#include <dlfcn.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/weakref.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxdesktop.h"

using namespace dravik_test;

namespace
{
std::string RectText(const wxRect& r)
{
    return wxString::Format("%d, %d, %d, %d", r.x, r.y, r.width, r.height).ToStdString();
}

std::string Placement(const wxWindow* window)
{
    return RectText(window->GetRect());
}

/// Where CenterOnParent puts a window of that size over the parent.
std::string CentredOn(const wxWindow* parent, const wxSize& size)
{
    const wxRect area = parent->GetScreenRect();
    return RectText(wxRect(area.x + (area.width - size.x) / 2, area.y + (area.height - size.y) / 2, size.x, size.y));
}

/// Whether GTK maps the window, whatever the toolkit's own flag says.
bool MappedByGtk(wxWindow* window)
{
    using Query = int (*)(void*);
    static const auto query = reinterpret_cast<Query>(dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
    return query && query(window->GetHandle());
}

void SetSaved(const char* key, const char* value)
{
    DravikApp::GetOptions().SetValue("Window", key, value);
}

/// "id label" for each item, "-" for separators and "(off)" after disabled
/// ones: the whole menu as comparable lines.
std::vector<std::string> MenuLines(const wxMenu* menu)
{
    std::vector<std::string> lines;
    for (const wxMenuItem* item : menu->GetMenuItems())
    {
        if (item->IsSeparator())
        {
            lines.push_back("-");
            continue;
        }
        std::string line = item->GetId() >= 0 ? std::to_string(item->GetId()) + " " : "";
        line += item->GetItemLabel().utf8_string();
        if (!item->IsEnabled())
            line += " (off)";
        lines.push_back(line);
    }
    return lines;
}

/// A window that refuses to close.
class StubbornFrame : public wxFrame
{
public:
    StubbornFrame(wxWindow* parent, const wxString& title) : wxFrame(parent, wxID_ANY, title) {}

private:
    void OnClose(wxCloseEvent& event) { event.Veto(); }
    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(StubbornFrame, wxFrame)
    EVT_CLOSE(StubbornFrame::OnClose)
wxEND_EVENT_TABLE()

/// Every test has a shown main window of 600 x 400 at 100, 100 and an
/// empty registry.
class DesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _ClearOpenWindows();
        m_Main = new wxFrame(nullptr, wxID_ANY, "main", wxPoint(100, 100), wxSize(600, 400));
        wxTheApp->SetTopWindow(m_Main);
        m_Main->Show();
    }

    void TearDown() override
    {
        _ClearOpenWindows();
        // Weakly held: deleting one window may take others with it.
        std::vector<wxWeakRef<wxWindow>> windows;
        for (wxWindow* window : wxTopLevelWindows)
            if (window != m_Main)
                windows.emplace_back(window);
        for (const wxWeakRef<wxWindow>& window : windows)
            delete window.get();
        wxTheApp->SetTopWindow(nullptr);
        delete m_Main;
        FlushEvents();
    }

    wxFrame* NewWindow(const wxString& title, const wxSize& size = wxSize(300, 200))
    {
        return new wxFrame(m_Main, wxID_ANY, title, wxPoint(0, 0), size);  // owned by the main window
    }

    void SendMenu(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_Main);
        m_Main->GetEventHandler()->ProcessEvent(event);
    }

    /// Where a window collected over the main window goes.
    std::string Collected(const wxSize& size)
    {
        const wxRect area = wxDisplay(m_Main).GetClientArea();
        const wxSize collected(std::max(size.x, 300), std::max(size.y, 200));
        return RectText(wxRect(area.x + (area.width - collected.x) / 2, area.y + (area.height - collected.y) / 2,
                               collected.x, collected.y));
    }

    wxFrame* m_Main = nullptr;
};
}

// ---------------------------------------------------------------- placement

TEST(WindowPosText, ReadsFourNumbersAndClampsWhatNoWindowCanTake)
{
    wxRect rect;
    ASSERT_TRUE(_ParseWindowPos("120, 80, 640, 480", rect));
    EXPECT_EQ("120, 80, 640, 480", RectText(rect));
    ASSERT_TRUE(_ParseWindowPos("10, 20, 300, 200, 99", rect));
    EXPECT_EQ("10, 20, 300, 200", RectText(rect));
    ASSERT_TRUE(_ParseWindowPos("\"-5\",\" 7\", 30\\0, 40", rect));  // quotes and escapes group
    EXPECT_EQ("-5, 7, 300, 40", RectText(rect));

    rect = wxRect(1, 2, 3, 4);
    for (const char* bad : {"", "10, 20, 300", "a, b, c, d", "10, 20, , 30", "10, 20, x, 30", ",,,"})
        EXPECT_FALSE(_ParseWindowPos(bad, rect)) << bad;
    EXPECT_EQ("1, 2, 3, 4", RectText(rect));

    // Huge, negative and empty extents: coordinates stay within what X11
    // can place, sizes are positive or left to the toolkit.
    ASSERT_TRUE(_ParseWindowPos("-99999999999, 99999999999, -7, 2147483647", rect));
    EXPECT_EQ("-32767, 32767, -1, 32767", RectText(rect));
    ASSERT_TRUE(_ParseWindowPos("-2147483648, 0, 0, 1", rect));
    EXPECT_EQ("-32767, 0, -1, 1", RectText(rect));
}

TEST_F(DesktopTest, RestoresTheSavedPlacementOrCentresOnTheParent)
{
    wxFrame* window = NewWindow("placed");

    SetSaved("Three", "10, 20, 300");
    window->SetSize(0, 0, 250, 150);
    wxSetWindowPos(window, "Three", 0);
    EXPECT_EQ(CentredOn(m_Main, wxSize(250, 150)), Placement(window));

    SetSaved("Five", "10, 20, 300, 200, 99");
    wxSetWindowPos(window, "Five", 0);
    EXPECT_EQ("10, 20, 300, 200", Placement(window));

    SetSaved("Offset", "100, 100, 400, 300");
    wxSetWindowPos(window, "Offset", 25);
    EXPECT_EQ("125, 125, 400, 300", Placement(window));

    // What is saved reads back unchanged, into another window too.
    wxSaveWindowPos(window, "Saved");
    EXPECT_EQ(String("125, 125, 400, 300"), DravikApp::GetOptions().GetValue("Window", "Saved", String()));
    wxFrame* other = NewWindow("other");
    wxSetWindowPos(other, "Saved", 0);
    EXPECT_EQ("125, 125, 400, 300", Placement(other));

    SetSaved("Missing", "");
    other->SetSize(5, 5, 320, 240);
    wxSetWindowPos(other, "Missing", 0);
    EXPECT_EQ(CentredOn(m_Main, wxSize(320, 240)), Placement(other));

    // Off every display: a hidden window keeps it, a shown one is centred.
    SetSaved("Away", "5000, 5000, 300, 200");
    wxSetWindowPos(window, "Away", 0);
    EXPECT_EQ("5000, 5000, 300, 200", Placement(window));
    other->Show();
    wxSetWindowPos(other, "Away", 0);
    EXPECT_EQ(CentredOn(m_Main, wxSize(300, 200)), Placement(other));

    // Restoring never maps a hidden window behind the toolkit's back.
    EXPECT_FALSE(MappedByGtk(window));
    EXPECT_FALSE(window->IsShown());
}

TEST_F(DesktopTest, AbsurdSavedValuesNeverReachTheToolkit)
{
    wxFrame* window = NewWindow("absurd");
    wxRect desktop;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        desktop.Union(wxDisplay(i).GetGeometry());

    SetSaved("Huge", "-99999999999, 99999999999, 2147483647, 99999999");
    wxSetWindowPos(window, "Huge", 0);
    EXPECT_EQ(RectText(wxRect(-32767, 32767, desktop.width, desktop.height)), Placement(window));

    // The offset cannot overflow the saved coordinate.
    SetSaved("Edge", "2147483647, 100, 300, 200");
    wxSetWindowPos(window, "Edge", INT_MAX);
    EXPECT_EQ("32767, 32767, 300, 200", Placement(window));

    // Zero and negative extents leave the size to the toolkit.
    SetSaved("Negative", "40, 50, -300, 0");
    wxSetWindowPos(window, "Negative", 0);
    EXPECT_EQ(wxPoint(40, 50), window->GetPosition());
    EXPECT_GT(window->GetSize().x, 0);
    EXPECT_GT(window->GetSize().y, 0);
}

// ---------------------------------------------------------------- open windows

TEST_F(DesktopTest, MenuListsGroupsInOrderWithTheirWindows)
{
    wxMenu* const menu = wxGetOpenWindowMenu();
    EXPECT_EQ(std::vector<std::string>{"No open windows (off)"}, MenuLines(menu));

    wxOpenUserWindow(NewWindow("Job A"), "Jobs");
    wxOpenUserWindow(NewWindow("Engine 1"), "Engines");
    wxOpenUserWindow(NewWindow("Log"), "");
    wxOpenUserWindow(NewWindow("Job B"), "Jobs");
    wxOpenUserWindow(NewWindow("R&D\tnotes"), "");

    const std::vector<std::string> expected = {
        "24000 Main Window", "-", "24003 Log", "24005 R&&D notes",                 // ungrouped first
        "-", "   Engines (off)", "24002 Engine 1",                                  // then by group name
        "-", "   Jobs (off)", "24001 Job A", "24004 Job B",                         // in registry order
        "-", "24102 Collect All", "24101 Close All"};
    ASSERT_EQ(menu, wxGetOpenWindowMenu());  // the same menu, rebuilt
    EXPECT_EQ(expected, MenuLines(menu));
    wxGetOpenWindowMenu();  // rebuilt rather than added to
    EXPECT_EQ(expected, MenuLines(menu));
    EXPECT_EQ("R&D notes", menu->FindItem(24005)->GetItemLabelText());
    EXPECT_EQ("Center all open windows over the main window", menu->FindItem(24102)->GetHelp());
    EXPECT_EQ("", menu->FindItem(24101)->GetHelp());
    EXPECT_EQ("", menu->FindItem(24001)->GetHelp());
    EXPECT_EQ(5u, _OpenWindowCount());
}

TEST_F(DesktopTest, MenuListsOnlyTheFirstHundredWindows)
{
    for (int i = 0; i < 101; ++i)
        wxOpenUserWindow(NewWindow(wxString::Format("w%d", i)), "");
    EXPECT_EQ(101u, _OpenWindowCount());

    const std::vector<std::string> lines = MenuLines(wxGetOpenWindowMenu());
    ASSERT_EQ(105u, lines.size());  // main, separator, 100 windows, separator, two commands
    EXPECT_EQ("24001 w0", lines[2]);
    EXPECT_EQ("24100 w99", lines[101]);
    EXPECT_EQ("-", lines[102]);
    EXPECT_EQ("24102 Collect All", lines[103]);
    EXPECT_EQ("24101 Close All", lines[104]);
}

TEST_F(DesktopTest, ClosingRemovesTheFirstEntryAndDestructionTheRest)
{
    wxFrame* twice = NewWindow("twice");
    wxFrame* other = NewWindow("other");
    wxOpenUserWindow(twice, "Jobs");
    wxOpenUserWindow(other, "");
    wxOpenUserWindow(twice, "Engines");
    ASSERT_EQ(3u, _OpenWindowCount());

    bool closeReachedWindow = false;
    twice->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) {
        closeReachedWindow = true;
        event.Skip();
    });
    wxWeakRef<wxFrame> twiceRef(twice);
    twice->Close(false);
    EXPECT_TRUE(closeReachedWindow);
    EXPECT_EQ(2u, _OpenWindowCount());
    const std::vector<std::string> expected = {"24000 Main Window", "-", "24001 other", "-", "   Engines (off)",
                                               "24002 twice", "-", "24102 Collect All", "24101 Close All"};
    EXPECT_EQ(expected, MenuLines(wxGetOpenWindowMenu()));

    // The closed window goes at the next idle time, and its last entry too.
    EXPECT_TRUE(WaitUntil([&] {
        wxTheApp->ProcessIdle();
        return !twiceRef;
    }));
    EXPECT_EQ(1u, _OpenWindowCount());

    // A window destroyed without a close event leaves nothing behind.
    delete other;
    EXPECT_EQ(0u, _OpenWindowCount());
    EXPECT_EQ(std::vector<std::string>{"No open windows (off)"}, MenuLines(wxGetOpenWindowMenu()));
}

TEST_F(DesktopTest, SmallWindowsAndCollectAllGatherOverTheMainWindow)
{
    // A visible window too small to use is collected when it registers.
    wxFrame* narrow = NewWindow("narrow", wxSize(80, 300));
    narrow->Show();
    wxOpenUserWindow(narrow, "");
    EXPECT_EQ(Collected(wxSize(80, 300)), Placement(narrow));

    wxFrame* big = NewWindow("big", wxSize(700, 150));
    big->Show();
    wxOpenUserWindow(big, "");
    EXPECT_EQ("0, 0, 700, 150", Placement(big));  // large enough: left alone
    wxFrame* hidden = NewWindow("hidden", wxSize(50, 50));
    wxOpenUserWindow(hidden, "Jobs");
    EXPECT_EQ("0, 0, 50, 50", Placement(hidden));  // not visible: left alone

    narrow->SetSize(5, 5, 320, 100);
    wxGetOpenWindowMenu();  // connects the menu's handler to the main window
    SendMenu(wxID_OPEN_WINDOWS_COLLECT_ALL);
    EXPECT_EQ(Collected(wxSize(320, 100)), Placement(narrow));
    EXPECT_EQ(Collected(wxSize(700, 150)), Placement(big));
    EXPECT_EQ(Collected(wxSize(50, 50)), Placement(hidden));
    EXPECT_FALSE(MappedByGtk(hidden));
}

TEST_F(DesktopTest, CloseAllClosesEveryWindowEvenWhenOneDestroysAnother)
{
    wxFrame* first = NewWindow("first");
    wxFrame* victim = NewWindow("victim");
    auto* stubborn = new StubbornFrame(m_Main, "stubborn");
    wxFrame* last = NewWindow("last");
    for (wxFrame* window : {first, victim, static_cast<wxFrame*>(stubborn), last})
        wxOpenUserWindow(window, "");
    // Closing the first window takes the second with it at once.
    first->Bind(wxEVT_CLOSE_WINDOW, [victim](wxCloseEvent& event) {
        delete victim;
        event.Skip();
    });
    std::vector<std::string> closed;
    for (wxFrame* window : {first, static_cast<wxFrame*>(stubborn), last})
        window->Bind(wxEVT_CLOSE_WINDOW, [&closed, window](wxCloseEvent& event) {
            closed.push_back(window->GetTitle().utf8_string());
            event.Skip();
        });

    wxWeakRef<wxFrame> firstRef(first), lastRef(last), stubbornRef(stubborn);
    wxGetOpenWindowMenu();
    SendMenu(wxID_OPEN_WINDOWS_CLOSE_ALL);
    EXPECT_EQ((std::vector<std::string>{"first", "stubborn", "last"}), closed);
    EXPECT_EQ(0u, _OpenWindowCount());  // a refused close leaves the registry too
    EXPECT_TRUE(WaitUntil([&] {
        wxTheApp->ProcessIdle();
        return !firstRef && !lastRef;
    }));
    EXPECT_TRUE(stubbornRef);

    // Ids past the registry do nothing.
    SendMenu(wxID_OPEN_WINDOWS_FIRST + 7);
    EXPECT_TRUE(stubbornRef);
}

// ---------------------------------------------------------------- desktop

namespace
{
/// A stand-in for the desktop's folder opener: every call leaves a file
/// with its arguments, NUL-terminated, in the folder.
class FakeOpener
{
public:
    FakeOpener()
    {
        m_Calls = m_Folder.File("calls");
        std::filesystem::create_directory(m_Calls);
        const std::string script = m_Folder.File("opener.sh");
        std::ofstream(script) << "#!/bin/sh\n"
                              << "out='" << m_Calls << "'\n"
                              << "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$out/.call.$$\"\n"
                              << "mv \"$out/.call.$$\" \"$out/call.$$\"\n";
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        m_Previous = _SetFolderOpener(script.c_str());
    }
    ~FakeOpener() { _SetFolderOpener(m_Previous); }

    /// The arguments of every finished call.
    std::vector<std::vector<std::string>> Calls() const
    {
        std::vector<std::vector<std::string>> calls;
        for (const auto& entry : std::filesystem::directory_iterator(m_Calls))
        {
            if (entry.path().filename().string().rfind("call.", 0) != 0)
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::vector<std::string> arguments;
            for (size_t start = 0, end; (end = content.find('\0', start)) != std::string::npos; start = end + 1)
                arguments.push_back(content.substr(start, end - start));
            calls.push_back(arguments);
        }
        return calls;
    }

private:
    TempFolder m_Folder;
    std::string m_Calls;
    String m_Previous;
};
}

TEST_F(DesktopTest, ExploreFolderHandsTheFolderOverAsOneArgument)
{
    TempFolder root;
    const std::string odd = root.File("odd 'name' \"q\" ; $(touch pwned) `id` \\ \n line");
    std::filesystem::create_directory(odd);
    std::ofstream(odd + "/file.txt") << "x";
    FakeOpener opener;
    ScopedLogLevel debug(LOG_DEBUG);
    std::mutex mutex;
    std::vector<std::string> lines;
    const int observer = Log::s_GlobalLog.AddObserver([&](LogLevel, const String& text) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(text.c_str());
    });

    // Nothing to show: reported (the answer remembered, so no box waits),
    // and no opener started.
    DravikApp::GetOptions().SetValue("Confirm", "ExploreFolder", true);
    wxExploreFolder(Path((root.Path() + "/no/such/file").c_str()));

    wxExploreFolder(Path((odd + "/file.txt").c_str()));   // a file: its folder
    wxExploreFolder(Path((odd + "/missing").c_str()));    // missing, in a folder that exists
    wxExploreFolder(Path(odd.c_str()));                   // the folder itself
    ASSERT_TRUE(WaitUntil([&] { return opener.Calls().size() == 3; }, 10000));
    for (const auto& arguments : opener.Calls())
        EXPECT_EQ(std::vector<std::string>{odd}, arguments);
    EXPECT_FALSE(std::filesystem::exists("pwned"));

    Log::s_GlobalLog.RemoveObserver(observer);
    std::lock_guard<std::mutex> lock(mutex);
    int browsing = 0, reported = 0;
    for (const std::string& line : lines)
    {
        browsing += line == "Browsing to folder: " + odd;
        reported += line.find("Cannot explore to path that does not exist:\n\n" + root.Path() + "/no/such/file") == 0;
    }
    EXPECT_EQ(3, browsing);
    EXPECT_EQ(1, reported);
}

TEST_F(DesktopTest, ClipboardKeepsTheTextAndInactiveParentsAreNotActive)
{
    const String text("Render \xc3\xa9t\xc3\xa9 \"jobs\"\n\tand more");
    ASSERT_TRUE(wxCopyTextToClipboard(text));
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject data;
    EXPECT_TRUE(wxTheClipboard->GetData(data));
    wxTheClipboard->Close();
    EXPECT_EQ(wxString::FromUTF8(text.c_str()), data.GetText());

    // A hidden frame is never the active one; nothing at all counts as
    // active while no frame menu is in use.
    wxFrame* window = NewWindow("inactive");
    auto* panel = new wxPanel(new wxPanel(window));
    EXPECT_FALSE(ParentIsActive(panel));
    EXPECT_TRUE(ParentIsActive(nullptr));
}
