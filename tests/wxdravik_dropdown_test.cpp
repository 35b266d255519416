// Drop-downs and numeric entry, driven by synthetic events: the choice's
// first-letter keys, sizes, focus guard and faces by pixels; the combo box's
// re-emitted text events and disabled look; the check list box's keys, clicks,
// menu and event protocol; the number selector and the slider.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/frame.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxsnumberselector.h"

using namespace dravik_test;

namespace
{
const wxColour k_Sentinel(10, 200, 30);

/// Opens the drawing hooks and the focus guard to the tests.
class TestChoice : public wxsChoice
{
public:
    using wxsChoice::wxsChoice;
    using wxsChoice::KeepFocus;
    using wxsChoice::OnDrawBackground;
    using wxsChoice::OnDrawItem;
};

class TestCombo : public wxsComboBox
{
public:
    using wxsComboBox::wxsComboBox;
    using wxsComboBox::OnDrawBackground;
};

/// A 24-bit bitmap cleared to the sentinel, drawn into once, read back.
wxImage Draw(const wxSize& size, const std::function<void(wxDC&)>& draw)
{
    wxBitmap bitmap(size.x, size.y, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(k_Sentinel));
        dc.Clear();
        draw(dc);
    }
    return bitmap.ConvertToImage();
}

std::string Rgb(const wxColour& c)
{
    return std::to_string(c.Red()) + "," + std::to_string(c.Green()) + "," + std::to_string(c.Blue());
}

std::string At(const wxImage& image, int x, int y)
{
    return Rgb(wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)));
}

wxColour Grey(int level)
{
    return wxColour(level, level, level);
}

wxColour Plus(ColorName name, int amount)
{
    return AdjustColour(wxsGetColor(name), amount, amount, amount);
}

/// Whether any pixel of the region is the colour.
bool RegionHas(const wxImage& image, const wxRect& region, const wxColour& colour)
{
    for (int y = region.GetTop(); y <= region.GetBottom(); ++y)
        for (int x = region.GetLeft(); x <= region.GetRight(); ++x)
            if (At(image, x, y) == Rgb(colour))
                return true;
    return false;
}

/// Band i of n of a vertical gradient from outer (edges) to inner (middle),
/// worked out on paper: t = ((n - i) / n)^1.7, channels truncated.
wxColour Band(const wxColour& inner, const wxColour& outer, int i, int n)
{
    const float t = std::pow(float(n - i) / float(n), 1.7f);
    const auto mix = [t](int a, int b) { return (unsigned char)(a * (1.0f - t) + b * t); };
    return wxColour(mix(inner.Red(), outer.Red()), mix(inner.Green(), outer.Green()), mix(inner.Blue(), outer.Blue()));
}

/// Returns whether a handler used the key (did not skip it).
bool SendKey(wxWindow* window, int key, int unicode = 0)
{
    wxKeyEvent event(wxEVT_KEY_DOWN);
    event.m_keyCode = key;
    event.m_uniChar = unicode ? unicode : key;
    event.SetEventObject(window);
    return window->HandleWindowEvent(event);
}

void SendMouse(wxWindow* window, wxEventType type, int x, int y)
{
    wxMouseEvent event(type);
    event.m_x = x;
    event.m_y = y;
    event.SetEventObject(window);
    window->HandleWindowEvent(event);
}

/// A command event as a child window would send it.
void SendCommand(wxWindow* window, wxEventType type, int value = 0)
{
    wxCommandEvent event(type, window->GetId());
    event.SetInt(value);
    event.SetEventObject(window);
    window->HandleWindowEvent(event);
}

/// One command event as it reached the dialog.
struct Received
{
    wxEventType type;
    int id;
    int value;
    wxObject* object;
};

/// A dialog that is never shown, and a record of the command events that
/// reach it, in order.
class DropdownTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wxsSetColorScheme(SCHEME_DARK);
        m_Dialog = new wxDialog(nullptr, wxID_ANY, "dropdowns");
        const auto record = [this](wxCommandEvent& event) {
            m_Events.push_back({event.GetEventType(), event.GetId(), event.GetInt(), event.GetEventObject()});
        };
        m_Dialog->Bind(wxEVT_COMBOBOX, record);
        m_Dialog->Bind(wxEVT_TEXT, record);
        m_Dialog->Bind(wxEVT_TEXT_ENTER, record);
        m_Dialog->Bind(wxEVT_CHECKLISTBOX, record);
    }
    void TearDown() override { delete m_Dialog; }

    std::vector<int> Values(wxEventType type) const
    {
        std::vector<int> values;
        for (const Received& event : m_Events)
            if (event.type == type)
                values.push_back(event.value);
        return values;
    }

    wxDialog* m_Dialog = nullptr;
    std::vector<Received> m_Events;
};
}

