// The dialog base, the confirmations, the message box and the text prompt; modal dialogs are
// driven by actions queued before ShowModal, and a timer ends one left waiting.
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
/// A dialog of the base with a label, a text field and the OK/Cancel row, opened up for the tests.
class TestDlg : public wxDravikDlg
{
public:
    TestDlg(const String& name, bool modal, bool buttons = true) : wxDravikDlg(nullptr, "Test", name, modal)
    {
        wxBoxSizer* sizer = StartControls();
        sizer->Add(NewStatic("A label", nullptr), 0, wxALL, 5);
        sizer->Add(m_Field = new wxsTextCtrl(this, wxID_ANY, "field"), 0, wxEXPAND | wxALL, 5);
        if (buttons)
            AddButtons(sizer, true);
    }

    using wxDravikDlg::AddButtons, wxDravikDlg::NewLine, wxDravikDlg::NewStatic, wxDravikDlg::NewStaticLine;

    static size_t LiveCount()
    {
        std::lock_guard<std::mutex> lock(s_DialogsMutex);
        return s_Dialogs.size();
    }

    wxsTextCtrl* m_Field;
};

/// Counts the emissions of a class-wide signal while it lives.
struct SignalCounter : HasSlots<>
{
    explicit SignalCounter(Signal0<>& signal) { signal.Connect(this, &SignalCounter::Count); }
    void Count() { ++m_Count; }
    int m_Count = 0;
};

/// Runs the action inside the modal loop that run starts; a dialog still waiting after 10 s ends with -99.
int RunModal(const std::function<int()>& run, const std::function<void()>& action)
{
    wxTheApp->CallAfter(action);
    wxTimer guard;
    guard.Bind(wxEVT_TIMER, [](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
                dialog->EndModal(-99);
    });
    guard.StartOnce(10000);
    return run();
}

int ShowModal(wxDialog* dialog, const std::function<void()>& action)
{
    return RunModal([dialog] { return dialog->ShowModal(); }, action);
}

/// The newest top-level window: inside RunModal's action, the dialog being shown.
wxDravikDlg* NewestDialog()
{
    return dynamic_cast<wxDravikDlg*>(wxTopLevelWindows.GetLast()->GetData());
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
    return target->HandleWindowEvent(event);
}

/// Whether the dialog's check box was built with that label: the control
/// keeps its label to itself, but sizes itself by it.
bool CheckBoxShows(wxWindow* dialog, const wxString& label)
{
    auto* box = dynamic_cast<wxCheckBoxBase*>(wxWindow::FindWindowByName(wxCheckBoxNameStr, dialog));
    wxsCheckBox reference(dialog, wxID_ANY, label);
    const bool same = box && reference.GetBestSize() == box->GetBestSize();
    reference.Hide();
    return same;
}
}

