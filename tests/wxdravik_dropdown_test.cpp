// Drop-downs and numeric entry, driven by synthetic events: the choice, the
// combo box, the check list box, the number selector and the slider.
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
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

wxColour Plus(ColorName name, int amount)
{
    return AdjustColour(wxsGetColor(name), amount, amount, amount);
}

wxColour Faded(const wxColour& colour)
{
    return BlendColour(colour, wxsGetColor(COLOR_BACKGROUND), 0.3);
}

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
bool SendKey(wxWindow* window, int key, int unicode = 0, bool control = false)
{
    wxKeyEvent event(wxEVT_KEY_DOWN);
    event.m_keyCode = key;
    event.m_uniChar = unicode ? unicode : key;
    event.SetControlDown(control);
    event.SetEventObject(window);
    return window->HandleWindowEvent(event);
}

void SendMouse(wxWindow* window, int x, int y)
{
    wxMouseEvent event(wxEVT_LEFT_DOWN);
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

/// Sends each child's focus loss; returns the (id, object) pairs the composite passed on.
std::vector<std::pair<int, wxObject*>> LoseFocus(wxWindow* composite, std::initializer_list<wxWindow*> children)
{
    auto losses = std::make_shared<std::vector<std::pair<int, wxObject*>>>();
    composite->Bind(wxEVT_KILL_FOCUS,
                    [losses](wxFocusEvent& e) { losses->push_back({e.GetId(), e.GetEventObject()}); });
    for (wxWindow* child : children)
    {
        wxFocusEvent loss(wxEVT_KILL_FOCUS, child->GetId());
        loss.SetEventObject(child);
        child->HandleWindowEvent(loss);
    }
    return *losses;
}

struct Received
{
    wxEventType type;
    int id;
    int value;
    wxObject* object;
};

/// A dialog that is never shown, recording the command events that reach it.
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
        for (const auto& type : {wxEVT_COMBOBOX, wxEVT_TEXT, wxEVT_TEXT_ENTER, wxEVT_CHECKLISTBOX})
            m_Dialog->Bind(type, record);
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
    void ExpectEvent(size_t index, wxEventType type, int id, wxObject* object) const
    {
        ASSERT_LT(index, m_Events.size());
        EXPECT_EQ(m_Events[index].type, type);
        EXPECT_EQ(m_Events[index].id, id);
        EXPECT_EQ(m_Events[index].object, object);
    }

    wxDialog* m_Dialog = nullptr;
    std::vector<Received> m_Events;
};

/// Counts its instances, to see the controls delete the client objects they own.
class CountedData : public wxClientData
{
public:
    explicit CountedData(int& live) : m_Live(live) { ++m_Live; }
    ~CountedData() override { --m_Live; }

private:
    int& m_Live;
};
}  // namespace

// ---------------------------------------------------------------- choice

TEST_F(DropdownTest, ChoiceSelectsByFirstLetterWithOneEventPerKey)
{
    const wxString words[] = {"beta", "Alpha", "apple"};
    auto* choice = new wxsChoice(m_Dialog, 4711, wxDefaultPosition, wxDefaultSize, 3, words);
    EXPECT_EQ(choice->GetStringSelection(), "");

    EXPECT_TRUE(SendKey(choice, 'a'));
    EXPECT_EQ(choice->GetStringSelection(), "Alpha");
    ASSERT_EQ(m_Events.size(), 1u);
    ExpectEvent(0, wxEVT_COMBOBOX, 4711, choice);
    EXPECT_TRUE(SendKey(choice, 'A'));  // the same letter keeps the first match, one more event
    EXPECT_EQ(choice->GetSelection(), 1);
    EXPECT_EQ(Values(wxEVT_COMBOBOX), (std::vector<int>{1, 1}));

    EXPECT_TRUE(SendKey(choice, '7')) << "a digit nothing starts with is used up";
    EXPECT_EQ(choice->GetSelection(), 1);
    EXPECT_EQ(m_Events.size(), 2u);
    EXPECT_TRUE(SendKey(choice, 'B'));
    EXPECT_EQ(choice->GetStringSelection(), "beta");
    SendKey(choice, 'A', 0, true);  // shortcuts are not first letters
    EXPECT_EQ(choice->GetStringSelection(), "beta");
    EXPECT_EQ(m_Events.size(), 3u);
}

