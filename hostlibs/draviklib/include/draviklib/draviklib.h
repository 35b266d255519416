// DravikLib: the render-farm client library: the client application, the
// messenger link to the master, messages, jobs, products and commands.
#pragma once

#include <atomic>
#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <memory>
#include <mutex>

#include "xolib/xolib.h"

// ---------------------------------------------------------------- messages

namespace draviklib_detail
{
class MessageQueue;
}

/// A message from the master.
class Message
{
public:
    enum Kind
    {
        KIND_TEXT,        // free text for the program's log
        KIND_JOB,         // a job changed (progress, state)
        KIND_ENGINE,      // an engine's load changed
        KIND_SHUTDOWN,    // the master asks the program to end
    };

    Message(Kind kind, uint64_t sequence, const String& text, const UID& subject = UID::Null);
    virtual ~Message();

    Kind GetKind() const { return m_Kind; }
    /// Position in the master's stream, counted from 1.
    uint64_t GetSequence() const { return m_Sequence; }
    const String& GetText() const { return m_Text; }
    /// The job or engine the message is about; empty for text messages.
    const UID& GetSubject() const { return m_Subject; }

private:
    friend class draviklib_detail::MessageQueue;

    Kind m_Kind;
    uint64_t m_Sequence;
    String m_Text;
    UID m_Subject;
    uint64_t m_Arrival = 0;  // place in the client's arrival order; 0 until queued
};

/// The master's request to end the program.
class ShutdownMsg : public Message
{
public:
    ShutdownMsg(uint64_t sequence, const String& reason);
    /// Fired on the messenger thread when a shutdown message arrives.
    static Signal1<const boost::shared_ptr<ShutdownMsg>&, ThreadPolicy::LocalThreaded> s_Signal;
};

/// One message the messenger received and queued: the client library holds
/// it until DispatchMessage hands it on, unless a receiver takes it out of the
/// event first. Taking and dispatching exclude each other, so each message is
/// handed on exactly once.
class QueuedMessage;

/// Fired on the messenger thread for every message received.
class MessageReceivedEvt
{
public:
    explicit MessageReceivedEvt(const boost::shared_ptr<QueuedMessage>& entry);
    static Signal1<MessageReceivedEvt&, ThreadPolicy::LocalThreaded>& Signal();

    /// The message, while it is still held by the event.
    boost::shared_ptr<Message> GetMessage() const;
    /// Moves the message out: afterwards the event (and the client library's
    /// queue) no longer hold it. Empty when it was already taken or dispatched.
    boost::shared_ptr<Message> TakeMessage();
    bool HasMessage() const;

private:
    boost::shared_ptr<QueuedMessage> m_Entry;
};

class MessengerConnectedEvt
{
public:
    explicit MessengerConnectedEvt(const String& master) : m_Master(master) {}
    static Signal1<MessengerConnectedEvt&, ThreadPolicy::LocalThreaded>& Signal();
    const String& GetMaster() const { return m_Master; }

private:
    String m_Master;
};

class MessengerDisconnectedEvt
{
public:
    explicit MessengerDisconnectedEvt(const String& master) : m_Master(master) {}
    static Signal1<MessengerDisconnectedEvt&, ThreadPolicy::LocalThreaded>& Signal();
    const String& GetMaster() const { return m_Master; }

private:
    String m_Master;
};

// ---------------------------------------------------------------- model

/// A named object of the farm.
class DravikObject
{
public:
    DravikObject(const UID& id, const String& name) : m_ID(id), m_Name(name) {}
    virtual ~DravikObject();
    const UID& ID() const { return m_ID; }
    String Name() const;
    void SetName(const String& name);

protected:
    mutable std::mutex m_ObjectMutex;  // guards the mutable state of derived objects too

private:
    UID m_ID;
    String m_Name;
};

class Job;

/// A parameter of a product, with its choices.
class Parameter
{
public:
    Parameter(const String& name, const xolib::vector<String>& choices);
    const String& GetName() const { return m_Name; }
    int GetChoicesCount() const { return int(m_Choices.size()); }
    /// Empty for an index out of range.
    String GetChoice(int index) const;

private:
    String m_Name;
    xolib::vector<String> m_Choices;
};

/// A command a product offers on its jobs.
class Command
{
public:
    /// Flag bits: which kinds of job a command applies to.
    enum
    {
        APPLIES_RUNNING = 0x0001,
        APPLIES_FINISHED = 0x0002,
        APPLIES_WAITING = 0x0004,
        APPLIES_ALL = 0x0007,
        SEPARATOR = int32_t(0x80000000),
    };

    /// items: ';'-separated item list (same for every job), may be empty;
    /// names and items starting with "DISABLED:" are shown disabled.
    Command(const String& name, int32_t flags, const String& help, const String& items = String());