TEST(DialogTest, StylesFontsAndFactories)
{
    const long fixed = 0x20081808;
    TestDlg unnamed("", true), modal("StyleModal", true), modeless("StyleModeless", false);
    EXPECT_EQ(unnamed.GetWindowStyleFlag(), fixed);
    EXPECT_EQ(modal.GetWindowStyleFlag(), fixed | wxRESIZE_BORDER);
    EXPECT_EQ(modeless.GetWindowStyleFlag(), fixed | wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX);
    EXPECT_EQ(modal.GetFont(), wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    EXPECT_FALSE(modal.GetExtraStyle() & wxWS_EX_BLOCK_EVENTS);  // unhandled commands travel on to the parent

    // Two-step creation: registered, colour-managed without toolkit complaints, events not blocked.
    struct TwoStep : wxDravikDlg
    {
        TwoStep() : wxDravikDlg("StyleModeless", false) { Create(nullptr, wxID_ANY, "two-step"); }
    } twoStep;
    EXPECT_EQ(twoStep.GetCascade(), 1);
    EXPECT_FALSE(twoStep.GetExtraStyle() & wxWS_EX_BLOCK_EVENTS);
    EXPECT_EQ(twoStep.GetBackgroundColour(), wxsGetColor(COLOR_BACKGROUND));

    // OK first and the default, Cancel after it.
    auto* ok = dynamic_cast<wxsButton*>(modal.FindWindow(wxID_OK));
    auto* cancel = dynamic_cast<wxsButton*>(modal.FindWindow(wxID_CANCEL));
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->GetLabel() + "," + cancel->GetLabel(), "OK,Cancel");
    EXPECT_EQ(modal.GetDefaultItem(), ok);
    // A vertical row takes the buttons without the toolkit's complaint about vertical centring.
    TestDlg column("", true, false);
    column.AddButtons(static_cast<wxBoxSizer*>(column.GetSizer()), false);
    EXPECT_EQ(column.GetSizer()->GetItemCount(), 4u);

    const wxFont bold = modal.NewStatic("bold", true, true, 3, 0, nullptr)->GetFont();
    EXPECT_TRUE(bold.GetWeight() == wxFONTWEIGHT_BOLD && bold.GetStyle() == wxFONTSTYLE_ITALIC);
    EXPECT_EQ(bold.GetPointSize(), modal.NewStatic("plain", nullptr)->GetFont().GetPointSize() + 3);
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
    auto first = std::make_unique<TestDlg>("Cascade", false), second = std::make_unique<TestDlg>("Cascade", false);
    EXPECT_EQ(TestDlg("Other", false).GetCascade(), 0);
    first->InitDialog();
    second->InitDialog();
    EXPECT_EQ(first->GetPosition(), wxPoint(100, 100));
    EXPECT_EQ(second->GetPosition(), wxPoint(120, 120));
    first.reset();
    second.reset();
    TestDlg again("Cascade", false);
    again.InitDialog();
    EXPECT_EQ(again.GetPosition(), wxPoint(100, 100));
}

TEST(DialogTest, EnterAndEscapeClickTheLibraryButtons)
{
    TestDlg dialog("", true);
    std::map<int, int> clicks;
    // Bound handlers run before the dialog's own, so nothing ends here.
    dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) { ++clicks[event.GetId()]; });
    EXPECT_TRUE(CharHook(&dialog, WXK_RETURN));
    EXPECT_TRUE(CharHook(dialog.m_Field, WXK_ESCAPE));  // offered to the focused field first
    EXPECT_FALSE(CharHook(&dialog, 'a'));
    dialog.HandleEscapeKey(false);  // both keys go on to the focused control
    EXPECT_FALSE(CharHook(dialog.m_Field, WXK_RETURN) || CharHook(dialog.m_Field, WXK_ESCAPE));
    dialog.HandleEscapeKey(true);
    dialog.SetEscapeId(wxID_NONE);  // Escape is swallowed and clicks nothing
    EXPECT_TRUE(CharHook(&dialog, WXK_ESCAPE));
    dialog.SetEscapeId(wxID_ANY);
    // A disabled or hidden default button is not clicked; the key is still used.
    dialog.FindWindow(wxID_OK)->Disable();
    EXPECT_TRUE(CharHook(&dialog, WXK_RETURN));
    dialog.FindWindow(wxID_OK)->Enable();
    dialog.FindWindow(wxID_OK)->Hide();
    EXPECT_TRUE(CharHook(&dialog, WXK_RETURN));
    EXPECT_EQ((std::map<int, int>{{wxID_OK, 1}, {wxID_CANCEL, 1}}), clicks);

    // Toolkit buttons do not count, nor do the buttons of a dialog over this one.
    TestDlg plain("", true, false), under("", true, false);
    new wxButton(&plain, wxID_CANCEL, "Cancel");
    new wxButton(&plain, wxID_OK, "OK");
    wxConfirmDlg over(&under, "Over it", "OverKey", true);
    for (wxWindow* window : {static_cast<wxWindow*>(&plain), static_cast<wxWindow*>(&over)})
        window->Bind(wxEVT_BUTTON, [](wxCommandEvent&) { ADD_FAILURE() << "clicked a button it must not"; });
    EXPECT_TRUE(CharHook(&plain, WXK_ESCAPE) && CharHook(&under, WXK_ESCAPE));
}

