// Window placement and desktop helpers: the saved-placement text, the
// open-windows registry and its menu, opening a folder, the clipboard.
#include <dlfcn.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
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
using Lines = std::vector<std::string>;
const std::string k_CollectAll = "24102 Collect All [Center all open windows over the main window]";

namespace
{
std::string RectText(const wxRect& r)
{
    return wxString::Format("%d, %d, %d, %d", r.x, r.y, r.width, r.height).ToStdString();
}

/// Where a window of that size goes when centred in the area.
std::string CentredIn(const wxRect& area, const wxSize& size)
{
    return RectText(wxRect(area.x + (area.width - size.x) / 2, area.y + (area.height - size.y) / 2, size.x, size.y));
}

/// What _ParseWindowPos reads, or "no" and the rectangle it was given.
std::string Parsed(const char* text)
{
    wxRect rect(1, 2, 3, 4);
    return _ParseWindowPos(text, rect) ? RectText(rect) : "no " + RectText(rect);
}

/// Whether GTK maps the window, whatever the toolkit's own flag says.
bool MappedByGtk(wxWindow* window)
{
    static const auto query = reinterpret_cast<int (*)(void*)>(dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
    return query && query(window->GetHandle());
}

/// Saves value under key, then restores it into the window.
void Restore(wxWindow* window, const char* key, const char* value, int offset = 0)
{
    DravikApp::GetOptions().SetValue("Window", key, value);
    wxSetWindowPos(window, key, offset);
}

/// "id label [help]" per item, "-" for separators, "(off)" after disabled ones.
Lines MenuLines(const wxMenu* menu)
{
    Lines lines;
    for (const wxMenuItem* item : menu->GetMenuItems())
    {
        std::string line = item->GetId() >= 0 ? std::to_string(item->GetId()) + " " : "";
        line += item->GetItemLabel().utf8_string() + (item->IsEnabled() ? "" : " (off)");
        if (!item->GetHelp().empty())
            line += " [" + item->GetHelp().utf8_string() + "]";
        lines.push_back(item->IsSeparator() ? "-" : line);
    }
    return lines;
}

/// Every test has a shown main window of 600 x 400 at 100, 100 and an empty registry.
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
        wxTheApp->SetTopWindow(nullptr);
        delete m_Main;  // and every window of the test with it
        FlushEvents();
    }

    wxFrame* NewWindow(const wxString& title, const wxSize& size = wxSize(300, 200), bool shown = false)
    {
        auto* window = new wxFrame(m_Main, wxID_ANY, title, wxPoint(0, 0), size);  // owned by the main window
        window->Show(shown);
        return window;
    }

    void SendMenu(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        m_Main->GetEventHandler()->ProcessEvent(event);
    }

    /// Where a window collected over the main window goes: at least half its size.
    std::string Collected(const wxSize& size)
    {
        return CentredIn(wxDisplay(m_Main).GetClientArea(), wxSize(std::max(size.x, 300), std::max(size.y, 200)));
    }

    wxFrame* m_Main = nullptr;
};
}

TEST(WindowPosText, ReadsFourNumbersAndClampsWhatNoWindowCanTake)
{
    EXPECT_EQ("-5, 7, 300, 40", Parsed("\"-5\",\" 7\", 30\\0, 40"));  // quotes and escapes group
    // Coordinates stay within what X11 can place, sizes are positive or left to the toolkit.
    EXPECT_EQ("-32767, 32767, -1, 32767", Parsed("-99999999999, 99999999999, -7, 2147483647"));
    EXPECT_EQ("-32767, 0, -1, 1", Parsed("-2147483648, 0, 0, 1"));
    for (const char* bad : {"", "10, 20, 300", "a, b, c, d", "10, 20, , 30", "10, 20, x, 30", ",,,"})
        EXPECT_EQ("no 1, 2, 3, 4", Parsed(bad)) << bad;
}

