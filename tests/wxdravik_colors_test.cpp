// Colour schemes: the table, "Colors.ini" written and read (also when it is
// damaged), colour-managed windows, the spreading of a scheme change through
// a window tree, and the "COLORS" request between two programs.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/stattext.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxdravikdlg.h"
#include "wxdravik/wxdravikframe.h"

using namespace dravik_test;

namespace
{
/// "r g b", with the alpha appended when it is not opaque; "invalid" for an
/// invalid colour: readable in a failure message.
std::string Rgb(const wxColour& c)
{
    if (!c.IsOk())
        return "invalid";
    std::string text = std::to_string(c.Red()) + " " + std::to_string(c.Green()) + " " + std::to_string(c.Blue());
    return c.Alpha() == 255 ? text : text + " alpha " + std::to_string(c.Alpha());
}

std::string ColorsPath()
{
    return wxsGetColorSchemePath().utf8_string();
}

void WriteColorsFile(const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(ColorsPath()).parent_path());
    std::ofstream(ColorsPath(), std::ios::binary | std::ios::trunc) << text;
}

IniFile ReadColorsIni()
{
    return IniFile(Path(ColorsPath().c_str()), true, false);
}

int CustomColoursDifferingFromDark()
{
    int differing = 0;
    for (int name = 0; name < k_ColorNameCount; ++name)
        differing += wxsGetColor(SCHEME_CUSTOM, ColorName(name)) != wxsGetColor(SCHEME_DARK, ColorName(name));
    return differing;
}

ColorScheme CurrentScheme()
{
    return wxsSetColorScheme(SCHEME_QUERY);
}

// Windows with no colour code of their own.
class ManagedPanel : public wxPanel, public wxsColorManaged
{
public:
    explicit ManagedPanel(wxWindow* parent) : wxPanel(parent) { Manage(this); }
};

class ManagedText : public wxStaticText, public wxsColorManaged
{
public:
    explicit ManagedText(wxWindow* parent) : wxStaticText(parent, wxID_ANY, "text") { Manage(this); }
};

/// Counts the colour-change events a window receives; the binding keeps the
/// counter alive as long as the window.
int* CountColourChanges(wxWindow* window)
{
    auto count = std::make_shared<int>(0);
    window->Bind(wxEVT_SYS_COLOUR_CHANGED, [count](wxSysColourChangedEvent& event) {
        event.Skip();
        ++*count;
    });
    return count.get();
}

void ResetColors()
{
    for (int name = 0; name < k_ColorNameCount; ++name)
        wxsGetColor(SCHEME_CUSTOM, ColorName(name)) = wxsGetColor(SCHEME_DARK, ColorName(name));
    wxsSetColorScheme(SCHEME_DARK);
}

/// Each test has its own settings folder and starts from the table of a
/// fresh program.
class ColorsTest : public ::testing::Test
{
protected:
    void SetUp() override { ResetColors(); }
    void TearDown() override { ResetColors(); }

    TempFolder m_Home;
    ScopedEnv m_Config{"XDG_CONFIG_HOME", m_Home.Path()};
};
}

TEST(ColorTable, HoldsTheSchemesAndTheCustomCopyOfDark)
{
    EXPECT_EQ("185 185 185", Rgb(wxsGetColor(SCHEME_GREY, COLOR_BACKGROUND)));
    EXPECT_EQ("184 99 0", Rgb(wxsGetColor(SCHEME_GREY, COLOR_ORANGE)));
    EXPECT_EQ("255 255 255", Rgb(wxsGetColor(SCHEME_LIGHT, COLOR_BACKGROUND_LIGHT)));
    EXPECT_EQ("250 169 35", Rgb(wxsGetColor(SCHEME_LIGHT, COLOR_HIGHLIGHT)));
    EXPECT_EQ("132 153 245", Rgb(wxsGetColor(SCHEME_DARK, COLOR_BLUE)));
    EXPECT_EQ("115 115 115", Rgb(wxsGetColor(SCHEME_DARK, COLOR_HEADER)));
    EXPECT_EQ("214 9 135", Rgb(wxsGetColor(SCHEME_BLACK, COLOR_DARK_MAGENTA)));
    EXPECT_EQ("235 235 235", Rgb(wxsGetColor(SCHEME_BLACK, COLOR_GLYPH)));
    for (int scheme = 0; scheme < k_ColorSchemeCount; ++scheme)
        for (int name = 0; name < k_ColorNameCount; ++name)
            EXPECT_EQ(255, wxsGetColor(ColorScheme(scheme), ColorName(name)).Alpha()) << scheme << "/" << name;
    EXPECT_EQ(0, CustomColoursDifferingFromDark());
    EXPECT_EQ(SCHEME_DARK, CurrentScheme());
}

