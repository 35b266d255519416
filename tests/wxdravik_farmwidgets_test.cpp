// The render-farm widgets: the job command menu, the filter words, the job and
// product choosers. Modal boxes are answered by a hook without being shown.
#include <algorithm>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <boost/make_shared.hpp>
#include <wx/frame.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>

#include "harness/gui_harness.h"
#include "wxdravik/farmchoosers.h"
#include "wxdravik/jobcommandmenu.h"
#include "wxdravik/listitemfilter.h"

using namespace dravik_test;

namespace
{
const int32_t k_Running = Command::APPLIES_RUNNING;
const int32_t k_Finished = Command::APPLIES_FINISHED;

/// The menu as text: " | " between entries, "-" a separator, "!" a disabled
/// entry, "~" a plain (not check) item, "+" a ticked one, a submenu in braces.
std::string Describe(wxMenu* menu)
{
    std::string text;
    for (wxMenuItem* item : menu->GetMenuItems())
    {
        text += text.empty() ? "" : " | ";
        if (item->IsSeparator())
            text += "-";
        else if (item->IsSubMenu())
            text += (item->IsEnabled() ? "" : "!") + item->GetItemLabel().ToStdString() + "{" +
                    Describe(item->GetSubMenu()) + "}";
        else
            text += std::string(item->IsEnabled() ? "" : "!") +
                    (!item->IsCheckable() ? "~" : item->IsChecked() ? "+" : "") +
                    item->GetItemLabel().ToStdString();
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

/// Records the three steps around the default run.
struct TracingMenu : JobCommandMenu
{
    std::vector<std::string> m_Steps;
    bool m_Allow = true;
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

/// Answers every modal dialog with OK unseen; records message boxes as "caption: message".
struct ModalCatcher : wxModalDialogHook
{
    ModalCatcher() { Register(); }
    int Enter(wxDialog* dialog) override
    {
        auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
        m_Shown.push_back(box ? (box->GetCaption() + ": " + box->GetMessage()).ToStdString() : "dialog");
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}
    std::vector<std::string> m_Shown;
};

struct BrokenJob : Job
{
    using Job::Job;
    void ExecuteCommand(const String&, const String&) override { throw std::runtime_error("not a core exception"); }
};

class FarmTest : public ::testing::Test
{
protected:
    void SetUp() override { JobFactory::s_JobFactory.Clear(); }
    void TearDown() override
    {
        for (const UID& id : m_Jobs)
            GetTestApp().RemoveJob(id);
        JobFactory::s_JobFactory.Clear();
        DravikApp::GetOptions().ClearSection("Hide Products");
    }

    /// A product with commands given as (name, flags, items).
    UID AddProduct(const String& name, const std::vector<std::tuple<String, int32_t, String>>& commands = {})
    {
        UID id;
        auto product = boost::make_shared<Product>(id, name, name.Lower());
        for (const auto& [command, flags, items] : commands)
            product->AddCommand(boost::make_shared<Command>(command, flags, "help " + command, items));
        JobFactory::s_JobFactory.AddProduct(product);
        return id;
    }
    /// A job, known to the application when listed.
    boost::shared_ptr<Job> AddJob(const String& name, const UID& product, Job::State state, bool listed = true)
    {
        auto job = boost::make_shared<Job>(UID(), name, product);
        job->SetState(state);
        if (listed)
        {
            GetTestApp().AddJob(job);
            m_Jobs.push_back(job->ID());
        }
        return job;
    }
    UID BlenderProduct()
    {
        return AddProduct("Blender", {{"Render", k_Running, "Frame 1;DISABLED:Frame 2"},
                                      {"DISABLED:Archive", k_Running | k_Finished, ""},
                                      {"-", int32_t(Command::SEPARATOR | k_Running), ""},
                                      {"Suspend", k_Running, ""},
                                      {"-", int32_t(Command::SEPARATOR | k_Finished), ""},
                                      {"Resubmit", k_Finished, ""}});
    }

    std::vector<UID> m_Jobs;
};

std::string Items(wxItemContainerImmutable* choice)
{
    std::string text;
    for (unsigned i = 0; i < choice->GetCount(); ++i)
        text += (i ? " | " : "") + choice->GetString(i).ToStdString();
    return text;
}
}  // namespace

TEST_F(FarmTest, MenuEntriesIdsAcrossFillsHostItemsAndStaleIds)
{
    const UID blender = BlenderProduct();
    auto job = AddJob("shot_010", blender, Job::STATE_RUNNING, false);
    auto other = AddJob("shot_020", blender, Job::STATE_RUNNING, false);
    JobCommandMenu bare;
    bare.Fill(job, k_Running);  // nothing before the commands: no leading separator
    EXPECT_EQ(Describe(&bare), "Render{Frame 1 | !Frame 2} | !Archive | - | Suspend");
    EXPECT_EQ(bare.FindItem(IdOf(&bare, "Render/Frame 1"))->GetHelp(), "help Render");
    bare.Fill(job, k_Finished);
    EXPECT_EQ(Describe(&bare), "!Archive | - | Resubmit");

    JobCommandMenu menu;
    menu.Append(wxID_OPEN, "Open");
    menu.Append(wxID_PROPERTIES, "Properties");
    menu.Fill(job, k_Running);
    const std::string running = "~Open | ~Properties | - | Render{Frame 1 | !Frame 2} | !Archive | - | Suspend";
    EXPECT_EQ(Describe(&menu), running);
    const auto commandIds = [&menu] {
        std::vector<long> ids;
        for (const char* path : {"Render/Frame 1", "Render/Frame 2", "Archive", "Suspend"})
            ids.push_back(IdOf(&menu, path));
        return ids;
    };
    const std::vector<long> ids = commandIds();
    EXPECT_EQ(std::set<long>(ids.begin(), ids.end()).size(), 4u);
    menu.Fill(other, k_Finished);
    const long resubmit = IdOf(&menu, "Resubmit");
    menu.Fill(other, k_Running);
    EXPECT_EQ(Describe(&menu), running);
    EXPECT_EQ(commandIds(), ids) << "stable across fills";

    // Not the menu's: the host's. The menu's but not offered enabled now: consumed, nothing run.
    EXPECT_FALSE(menu.TryCommand(wxID_OPEN));
    EXPECT_TRUE(menu.TryCommand(resubmit));  // masked out: must not run on a running job
    EXPECT_TRUE(menu.TryCommand(ids[1]));    // disabled
    EXPECT_TRUE(menu.TryCommand(ids[3]));
    EXPECT_EQ(other->GetLastExecuted(), "Suspend|");
    menu.Fill(boost::shared_ptr<Job>(), k_Running);
    EXPECT_EQ(Describe(&menu), "~Open | ~Properties");
    for (long id : ids)
        EXPECT_TRUE(menu.TryCommand(id));
    EXPECT_EQ(job->GetExecutedCount() + other->GetExecutedCount(), 1);
}

TEST_F(FarmTest, MenuStepsErrorBoxAndOtherExceptions)
{
    const UID blender = BlenderProduct();
    auto job = AddJob("shot_010", blender, Job::STATE_RUNNING, false);
    TracingMenu menu;
    menu.Fill(job, k_Running);
    EXPECT_TRUE(menu.TryCommand(IdOf(&menu, "Render/Frame 1")));
    EXPECT_EQ(menu.m_Steps, (std::vector<std::string>{"pre Render|Frame 1", "do", "post"}));
    EXPECT_EQ(job->GetLastExecuted(), "Render|Frame 1");
    menu.m_Allow = false;
    EXPECT_TRUE(menu.TryCommand(IdOf(&menu, "Suspend")));
    EXPECT_EQ(menu.m_Steps.back(), "pre Suspend|");
    EXPECT_EQ(job->GetExecutedCount(), 1);

    menu.m_Allow = true;
    job->SetState(Job::STATE_FINISHED);  // the job now refuses commands
    {
        ModalCatcher catcher;
        EXPECT_TRUE(menu.TryCommand(IdOf(&menu, "Suspend")));
        EXPECT_EQ(catcher.m_Shown, std::vector<std::string>{"DravikGui Error: Unable to execute Job command: "
                                                            "'Suspend'\n"
                                                            "Cannot run 'Suspend' on a finished job\nshot_010"});
    }
    EXPECT_EQ(menu.m_Steps.back(), "post");
    menu.Fill(boost::make_shared<BrokenJob>(UID(), "broken", blender), k_Running);
    EXPECT_THROW(menu.TryCommand(IdOf(&menu, "Suspend")), std::runtime_error);
}

TEST_F(FarmTest, MenuOddItemTextsBuildAndEachEntryRunsItsOwnCommand)
{
    auto blender = AddJob("shot_010", BlenderProduct(), Job::STATE_RUNNING, false);
    auto job = AddJob("odd", AddProduct("Odd", {{"Odd", k_Running, "\"Frame 1;Frame 2"},  // unbalanced quote
                                                {"Esc", k_Running, "a\\;b;c\\"},          // trailing escape
                                                {"Blank", k_Running, "\"\";DISABLED:;R&D\tx"},
                                                {"", k_Running, ""},
                                                {"Semis", k_Running, ";;"},
                                                {"A", k_Running, "B-C"},  // "A-B-C" both, joined with '-'
                                                {"A-B", k_Running, "C"},
                                                {"Render", k_Running, "Frame 2"}}),  // disabled in Blender
                      Job::STATE_RUNNING, false);
    JobCommandMenu menu;
    menu.Fill(blender, k_Running);
    const long frame2 = IdOf(&menu, "Render/Frame 2");
    menu.Fill(job, k_Running);
    EXPECT_EQ(Describe(&menu),
              "Odd{Frame 1;Frame 2} | Esc{a;b | c\\} | Blank{Blank | !  | R&&D x} |   | Semis | A{B-C} | A-B{C} | "
              "Render{Frame 2}");
    EXPECT_EQ(IdOf(&menu, "Render/Frame 2"), frame2);

    ModalCatcher catcher;
    for (const char* path : {"Odd/Frame 1;Frame 2", "Esc/a;b", "A/B-C", "A-B/C", "Render/Frame 2"})
    {
        EXPECT_TRUE(menu.TryCommand(IdOf(&menu, path)));
        std::string executed = job->GetLastExecuted().Str();
        EXPECT_EQ(executed.replace(executed.find('|'), 1, "/"), path);
    }
    EXPECT_TRUE(catcher.m_Shown.empty());
}

TEST(FilterTest, WordsJoinByAndWithinATextAndTextsByOr)
{
    const std::vector<std::tuple<std::vector<String>, std::vector<String>, bool>> cases = {
        {{"render_final"}, {"render", "-temp"}, true},    {{"render_temp"}, {"render", "-temp"}, false},
        {{"render_temp", "final_render"}, {"render", "-temp"}, true},
        {{"render", "final"}, {"render", "final"}, false},  // one text must carry every word
        {{"RENDER_final"}, {"render", "FINAL"}, true},    {{"draft_v2"}, {"!draft"}, false},
        {{"final_v2"}, {"!DRAFT"}, true},                 {{"shot-x"}, {"\\-x"}, true},
        {{"shot_x"}, {"\\-x"}, false},                    {{"!urgent"}, {"\\!urgent"}, true},
        {{}, {"render"}, false},                          {{}, {}, true},
        {{"anything"}, {}, true},
        {{"render_temp"}, {"render", "-"}, true},  // a lone mark, as while typing "-temp", hides nothing
        {{"render_temp"}, {"!"}, true}};
    for (const auto& [texts, words, passes] : cases)
        EXPECT_EQ(ListItemPassesFilter(texts, words), passes) << texts.size() << " texts, " << words.size() << " words";
}

TEST_F(FarmTest, JobSelectorListsUnfinishedJobsByNameWithNoneSortedIn)
{
    const UID beta = AddJob("beta", UID(), Job::STATE_RUNNING)->ID();
    const UID alpha = AddJob("Alpha", UID(), Job::STATE_WAITING)->ID();
    AddJob("gamma", UID(), Job::STATE_FINISHED);
    std::unique_ptr<wxFrame> frame(new wxFrame(nullptr, wxID_ANY, "choosers"));
    JobSelector all(frame.get(), wxID_ANY), others(frame.get(), wxID_ANY);
    EXPECT_EQ(all.GetSelectedJob(), UID::Null);  // no items yet
    int events = 0;
    all.Bind(wxEVT_COMBOBOX, [&](wxCommandEvent&) { ++events; });
    all.Fill(UID::Null);
    EXPECT_EQ(Items(&all), "Alpha | beta | None");
    EXPECT_EQ(all.GetSelectedJob(), alpha);
    all.SelectJob(beta);
    EXPECT_EQ(all.GetSelectedJob(), beta);
    all.SelectJob(UID());  // not listed
    EXPECT_EQ(all.GetSelection(), 1);
    all.SelectJob(UID::Null);
    EXPECT_EQ(all.GetSelection(), 2);
    EXPECT_EQ(events, 0);

    others.Fill(alpha);
    EXPECT_EQ(Items(&others), "beta | None");
    AddJob("Aardvark", UID(), Job::STATE_RUNNING);
    others.Fill(alpha);  // a refill lists each job once, and each item still answers with its own job
    EXPECT_EQ(Items(&others), "Aardvark | beta | None");
    others.SelectJob(beta);
    EXPECT_EQ(others.GetStringSelection(), "beta");
    others.Append("stray", reinterpret_cast<void*>(uintptr_t(99)));
    others.SetSelection(3);
    EXPECT_EQ(others.GetSelectedJob(), UID::Null);
}

TEST_F(FarmTest, ProductChoiceListsUniqueShownProductsAndAnnouncesSelections)
{
    std::vector<std::string> logged;
    const int observer =
        Log::s_GlobalLog.AddObserver([&](LogLevel, const String& text) { logged.push_back(text.Str()); });
    std::unique_ptr<wxFrame> frame(new wxFrame(nullptr, wxID_ANY, "choosers"));
    std::unique_ptr<ProductChoice> none;
    {
        ModalCatcher catcher;
        none = std::make_unique<ProductChoice>(frame.get(), wxID_ANY);
        EXPECT_EQ(catcher.m_Shown, std::vector<std::string>{"dialog"});
    }
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "No Products are currently available."), 1);
    EXPECT_EQ(Items(none.get()), "None Installed");
    EXPECT_TRUE(!none->IsEnabled() && none->GetSelection() == 0 && !none->GetSelectedProduct());

    const UID alpha = AddProduct("Alpha"), upper = AddProduct("ALPHA"), beta = AddProduct("beta");
    const UID hidden = AddProduct("Hidden");
    DravikApp::GetOptions().SetValue("Hide Products", hidden.ToString(), true);
    DravikApp::GetOptions().SetValue("Hide Products", AddProduct("Zeta").ToString(), false);
    ProductChoice choice(frame.get(), 4711);
    EXPECT_EQ(Items(&choice), "Alpha | beta | Zeta");
    EXPECT_EQ(choice.GetSelectedProduct(), alpha);
    EXPECT_EQ(choice.GetProduct(1), beta);
    EXPECT_FALSE(choice.GetProduct(3) || choice.GetProduct(-1));
    std::vector<std::string> events;
    choice.Bind(wxEVT_COMBOBOX, [&](wxCommandEvent& e) {
        const bool mine = e.GetEventObject() == &choice;
        events.push_back(wxString::Format("%d %d %s %d", e.GetId(), e.GetInt(), e.GetString(), mine).ToStdString());
    });
    for (const UID& product : {beta, beta, upper, hidden})  // the second is selected already: announced all the same
        choice.SetSelectedProduct(product);
    EXPECT_EQ(events, (std::vector<std::string>{"4711 1 beta 1", "4711 1 beta 1"}));

    // Every product hidden: an empty, enabled choice and no message.
    for (const UID& product : JobFactory::s_JobFactory.ListProducts())
        DravikApp::GetOptions().SetValue("Hide Products", product.ToString(), true);
    logged.clear();
    ProductChoice empty(frame.get(), wxID_ANY);
    Log::s_GlobalLog.RemoveObserver(observer);
    EXPECT_TRUE(Items(&empty).empty() && empty.IsEnabled() && logged.empty());
}
