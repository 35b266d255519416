// Xolib: the application object, the executable, the command line and
// platform queries. The request listener lives in ipc.cpp.
#include "xolib/app.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "app_listener.h"
#include "xolib/log.h"

extern char** environ;

// ---------------------------------------------------------------------------
// CommandLine

CommandLine::CommandLine(int argc, char** argv)
{
    for (int i = 0; i < argc; ++i)
        if (argv && argv[i])
            m_Arguments.push_back(String(argv[i]));
}

CommandLine::CommandLine(const xolib::vector<String>& arguments) : m_Arguments(arguments) {}

String CommandLine::GetProgram() const
{
    return m_Arguments.empty() ? String() : m_Arguments[0];
}

namespace
{
// Callers may name an option with or without its dashes.
String OptionFlag(const String& name)
{
    return name.StartsWith("-") ? name : String("--") + name;
}
}

String CommandLine::GetOption(const String& name) const
{
    const String flag = OptionFlag(name);
    const String assigned = flag + "=";
    for (size_t i = 1; i < m_Arguments.size(); ++i)
    {
        const String& argument = m_Arguments[i];
        if (argument.StartsWith(assigned))
            return argument.Mid(int(assigned.Length()));
        // A following option is not a value: "--a --b" leaves a empty.
        if (argument == flag)
            return i + 1 < m_Arguments.size() && !m_Arguments[i + 1].StartsWith("--")
                       ? m_Arguments[i + 1]
                       : String();
    }
    return String();
}

bool CommandLine::HasOption(const String& name) const
{
    const String flag = OptionFlag(name);
    const String assigned = flag + "=";
    for (size_t i = 1; i < m_Arguments.size(); ++i)
        if (m_Arguments[i] == flag || m_Arguments[i].StartsWith(assigned))
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// Platform

String Platform::GetCurrentUserName()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return String(found->pw_name);
    // Containers often run under a uid without a passwd entry.
    for (const char* variable : {"USER", "LOGNAME"})
    {
        const char* value = getenv(variable);
        if (value && *value)
            return String(value);
    }
    return String::FromInt(geteuid());
}

xolib::vector<String> Platform::GetLiveEnv()
{
    xolib::vector<String> names;
    for (char** entry = environ; entry && *entry; ++entry)
    {
        const char* text = *entry;
        const char* equals = text;
        while (*equals && *equals != '=')
            ++equals;
        if (equals != text)
            names.push_back(String(text, size_t(equals - text)));
    }
    return names;
}

int Platform::GetProcessId()
{
    return int(getpid());
}

// ---------------------------------------------------------------------------
// Application

Application* Application::the_Application = nullptr;
const size_t Application::k_MaxRequestSize;

Application::Application(const String& name)
    : m_Name(ToProgramName(name.Empty() ? String(program_invocation_short_name) : name)),
      m_NameChosen(!name.Empty()),
      m_Listener(std::make_unique<Listener>())
{
    the_Application = this;
}

void Application::SetName(const String& name)
{
    m_Name = ToProgramName(name);
    m_NameChosen = true;
}

void Application::AdoptProgramName(const String& program)
{
    if (m_NameChosen || program.Empty())
        return;
    m_Name = ToProgramName(program);
    m_NameChosen = true;
}

String Application::ToProgramName(const String& text)
{
    const size_t k_MaxLength = 64;
    const String file = Path(text).FileName();
    std::string name;
    for (size_t i = 0; i < file.Length() && name.size() < k_MaxLength; ++i)
    {
        const char c = file[i];
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '.' || c == '_' || c == '-';
        name += safe ? c : '_';
    }
    // "." and ".." would name folders, not programs.
    if (name.empty() || name == "." || name == "..")
        return "Dravik";
    return String(std::move(name));
}

Application::~Application()
{
    m_Listener->Stop();
    if (the_Application == this)
        the_Application = nullptr;
}

void Application::AddPipeHandler(const String& name, const PipeHandler& handler)
{
    m_Listener->AddHandler(name, handler);
}

void Application::RemovePipeHandler(const String& name)
{
    m_Listener->RemoveHandler(name);
}

void Application::SetMainThreadInvoker(const MainThreadInvoker& invoker)
{
    m_Listener->SetInvoker(invoker);
}

int Application::RunPendingRequests()
{
    return m_Listener->RunPending();
}

bool Application::StartListening(const String& programName)
{
    return m_Listener->Start(programName);
}

void Application::StopListening()
{
    m_Listener->Stop();
}

bool Application::IsListening() const
{
    return m_Listener->IsListening();
}

// ---------------------------------------------------------------------------
// Executable

Executable::Executable(Application* application) : m_Application(application) {}

Executable::~Executable() = default;

int Executable::Signal(int code)
{
    ++m_SignalCount;
    LogDebug(SFormat("Stop request %d received", code));
    return 0;
}
