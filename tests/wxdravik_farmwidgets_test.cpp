// The render-farm widgets: the job command menu read back item by item and
// driven through TryCommand, with the error box caught by a modal-dialog
// hook; the filter words; the job and product choosers on the test
// application's jobs and the product registry.
#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <wx/frame.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>

#include "harness/gui_harness.h"
#include "wxdravik/farmchoosers.h"
#include "wxdravik/jobcommandmenu.h"
#include "wxdravik/listitemfilter.h"
#include "wxdravik/wxdravikstring.h"

using namespace dravik_test;

namespace
{
const int32_t k_Running = Command::APPLIES_RUNNING;
const int32_t k_Finished = Command::APPLIES_FINISHED;

boost::shared_ptr<Command> MakeCommand(const String& name, int32_t flags, const String& items = String())
{
    return boost::make_shared<Command>(name, flags, "help " + name, items);
}

/// The menu as text: "|" between entries, "-" a separator, "!" before a
/// disabled label, "~" before a plain (not check) item, "+" before a ticked
/// one, a submenu's entries in braces after its label.
std::string Describe(wxMenu* menu)
{
    std::string text;
    for (wxMenuItem* item : menu->GetMenuItems())
    {
        if (!text.empty())
            text += " | ";
        if (item->IsSeparator())
        {
            text += "-";
            continue;
        }
        text += item->IsEnabled() ? "" : "!";
        if (!item->IsSubMenu())
            text += !item->IsCheckable() ? "~" : item->IsChecked() ? "+" : "";
        text += item->GetItemLabel().ToStdString();
        if (item->IsSubMenu())
            text += "{" + Describe(item->GetSubMenu()) + "}";
    }
    return text;
}

/// The id of the entry at a path of labels ("Render/Frame 1"); -1 when absent.
long IdOf(wxMenu* menu, const std::string& path)
{
    const size_t slash = path.find('/');
    for (wxMenuItem* item : menu->GetMenuItems())
        if (item->GetItemLabel().ToStdString() == path.substr(0, slash))
            return slash == std::string::npos ? item->GetId() : IdOf(item->GetSubMenu(), path.substr(slash + 1));
    return -1;
}

/// Records the three steps; the run itself is the default one.
class TracingMenu : public JobCommandMenu
{
public:
    std::vector<std::string> m_Steps;
    bool m_Allow = true;

protected:
    bool PreProcessCommand(const String& name, const String& item) override
    {
        m_Steps.push_back("pre " + name.Str() + "|" + item.Str());
        return m_Allow;
    }
    void DoProcessCommand(const String& name, const String& item) override
    {
        m_Steps.push_back("do");
        JobCommandMenu::DoProcessCommand(name, item);
    }
    void PostProcessCommand(const String&, const String&) override { m_Steps.push_back("post"); }
};

/// Catches the error box: answers it without showing it.
class MessageBoxCatcher : public wxModalDialogHook
{
public:
    MessageBoxCatcher() { Register(); }
    std::vector<std::string> m_Shown;  // "caption: message"

protected:
    int Enter(wxDialog* dialog) override
    {
        auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
        m_Shown.push_back(box ? (box->GetCaption() + ": " + box->GetMessage()).ToStdString() : "not a message box");
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
};

/// A job whose command run fails with something other than a core exception.
class BrokenJob : public Job
{
public:
    using Job::Job;
    void ExecuteCommand(const String&, const String&) override { throw std::runtime_error("broken"); }
};

class CommandMenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        JobFactory::s_JobFactory.Clear();
        auto product = boost::make_shared<Product>(m_Product, "Blender", "blender");
        product->AddCommand(MakeCommand("Render", k_Running, "Frame 1;DISABLED:Frame 2"));
        product->AddCommand(MakeCommand("DISABLED:Archive", k_Running | k_Finished));
        product->AddCommand(MakeCommand("-", int32_t(Command::SEPARATOR | k_Running)));
        product->AddCommand(MakeCommand("Suspend", k_Running));
        product->AddCommand(MakeCommand("-", int32_t(Command::SEPARATOR | k_Finished)));
        product->AddCommand(MakeCommand("Resubmit", k_Finished));
        JobFactory::s_JobFactory.AddProduct(product);
        m_Job->SetState(Job::STATE_RUNNING);
        m_Other->SetState(Job::STATE_RUNNING);
    }
    void TearDown() override { JobFactory::s_JobFactory.Clear(); }