TEST(ColorHelpers, AdjustClampsAndBlendTruncates)
{
    EXPECT_EQ("0 255 128", Rgb(AdjustColour(wxColour(10, 250, 128, 40), -20, 20, 0)));
    EXPECT_EQ("0 255 105", Rgb(AdjustColour(wxColour(100, 100, 100), -300, 300, 5)));
    const wxColour a(10, 20, 30, 0);
    const wxColour b(20, 40, 60);
    EXPECT_EQ("13 26 40", Rgb(BlendColour(a, b, 1.0 / 3)));
    EXPECT_EQ("127 127 127", Rgb(BlendColour(wxColour(0, 0, 0), wxColour(255, 255, 255), 0.5)));
    EXPECT_EQ("10 20 30", Rgb(BlendColour(a, b, -2)));
    EXPECT_EQ("20 40 60", Rgb(BlendColour(a, b, 7)));
}

TEST_F(ColorsTest, SetSchemeQueriesFallsBackAndSaves)
{
    std::filesystem::remove(ColorsPath());
    EXPECT_EQ(SCHEME_DARK, CurrentScheme());
    EXPECT_FALSE(std::filesystem::exists(ColorsPath())) << "a query must not write";

    EXPECT_EQ(SCHEME_LIGHT, wxsSetColorScheme(SCHEME_LIGHT));
    EXPECT_EQ("233 233 233", Rgb(wxsGetColor(COLOR_BACKGROUND)));
    EXPECT_EQ(xolib::vector<String>{"scheme"}, ReadColorsIni().GetKeys(String())) << "untouched custom scheme";
    EXPECT_EQ(1, ReadColorsIni().GetValue(String(), "scheme", -1));

    EXPECT_EQ(SCHEME_DARK, wxsSetColorScheme(ColorScheme(5)));
    wxsSetColorScheme(SCHEME_BLACK);
    EXPECT_EQ(SCHEME_DARK, wxsSetColorScheme(ColorScheme(-1)));
    EXPECT_EQ(SCHEME_DARK, CurrentScheme());
    EXPECT_EQ(2, ReadColorsIni().GetValue(String(), "scheme", -1));

    wxsSetCustomColor(COLOR_RED, wxColour(1, 2, 3));
    EXPECT_EQ(SCHEME_CUSTOM, wxsSetColorScheme(SCHEME_CUSTOM));
    EXPECT_EQ("1 2 3", Rgb(wxsGetColor(COLOR_RED)));
    EXPECT_EQ(2u, ReadColorsIni().GetKeys(String()).size());
    EXPECT_EQ(4, ReadColorsIni().GetValue(String(), "scheme", -1));
    EXPECT_EQ(String("#010203"), ReadColorsIni().GetValue(String(), "4", String()));

    wxsSetCustomColor(COLOR_RED, wxColour(255, 60, 33));
    wxsSetColorScheme(SCHEME_CUSTOM);
    EXPECT_FALSE(ReadColorsIni().HasKey(String(), "4"));
}

TEST_F(ColorsTest, LoadTakesSchemeAndColoursAndKeepsWhatTheFileLacks)
{
    wxsSetColorScheme(SCHEME_LIGHT);
    WriteColorsFile("scheme=3\n3=#112233\n5=rgb(1, 2, 3)\n6=blue\n");
    wxsLoadColorScheme();
    EXPECT_EQ(SCHEME_BLACK, CurrentScheme());
    EXPECT_EQ("17 34 51", Rgb(wxsGetColor(SCHEME_CUSTOM, COLOR_TEXT)));
    EXPECT_EQ("1 2 3", Rgb(wxsGetColor(SCHEME_CUSTOM, COLOR_ORANGE)));
    EXPECT_EQ("0 0 255", Rgb(wxsGetColor(SCHEME_CUSTOM, COLOR_YELLOW)));

    WriteColorsFile("scheme=9\n4=#445566\n7=\n");
    wxsLoadColorScheme();
    EXPECT_EQ(SCHEME_BLACK, CurrentScheme());
    EXPECT_EQ("17 34 51", Rgb(wxsGetColor(SCHEME_CUSTOM, COLOR_TEXT))) << "a missing key keeps the colour";
    EXPECT_EQ("68 85 102", Rgb(wxsGetColor(SCHEME_CUSTOM, COLOR_RED)));
    EXPECT_EQ("0 255 0", Rgb(wxsGetColor(SCHEME_CUSTOM, COLOR_GREEN))) << "an empty value changes nothing";
}

