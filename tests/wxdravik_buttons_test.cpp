// The custom-drawn buttons, driven by synthetic events: the default-button
// hand-over on focus, clicks, keys, radio groups, and the looks read back as
// colours and as pixels drawn into a memory bitmap.
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/panel.h>
#include <wx/settings.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxdravikcolors.h"

using namespace dravik_test;

namespace
{
/// Opens the drawing code to the tests.
class TestButton : public wxsButton
{
public:
    using wxsButton::wxsButton;
    using wxsButton::Render;
};

class TestCheckBox : public wxsCheckBox
{
public:
    using wxsCheckBox::wxsCheckBox;
    using wxsCheckBox::Render;
};

class ManagedPanel : public wxPanel, public wxsColorManaged
{
public:
    explicit ManagedPanel(wxWindow* parent) : wxPanel(parent) { Manage(this); }
};

wxColour Scheme(ColorName name, int modifier = 0)
{
    return AdjustColour(wxsGetColor(name), modifier, modifier, modifier);
}

std::string Rgb(const wxColour& c)
{
    return wxString::Format("%d,%d,%d", c.Red(), c.Green(), c.Blue()).ToStdString();
}

/// A window's foreground and background, or a slot pair, as comparable text.
std::string Look(wxWindow* window)
{
    return Rgb(window->GetForegroundColour()) + " on " + Rgb(window->GetBackgroundColour());
}

std::string Look(ColorName fg, int fgModifier, ColorName bg, int bgModifier)
{
    return Rgb(Scheme(fg, fgModifier)) + " on " + Rgb(Scheme(bg, bgModifier));
}

/// The looks of a button, with the hover step when hilight is 25.
std::string NormalLook(int hilight = 0)
{
    return Look(COLOR_GLYPH, hilight, COLOR_CONTROL, hilight);
}

std::string DefaultLook(int hilight = 0)
{
    return Look(COLOR_EDGE_DARK, hilight - 20, COLOR_HIGHLIGHT, hilight + 20);
}

void SendFocus(wxWindow* window, wxEventType type)
{
    wxFocusEvent event(type, window->GetId());
    window->HandleWindowEvent(event);
}

void SendMouse(wxWindow* window, wxEventType type, int clickCount = -1)
{
    wxMouseEvent event(type);
    event.m_clickCount = clickCount;
    window->HandleWindowEvent(event);
}

/// Returns whether a handler used the key (did not skip it).
bool SendKey(wxWindow* window, wxEventType type, int key)
{
    wxKeyEvent event(type);
    event.m_keyCode = key;
    return window->HandleWindowEvent(event);
}

/// Renders a window's drawing function into a bitmap of its client size.
template <class Control>
wxImage Snapshot(Control* control)
{
    const wxSize size = control->GetClientSize();
    wxBitmap bitmap(size.x, size.y, 24);
    {
        wxMemoryDC dc(bitmap);
        control->Render(dc);
    }
    return bitmap.ConvertToImage();
}

wxColour At(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

/// The idle time that the program's event loop has after each batch of
/// events (the harness's waits do not have it).
void GoIdle()
{
    wxTheApp->ProcessIdle();
}

/// The RGB bytes of a snapshot, for comparing two drawings.
std::vector<unsigned char> Pixels(const wxImage& image)
{
    const unsigned char* data = image.GetData();
    return std::vector<unsigned char>(data, data + 3 * image.GetWidth() * image.GetHeight());
}

/// Whether any pixel of the region is (nearly) the colour.
bool RegionHas(const wxImage& image, const wxRect& region, const wxColour& colour)
{
    const auto near = [](int a, int b) { return std::abs(a - b) <= 6; };
    for (int y = region.GetTop(); y <= region.GetBottom(); ++y)
        for (int x = region.GetLeft(); x <= region.GetRight(); ++x)
            if (near(image.GetRed(x, y), colour.Red()) && near(image.GetGreen(x, y), colour.Green()) &&
                near(image.GetBlue(x, y), colour.Blue()))
                return true;
    return false;
}

/// A dialog that is never shown, and a tally of the command events that reach it.
class ButtonsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Dialog = new wxDialog(nullptr, wxID_ANY, "buttons");
        const auto tally = [this](wxCommandEvent& event) {
            ++m_Events[{event.GetEventType(), event.GetId()}];
            m_LastInt = event.GetInt();
            m_LastObject = event.GetEventObject();
        };
        m_Dialog->Bind(wxEVT_BUTTON, tally);
        m_Dialog->Bind(wxEVT_CHECKBOX, tally);
        m_Dialog->Bind(wxEVT_RADIOBUTTON, tally);
    }
    void TearDown() override { delete m_Dialog; }