    UID m_Product;
    boost::shared_ptr<Job> m_Job = boost::make_shared<Job>(UID(), "shot_010", m_Product);
    boost::shared_ptr<Job> m_Other = boost::make_shared<Job>(UID(), "shot_020", m_Product);
};
}  // namespace

TEST_F(CommandMenuTest, ItemsSubmenusDisabledEntriesAndTheMask)
{
    JobCommandMenu menu;
    menu.Fill(m_Job, k_Running);
    // Nothing before the commands, so no leading separator; the finished-only separator is masked out.
    EXPECT_EQ(Describe(&menu), "Render{Frame 1 | !Frame 2} | !Archive | - | Suspend");
    EXPECT_EQ(menu.FindItem(IdOf(&menu, "Render/Frame 1"))->GetHelp(), "help Render");

    menu.Fill(m_Job, k_Finished);
    EXPECT_EQ(Describe(&menu), "!Archive | - | Resubmit");
    menu.Fill(m_Job, 0);
    EXPECT_EQ(Describe(&menu), "");
}

TEST_F(CommandMenuTest, IdsStayAcrossFillsAndHostItemsStayInFront)
{
    JobCommandMenu menu;
    menu.Append(wxID_OPEN, "Open");
    menu.Append(wxID_PROPERTIES, "Properties");
    menu.Fill(m_Job, k_Running);
    EXPECT_EQ(Describe(&menu), "~Open | ~Properties | - | Render{Frame 1 | !Frame 2} | !Archive | - | Suspend");
    const long frame1 = IdOf(&menu, "Render/Frame 1"), frame2 = IdOf(&menu, "Render/Frame 2");
    const long archive = IdOf(&menu, "Archive"), suspend = IdOf(&menu, "Suspend");
    EXPECT_EQ(std::set<long>({frame1, frame2, archive, suspend}).size(), 4u);

    menu.Fill(m_Other, k_Finished);
    const long resubmit = IdOf(&menu, "Resubmit");
    EXPECT_EQ(IdOf(&menu, "Archive"), archive);
    menu.Fill(m_Other, k_Running);
    EXPECT_EQ(Describe(&menu), "~Open | ~Properties | - | Render{Frame 1 | !Frame 2} | !Archive | - | Suspend");
    EXPECT_EQ(IdOf(&menu, "Render/Frame 1"), frame1);
    EXPECT_EQ(IdOf(&menu, "Render/Frame 2"), frame2);
    EXPECT_EQ(IdOf(&menu, "Suspend"), suspend);
    EXPECT_NE(resubmit, suspend);

    // Ids the menu does not own are the host's; ids of entries not offered now run nothing.
    EXPECT_FALSE(menu.TryCommand(wxID_OPEN));
    EXPECT_TRUE(menu.TryCommand(resubmit));   // masked out of this fill: must not run on a running job
    EXPECT_TRUE(menu.TryCommand(frame2));     // disabled
    EXPECT_EQ(m_Other->GetExecutedCount(), 0);
    EXPECT_TRUE(menu.TryCommand(suspend));
    EXPECT_EQ(m_Other->GetLastExecuted(), "Suspend|");

    // An empty job leaves the host's items only; no old id reaches either job.
    menu.Fill(boost::shared_ptr<Job>(), k_Running);
    EXPECT_EQ(Describe(&menu), "~Open | ~Properties");
    for (long id : {frame1, suspend, resubmit})
        EXPECT_TRUE(menu.TryCommand(id));
    EXPECT_EQ(m_Job->GetExecutedCount() + m_Other->GetExecutedCount(), 1);
}