// ---------------------------------------------------------------- choice

TEST_F(DropdownTest, ChoiceSelectsByFirstLetterWithOneEventPerKey)
{
    const wxString words[] = {"beta", "Alpha", "apple"};
    auto* choice = new wxsChoice(m_Dialog, 4711, wxDefaultPosition, wxDefaultSize, 3, words);
    EXPECT_EQ(choice->GetStringSelection(), "");

    EXPECT_TRUE(SendKey(choice, 'a'));
    EXPECT_EQ(choice->GetStringSelection(), "Alpha");
    ASSERT_EQ(m_Events.size(), 1u);
    EXPECT_EQ(m_Events[0].type, wxEVT_COMBOBOX);
    EXPECT_EQ(m_Events[0].id, 4711);
    EXPECT_EQ(m_Events[0].object, choice);

    // The same letter again keeps the first match, with one more event.
    EXPECT_TRUE(SendKey(choice, 'A'));
    EXPECT_EQ(choice->GetSelection(), 1);
    EXPECT_EQ(Values(wxEVT_COMBOBOX), (std::vector<int>{1, 1}));

    // A digit nothing starts with is used up and changes nothing.
    EXPECT_TRUE(SendKey(choice, '7'));
    EXPECT_EQ(choice->GetSelection(), 1);
    EXPECT_EQ(m_Events.size(), 2u);
    EXPECT_TRUE(SendKey(choice, 'B'));
    EXPECT_EQ(choice->GetStringSelection(), "beta");
    // Shortcuts are not first letters.
    wxKeyEvent shortcut(wxEVT_KEY_DOWN);
    shortcut.m_keyCode = 'A';
    shortcut.SetControlDown(true);
    choice->HandleWindowEvent(shortcut);
    EXPECT_EQ(choice->GetStringSelection(), "beta");
    EXPECT_EQ(m_Events.size(), 3u);
}

namespace
{
/// Counts its instances, to see the controls delete the client objects they own.
class CountedData : public wxClientData
{
public:
    explicit CountedData(int& live) : m_Live(live) { ++m_Live; }
    ~CountedData() override { --m_Live; }

private:
    int& m_Live;
};
}

TEST_F(DropdownTest, ChoiceKeepsClientDataGivenAfterPlainItems)
{
    int live = 0;
    {
        // Items without data first: the toolkit's own store would be indexed
        // past its end here.
        const wxString words[] = {"one", "two"};
        wxsChoice choice(m_Dialog, wxID_ANY, wxDefaultPosition, wxDefaultSize, 2, words);
        choice.Append("three", new CountedData(live));
        choice.Insert("zero", 0, new CountedData(live));
        choice.SetClientObject(1, new CountedData(live));
        EXPECT_EQ(live, 3);
        EXPECT_EQ(choice.GetClientObject(2), nullptr);
        choice.Delete(0);
        EXPECT_EQ(live, 2);
        EXPECT_NE(choice.GetClientObject(2), nullptr) << "data moves with its item";
    }
    EXPECT_EQ(live, 0) << "destroyed with the choice";

    wxsChoice sorted(m_Dialog, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, nullptr, wxCB_SORT);
    int a = 1;
    int b = 2;
    sorted.Append("b", &b);
    sorted.Append("a", &a);
    EXPECT_EQ(sorted.GetClientData(0), &a);
    EXPECT_EQ(sorted.GetClientData(1), &b);
}

TEST_F(DropdownTest, ChoiceSizesComeFromTheTextsWithMargins)
{
    wxScreenDC dc;
    dc.SetFont(*wxNORMAL_FONT);
    const wxSize m = dc.GetTextExtent("M");
    auto* empty = new wxsChoice(m_Dialog, wxID_ANY);
    EXPECT_EQ(empty->GetBestSize(), m + wxSize(10, 6));
    EXPECT_EQ(empty->GetMinClientSize(), m + wxSize(10, 6));

    const wxString words[] = {"a", "a much longer item text"};
    auto* filled = new wxsChoice(m_Dialog, wxID_ANY, wxDefaultPosition, wxDefaultSize, 2, words);
    EXPECT_EQ(filled->GetBestSize(), dc.GetTextExtent(words[1]) + wxSize(10, 6));
}

