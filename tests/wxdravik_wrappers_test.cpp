// The small wrappers, the line, the expandable panel, the date-time editor and
// the text control with its clear button and completion.
#include <functional>
#include <ctime>
#include <memory>
#include <vector>

#include <boost/make_shared.hpp>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>

#include "draviklib/draviklib.h"
#include "harness/gui_harness.h"
#include "wxdravik/wxdravikcolors.h"

using namespace dravik_test;

// Readable colours in failure messages.
void PrintTo(const wxColour& colour, std::ostream* out)
{
    *out << colour.GetAsString(wxC2S_CSS_SYNTAX).utf8_str();
}

namespace
{
/// The completion vocabulary is built once per process, on first use: give it
/// names we know before any text control exists. Every name starts with "zq",
/// which nothing else in the environment does.
class VocabularySetup : public ::testing::Environment
{
public:
    void SetUp() override
    {
        setenv("ZQENVNAME", "1", 1);
        setenv("ZQUILL", "1", 1);  // the product's name in another case: not added twice
        setenv("ZQ", "1", 1);      // too short
        auto product = boost::make_shared<Product>(UID(), "Zquill", "zqid");
        product->AddParam(boost::make_shared<Parameter>("Zqhue", xolib::vector<String>{"zqRed", "ZQBLUE", "zq"}));
        product->AddCommand(boost::make_shared<Command>("Zqueue Now", Command::APPLIES_ALL, "help"));
        JobFactory::s_JobFactory.AddProduct(product);
    }
};

// Registered before main runs; the test framework owns the environment.
::testing::Environment* const s_VocabularySetup = ::testing::AddGlobalTestEnvironment(new VocabularySetup);

std::vector<wxString> Completions(wxsAutoCompleter& completer, const wxString& prefix)
{
    std::vector<wxString> offered;
    if (!completer.Start(prefix))
        return offered;
    for (wxString next = completer.GetNext(); !next.empty(); next = completer.GetNext())
        offered.push_back(next);
    return offered;
}

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

/// The idle time that the program's event loop has after each batch of
/// events (the harness's waits do not have it).
void GoIdle()
{
    wxTheApp->ProcessIdle();
}

/// The colour on the screen at a point of a window's client area.
wxColour OnScreen(wxWindow* window, const wxPoint& at)
{
    wxBitmap bitmap(1, 1, 24);
    {
        wxClientDC screen(window);
        wxMemoryDC dc(bitmap);
        dc.Blit(0, 0, 1, 1, &screen, at.x, at.y);
    }
    return Pixel(bitmap.ConvertToImage(), 0, 0);
}

/// A frame with a colour-managed panel to put the windows under test on.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Frame.reset(new wxFrame(nullptr, wxID_ANY, "wrappers", wxDefaultPosition, wxSize(600, 400)));
        m_Panel = new wxsPanel(m_Frame.get());  // child window
        m_Frame->Show();
    }

    void TearDown() override
    {
        m_Frame.reset();
        FlushEvents();
    }

    std::unique_ptr<wxFrame> m_Frame;
    wxsPanel* m_Panel = nullptr;
};

// ---------------------------------------------------------------- wrappers

TEST_F(WindowTest, WrappersTakeTheSchemeColoursAndFollowSchemeChanges)
{
    auto* splitter = new wxsSplitterWindow(m_Panel);
    auto* date = new wxsDatePickerCtrl(m_Panel, wxID_ANY);
    auto* box = new wxsStaticBoxSizer(wxVERTICAL, m_Panel, "box");
    m_Panel->SetSizer(box);

    EXPECT_EQ(wxColour(72, 72, 72), m_Panel->GetBackgroundColour());
    EXPECT_EQ(wxColour(92, 92, 92), splitter->GetBackgroundColour());
    EXPECT_EQ(wxColour(72, 72, 72), date->GetBackgroundColour());
    EXPECT_EQ(wxColour(235, 235, 235), box->GetStaticBox()->GetForegroundColour());

    ASSERT_EQ(SCHEME_BLACK, wxsSetColorScheme(SCHEME_BLACK));
    wxSysColourChangedEvent changed;
    m_Frame->GetEventHandler()->ProcessEvent(changed);
    EXPECT_EQ(wxColour(32, 32, 32), m_Panel->GetBackgroundColour());
    EXPECT_EQ(wxColour(58, 58, 58), splitter->GetBackgroundColour());
    EXPECT_EQ(wxColour(32, 32, 32), date->GetBackgroundColour());
    EXPECT_EQ(wxColour(205, 205, 205), box->GetStaticBox()->GetForegroundColour());
    wxsSetColorScheme(SCHEME_DARK);
}