TEST_F(CommandMenuTest, StepsRunInOrderAndPreProcessingCanStopARun)
{
    TracingMenu menu;
    menu.Fill(m_Job, k_Running);
    EXPECT_TRUE(menu.TryCommand(IdOf(&menu, "Render/Frame 1")));
    EXPECT_EQ(menu.m_Steps, (std::vector<std::string>{"pre Render|Frame 1", "do", "post"}));
    EXPECT_EQ(m_Job->GetLastExecuted(), "Render|Frame 1");

    menu.m_Steps.clear();
    menu.m_Allow = false;
    EXPECT_TRUE(menu.TryCommand(IdOf(&menu, "Suspend")));
    EXPECT_EQ(menu.m_Steps, (std::vector<std::string>{"pre Suspend|"}));
    EXPECT_EQ(m_Job->GetExecutedCount(), 1);
}

TEST_F(CommandMenuTest, FailuresShowTheErrorBoxAndOtherExceptionsPassOn)
{
    JobCommandMenu menu;
    menu.Fill(m_Job, k_Running);
    m_Job->SetState(Job::STATE_FINISHED);  // the job now refuses commands
    {
        MessageBoxCatcher catcher;
        EXPECT_TRUE(menu.TryCommand(IdOf(&menu, "Suspend")));
        EXPECT_EQ(catcher.m_Shown, std::vector<std::string>{"DravikGui Error: Unable to execute Job command: "
                                                            "'Suspend'\nCannot run 'Suspend' on a finished job\nshot_010"});
    }
    EXPECT_EQ(Describe(&menu), "Render{Frame 1 | !Frame 2} | !Archive | - | Suspend");

    menu.Fill(boost::make_shared<BrokenJob>(UID(), "broken", m_Product), k_Running);
    EXPECT_THROW(menu.TryCommand(IdOf(&menu, "Suspend")), std::runtime_error);
}

TEST_F(CommandMenuTest, OddItemTextsBuildAMenuAndRunTheirOwnCommand)
{
    UID other;
    auto product = boost::make_shared<Product>(other, "Odd", "odd");
    product->AddCommand(MakeCommand("Odd", k_Running, "\"Frame 1;Frame 2"));     // unbalanced quote
    product->AddCommand(MakeCommand("Esc", k_Running, "a\\;b;c\\"));             // escaped separator, trailing escape
    product->AddCommand(MakeCommand("Blank", k_Running, "\"\";DISABLED:;R&D\tx"));
    product->AddCommand(MakeCommand("", k_Running));
    // "A" item "B-C" and "A-B" item "C" read alike joined with '-'; they are two entries.
    product->AddCommand(MakeCommand("A", k_Running, "B-C"));
    product->AddCommand(MakeCommand("A-B", k_Running, "C"));
    // Enabled here, disabled in the first product: the same entry, which now runs.
    product->AddCommand(MakeCommand("Render", k_Running, "Frame 2"));
    JobFactory::s_JobFactory.AddProduct(product);
    auto job = boost::make_shared<Job>(UID(), "odd job", other);
    job->SetState(Job::STATE_RUNNING);

    JobCommandMenu menu;
    menu.Fill(m_Job, k_Running);
    const long frame2 = IdOf(&menu, "Render/Frame 2");
    menu.Fill(job, k_Running);
    EXPECT_EQ(Describe(&menu), "Odd{Frame 1;Frame 2} | Esc{a;b | c\\} | Blank{Blank | !  | R&&D x} |   | A{B-C} | "
                               "A-B{C} | Render{Frame 2}");
    EXPECT_NE(IdOf(&menu, "A/B-C"), IdOf(&menu, "A-B/C"));
    EXPECT_EQ(IdOf(&menu, "Render/Frame 2"), frame2);

    const std::vector<std::pair<std::string, std::string>> runs = {
        {"Odd/Frame 1;Frame 2", "Odd|Frame 1;Frame 2"}, {"Esc/a;b", "Esc|a;b"}, {"A/B-C", "A|B-C"},
        {"A-B/C", "A-B|C"}, {"Render/Frame 2", "Render|Frame 2"}};
    MessageBoxCatcher catcher;
    for (const auto& [path, executed] : runs)
    {
        EXPECT_TRUE(menu.TryCommand(IdOf(&menu, path)));
        EXPECT_EQ(job->GetLastExecuted(), executed);
    }
    EXPECT_TRUE(catcher.m_Shown.empty());
}