TEST_F(DropdownTest, ChoiceGuardsItsFocusOnlyWhileTheListIsOpen)
{
    auto* frame = new wxFrame(nullptr, wxID_ANY, "choice", wxPoint(0, 0), wxSize(300, 200));
    const wxString words[] = {"one", "two"};
    auto* choice = new TestChoice(frame, wxID_ANY, wxPoint(10, 10), wxSize(120, 26), 2, words);
    frame->Show();

    const auto lossPassesOn = [choice] {
        wxFocusEvent event(wxEVT_KILL_FOCUS, choice->GetId());
        choice->KeepFocus(event);
        return event.GetSkipped();
    };
    EXPECT_FALSE(choice->KeepFocus());
    EXPECT_TRUE(lossPassesOn());

    choice->Popup();
    EXPECT_TRUE(choice->KeepFocus());
    EXPECT_FALSE(lossPassesOn());
    choice->Dismiss();
    EXPECT_TRUE(lossPassesOn());

    // Closed by a pick rather than by Dismiss: the guard ends all the same.
    choice->Popup();
    choice->HidePopup(true);
    EXPECT_FALSE(choice->KeepFocus());
    EXPECT_TRUE(lossPassesOn());
    frame->Destroy();
    FlushEvents();
}

TEST_F(DropdownTest, ChoiceFacesAndRowsByPixelsInTheDarkScheme)
{
    const wxString words[] = {"Render", "Layer"};
    auto* choice = new TestChoice(m_Dialog, wxID_ANY, wxPoint(0, 0), wxSize(120, 24), 2, words);
    choice->SetSelection(0);
    const wxSize size = choice->GetClientSize();
    ASSERT_EQ(size.y, 24);
    const int n = size.y / 2;
    const int x = size.x / 2;

    // Closed: raised from BACKGROUND_LIGHT + 25, faded 30% towards the
    // background: base 103 (117 with 72), edge 81, bevel light on top.
    const wxImage closed = Draw(size, [&](wxDC& dc) {
        choice->OnDrawBackground(dc, wxRect(size), 0, wxODCB_PAINTING_CONTROL);
    });
    // The outermost rows carry the bevel, so the edge shows in the bands.
    EXPECT_EQ(At(closed, x, 0), Rgb(wxsGetColor(COLOR_EDGE_LIGHT)));
    EXPECT_EQ(At(closed, x, size.y - 1), Rgb(wxsGetColor(COLOR_EDGE_DARK)));
    EXPECT_EQ(At(closed, x, 1), Rgb(Band(Grey(103), Grey(81), 1, n)));
    EXPECT_EQ(At(closed, x, size.y - 2), Rgb(Band(Grey(103), Grey(81), 1, n)));
    EXPECT_EQ(At(closed, x, n), Rgb(Band(Grey(103), Grey(81), n - 1, n)));

    // Open: sunken from FIELD, faded too, with the bevel swapped.
    choice->Popup();
    const wxImage open = Draw(size, [&](wxDC& dc) {
        choice->OnDrawBackground(dc, wxRect(size), 0, wxODCB_PAINTING_CONTROL);
    });
    choice->Dismiss();
    const wxColour field = BlendColour(wxsGetColor(COLOR_FIELD), wxsGetColor(COLOR_BACKGROUND), 0.3);
    EXPECT_EQ(At(open, x, 0), Rgb(wxsGetColor(COLOR_EDGE_DARK)));
    EXPECT_EQ(At(open, x, size.y - 1), Rgb(wxsGetColor(COLOR_EDGE_LIGHT)));
    EXPECT_EQ(At(open, x, 1), Rgb(Band(field, AdjustColour(field, 12, 12, 12), 1, n)));

    // A selected row: highlight in the middle, 25 darker at top and bottom,
    // its text dark (FIELD); other rows flat BACKGROUND_LIGHT with TEXT.
    const wxSize row(120, 20);
    const wxImage selected = Draw(row, [&](wxDC& dc) {
        choice->OnDrawBackground(dc, wxRect(row), 0, wxODCB_PAINTING_SELECTED);
        choice->OnDrawItem(dc, wxRect(row), 0, wxODCB_PAINTING_SELECTED);
    });
    EXPECT_EQ(At(selected, 100, 0), Rgb(Plus(COLOR_HIGHLIGHT, -25)));
    EXPECT_EQ(At(selected, 100, 19), Rgb(Plus(COLOR_HIGHLIGHT, -25)));
    EXPECT_TRUE(RegionHas(selected, wxRect(6, 0, 60, 20), wxsGetColor(COLOR_FIELD)));
    const wxImage plain = Draw(row, [&](wxDC& dc) {
        choice->OnDrawBackground(dc, wxRect(row), 1, 0);
        choice->OnDrawItem(dc, wxRect(row), 1, 0);
    });
    EXPECT_EQ(At(plain, 100, 0), Rgb(wxsGetColor(COLOR_BACKGROUND_LIGHT)));
    EXPECT_TRUE(RegionHas(plain, wxRect(6, 0, 60, 20), wxsGetColor(COLOR_TEXT)));
    // The light schemes' field colour is nearly white: their selected rows
    // take the (dark) text colour instead.
    wxsSetColorScheme(SCHEME_LIGHT);
    const wxImage light = Draw(row, [&](wxDC& dc) {
        choice->OnDrawBackground(dc, wxRect(row), 0, wxODCB_PAINTING_SELECTED);
        choice->OnDrawItem(dc, wxRect(row), 0, wxODCB_PAINTING_SELECTED);
    });
    EXPECT_TRUE(RegionHas(light, wxRect(6, 0, 60, 20), wxsGetColor(COLOR_TEXT)));
    EXPECT_FALSE(RegionHas(light, wxRect(6, 0, 60, 20), wxsGetColor(COLOR_FIELD)));
    wxsSetColorScheme(SCHEME_DARK);
}