TEST_F(ColorsTest, DamagedFilesNeverBreakTheTable)
{
    wxsSetColorScheme(SCHEME_GREY);
    const std::string damaged = "garbage without equals\n[unclosed\n=novalue\n\"quoted=broken\n"
                                "27=#010203\n28=#010203\n4294967298=#010203\n-1=#010203\nscheme=abc\n" +
                                std::string("binary\0bytes=1\n", 15) + std::string(5000, 'x') + "\nscheme=-1\n";
    for (const std::string& text : {damaged, std::string(), "scheme=1\n" + std::string(17 << 20, ';')})
    {
        WriteColorsFile(text);
        wxsLoadColorScheme();
        EXPECT_EQ(SCHEME_GREY, CurrentScheme()) << text.substr(0, 40);
        EXPECT_EQ(0, CustomColoursDifferingFromDark()) << text.substr(0, 40);
    }
    EXPECT_EQ("235 235 235", Rgb(wxsGetColor(SCHEME_DARK, COLOR_TEXT)));

    // A folder in the file's place: nothing is read, the save fails quietly
    // and the choice still holds in memory.
    std::filesystem::remove(ColorsPath());
    std::filesystem::create_directories(ColorsPath());
    wxsLoadColorScheme();
    EXPECT_EQ(SCHEME_GREY, CurrentScheme());
    EXPECT_EQ(SCHEME_BLACK, wxsSetColorScheme(SCHEME_BLACK));
    EXPECT_EQ("32 32 32", Rgb(wxsGetColor(COLOR_BACKGROUND)));
    EXPECT_TRUE(std::filesystem::is_directory(ColorsPath()));
    std::filesystem::remove(ColorsPath());
}

TEST_F(ColorsTest, BadColourTextsFallBackToTheSchemesTextAndBackground)
{
    WriteColorsFile("scheme=4\n4=not a colour\n2=#GGHHII\n3=#12345\n");
    wxsLoadColorScheme();
    ASSERT_EQ(SCHEME_CUSTOM, CurrentScheme());
    EXPECT_EQ("invalid", Rgb(wxsGetColor(SCHEME_CUSTOM, COLOR_RED)));
    EXPECT_EQ(3, CustomColoursDifferingFromDark());

    std::unique_ptr<wxFrame> top(new wxFrame(nullptr, wxID_ANY, "plain"));
    ManagedPanel* panel = new ManagedPanel(top.get());
    panel->SetFGColor(COLOR_RED, 10);
    panel->SetBGColor(COLOR_FIELD, -5);
    EXPECT_EQ("67 67 67", Rgb(panel->GetBackgroundColour()));
    EXPECT_TRUE(panel->GetForegroundColour().IsOk()) << "the fallback text colour is broken too";

    WriteColorsFile("scheme=4\n3=#102030\n");
    wxsLoadColorScheme();
    panel->RefreshColors();
    EXPECT_EQ("26 42 58", Rgb(panel->GetForegroundColour()));

    // An invalid colour has no text to write.
    wxsSetColorScheme(SCHEME_CUSTOM);
    EXPECT_FALSE(ReadColorsIni().HasKey(String(), "4"));
    EXPECT_EQ(String("#102030"), ReadColorsIni().GetValue(String(), "3", String()));
}

