// The dialog base, the confirmations, the message box and the text prompt.
// Modal dialogs are driven by actions queued before ShowModal, with a timer
// that ends a dialog left waiting so that a fault cannot hang the run.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include <wx/button.h>
#include <wx/settings.h>
#include <wx/timer.h>

#include "harness/gui_harness.h"
#include "wxdravik/wxconfirmdlg.h"
#include "wxdravik/wxdravikcolors.h"
#include "wxdravik/wxdravikdlg.h"
#include "wxdravik/wxdravikstring.h"
#include "wxdravik/wxstextctrl.h"

using namespace dravik_test;

namespace
{
const int k_Abandoned = -99;  // what a dialog left waiting returns

/// A dialog of the base with a label, a text field and the OK/Cancel row,
/// opened up for the tests.
class TestDlg : public wxDravikDlg
{
public:
    TestDlg(const String& name, bool modal, bool buttons = true) : wxDravikDlg(nullptr, "Test", name, modal)
    {
        wxBoxSizer* sizer = StartControls();
        sizer->Add(NewStatic("A label", nullptr), 0, wxALL, 5);
        m_Field = new wxsTextCtrl(this, wxID_ANY, "field");
        sizer->Add(m_Field, 0, wxEXPAND | wxALL, 5);
        if (buttons)
            AddButtons(sizer, true);
    }

    using wxDravikDlg::AddButtons;
    using wxDravikDlg::NewLine;
    using wxDravikDlg::NewStatic;
    using wxDravikDlg::NewStaticLine;

    static size_t LiveCount()
    {
        std::lock_guard<std::mutex> lock(s_DialogsMutex);
        return s_Dialogs.size();
    }

    wxsTextCtrl* m_Field;
};

/// Counts the emissions of a class-wide signal while it lives.
class SignalCounter : public HasSlots<>
{
public:
    explicit SignalCounter(Signal0<>& signal) { signal.Connect(this, &SignalCounter::Count); }
    void Count() { ++m_Count; }
    int m_Count = 0;
};

/// Whether the core log gets the line at info level while action runs.
bool LogsInfo(const String& line, const std::function<void()>& action)
{
    std::atomic<bool> seen{false};
    const int id = Log::s_GlobalLog.AddObserver([&](LogLevel level, const String& text) {
        if (level == LOG_INFO && text == line)
            seen = true;
    });
    action();
    Log::s_GlobalLog.RemoveObserver(id);
    return seen;
}

/// Runs the action inside the modal loop of whatever ShowModal call run
/// makes, and ends a dialog still waiting after a bounded time.
int RunModal(const std::function<int()>& run, const std::function<void()>& action)
{
    wxTheApp->CallAfter([action] { action(); });
    wxTimer guard;
    guard.Bind(wxEVT_TIMER, [](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
                dialog->EndModal(k_Abandoned);
    });
    guard.StartOnce(10000);
    return run();
}

int ShowModal(wxDialog* dialog, const std::function<void()>& action)
{
    return RunModal([dialog] { return dialog->ShowModal(); }, action);
}

/// The innermost dialog in its modal loop.
wxDravikDlg* ModalDialog()
{
    wxDravikDlg* found = nullptr;
    for (wxWindow* window : wxTopLevelWindows)
        if (auto* dialog = dynamic_cast<wxDravikDlg*>(window); dialog && dialog->IsModal())
            found = dialog;
    return found;
}

void Click(wxWindow* dialog, int id)
{
    wxsButton* button = dialog ? dynamic_cast<wxsButton*>(dialog->FindWindow(id)) : nullptr;
    ASSERT_NE(button, nullptr) << "no library button " << id;
    button->EmulateClick();
}

/// Sends a key the way the toolkit offers it first; true when it was used.
bool CharHook(wxWindow* target, int key)
{
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = key;
    event.SetEventObject(target);
    return target->HandleWindowEvent(event);
}

/// Closes the window as its close box does.
void CloseBox(wxWindow* window)
{
    window->Close();
}

/// Lets destroyed top-level windows go.
void Settle()
{
    FlushEvents();
    wxTheApp->ProcessIdle();
}

bool ConfirmHas(const String& key)
{
    return DravikApp::GetOptions().HasKey("Confirm", key);
}

wxCheckBoxBase* CheckBoxOf(wxWindow* dialog)
{
    return dynamic_cast<wxCheckBoxBase*>(wxWindow::FindWindowByName(wxCheckBoxNameStr, dialog));
}

/// Whether the check box was built with that label: the control keeps its
/// label to itself, but sizes itself by it.
bool CheckBoxShows(wxCheckBoxBase* box, const wxString& label)
{
    wxsCheckBox reference(box->GetParent(), wxID_ANY, label);
    const bool same = reference.GetBestSize() == box->GetBestSize();
    reference.Hide();
    return same;
}
}