// ---------------------------------------------------------------- combo box

TEST_F(DropdownTest, ComboBoxReemitsItsFieldsTextEventsAsItsOwn)
{
    const wxString words[] = {"frame_0001.exr", "frame_0002.exr"};
    auto* combo = new wxsComboBox(m_Dialog, 5150, "start", wxDefaultPosition, wxSize(200, 28), 2, words,
                                  wxTE_PROCESS_ENTER);
    auto* field = dynamic_cast<wxsTextCtrl*>(combo->GetTextCtrl());
    ASSERT_NE(field, nullptr) << "the text field is the library's";
    EXPECT_EQ(combo->GetValue(), "start");
    m_Events.clear();

    field->SetValue("typed");
    ASSERT_EQ(m_Events.size(), 1u);
    EXPECT_EQ(m_Events[0].type, wxEVT_TEXT);
    EXPECT_EQ(m_Events[0].id, 5150);
    EXPECT_EQ(m_Events[0].object, combo);
    EXPECT_EQ(combo->GetValue(), "typed");

    SendCommand(field, wxEVT_TEXT_ENTER);
    ASSERT_EQ(m_Events.size(), 2u);
    EXPECT_EQ(m_Events[1].type, wxEVT_TEXT_ENTER);
    EXPECT_EQ(m_Events[1].id, 5150);
    EXPECT_EQ(m_Events[1].object, combo);

    // The field lies left of the painted arrow button.
    EXPECT_LE(field->GetRect().GetRight(), combo->GetClientSize().x - combo->GetArrowButtonWidth());
    EXPECT_GT(field->GetRect().width, 100);
}