TEST_F(DesktopTest, RestoresTheSavedPlacementOrCentresOnTheParent)
{
    wxFrame* window = NewWindow("placed", wxSize(250, 150));
    Restore(window, "Three", "10, 20, 300");
    EXPECT_EQ(CentredIn(m_Main->GetScreenRect(), wxSize(250, 150)), RectText(window->GetRect()));
    Restore(window, "Five", "10, 20, 300, 200, 99");
    EXPECT_EQ("10, 20, 300, 200", RectText(window->GetRect()));
    Restore(window, "Offset", "100, 100, 400, 300", 25);
    EXPECT_EQ("125, 125, 400, 300", RectText(window->GetRect()));

    // What is saved reads back unchanged, into another window too.
    wxSaveWindowPos(window, "Saved");
    EXPECT_EQ(String("125, 125, 400, 300"), DravikApp::GetOptions().GetValue("Window", "Saved", String()));
    wxFrame* other = NewWindow("other", wxSize(300, 200), true);
    wxSetWindowPos(other, "Saved", 0);
    EXPECT_EQ("125, 125, 400, 300", RectText(other->GetRect()));

    // Off every display: a hidden window keeps it, a shown one is centred.
    Restore(window, "Away", "5000, 5000, 300, 200");
    EXPECT_EQ("5000, 5000, 300, 200", RectText(window->GetRect()));
    wxSetWindowPos(other, "Away", 0);
    EXPECT_EQ(CentredIn(m_Main->GetScreenRect(), wxSize(300, 200)), RectText(other->GetRect()));
    // Restoring never maps a hidden window behind the toolkit's back.
    EXPECT_FALSE(MappedByGtk(window));

    // Absurd values never reach the toolkit: sizes within the desktop, no overflow, no empty extent.
    wxRect desktop;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        desktop.Union(wxDisplay(i).GetGeometry());
    Restore(window, "Huge", "-99999999999, 99999999999, 2147483647, 99999999");
    EXPECT_EQ(RectText(wxRect(-32767, 32767, desktop.width, desktop.height)), RectText(window->GetRect()));
    Restore(window, "Edge", "2147483647, 100, 300, 200", INT_MAX);
    EXPECT_EQ("32767, 32767, 300, 200", RectText(window->GetRect()));
    Restore(window, "Negative", "40, 50, -300, 0");
    EXPECT_EQ(wxPoint(40, 50), window->GetPosition());
    EXPECT_TRUE(window->GetSize().x > 0 && window->GetSize().y > 0);
}

TEST_F(DesktopTest, MenuListsGroupsInOrderAndAtMostAHundredWindows)
{
    wxMenu* const menu = wxGetOpenWindowMenu();
    EXPECT_EQ(Lines{"No open windows (off)"}, MenuLines(menu));
    wxOpenUserWindow(NewWindow("Job A"), "Jobs");
    wxOpenUserWindow(NewWindow("Engine 1"), "Engines");
    wxOpenUserWindow(NewWindow("Log"), "");
    wxOpenUserWindow(NewWindow("Job B"), "Jobs");
    wxOpenUserWindow(NewWindow("R&D\tnotes"), "");
    ASSERT_EQ(menu, wxGetOpenWindowMenu());  // the same menu, rebuilt rather than added to
    EXPECT_EQ((Lines{"24000 Main Window", "-", "24003 Log", "24005 R&&D notes",  // ungrouped first
                     "-", "   Engines (off)", "24002 Engine 1",                     // then by group name
                     "-", "   Jobs (off)", "24001 Job A", "24004 Job B",            // in registry order
                     "-", k_CollectAll, "24101 Close All"}),
              MenuLines(menu));

    _ClearOpenWindows();
    for (int i = 0; i < 101; ++i)
        wxOpenUserWindow(NewWindow(wxString::Format("w%d", i)), "");
    EXPECT_EQ(101u, _OpenWindowCount());
    const Lines lines = MenuLines(wxGetOpenWindowMenu());
    ASSERT_EQ(105u, lines.size());  // main, separator, 100 windows, separator, two commands
    EXPECT_EQ("24001 w0", lines[2]);
    EXPECT_EQ((Lines{"24100 w99", "-"}), Lines(lines.begin() + 101, lines.begin() + 103));
}

TEST_F(DesktopTest, ClosingRemovesTheFirstEntryAndDestructionTheRest)
{
    wxFrame *twice = NewWindow("twice"), *other = NewWindow("other");
    wxOpenUserWindow(twice, "Jobs");
    wxOpenUserWindow(other, "");
    wxOpenUserWindow(twice, "Engines");
    wxOpenUserWindow(other, "Engines");
    wxWeakRef<wxFrame> twiceRef(twice);
    twice->Close(false);
    EXPECT_EQ((Lines{"24000 Main Window", "-", "24001 other", "-", "   Engines (off)", "24002 twice", "24003 other",
                     "-", k_CollectAll, "24101 Close All"}),
              MenuLines(wxGetOpenWindowMenu()));

    // The closed window goes at the next idle time, and its last entry too.
    EXPECT_TRUE(WaitUntil([&] {
        wxTheApp->ProcessIdle();
        return !twiceRef;
    }));
    EXPECT_EQ(2u, _OpenWindowCount());
    delete other;  // destroyed without a close event: none of its entries is left behind
    EXPECT_EQ(0u, _OpenWindowCount());
}

TEST_F(DesktopTest, SmallWindowsAndCollectAllGatherOverTheMainWindow)
{
    // A visible window too small to use is collected when it registers; a
    // large or hidden one is left alone.
    wxFrame *narrow = NewWindow("narrow", wxSize(80, 300), true), *big = NewWindow("big", wxSize(700, 150), true);
    wxFrame* hidden = NewWindow("hidden", wxSize(50, 50));
    for (wxFrame* window : {narrow, big})
        wxOpenUserWindow(window, "");
    wxOpenUserWindow(hidden, "Jobs");
    EXPECT_EQ(Collected(wxSize(80, 300)), RectText(narrow->GetRect()));
    EXPECT_EQ("0, 0, 700, 150", RectText(big->GetRect()));
    EXPECT_EQ("0, 0, 50, 50", RectText(hidden->GetRect()));

    narrow->SetSize(5, 5, 320, 100);
    wxGetOpenWindowMenu();  // connects the menu's handler to the main window
    SendMenu(wxID_OPEN_WINDOWS_COLLECT_ALL);
    EXPECT_EQ(Collected(wxSize(320, 100)), RectText(narrow->GetRect()));
    EXPECT_EQ(Collected(wxSize(700, 150)), RectText(big->GetRect()));
    EXPECT_EQ(Collected(wxSize(50, 50)), RectText(hidden->GetRect()));
    EXPECT_FALSE(MappedByGtk(hidden));
}