TEST(DialogTest, ModalReturnCodesAndSignals)
{
    SignalCounter started(wxDravikDlg::s_ModalStarted), finished(wxDravikDlg::s_ModalFinished);
    TestDlg dialog("", true);
    EXPECT_EQ(ShowModal(&dialog, [&] { Click(&dialog, wxID_OK); }), wxID_OK);
    EXPECT_EQ(ShowModal(&dialog, [&] { Click(&dialog, wxID_CANCEL); }), 0);
    EXPECT_EQ(ShowModal(&dialog, [&] { CharHook(&dialog, WXK_ESCAPE); }), 0);
    EXPECT_EQ(ShowModal(&dialog, [&] { CharHook(&dialog, WXK_NUMPAD_ENTER); }), wxID_OK);
    EXPECT_EQ(finished.m_Count, 0);  // OK and Cancel end the loop without a close request
    EXPECT_EQ(ShowModal(&dialog, [&] { dialog.Close(); }), wxID_CANCEL);
    EXPECT_EQ(started.m_Count, 5);
    EXPECT_EQ(finished.m_Count, 1);

    // Shown without a modal loop, OK hides it with its code.
    dialog.Show();
    Click(&dialog, wxID_OK);
    EXPECT_TRUE(!dialog.IsShown() && dialog.GetReturnCode() == wxID_OK);

    // CloseAll ends a modal loop and leaves the dialog, here on the stack, to the code that showed it.
    EXPECT_EQ(ShowModal(&dialog, [] { wxDravikDlg::CloseAll(); }), wxID_CANCEL);
    EXPECT_FALSE(wxTheApp->IsScheduledForDestruction(&dialog));
    EXPECT_EQ(TestDlg::LiveCount(), 0u);
    FlushEvents();
    wxTheApp->ProcessIdle();  // lets destroyed dialogs go
}

// The saved text depends on wxSaveWindowPos.
TEST(DialogTest, ModelessCloseSavesPositionAndDestroys)
{
    SignalCounter closed(wxDravikDlg::s_DlgClosed);
    const size_t before = TestDlg::LiveCount();
    // Another open dialog, away from the closed one so that no exposure repaints it: a closing dialog does.
    auto* witness = new TestDlg("", false);
    witness->Show();
    witness->SetSize(700, 600, 200, 150);
    int paints = 0;
    witness->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) { ++paints; event.Skip(); });
    auto* dialog = new TestDlg("Modeless", false);
    dialog->Show();
    dialog->SetSize(150, 160, 320, 240);
    ASSERT_TRUE(WaitUntil([&] { return paints > 0; }));
    FlushEvents();
    paints = 0;
    const wxRect placed = dialog->GetRect();
    dialog->Close();
    EXPECT_EQ(DravikApp::GetOptions().GetValue("Window", "Modeless", String()),
              wxsFromWx(wxString::Format("%d, %d, %d, %d", placed.x, placed.y, placed.width, placed.height)));
    FlushEvents();
    wxTheApp->ProcessIdle();  // lets destroyed dialogs go
    EXPECT_EQ(closed.m_Count, 1);
    EXPECT_EQ(TestDlg::LiveCount(), before + 1);
    EXPECT_TRUE(WaitUntil([&] { return paints > 0; }, 2000));
    delete witness;

    // OK closes a modeless dialog too, with its code set; CloseAll destroys what is open.
    auto* accepted = new TestDlg("", false);
    int code = 0;
    accepted->Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) { code = accepted->GetReturnCode(); event.Skip(); });
    Click(accepted, wxID_OK);
    EXPECT_EQ(code, wxID_OK);
    EXPECT_TRUE(wxTheApp->IsScheduledForDestruction(accepted));
    new TestDlg("", false);
    new TestDlg("Modeless", false);
    wxDravikDlg::CloseAll();
    EXPECT_EQ(TestDlg::LiveCount(), 0u);
    FlushEvents();
    wxTheApp->ProcessIdle();  // lets destroyed dialogs go
    EXPECT_EQ(closed.m_Count, 5);
}