TEST_F(WindowTest, LineOfHeightFortyIsDrawnAtRowTwentyFour)
{
    auto* line = new wxsLine(m_Panel);
    EXPECT_EQ(25, line->GetMinSize().y);
    line->SetSize(0, 0, 200, 40);
    ASSERT_EQ(wxSize(200, 40), line->GetClientSize());

    wxBitmap bitmap(200, 40, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        line->Render(dc);
    }
    const wxImage image = bitmap.ConvertToImage();
    const wxColour lineColour = wxsGetColor(COLOR_TEXT_DISABLED);
    for (int x : {1, 100, 199})
        EXPECT_EQ(lineColour, Pixel(image, x, 24)) << "x = " << x;
    EXPECT_EQ(*wxBLACK, Pixel(image, 100, 23));
    EXPECT_EQ(*wxBLACK, Pixel(image, 100, 25));
}

// ---------------------------------------------------------------- expandable panel

class ExpandablePanelTest : public WindowTest
{
protected:
    wxExpandablePanel* Create(const char* key, bool collapsible)
    {
        auto* panel = new wxExpandablePanel(m_Panel, wxVERTICAL);
        panel->m_OptionsSection = "Panels";
        panel->m_OptionsKey = key;
        panel->SetOpenLabel("Hide details");
        panel->SetClosedLabel("Show details");
        panel->CreateInfrastructure("tip", collapsible);
        m_Content = new wxsStaticText(panel, wxID_ANY, "content");
        panel->ExpandableSizer()->Add(m_Content);
        panel->Expand();
        return panel;
    }

    static wxWindow* Label(wxExpandablePanel* panel) { return panel->FindWindow(wxExpandablePanel::HEADER_LABEL_ID); }

    static void ReleaseLeft(wxWindow* window, bool leftStillDown = false)
    {
        wxMouseEvent release(wxEVT_LEFT_UP);
        release.SetEventObject(window);
        release.SetLeftDown(leftStillDown);
        window->GetEventHandler()->ProcessEvent(release);
    }

    static String Stored(const char* key)
    {
        return DravikApp::GetOptions().GetValue("Panels", key, String("absent"));
    }

    wxWindow* m_Content = nullptr;
};

TEST_F(ExpandablePanelTest, AbsentOptionStartsCollapsedAndEachClickTogglesAndIsRemembered)
{
    wxExpandablePanel* panel = Create("Toggled", true);
    wxWindow* button = panel->FindWindow(wxExpandablePanel::EXPAND_BUTTON_ID);
    ASSERT_NE(nullptr, button);
    ASSERT_NE(nullptr, Label(panel));
    EXPECT_FALSE(panel->IsExpanded());
    EXPECT_EQ("Show details", Label(panel)->GetLabel());
    EXPECT_FALSE(m_Content->IsShown());
    EXPECT_EQ(String("absent"), Stored("Toggled"));

    wxCommandEvent click(wxEVT_BUTTON, wxExpandablePanel::EXPAND_BUTTON_ID);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
    EXPECT_TRUE(panel->IsExpanded());
    EXPECT_EQ("Hide details", Label(panel)->GetLabel());
    EXPECT_TRUE(m_Content->IsShown());
    EXPECT_TRUE(DravikApp::GetOptions().GetValue("Panels", "Toggled", false));

    // A release that still reports the button down is not a click.
    ReleaseLeft(Label(panel), true);
    EXPECT_TRUE(panel->IsExpanded());

    ReleaseLeft(Label(panel));
    EXPECT_FALSE(panel->IsExpanded());
    EXPECT_EQ("Show details", Label(panel)->GetLabel());
    EXPECT_FALSE(m_Content->IsShown());
    EXPECT_FALSE(DravikApp::GetOptions().GetValue("Panels", "Toggled", true));
}