TEST_F(DropdownTest, ChoiceSizesAndClientData)
{
    wxScreenDC dc;
    dc.SetFont(*wxNORMAL_FONT);
    auto* empty = new wxsChoice(m_Dialog, wxID_ANY);
    EXPECT_EQ(empty->GetBestSize(), dc.GetTextExtent("M") + wxSize(10, 6));
    EXPECT_EQ(empty->GetMinClientSize(), dc.GetTextExtent("M") + wxSize(10, 6));
    const wxString long_[] = {"a", "a much longer item text"};
    auto* filled = new wxsChoice(m_Dialog, wxID_ANY, wxDefaultPosition, wxDefaultSize, 2, long_);
    EXPECT_EQ(filled->GetBestSize(), dc.GetTextExtent(long_[1]) + wxSize(10, 6));

    int live = 0;
    {
        // Items without data first: the toolkit's own store would be indexed past its end.
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
    int a = 1, b = 2;
    sorted.Append("b", &b);
    sorted.Append("a", &a);
    EXPECT_EQ(sorted.GetClientData(0), &a);
    EXPECT_EQ(sorted.GetClientData(1), &b);
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
    choice->Popup();
    choice->HidePopup(true);  // closed by a pick: the guard ends all the same
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
    const int n = size.y / 2, x = size.x / 2;
    const auto face = [&] {
        return Draw(size, [&](wxDC& dc) { choice->OnDrawBackground(dc, wxRect(size), 0, wxODCB_PAINTING_CONTROL); });
    };
    const wxSize row(120, 20);
    const auto drawRow = [&](int item, int flags) {
        return Draw(row, [&](wxDC& dc) {
            choice->OnDrawBackground(dc, wxRect(row), item, flags);
            choice->OnDrawItem(dc, wxRect(row), item, flags);
        });
    };
    const wxRect text(6, 0, 60, 20);

    // Closed: raised from BACKGROUND_LIGHT + 25 faded 30% to the background
    // (base 103, edge 81), the outermost rows the bevel.
    const wxImage closed = face();
    const wxColour grey103(103, 103, 103), grey81(81, 81, 81);
    EXPECT_EQ(At(closed, x, 0), Rgb(wxsGetColor(COLOR_EDGE_LIGHT)));
    EXPECT_EQ(At(closed, x, size.y - 1), Rgb(wxsGetColor(COLOR_EDGE_DARK)));
    EXPECT_EQ(At(closed, x, 1), Rgb(Band(grey103, grey81, 1, n)));
    EXPECT_EQ(At(closed, x, size.y - 2), Rgb(Band(grey103, grey81, 1, n)));
    EXPECT_EQ(At(closed, x, n), Rgb(Band(grey103, grey81, n - 1, n)));

    // Open: sunken from FIELD, faded too, the bevel swapped.
    choice->Popup();
    const wxImage open = face();
    choice->Dismiss();
    const wxColour field = Faded(wxsGetColor(COLOR_FIELD));
    EXPECT_EQ(At(open, x, 0), Rgb(wxsGetColor(COLOR_EDGE_DARK)));
    EXPECT_EQ(At(open, x, size.y - 1), Rgb(wxsGetColor(COLOR_EDGE_LIGHT)));
    EXPECT_EQ(At(open, x, 1), Rgb(Band(field, AdjustColour(field, 12, 12, 12), 1, n)));

    // Selected row: highlight, 25 darker at top and bottom, text in FIELD;
    // other rows flat BACKGROUND_LIGHT with TEXT.
    const wxImage selected = drawRow(0, wxODCB_PAINTING_SELECTED);
    EXPECT_EQ(At(selected, 100, 0), Rgb(Plus(COLOR_HIGHLIGHT, -25)));
    EXPECT_EQ(At(selected, 100, 19), Rgb(Plus(COLOR_HIGHLIGHT, -25)));
    EXPECT_TRUE(RegionHas(selected, text, wxsGetColor(COLOR_FIELD)));
    const wxImage plain = drawRow(1, 0);
    EXPECT_EQ(At(plain, 100, 0), Rgb(wxsGetColor(COLOR_BACKGROUND_LIGHT)));
    EXPECT_TRUE(RegionHas(plain, text, wxsGetColor(COLOR_TEXT)));
    // Light schemes' field is nearly white: selected rows take the text colour.
    wxsSetColorScheme(SCHEME_LIGHT);
    const wxImage light = drawRow(0, wxODCB_PAINTING_SELECTED);
    EXPECT_TRUE(RegionHas(light, text, wxsGetColor(COLOR_TEXT)));
    EXPECT_FALSE(RegionHas(light, text, wxsGetColor(COLOR_FIELD)));
    wxsSetColorScheme(SCHEME_DARK);
}

// ---------------------------------------------------------------- combo box

TEST_F(DropdownTest, ComboBoxReemitsItsFieldsEventsAndFadesWhenDisabled)
{
    const wxString words[] = {"frame_0001.exr", "frame_0002.exr"};
    auto* combo = new TestCombo(m_Dialog, 5150, "start", wxPoint(0, 0), wxSize(200, 24), 2, words, wxTE_PROCESS_ENTER);
    auto* field = dynamic_cast<wxsTextCtrl*>(combo->GetTextCtrl());
    ASSERT_NE(field, nullptr) << "the text field is the library's";
    EXPECT_EQ(combo->GetValue(), "start");
    m_Events.clear();
    field->SetValue("typed");
    SendCommand(field, wxEVT_TEXT_ENTER);
    ASSERT_EQ(m_Events.size(), 2u);
    ExpectEvent(0, wxEVT_TEXT, 5150, combo);
    ExpectEvent(1, wxEVT_TEXT_ENTER, 5150, combo);
    EXPECT_EQ(combo->GetValue(), "typed");

    // The field lies left of the painted arrow button.
    const wxSize size = combo->GetClientSize();
    const int button = combo->GetArrowButtonWidth();
    EXPECT_LE(field->GetRect().GetRight(), size.x - button);
    EXPECT_GT(field->GetRect().width, 100);
    const auto expectFace = [&](const wxColour& fieldFace, const wxColour& buttonFace, const wxColour& arrow) {
        const wxImage face = Draw(size, [&](wxDC& dc) {
            dc.SetFont(combo->GetFont());
            combo->OnDrawBackground(dc, wxRect(size), wxNOT_FOUND, wxODCB_PAINTING_CONTROL);
        });
        EXPECT_EQ(At(face, 10, size.y / 2), Rgb(fieldFace));
        EXPECT_EQ(At(face, size.x - button + 1, 2), Rgb(buttonFace));
        EXPECT_EQ(At(face, size.x - button / 2, size.y / 2 - 1), Rgb(arrow));
    };
    expectFace(wxsGetColor(COLOR_FIELD), Plus(COLOR_CONTROL, 20), Plus(COLOR_GLYPH, -20));
    EXPECT_TRUE(combo->Disable());
    EXPECT_FALSE(field->IsThisEnabled()) << "the field follows";
    const wxColour background = wxsGetColor(COLOR_BACKGROUND);
    expectFace(background, Faded(Plus(COLOR_CONTROL, 20)), Faded(Plus(COLOR_GLYPH, -20)));
    // The field keeps its own disabled look rather than the combo's colours.
    EXPECT_EQ(Rgb(field->GetBackgroundColour()), Rgb(background));
}

// ---------------------------------------------------------------- check list box

TEST_F(DropdownTest, CheckListBoxMenuKeysAndClicks)
{
    const wxString words[] = {"one", "two", "three"};
    auto* list = new wxsCheckListBox(m_Dialog, 77, wxPoint(0, 0), wxSize(200, 200), 3, words);
    EXPECT_FALSE(list->IsAnyChecked());
    // The menu checks all or none, then sends -1.
    wxCommandEvent all(wxEVT_MENU, wxsCheckListBox::ID_CHECK_ALL);
    list->HandleWindowEvent(all);
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{1, 1, 1, -1}));
    m_Events.clear();
    wxCommandEvent none(wxEVT_MENU, wxsCheckListBox::ID_CHECK_NONE);
    list->HandleWindowEvent(none);
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{0, 0, 0, -1}));
    EXPECT_FALSE(list->IsAnyChecked());
    m_Events.clear();

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
    for (size_t i = 0; i < m_Events.size(); ++i)
        ExpectEvent(i, wxEVT_CHECKLISTBOX, 77, list);
    EXPECT_TRUE(SendKey(list, 'x')) << "other keys are used up too";
    EXPECT_EQ(m_Events.size(), 7u);
    EXPECT_FALSE(SendKey(list, WXK_TAB)) << "but Tab leaves the list";

    // Clicks on the text select, on the box toggle too.
    m_Events.clear();
    const int h = list->GetItemHeight();
    SendMouse(list, h + 20, h + h / 2);
    EXPECT_EQ(list->GetSelection(), 1);
    EXPECT_FALSE(list->IsChecked(1));
    EXPECT_TRUE(m_Events.empty());
    SendMouse(list, h / 2, 2 * h + h / 2);
    EXPECT_EQ(list->GetSelection(), 2);
    EXPECT_TRUE(list->IsChecked(2));
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{1}));
    SendMouse(list, h / 2, 3 * h + 2);  // below the last item
    EXPECT_EQ(list->GetSelection(), 2);
    EXPECT_EQ(m_Events.size(), 1u);

    // Selected row in the highlight with white text, the checked box filled.
    const wxImage image = Draw(list->GetClientSize(), [&](wxDC& dc) { list->OnDraw(dc); });
    const wxColour highlight = wxsGetColor(COLOR_HIGHLIGHT);
    EXPECT_EQ(At(image, 150, 2 * h + h / 2), Rgb(highlight));
    EXPECT_TRUE(RegionHas(image, wxRect(h + 2, 2 * h + 1, 40, h - 2), *wxWHITE));
    EXPECT_EQ(At(image, h / 2, 2 * h + h / 2), Rgb(highlight)) << "checked box";
    EXPECT_EQ(At(image, 150, h / 2), Rgb(k_Sentinel)) << "only the selected row is filled";
    // Disabled: the boxes and the selection fade towards the background.
    list->Disable();
    const wxImage faded = Draw(list->GetClientSize(), [&](wxDC& dc) { list->OnDraw(dc); });
    EXPECT_EQ(At(faded, 150, 2 * h + h / 2), Rgb(Faded(highlight)));
    EXPECT_EQ(At(faded, h / 2, h / 2), Rgb(Faded(wxsGetColor(COLOR_CONTROL))));
    EXPECT_EQ(Rgb(list->GetBackgroundColour()), Rgb(wxsGetColor(COLOR_BACKGROUND)));

    m_Events.clear();
    list->Clear();
    list->CheckAll();
    EXPECT_EQ(Values(wxEVT_CHECKLISTBOX), (std::vector<int>{-1})) << "an empty list sends only the end";
}