TEST(FilterTest, WordsJoinByAndWithinATextAndTextsByOr)
{
    auto passes = [](std::vector<String> texts, std::vector<String> words) {
        return ListItemPassesFilter(texts, words);
    };
    EXPECT_TRUE(passes({"render_final"}, {"render", "-temp"}));
    EXPECT_FALSE(passes({"render_temp"}, {"render", "-temp"}));
    EXPECT_TRUE(passes({"render_temp", "final_render"}, {"render", "-temp"}));
    EXPECT_FALSE(passes({"render", "final"}, {"render", "final"}));  // one text must carry every word
    EXPECT_TRUE(passes({"RENDER_final"}, {"render", "FINAL"}));

    EXPECT_FALSE(passes({"draft_v2"}, {"!draft"}));
    EXPECT_TRUE(passes({"final_v2"}, {"!DRAFT"}));
    EXPECT_TRUE(passes({"shot-x"}, {"\\-x"}));
    EXPECT_FALSE(passes({"shot_x"}, {"\\-x"}));
    EXPECT_TRUE(passes({"!urgent"}, {"\\!urgent"}));

    EXPECT_FALSE(passes({}, {"render"}));
    EXPECT_TRUE(passes({}, {}));
    EXPECT_TRUE(passes({"anything"}, {}));
    // A lone mark, as while typing "-temp", hides nothing.
    EXPECT_TRUE(passes({"render_temp"}, {"render", "-"}));
    EXPECT_TRUE(passes({"render_temp"}, {"!"}));
}

namespace
{
std::string Items(wxItemContainerImmutable* choice)
{
    std::string text;
    for (unsigned i = 0; i < choice->GetCount(); ++i)
        text += (i ? " | " : "") + choice->GetString(i).ToStdString();
    return text;
}

class ChooserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        JobFactory::s_JobFactory.Clear();
        m_Frame.reset(new wxFrame(nullptr, wxID_ANY, "choosers"));
    }
    void TearDown() override
    {
        for (const UID& id : m_Jobs)
            GetTestApp().RemoveJob(id);
        JobFactory::s_JobFactory.Clear();
        DravikApp::GetOptions().ClearSection("Hide Products");
        DravikApp::GetOptions().RemoveKey("Confirm", "ProductChoiceNoProducts");
    }

    UID AddJob(const String& name, Job::State state)
    {
        auto job = boost::make_shared<Job>(UID(), name, UID());
        job->SetState(state);
        GetTestApp().AddJob(job);
        m_Jobs.push_back(job->ID());
        return job->ID();
    }

    UID AddProduct(const String& name)
    {
        UID id;
        JobFactory::s_JobFactory.AddProduct(boost::make_shared<Product>(id, name, name.Lower()));
        return id;
    }

    std::unique_ptr<wxFrame> m_Frame;
    std::vector<UID> m_Jobs;
};
}  // namespace

TEST_F(ChooserTest, JobSelectorListsUnfinishedJobsByNameWithNoneSortedIn)
{
    const UID beta = AddJob("beta", Job::STATE_RUNNING);
    const UID alpha = AddJob("Alpha", Job::STATE_WAITING);
    AddJob("gamma", Job::STATE_FINISHED);

    JobSelector all(m_Frame.get(), wxID_ANY), others(m_Frame.get(), wxID_ANY);
    EXPECT_EQ(all.GetSelectedJob(), UID::Null);  // not filled yet
    int events = 0;
    all.Bind(wxEVT_COMBOBOX, [&](wxCommandEvent&) { ++events; });
    all.Fill(UID::Null);
    EXPECT_EQ(Items(&all), "Alpha | beta | None");
    EXPECT_EQ(all.GetSelectedJob(), alpha);
    all.SelectJob(beta);
    EXPECT_EQ(all.GetSelection(), 1);
    EXPECT_EQ(all.GetSelectedJob(), beta);
    all.SelectJob(UID());  // not listed
    EXPECT_EQ(all.GetSelectedJob(), beta);
    all.SelectJob(UID::Null);
    EXPECT_EQ(all.GetSelection(), 2);
    EXPECT_FALSE(all.GetSelectedJob());
    EXPECT_EQ(events, 0);

    others.Fill(alpha);
    EXPECT_EQ(Items(&others), "beta | None");
    // A refill lists each job once, and every item still answers with its own job.
    AddJob("Aardvark", Job::STATE_RUNNING);
    others.Fill(alpha);
    EXPECT_EQ(Items(&others), "Aardvark | beta | None");
    others.SelectJob(beta);
    EXPECT_EQ(others.GetStringSelection(), "beta");

    others.Append("stray", reinterpret_cast<void*>(uintptr_t(99)));
    others.SetSelection(3);
    EXPECT_EQ(others.GetSelectedJob(), UID::Null);
}