    int Events(wxEventType type, wxWindowID id) { return m_Events[{type, id}]; }

    wxDialog* m_Dialog = nullptr;
    std::map<std::pair<wxEventType, int>, int> m_Events;
    int m_LastInt = -1;
    wxObject* m_LastObject = nullptr;
};

}

// ---------------------------------------------------------------- push button

TEST_F(ButtonsTest, ButtonLooksFollowHoverDefaultAndDisabledStates)
{
    auto* ok = new TestButton(m_Dialog, wxID_OK, "OK");
    EXPECT_EQ(Look(ok), NormalLook());
    const wxFont normal = ok->GetFont();
    EXPECT_EQ(normal.GetPointSize(), wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetPointSize() + 1);

    SendMouse(ok, wxEVT_ENTER_WINDOW);
    EXPECT_EQ(Look(ok), NormalLook(25));

    // Made default while hovered: the hover step rides on the default look.
    EXPECT_EQ(ok->SetDefault(), nullptr);
    EXPECT_TRUE(ok->IsDefault());
    EXPECT_EQ(ok->GetFont().GetNumericWeight(), 700);
    EXPECT_EQ(ok->GetFont().GetPointSize(), normal.GetPointSize());
    EXPECT_EQ(Look(ok), DefaultLook(25));
    SendMouse(ok, wxEVT_LEAVE_WINDOW);
    EXPECT_EQ(Look(ok), DefaultLook());

    // Disabled: the disabled slots colour the text, the fill keeps the
    // enabled background.
    EXPECT_TRUE(ok->Enable(false));
    EXPECT_FALSE(ok->Enable(false));
    EXPECT_EQ(Look(ok), Look(COLOR_TEXT_DISABLED, 0, COLOR_FIELD, 0));
    const wxImage image = Snapshot(ok);
    const int w = image.GetWidth(), h = image.GetHeight();
    EXPECT_EQ(Rgb(At(image, 1, 1)), Rgb(Scheme(COLOR_HIGHLIGHT, 20)));
    EXPECT_EQ(Rgb(At(image, w - 2, h - 2)), Rgb(Scheme(COLOR_HIGHLIGHT, 20)));
    EXPECT_TRUE(RegionHas(image, wxRect(w / 4, h / 4, w / 2, h / 2), Scheme(COLOR_TEXT_DISABLED)));

    // The bitmap button takes only the background; the rest comes from its parent.
    auto* panel = new ManagedPanel(m_Dialog);
    panel->SetFGColor(COLOR_RED);
    auto* bitmap = new wxsBitmapButton(panel, wxID_ANY, wxBitmap(16, 16, 24));
    EXPECT_EQ(Look(bitmap), Look(COLOR_RED, 0, COLOR_BACKGROUND, 0));
}

