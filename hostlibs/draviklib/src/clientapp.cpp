#include <boost/make_shared.hpp>

#include "draviklib/draviklib.h"
#include "draviklib/simulated_master.h"
#include "message_queue.h"
#include "messenger.h"
#include "net.h"

const String o_AutoComplete = "AutoComplete";
const bool o_AutoCompleteDefault = true;

namespace
{
std::atomic<DravikApp*> s_Instance{nullptr};

/// The options before any program opened its file: an options file without
/// a path stays in memory.
OptionsFile& MemoryOptions()
{
    static OptionsFile options{Path()};
    return options;
}
}

// ---------------------------------------------------------------- DravikApp

DravikApp::DravikApp(const String& name) : Application(name)
{
    s_Instance = this;
}

DravikApp::~DravikApp()
{
    DravikApp* self = this;
    s_Instance.compare_exchange_strong(self, nullptr);
}

DravikApp* DravikApp::GetInstance()
{
    return s_Instance;
}

OptionsFile& DravikApp::GetOptions()
{
    DravikApp* app = s_Instance;
    if (app && app->m_Options)
        return *app->m_Options;
    return MemoryOptions();
}

void DravikApp::SetOptions(std::unique_ptr<OptionsFile> options)
{
    // A restarted client replaces its options while a PauseAutoWrite guard on
    // the old ones may still live: keep the old object until the app ends.
    if (m_Options)
        m_RetiredOptions.push_back(std::move(m_Options));
    m_Options = std::move(options);
}

xolib::vector<UID> DravikApp::GetAllJobs() const
{
    std::lock_guard<std::mutex> lock(m_JobsMutex);
    xolib::vector<UID> ids;
    ids.reserve(m_Jobs.size());
    for (const auto& job : m_Jobs)
        ids.push_back(job->ID());
    return ids;
}

boost::shared_ptr<Job> DravikApp::GetJobByID(const UID& id) const
{
    std::lock_guard<std::mutex> lock(m_JobsMutex);
    for (const auto& job : m_Jobs)
        if (job->ID() == id)
            return job;
    return boost::shared_ptr<Job>();
}

// A job added again replaces the old object in its place.
void DravikApp::AddJob(const boost::shared_ptr<Job>& job)
{
    if (!job)
        return;
    std::lock_guard<std::mutex> lock(m_JobsMutex);
    for (auto& known : m_Jobs)
        if (known->ID() == job->ID())
        {
            known = job;
            return;
        }
    m_Jobs.push_back(job);
}

void DravikApp::RemoveJob(const UID& id)
{
    std::lock_guard<std::mutex> lock(m_JobsMutex);
    for (auto it = m_Jobs.begin(); it != m_Jobs.end(); ++it)
        if ((*it)->ID() == id)
        {
            m_Jobs.erase(it);
            return;
        }
}

// ---------------------------------------------------------------- DravikClientApp

DravikClientApp::DravikClientApp(const String& name)
    : DravikApp(name),
      m_ComponentName(GetName()),
      m_MessageQueue(std::make_shared<draviklib_detail::MessageQueue>(k_DefaultMaxWaitingMessages))
{
}

DravikClientApp::~DravikClientApp()
{
    DravikClientApp::Cleanup();
}

bool DravikClientApp::Startup(CommandLine& commandLine)
{
    if (m_Started)
    {
        LogWarning("Client application: already started");
        return true;
    }
    if (commandLine.HasOption("fail-startup"))
    {
        LogWarning("Client application: start-up refused (--fail-startup)");
        return false;
    }

    // A program the host did not name is named after its executable.
    AdoptProgramName(commandLine.GetProgram());

    String masterHost;
    int masterPort = 0;
    bool embedded = !commandLine.HasOption("master");
    if (!embedded && !draviklib_detail::ParseHostPort(commandLine.GetOption("master"), masterHost, masterPort))
    {
        LogError("Client application: --master wants HOST:PORT, got '" + commandLine.GetOption("master") + "'");
        return false;
    }

    Path optionsPath = commandLine.GetOption("options");
    if (optionsPath.Empty())
    {
        if (commandLine.HasOption("options"))
        {
            LogError("Client application: --options wants a file name");
            return false;
        }
        optionsPath = File::GetUserDir() / Path::Branch(true, true) / Path(GetName() + ".ini");
    }
    if (File::IsDirectory(optionsPath))
    {
        LogError("Client application: the options path is a folder: " + optionsPath.GetString());
        return false;
    }
    try
    {
        SetOptions(std::make_unique<OptionsFile>(optionsPath));
    }
    catch (Exception* e)
    {
        std::unique_ptr<Exception> owner(e);
        LogError("Client application: cannot open the options " + optionsPath.GetString() + ": " + e->GetText());
        return false;
    }

    String component = commandLine.GetOption("component");
    m_ComponentName = component.Empty() ? GetName() : component;
    if (!StartListening(m_ComponentName))
        LogWarning("Client application: cannot answer requests as '" + m_ComponentName + "'");

    if (embedded)
    {
        // Tests and demos may slow the embedded farm's chatter down or stop it.
        const double rate = commandLine.HasOption("stream-rate") ? commandLine.GetOption("stream-rate").Double(4.0) : 4.0;
        m_SimulatedMaster = std::make_unique<SimulatedMaster>(1, rate < 0 ? 0 : rate);
        if (!m_SimulatedMaster->Start())
        {
            LogError("Client application: the simulated master did not start");
            Cleanup();
            return false;
        }
        masterHost = "127.0.0.1";
        masterPort = m_SimulatedMaster->Port();
    }

    m_Messenger = std::make_unique<Messenger>(*this, masterHost, masterPort);
    if (!m_Messenger->Start())
    {
        Cleanup();
        return false;
    }
    m_Started = true;
    LogStatus("Client application '" + GetName() + "' started as '" + m_ComponentName + "', master " +
              m_Messenger->GetAddress());
    return true;
}