    const String& GetName() const { return m_Name; }
    operator const String&() const { return m_Name; }  // used as its name
    int32_t GetFlags() const { return m_Flags; }
    const String& GetHelp() const { return m_Help; }
    /// The ';'-separated item list given at construction.
    const String& GetItems() const { return m_Items; }
    /// The command's items for that job, ';'-separated, empty when none.
    String Itemize(const boost::shared_ptr<Job>& job) const;

private:
    String m_Name;
    int32_t m_Flags;
    String m_Help;
    String m_Items;
};

/// A product (a kind of job).
class Product
{
public:
    Product(const UID& id, const String& name, const String& identifier);
    const UID& GetID() const { return m_ID; }
    const String& GetName() const { return m_Name; }
    operator const String&() const { return m_Name; }  // used as its name
    /// Short identifying string, e.g. "blender".
    const String& GetIdentifier() const { return m_Identifier; }

    int GetCommandCount() const { return int(m_Commands.size()); }
    /// Empty for an index out of range.
    boost::shared_ptr<const Command> GetCommand(int index) const;
    int GetParamCount() const { return int(m_Params.size()); }
    boost::shared_ptr<const Parameter> GetParam(int index) const;

    void AddCommand(const boost::shared_ptr<const Command>& command);
    void AddParam(const boost::shared_ptr<const Parameter>& param);

private:
    UID m_ID;
    String m_Name;
    String m_Identifier;
    xolib::vector<boost::shared_ptr<const Command>> m_Commands;
    xolib::vector<boost::shared_ptr<const Parameter>> m_Params;
};

/// The registry of products.
class JobFactory
{
public:
    static JobFactory s_JobFactory;

    xolib::vector<UID> ListProducts() const;
    boost::shared_ptr<const Product> GetProduct(const UID& id) const;
    void AddProduct(const boost::shared_ptr<const Product>& product);
    void Clear();

private:
    mutable std::mutex m_Mutex;
    xolib::vector<boost::shared_ptr<const Product>> m_Products;  // in listing order
};

/// A job on the farm.
class Job : public DravikObject
{
public:
    enum State
    {
        STATE_WAITING,
        STATE_RUNNING,
        STATE_FINISHED,
    };

    Job(const UID& id, const String& name, const UID& product);
    ~Job() override;

    /// The UID of the job's product.
    const UID& Type() const { return m_Product; }
    bool IsFinished() const;
    State GetState() const;
    void SetState(State state);
    /// 0 to 100.
    int GetProgress() const;
    void SetProgress(int percent);

    /// Names of the parameters every job has.
    static xolib::vector<String> CommonParameterNames();
    /// Names of the parameters that take commands.
    static xolib::vector<String> ParameterCommandNames();

    /// Runs a product command on the job with one item text; throws
    /// Exception* on failure (unknown or disabled command, finished job ...).
    virtual void ExecuteCommand(const String& command, const String& item);
    /// How many commands ran, and the last one ("name|item").
    int GetExecutedCount() const;
    String GetLastExecuted() const;

private:
    UID m_Product;
    State m_State = STATE_WAITING;
    int m_Progress = 0;
    int m_ExecutedCount = 0;
    String m_LastExecuted;
};

/// A render job: can show its output folder on the desktop.
class RenderJob : public Job
{
public:
    typedef boost::function<void(const Path&)> ExploreFolderFunc;

    RenderJob(const UID& id, const String& name, const UID& product, const Path& outputFolder);

    /// Installs the function with which jobs open folders on the desktop.
    static void SetExploreFolder(const ExploreFolderFunc& callback);
    static ExploreFolderFunc GetExploreFolder();

    const Path& GetOutputFolder() const { return m_OutputFolder; }
    /// "Explore Output" opens the output folder; others as Job.
    void ExecuteCommand(const String& command, const String& item) override;

private:
    Path m_OutputFolder;
};

// ---------------------------------------------------------------- suite

/// The programs of the suite.
class Components
{
public:
    static const int k_Count = 7;
    /// Name of program 0..6; empty outside that range.
    static String GetName(int index);
    /// True when that program runs (it answers on its request socket).
    static bool DidStart(const String& name);
};

// ---------------------------------------------------------------- application

class Messenger;
class SimulatedMaster;

/// Key (section "Window") of the option that switches auto-completion of
/// text fields on, and its default.
extern const String o_AutoComplete;
extern const bool o_AutoCompleteDefault;

/// The client-side application: options, jobs, the link to the master.
class DravikApp : public Application
{
public:
    explicit DravikApp(const String& name);
    ~DravikApp() override;

    /// The running program's application object, or null.
    static DravikApp* GetInstance();
    /// The program's options file. Before Startup, an options file in memory
    /// only (never saved).
    static OptionsFile& GetOptions();