TEST_F(ChooserTest, ProductChoiceShowsUniqueUnhiddenProductsAndAnnouncesSelections)
{
    const UID alpha = AddProduct("Alpha");
    const UID upper = AddProduct("ALPHA");
    const UID beta = AddProduct("beta");
    const UID hidden = AddProduct("Hidden");
    AddProduct("Shown");
    DravikApp::GetOptions().SetValue("Hide Products", hidden.ToString(), true);
    DravikApp::GetOptions().SetValue("Hide Products", AddProduct("Zeta").ToString(), false);

    ProductChoice choice(m_Frame.get(), 4711);
    EXPECT_EQ(Items(&choice), "Alpha | beta | Shown | Zeta");
    EXPECT_TRUE(choice.IsEnabled());
    EXPECT_EQ(choice.GetSelectedProduct(), alpha);
    EXPECT_EQ(choice.GetProduct(1), beta);
    EXPECT_FALSE(choice.GetProduct(4));
    EXPECT_FALSE(choice.GetProduct(-1));

    std::vector<std::string> events;
    choice.Bind(wxEVT_COMBOBOX, [&](wxCommandEvent& event) {
        events.push_back(wxString::Format("%d %d %s %d", event.GetId(), event.GetInt(), event.GetString(),
                                          event.GetEventObject() == &choice)
                             .ToStdString());
    });
    choice.SetSelectedProduct(beta);
    choice.SetSelectedProduct(beta);  // already selected: announced all the same
    choice.SetSelectedProduct(upper);
    choice.SetSelectedProduct(hidden);
    EXPECT_EQ(events, (std::vector<std::string>{"4711 1 beta 1", "4711 1 beta 1"}));
    EXPECT_EQ(choice.GetSelectedProduct(), beta);
}

TEST_F(ChooserTest, ProductChoiceWithoutProductsSaysSoUnlessAllAreHidden)
{
    std::vector<std::string> logged;
    const int observer = Log::s_GlobalLog.AddObserver([&](LogLevel level, const String& text) {
        if (level == LOG_INFO)
            logged.push_back(text.Str());
    });
    bool shown = false;
    wxTheApp->CallAfter([&] {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* box = dynamic_cast<wxDialog*>(window); box && box->IsModal())
            {
                shown = true;
                box->EndModal(wxID_OK);
            }
    });
    wxTimer guard;  // ends a box left waiting, so a fault fails instead of hanging
    guard.Bind(wxEVT_TIMER, [](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows)
            if (auto* box = dynamic_cast<wxDialog*>(window); box && box->IsModal())
                box->EndModal(wxID_CANCEL);
    });
    guard.StartOnce(10000);
    ProductChoice none(m_Frame.get(), wxID_ANY);
    guard.Stop();
    EXPECT_TRUE(shown);
    EXPECT_EQ(Items(&none), "None Installed");
    EXPECT_FALSE(none.IsEnabled());
    EXPECT_EQ(none.GetSelection(), 0);
    EXPECT_FALSE(none.GetSelectedProduct());
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "No Products are currently available."), 1);

    DravikApp::GetOptions().SetValue("Hide Products", AddProduct("Only").ToString(), true);
    logged.clear();
    ProductChoice hidden(m_Frame.get(), wxID_ANY);
    Log::s_GlobalLog.RemoveObserver(observer);
    EXPECT_EQ(Items(&hidden), "");
    EXPECT_TRUE(hidden.IsEnabled());
    EXPECT_TRUE(logged.empty());
}
