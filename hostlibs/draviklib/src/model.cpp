#include <boost/make_shared.hpp>

#include "draviklib/draviklib.h"

DravikObject::~DravikObject() = default;

String DravikObject::Name() const
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    return m_Name;
}

void DravikObject::SetName(const String& name)
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    m_Name = name;
}

// ---------------------------------------------------------------- parameters, commands, products

Parameter::Parameter(const String& name, const xolib::vector<String>& choices) : m_Name(name), m_Choices(choices) {}

String Parameter::GetChoice(int index) const
{
    if (index < 0 || index >= int(m_Choices.size()))
        return String();
    return m_Choices[size_t(index)];
}

Command::Command(const String& name, int32_t flags, const String& help, const String& items)
    : m_Name(name), m_Flags(flags), m_Help(help), m_Items(items)
{
}

// Items are fixed per command; the job is accepted so that a command can
// later offer job-specific items without changing its callers.
String Command::Itemize(const boost::shared_ptr<Job>& /*job*/) const
{
    return m_Items;
}

Product::Product(const UID& id, const String& name, const String& identifier)
    : m_ID(id), m_Name(name), m_Identifier(identifier)
{
}

boost::shared_ptr<const Command> Product::GetCommand(int index) const
{
    if (index < 0 || index >= int(m_Commands.size()))
        return boost::shared_ptr<const Command>();
    return m_Commands[size_t(index)];
}

boost::shared_ptr<const Parameter> Product::GetParam(int index) const
{
    if (index < 0 || index >= int(m_Params.size()))
        return boost::shared_ptr<const Parameter>();
    return m_Params[size_t(index)];
}

void Product::AddCommand(const boost::shared_ptr<const Command>& command)
{
    if (command)
        m_Commands.push_back(command);
}

void Product::AddParam(const boost::shared_ptr<const Parameter>& param)
{
    if (param)
        m_Params.push_back(param);
}

JobFactory JobFactory::s_JobFactory;

xolib::vector<UID> JobFactory::ListProducts() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    xolib::vector<UID> ids;
    ids.reserve(m_Products.size());
    for (const auto& product : m_Products)
        ids.push_back(product->GetID());
    return ids;
}

boost::shared_ptr<const Product> JobFactory::GetProduct(const UID& id) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (const auto& product : m_Products)
        if (product->GetID() == id)
            return product;
    return boost::shared_ptr<const Product>();
}

// A product defined again (the master resends its model on every connect)
// replaces the old definition in its listing place.
void JobFactory::AddProduct(const boost::shared_ptr<const Product>& product)
{
    if (!product)
        return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (auto& known : m_Products)
        if (known->GetID() == product->GetID())
        {
            known = product;
            return;
        }
    m_Products.push_back(product);
}

void JobFactory::Clear()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Products.clear();
}

// ---------------------------------------------------------------- jobs

namespace
{
const String k_DisabledPrefix = "DISABLED:";

xolib::vector<String> SplitItems(const String& items)
{
    // Tokenized as the job command menu does, so item texts match exactly.
    xolib::vector<String> result;
    StringTokenizer tokens(items, ';', false, '"', '\\');
    while (tokens.HasMore())
        result.push_back(tokens.GetNext());
    return result;
}
}

Job::Job(const UID& id, const String& name, const UID& product) : DravikObject(id, name), m_Product(product) {}

Job::~Job() = default;

bool Job::IsFinished() const
{
    return GetState() == STATE_FINISHED;
}

Job::State Job::GetState() const
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    return m_State;
}

void Job::SetState(State state)
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    m_State = state;
}

int Job::GetProgress() const
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    return m_Progress;
}

void Job::SetProgress(int percent)
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    m_Progress = percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

xolib::vector<String> Job::CommonParameterNames()
{
    return {"Priority", "Pool", "Frames", "ChunkSize", "OutputFolder", "Engine", "Timeout", "Comment"};
}

xolib::vector<String> Job::ParameterCommandNames()
{
    return {"PreJobCommand", "PostJobCommand", "PreFrameCommand", "PostFrameCommand"};
}

void Job::ExecuteCommand(const String& command, const String& item)
{
    String name = Name();
    if (IsFinished())
        throw new Exception("Cannot run '" + command + "' on a finished job", name);
    boost::shared_ptr<const Product> product = JobFactory::s_JobFactory.GetProduct(Type());
    if (!product)
        throw new Exception("The job's product is unknown", name);

    boost::shared_ptr<const Command> found;
    for (int i = 0; i < product->GetCommandCount() && !found; ++i)
    {
        boost::shared_ptr<const Command> candidate = product->GetCommand(i);
        if (candidate && candidate->GetFlags() >= 0 && candidate->GetName() == command)
            found = candidate;
    }
    if (!found)
        throw new Exception("Unknown command '" + command + "'", product->GetName());
    if (command.StartsWith(k_DisabledPrefix))
        throw new Exception("The command '" + command + "' is disabled", name);

    xolib::vector<String> items = SplitItems(found->GetItems());
    if (!items.empty() || !item.Empty())
    {
        bool known = false;
        for (const String& candidate : items)
            known = known || candidate == item;
        if (!known)
            throw new Exception("Unknown item '" + item + "' of command '" + command + "'", name);
        if (item.StartsWith(k_DisabledPrefix))
            throw new Exception("The item '" + item + "' is disabled", name);
    }

    {
        std::lock_guard<std::mutex> lock(m_ObjectMutex);
        ++m_ExecutedCount;
        m_LastExecuted = command + "|" + item;
    }
    LogInfo("Job '" + name + "': ran command '" + command + "' " + item);
}

int Job::GetExecutedCount() const
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    return m_ExecutedCount;
}

String Job::GetLastExecuted() const
{
    std::lock_guard<std::mutex> lock(m_ObjectMutex);
    return m_LastExecuted;
}

// ---------------------------------------------------------------- render jobs

namespace
{
std::mutex s_ExploreMutex;
RenderJob::ExploreFolderFunc s_ExploreFolder;

const String k_ExploreOutput = "Explore Output";
}

RenderJob::RenderJob(const UID& id, const String& name, const UID& product, const Path& outputFolder)
    : Job(id, name, product), m_OutputFolder(outputFolder)
{
}

void RenderJob::SetExploreFolder(const ExploreFolderFunc& callback)
{
    std::lock_guard<std::mutex> lock(s_ExploreMutex);
    s_ExploreFolder = callback;
}

RenderJob::ExploreFolderFunc RenderJob::GetExploreFolder()
{
    std::lock_guard<std::mutex> lock(s_ExploreMutex);
    return s_ExploreFolder;
}

// Looking at the output makes sense in every state, finished jobs above all.
void RenderJob::ExecuteCommand(const String& command, const String& item)
{
    if (command != k_ExploreOutput)
    {
        Job::ExecuteCommand(command, item);
        return;
    }
    ExploreFolderFunc explore = GetExploreFolder();
    if (!explore)
        throw new Exception("Cannot show the output folder", "no way to open folders is installed");
    explore(m_OutputFolder);
}