TEST(DialogTest, CloseAllFromAnotherThreadWhileDialogsComeAndGo)
{
    SignalCounter closed(wxDravikDlg::s_DlgClosed);
    auto fromThread = [] { std::thread([] { wxDravikDlg::CloseAllFromNonGuiThread(); }).join(); };
    // A dialog gone before its close runs is not touched, nor is a new one that may take its place in memory.
    for (int round = 0; round < 20; ++round)
    {
        auto* gone = new TestDlg("", false);
        fromThread();
        delete gone;
        std::unique_ptr<TestDlg> successor(new TestDlg("", false));  // likely where the gone one was
        successor->Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent&) { ADD_FAILURE() << "closed a later dialog"; });
        FlushEvents();
    }

    // The walks overlap the GUI thread's work: one walk per round, started while the round runs.
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};
    std::thread messenger([&] {
        for (int seen = 0; !stop; seen = rounds)
        {
            wxDravikDlg::CloseAllFromNonGuiThread();
            while (!stop && rounds == seen)
                std::this_thread::yield();
        }
    });
    for (int round = 0; round < 200; ++round)
    {
        (new TestDlg("Race", false))->Show(round % 20 == 0);
        auto* deleted = new TestDlg("", false);
        ++rounds;
        FlushEvents();
        delete deleted;
        wxTheApp->ProcessIdle();
    }
    stop = true;
    messenger.join();

    fromThread();  // whatever is still open closes once the walk reaches it
    EXPECT_TRUE(WaitUntil([&] {
        wxTheApp->ProcessIdle();
        return TestDlg::LiveCount() == 0;
    }));
    EXPECT_EQ(closed.m_Count, 20 * 2 + 200 * 2);
}

TEST(ConfirmTest, RememberedAnswersAndTheMessageBoxLog)
{
    std::atomic<int> logged{0};
    const int observer = Log::s_GlobalLog.AddObserver([&](LogLevel level, const String& text) {
        logged += level == LOG_INFO && (text == "Not shown" || text == "Shown report");
    });
    // Never shown: showing would wait for a user.
    DravikApp::GetOptions().SetValue("Confirm", "Remembered", true);
    wxConfirmDlg remembered(nullptr, "Go on?", "Remembered", true);
    EXPECT_EQ(remembered.FindWindow(wxID_OK), nullptr);
    EXPECT_TRUE(remembered.Confirm());
    EXPECT_TRUE(wxDravikMessageBox("Not shown", "Remembered", nullptr));
    // Shown: only OK, which Escape clicks for want of Cancel.
    bool onlyOk = false, label = false;
    EXPECT_TRUE(RunModal([] { return int(wxDravikMessageBox("Shown report", "ShownReport", nullptr)); }, [&] {
        wxDravikDlg* box = NewestDialog();
        ASSERT_TRUE(box && box->IsModal());
        onlyOk = box->FindWindow(wxID_OK) && !box->FindWindow(wxID_CANCEL);
        label = CheckBoxShows(box, "Don't tell me again");
        CharHook(box, WXK_ESCAPE);
    }));
    Log::s_GlobalLog.RemoveObserver(observer);
    EXPECT_TRUE(onlyOk && label);
    EXPECT_EQ(logged, 2);
}