TEST_F(DropdownTest, ComboBoxFaceAndArrowButtonFadeWhenDisabled)
{
    auto* combo = new TestCombo(m_Dialog, wxID_ANY, "", wxPoint(0, 0), wxSize(160, 24));
    const wxSize size = combo->GetClientSize();
    const int button = combo->GetArrowButtonWidth();
    const auto face = [&] {
        return Draw(size, [&](wxDC& dc) {
            dc.SetFont(combo->GetFont());
            combo->OnDrawBackground(dc, wxRect(size), wxNOT_FOUND, wxODCB_PAINTING_CONTROL);
        });
    };
    const int arrowX = size.x - button / 2;
    const int arrowY = size.y / 2 - 1;

    const wxImage enabled = face();
    EXPECT_EQ(At(enabled, 10, size.y / 2), Rgb(wxsGetColor(COLOR_FIELD)));
    EXPECT_EQ(At(enabled, size.x - button + 1, 2), Rgb(Plus(COLOR_CONTROL, 20)));
    EXPECT_EQ(At(enabled, arrowX, arrowY), Rgb(Plus(COLOR_GLYPH, -20)));

    EXPECT_TRUE(combo->Disable());
    EXPECT_FALSE(combo->Disable());
    EXPECT_FALSE(combo->GetTextCtrl()->IsThisEnabled()) << "the field follows";
    const wxColour background = wxsGetColor(COLOR_BACKGROUND);
    const wxImage disabled = face();
    EXPECT_EQ(At(disabled, 10, size.y / 2), Rgb(background));
    EXPECT_EQ(At(disabled, size.x - button + 1, 2), Rgb(BlendColour(Plus(COLOR_CONTROL, 20), background, 0.3)));
    EXPECT_EQ(At(disabled, arrowX, arrowY), Rgb(BlendColour(Plus(COLOR_GLYPH, -20), background, 0.3)));
    // The field keeps its own disabled look rather than the combo's colours.
    EXPECT_EQ(Rgb(combo->GetTextCtrl()->GetBackgroundColour()), Rgb(background));
}

// ---------------------------------------------------------------- check list box

TEST_F(DropdownTest, CheckListBoxKeysMoveAndCheckWithOneEventEach)
{
    const wxString words[] = {"one", "two", "three"};
    auto* list = new wxsCheckListBox(m_Dialog, 77, wxDefaultPosition, wxSize(200, 120), 3, words);
    EXPECT_EQ(list->GetSelection(), -1);

    EXPECT_TRUE(SendKey(list, WXK_SPACE)) << "no selection: nothing to toggle";
    EXPECT_TRUE(m_Events.empty());
    EXPECT_TRUE(SendKey(list, WXK_DOWN));
    EXPECT_EQ(list->GetSelection(), 0);
    EXPECT_TRUE(SendKey(list, WXK_UP));
    EXPECT_EQ(list->GetSelection(), 0) << "the first item stays";
    for (int i = 0; i < 4; ++i)
        SendKey(list, WXK_DOWN);
    EXPECT_EQ(list->GetSelection(), 2) << "the last item stays";

    // Space toggles, "+" and "-" set; one event each with the new state.
    for (const int key : {int(WXK_SPACE), int(WXK_SPACE), int('+'), int('+'), int(WXK_NUMPAD_SUBTRACT)})
        SendKey(list, key);
    SendKey(list, '=', '+');  // shifted "=" on a US keyboard
    EXPECT_TRUE(list->IsChecked(2));
    SendKey(list, '-');
    EXPECT_FALSE(list->IsChecked(2));
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{1, 0, 1, 1, 0, 1, 0}));
    for (const Received& event : m_Events)
    {
        EXPECT_EQ(event.id, 77);
        EXPECT_EQ(event.object, list);
    }
    EXPECT_TRUE(SendKey(list, 'x')) << "other keys are used up too";
    EXPECT_EQ(m_Events.size(), 7u);
    EXPECT_FALSE(SendKey(list, WXK_TAB)) << "but Tab leaves the list";
}

TEST_F(DropdownTest, CheckListBoxMenuChecksAllOrNoneThenSendsMinusOne)
{
    const wxString words[] = {"one", "two", "three"};
    auto* list = new wxsCheckListBox(m_Dialog, wxID_ANY, wxDefaultPosition, wxSize(200, 120), 3, words);
    EXPECT_FALSE(list->IsAnyChecked());

    wxCommandEvent all(wxEVT_MENU, wxsCheckListBox::ID_CHECK_ALL);
    list->HandleWindowEvent(all);
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{1, 1, 1, -1}));

    m_Events.clear();
    wxCommandEvent none(wxEVT_MENU, wxsCheckListBox::ID_CHECK_NONE);
    list->HandleWindowEvent(none);
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{0, 0, 0, -1}));
    EXPECT_FALSE(list->IsAnyChecked());

    m_Events.clear();
    list->Clear();
    list->CheckAll();
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{-1})) << "an empty list sends only the end";
}