TEST_F(ExpandablePanelTest, StoredStateIsRestoredAndFixedPanelsIgnoreClicks)
{
    DravikApp::GetOptions().SetValue("Panels", "Remembered", true);
    wxExpandablePanel* remembered = Create("Remembered", true);
    EXPECT_TRUE(remembered->IsExpanded());
    EXPECT_EQ("Hide details", Label(remembered)->GetLabel());

    wxExpandablePanel* fixed = Create("Fixed", false);
    EXPECT_EQ(nullptr, fixed->FindWindow(wxExpandablePanel::EXPAND_BUTTON_ID));
    EXPECT_TRUE(fixed->IsExpanded());
    EXPECT_EQ("Hide details", Label(fixed)->GetLabel());
    EXPECT_FALSE(Label(fixed)->IsEnabled());
    ReleaseLeft(Label(fixed));
    EXPECT_TRUE(fixed->IsExpanded());
    EXPECT_TRUE(m_Content->IsShown());
    EXPECT_EQ(String("absent"), Stored("Fixed"));
}

// ---------------------------------------------------------------- date and time

class DateTimeTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_Control = new wxsDateTimeCtrl(m_Panel, wxID_ANY);
        m_Never = dynamic_cast<wxsCheckBox*>(m_Control->FindWindow("checkBox"));
        m_Date = dynamic_cast<wxDatePickerCtrl*>(m_Control->FindWindow("datectrl"));
        m_Time = dynamic_cast<wxTimePickerCtrl*>(m_Control->FindWindow("timectrl"));
        for (wxWindow* child : m_Control->GetChildren())
            if (auto* button = dynamic_cast<wxsButton*>(child))
                m_Now = button;
        ASSERT_TRUE(m_Never && m_Date && m_Time && m_Now);
    }

    wxsDateTimeCtrl* m_Control = nullptr;
    wxsCheckBox* m_Never = nullptr;
    wxDatePickerCtrl* m_Date = nullptr;
    wxTimePickerCtrl* m_Time = nullptr;
    wxsButton* m_Now = nullptr;
};

TEST_F(DateTimeTest, ZeroMeansNeverAndTheCheckBoxDisablesThePickers)
{
    m_Control->SetValue(Time());
    EXPECT_TRUE(m_Never->GetValue());
    EXPECT_FALSE(m_Date->IsEnabled());
    EXPECT_FALSE(m_Time->IsEnabled());
    EXPECT_TRUE(m_Now->IsEnabled());
    EXPECT_TRUE(m_Control->GetValue().IsZero());

    // Clicking "Never" off gives the pickers back.
    wxMouseEvent release(wxEVT_LEFT_UP);
    m_Never->GetEventHandler()->ProcessEvent(release);
    EXPECT_FALSE(m_Never->GetValue());
    EXPECT_TRUE(m_Date->IsEnabled());
    EXPECT_TRUE(m_Time->IsEnabled());
    EXPECT_FALSE(m_Control->GetValue().IsZero());
}

// The pickers are built from inner windows: without help they keep the
// platform's colours (dark text on a dark scheme) or hide the disabled look.
TEST_F(DateTimeTest, PickerInnerWindowsFollowTheSchemeAndTheDisabledState)
{
    auto innerColours = [](wxWindow* picker, std::vector<wxColour>& fg, std::vector<wxColour>& bg) {
        std::function<void(wxWindow*)> walk = [&](wxWindow* w) {
            for (wxWindow* child : w->GetChildren())
            {
                fg.push_back(child->GetForegroundColour());
                bg.push_back(child->GetBackgroundColour());
                walk(child);
            }
        };
        walk(picker);
    };
    for (wxWindow* picker : {static_cast<wxWindow*>(m_Date), static_cast<wxWindow*>(m_Time)})
    {
        std::vector<wxColour> fg, bg;
        innerColours(picker, fg, bg);
        ASSERT_FALSE(fg.empty()) << "the picker has no inner windows to check";
        for (size_t i = 0; i < fg.size(); ++i)
        {
            EXPECT_EQ(fg[i], wxsGetColor(COLOR_TEXT));
            EXPECT_EQ(bg[i], wxsGetColor(COLOR_BACKGROUND));
        }
    }

    m_Control->Enable(false);  // the pickers are only greyed out through their parent
    std::vector<wxColour> fg, bg;
    innerColours(m_Date, fg, bg);
    EXPECT_EQ(m_Date->GetForegroundColour(), wxsGetColor(COLOR_TEXT_DISABLED));
    EXPECT_EQ(m_Date->GetBackgroundColour(), AdjustColour(wxsGetColor(COLOR_BACKGROUND_LIGHT), 50, 50, 50));
    for (const wxColour& colour : fg)
        EXPECT_EQ(colour, wxsGetColor(COLOR_TEXT_DISABLED));
    m_Control->Enable(true);
    EXPECT_EQ(m_Date->GetForegroundColour(), wxsGetColor(COLOR_TEXT));
}

