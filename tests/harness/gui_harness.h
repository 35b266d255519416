// The shared harness of the GUI test executables: one application object for
// the whole run, a log that writes to the test output, toolkit assertions and
// GLib criticals turned into test failures, and a bounded wait that runs the
// event loop.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <wx/app.h>

#include "wxdravik/wxdravikapp.h"

namespace dravik_test
{
/// The application object of every GUI test run. OnInit is not run by the
/// harness: tests that exercise start-up call it themselves.
class TestApp : public wxDravikApp
{
public:
    TestApp();
    /// Lets a test choose what OnInit sees on the command line.
    void SetCommandLine(const std::vector<std::string>& arguments);
    void SetShowStartupError(bool show) { m_ShowStartupError = show; }

    /// Replaces the client library's answer to exceptions escaping the main
    /// loop; null restores it.
    void SetExceptionHandler(std::function<bool(Exception*)> handler) { m_ExceptionHandler = handler; }
    bool OnException(Exception* exception) override;

    /// Counts the look-ups of the main window made off the GUI thread: the
    /// toolkit's window lists are not thread-safe, so there must be none.
    wxWindow* GetTopWindow() const override;
    int GetTopWindowCallsOffGuiThread() const { return m_TopWindowCallsOffGuiThread.load(); }

private:
    std::function<bool(Exception*)> m_ExceptionHandler;
    mutable std::atomic<int> m_TopWindowCallsOffGuiThread{0};
};

/// Sets the core log's level for the life of the object.
class ScopedLogLevel
{
public:
    explicit ScopedLogLevel(LogLevel level) : m_Old(Log::s_GlobalLog.GetLevel()) { Log::s_GlobalLog.SetLevel(level); }
    ~ScopedLogLevel() { Log::s_GlobalLog.SetLevel(m_Old); }
    ScopedLogLevel(const ScopedLogLevel&) = delete;
    ScopedLogLevel& operator=(const ScopedLogLevel&) = delete;

private:
    LogLevel m_Old;
};

TestApp& GetTestApp();

/// Runs the event loop (pending events, timers, deferred calls) until the
/// condition holds or the timeout passes; returns the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

/// Processes everything that is pending now, without waiting for more.
void FlushEvents();

/// A private folder that is removed with its content when the object ends.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_Path; }
    std::string File(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

/// Sets an environment variable for the life of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_Name;
    bool m_HadValue;
    std::string m_OldValue;
};

/// Counts the toolkit assertions that failed while it lives, without failing
/// the test: for tests that expect a debugging report.
class ExpectAssertions
{
public:
    ExpectAssertions();
    ~ExpectAssertions();
    int Count() const;
};
}