    xolib::vector<UID> GetAllJobs() const;
    /// Empty when unknown.
    boost::shared_ptr<Job> GetJobByID(const UID& id) const;
    void AddJob(const boost::shared_ptr<Job>& job);
    void RemoveJob(const UID& id);

protected:
    /// Replaces the options file (Startup opens the real one).
    void SetOptions(std::unique_ptr<OptionsFile> options);

private:
    mutable std::mutex m_JobsMutex;
    xolib::vector<boost::shared_ptr<Job>> m_Jobs;  // in creation order
    std::unique_ptr<OptionsFile> m_Options;  // kept until destruction: guards may refer to it
    xolib::vector<std::unique_ptr<OptionsFile>> m_RetiredOptions;  // replaced by a restart
};

typedef boost::function<void(const boost::shared_ptr<Message>&)> MessageHandler;

/// Base of the desktop programs' application objects.
///
/// Command line: "--options FILE" (default: "<program name>.ini" in the
/// user's settings branch), "--component NAME" (the name under which the
/// program answers requests; default: the program's name), "--master
/// HOST:PORT" (default: an embedded simulated master in this process),
/// "--stream-rate N" (messages per second of the embedded master; default 4,
/// 0 = only what is asked for).
class DravikClientApp : public DravikApp, public HasSlots<ThreadPolicy::LocalThreaded>
{
public:
    /// Without a name, the program's name comes from its command line at
    /// Startup (see Application).
    explicit DravikClientApp(const String& name = String());
    ~DravikClientApp() override;

    /// Reads the command line, opens the options, starts the request socket,
    /// the messenger and (without --master) the simulated master. False when
    /// start-up failed.
    virtual bool Startup(CommandLine& commandLine);
    /// Undoes Startup: stops the messenger and master, drops waiting messages.
    virtual void Cleanup();
    /// An exception escaped the main loop (null: not a core exception).
    /// True: keep running. The default logs and answers true for core
    /// exceptions, false for others.
    virtual bool OnException(Exception* exception);
    /// The client framework's own run loop; returns false when it did not run.
    virtual bool Execute();
    /// The master rejected a request. True when handled.
    virtual bool RequestHasFailed(const String& text);

    /// Hands the next waiting message to the handlers on the calling thread.
    /// False when none was waiting.
    bool DispatchMessage();
    /// Hands one message to all handlers on the calling thread.
    void CallMessageHandlers(const boost::shared_ptr<Message>& message);
    /// Puts a message taken out of the queue back in its place in arrival
    /// order, ahead of every message that arrived after it (a message that
    /// never was queued goes to the head).
    void RequeueMessage(const boost::shared_ptr<Message>& message);
    size_t GetWaitingMessageCount() const;

    /// When the host falls behind, at most this many messages wait: the
    /// messenger then stops reading from the master until the host has
    /// worked the backlog down to three quarters, so the rest stays with the
    /// master (TCP flow control) and nothing is dropped or delivered twice.
    static const size_t k_DefaultMaxWaitingMessages = 20000;
    void SetMaxWaitingMessages(size_t count);
    size_t GetMaxWaitingMessages() const;

    /// Handlers are called in registration order; returns an id for removal.
    int AddMessageHandler(const MessageHandler& handler);
    void RemoveMessageHandler(int id);

    bool IsStarted() const { return m_Started; }
    const String& GetComponentName() const { return m_ComponentName; }
    /// The simulated master, when this program runs one; null otherwise.
    SimulatedMaster* GetSimulatedMaster() const { return m_SimulatedMaster.get(); }
    /// "host:port" of the master the messenger talks to.
    String GetMasterAddress() const;
    /// True while the messenger's link to the master is up.
    bool IsConnected() const;

private:
    friend class Messenger;
    /// Called on the messenger thread for each message received. Waits while
    /// the queue is full and keepWaiting holds; false when it stopped
    /// waiting without queuing the message (the messenger is stopping).
    bool _Received(const boost::shared_ptr<Message>& message, const std::atomic<bool>& keepWaiting);
    /// Ends a wait of _Received at once (the messenger is stopping).
    void _WakeReceiver();

    bool m_Started = false;
    String m_ComponentName;
    std::unique_ptr<SimulatedMaster> m_SimulatedMaster;
    std::unique_ptr<Messenger> m_Messenger;

    // Shared with the queued entries, so that an event outliving the
    // application still finds its queue's lock.
    std::shared_ptr<draviklib_detail::MessageQueue> m_MessageQueue;

    mutable std::mutex m_HandlersMutex;
    int m_NextHandlerId = 1;
    xolib::vector<std::pair<int, MessageHandler>> m_Handlers;
};