TEST(DialogTest, StylesFontsAndFactories)
{
    const long fixed = 0x20081808;
    TestDlg unnamed("", true);
    TestDlg modal("StyleModal", true);
    TestDlg modeless("StyleModeless", false);
    EXPECT_EQ(unnamed.GetWindowStyleFlag(), fixed);
    EXPECT_EQ(modal.GetWindowStyleFlag(), fixed | wxRESIZE_BORDER);
    EXPECT_EQ(modeless.GetWindowStyleFlag(), fixed | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX);
    EXPECT_EQ(modal.GetFont(), wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    // Unhandled command events travel on to the parent.
    for (wxDravikDlg* dialog : {static_cast<wxDravikDlg*>(&unnamed), static_cast<wxDravikDlg*>(&modeless)})
        EXPECT_FALSE(dialog->GetExtraStyle() & wxWS_EX_BLOCK_EVENTS);

    // Two-step creation: registered, colour-managed (without toolkit
    // complaints about a window not created yet), events not blocked.
    struct TwoStep : wxDravikDlg
    {
        TwoStep() : wxDravikDlg("StyleModeless", false) { Create(nullptr, wxID_ANY, "two-step"); }
    } twoStep;
    EXPECT_EQ(twoStep.GetCascade(), 1);
    EXPECT_FALSE(twoStep.GetExtraStyle() & wxWS_EX_BLOCK_EVENTS);
    EXPECT_EQ(twoStep.GetBackgroundColour(), wxsGetColor(COLOR_BACKGROUND));

    // OK first and the default, Cancel after it, in a row.
    auto* ok = dynamic_cast<wxsButton*>(modal.FindWindow(wxID_OK));
    auto* cancel = dynamic_cast<wxsButton*>(modal.FindWindow(wxID_CANCEL));
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->GetLabel(), "OK");
    EXPECT_EQ(cancel->GetLabel(), "Cancel");
    EXPECT_EQ(modal.GetDefaultItem(), ok);
    // A vertical row takes the buttons without the toolkit's complaint about
    // vertical centring.
    TestDlg column("", true, false);
    column.AddButtons(static_cast<wxBoxSizer*>(column.GetSizer()), false);
    EXPECT_EQ(column.GetSizer()->GetItemCount(), 4u);

    const wxFont plain = modal.NewStatic("plain", nullptr)->GetFont();
    const wxFont bold = modal.NewStatic("bold", true, true, 3, 0, nullptr)->GetFont();
    EXPECT_EQ(bold.GetWeight(), wxFONTWEIGHT_BOLD);
    EXPECT_EQ(bold.GetStyle(), wxFONTSTYLE_ITALIC);
    EXPECT_EQ(bold.GetPointSize(), plain.GetPointSize() + 3);
    EXPECT_EQ(modal.NewStatic("red", nullptr, COLOR_HEADER)->GetForegroundColour(), wxsGetColor(COLOR_HEADER));
    wxWindow* line = modal.NewLine(nullptr);
    EXPECT_EQ(line->GetSize().y, 1);
    EXPECT_EQ(line->GetBackgroundColour(), wxsGetColor(COLOR_TEXT_DISABLED));
    wxsStaticText* label = nullptr;
    std::unique_ptr<wxSizer> ruled(modal.NewStaticLine("Section", nullptr, &label));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetForegroundColour(), wxsGetColor(COLOR_TEXT_DISABLED));
    EXPECT_EQ(ruled->GetItemCount(), 3u);  // label, gap, rule
}