TEST_F(ButtonsTest, MinimumSizeFitsTheBoldLabelWithAMargin)
{
    const wxString longLabel = "A considerably longer label than any default button width";
    auto* wide = new wxsButton(m_Dialog, wxID_ANY, longLabel);
    auto* small = new wxsButton(m_Dialog, wxID_ANY, "&Go");
    auto* exact = new wxsButton(m_Dialog, wxID_ANY, "i", wxDefaultPosition, wxDefaultSize, wxBU_EXACTFIT);
    wide->SetDefault();  // to get hold of the shared bold font

    wxMemoryDC dc;
    dc.SetFont(wide->GetFont());
    const int charWidth = dc.GetCharWidth();
    const int extra = dc.GetCharHeight() / 8;
    const wxSize standard = wxButton::GetDefaultSize();
    const wxSize longText = dc.GetTextExtent(longLabel);
    const wxSize narrow = dc.GetTextExtent("i");
    ASSERT_GT(longText.x, standard.x);
    ASSERT_LT(narrow.x, 3 * charWidth / 2);

    EXPECT_EQ(wide->GetMinSize(), wxSize(longText.x + charWidth, standard.y + extra));
    EXPECT_EQ(small->GetMinSize(), wxSize(standard.x + charWidth, standard.y + extra));
    EXPECT_EQ(exact->GetMinSize(), wxSize(3 * charWidth / 2 + charWidth, narrow.y + extra));
    EXPECT_EQ(exact->GetMaxSize(), wxDefaultSize);
    EXPECT_EQ(small->GetSize(), small->GetMinSize()) << "starts at its minimum";
}

TEST_F(ButtonsTest, FocusHandsTheDefaultOverAndBack)
{
    auto* ok = new wxsButton(m_Dialog, wxID_OK, "OK");
    auto* cancel = new wxsButton(m_Dialog, wxID_CANCEL, "Cancel");
    auto* tool = new wxsButton(m_Dialog, wxID_ANY, "Tool", wxDefaultPosition, wxDefaultSize, 0x0002);

    // Without a default item focus only brightens.
    SendFocus(cancel, wxEVT_SET_FOCUS);
    EXPECT_EQ(Look(cancel), NormalLook(25));
    SendFocus(cancel, wxEVT_KILL_FOCUS);
    EXPECT_EQ(Look(cancel), NormalLook());
    EXPECT_EQ(m_Dialog->GetDefaultItem(), nullptr);

    ok->SetDefault();
    SendFocus(cancel, wxEVT_SET_FOCUS);
    EXPECT_EQ(m_Dialog->GetDefaultItem(), cancel);
    EXPECT_EQ(Look(cancel), DefaultLook());
    EXPECT_EQ(cancel->GetFont().GetNumericWeight(), 700);
    EXPECT_EQ(Look(ok), NormalLook());
    EXPECT_NE(ok->GetFont().GetNumericWeight(), 700);
    SendFocus(cancel, wxEVT_KILL_FOCUS);
    EXPECT_EQ(m_Dialog->GetDefaultItem(), ok);
    EXPECT_EQ(Look(ok), DefaultLook());
    EXPECT_EQ(Look(cancel), NormalLook());

    // The default itself only brightens while focused.
    SendFocus(ok, wxEVT_SET_FOCUS);
    EXPECT_EQ(Look(ok), DefaultLook(25));
    SendFocus(ok, wxEVT_KILL_FOCUS);
    EXPECT_EQ(Look(ok), DefaultLook());

    // Style bit 0x0002 never takes the default.
    SendFocus(tool, wxEVT_SET_FOCUS);
    EXPECT_EQ(m_Dialog->GetDefaultItem(), ok);
    EXPECT_EQ(Look(tool), NormalLook());

    // A disabled default leaves the window without one and takes it back.
    EXPECT_TRUE(ok->Enable(false));
    EXPECT_EQ(m_Dialog->GetDefaultItem(), nullptr);
    EXPECT_TRUE(ok->Enable(true));
    EXPECT_EQ(m_Dialog->GetDefaultItem(), ok);
    EXPECT_EQ(Look(ok), DefaultLook());

    // Another default chosen meanwhile wins over the returning one.
    ok->Disable();
    cancel->SetDefault();
    ok->Enable();
    EXPECT_EQ(m_Dialog->GetDefaultItem(), cancel);
    EXPECT_EQ(Look(ok), NormalLook());
}

