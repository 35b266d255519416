// The client model (products, jobs, commands) and the line protocol.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <functional>
#include <ostream>
#include <memory>

#include "draviklib/draviklib.h"
#include "protocol.h"

using namespace draviklib_detail;

static void PrintTo(const String& text, std::ostream* out)
{
    *out << '"' << text.Str() << '"';
}

namespace
{
/// True when f throws a core exception (with a text).
bool Refused(const std::function<void()>& f)
{
    try
    {
        f();
    }
    catch (Exception* e)
    {
        std::unique_ptr<Exception> owner(e);
        return !e->GetText().Empty();
    }
    return false;
}

class JobCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        JobFactory::s_JobFactory.Clear();
        auto product = boost::make_shared<Product>(m_ProductID, "Blender", "blender");
        product->AddCommand(boost::make_shared<Command>("Explore Output", Command::APPLIES_ALL, "show"));
        product->AddCommand(boost::make_shared<Command>("Render Frames", Command::APPLIES_RUNNING, "frames",
                                                        "Frame 1;Frame 2;DISABLED:Frame 3"));
        product->AddCommand(boost::make_shared<Command>("-", int32_t(Command::SEPARATOR | Command::APPLIES_ALL), ""));
        product->AddCommand(boost::make_shared<Command>("Suspend", Command::APPLIES_RUNNING, "stop"));
        product->AddCommand(boost::make_shared<Command>("DISABLED:Archive", Command::APPLIES_ALL, "n/a"));
        JobFactory::s_JobFactory.AddProduct(product);
    }
    void TearDown() override
    {
        JobFactory::s_JobFactory.Clear();
        RenderJob::SetExploreFolder(RenderJob::ExploreFolderFunc());
    }

    UID m_ProductID;
};
}  // namespace

TEST_F(JobCommandTest, OnlyKnownEnabledCommandsRunAndAreRecorded)
{
    RenderJob job(UID(), "shot", m_ProductID, Path("/renders/shot"));
    job.SetState(Job::STATE_RUNNING);
    const std::pair<const char*, const char*> refused[] = {
        {"Explode", ""}, {"DISABLED:Archive", ""}, {"Render Frames", "DISABLED:Frame 3"},
        {"Render Frames", "Frame 9"}, {"Suspend", "Frame 1"}, {"-", ""},  // separators are not commands
        {"Explore Output", ""},  // no way to open folders installed
    };
    for (const auto& command : refused)
        EXPECT_TRUE(Refused([&] { job.ExecuteCommand(command.first, command.second); })) << command.first;
    EXPECT_EQ(job.GetExecutedCount(), 0);
    job.ExecuteCommand("Suspend", "");
    EXPECT_EQ(job.GetLastExecuted(), "Suspend|");
    job.ExecuteCommand("Render Frames", "Frame 2");
    EXPECT_EQ(job.GetLastExecuted(), "Render Frames|Frame 2");

    // Explore Output opens the job's folder in every state; the others
    // apply to running jobs only.
    xolib::vector<Path> opened;
    RenderJob::SetExploreFolder([&](const Path& path) { opened.push_back(path); });
    job.SetState(Job::STATE_FINISHED);
    job.ExecuteCommand("Explore Output", "");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].GetString(), "/renders/shot");
    EXPECT_TRUE(Refused([&] { job.ExecuteCommand("Suspend", ""); }));
    Job orphan(UID(), "orphan", UID());  // its product is not registered
    orphan.SetState(Job::STATE_RUNNING);
    EXPECT_TRUE(Refused([&] { orphan.ExecuteCommand("Suspend", ""); }));
    EXPECT_EQ(job.GetExecutedCount() + orphan.GetExecutedCount(), 2);
}

TEST(ModelTest, ProductsJobsAndComponents)
{
    // Products keep their listing order; a redefinition replaces in place.
    JobFactory& factory = JobFactory::s_JobFactory;
    factory.Clear();
    UID a, b, c;
    factory.AddProduct(boost::make_shared<Product>(a, "Maya", "maya"));
    factory.AddProduct(boost::make_shared<Product>(b, "Blender", "blender"));
    factory.AddProduct(boost::make_shared<Product>(c, "Nuke", "nuke"));
    factory.AddProduct(boost::make_shared<Product>(b, "Blender 4", "blender"));
    EXPECT_EQ(factory.ListProducts(), (xolib::vector<UID>{a, b, c}));
    EXPECT_EQ(factory.GetProduct(b)->GetName(), "Blender 4");
    EXPECT_FALSE(factory.GetProduct(UID()));
    factory.Clear();

    Product product(a, "Maya", "maya");
    product.AddParam(boost::make_shared<Parameter>("Camera", xolib::vector<String>{"persp", "shotCam"}));
    EXPECT_EQ(product.GetParam(0)->GetChoice(1), "shotCam");
    EXPECT_EQ(product.GetParam(0)->GetChoice(2), "");
    EXPECT_EQ(product.GetParam(0)->GetChoice(-1), "");
    EXPECT_FALSE(product.GetParam(1));
    EXPECT_FALSE(product.GetCommand(0));

    Job job(UID(), "a", UID());
    job.SetProgress(140);
    EXPECT_EQ(job.GetProgress(), 100);
    job.SetProgress(-3);
    EXPECT_EQ(job.GetProgress(), 0);

    xolib::set<String> names = {"", Components::GetName(-1), Components::GetName(Components::k_Count)};
    for (int i = 0; i < Components::k_Count; ++i)
        names.insert(Components::GetName(i));
    EXPECT_EQ(names.size(), size_t(Components::k_Count) + 1);  // distinct, non-empty; empty out of range
    EXPECT_FALSE(Components::DidStart("NoSuchDravikProgram"));
}

TEST(ProtocolTest, FieldsSurviveEscaping)
{
    xolib::vector<String> fields = {"MSG", "a\tb", "line1\nline2\r", "back\\slash", "", "\\t literal"};
    String line = FormatRecord(fields);
    ASSERT_TRUE(line.EndsWith("\n"));
    String body = line.Left(int(line.Length()) - 1);
    EXPECT_LT(body.Find('\n'), 0);
    xolib::vector<String> parsed;
    ASSERT_TRUE(ParseRecord(body, parsed));
    EXPECT_EQ(parsed, fields);
    EXPECT_FALSE(ParseRecord("MSG\tdangling\\", parsed));
    EXPECT_FALSE(ParseRecord("MSG\tunknown \\q escape", parsed));
}

TEST(ProtocolTest, LineReaderSplitsChunksAndDropsOverlongLines)
{
    LineReader reader;
    auto next = [&reader] {
        String line;
        return reader.NextLine(line) ? line : String("(none)");
    };
    reader.Append("fir", 3);
    EXPECT_EQ(next(), "(none)");
    reader.Append("st\r\nsecond\n", 11);
    EXPECT_EQ(next(), "first");
    EXPECT_EQ(next(), "second");
    EXPECT_EQ(next(), "(none)");

    // An overlong line arriving in pieces is dropped without being kept whole;
    // the line after it comes through.
    std::string piece(k_MaxLineLength / 2 + 1, 'x');
    for (int i = 0; i < 5; ++i)
    {
        reader.Append(piece.data(), piece.size());
        EXPECT_EQ(next(), "(none)");
    }
    reader.Append("tail\nafter\n", 11);
    EXPECT_EQ(next(), "after");
    EXPECT_EQ(reader.TakeOverlongCount(), 1);
}