TEST_F(DateTimeTest, MomentRoundTripsToTheSecondShownInLocalTime)
{
    {
        ScopedEnv zone("TZ", "America/New_York");
        tzset();
        // 02:30 universal is still the evening before in New York.
        const Time moment(2024, 3, 10, 2, 30, 15, 500);
        m_Control->SetValue(moment);
        EXPECT_FALSE(m_Never->GetValue());
        EXPECT_TRUE(m_Date->IsEnabled());
        EXPECT_EQ(9, m_Date->GetValue().GetDay());
        EXPECT_EQ(21, m_Time->GetValue().GetHour());
        EXPECT_EQ(Time(2024, 3, 10, 2, 30, 15), m_Control->GetValue());

        const Time summer(2023, 7, 1, 12, 0, 59);
        m_Control->SetValue(summer);
        EXPECT_EQ(8, m_Time->GetValue().GetHour());
        EXPECT_EQ(summer, m_Control->GetValue());
    }
    tzset();
}

TEST_F(DateTimeTest, NowFillsTheCurrentMomentAndClearsNever)
{
    m_Control->SetValue(Time());
    const Time before = Time::Seconds(Time::CurrentTime().Microseconds() / 1000000);
    m_Now->EmulateClick();
    const Time after = Time::CurrentTime();
    EXPECT_FALSE(m_Never->GetValue());
    EXPECT_TRUE(m_Date->IsEnabled());
    const Time shown = m_Control->GetValue();
    EXPECT_LE(before, shown);
    EXPECT_GE(after, shown);
}

// ---------------------------------------------------------------- text control

class TextCtrlTest : public WindowTest
{
protected:
    wxsTextCtrl* Create(long style)
    {
        return new wxsTextCtrl(m_Panel, wxID_ANY, "abc", wxPoint(10, 10), wxSize(200, -1), style);
    }

    static void Send(wxWindow* window, wxEvent& event)
    {
        event.SetEventObject(window);
        window->GetEventHandler()->ProcessEvent(event);
    }

    static void MoveTo(wxWindow* window, const wxPoint& at)
    {
        wxMouseEvent motion(wxEVT_MOTION);
        motion.SetPosition(at);
        Send(window, motion);
    }

    static bool Shown(wxsTextCtrl* text) { return text->GetClearButton()->IsShown(); }
};

TEST_F(TextCtrlTest, ClearButtonEmptiesTheFieldWithOneTextEventAndNoButtonEvent)
{
    wxsTextCtrl* text = Create(0);
    wxsButton* button = text->GetClearButton();
    ASSERT_NE(nullptr, button);
    EXPECT_EQ(int(wxsTextCtrl::CLEAR_BUTTON_ID), button->GetId());
    EXPECT_EQ("x", button->GetLabel());
    EXPECT_TRUE(button->HasFlag(wxBU_EXACTFIT | 0x0002));
    EXPECT_FALSE(button->IsShown());

    int textEvents = 0;
    int buttonEvents = 0;
    text->Bind(wxEVT_TEXT, [&](wxCommandEvent& event) {
        ++textEvents;
        event.Skip();
    });
    m_Panel->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++buttonEvents; });
    m_Frame->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++buttonEvents; });

    wxFocusEvent focus(wxEVT_SET_FOCUS);
    Send(text, focus);
    ASSERT_TRUE(button->IsShown());
    // Laid over the control's right edge.
    EXPECT_TRUE(text->GetRect().Contains(button->GetRect()));
    EXPECT_GT(button->GetPosition().x, text->GetPosition().x + text->GetSize().x / 2);

    button->EmulateClick();
    EXPECT_EQ("", text->GetValue());
    EXPECT_EQ(1, textEvents);
    EXPECT_EQ(0, buttonEvents);
    EXPECT_FALSE(button->IsShown());
}