// The focused button remembers the default it took over, which may be
// destroyed before the focus leaves: it used to be made the default again
// after its end.
TEST_F(ButtonsTest, FocusHandOverSurvivesDestroyedAndDisabledButtons)
{
    auto* ok = new wxsButton(m_Dialog, wxID_OK, "OK");
    auto* cancel = new wxsButton(m_Dialog, wxID_CANCEL, "Cancel");
    ok->SetDefault();
    SendFocus(cancel, wxEVT_SET_FOCUS);
    ASSERT_EQ(m_Dialog->GetDefaultItem(), cancel);
    delete ok;
    SendFocus(cancel, wxEVT_KILL_FOCUS);
    EXPECT_EQ(m_Dialog->GetDefaultItem(), nullptr) << "nothing left to hand the default back to";
    EXPECT_EQ(Look(cancel), NormalLook());
    EXPECT_NE(cancel->GetFont().GetNumericWeight(), 700);

    // A default chosen elsewhere while the focus is on a button stays.
    auto* apply = new wxsButton(m_Dialog, wxID_APPLY, "Apply");
    auto* help = new wxsButton(m_Dialog, wxID_HELP, "Help");
    apply->SetDefault();
    SendFocus(cancel, wxEVT_SET_FOCUS);
    help->SetDefault();
    SendFocus(cancel, wxEVT_KILL_FOCUS);
    EXPECT_EQ(m_Dialog->GetDefaultItem(), help);
    EXPECT_EQ(Look(cancel), NormalLook());

    // A focused default disabled and enabled again takes the default back,
    // also when the focus left it meanwhile.
    SendFocus(help, wxEVT_SET_FOCUS);
    help->Disable();
    SendFocus(help, wxEVT_KILL_FOCUS);
    help->Enable();
    EXPECT_EQ(m_Dialog->GetDefaultItem(), help);
    EXPECT_EQ(Look(help), DefaultLook());

    // A button disabled while it holds the default for the focus hands it back
    // when the focus leaves, and keeps the normal look when enabled again.
    SendFocus(cancel, wxEVT_SET_FOCUS);
    cancel->Disable();
    EXPECT_EQ(m_Dialog->GetDefaultItem(), nullptr);
    SendFocus(cancel, wxEVT_KILL_FOCUS);
    EXPECT_EQ(m_Dialog->GetDefaultItem(), help);
    EXPECT_EQ(Look(help), DefaultLook());
    cancel->Enable();
    EXPECT_EQ(m_Dialog->GetDefaultItem(), help);
    EXPECT_EQ(Look(cancel), NormalLook());
}

TEST_F(ButtonsTest, OneButtonEventPerClickAndPerReleasedKey)
{
    auto* ok = new wxsButton(m_Dialog, wxID_OK, "OK");
    const auto sent = [this] { return Events(wxEVT_BUTTON, wxID_OK); };

    SendMouse(ok, wxEVT_LEFT_DOWN, 1);
    EXPECT_EQ(sent(), 0) << "a press sends nothing";
    SendMouse(ok, wxEVT_LEFT_UP);
    EXPECT_EQ(sent(), 1);
    EXPECT_EQ(m_LastObject, ok);

    // The toolkit's double click: release, double click, release.
    SendMouse(ok, wxEVT_LEFT_DCLICK, 2);
    SendMouse(ok, wxEVT_LEFT_UP);
    EXPECT_EQ(sent(), 1) << "the release after a double click sends nothing";
    SendMouse(ok, wxEVT_LEFT_UP, 2);
    EXPECT_EQ(sent(), 1) << "nor does a release counted as a second click";
    SendMouse(ok, wxEVT_LEFT_UP, 1);
    EXPECT_EQ(sent(), 2);

    for (int key : {WXK_RETURN, WXK_SPACE, WXK_NUMPAD_ENTER})
    {
        const int before = sent();
        SendKey(ok, wxEVT_KEY_DOWN, key);
        EXPECT_EQ(sent(), before) << "key down " << key;
        EXPECT_TRUE(SendKey(ok, wxEVT_KEY_UP, key));
        EXPECT_EQ(sent(), before + 1) << "key up " << key;
    }
    EXPECT_FALSE(SendKey(ok, wxEVT_KEY_UP, 'A')) << "other keys are passed on";
    EXPECT_EQ(sent(), 5);
}

// ---------------------------------------------------------------- check box and radio