TEST_F(DropdownTest, CheckListBoxClicksOnTextSelectAndOnTheBoxToggle)
{
    const wxString words[] = {"one", "two", "three"};
    auto* list = new wxsCheckListBox(m_Dialog, wxID_ANY, wxPoint(0, 0), wxSize(200, 200), 3, words);
    const int h = list->GetItemHeight();

    SendMouse(list, wxEVT_LEFT_DOWN, h + 20, h + h / 2);
    EXPECT_EQ(list->GetSelection(), 1);
    EXPECT_FALSE(list->IsChecked(1));
    EXPECT_TRUE(m_Events.empty());

    SendMouse(list, wxEVT_LEFT_DOWN, h / 2, 2 * h + h / 2);
    EXPECT_EQ(list->GetSelection(), 2);
    EXPECT_TRUE(list->IsChecked(2));
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{1}));

    SendMouse(list, wxEVT_LEFT_DOWN, h / 2, 3 * h + 2);  // below the last item
    EXPECT_EQ(list->GetSelection(), 2);
    EXPECT_EQ(m_Events.size(), 1u);

    // The selected row is painted in the highlight with white text; the
    // checked box in its checked fill.
    const wxImage image = Draw(list->GetClientSize(), [&](wxDC& dc) { list->OnDraw(dc); });
    const wxColour highlight = wxsGetColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(At(image, 150, 2 * h + h / 2), Rgb(highlight));
    EXPECT_TRUE(RegionHas(image, wxRect(h + 2, 2 * h + 1, 40, h - 2), *wxWHITE));
    EXPECT_EQ(At(image, h / 2, 2 * h + h / 2), Rgb(highlight)) << "checked box";
    EXPECT_EQ(At(image, 150, h / 2), Rgb(k_Sentinel)) << "only the selected row is filled";

    // Disabled: the boxes and the selection fade towards the background.
    list->Disable();
    const wxImage faded = Draw(list->GetClientSize(), [&](wxDC& dc) { list->OnDraw(dc); });
    const wxColour background = wxsGetColor(COLOR_BACKGROUND);
    EXPECT_EQ(At(faded, 150, 2 * h + h / 2), Rgb(BlendColour(highlight, background, 0.3)));
    EXPECT_EQ(At(faded, h / 2, h / 2), Rgb(BlendColour(wxsGetColor(COLOR_CONTROL), background, 0.3)));
    EXPECT_EQ(Rgb(list->GetBackgroundColour()), Rgb(background));
}

TEST_F(DropdownTest, CheckListBoxIsAnItemContainer)
{
    // Lower than its rows, so that the virtual height shows.
    auto* list = new wxsCheckListBox(m_Dialog, wxID_ANY, wxDefaultPosition, wxSize(200, 10), wxArrayString());
    int a = 1;
    int b = 2;
    EXPECT_EQ(list->Append("first", &a), 0);
    EXPECT_EQ(list->Append("third"), 1);
    EXPECT_EQ(list->Insert("second", 1, &b), 1);
    EXPECT_EQ(list->GetString(1), "second");
    EXPECT_EQ(list->GetClientData(0), &a);
    EXPECT_EQ(list->GetClientData(1), &b);
    EXPECT_EQ(list->GetClientData(2), nullptr);
    EXPECT_FALSE(list->IsChecked(1)) << "inserted unchecked";
    EXPECT_EQ(list->GetVirtualSize().y, 3 * list->GetItemHeight());

    list->Check(0);
    list->Check(2);
    wxArrayInt checked;
    checked.push_back(7);
    checked.push_back(9);
    EXPECT_EQ(list->GetCheckedItems(checked), 4u);
    EXPECT_EQ(std::vector<int>(checked.begin(), checked.end()), (std::vector<int>{7, 9, 0, 2}));
    EXPECT_FALSE(list->IsChecked(3));

    list->SetSelection(2);
    list->Delete(0);
    EXPECT_EQ(list->GetString(0), "second");
    EXPECT_TRUE(list->IsChecked(1));
    EXPECT_EQ(list->GetVirtualSize().y, 2 * list->GetItemHeight());
    EXPECT_EQ(list->GetSelection(), 2) << "removals leave the selection alone";
    m_Events.clear();
    SendKey(list, WXK_SPACE);
    EXPECT_TRUE(m_Events.empty()) << "a selection past the end toggles nothing";
    list->Clear();
    EXPECT_EQ(list->GetVirtualSize().y, list->GetClientSize().y) << "nothing beyond the window";
}

// ---------------------------------------------------------------- number selector

