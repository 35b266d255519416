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
/// Runs f and returns the text of the core exception it throws; fails the
/// test when it throws none.
String ThrownText(const std::function<void()>& f)
{
    try
    {
        f();
    }
    catch (Exception* e)
    {
        std::unique_ptr<Exception> owner(e);
        return e->GetText().Empty() ? String("(empty text)") : e->GetText();
    }
    ADD_FAILURE() << "no core exception thrown";
    return String();
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
}

TEST_F(JobCommandTest, KnownEnabledCommandsAreRecorded)
{
    Job job(UID(), "shot", m_ProductID);
    job.SetState(Job::STATE_RUNNING);
    job.ExecuteCommand("Suspend", "");
    EXPECT_EQ(job.GetLastExecuted(), "Suspend|");
    job.ExecuteCommand("Render Frames", "Frame 2");
    EXPECT_EQ(job.GetExecutedCount(), 2);
    EXPECT_EQ(job.GetLastExecuted(), "Render Frames|Frame 2");
}

TEST_F(JobCommandTest, RefusedCommandsThrowAndAreNotRecorded)
{
    Job job(UID(), "shot", m_ProductID);
    job.SetState(Job::STATE_RUNNING);
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("Explode", ""); }), "");
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("DISABLED:Archive", ""); }), "");
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("Render Frames", "DISABLED:Frame 3"); }), "");
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("Render Frames", "Frame 9"); }), "");
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("Suspend", "Frame 1"); }), "");
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("-", ""); }), "");  // separators are not commands
    EXPECT_EQ(job.GetExecutedCount(), 0);

    job.SetState(Job::STATE_FINISHED);
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("Suspend", ""); }), "");

    Job orphan(UID(), "orphan", UID());  // its product is not registered
    EXPECT_NE(ThrownText([&] { orphan.ExecuteCommand("Suspend", ""); }), "");
    EXPECT_EQ(job.GetExecutedCount() + orphan.GetExecutedCount(), 0);
}

TEST_F(JobCommandTest, ExploreOutputOpensTheOutputFolderInEveryState)
{
    RenderJob job(UID(), "shot", m_ProductID, Path("/renders/shot"));
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("Explore Output", ""); }), "");  // nothing installed

    xolib::vector<Path> opened;
    RenderJob::SetExploreFolder([&](const Path& path) { opened.push_back(path); });
    job.SetState(Job::STATE_FINISHED);
    job.ExecuteCommand("Explore Output", "");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].GetString(), "/renders/shot");

    // Other commands of a render job follow the plain job's rules.
    EXPECT_NE(ThrownText([&] { job.ExecuteCommand("Suspend", ""); }), "");
    job.SetState(Job::STATE_RUNNING);
    job.ExecuteCommand("Suspend", "");
    EXPECT_EQ(job.GetLastExecuted(), "Suspend|");
    EXPECT_EQ(opened.size(), 1u);
}

TEST(ModelTest, ProductsKeepListingOrderAndRedefinitionsReplaceInPlace)
{
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
    EXPECT_TRUE(factory.ListProducts().empty());

    Product product(a, "Maya", "maya");
    product.AddParam(boost::make_shared<Parameter>("Camera", xolib::vector<String>{"persp", "shotCam"}));
    EXPECT_EQ(product.GetParam(0)->GetChoice(1), "shotCam");
    EXPECT_EQ(product.GetParam(0)->GetChoice(2), "");
    EXPECT_EQ(product.GetParam(0)->GetChoice(-1), "");
    EXPECT_FALSE(product.GetParam(1));
    EXPECT_FALSE(product.GetCommand(0));
}

TEST(ModelTest, JobStateAndProgressAreClamped)
{
    Job job(UID(), "a", UID());
    EXPECT_EQ(job.GetState(), Job::STATE_WAITING);
    job.SetProgress(140);
    EXPECT_EQ(job.GetProgress(), 100);
    job.SetProgress(-3);
    EXPECT_EQ(job.GetProgress(), 0);
    job.SetState(Job::STATE_FINISHED);
    EXPECT_TRUE(job.IsFinished());
}

TEST(ModelTest, ComponentsHaveSevenDistinctNames)
{
    xolib::set<String> names;
    for (int i = 0; i < Components::k_Count; ++i)
    {
        EXPECT_FALSE(Components::GetName(i).Empty());
        names.insert(Components::GetName(i));
    }
    EXPECT_EQ(names.size(), size_t(Components::k_Count));
    EXPECT_TRUE(Components::GetName(-1).Empty());
    EXPECT_TRUE(Components::GetName(Components::k_Count).Empty());
    EXPECT_FALSE(Components::DidStart("NoSuchDravikProgram"));
}

// ---------------------------------------------------------------- protocol

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
    String line;
    reader.Append("fir", 3);
    EXPECT_FALSE(reader.NextLine(line));
    reader.Append("st\r\nsecond\n", 11);
    ASSERT_TRUE(reader.NextLine(line));
    EXPECT_EQ(line, "first");
    ASSERT_TRUE(reader.NextLine(line));
    EXPECT_EQ(line, "second");
    EXPECT_FALSE(reader.NextLine(line));

    // An overlong line arriving in pieces is dropped without being kept whole;
    // the line after it comes through.
    std::string piece(k_MaxLineLength / 2 + 1, 'x');
    for (int i = 0; i < 5; ++i)
    {
        reader.Append(piece.data(), piece.size());
        EXPECT_FALSE(reader.NextLine(line));
    }
    reader.Append("tail\nafter\n", 11);
    ASSERT_TRUE(reader.NextLine(line));
    EXPECT_EQ(line, "after");
    EXPECT_EQ(reader.TakeOverlongCount(), 1);

    // Overlong within one chunk, between good lines.
    std::string chunk = "a\n" + std::string(k_MaxLineLength + 1, 'y') + "\nb\n";
    reader.Append(chunk.data(), chunk.size());
    ASSERT_TRUE(reader.NextLine(line));
    EXPECT_EQ(line, "a");
    ASSERT_TRUE(reader.NextLine(line));
    EXPECT_EQ(line, "b");
    EXPECT_EQ(reader.TakeOverlongCount(), 1);
}