TEST(ConfirmTest, AlwaysOkIsStoredOnlyByOkRelabellingIsLocalAndResetAllForgets)
{
    wxConfirmDlg dialog(nullptr, "Delete the job?", "AlwaysOk", true), unticked(nullptr, "Proceed?", "Unticked", true);
    auto labels = [](wxWindow* dialog) {
        return dialog->FindWindow(wxID_OK)->GetLabel() + "," + dialog->FindWindow(wxID_CANCEL)->GetLabel();
    };
    EXPECT_TRUE(CheckBoxShows(&dialog, "This is always OK"));
    EXPECT_EQ(dialog.GetTitle(), wxsToWx(Application::the_Application->GetName()));
    EXPECT_FALSE(RunModal([&] { return int(dialog.Confirm()); }, [&] {
        dynamic_cast<wxCheckBoxBase*>(wxWindow::FindWindowByName(wxCheckBoxNameStr, &dialog))->SetValue(true);
        Click(&dialog, wxID_CANCEL);
    }));
    EXPECT_FALSE(DravikApp::GetOptions().HasKey("Confirm", "AlwaysOk"));  // ticked, then cancelled: nothing stored
    EXPECT_TRUE(RunModal([&] { return int(dialog.Confirm()); }, [&] { Click(&dialog, wxID_OK); }));
    EXPECT_TRUE(DravikApp::GetOptions().GetValue("Confirm", "AlwaysOk", false));

    // Relabelling touches only the dialog's own buttons, here or in a remembered dialog without any.
    unticked.SetOK("Delete all the selected jobs now");
    unticked.SetCancel("Keep");
    wxConfirmDlg(nullptr, "Remembered now", "AlwaysOk", true).SetOK("Nothing to relabel");
    EXPECT_EQ(labels(&unticked), "Delete all the selected jobs now,Keep");
    EXPECT_EQ(labels(&dialog), "OK,Cancel");
    wxWindow* ok = unticked.FindWindow(wxID_OK);
    EXPECT_GE(ok->GetSize().x, ok->GetTextExtent(ok->GetLabel()).x);  // the longer label fits

    EXPECT_TRUE(RunModal([&] { return int(unticked.Confirm()); }, [&] { Click(&unticked, wxID_OK); }));
    ASSERT_TRUE(DravikApp::GetOptions().HasKey("Confirm", "Unticked"));
    EXPECT_FALSE(DravikApp::GetOptions().GetValue("Confirm", "Unticked", true));
    wxConfirmDlg::ResetAll();
    EXPECT_TRUE(DravikApp::GetOptions().GetKeys("Confirm").empty());
}

TEST(PromptTest, TextAfterOkCancelAndEscape)
{
    // Types into the prompt's field, then ends it with the key or button.
    auto prompt = [](const std::function<void(wxDravikDlg*, wxWindow*)>& end) {
        wxString result = "unset";
        RunModal([&] { return int((result = wxsGetTextFromUser("Job name:", "Prompt", "default")).length()); }, [&] {
            wxDravikDlg* dialog = NewestDialog();
            ASSERT_TRUE(dialog && dialog->IsModal());
            auto* field = dynamic_cast<wxsTextCtrl*>(wxWindow::FindWindowByName(wxTextCtrlNameStr, dialog));
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(field->GetValue(), "default");
            // Wider is allowed, taller is not.
            EXPECT_EQ(dialog->GetMaxClientSize(), wxSize(wxDefaultCoord, dialog->GetMinClientSize().y));
            field->ChangeValue("typed");
            end(dialog, field);
        });
        return result;
    };
    EXPECT_EQ(prompt([](wxDravikDlg* dialog, wxWindow*) { Click(dialog, wxID_OK); }), "typed");
    EXPECT_EQ(prompt([](wxDravikDlg*, wxWindow* field) { CharHook(field, WXK_RETURN); }), "typed");
    EXPECT_EQ(prompt([](wxDravikDlg* dialog, wxWindow*) { Click(dialog, wxID_CANCEL); }), "");
    EXPECT_EQ(prompt([](wxDravikDlg*, wxWindow* field) { CharHook(field, WXK_ESCAPE); }), "");
    EXPECT_EQ(prompt([](wxDravikDlg* dialog, wxWindow*) { dialog->Close(); }), "");
}