namespace
{
wxsNumberSelector::Values Levels()
{
    wxsNumberSelector::Values values;
    values["1"] = "Low";
    values["10"] = "High";
    values["5"] = "Normal";
    return values;
}

std::vector<wxString> Items(wxsChoice* choice)
{
    std::vector<wxString> items;
    for (unsigned int i = 0; i < choice->GetCount(); ++i)
        items.push_back(choice->GetString(i));
    return items;
}

/// The user picks an entry of the choice.
void Pick(wxsChoice* choice, const wxString& entry)
{
    ASSERT_TRUE(choice->SetStringSelection(entry));
    SendCommand(choice, wxEVT_COMBOBOX, choice->GetSelection());
}
}

TEST_F(DropdownTest, NumberSelectorListsNamesInKeyOrderAndFollowsTyping)
{
    auto* selector = new wxsNumberSelector(m_Dialog, wxID_ANY, Levels(), {});
    wxsChoice* choice = selector->GetChoice();
    wxsTextCtrl* field = selector->GetTextCtrl();
    EXPECT_EQ(Items(choice), (std::vector<wxString>{"Low", "High", "Normal", "Custom:"}));

    field->SetValue("10");
    EXPECT_EQ(choice->GetStringSelection(), "High");
    field->SetValue("high");
    EXPECT_EQ(choice->GetStringSelection(), "High");
    EXPECT_EQ(selector->GetValue(), "high") << "kept as typed";
    field->SetValue("-3");
    EXPECT_EQ(choice->GetStringSelection(), "Custom:") << "no negative entry: any text is custom";
    EXPECT_EQ(selector->GetValue(), "-3");

    selector->SetValue("NORMAL");
    EXPECT_EQ(choice->GetStringSelection(), "Normal");
    selector->SetValue("12.5");
    EXPECT_EQ(choice->GetStringSelection(), "Custom:");
    EXPECT_EQ(selector->GetValue(), "12.5");
    EXPECT_TRUE(m_Events.empty()) << "the composite keeps its children's events";
}

TEST_F(DropdownTest, NumberSelectorPickingANameWritesItsNumberAndCustomItsStartText)
{
    auto* selector = new wxsNumberSelector(m_Dialog, wxID_ANY, Levels(), {"", "", "enter a number"});
    wxsChoice* choice = selector->GetChoice();
    wxsTextCtrl* field = selector->GetTextCtrl();

    Pick(choice, "High");
    EXPECT_EQ(field->GetValue(), "10");
    Pick(choice, "Custom:");
    EXPECT_EQ(field->GetValue(), "enter a number");
    long from = -1;
    long to = -1;
    field->GetSelection(&from, &to);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, field->GetLastPosition()) << "the whole text is selected for typing";

    // A custom number in the field stays when the custom entry is picked again.
    field->ChangeValue("42");
    Pick(choice, "Custom:");
    EXPECT_EQ(field->GetValue(), "42");
}

TEST_F(DropdownTest, NumberSelectorCarriesTheSignInItsNegativeEntry)
{
    auto* selector = new wxsNumberSelector(m_Dialog, wxID_ANY, Levels(), {"Other", "Negative", "", "1"});
    wxsChoice* choice = selector->GetChoice();
    wxsTextCtrl* field = selector->GetTextCtrl();
    EXPECT_EQ(Items(choice), (std::vector<wxString>{"Low", "High", "Normal", "Other", "Negative"}));

    field->SetValue("-5");
    EXPECT_EQ(field->GetValue(), "5");
    EXPECT_EQ(choice->GetStringSelection(), "Negative");
    EXPECT_EQ(selector->GetValue(), "-5");
    field->SetValue("8");
    EXPECT_EQ(choice->GetStringSelection(), "Negative") << "typing keeps the sign entry";
    EXPECT_EQ(selector->GetValue(), "-8");

    selector->SetValue("-7");
    EXPECT_EQ(choice->GetStringSelection(), "Negative");
    EXPECT_EQ(field->GetValue(), "7");

    Pick(choice, "Low");
    Pick(choice, "Negative");
    EXPECT_EQ(field->GetValue(), "1") << "labels[3] replaces a named number";
    EXPECT_EQ(selector->GetValue(), "-1");
}