// Depends on wxSetWindowPos restoring a saved place with an offset.
TEST(DialogTest, DialogsOfOneNameCascadeByCaptionHeight)
{
    ASSERT_LT(wxSystemSettings::GetMetric(wxSYS_CAPTION_Y), 1) << "the step below assumes GTK's unknown caption";
    DravikApp::GetOptions().SetValue("Window", "Cascade", String("100, 100, 300, 200"));

    auto* first = new TestDlg("Cascade", false);
    auto* second = new TestDlg("Cascade", false);
    auto* other = new TestDlg("Other", false);
    EXPECT_EQ(first->GetCascade(), 0);
    EXPECT_EQ(second->GetCascade(), 1);
    EXPECT_EQ(other->GetCascade(), 0);
    first->InitDialog();
    second->InitDialog();
    EXPECT_EQ(first->GetPosition(), wxPoint(100, 100));
    EXPECT_EQ(second->GetPosition(), wxPoint(120, 120));
    EXPECT_EQ(second->GetSize(), wxSize(300, 200));

    delete first;
    delete second;
    delete other;
    auto* again = new TestDlg("Cascade", false);
    EXPECT_EQ(again->GetCascade(), 0);
    again->InitDialog();
    EXPECT_EQ(again->GetPosition(), wxPoint(100, 100));
    delete again;
}

TEST(DialogTest, EnterAndEscapeClickTheLibraryButtons)
{
    TestDlg dialog("", true);
    std::map<int, int> clicks;
    // Bound handlers run before the dialog's own, so nothing ends here.
    dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) { ++clicks[event.GetId()]; });

    EXPECT_TRUE(CharHook(&dialog, WXK_RETURN));
    EXPECT_TRUE(CharHook(&dialog, WXK_NUMPAD_ENTER));
    EXPECT_EQ(clicks[wxID_OK], 2);
    EXPECT_TRUE(CharHook(dialog.m_Field, WXK_ESCAPE));  // offered to the focused field first
    EXPECT_EQ(clicks[wxID_CANCEL], 1);

    // Other keys are left alone.
    EXPECT_FALSE(CharHook(&dialog, 'a'));

    // With the handling off, both keys go on to the focused control.
    dialog.HandleEscapeKey(false);
    EXPECT_FALSE(CharHook(dialog.m_Field, WXK_RETURN));
    EXPECT_FALSE(CharHook(dialog.m_Field, WXK_ESCAPE));
    dialog.HandleEscapeKey(true);

    // No escape id: Escape is swallowed and clicks nothing.
    dialog.SetEscapeId(wxID_NONE);
    EXPECT_TRUE(CharHook(&dialog, WXK_ESCAPE));
    dialog.SetEscapeId(wxID_ANY);

    // A disabled or hidden default button is not clicked; the key is still used.
    dialog.FindWindow(wxID_OK)->Disable();
    EXPECT_TRUE(CharHook(&dialog, WXK_RETURN));
    dialog.FindWindow(wxID_OK)->Enable();
    dialog.FindWindow(wxID_OK)->Hide();
    EXPECT_TRUE(CharHook(&dialog, WXK_RETURN));
    EXPECT_EQ(clicks[wxID_OK], 2);
    EXPECT_EQ(clicks[wxID_CANCEL], 1);

    // Toolkit buttons do not count, nor do the buttons of a dialog over this one.
    TestDlg plain("", true, false);
    new wxButton(&plain, wxID_CANCEL, "Cancel");
    new wxButton(&plain, wxID_OK, "OK");
    TestDlg under("", true, false);
    wxConfirmDlg over(&under, "Over it", "OverKey", true);
    int otherClicks = 0;
    for (wxWindow* window : {static_cast<wxWindow*>(&plain), static_cast<wxWindow*>(&over)})
        window->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++otherClicks; });
    EXPECT_TRUE(CharHook(&plain, WXK_ESCAPE));
    EXPECT_TRUE(CharHook(&under, WXK_ESCAPE));
    EXPECT_EQ(otherClicks, 0);
}