TEST_F(DesktopTest, CloseAllClosesEveryWindowEvenWhenOneDestroysAnother)
{
    wxFrame *first = NewWindow("first"), *victim = NewWindow("victim");
    wxFrame *stubborn = NewWindow("stubborn"), *last = NewWindow("last");
    Lines closed;
    for (wxFrame* window : {first, stubborn, last})
        window->Bind(wxEVT_CLOSE_WINDOW, [&, window](wxCloseEvent& event) {
            closed.push_back(window->GetTitle().utf8_string());
            if (window == first)
                delete victim;  // closing the first window takes the second with it at once
            window == stubborn ? event.Veto() : event.Skip();  // and one refuses to close
        });
    for (wxFrame* window : {first, victim, stubborn, last})
        wxOpenUserWindow(window, "");

    wxWeakRef<wxFrame> firstRef(first), lastRef(last), stubbornRef(stubborn);
    wxGetOpenWindowMenu();
    SendMenu(wxID_OPEN_WINDOWS_CLOSE_ALL);
    EXPECT_EQ((Lines{"first", "stubborn", "last"}), closed);
    EXPECT_EQ(0u, _OpenWindowCount());  // a refused close leaves the registry too
    SendMenu(wxID_OPEN_WINDOWS_FIRST + 7);  // past the registry: does nothing
    EXPECT_TRUE(WaitUntil([&] {
        wxTheApp->ProcessIdle();
        return !firstRef && !lastRef;
    }));
    EXPECT_TRUE(stubbornRef);
}

TEST_F(DesktopTest, ExploreFolderHandsTheFolderOverAsOneArgument)
{
    TempFolder root, calls;
    const std::string odd = root.File("odd 'name' \"q\" ; $(touch pwned) `id` \\ \n line");
    std::filesystem::create_directory(odd);
    std::ofstream(odd + "/file.txt") << "x";
    // A stand-in for the desktop's opener: each call leaves its arguments, NUL-terminated, in a file.
    const std::string opener = root.File("opener.sh");
    std::ofstream(opener) << "#!/bin/sh\ncd '" << root.Path() << "' && printf '%s\\0' \"$@\" > .c$$ && mv .c$$ '"
                          << calls.Path() << "'/call.$$\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    const String previous = _SetFolderOpener(opener.c_str());
    auto finishedCalls = [&] {
        Lines contents;
        for (const auto& entry : std::filesystem::directory_iterator(calls.Path()))
        {
            std::ifstream in(entry.path(), std::ios::binary);
            contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return contents;
    };
    ScopedLogLevel debug(LOG_DEBUG);
    std::atomic<int> browsing{0}, reported{0};
    const std::string missing = root.Path() + "/no/such/file";
    const int observer = Log::s_GlobalLog.AddObserver([&](LogLevel, const String& text) {
        const std::string line = text.c_str();
        browsing += line == "Browsing to folder: " + odd;
        reported += line.rfind("Cannot explore to path that does not exist:\n\n" + missing, 0) == 0;
    });

    // Nothing to show: reported (the answer remembered, so no box waits), no opener started.
    DravikApp::GetOptions().SetValue("Confirm", "ExploreFolder", true);
    wxExploreFolder(Path(missing.c_str()));
    wxExploreFolder(Path((odd + "/file.txt").c_str()));  // a file: its folder
    wxExploreFolder(Path((odd + "/missing").c_str()));   // missing, in a folder that exists
    wxExploreFolder(Path(odd.c_str()));                  // the folder itself
    EXPECT_TRUE(WaitUntil([&] { return finishedCalls().size() == 3; }, 10000));
    _SetFolderOpener(previous);
    Log::s_GlobalLog.RemoveObserver(observer);
    EXPECT_EQ(Lines(3, odd + '\0'), finishedCalls());
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    EXPECT_EQ(3, browsing);
    EXPECT_EQ(1, reported);
}

TEST_F(DesktopTest, ClipboardKeepsTheTextAndHiddenFramesAreNotActive)
{
    const String text("Render \xc3\xa9t\xc3\xa9 \"jobs\"\n\tand more");
    ASSERT_TRUE(wxCopyTextToClipboard(text));
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject data;
    EXPECT_TRUE(wxTheClipboard->GetData(data));
    wxTheClipboard->Close();
    EXPECT_EQ(wxString::FromUTF8(text.c_str()), data.GetText());
    EXPECT_FALSE(ParentIsActive(new wxPanel(new wxPanel(NewWindow("inactive")))));
}