TEST_F(ColorsTest, ManagedWindowDefaultsModifiersAndInheritance)
{
    // A scheme change reaches the windows of the frames of the frame base.
    ASSERT_EQ(nullptr, wxDravikFrame::s_Frame);
    std::unique_ptr<wxDravikFrame> top(new wxDravikFrame("main", wxDefaultPosition, wxSize(300, 200)));
    ManagedPanel* lone = new ManagedPanel(new wxPanel(top.get()));  // no managed parent
    EXPECT_EQ("235 235 235", Rgb(lone->GetForegroundColour()));
    EXPECT_EQ("72 72 72", Rgb(lone->GetBackgroundColour()));
    lone->Disable();
    lone->RefreshColors();
    EXPECT_EQ("160 170 190", Rgb(lone->GetForegroundColour()));
    EXPECT_EQ("142 142 142", Rgb(lone->GetBackgroundColour()));
    wxsSetColorScheme(SCHEME_LIGHT);
    EXPECT_EQ("255 255 255", Rgb(lone->GetBackgroundColour()));
    lone->Enable();

    lone->SetFGColor(COLOR_TEXT, -300);
    lone->SetBGColor(COLOR_FIELD, 7);
    EXPECT_EQ("0 0 0", Rgb(lone->GetForegroundColour()));
    EXPECT_EQ("222 222 222", Rgb(lone->GetBackgroundColour()));

    ManagedPanel* child = new ManagedPanel(lone);
    int modifier = 0;
    EXPECT_EQ(COLOR_FIELD, child->GetBGColor(&modifier));
    EXPECT_EQ(7, modifier);
    EXPECT_EQ(COLOR_BACKGROUND_LIGHT, child->GetDisabledBGColor(&modifier));
    EXPECT_EQ(50, modifier);
    EXPECT_EQ("222 222 222", Rgb(child->GetBackgroundColour()));
}

TEST_F(ColorsTest, ASchemeChangeReachesEveryLevelOnce)
{
    // The main frame, a secondary frame and a dialog: the three roads of a
    // scheme change.
    ASSERT_EQ(nullptr, wxDravikFrame::s_Frame);
    std::unique_ptr<wxDravikFrame> frame(new wxDravikFrame("main", wxDefaultPosition, wxSize(300, 200)));
    ManagedText* text = new ManagedText(new ManagedPanel(new ManagedPanel(frame.get())));
    ManagedText* secondaryText = new ManagedText(new wxDravikFrame("secondary", wxDefaultPosition, wxSize(200, 100)));
    std::unique_ptr<wxDravikDlg> dialog(new wxDravikDlg(frame.get(), "dialog", "ColorsDialog", false));
    ManagedText* dialogText = new ManagedText(dialog.get());
    int* textChanges = CountColourChanges(text);
    int* secondaryChanges = CountColourChanges(secondaryText);

    EXPECT_EQ(SCHEME_BLACK, wxsSetColorScheme(SCHEME_BLACK));
    EXPECT_EQ("205 205 205", Rgb(text->GetForegroundColour()));
    EXPECT_EQ("32 32 32", Rgb(text->GetBackgroundColour()));
    EXPECT_EQ("32 32 32", Rgb(secondaryText->GetBackgroundColour()));
    EXPECT_EQ("32 32 32", Rgb(dialogText->GetBackgroundColour()));
    EXPECT_EQ(1, *textChanges);
    EXPECT_EQ(1, *secondaryChanges);

    // The path a reload asked for by another program takes.
    WriteColorsFile("scheme=0\n");
    wxsLoadColorScheme();
    wxDravikFrame::ProcessColorChange();
    EXPECT_EQ("52 52 52", Rgb(text->GetForegroundColour()));
    EXPECT_EQ("185 185 185", Rgb(text->GetBackgroundColour()));
    EXPECT_EQ("185 185 185", Rgb(secondaryText->GetBackgroundColour()));
    EXPECT_EQ("185 185 185", Rgb(dialogText->GetBackgroundColour()));
    EXPECT_EQ(2, *textChanges);
    EXPECT_EQ(2, *secondaryChanges);
}

// ---------------------------------------------------------------- two programs