TEST(DialogTest, ModalReturnCodesAndSignals)
{
    SignalCounter started(wxDravikDlg::s_ModalStarted);
    SignalCounter finished(wxDravikDlg::s_ModalFinished);
    TestDlg dialog("", true);

    EXPECT_EQ(ShowModal(&dialog, [&] { Click(&dialog, wxID_OK); }), wxID_OK);
    EXPECT_EQ(ShowModal(&dialog, [&] { Click(&dialog, wxID_CANCEL); }), 0);
    EXPECT_EQ(ShowModal(&dialog, [&] { CharHook(&dialog, WXK_ESCAPE); }), 0);
    EXPECT_EQ(ShowModal(&dialog, [&] { CharHook(&dialog, WXK_NUMPAD_ENTER); }), wxID_OK);
    EXPECT_EQ(started.m_Count, 4);
    EXPECT_EQ(finished.m_Count, 0);  // OK and Cancel end the loop without a close request

    EXPECT_EQ(ShowModal(&dialog, [&] { CloseBox(&dialog); }), wxID_CANCEL);
    EXPECT_EQ(finished.m_Count, 1);

    // Shown without a modal loop, OK hides it with its code.
    dialog.Show();
    Click(&dialog, wxID_OK);
    EXPECT_FALSE(dialog.IsShown());
    EXPECT_EQ(dialog.GetReturnCode(), wxID_OK);

    // CloseAll ends a modal loop and leaves the dialog, here on the stack,
    // to the code that showed it.
    EXPECT_EQ(ShowModal(&dialog, [] { wxDravikDlg::CloseAll(); }), wxID_CANCEL);
    EXPECT_FALSE(wxTheApp->IsScheduledForDestruction(&dialog));
    EXPECT_EQ(TestDlg::LiveCount(), 0u);
    Settle();
}

// The saved text depends on wxSaveWindowPos.
TEST(DialogTest, ModelessCloseSavesPositionAndDestroys)
{
    SignalCounter closed(wxDravikDlg::s_DlgClosed);
    const size_t before = TestDlg::LiveCount();
    // Another open dialog, away from the closed one so that no exposure
    // repaints it: it is repainted because a dialog closed.
    auto* witness = new TestDlg("", false);
    witness->Show();
    witness->SetSize(700, 600, 200, 150);
    int paints = 0;
    witness->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++paints;
        event.Skip();
    });
    auto* dialog = new TestDlg("Modeless", false);
    dialog->Show();
    dialog->SetSize(150, 160, 320, 240);
    ASSERT_TRUE(WaitUntil([&] { return paints > 0; }));
    FlushEvents();
    paints = 0;
    const wxRect placed(dialog->GetPosition(), dialog->GetSize());
    CloseBox(dialog);
    EXPECT_EQ(DravikApp::GetOptions().GetValue("Window", "Modeless", String()),
              wxsFromWx(wxString::Format("%d, %d, %d, %d", placed.x, placed.y, placed.width, placed.height)));
    EXPECT_TRUE(wxTheApp->IsScheduledForDestruction(dialog));
    Settle();
    EXPECT_EQ(closed.m_Count, 1);
    EXPECT_EQ(TestDlg::LiveCount(), before + 1);
    EXPECT_TRUE(WaitUntil([&] { return paints > 0; }, 2000));
    delete witness;

    // OK closes a modeless dialog too, with its code set.
    auto* accepted = new TestDlg("", false);
    int code = 0;
    accepted->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) {
        code = accepted->GetReturnCode();
        event.Skip();
    });
    Click(accepted, wxID_OK);
    EXPECT_EQ(code, wxID_OK);
    EXPECT_TRUE(wxTheApp->IsScheduledForDestruction(accepted));
    Settle();
    EXPECT_EQ(closed.m_Count, 3);

    // CloseAll destroys what is open.
    new TestDlg("", false);
    new TestDlg("Modeless", false);
    wxDravikDlg::CloseAll();
    EXPECT_EQ(TestDlg::LiveCount(), 0u);
    Settle();
    EXPECT_EQ(closed.m_Count, 5);
    EXPECT_EQ(TestDlg::LiveCount(), before);
}

TEST(DialogTest, CloseAllFromAnotherThreadWhileDialogsComeAndGo)
{
    SignalCounter closed(wxDravikDlg::s_DlgClosed);
    auto fromThread = [] { std::thread([] { wxDravikDlg::CloseAllFromNonGuiThread(); }).join(); };

    // A dialog gone before its close runs is not touched, nor is a new one
    // that may take its place in memory.
    for (int round = 0; round < 20; ++round)
    {
        auto* gone = new TestDlg("", false);
        fromThread();
        delete gone;
        auto* successor = new TestDlg("", false);
        int successorCloses = 0;
        successor->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) {
            ++successorCloses;
            event.Skip();
        });
        FlushEvents();
        EXPECT_EQ(successorCloses, 0);
        delete successor;
    }

    // The walks overlap the GUI thread's work: one walk per round, started
    // while the round runs.
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};
    std::thread messenger([&] {
        while (!stop.load())
        {
            const int seen = rounds.load();
            wxDravikDlg::CloseAllFromNonGuiThread();
            while (!stop.load() && rounds.load() == seen)
                std::this_thread::yield();
        }
    });
    int created = 0;
    for (int round = 0; round < 200; ++round)
    {
        auto* kept = new TestDlg("Race", false);
        auto* deleted = new TestDlg("", false);
        created += 2;
        if (round % 20 == 0)
            kept->Show();
        ++rounds;
        FlushEvents();
        delete deleted;
        wxTheApp->ProcessIdle();
    }
    stop = true;
    messenger.join();

    // Whatever is still open closes once the walk reaches it.
    fromThread();
    EXPECT_TRUE(WaitUntil([&] {
        wxTheApp->ProcessIdle();
        return TestDlg::LiveCount() == 0;
    }));
    EXPECT_EQ(closed.m_Count, 40 + created);
}