TEST_F(DropdownTest, CheckListBoxIsAnItemContainer)
{
    // Lower than its rows, so that the virtual height shows.
    auto* list = new wxsCheckListBox(m_Dialog, wxID_ANY, wxDefaultPosition, wxSize(200, 10), wxArrayString());
    int a = 1, b = 2;
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
    return {{"1", "Low"}, {"10", "High"}, {"5", "Normal"}};
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
}  // namespace

TEST_F(DropdownTest, NumberSelectorFollowsTypingAndPicking)
{
    auto* selector = new wxsNumberSelector(m_Dialog, wxID_ANY, Levels(), {"", "", "enter a number"});
    wxsChoice* choice = selector->GetChoice();
    wxsTextCtrl* field = selector->GetTextCtrl();
    EXPECT_EQ(Items(choice), (std::vector<wxString>{"Low", "High", "Normal", "Custom:"})) << "key order";

    // Typed or set text (value, shown entry, value read back).
    const std::vector<std::tuple<wxString, wxString, wxString>> texts = {
        {"10", "High", "10"}, {"high", "High", "high"}, {"-3", "Custom:", "-3"}};  // no negative entry
    for (const auto& [text, entry, value] : texts)
    {
        field->SetValue(text);
        EXPECT_EQ(choice->GetStringSelection(), entry) << text;
        EXPECT_EQ(selector->GetValue(), value) << "kept as typed";
    }
    selector->SetValue("NORMAL");
    EXPECT_EQ(choice->GetStringSelection(), "Normal");
    selector->SetValue("12.5");
    EXPECT_EQ(choice->GetStringSelection(), "Custom:");
    EXPECT_EQ(selector->GetValue(), "12.5");
    EXPECT_TRUE(m_Events.empty()) << "the composite keeps its children's events";

    // Picking a name writes its number; the custom entry its start text, selected.
    Pick(choice, "High");
    EXPECT_EQ(field->GetValue(), "10");
    Pick(choice, "Custom:");
    EXPECT_EQ(field->GetValue(), "enter a number");
    long from = -1, to = -1;
    field->GetSelection(&from, &to);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, field->GetLastPosition());
    field->ChangeValue("42");  // a custom number stays when picked again
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
    EXPECT_EQ(LoseFocus(enter, {enter->GetTextCtrl(), enter->GetChoice()}),
              (std::vector<std::pair<int, wxObject*>>{{321, enter}, {321, enter}}));
}