TEST_F(TextCtrlTest, ClearButtonShowsOnlyWhileThereIsTextAndTheUserIsInTheField)
{
    wxsTextCtrl* text = Create(0);
    const wxPoint inside(5, 5);
    const wxPoint outside(-5, 5);

    MoveTo(text, inside);
    EXPECT_TRUE(Shown(text));
    wxKeyEvent key(wxEVT_KEY_DOWN);
    Send(text, key);
    EXPECT_FALSE(Shown(text));  // typing hides it until the pointer moves
    MoveTo(text, inside);
    EXPECT_TRUE(Shown(text));
    MoveTo(text, outside);
    EXPECT_FALSE(Shown(text));

    // Focus moving to the button itself keeps it; anywhere else hides it.
    wxFocusEvent focus(wxEVT_SET_FOCUS);
    Send(text, focus);
    ASSERT_TRUE(Shown(text));
    wxFocusEvent toButton(wxEVT_KILL_FOCUS);
    toButton.SetWindow(text->GetClearButton());
    Send(text, toButton);
    EXPECT_TRUE(Shown(text));
    wxFocusEvent away(wxEVT_KILL_FOCUS);
    away.SetWindow(m_Panel);
    Send(text, away);
    EXPECT_FALSE(Shown(text));

    text->Disable();
    MoveTo(text, inside);
    EXPECT_FALSE(Shown(text));
    text->Enable();
    text->ChangeValue("");
    MoveTo(text, inside);
    EXPECT_FALSE(Shown(text));
    Send(text, focus);
    EXPECT_FALSE(Shown(text));
}

TEST_F(TextCtrlTest, StyleDecidesClearButtonAndCompletion)
{
    struct Case
    {
        const char* name;
        long style;
        bool clearButton;
        bool completion;
    };
    const Case cases[] = {
        {"plain", 0, true, true},
        {"read-only", wxTE_READONLY, false, false},
        {"password", wxTE_PASSWORD, true, false},
        {"multi-line", wxTE_MULTILINE, true, false},
        {"rich", wxTE_RICH, true, false},
        {"rich2", wxTE_RICH2, false, false},
    };
    for (const Case& c : cases)
    {
        const size_t before = m_Panel->GetChildren().size();
        wxsTextCtrl* text = Create(c.style);
        EXPECT_EQ(c.clearButton, text->GetClearButton() != nullptr) << c.name;
        EXPECT_EQ(c.clearButton ? 2u : 1u, m_Panel->GetChildren().size() - before) << c.name;
        EXPECT_EQ(c.completion, text->HasAutoCompleter()) << c.name;
        delete text;
        EXPECT_EQ(before, m_Panel->GetChildren().size()) << c.name << ": the button goes with its control";
    }

    DravikApp::GetOptions().SetValue("Window", o_AutoComplete, false);
    EXPECT_FALSE(Create(0)->HasAutoCompleter());
    DravikApp::GetOptions().SetValue("Window", o_AutoComplete, true);
    EXPECT_TRUE(Create(0)->HasAutoCompleter());
}

TEST_F(TextCtrlTest, ColoursFollowEnabledAndReadOnlyState)
{
    const wxColour text = wxsGetColor(COLOR_TEXT);
    const wxColour faded = BlendColour(text, wxsGetColor(COLOR_BACKGROUND), 0.3);

    wxsTextCtrl* editable = Create(0);
    EXPECT_EQ(text, editable->GetForegroundColour());
    EXPECT_EQ(wxsGetColor(COLOR_FIELD), editable->GetBackgroundColour());
    EXPECT_EQ(text, editable->GetDefaultStyle().GetTextColour());

    EXPECT_TRUE(editable->Disable());
    EXPECT_FALSE(editable->Disable());
    EXPECT_EQ(faded, editable->GetForegroundColour());
    EXPECT_EQ(wxsGetColor(COLOR_BACKGROUND), editable->GetBackgroundColour());
    EXPECT_EQ(faded, editable->GetDefaultStyle().GetTextColour());

    EXPECT_TRUE(editable->Enable());
    EXPECT_EQ(text, editable->GetForegroundColour());
    EXPECT_EQ(wxsGetColor(COLOR_FIELD), editable->GetBackgroundColour());

    wxsTextCtrl* readOnly = Create(wxTE_READONLY);
    EXPECT_TRUE(readOnly->Disable());
    EXPECT_EQ(text, readOnly->GetForegroundColour());
    EXPECT_EQ(wxsGetColor(COLOR_BACKGROUND_LIGHT), readOnly->GetBackgroundColour());
}