TEST_F(ButtonsTest, CheckBoxTogglesOnEveryReleaseAndOnSpace)
{
    auto* box = new wxsCheckBox(m_Dialog, 101, "Option");
    SendMouse(box, wxEVT_LEFT_UP);
    EXPECT_TRUE(box->GetValue());
    EXPECT_EQ(m_LastInt, 1);
    EXPECT_EQ(m_LastObject, box);

    // Both releases of a double click count.
    SendMouse(box, wxEVT_LEFT_DCLICK, 2);
    SendMouse(box, wxEVT_LEFT_UP);
    EXPECT_FALSE(box->GetValue());
    EXPECT_EQ(m_LastInt, 0);
    SendMouse(box, wxEVT_LEFT_UP);
    EXPECT_TRUE(box->GetValue());

    SendKey(box, wxEVT_KEY_DOWN, WXK_SPACE);
    EXPECT_FALSE(SendKey(box, wxEVT_KEY_UP, WXK_RETURN));
    EXPECT_TRUE(box->GetValue());
    SendKey(box, wxEVT_KEY_UP, WXK_SPACE);
    EXPECT_FALSE(box->GetValue());
    box->SetValue(true);
    EXPECT_EQ(Events(wxEVT_CHECKBOX, 101), 4) << "setting the value sends nothing";

    const int height = box->GetCharHeight() + 4;
    EXPECT_EQ(box->GetMaxSize().y, height);
    EXPECT_EQ(box->GetBestSize(), wxSize(box->GetTextExtent("Option").x + height + 8, height));
}

