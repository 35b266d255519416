#include "harness/gui_harness.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include <glib.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/thread.h>

namespace dravik_test
{
namespace
{
int s_ExpectedAssertDepth = 0;
int s_ExpectedAssertCount = 0;

/// Writes the toolkit's log to the test output instead of opening dialogs.
class TestLog : public wxLog
{
protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& text) override
    {
        if (level <= wxLOG_Warning)
            fprintf(stderr, "[wx log %lu] %s\n", (unsigned long)level, (const char*)text.utf8_str());
    }
};

void AssertHandler(const wxString& file, int line, const wxString& func, const wxString& cond,
                   const wxString& msg)
{
    if (s_ExpectedAssertDepth > 0)
    {
        ++s_ExpectedAssertCount;
        return;
    }
    ADD_FAILURE() << "wx assertion failed at " << file.utf8_str() << ":" << line << " in "
                  << func.utf8_str() << ": " << cond.utf8_str() << " " << msg.utf8_str();
}

void GLibLogHandler(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer)
{
    const bool serious = (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) != 0;
    if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE))
        fprintf(stderr, "[glib %s] %s\n", domain ? domain : "", message ? message : "");
    if (serious)
        ADD_FAILURE() << "GLib critical in " << (domain ? domain : "") << ": " << (message ? message : "");
}

void InstallDiagnostics()
{
    wxSetAssertHandler(AssertHandler);
    delete wxLog::SetActiveTarget(new TestLog);
    g_log_set_default_handler(GLibLogHandler, nullptr);
    for (const char* domain : {"Gtk", "Gdk", "GLib", "GLib-GObject", "Pango", "GdkPixbuf"})
        g_log_set_handler(domain, GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                          GLibLogHandler, nullptr);
}
}

TestApp::TestApp() = default;

bool TestApp::OnException(Exception* exception)
{
    if (m_ExceptionHandler)
        return m_ExceptionHandler(exception);
    return wxDravikApp::OnException(exception);
}

wxWindow* TestApp::GetTopWindow() const
{
    if (!wxIsMainThread())
        ++m_TopWindowCallsOffGuiThread;
    return wxDravikApp::GetTopWindow();
}

void TestApp::SetCommandLine(const std::vector<std::string>& arguments)
{
    static std::vector<std::vector<char>> storage;  // argv must outlive the app's view of it
    static std::vector<char*> pointers;
    storage.clear();
    pointers.clear();
    for (const std::string& argument : arguments)
        storage.emplace_back(argument.c_str(), argument.c_str() + argument.size() + 1);
    for (auto& item : storage)
        pointers.push_back(item.data());
    pointers.push_back(nullptr);
    argc = int(arguments.size());
    argv.Init(argc, pointers.data());
}

TestApp& GetTestApp()
{
    return *static_cast<TestApp*>(wxTheApp);
}

void FlushEvents()
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    for (int round = 0; round < 100; ++round)
    {
        bool any = false;
        if (wxTheApp->HasPendingEvents())
        {
            wxTheApp->ProcessPendingEvents();
            any = true;
        }
        while (loop && loop->Pending())
        {
            loop->Dispatch();
            any = true;
        }
        if (!any)
            return;
    }
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    while (!condition())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        wxTheApp->ProcessPendingEvents();
        if (loop)
        {
            if (loop->Pending())
                loop->Dispatch();
            else
                loop->DispatchTimeout(5);  // returns at once when something arrives
        }
    }
    return true;
}

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "dravik-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_Path = buffer.data();
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::permissions(m_Path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_Path, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_Name(name)
{
    const char* old = getenv(name);
    m_HadValue = old != nullptr;
    if (old)
        m_OldValue = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_HadValue)
        setenv(m_Name.c_str(), m_OldValue.c_str(), 1);
    else
        unsetenv(m_Name.c_str());
}

ExpectAssertions::ExpectAssertions()
{
    if (s_ExpectedAssertDepth++ == 0)
        s_ExpectedAssertCount = 0;
}

ExpectAssertions::~ExpectAssertions()
{
    --s_ExpectedAssertDepth;
}

int ExpectAssertions::Count() const
{
    return s_ExpectedAssertCount;
}
}

int main(int argc, char** argv)
{
    setenv("NO_AT_BRIDGE", "1", 1);
    testing::InitGoogleTest(&argc, argv);

    // Settings, logs and request sockets of the run stay in private folders.
    dravik_test::TempFolder home;
    setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home.Path().c_str(), 1);

    wxApp::SetInstance(new dravik_test::TestApp);  // owned by the toolkit from here on
    if (!wxEntryStart(argc, argv))
    {
        fprintf(stderr, "cannot initialise the toolkit (no display?)\n");
        return 2;
    }
    dravik_test::InstallDiagnostics();

    int result;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator activate(&loop);
        result = RUN_ALL_TESTS();
    }
    wxEntryCleanup();
    return result;
}