// The toolkit greys its own controls out inside a disabled parent and tells
// the children nothing: explicit scheme colours would hide that.
TEST_F(TextCtrlTest, FieldAndLabelInADisabledParentLookAsIfDisabledThemselves)
{
    auto* parent = new wxPanel(m_Panel, wxID_ANY, wxPoint(0, 0), wxSize(400, 120));  // plain toolkit panel
    auto* text = new wxsTextCtrl(parent, wxID_ANY, "abc", wxPoint(10, 10), wxSize(200, -1));
    auto* label = new wxsStaticText(parent, wxID_ANY, "label", wxPoint(10, 60));
    const auto looks = [&] {
        return std::vector<wxColour>{text->GetForegroundColour(), text->GetBackgroundColour(),
                                     text->GetDefaultStyle().GetTextColour(), label->GetForegroundColour(),
                                     label->GetBackgroundColour()};
    };
    const std::vector<wxColour> enabled = looks();
    const wxColour faded = BlendColour(wxsGetColor(COLOR_TEXT), wxsGetColor(COLOR_BACKGROUND), 0.3);
    const std::vector<wxColour> disabled = {faded, wxsGetColor(COLOR_BACKGROUND), faded,
                                            wxsGetColor(COLOR_TEXT_DISABLED),
                                            AdjustColour(wxsGetColor(COLOR_BACKGROUND_LIGHT), 50, 50, 50)};

    text->Disable();
    label->Disable();
    GoIdle();
    EXPECT_EQ(disabled, looks()) << "disabled themselves";
    text->Enable();
    label->Enable();
    GoIdle();
    ASSERT_EQ(enabled, looks());

    wxFocusEvent focus(wxEVT_SET_FOCUS);
    Send(text, focus);
    ASSERT_TRUE(Shown(text));
    parent->Disable();
    GoIdle();
    EXPECT_EQ(disabled, looks()) << "inside a disabled parent";
    EXPECT_FALSE(Shown(text));
    // What reaches the screen: the field's background away from its text.
    const wxPoint inField(text->GetPosition() + wxPoint(text->GetSize().x - 20, text->GetSize().y / 2));
    EXPECT_TRUE(WaitUntil([&] { return OnScreen(parent, inField) == wxsGetColor(COLOR_BACKGROUND); }))
        << OnScreen(parent, inField).GetAsString(wxC2S_CSS_SYNTAX);

    parent->Enable();
    GoIdle();
    EXPECT_EQ(enabled, looks());
    EXPECT_TRUE(WaitUntil([&] { return OnScreen(parent, inField) == wxsGetColor(COLOR_FIELD); }))
        << OnScreen(parent, inField).GetAsString(wxC2S_CSS_SYNTAX);
}

// ---------------------------------------------------------------- completion

TEST(AutoCompleterTest, CompletesTheLastWordFromTheVocabulary)
{
    wxsAutoCompleter completer;
    // Product name, identifier, parameter, its choices, command and
    // environment names, in case-insensitive order; "ZQ" and "zq" are too
    // short and "ZQUILL" repeats the product's name.
    const std::vector<wxString> expected = {"Set(ZQBLUE", "Set(ZQENVNAME", "Set(Zqhue", "Set(zqid",
                                            "Set(zqRed",  "Set(Zqueue Now", "Set(Zquill"};
    EXPECT_EQ(expected, Completions(completer, "Set(zq"));
    EXPECT_EQ((std::vector<wxString>{"a b|Zqueue Now", "a b|Zquill"}), Completions(completer, "a b|zQu"));

    // Job parameter names and the core library's words; no lead without a
    // separator.
    const std::vector<wxString> priority = Completions(completer, "prio");
    ASSERT_FALSE(priority.empty());
    EXPECT_EQ("Priority", priority.front());
    EXPECT_EQ(std::vector<wxString>{"x:True"}, Completions(completer, "x:tru"));

    for (const char* nothing : {"", "Set(zq.", "Set(", "zq ", "x:", "zqzz"})
        EXPECT_TRUE(Completions(completer, nothing).empty()) << nothing;
    EXPECT_FALSE(completer.Start("Set(zq)"));
}
}