TEST_F(ButtonsTest, RadioGroupsClearTheirOwnMembersOnly)
{
    auto* panel = new wxPanel(m_Dialog);
    auto* z = new wxsRadioButton(panel, 8, "Z", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    auto* a = new wxsRadioButton(panel, 1, "A", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    auto* b = new wxsRadioButton(panel, 2, "B");
    auto* other = new wxsCheckBox(panel, 9, "not a radio");
    auto* c = new wxsRadioButton(panel, 3, "C");
    auto* d = new wxsRadioButton(panel, 4, "D", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    EXPECT_TRUE(a->GetValue()) << "the first of a group starts checked";

    b->SetValue(true);
    other->SetValue(true);
    SendMouse(c, wxEVT_LEFT_UP);
    EXPECT_TRUE(c->GetValue());
    EXPECT_FALSE(a->GetValue());
    EXPECT_FALSE(b->GetValue());
    EXPECT_TRUE(other->GetValue()) << "other controls are passed over";
    EXPECT_TRUE(d->GetValue()) << "the next group is left alone";
    EXPECT_TRUE(z->GetValue()) << "so is the group before";

    // A checked radio stays checked when clicked, also twice in a double
    // click, and reports each click.
    SendMouse(c, wxEVT_LEFT_UP);
    SendMouse(c, wxEVT_LEFT_DCLICK, 2);
    SendMouse(c, wxEVT_LEFT_UP);
    EXPECT_TRUE(c->GetValue());
    EXPECT_EQ(Events(wxEVT_RADIOBUTTON, 3), 3);
    EXPECT_EQ(m_LastInt, 1);
}

TEST_F(ButtonsTest, SingleRadioButtonsStandAlone)
{
    auto* panel = new wxPanel(m_Dialog);
    auto* a = new wxsRadioButton(panel, 1, "A", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    auto* b = new wxsRadioButton(panel, 2, "B");
    auto* single = new wxsRadioButton(panel, 3, "S", wxDefaultPosition, wxDefaultSize, wxRB_SINGLE);
    auto* c = new wxsRadioButton(panel, 4, "C");

    single->SetValue(true);
    EXPECT_TRUE(a->GetValue()) << "a single button clears nobody";
    c->SetValue(true);
    EXPECT_TRUE(single->GetValue()) << "the walk backwards ends at a single button";
    EXPECT_TRUE(a->GetValue());
    b->SetValue(true);
    EXPECT_FALSE(a->GetValue());
    EXPECT_TRUE(single->GetValue()) << "the walk forwards ends at a single button";
    EXPECT_TRUE(c->GetValue());
}

TEST_F(ButtonsTest, CheckBoxDrawsHoverAndValueInSchemeColours)
{
    auto* panel = new ManagedPanel(m_Dialog);
    panel->SetBGColor(COLOR_FIELD);
    auto* box = new TestCheckBox(panel, wxID_ANY, "MMMM");
    // A big bold face so that the label has fully inked pixels.
    box->SetFont(wxFont(wxFontInfo(20).Bold()));
    box->SetMaxSize(wxSize(-1, 40));
    box->SetSize(200, 40);
    const wxRect label(44, 2, 200 - 46, 36);
    const auto centre = [](const wxImage& image) { return Rgb(At(image, 20, 20)); };

    const wxImage plain = Snapshot(box);
    EXPECT_EQ(Rgb(At(plain, 0, 0)), Rgb(Scheme(COLOR_FIELD))) << "filled with the inherited background";
    EXPECT_TRUE(RegionHas(plain, label, Scheme(COLOR_TEXT)));
    EXPECT_FALSE(RegionHas(plain, label, Scheme(COLOR_ORANGE)));
    EXPECT_EQ(centre(plain), Rgb(Scheme(COLOR_CONTROL)));

    SendMouse(box, wxEVT_ENTER_WINDOW);
    box->SetValue(true);
    const wxImage hovered = Snapshot(box);
    EXPECT_TRUE(RegionHas(hovered, label, Scheme(COLOR_ORANGE)));
    EXPECT_FALSE(RegionHas(hovered, label, Scheme(COLOR_TEXT)));
    EXPECT_EQ(centre(hovered), Rgb(Scheme(COLOR_HIGHLIGHT, 25))) << "checked and under the pointer";

    SendMouse(box, wxEVT_LEAVE_WINDOW);
    const wxImage left = Snapshot(box);
    EXPECT_TRUE(RegionHas(left, label, Scheme(COLOR_TEXT)));
    EXPECT_FALSE(RegionHas(left, label, Scheme(COLOR_ORANGE)));
    EXPECT_EQ(centre(left), Rgb(Scheme(COLOR_HIGHLIGHT)));

    box->Enable(false);
    EXPECT_TRUE(RegionHas(Snapshot(box), label, Scheme(COLOR_TEXT_DISABLED)));
}

// The toolkit greys its own controls out inside a disabled parent, and tells
// the children nothing: the drawn ones must notice and look disabled too.
TEST_F(ButtonsTest, ButtonsInADisabledPanelLookAsIfDisabledThemselves)
{
    auto* panel = new wxPanel(m_Dialog);  // a plain toolkit panel
    auto* ok = new TestButton(panel, wxID_OK, "MMMM");
    auto* box = new TestCheckBox(panel, wxID_ANY, "MMMM");
    box->SetValue(true);
    box->SetSize(120, box->GetMaxSize().y);
    const auto pixels = [&] {
        std::vector<unsigned char> both = Pixels(Snapshot(ok));
        const std::vector<unsigned char> second = Pixels(Snapshot(box));
        both.insert(both.end(), second.begin(), second.end());
        return both;
    };
    const std::string enabledLook = NormalLook();
    const std::string disabledLook = Look(COLOR_TEXT_DISABLED, 0, COLOR_FIELD, 0);
    const std::vector<unsigned char> enabled = pixels();

    ok->Disable();
    box->Disable();
    const std::vector<unsigned char> disabled = pixels();
    ASSERT_FALSE(disabled == enabled);
    ok->Enable();
    box->Enable();

    panel->Disable();
    EXPECT_TRUE(pixels() == disabled) << "drawn as when disabled themselves";
    GoIdle();
    EXPECT_EQ(Look(ok), disabledLook);

    panel->Enable();
    EXPECT_TRUE(pixels() == enabled);
    GoIdle();
    EXPECT_EQ(Look(ok), enabledLook);

    // The button's own flag still counts once the panel is enabled again.
    panel->Disable();
    ok->Disable();
    panel->Enable();
    GoIdle();
    EXPECT_EQ(Look(ok), disabledLook);
    EXPECT_TRUE(RegionHas(Snapshot(ok), wxRect(ok->GetClientSize()), Scheme(COLOR_TEXT_DISABLED)));
}