void DravikClientApp::Cleanup()
{
    if (m_Messenger)
        m_Messenger->Stop();
    m_Messenger.reset();
    if (m_SimulatedMaster)
        m_SimulatedMaster->Stop();
    m_SimulatedMaster.reset();
    if (IsListening())
        StopListening();
    m_MessageQueue->Clear();
    if (m_Started)
        LogStatus("Client application '" + GetName() + "' cleaned up");
    m_Started = false;
}

bool DravikClientApp::OnException(Exception* exception)
{
    if (exception)
    {
        LogWarning("Unhandled exception: " + exception->GetText() +
                   (exception->GetDetail().Empty() ? String() : " (" + exception->GetDetail() + ")"));
        return true;
    }
    LogWarning("Unhandled exception of unknown type");
    return false;
}

bool DravikClientApp::Execute()
{
    return false;
}

bool DravikClientApp::RequestHasFailed(const String& text)
{
    LogWarning("Master reports error: " + text);
    return false;
}

bool DravikClientApp::DispatchMessage()
{
    boost::shared_ptr<Message> message = m_MessageQueue->ClaimNext();
    if (!message)
        return false;
    CallMessageHandlers(message);
    return true;
}

void DravikClientApp::CallMessageHandlers(const boost::shared_ptr<Message>& message)
{
    if (!message)
        return;
    xolib::vector<std::pair<int, MessageHandler>> handlers;
    {
        std::lock_guard<std::mutex> lock(m_HandlersMutex);
        handlers = m_Handlers;
    }
    for (const auto& handler : handlers)
        handler.second(message);
}

void DravikClientApp::RequeueMessage(const boost::shared_ptr<Message>& message)
{
    if (message)
        m_MessageQueue->Requeue(boost::make_shared<QueuedMessage>(message, m_MessageQueue));
}

size_t DravikClientApp::GetWaitingMessageCount() const
{
    return m_MessageQueue->UnclaimedCount();
}

const size_t DravikClientApp::k_DefaultMaxWaitingMessages;

void DravikClientApp::SetMaxWaitingMessages(size_t count)
{
    m_MessageQueue->SetCapacity(count);
}

size_t DravikClientApp::GetMaxWaitingMessages() const
{
    return m_MessageQueue->GetCapacity();
}

int DravikClientApp::AddMessageHandler(const MessageHandler& handler)
{
    std::lock_guard<std::mutex> lock(m_HandlersMutex);
    int id = m_NextHandlerId++;
    m_Handlers.emplace_back(id, handler);
    return id;
}

void DravikClientApp::RemoveMessageHandler(int id)
{
    std::lock_guard<std::mutex> lock(m_HandlersMutex);
    for (auto it = m_Handlers.begin(); it != m_Handlers.end(); ++it)
        if (it->first == id)
        {
            m_Handlers.erase(it);
            return;
        }
}

String DravikClientApp::GetMasterAddress() const
{
    return m_Messenger ? m_Messenger->GetAddress() : String();
}

bool DravikClientApp::IsConnected() const
{
    return m_Messenger && m_Messenger->IsConnected();
}

// The entry is queued before the event fires, so a receiver that reacts to
// the event by dispatching always finds the message waiting.
bool DravikClientApp::_Received(const boost::shared_ptr<Message>& message, const std::atomic<bool>& keepWaiting)
{
    // A full queue means the host is behind: the messenger stops reading
    // here, and the master holds what follows until there is room.
    if (!m_MessageQueue->WaitForRoom(keepWaiting))
        return false;
    boost::shared_ptr<QueuedMessage> entry = boost::make_shared<QueuedMessage>(message, m_MessageQueue);
    m_MessageQueue->PushBack(entry);
    MessageReceivedEvt event(entry);
    MessageReceivedEvt::Signal().Emit(event);
    return true;
}

void DravikClientApp::_WakeReceiver()
{
    m_MessageQueue->WakeWaiters();
}
