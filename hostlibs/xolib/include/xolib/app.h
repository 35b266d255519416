// Xolib: the core application, requests between programs, command line and
// platform queries.
#pragma once

#include <atomic>
#include <boost/function.hpp>
#include <memory>

#include "xolib/core.h"
#include "xolib/file.h"
#include "xolib/signal.h"
#include "xolib/string.h"

/// The program's command line.
class CommandLine
{
public:
    CommandLine(int argc, char** argv);
    explicit CommandLine(const xolib::vector<String>& arguments);

    /// All arguments; [0] is the program path.
    const xolib::vector<String>& GetArguments() const { return m_Arguments; }
    String GetProgram() const;
    /// Value of "--name value" or "--name=value"; empty when absent.
    String GetOption(const String& name) const;
    bool HasOption(const String& name) const;

private:
    xolib::vector<String> m_Arguments;
};

class Platform
{
public:
    static String GetCurrentUserName();
    /// Names of the process's environment variables as they are now.
    static xolib::vector<String> GetLiveEnv();
    static int GetProcessId();
};

class Application;

/// Handler of a request from another program: gets the whole request text,
/// answers true when handled.
typedef boost::function<bool(const String&)> PipeHandler;
/// Runs a piece of work on the program's main (GUI) thread.
typedef boost::function<void(const boost::function<void()>&)> MainThreadInvoker;

/// The core application object. One per process; the_Application points to it
/// while it lives.
///
/// Requests between programs of the suite travel over Unix domain sockets in
/// a private per-user runtime folder ($XDG_RUNTIME_DIR/dravik when
/// XDG_RUNTIME_DIR is this user's and not writable by others, else
/// dravik-<uid> under the temporary directory), one socket per listening
/// program, named after the program. Only the same user may connect (checked
/// on both sides).
class Application
{
public:
    /// Without a name the program is named after its executable until the
    /// host names it (SetName) or start-up adopts a name (AdoptProgramName),
    /// so that different programs never share options, logs or sockets.
    explicit Application(const String& name = String());
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application* the_Application;

    const String& GetName() const { return m_Name; }
    /// Names the program; later adoptions keep this name.
    void SetName(const String& name);
    /// Names the program after a program path or an application name, made
    /// safe by ToProgramName, unless it already has a name that was given
    /// or adopted. An empty text changes nothing.
    void AdoptProgramName(const String& program);
    /// True once the program was named by its constructor, SetName or
    /// AdoptProgramName rather than by its executable alone.
    bool HasChosenName() const { return m_NameChosen; }
    /// The file name of text with every byte other than letters, digits, '.',
    /// '_' and '-' replaced by '_', cut to 64 bytes; "Dravik" when empty.
    static String ToProgramName(const String& text);
    const Path& GetLogFolder() const { return m_LogFolder; }
    void SetLogFolder(const Path& folder) { m_LogFolder = folder; }

    /// Emitted by the application object when start-up is done, when exit
    /// begins and when exit is done.
    Signal0<ThreadPolicy::LocalThreaded> m_StartupDone;
    Signal0<ThreadPolicy::LocalThreaded> m_ExitBegins;
    Signal0<ThreadPolicy::LocalThreaded> m_ExitDone;

    /// Registers the handler for requests whose first word is name. Handlers
    /// run on the main thread (see SetMainThreadInvoker). A request accepted
    /// for a handler runs however late the main thread gets to it, as long as
    /// the program still listens.
    void AddPipeHandler(const String& name, const PipeHandler& handler);
    void RemovePipeHandler(const String& name);

    /// How handlers reach the main thread. Without an invoker, requests wait
    /// until the main thread calls RunPendingRequests.
    void SetMainThreadInvoker(const MainThreadInvoker& invoker);
    /// Runs the requests waiting for the main thread; returns how many ran.
    int RunPendingRequests();

    /// Starts answering requests under the given program name. False when
    /// another live program already listens under that name (its socket is
    /// never taken over) or the runtime folder is not safe to use.
    bool StartListening(const String& programName);
    void StopListening();
    bool IsListening() const;

    /// Sends text to the program listening under address (a program name) and
    /// waits for its answer; false when nobody listens, the request is refused
    /// or no answer comes within the timeout. A request the receiver accepted
    /// but whose main thread is busy also gives false; it still runs there
    /// later.
    static bool SendRequest(const Path& address, const String& text, int timeoutMs = 3000);
    /// Sends text to the program listening under address without waiting:
    /// returns at once, and a background thread (one per process) sends it
    /// without awaiting the answer. False when it was not queued: an invalid
    /// name or size, or k_MaxPostedRequests (or k_MaxPostedBytes) already
    /// waiting to be sent (logged). What is queued goes out when the
    /// application ends or the process exits, within a short bound.
    static bool PostRequest(const Path& address, const String& text);
    /// True when a program listens under the name.
    static bool IsListeningProgram(const String& programName);
    /// The per-user runtime folder (created 0700 on first use); empty when no
    /// safe folder can be had.
    static Path GetRuntimeFolder();

    /// Largest request accepted, in bytes.
    static const size_t k_MaxRequestSize = 64 * 1024;
    /// Connections a listener serves at once; more are refused at once.
    static constexpr size_t k_MaxConnections = 128;
    /// Requests, and their bytes, PostRequest holds waiting to be sent.
    static constexpr size_t k_MaxPostedRequests = 256;
    static constexpr size_t k_MaxPostedBytes = size_t(4) << 20;

private:
    class Listener;
    String m_Name;
    bool m_NameChosen = false;
    Path m_LogFolder;
    std::unique_ptr<Listener> m_Listener;
};

/// The executable: the core library's reaction to stop requests.
class Executable
{
public:
    explicit Executable(Application* application);
    virtual ~Executable();

    /// A stop request (0 = end the program). Returns 0 when accepted.
    virtual int Signal(int code);

    Application* GetApplication() const { return m_Application; }
    /// Set by the application once the file layer has started.
    void SetStarted(bool started) { m_Started = started; }
    bool IsStarted() const { return m_Started; }
    /// How many stop requests arrived.
    int GetSignalCount() const { return m_SignalCount; }

private:
    Application* m_Application;
    std::atomic<bool> m_Started{false};
    std::atomic<int> m_SignalCount{0};
};