// ---------------------------------------------------------------- slider

TEST_F(DropdownTest, SlidersCorrectTheFieldToTheRange)
{
    // (typed, slider position, text read back)
    using Cases = std::vector<std::tuple<wxString, int, wxString>>;
    const auto expectTyped = [](wxsSlider* slider, const Cases& cases) {
        for (const auto& [typed, position, text] : cases)
        {
            slider->SetValue(typed);
            EXPECT_EQ(slider->GetSlider()->GetValue(), position) << typed;
            EXPECT_EQ(slider->GetValue(), text) << typed;
        }
    };
    auto* slider = new wxsSlider(m_Dialog, wxID_ANY, 20, 0, 100);
    EXPECT_EQ(slider->GetValue(), "20");
    expectTyped(slider, {{"150", 100, "100"}, {"50", 50, "50"}, {"99999999999999999999", 0, "0"}, {"abc", 0, "0"}});
    expectTyped(new wxsSlider(m_Dialog, wxID_ANY, 30, 10, 90), {{"ten", 10, "10"}});
    slider->GetSlider()->SetValue(73);  // moving the slider writes the field
    SendCommand(slider->GetSlider(), wxEVT_SLIDER, 73);
    EXPECT_EQ(slider->GetValue(), "73");

    // Decimal bounds: thousandths on the slider, the typed places kept.
    auto* decimal = new wxsSlider(m_Dialog, wxID_ANY, 0.5, 0.0, 1.0);
    wxSlider* bar = decimal->GetSlider();
    EXPECT_EQ(bar->GetMax(), 1000);
    EXPECT_EQ(decimal->GetValue(), "0.5");
    bar->SetValue(250);
    SendCommand(bar, wxEVT_SLIDER, 250);
    EXPECT_EQ(decimal->GetValue(), "0.25");
    expectTyped(decimal, {{"0.2567", 256, "0.2567"}, {"0.29", 290, "0.29"}, {"1e300", 1000, "1"}, {"nan", 0, "0"}});
    const auto losses = LoseFocus(decimal, {bar});
    ASSERT_EQ(losses.size(), 1u);
    EXPECT_EQ(losses[0].first, decimal->GetId());
}