TEST_F(DropdownTest, NumberSelectorStylesAndChildFocusLoss)
{
    auto* readOnly = new wxsNumberSelector(m_Dialog, wxID_ANY, Levels(), {}, 1 | 2);
    EXPECT_TRUE(readOnly->GetTextCtrl()->HasFlag(wxTE_READONLY));
    EXPECT_FALSE(readOnly->GetTextCtrl()->HasFlag(wxTE_PROCESS_ENTER));
    EXPECT_FALSE(readOnly->GetChoice()->IsThisEnabled());

    auto* enter = new wxsNumberSelector(m_Dialog, 321, Levels(), {}, 2);
    EXPECT_TRUE(enter->GetTextCtrl()->HasFlag(wxTE_PROCESS_ENTER));
    EXPECT_TRUE(enter->GetChoice()->IsThisEnabled());

    std::vector<std::pair<int, wxObject*>> losses;
    enter->Bind(wxEVT_KILL_FOCUS, [&](wxFocusEvent& event) {
        losses.push_back({event.GetId(), event.GetEventObject()});
    });
    wxFocusEvent fieldLoss(wxEVT_KILL_FOCUS, enter->GetTextCtrl()->GetId());
    fieldLoss.SetEventObject(enter->GetTextCtrl());
    enter->GetTextCtrl()->HandleWindowEvent(fieldLoss);
    wxFocusEvent choiceLoss(wxEVT_KILL_FOCUS, enter->GetChoice()->GetId());
    choiceLoss.SetEventObject(enter->GetChoice());
    enter->GetChoice()->HandleWindowEvent(choiceLoss);
    ASSERT_EQ(losses.size(), 2u);
    for (const auto& [id, object] : losses)
    {
        EXPECT_EQ(id, 321);
        EXPECT_EQ(object, enter);
    }
}

// ---------------------------------------------------------------- slider

TEST_F(DropdownTest, SliderFieldIsCorrectedToTheRange)
{
    auto* slider = new wxsSlider(m_Dialog, wxID_ANY, 20, 0, 100);
    EXPECT_EQ(slider->GetValue(), "20");

    slider->SetValue("150");
    EXPECT_EQ(slider->GetSlider()->GetValue(), 100);
    EXPECT_EQ(slider->GetValue(), "100");
    slider->SetValue("50");
    EXPECT_EQ(slider->GetSlider()->GetValue(), 50);
    EXPECT_EQ(slider->GetValue(), "50");
    slider->SetValue("99999999999999999999");
    EXPECT_EQ(slider->GetValue(), "0") << "unparsable as a long: 0";
    slider->SetValue("abc");
    EXPECT_EQ(slider->GetSlider()->GetValue(), 0);
    EXPECT_EQ(slider->GetValue(), "0") << "no number: corrected to the range";

    auto* offset = new wxsSlider(m_Dialog, wxID_ANY, 30, 10, 90);
    offset->SetValue("ten");
    EXPECT_EQ(offset->GetSlider()->GetValue(), 10);
    EXPECT_EQ(offset->GetValue(), "10");

    // Moving the slider writes the field.
    slider->GetSlider()->SetValue(73);
    SendCommand(slider->GetSlider(), wxEVT_SLIDER, 73);
    EXPECT_EQ(slider->GetValue(), "73");
}

TEST_F(DropdownTest, DecimalSliderWorksInThousandths)
{
    auto* slider = new wxsSlider(m_Dialog, wxID_ANY, 0.5, 0.0, 1.0);
    wxSlider* bar = slider->GetSlider();
    EXPECT_EQ(bar->GetMax(), 1000);
    EXPECT_EQ(slider->GetValue(), "0.5");

    bar->SetValue(250);
    SendCommand(bar, wxEVT_SLIDER, 250);
    EXPECT_EQ(slider->GetValue(), "0.25");

    slider->SetValue("0.2567");
    EXPECT_EQ(bar->GetValue(), 256);
    EXPECT_EQ(slider->GetValue(), "0.2567");
    slider->SetValue("0.29");
    EXPECT_EQ(bar->GetValue(), 290) << "three typed places are not cut short";
    slider->SetValue("1e300");
    EXPECT_EQ(bar->GetValue(), 1000);
    EXPECT_EQ(slider->GetValue(), "1");
    slider->SetValue("nan");
    EXPECT_EQ(bar->GetValue(), 0);
    EXPECT_EQ(slider->GetValue(), "0");

    std::vector<int> losses;
    slider->Bind(wxEVT_KILL_FOCUS, [&](wxFocusEvent& event) { losses.push_back(event.GetId()); });
    wxFocusEvent loss(wxEVT_KILL_FOCUS, bar->GetId());
    bar->HandleWindowEvent(loss);
    EXPECT_EQ(losses, (std::vector<int>{slider->GetId()}));
}