TEST(ConfirmTest, RememberedAnswerIsNotAskedAgain)
{
    SignalCounter started(wxDravikDlg::s_ModalStarted);
    DravikApp::GetOptions().SetValue("Confirm", "Remembered", true);
    {
        wxConfirmDlg dialog(nullptr, "Go on?", "Remembered", true);
        EXPECT_EQ(dialog.FindWindow(wxID_OK), nullptr);
        EXPECT_TRUE(dialog.Confirm());
    }
    EXPECT_TRUE(LogsInfo("A remembered report",
                         [] { EXPECT_TRUE(wxDravikMessageBox("A remembered report", "Remembered", nullptr)); }));
    EXPECT_EQ(started.m_Count, 0);
}

TEST(ConfirmTest, AlwaysOkIsStoredOnlyByOk)
{
    const String key = "AlwaysOk";
    {
        wxConfirmDlg dialog(nullptr, "Delete the job?", key, true);
        wxCheckBoxBase* box = CheckBoxOf(&dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(CheckBoxShows(box, "This is always OK"));
        EXPECT_FALSE(CheckBoxShows(box, "Don't tell me again"));
        EXPECT_EQ(dialog.GetTitle(), wxsToWx(Application::the_Application->GetName()));
        // Ticked, then cancelled: nothing is remembered.
        EXPECT_FALSE(RunModal([&] { return int(dialog.Confirm()); },
                              [&] {
                                  box->SetValue(true);
                                  Click(&dialog, wxID_CANCEL);
                              }));
        EXPECT_FALSE(ConfirmHas(key));
        // Escape cancels as well.
        EXPECT_FALSE(RunModal([&] { return int(dialog.Confirm()); }, [&] { CharHook(&dialog, WXK_ESCAPE); }));
        EXPECT_FALSE(ConfirmHas(key));
        // Ticked and accepted: remembered.
        EXPECT_TRUE(RunModal([&] { return int(dialog.Confirm()); }, [&] { Click(&dialog, wxID_OK); }));
        EXPECT_TRUE(DravikApp::GetOptions().GetValue("Confirm", key, false));
    }
    SignalCounter started(wxDravikDlg::s_ModalStarted);
    wxConfirmDlg later(nullptr, "Delete the job?", key, true);
    EXPECT_TRUE(later.Confirm());
    EXPECT_EQ(started.m_Count, 0);
}

TEST(ConfirmTest, OkWithTheBoxUntickedWritesFalseAndResetAllForgets)
{
    {
        wxConfirmDlg dialog(nullptr, "Proceed?", "Unticked", true);
        EXPECT_TRUE(RunModal([&] { return int(dialog.Confirm()); }, [&] { Click(&dialog, wxID_OK); }));
    }
    ASSERT_TRUE(ConfirmHas("Unticked"));
    EXPECT_FALSE(DravikApp::GetOptions().GetValue("Confirm", "Unticked", true));

    DravikApp::GetOptions().SetValue("Confirm", "FirstKept", true);
    DravikApp::GetOptions().SetValue("Confirm", "SecondKept", true);
    wxConfirmDlg::ResetAll();
    EXPECT_TRUE(DravikApp::GetOptions().GetKeys("Confirm").empty());

    SignalCounter started(wxDravikDlg::s_ModalStarted);
    wxConfirmDlg asked(nullptr, "Proceed?", "FirstKept", true);
    EXPECT_FALSE(RunModal([&] { return int(asked.Confirm()); }, [&] { Click(&asked, wxID_CANCEL); }));
    EXPECT_EQ(started.m_Count, 1);
}

TEST(ConfirmTest, MessageBoxLogsAndOffersOnlyOk)
{
    bool onlyOk = false;
    bool label = false;
    // Without Cancel, Escape clicks OK.
    EXPECT_TRUE(LogsInfo("Shown report", [&] {
        EXPECT_TRUE(RunModal([] { return int(wxDravikMessageBox("Shown report", "ShownReport", nullptr)); },
                             [&] {
                                 wxDravikDlg* box = ModalDialog();
                                 ASSERT_NE(box, nullptr);
                                 onlyOk = box->FindWindow(wxID_OK) && !box->FindWindow(wxID_CANCEL);
                                 label = CheckBoxShows(CheckBoxOf(box), "Don't tell me again");
                                 CharHook(box, WXK_ESCAPE);
                             }));
    }));
    EXPECT_TRUE(onlyOk);
    EXPECT_TRUE(label);
}

TEST(ConfirmTest, RelabellingTouchesOnlyTheDialogsOwnButtons)
{
    wxConfirmDlg first(nullptr, "First", "RelabelFirst", true);
    wxConfirmDlg second(nullptr, "Second", "RelabelSecond", true);
    second.SetOK("Delete all the selected jobs now");
    second.SetCancel("Keep");
    EXPECT_EQ(second.FindWindow(wxID_OK)->GetLabel(), "Delete all the selected jobs now");
    EXPECT_EQ(second.FindWindow(wxID_CANCEL)->GetLabel(), "Keep");
    EXPECT_EQ(first.FindWindow(wxID_OK)->GetLabel(), "OK");
    EXPECT_EQ(first.FindWindow(wxID_CANCEL)->GetLabel(), "Cancel");
    wxWindow* ok = second.FindWindow(wxID_OK);
    EXPECT_GE(ok->GetSize().x, ok->GetTextExtent(ok->GetLabel()).x);  // the longer label fits

    // A remembered answer leaves a dialog without buttons: nothing else changes.
    DravikApp::GetOptions().SetValue("Confirm", "RelabelSilent", true);
    wxConfirmDlg silent(nullptr, "Silent", "RelabelSilent", true);
    silent.SetOK("Nothing to relabel");
    EXPECT_EQ(first.FindWindow(wxID_OK)->GetLabel(), "OK");
}

TEST(PromptTest, TextAfterOkCancelAndEscape)
{
    // Types into the prompt's field, then ends it with the key or button.
    auto prompt = [](const std::function<void(wxDravikDlg*, wxsTextCtrl*)>& end) {
        wxString result = "unset";
        RunModal([&] { return int((result = wxsGetTextFromUser("Job name:", "Prompt", "default")).length()); },
                 [&] {
                     wxDravikDlg* dialog = ModalDialog();
                     ASSERT_NE(dialog, nullptr);
                     wxsTextCtrl* field = nullptr;
                     for (wxWindow* child : dialog->GetChildren())
                         if (auto* text = dynamic_cast<wxsTextCtrl*>(child))
                             field = text;
                     ASSERT_NE(field, nullptr);
                     EXPECT_EQ(field->GetValue(), "default");
                     // Wider is allowed, taller is not.
                     EXPECT_EQ(dialog->GetMaxClientSize().x, wxDefaultCoord);
                     EXPECT_EQ(dialog->GetMaxClientSize().y, dialog->GetMinClientSize().y);
                     field->ChangeValue("typed");
                     end(dialog, field);
                 });
        return result;
    };
    EXPECT_EQ(prompt([](wxDravikDlg* dialog, wxsTextCtrl*) { Click(dialog, wxID_OK); }), "typed");
    EXPECT_EQ(prompt([](wxDravikDlg*, wxsTextCtrl* field) { CharHook(field, WXK_RETURN); }), "typed");
    EXPECT_EQ(prompt([](wxDravikDlg* dialog, wxsTextCtrl*) { Click(dialog, wxID_CANCEL); }), "");
    EXPECT_EQ(prompt([](wxDravikDlg*, wxsTextCtrl* field) { CharHook(field, WXK_ESCAPE); }), "");
    EXPECT_EQ(prompt([](wxDravikDlg* dialog, wxsTextCtrl*) { CloseBox(dialog); }), "");
}