namespace
{
/// The peer program, its stdin and stdout on pipes; stdin closed, then the
/// peer reaped (killed if it does not end) however the test ends.
class PeerProcess
{
public:
    explicit PeerProcess(std::vector<std::string> arguments)
    {
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        int input[2], output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
            return;
        m_Pid = fork();
        if (m_Pid == 0)
        {
            dup2(input[0], STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(input[0]);
        close(output[1]);
        m_Stdin = input[1];
        m_Stdout = output[0];
        fcntl(m_Stdout, F_SETFL, O_NONBLOCK);
    }

    ~PeerProcess()
    {
        CloseStdin();
        if (!WaitForExit(5000))
        {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
        close(m_Stdout);
    }

    /// The first line starting with prefix that arrives in time, or empty.
    std::string WaitForLine(const std::string& prefix, int timeoutMs)
    {
        std::string found;
        WaitUntil(
            [&] {
                char chunk[512];
                ssize_t got;
                while ((got = read(m_Stdout, chunk, sizeof chunk)) > 0)
                    m_Buffer.append(chunk, size_t(got));
                for (size_t end; found.empty() && (end = m_Buffer.find('\n')) != std::string::npos;)
                {
                    if (m_Buffer.compare(0, prefix.size(), prefix) == 0)
                        found = m_Buffer.substr(0, end);
                    m_Buffer.erase(0, end + 1);
                }
                return !found.empty();
            },
            timeoutMs);
        return found;
    }

    void Send(const std::string& text)
    {
        EXPECT_EQ(ssize_t(text.size()), write(m_Stdin, text.data(), text.size()));
    }

    void CloseStdin()
    {
        if (m_Stdin >= 0)
            close(m_Stdin);
        m_Stdin = -1;
    }

    bool WaitForExit(int timeoutMs)
    {
        if (m_Pid > 0 && WaitUntil([&] { return waitpid(m_Pid, &m_Status, WNOHANG) == m_Pid; }, timeoutMs))
            m_Pid = -1;
        return m_Pid <= 0;
    }

    bool Started() const { return m_Pid > 0; }
    bool EndedWell() const { return WIFEXITED(m_Status) && WEXITSTATUS(m_Status) == 0; }

private:
    pid_t m_Pid = -1;
    int m_Stdin = -1;
    int m_Stdout = -1;
    int m_Status = -1;
    std::string m_Buffer;
};
}

TEST_F(ColorsTest, AnotherProgramReloadsAndRepaintsOnASchemeChange)
{
    // Components only knows the suite's names; this process must not be the
    // one answering under it.
    const String name = Components::GetName(6);
    ASSERT_FALSE(Application::IsListeningProgram(name));
    wxsSetColorScheme(SCHEME_LIGHT);  // what the peer finds on start

    PeerProcess peer({COLORS_PEER_PATH, "--component", name.c_str(), "--options", m_Home.File("peer.ini"),
                      "--stream-rate", "0"});
    ASSERT_TRUE(peer.Started());
    ASSERT_EQ("READY scheme 1 BG 233 233 233", peer.WaitForLine("READY", 20000));
    ASSERT_TRUE(WaitUntil([&] { return Components::DidStart(name); }, 10000));

    std::mutex mutex;
    int notices = 0;
    const int observer = Log::s_GlobalLog.AddObserver([&](LogLevel level, const String& text) {
        std::lock_guard<std::mutex> lock(mutex);
        notices += level == LOG_INFO && text == "Notifying color changed to: " + name;
    });
    EXPECT_EQ(SCHEME_BLACK, wxsSetColorScheme(SCHEME_BLACK));
    EXPECT_EQ("CHANGED gui scheme 3 BG 32 32 32", peer.WaitForLine("CHANGED", 10000));
    wxsSetColorScheme(SCHEME_QUERY);  // tells nobody

    // A peer whose GUI thread is busy holds up nobody here, and applies the
    // change once it is free, however long it stayed busy.
    Application::PostRequest(Path(name), "BUSY");
    ASSERT_EQ("BUSY", peer.WaitForLine("BUSY", 10000));
    EXPECT_EQ(SCHEME_GREY, wxsSetColorScheme(SCHEME_GREY));
    EXPECT_NE("", peer.WaitForLine("WAITING The client of the request \"COLORS\"", 10000));
    peer.Send("FREE\n");
    EXPECT_EQ("CHANGED gui scheme 0 BG 185 185 185", peer.WaitForLine("CHANGED", 10000));
    Log::s_GlobalLog.RemoveObserver(observer);
    EXPECT_EQ(2, notices);

    peer.CloseStdin();
    ASSERT_TRUE(peer.WaitForExit(15000));
    EXPECT_TRUE(peer.EndedWell());
}
